"""What the proxy sends upstream for a request, and what it hands back."""

import os
import random
import shutil
import subprocess

import pytest

from harness import DEADLINE, connect, fetch, get_request, read_all, read_exactly, sha256, split_answer, wait_until
from origin import Reply, ok


def upstream_head(browser_head: bytes) -> bytes:
    """The head the proxy sends for a browser's head: path-form request line with
    HTTP/1.0; Pragma dropped, Proxy-Connection renamed Connection, a whole value of
    Keep-Alive sent as Close, everything else as it came, in order."""
    lines = browser_head[: -len(b"\r\n\r\n")].split(b"\r\n")
    method, target, _ = lines[0].split(b" ")
    assert target.startswith(b"http://")
    path = target[target.index(b"/", len(b"http://")) :]
    out = [b"%s %s HTTP/1.0" % (method, path)]
    for line in lines[1:]:
        name, value = line.split(b": ", 1)
        if name.lower() == b"pragma":
            continue
        if name == b"Proxy-Connection":
            name = b"Connection"
        if value.lower() == b"keep-alive":
            value = b"Close"
        out.append(name + b": " + value)
    return b"\r\n".join(out) + b"\r\n\r\n"


def assert_same_bytes(got: bytes, expected: bytes) -> None:
    if got != expected:
        at = next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b), min(len(got), len(expected)))
        raise AssertionError(
            "%d bytes instead of %d, first difference at %d:\n  got      %r\n  expected %r"
            % (len(got), len(expected), at, got[max(0, at - 40) : at + 40], expected[max(0, at - 40) : at + 40])
        )


def wait_upstream(origin, expected: bytes) -> None:
    """Waits until the origin's only connection has received `expected`, and fails
    showing where it differs when it does not."""
    exchanges = origin.wait_exchanges(1, DEADLINE)
    assert exchanges, "nothing reached the origin"
    if not exchanges[0].wait_received(len(expected), DEADLINE):
        assert_same_bytes(exchanges[0].raw, expected)


def finished_exchange(origin, count=1):
    assert origin.wait_finished(count, DEADLINE), "the proxy did not close its upstream connection"
    assert len(origin.exchanges) == count, "%d upstream connections" % len(origin.exchanges)
    return origin.exchanges[-1]


def test_request_head_relayed_byte_for_byte(proxy, origin):
    answer = b"HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nPragma: no-cache\r\nContent-Length: 5\r\n\r\nhello"
    origin.reply = Reply(answer)
    host = origin.authority
    request = (
        b"GET http://%s/path/a.html?x=1&y=%%20z HTTP/1.1\r\n" % host
        + b"Host: %s\r\n" % host
        + b"User-Agent: Mozilla/4.0 (compatible; E2E)\r\n"
        + b"Pragma: no-cache\r\n"
        + b"Accept: */*\r\n"
        + b"Proxy-Connection: Keep-Alive\r\n"
        + b"pragma: no-cache\r\n"
        + b"Keep-Alive: 300\r\n"
        + b"X-Lower: keep-alive\r\n"
        + b"X-Upper: KEEP-ALIVE\r\n"
        + b"X-List: Keep-Alive, Upgrade\r\n"
        + b"Cookie: a=1; b=2\r\n"
        + b"PRAGMA: no-cache\r\n"
        + b"\r\n"
    )
    expected = (
        b"GET /path/a.html?x=1&y=%20z HTTP/1.0\r\n"
        + b"Host: %s\r\n" % host
        + b"User-Agent: Mozilla/4.0 (compatible; E2E)\r\n"
        + b"Accept: */*\r\n"
        + b"Connection: Close\r\n"
        + b"Keep-Alive: 300\r\n"
        + b"X-Lower: Close\r\n"
        + b"X-Upper: Close\r\n"
        + b"X-List: Keep-Alive, Upgrade\r\n"
        + b"Cookie: a=1; b=2\r\n"
        + b"\r\n"
    )
    assert fetch(request) == answer
    assert finished_exchange(origin).raw == expected


def test_curl_request_relayed(proxy, origin, tmp_path):
    curl = shutil.which("curl")
    assert curl, "curl is not installed"
    env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
    body = binary(1000)
    origin.reply = ok(body)

    def run_curl(proxy_port):
        out = tmp_path / ("curl-%d.out" % proxy_port)
        argv = [curl, "-sS", "--noproxy", "", "-x", "http://127.0.0.1:%d" % proxy_port]
        argv += ["-H", "Proxy-Connection: Keep-Alive", "-H", "Pragma: no-cache"]
        argv += ["-o", str(out), "--max-time", str(int(DEADLINE)), origin.url("/curl/page?q=1")]
        subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, check=True, timeout=DEADLINE + 10)
        return out.read_bytes()

    # What curl sends a proxy, recorded by giving it the origin as its proxy.
    assert run_curl(origin.port) == body
    sent = finished_exchange(origin).raw
    assert sent.startswith(b"GET http://%s/curl/page?q=1 HTTP/1.1\r\n" % origin.authority)
    assert run_curl(8080) == body
    assert finished_exchange(origin, 2).raw == upstream_head(sent)


def binary(size: int) -> bytes:
    """The same pseudo-random bytes for a size every time, with NUL bytes at every
    1000th offset from 0 on and a run of them every 4 KiB."""
    data = bytearray(random.Random(size).randbytes(size))
    for at in range(0, size, 1000):
        data[at] = 0
    for at in range(3072, size, 4096):
        data[at : at + 1024] = bytes(len(data[at : at + 1024]))
    return bytes(data)


def text(size: int) -> bytes:
    return bytes(random.Random(size).choices(b"abcdefghijklmnopqrstuvwxyz0123456789=&%+", k=size))


ANSWERS = {
    "nul-bytes": b"HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 9\r\n\r\n"
    b"\x00a\x00\x00b\r\n\x00\x00",
    "no-length": b"HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n" + binary(300 * 1024),
    "several-mib": b"HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 6291456\r\n\r\n"
    + binary(6 * 1024 * 1024),
}


@pytest.mark.parametrize("name", sorted(ANSWERS))
def test_answer_unchanged(proxy, origin, name):
    answer = ANSWERS[name]
    origin.reply = Reply(answer)
    got = fetch(get_request(origin.authority, b"/answer/" + name.encode()), timeout=120)
    assert (len(got), sha256(got)) == (len(answer), sha256(answer))


def test_large_file_from_nginx(proxy, nginx):
    got = fetch(get_request(nginx.authority, b"/big.bin"), timeout=120)
    head, body = split_answer(got)
    assert head.startswith(b"HTTP/1.1 200 OK\r\n")
    assert (len(body), sha256(body)) == (len(nginx.files["big.bin"]), sha256(nginx.files["big.bin"]))
    logged = '"GET /big.bin HTTP/1.0" 200'
    wait_until(lambda: any(logged in line for line in nginx.access_log()), DEADLINE, "nginx to log " + logged)


@pytest.mark.parametrize("end", ["close", "reset"])
def test_answer_cut_short_by_origin(proxy, origin, end):
    # The origin promises more than it sends, then ends the connection: the browser
    # gets what was sent and then the end.
    sent = b"HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\n" + binary(70000)
    origin.reply = Reply(sent, hold=True, end=end)
    with connect() as sock:
        sock.sendall(get_request(origin.authority, b"/cut"))
        assert read_exactly(sock, len(sent)) == sent
        origin.release()
        assert read_all(sock) == b""


# Request bodies.


def post_head(method: bytes, origin, fields: bytes = b"") -> bytes:
    return (
        b"%s http://%s/form?id=7 HTTP/1.0\r\n" % (method, origin.authority)
        + b"Host: %s\r\n" % origin.authority
        + b"Content-Type: application/octet-stream\r\n"
        + fields
        + b"\r\n"
    )


def test_post_body_in_head_packet(proxy, origin):
    # What comes with the head is kept as text (a NUL there would end it), so the
    # first packet carries a form body; binary bodies are checked in later packets.
    body = b"name=value&text=" + text(900)
    head = post_head(b"POST", origin, b"Content-Length: %d\r\n" % len(body))
    answer = ok(b"posted")
    origin.reply = Reply(answer.data, body=len(body))
    with connect() as sock:
        sock.sendall(head + body)
        wait_upstream(origin, upstream_head(head) + body)
        assert read_all(sock) == answer.data
    assert_same_bytes(finished_exchange(origin).raw, upstream_head(head) + body)


def test_post_body_after_head_packet(proxy, origin):
    first = text(600)
    rest = binary(300 * 1024)
    head = post_head(b"POST", origin, b"Content-Length: %d\r\n" % (len(first) + len(rest)))
    answer = ok(b"posted")
    origin.reply = Reply(answer.data, body=len(first) + len(rest))
    with connect() as sock:
        sock.sendall(head + first)
        # The rest is sent only once the first part went upstream.
        wait_upstream(origin, upstream_head(head) + first)
        sock.sendall(rest)
        assert read_all(sock) == answer.data
    assert_same_bytes(finished_exchange(origin).raw, upstream_head(head) + first + rest)


def test_post_without_length_sends_what_came_with_head(proxy, origin):
    part = b"q=" + text(300)
    head = post_head(b"POST", origin)
    answer = ok(b"posted")
    origin.reply = Reply(answer.data, body=len(part))
    with connect() as sock:
        # The browser keeps its side open: the proxy must not wait for more.
        sock.sendall(head + part)
        wait_upstream(origin, upstream_head(head) + part)
        assert read_all(sock) == answer.data
    assert_same_bytes(finished_exchange(origin).raw, upstream_head(head) + part)


@pytest.mark.parametrize("method", [b"post", b"PUT"])
def test_body_only_for_post(proxy, origin, method):
    body = b"x" * 200
    head = post_head(method, origin, b"Content-Length: %d\r\n" % len(body))
    answer = ok(b"done")
    origin.reply = Reply(answer.data)
    assert fetch(head + body) == answer.data
    assert finished_exchange(origin).raw == upstream_head(head)
