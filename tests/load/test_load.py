"""Load and faults: many browsers at once, agents reused and retired, turning off under full load or with no descriptor left, and misbehaving peers."""

import os
import resource
import select
import socket
import struct
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from contextlib import ExitStack, suppress

import pytest

from ftp_server import FILES, FtpServer
from harness import DEADLINE, Origin, Reply, assert_loopback_listener, connect, fetch, get, ok, read, wait_until

DEEP = os.environ.get("RELVIA_LOAD_DEEP") == "1"  # the long variants (make test-deep)


def answer_for(head: bytes) -> bytes:
    """A distinct answer per path, so every browser can check it got its own."""
    path = head.split(b" ")[1]
    return ok(b"answer for %s " % path + path * 50).data


def assert_serves(proxy, origin, path: bytes = b"/after") -> None:
    """One ordinary request through the proxy gets the origin's answer unchanged."""
    origin.reply = ok(b"still serving " + path)
    assert fetch(get(origin.authority, path), port=proxy.port) == origin.reply.data


def test_simultaneous_connections(proxy, origin, record):
    count = 1000 if DEEP or proxy.name != "wine" else 300
    release = threading.Event()
    # Nothing is answered until every request is open through the proxy at once.
    origin.reply = lambda head: release.wait(600) and Reply(answer_for(head))
    # The listen queue takes a burst of connections whole: none waits for a retransmitted handshake.
    assert_loopback_listener(proxy.port)
    started = time.monotonic()
    socks = [connect(proxy.port, timeout=60) for _ in range(count)]
    try:
        for index, sock in enumerate(socks):
            sock.sendall(get(origin.authority, b"/many/%d" % index))
        peak = proxy.wait_counts(lambda total, busy, idle: busy >= count, "every agent busy", 300)
        origin.wait_exchanges(count, 300)
        release.set()
        with ThreadPoolExecutor(count) as browsers:
            answers = list(browsers.map(lambda sock: read(sock, timeout=600), socks))
    finally:
        release.set()
        for sock in socks:
            sock.close()
    assert answers == [answer_for(b"GET /many/%d " % i) for i in range(count)]
    origin.finished(count)
    record("%s connections open at once" % proxy.name, "%d, all answers byte-identical" % count)
    record("%s busy agents at the peak" % proxy.name, peak[1])
    record("%s seconds for all" % proxy.name, "%.1f" % (time.monotonic() - started))


def test_agents_reused_then_retired(proxy, origin, record):
    origin.reply = lambda head: Reply(answer_for(head))
    proxy.wait_counts(lambda total, busy, idle: total == 1 and busy == 0, "the agent of turn-on's probe to be idle")
    for index in range(20):
        assert fetch(get(origin.authority, b"/seq/%d" % index), port=proxy.port) == answer_for(b"GET /seq/%d " % index)
        proxy.wait_counts(lambda total, busy, idle: busy == 0, "the agent to be idle, both sides closed")
    assert proxy.counts()[0] == 1, "20 requests one after the other need no new agent"
    record("%s agents for 20 requests in a row" % proxy.name, 1)
    if proxy.name == "wine" and not DEEP:
        return  # three minutes of idle time: the deep run waits for it
    idle_since = time.monotonic()
    proxy.wait_counts(lambda total, busy, idle: total == 0, "the idle agent to end", proxy.idle_ms / 1000 + 60)
    took = "%.1f s (idle time %d ms)" % (time.monotonic() - idle_since, proxy.idle_ms)
    record("%s idle agent ended after" % proxy.name, took)
    assert_serves(proxy, origin)


def test_turn_off_under_full_load(host, origin, record):
    # One round first: the runtime (a sanitizer's, Wine's) starts threads of its own on first use, which stay.
    host.turn_on()
    assert_serves(host, origin, b"/first")
    host.turn_off()
    baseline = host.threads()
    host.turn_on()
    workers, stop, done, wrong = 64 if DEEP else 16, threading.Event(), [], []
    endless = b"HTTP/1.0 200 OK\r\nContent-Length: 10000000\r\n\r\n" + bytes(65536)
    origin.reply = lambda head: Reply(endless, hold=True) if b" /endless/" in head else Reply(answer_for(head))

    def browse(worker: int) -> None:
        # Fetches until told to stop; an answer cut by the turn-off must still be a beginning of the right one.
        for path in (b"/load/%d/%d" % (worker, index) for index in range(100000)):
            if stop.is_set():
                return
            try:
                answer = fetch(get(origin.authority, path), port=host.port, timeout=120)
            except OSError:
                continue
            if answer == answer_for(b"GET %s " % path):
                done.append(path)
            elif not answer_for(b"GET %s " % path).startswith(answer):
                wrong.append(answer[:200])

    # Beside the busy browsers: heads that never end, and answers that never end.
    stalled = [connect(host.port, b"GET http://%s/stalled/%d HTTP/1.0\r\n" % (origin.authority, i)) for i in range(10)]
    browsers = ThreadPoolExecutor(workers)
    try:
        for worker in range(workers):
            browsers.submit(browse, worker)
        wait_until(lambda: len(done) >= 200, "200 answers under load", 300)
        for index in range(10):
            stalled.append(connect(host.port, get(origin.authority, b"/endless/%d" % index)))
            assert read(stalled[-1], len(endless)) == endless
        peak, took = host.threads(), host.turn_off()
        stop.set()
        for sock in stalled:
            read(sock)  # the proxy ends every connection
        browsers.shutdown()
        wait_until(lambda: host.threads() <= baseline, "the proxy's threads to end")
    finally:
        stop.set()
        origin.release()
        for sock in stalled:
            sock.close()
    assert not wrong, wrong[:3]
    record("%s turn-off under load (%d browsers + 20 stalled)" % (host.name, workers), "%.2f s" % took)
    record("%s threads when off / at load / after off" % host.name, "%d / %d / %d" % (baseline, peak, host.threads()))
    record("%s answers completed before the turn-off" % host.name, len(done))
    host.turn_on()
    assert_serves(host, origin)
    host.turn_off()


def serves_meanwhile(proxy, count: int = 20) -> None:
    """Ordinary requests, to an origin of their own, are answered as usual."""
    with Origin() as ordinary:
        for index in range(count):
            assert_serves(proxy, ordinary, b"/meanwhile/%d" % index)


def test_misbehaving_origins(proxy, origin, record):
    pace = 1.0 if DEEP else 0.05
    trickled, cut = ok(b"one byte at a time").data, b"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + b"c" * 30000
    replies = {b"/stall": Reply(b"", hold=True), b"/reset": Reply(cut, end="reset")}
    replies[b"/trickle"] = Reply(trickled, pace=pace)
    origin.reply = lambda head: replies.get(head.split(b" ")[1], ok(b"ordinary"))
    with ExitStack() as stack:
        browsers = {path: stack.enter_context(connect(proxy.port, get(origin.authority, path))) for path in replies}
        serves_meanwhile(proxy)
        started = time.monotonic()
        assert read(browsers[b"/trickle"], timeout=len(trickled) * pace + 60) == trickled
        took = "%d bytes intact in %.1f s" % (len(trickled), time.monotonic() - started)
        record("%s answer trickled at %.2f s a byte" % (proxy.name, pace), took)
        assert cut.startswith(read(browsers[b"/reset"]))  # a reset ends the browser's connection after what came
        origin.release()  # the stalled origin holds its browser until it gives up
        assert read(browsers[b"/stall"]) == b""
    with socket.socket() as taken:  # an origin that refuses the connection: the browser's connection just ends
        taken.bind(("127.0.0.1", 0))
        assert fetch(get(b"127.0.0.1:%d" % taken.getsockname()[1], b"/refused"), proxy.port, timeout=90) == b""
    serves_meanwhile(proxy, 5)


def test_misbehaving_browsers(proxy, origin, record):
    big = ok(bytes(range(256)) * 16384).data  # 4 MiB
    origin.reply = lambda head: Reply(big) if b" /big " in head else Reply(ok(b"ordinary").data, body=1000, body_wait=1)
    with ExitStack() as stack:
        # Never a head; half a body.
        post = b"POST http://%s/post HTTP/1.0\r\nContent-Length: 1000\r\n\r\nxxxxxxxxxx" % origin.authority
        hanging = [stack.enter_context(connect(proxy.port)), stack.enter_context(connect(proxy.port, post))]
        gone = connect(proxy.port, get(origin.authority, b"/big"))  # gone in the middle of an answer, abruptly
        assert read(gone, 65536)
        gone.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        gone.close()
        connect(proxy.port).close()  # connections closed at once, or after half a head
        connect(proxy.port, b"GET http://%s/partial HTTP/1.0\r\nHost: " % origin.authority).close()
        # A head that never ends is cut at its limit.
        endless = stack.enter_context(connect(proxy.port, b"GET http://%s/endless HTTP/1.0\r\n" % origin.authority))
        with suppress(BrokenPipeError, ConnectionResetError):  # the proxy may have given up on the head already
            endless.sendall(b"X-Filler: " + b"a" * 70 * 1024)
        assert read(endless) == b""
        # The vanished browser's agent lets go of the origin and is free again; the two hanging ones keep theirs.
        assert next(e for e in origin.exchanges if b" /big " in e.head).finished.wait(DEADLINE)
        busy = proxy.wait_counts(lambda total, busy, idle: busy == len(hanging), "two busy agents")[1]
        record("%s agents held by a silent and a half-body browser" % proxy.name, busy)
        serves_meanwhile(proxy)
        record("%s turn-off with a silent and a half-body browser" % proxy.name, "%.2f s" % proxy.turn_off())
        for sock in hanging:
            assert read(sock) == b""
    assert not any(b" /endless " in e.head for e in origin.exchanges)
    proxy.turn_on()


def test_ftp_gateway(proxy):
    """Pages and files at once through the scripted FTP server, and browsers leaving a file or a
    listing cut at its bound: the server is told at once, so the agents are idle again within seconds."""
    table_end = b"</table>\r\n</body></html>\r\n"
    ends = {b"/pub/": table_end, b"/pub/sub/": b"inner.txt</a></td></tr>\r\n" + table_end, b"/pub/missing.txt": b""}
    ends.update({b"/" + name: data for name, data in FILES.items() if name in (b"pub/a.txt", b"pub/big.bin")})
    with FtpServer() as ftp:
        request = lambda path: b"GET ftp://127.0.0.1:%d%s HTTP/1.0\r\n\r\n" % (ftp.port, path)
        paths = list(ends) * 4
        with ThreadPoolExecutor(len(paths)) as browsers:
            answers = list(browsers.map(lambda path: fetch(request(path), proxy.port, 120), paths))
        assert [answer.endswith(ends[path]) for path, answer in zip(paths, answers)] == [True] * len(paths)
        with connect(proxy.port, request(b"/endless.bin")) as sock:
            read(sock, 65536)
        with connect(proxy.port, request(b"/endless/")) as sock:
            assert read(sock, timeout=120).endswith(b"</pre>\r\n</body></html>\r\n")
        proxy.wait_counts(lambda total, busy, idle: busy == 0, "no busy agent")


def test_silent_translation_host_and_ftp_server(proxy, origin, record):
    proxy.set_values({"J2KTransHost": "127.0.0.1", "J2KAlert": 0})
    assert proxy.commands("enable 1", "mode 1") == ["enable", "mode"]
    with ExitStack() as answering:  # first one that answers: its answer is read, learned from and relayed
        for port in range(3000, 3006):
            answering.enter_context(Origin(ok(b"translated"), port))
        assert fetch(get(origin.authority, b"/ko/page.rlvdoc"), proxy.port) == ok(b"translated").data
    with ExitStack() as stack:
        # Listening sockets nobody accepts from: connections are made, nothing is said.
        ports = [*range(4000, 4006), *range(3000, 3006)]
        translation = [stack.enter_context(socket.create_server(("127.0.0.1", port))) for port in ports]
        ftp = stack.enter_context(socket.create_server(("127.0.0.1", 0)))
        ftp_request = b"GET ftp://127.0.0.1:%d/f.txt HTTP/1.0\r\n\r\n" % ftp.getsockname()[1]
        browsers = [connect(proxy.port, get(origin.authority, b"/ja/page.rlvdoc")), connect(proxy.port, ftp_request)]
        # Once both reach their silent server (a listener with a waiting connection is readable): translation off.
        wait_until(lambda: select.select(translation, [], [], 0)[0], "the translation host's connection")
        wait_until(lambda: select.select([ftp], [], [], 0)[0], "the FTP server's connection")
        assert proxy.command("enable 0") == "enable"
        serves_meanwhile(proxy)
        record("%s turn-off with a silent translation host and FTP server" % proxy.name, "%.2f s" % proxy.turn_off())
        for sock in map(stack.enter_context, browsers):
            assert read(sock) == b""
    proxy.turn_on()


def test_off_with_no_descriptor_left(host, origin):
    """Turning off cuts the accept when its wake-up connection cannot be made: no descriptor is left for it."""
    if host.name == "wine":
        pytest.skip("the limit is the native program's")
    host.turn_on()  # one round first: the paths of turning on and off, the sanitizers' own included, have run
    host.turn_off()
    threads, pid, limits = host.threads(), host.proc.pid, resource.prlimit(host.proc.pid, resource.RLIMIT_NOFILE)
    host.turn_on()
    assert_serves(host, origin)  # after turning on's own connection, which now has its agent
    host.wait_counts(lambda total, busy, idle: total == 0 and host.threads() == threads + 1, "the listener's thread alone", 90)
    used = {int(fd) for fd in os.listdir("/proc/%d/fd" % pid)}
    resource.prlimit(pid, resource.RLIMIT_NOFILE, (min(set(range(len(used) + 1)) - used), limits[1]))
    host.turn_off(DEADLINE)
    resource.prlimit(pid, resource.RLIMIT_NOFILE, limits)
