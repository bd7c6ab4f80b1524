"""HTTP through the proxy: the head the origin receives, the answer the browser gets, and
request bodies."""

import random

import pytest

from harness import Reply, assert_same, binary, connect, fetch, get, ok, read, wait_until


def upstream_head(browser_head: bytes) -> bytes:
    """The head the proxy sends for a browser's: path-form request line with HTTP/1.0, Pragma dropped,
    Proxy-Connection renamed Connection, a whole value of Keep-Alive sent as Close, the rest as it came."""
    lines = browser_head[:-4].split(b"\r\n")
    method, target, _ = lines[0].split(b" ")
    out = [b"%s %s HTTP/1.0" % (method, target[target.index(b"/", len(b"http://")) :])]
    for name, value in (line.split(b": ", 1) for line in lines[1:]):
        if name.lower() != b"pragma":
            name = b"Connection" if name == b"Proxy-Connection" else name
            out.append(name + b": " + (b"Close" if value.lower() == b"keep-alive" else value))
    return b"\r\n".join(out) + b"\r\n\r\n"


def text(size: int) -> bytes:
    return bytes(random.Random(size).choices(b"abcdefghijklmnopqrstuvwxyz0123456789=&%+", k=size))


def test_request_head_relayed_byte_for_byte(proxy, origin):
    # Field lines from the browser, and what the origin gets for each ("": dropped).
    fields = [(b"User-Agent: Mozilla/4.0 (compatible; E2E)",) * 2, (b"Pragma: no-cache", b""), (b"Accept: */*",) * 2]
    fields += [(b"Proxy-Connection: Keep-Alive", b"Connection: Close"), (b"pragma: x", b""), (b"Keep-Alive: 300",) * 2]
    fields += [(b"X-Lower: keep-alive", b"X-Lower: Close"), (b"X-Upper: KEEP-ALIVE", b"X-Upper: Close")]
    fields += [(b"X-List: Keep-Alive, Upgrade",) * 2, (b"Cookie: a=1; b=2",) * 2, (b"PRAGMA: no-cache", b"")]
    origin.reply = Reply(b"HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nPragma: no-cache\r\n\r\nhi")
    host = b"Host: %s\r\n" % origin.authority
    request = b"GET http://%s/path/a.html?x=1&y=%%20z HTTP/1.1\r\n" % origin.authority + host
    assert fetch(request + b"".join(sent + b"\r\n" for sent, _ in fields) + b"\r\n") == origin.reply.data
    expected = b"GET /path/a.html?x=1&y=%20z HTTP/1.0\r\n" + host + b"".join(got + b"\r\n" for _, got in fields if got)
    assert origin.finished().raw == expected + b"\r\n"


@pytest.mark.parametrize("answer, end", [
    (b"HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n\x00a\x00\x00b\r\n\x00\x00", "close"),
    (b"HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n" + binary(300 * 1024), "close"),
    (b"HTTP/1.1 200 OK\r\nContent-Length: 12582912\r\n\r\n" + binary(12 << 20), "close"),
    # The origin promises more than it sends, and goes.
    (b"HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\n" + binary(70000), "close"),
    (b"HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\n" + binary(70000), "reset"),
], ids=["nul-bytes", "no-length", "several-mib", "cut-short", "reset"])
def test_answer_relayed_unchanged(proxy, origin, answer, end):
    # All that came is passed on before the origin goes, whose end then ends the browser's connection.
    origin.reply = Reply(answer, hold=True, end=end)
    with connect(request=get(origin.authority, b"/answer")) as sock:
        assert_same(read(sock, len(answer), timeout=120), answer)
        origin.release()
        assert read(sock) == b""


@pytest.mark.parametrize("method, first, rest, length, relayed", [
    # What comes with the head is kept as text (a NUL there would end it): a form body.
    (b"POST", b"name=value&text=" + text(900), b"", True, True),
    # Binary bodies in later packets, sent once the first part went upstream.
    (b"POST", text(600), binary(300 * 1024), True, True),
    # No length: what came with the head, though the browser keeps its side open.
    (b"POST", b"q=" + text(300), b"", False, True),
    (b"post", b"x" * 200, b"", True, False),  # only a POST has a body
    (b"PUT", b"x" * 200, b"", True, False),
], ids=["in-head-packet", "after-head-packet", "no-length", "post", "put"])
def test_request_body(proxy, origin, method, first, rest, length, relayed):
    fields = b"Host: %s\r\nContent-Type: application/octet-stream\r\n" % origin.authority
    fields += b"Content-Length: %d\r\n" % len(first + rest) if length else b""
    head = b"%s http://%s/form?id=7 HTTP/1.0\r\n%s\r\n" % (method, origin.authority, fields)
    expected = upstream_head(head) + (first + rest if relayed else b"")
    origin.reply = Reply(ok(b"posted").data, body=len(expected) - len(upstream_head(head)))
    with connect(request=head + first) as sock:
        wait_until(lambda: len(origin.wait_exchanges(1)[0].raw) >= len(expected) - len(rest), "the first part upstream")
        sock.sendall(rest)
        assert read(sock) == ok(b"posted").data
    assert_same(origin.finished().raw, expected)
