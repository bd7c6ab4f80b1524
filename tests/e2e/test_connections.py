"""Connections that go wrong, many connections at once, and turning off under load."""

import socket
import struct
import threading
import time

import pytest

from harness import (
    DEADLINE,
    connect,
    fetch,
    get_request,
    read_all,
    read_exactly,
    settings_root,
    turn_off,
    turn_on,
    wait_until,
)
from origin import Reply, ok


def assert_serves(origin, path: bytes = b"/after") -> None:
    answer = ok(b"still serving " + path)
    origin.reply = Reply(answer.data)
    assert fetch(get_request(origin.authority, path)) == answer.data


@pytest.mark.parametrize("origin_kind", ["refusing", "silent"])
def test_origin_without_answer(proxy, origin, origin_kind):
    # No error page of the proxy's own: the browser's connection just ends.
    if origin_kind == "refusing":
        with socket.socket() as taken:
            # Bound but not listening: connections to the port are refused.
            taken.bind(("127.0.0.1", 0))
            authority = b"127.0.0.1:%d" % taken.getsockname()[1]
            assert fetch(get_request(authority, b"/nobody"), timeout=90) == b""
    else:
        origin.reply = Reply(b"")
        assert fetch(get_request(origin.authority, b"/silent")) == b""
        assert origin.wait_finished(1, DEADLINE)
    assert_serves(origin)


def test_abandoned_connections_are_harmless(proxy, origin):
    for _ in range(5):
        connect().close()
    aborted = connect()
    aborted.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    aborted.close()
    with connect() as partial:
        partial.sendall(b"GET http://%s/partial HTTP/1.0\r\nHost: " % origin.authority)
    # A whole request whose browser is gone before the answer arrives.
    origin.reply = Reply(ok(b"nobody reads this").data, hold=True)
    with connect() as gone:
        gone.sendall(get_request(origin.authority, b"/gone"))
        wait_until(
            lambda: any(e.path == b"/gone" and e.answered.is_set() for e in origin.exchanges),
            DEADLINE,
            "the origin to answer /gone",
        )
    origin.release()
    assert_serves(origin)
    # What becomes of the cut head is not settled; nothing else went upstream.
    assert [e.path for e in origin.exchanges if e.path != b"/partial"] == [b"/gone", b"/after"]


@pytest.mark.parametrize("shape", ["field-lines", "one-line"])
def test_endless_head_is_cut(proxy, origin, shape):
    start = b"GET http://%s/endless HTTP/1.0\r\n" % origin.authority
    if shape == "field-lines":
        filler = b"".join(b"X-Filler-%04d: %s\r\n" % (i, b"a" * 1000) for i in range(70))
    else:
        filler = b"X-Filler: " + b"a" * 70 * 1024
    with connect() as sock:
        try:
            sock.sendall(start + filler)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the proxy already gave up on the head
        # The browser's side stays open: only the proxy can end this.
        assert read_all(sock, timeout=60) == b""
    assert_serves(origin)
    assert [e.path for e in origin.exchanges] == [b"/after"]


def test_many_simultaneous_connections(proxy, origin):
    count = 500
    arrived = threading.Condition()
    heads = []
    last_arrival = [time.monotonic()]
    # How many requests had arrived when an answer gave up waiting for the others.
    short = []

    def reply(head: bytes) -> Reply:
        # Nothing is answered until every request has reached the origin, so all of
        # them are open through the proxy at the same time. Agents start slowly under
        # Wine: the wait lasts as long as requests keep coming.
        with arrived:
            heads.append(head)
            last_arrival[0] = time.monotonic()
            arrived.notify_all()
            while len(heads) < count:
                if time.monotonic() - last_arrival[0] > 60:
                    short.append(len(heads))
                    break
                arrived.wait(1)
        return Reply(ok(b"answer for " + head.split(b" ")[1]).data)

    origin.reply = reply
    # The connections are made one after the other (a burst of handshakes overflows
    # the proxy's listen queue, and TCP's retransmission backoff can then hold some
    # back for minutes), and all are open before any request is sent.
    socks = []
    threads = []
    answers = [None] * count
    failures = []

    def client(index: int) -> None:
        try:
            answers[index] = read_all(socks[index], timeout=600)
        except Exception as error:  # noqa: BLE001 - reported below
            failures.append((index, repr(error)))

    try:
        for _ in range(count):
            socks.append(connect(timeout=60))
        for index, sock in enumerate(socks):
            sock.sendall(get_request(origin.authority, b"/many/%d" % index))
        threads = [threading.Thread(target=client, args=(i,), name="client-%d" % i) for i in range(count)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(700)
    finally:
        for sock in socks:
            sock.close()
    assert not [t.name for t in threads if t.is_alive()]
    assert not failures, failures[:10]
    assert not short, "only %d of %d requests reached the origin while all were open" % (min(short), count)
    wrong = [i for i in range(count) if answers[i] != ok(b"answer for /many/%d" % i).data]
    assert not wrong, "%d wrong answers, first: %r" % (len(wrong), answers[wrong[0]][:200])
    assert origin.wait_finished(count, DEADLINE)
    assert len(origin.exchanges) == count


def test_turn_off_under_load(host, origin):
    settings_root(host)
    turn_on(host)
    # Browsers that never finish their heads.
    stalled = []
    for i in range(10):
        sock = connect()
        sock.sendall(b"GET http://%s/stalled/%d HTTP/1.0\r\nHost: %s\r\n" % (origin.authority, i, origin.authority))
        stalled.append(sock)
    # Browsers in the middle of answers that the origin does not finish.
    partial = b"HTTP/1.0 200 OK\r\nContent-Length: 10000000\r\n\r\n" + bytes(65536)
    origin.reply = Reply(partial, hold=True)
    downloading = []
    for i in range(10):
        sock = connect()
        sock.sendall(get_request(origin.authority, b"/download/%d" % i))
        downloading.append(sock)
    try:
        for sock in downloading:
            assert read_exactly(sock, len(partial)) == partial
        turn_off(host, timeout=60)
        # Every connection of the proxy ends, upstream too.
        for sock in stalled + downloading:
            assert read_all(sock) == b""
        assert origin.wait_finished(10, DEADLINE)
    finally:
        for sock in stalled + downloading:
            sock.close()
    # And it starts again.
    turn_on(host)
    assert_serves(origin)
    turn_off(host)
