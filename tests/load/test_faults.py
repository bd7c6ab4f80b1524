"""Faults: origins that stall, reset or trickle, browsers that stall, vanish or never
send a head, and a translation host and an FTP server that stop answering. Other
browsers go on being served meanwhile, and turning off ends whatever still hangs."""

import select
import socket
import struct
import time
from contextlib import ExitStack

from harness import DEADLINE, connect, fetch, get_request, read_all, read_exactly, wait_until
from origin import Origin, Reply, ok
from targets import assert_serves

TRANSLATION_PORTS = list(range(4000, 4006)) + list(range(3000, 3006))


def open_browser(proxy, request: bytes) -> socket.socket:
    sock = connect(proxy.port)
    sock.sendall(request)
    return sock


def serves_meanwhile(proxy, count: int = 20) -> None:
    """Ordinary requests, to an origin of their own, are answered as usual."""
    with Origin() as ordinary:
        for index in range(count):
            assert_serves(proxy, ordinary, b"/meanwhile/%d" % index)


def ends(sock: socket.socket) -> bytes:
    """What arrives until the proxy closes the connection (which it must)."""
    return read_all(sock, timeout=DEADLINE)


def timed_turn_off(proxy, record, what: str) -> None:
    started = time.monotonic()
    proxy.turn_off()
    record("%s turn-off with %s" % (proxy.name, what), "%.2f s" % (time.monotonic() - started))


def test_misbehaving_origins(proxy, origin, deep, record):
    pace = 1.0 if deep else 0.05
    trickled = ok(b"one byte at a time").data
    cut = b"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + b"c" * 30000
    replies = {
        b"/stall": Reply(b"", hold=True),
        b"/reset": Reply(cut, end="reset"),
        b"/trickle": Reply(trickled, pace=pace),
    }
    origin.reply = lambda head: replies.get(head.split(b" ")[1], Reply(ok(b"ordinary").data))
    with ExitStack() as stack:
        browsers = {
            path: stack.enter_context(open_browser(proxy, get_request(origin.authority, path))) for path in replies
        }
        serves_meanwhile(proxy)
        started = time.monotonic()
        assert read_all(browsers[b"/trickle"], timeout=len(trickled) * pace + 60) == trickled
        record("%s answer trickled at %.2f s a byte" % (proxy.name, pace), "%d bytes intact in %.1f s" % (len(trickled), time.monotonic() - started))
        # A reset ends the browser's connection after what had come through.
        assert cut.startswith(ends(browsers[b"/reset"]))
        # The stalled origin holds its browser until it gives up.
        origin.release()
        assert ends(browsers[b"/stall"]) == b""
    # An origin that refuses the connection: the browser's connection just ends.
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        refused = b"127.0.0.1:%d" % taken.getsockname()[1]
        assert fetch(get_request(refused, b"/refused"), timeout=90, port=proxy.port) == b""
    serves_meanwhile(proxy, 5)


def test_misbehaving_browsers(proxy, origin, record):
    big = ok(bytes(range(256)) * 16384).data  # 4 MiB
    origin.reply = lambda head: Reply(big) if b" /big " in head else Reply(ok(b"ordinary").data, body=1000, body_wait=1)
    hanging = []
    with ExitStack() as stack:
        # Never a head; half a body.
        hanging.append(stack.enter_context(connect(proxy.port)))
        post = b"POST http://%s/post HTTP/1.0\r\nContent-Length: 1000\r\n\r\n" % origin.authority
        hanging.append(stack.enter_context(open_browser(proxy, post + b"x" * 10)))
        # Gone in the middle of an answer, abruptly.
        gone = open_browser(proxy, get_request(origin.authority, b"/big"))
        assert read_exactly(gone, 65536)
        gone.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        gone.close()
        # Connections closed at once, reset, or closed after half a head.
        connect(proxy.port).close()
        with connect(proxy.port) as partial:
            partial.sendall(b"GET http://%s/partial HTTP/1.0\r\nHost: " % origin.authority)
        # A head that never ends is cut at its limit.
        endless = open_browser(proxy, b"GET http://%s/endless HTTP/1.0\r\n" % origin.authority)
        stack.enter_context(endless)
        try:
            endless.sendall(b"X-Filler: " + b"a" * 70 * 1024)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the proxy already gave up on the head
        assert ends(endless) == b""
        # The agent of the vanished browser lets go of the origin and is free again;
        # only the two hanging browsers keep theirs.
        big_exchange = [e for e in origin.exchanges if e.path == b"/big"][0]
        assert big_exchange.finished.wait(DEADLINE)
        busy = proxy.wait_counts(lambda total, busy, idle: busy == len(hanging), "two busy agents")[1]
        record("%s agents held by a silent and a half-body browser" % proxy.name, busy)
        serves_meanwhile(proxy)
        timed_turn_off(proxy, record, "a silent and a half-body browser")
        for sock in hanging:
            assert ends(sock) == b""
    assert b"/endless" not in [e.path for e in origin.exchanges]
    proxy.turn_on()


def test_silent_translation_host_and_ftp_server(proxy, origin, record):
    proxy.set_values({"J2KTransHost": "127.0.0.1", "J2KAlert": 0})
    assert proxy.host.command("enable 1") == "enable"
    assert proxy.host.command("mode 1") == "mode"
    with ExitStack() as stack:
        # Listening sockets nobody accepts from: connections are made, nothing is said.
        translation = []
        for port in TRANSLATION_PORTS:
            silent = stack.enter_context(socket.socket())
            silent.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            silent.bind(("127.0.0.1", port))
            silent.listen(16)
            translation.append(silent)
        ftp = stack.enter_context(socket.socket())
        ftp.bind(("127.0.0.1", 0))
        ftp.listen(16)
        browsers = [
            stack.enter_context(open_browser(proxy, get_request(origin.authority, b"/ja/page.rlvdoc"))),
            stack.enter_context(
                open_browser(proxy, b"GET ftp://127.0.0.1:%d/file.txt HTTP/1.0\r\n\r\n" % ftp.getsockname()[1])
            ),
        ]
        # Both have reached their silent server (a listener with a connection waiting
        # is readable); only then may translation go off for the ordinary requests.
        wait_until(lambda: select.select(translation, [], [], 0)[0], DEADLINE, "the translation host's connection")
        wait_until(lambda: select.select([ftp], [], [], 0)[0], DEADLINE, "the FTP server's connection")
        assert proxy.host.command("enable 0") == "enable"
        serves_meanwhile(proxy)
        timed_turn_off(proxy, record, "a silent translation host and FTP server")
        for sock in browsers:
            assert ends(sock) == b""
    proxy.turn_on()
