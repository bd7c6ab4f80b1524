"""Load: many browsers at once, agents reused and retired, and turning off and on
again in the middle of full load."""

import threading
import time

from harness import DEADLINE, connect, get_request, listening_sockets, read_all, read_exactly, system_backlog, wait_until
from origin import Reply, ok
from targets import assert_serves


def answer_for(head: bytes) -> bytes:
    """A distinct answer per path, so every browser can check it got its own."""
    path = head.split(b" ")[1]
    return ok(b"answer for %s " % path + path * 50).data


def test_simultaneous_connections(proxy, origin, deep, record):
    count = 1000 if deep or proxy.name != "wine" else 300
    release = threading.Event()

    def reply(head: bytes) -> Reply:
        # Nothing is answered until every request is open through the proxy at once.
        release.wait(600)
        return Reply(answer_for(head))

    origin.reply = reply
    # The listen queue takes a burst of connections whole: all of them are opened at
    # once, and none waits for a retransmitted handshake.
    assert listening_sockets(proxy.port) == [("127.0.0.1:%d" % proxy.port, system_backlog())]
    started = time.monotonic()
    socks = [connect(proxy.port, timeout=60) for _ in range(count)]
    answers = [b""] * count
    failures = []

    def client(index: int) -> None:
        try:
            answers[index] = read_all(socks[index], timeout=600)
        except Exception as error:  # noqa: BLE001 - reported below
            failures.append((index, repr(error)))

    try:
        for index, sock in enumerate(socks):
            sock.sendall(get_request(origin.authority, b"/many/%d" % index))
        peak = proxy.wait_counts(lambda total, busy, idle: busy >= count, "every agent busy", 300)
        reached = len(origin.wait_exchanges(count, 300))
        assert reached == count, "only %d of %d requests reached the origin while all were open" % (reached, count)
        release.set()
        threads = [threading.Thread(target=client, args=(i,)) for i in range(count)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(700)
    finally:
        release.set()
        for sock in socks:
            sock.close()
    assert not failures, failures[:10]
    wrong = [i for i in range(count) if answers[i] != answer_for(b"GET /many/%d " % i)]
    assert not wrong, "%d wrong answers, first: %r" % (len(wrong), answers[wrong[0]][:200])
    assert origin.wait_finished(count, DEADLINE) and len(origin.exchanges) == count
    record("%s connections open at once" % proxy.name, "%d, all answers byte-identical" % count)
    record("%s busy agents at the peak" % proxy.name, peak[1])
    record("%s seconds for all" % proxy.name, "%.1f" % (time.monotonic() - started))


def test_agents_reused_then_retired(proxy, origin, deep, record):
    origin.reply = lambda head: Reply(answer_for(head))
    requests = 20
    # Turning on made a probe connection: its agent is the one to reuse.
    proxy.wait_counts(lambda total, busy, idle: total == 1 and busy == 0, "the probe's agent to be idle")
    for index in range(requests):
        with connect(proxy.port) as sock:
            sock.sendall(get_request(origin.authority, b"/seq/%d" % index))
            assert read_all(sock) == answer_for(b"GET /seq/%d " % index)
        # The agent is idle again once it has closed both sides.
        proxy.wait_counts(lambda total, busy, idle: busy == 0, "the agent to be idle")
    assert proxy.counts()[0] == 1, "%d requests one after the other need no new agent" % requests
    record("%s agents for %d requests in a row" % (proxy.name, requests), 1)
    if proxy.name == "wine" and not deep:
        return  # three minutes of idle time: the deep run waits for it
    idle_since = time.monotonic()
    proxy.wait_counts(lambda total, busy, idle: total == 0, "the idle agent to end", proxy.idle_ms / 1000 + 60)
    record("%s idle agent ended after" % proxy.name, "%.1f s (idle time %d ms)" % (time.monotonic() - idle_since, proxy.idle_ms))
    assert_serves(proxy, origin)


def test_turn_off_under_full_load(target, origin, deep, record):
    # One round first: the runtime (a sanitizer's, Wine's) starts threads of its own
    # on first use, which stay.
    target.turn_on()
    assert_serves(target, origin, b"/first")
    target.turn_off()
    baseline = target.threads()
    target.turn_on()
    workers = 64 if deep else 16
    endless = b"HTTP/1.0 200 OK\r\nContent-Length: 10000000\r\n\r\n" + bytes(65536)
    origin.reply = lambda head: (
        Reply(endless, hold=True) if head.startswith(b"GET /endless/") else Reply(answer_for(head))
    )
    stop = threading.Event()
    done = [0]
    wrong = []

    def browse(worker: int) -> None:
        # Fetches until told to stop; an answer cut by the turn-off must still be a
        # beginning of the right one.
        for index in range(100000):
            if stop.is_set():
                return
            path = b"/load/%d/%d" % (worker, index)
            expected = answer_for(b"GET %s " % path)
            try:
                with connect(target.port, timeout=10) as sock:
                    sock.sendall(get_request(origin.authority, path))
                    answer = read_all(sock, timeout=120)
            except OSError:
                continue
            if answer == expected:
                done[0] += 1
            elif not expected.startswith(answer):
                wrong.append(answer[:200])

    # Beside the busy browsers: heads that never end and answers that never end.
    stalled = []
    for index in range(10):
        sock = connect(target.port)
        sock.sendall(b"GET http://%s/stalled/%d HTTP/1.0\r\n" % (origin.authority, index))
        stalled.append(sock)
    browsers = [threading.Thread(target=browse, args=(w,)) for w in range(workers)]
    try:
        for thread in browsers:
            thread.start()
        wait_until(lambda: done[0] >= 200, 300, "200 answers under load")
        for index in range(10):
            sock = connect(target.port)
            stalled.append(sock)
            sock.sendall(get_request(origin.authority, b"/endless/%d" % index))
            assert read_exactly(sock, len(endless)) == endless
        peak = target.threads()
        started = time.monotonic()
        target.turn_off()
        took = time.monotonic() - started
        stop.set()
        for sock in stalled:
            read_all(sock)  # the proxy ends every connection
        for thread in browsers:
            thread.join(DEADLINE)
        wait_until(lambda: target.threads() <= baseline, DEADLINE, "the proxy's threads to end")
    finally:
        stop.set()
        origin.release()
        for sock in stalled:
            sock.close()
    assert not wrong, wrong[:3]
    record("%s turn-off under load (%d browsers + 20 stalled)" % (target.name, workers), "%.2f s" % took)
    record("%s threads when off / at load / after off" % target.name, "%d / %d / %d" % (baseline, peak, target.threads()))
    record("%s answers completed before the turn-off" % target.name, done[0])
    target.turn_on()
    assert_serves(target, origin)
    target.turn_off()
