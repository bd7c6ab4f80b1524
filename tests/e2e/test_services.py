"""The service features on the HTTP path: one-word host redirects, the identification
cookie, switch requests and translation routing, with settings in Wine's registry."""

import socket
import socketserver
import threading
from contextlib import closing

from harness import DEADLINE, accepts, connect, fetch, get_request, read_all, settings_root, split_answer, wait_until
from origin import ok
from registry import read_values, write_values
from test_relay import upstream_head

KOREAN_HOST = b"\xb0\xa1\xb3\xaa"
DEFAULT_SEARCH = b"http://search.corvale.co.kr/cgi-bin/search.cgi?q=%s"
USER_KEY = "SOFTWARE\\Corvale\\User"
SWITCH_CAPTION = "Pellora - 일한 번역"


def refresh_answer(target: bytes) -> bytes:
    page = b'<HTML><HEAD><META HTTP-EQUIV="Refresh" CONTENT="0; URL=%s"></HEAD><BODY></BODY></HTML>' % target
    return b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n\r\n" % len(page) + page


def ask_host(host: bytes) -> bytes:
    return fetch(b"GET http://%s/x HTTP/1.0\r\nHost: %s\r\n\r\n" % (host, host))


def test_one_word_host_redirect(proxy, wine, tmp_path):
    key = settings_root(proxy)
    assert ask_host(b"intranet:81") == refresh_answer(b"http://www.intranet.com/")
    search = DEFAULT_SEARCH % b"%B0%A1%B3%AA"
    assert ask_host(KOREAN_HOST) == refresh_answer(search)
    # Non-ASCII hosts go to the search even with dots in them.
    assert ask_host(KOREAN_HOST + b".kr:8000") == refresh_answer(DEFAULT_SEARCH % b"%B0%A1%B3%AA.kr")

    write_values(wine, tmp_path, key, {"SearchURL": "http://127.0.0.1/find?w=%s&from=relvia"})
    assert ask_host(KOREAN_HOST + b"a1") == refresh_answer(b"http://127.0.0.1/find?w=%B0%A1%B3%AAa1&from=relvia")
    # Anything but exactly one "%s" leaves the search URL at its default.
    for unusable in ("http://127.0.0.1/find?w=%n%s", "http://127.0.0.1/find?w=%s&v=%s", "http://127.0.0.1/find"):
        write_values(wine, tmp_path, key, {"SearchURL": unusable})
        assert ask_host(KOREAN_HOST) == refresh_answer(search), unusable

    # Redirect entries win over both, matched without regard to case.
    targets = {"INTRANET": "http://127.0.0.1/portal", KOREAN_HOST: "http://127.0.0.1/ko"}
    write_values(wine, tmp_path, key + "\\Redirect", targets)
    assert ask_host(b"intranet:81") == refresh_answer(b"http://127.0.0.1/portal")
    assert ask_host(b"Intranet") == refresh_answer(b"http://127.0.0.1/portal")
    assert ask_host(KOREAN_HOST) == refresh_answer(b"http://127.0.0.1/ko")
    assert ask_host(b"wiki") == refresh_answer(b"http://www.wiki.com/")


def relayed_head(origin, request: bytes, count: int) -> bytes:
    """Sends `request`, checks the origin's answer came back, and returns the head of
    the origin's `count`th connection."""
    assert fetch(request) == origin.reply.data
    assert origin.wait_finished(count, DEADLINE) and len(origin.exchanges) == count
    return origin.exchanges[-1].head


def without_cookie(head: bytes):
    """(head without its Cookie line, the Cookie value); the line must be there once."""
    lines = head.split(b"\r\n")
    cookies = [line for line in lines if line.lower().startswith(b"cookie:")]
    assert len(cookies) == 1, "Cookie lines in %r" % head
    lines.remove(cookies[0])
    return b"\r\n".join(lines), cookies[0].split(b":", 1)[1].strip()


def test_identification_cookie(proxy, origin, wine, tmp_path):
    key = settings_root(proxy)
    plain = get_request(origin.authority, b"/page", b"Accept: */*\r\n")
    with_cookie = get_request(origin.authority, b"/page", b"Cookie: a=1;b=2\r\nAccept: */*\r\n")
    # The domain of a numeric host is the host without its first label.
    assert relayed_head(origin, plain, 1) == upstream_head(plain)
    write_values(wine, tmp_path, key + "\\Domain", {"0.0.1": 0})
    defaults = b"CID=000000; OID=000000; CLNTVER=0.0.00"
    assert without_cookie(relayed_head(origin, plain, 2)) == (upstream_head(plain), defaults)
    head, cookie = without_cookie(relayed_head(origin, with_cookie, 3))
    assert cookie == b"a=1; b=2; " + defaults
    assert head == without_cookie(upstream_head(with_cookie))[0]
    write_values(wine, tmp_path, key, {"ClientVersion": "5.1.02"})
    try:
        write_values(wine, tmp_path, USER_KEY, {"CID": "c4711", "OID": "o0815"})
        cookie = without_cookie(relayed_head(origin, with_cookie, 4))[1]
        assert cookie == b"a=1; b=2; CID=c4711; OID=o0815; CLNTVER=5.1.02"
    finally:
        write_values(wine, tmp_path, USER_KEY, {"CID": None, "OID": None})


def test_switch_requests(proxy, origin, wine, screen, tmp_path):
    key = settings_root(proxy)
    write_values(wine, tmp_path, key + "\\Domain", {"0.0.1": 1})

    def switch_request(word: bytes) -> bytes:
        return get_request(origin.authority, b"/cgi/spell.cgi?cmd=" + word)

    def switch(word: bytes, enabled: int, messages: list) -> None:
        assert fetch(switch_request(word)) == b"HTTP/1.1 204 No Content\r\n"
        # The answer goes out before the setting is written.
        state = "enabled %d" % enabled
        wait_until(lambda: proxy.command("enabled") == state, DEADLINE, state, 0.1)
        # A switch that changes the state says so in a message; the host hears of it once
        # that is closed. One that should not have come stays open and fails below.
        if len(messages) > len(proxy.messages):
            screen.click(*screen.find(SWITCH_CAPTION).control(1004).center)
        wait_until(lambda: len(proxy.messages) >= len(messages), DEADLINE, "the host's message")
        assert proxy.messages == messages
        assert SWITCH_CAPTION not in [dialog.caption for dialog in screen.dialogs()]

    assert proxy.command("enabled") == "enabled 0"
    on, off = "msg 1182 1 0", "msg 1182 2 0"
    switch(b"EnableJ2KTrans", 1, [on])
    switch(b"enablej2ktrans", 1, [on])
    switch(b"DisableJ2KTrans", 0, [on, off])
    switch(b"DISABLEJ2KTRANS", 0, [on, off])
    switch(b"eNaBlEj2KtRaNs", 1, [on, off, on])
    assert not origin.exchanges

    # Not a switch: relayed as it came, without the cookie.
    request = switch_request(b"EnableJ2KTrans&x=1")
    assert relayed_head(origin, request, 1) == upstream_head(request)
    # Locked: the switch is relayed and changes nothing.
    assert proxy.command("enable -1") == "enable"
    request = switch_request(b"DisableJ2KTrans")
    assert relayed_head(origin, request, 2) == upstream_head(request)
    assert proxy.command("enabled") == "enabled -1"
    assert proxy.command("enable 0") == "enable"
    switch(b"EnableJ2KTrans", 1, [on, off, on, on])


class TranslationHost:
    """Stands in for the translation service: an HTTP proxy on each port the library
    may try. It keeps the exact head of every request with the port it came to,
    fetches the page from the origin and answers with its body under a head of its
    own, whose "Language" the test sets."""

    PORTS = tuple(range(4000, 4006)) + tuple(range(3000, 3006))

    def __init__(self, ports=PORTS) -> None:
        self.language = b"ja"
        self.requests = []
        self.answers = []
        self.lock = threading.Lock()
        outer = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self) -> None:
                outer.serve(self.request, self.server.server_address[1])

        class Server(socketserver.ThreadingTCPServer):
            allow_reuse_address = True
            daemon_threads = False

        self.servers, self.threads = [], []
        try:
            for port in ports:
                self.servers.append(Server(("127.0.0.1", port), Handler))
                self.threads.append(threading.Thread(target=self.servers[-1].serve_forever, args=(0.05,)))
                self.threads[-1].start()
        except OSError as error:
            self.close()
            raise AssertionError("the translation host cannot listen on 127.0.0.1:%d: %s" % (port, error))

    def serve(self, sock: socket.socket, port: int) -> None:
        sock.settimeout(DEADLINE)
        head = b""
        while b"\r\n\r\n" not in head:
            part = sock.recv(65536)
            if not part:
                return
            head += part
        with self.lock:
            self.requests.append((port, head))
            language = self.language
        target = head.split(b" ", 2)[1]
        authority, path = target[len(b"http://") :].split(b"/", 1)
        origin_port = authority.split(b":")[1]
        with connect(int(origin_port)) as upstream:
            upstream.sendall(b"GET /%s HTTP/1.0\r\nHost: %s\r\nVia: translation\r\n\r\n" % (path, authority))
            body = split_answer(read_all(upstream))[1]
        answer = (
            b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nLanguage: %s\r\nContent-Length: %d\r\n\r\n"
            % (language, len(body))
            + body
        )
        with self.lock:
            self.answers.append(answer)
        sock.sendall(answer)

    def close(self) -> None:
        for server, thread in zip(self.servers, self.threads):
            server.shutdown()
            thread.join(DEADLINE)
        for server in self.servers:
            # Waits for the handlers still running.
            server.server_close()


def page_reply(head: bytes):
    return ok(b"<html>page %s</html>" % head.split(b" ")[1])


def translation_settings(proxy, wine, tmp_path, mode: int) -> str:
    key = settings_root(proxy)
    # No translation notice: the switch goes through at once.
    write_values(wine, tmp_path, key, {"J2KTransHost": "127.0.0.1", "J2KAlert": 0})
    assert proxy.command("enable 1") == "enable"
    assert proxy.command("mode %d" % mode) == "mode"
    return key


def direct(origin, path: bytes) -> bool:
    """Whether the origin's latest connection is the proxy's own request for `path`."""
    head = origin.exchanges[-1].head
    return head.startswith(b"GET %s HTTP/1.0\r\n" % path) and b"Via: translation" not in head


def test_translation_primary_ports_and_learning(proxy, origin, wine, tmp_path):
    key = translation_settings(proxy, wine, tmp_path, 1)
    origin.reply = page_reply
    authority = origin.authority
    with closing(TranslationHost()) as translation:
        request = (
            b"GET http://%s/ja/page.rlvdoc HTTP/1.1\r\nHost: %s\r\nUser-Agent: E2E\r\n" % (authority, authority)
            + b"Pragma: no-cache\r\nProxy-Connection: Keep-Alive\r\nAccept: */*\r\n\r\n"
        )
        assert fetch(request) == translation.answers[-1]
        [(port, head)] = translation.requests
        assert 4000 <= port <= 4005
        assert head == (
            b"GET http://%s/ja/page.rlvdoc HTTP/1.0\r\nHost: %s\r\nUser-Agent: E2E\r\n" % (authority, authority)
            + b"Pragma: no-cache\r\nProxy-Connection: Close\r\nAccept: */*\r\n\r\n"
        )
        assert read_values(wine, tmp_path, key + "\\HostDir") == {authority + b"/ja": 0}
        assert read_values(wine, tmp_path, key + "\\Object") == {authority + b"/ja/page.rlvdoc": 1}

        # Japanese, learned: the directory's next page comes straight from the origin.
        answer = fetch(get_request(authority, b"/ja/other.rlvdoc"))
        assert answer == page_reply(b"GET /ja/other.rlvdoc").data
        assert len(translation.requests) == 1 and direct(origin, b"/ja/other.rlvdoc")

        # Korean, learned too: the directory stays with the translation host.
        translation.language = b"ko"
        for number, path in enumerate([b"/ko/page.rlvdoc", b"/ko/again.rlvdoc"], 2):
            assert fetch(get_request(authority, path)) == translation.answers[-1]
            assert len(translation.requests) == number
            assert translation.requests[-1][1].startswith(b"GET http://%s%s HTTP/1.0\r\n" % (authority, path))
        hostdir = read_values(wine, tmp_path, key + "\\HostDir")
        assert hostdir == {authority + b"/ja": 0, authority + b"/ko": 1}
        assert all(4000 <= port <= 4005 for port, _ in translation.requests)


def test_translation_fallback_ports(proxy, origin, wine, tmp_path):
    translation_settings(proxy, wine, tmp_path, 1)
    origin.reply = page_reply
    busy = [port for port in TranslationHost.PORTS if accepts(port)]
    assert not busy, "ports of the translation host are taken: %s" % busy

    # No translation host: the origin answers.
    assert fetch(get_request(origin.authority, b"/none/page.rlvdoc")) == page_reply(b"GET /none/page.rlvdoc").data
    assert direct(origin, b"/none/page.rlvdoc")

    # The primary ports refuse: the fallback ports are tried next.
    with closing(TranslationHost(TranslationHost.PORTS[6:])) as translation:
        assert fetch(get_request(origin.authority, b"/fallback/page.rlvdoc")) == translation.answers[-1]
        assert [port // 1000 for port, _ in translation.requests] == [3]

    # Fallback only: the primary ports are never tried, though they would answer.
    assert proxy.command("mode 0") == "mode"
    with closing(TranslationHost()) as translation:
        for number, directory in enumerate([b"one", b"two", b"three"], 1):
            path = b"/%s/page.rlvdoc" % directory
            assert fetch(get_request(origin.authority, path)) == translation.answers[-1]
            assert len(translation.requests) == number
        assert all(3000 <= port <= 3005 for port, _ in translation.requests)
