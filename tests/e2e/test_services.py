"""The service features on the HTTP path, with settings in Wine's registry: one-word
host redirects, the identification cookie, switch requests and translation routing."""

from contextlib import ExitStack

from harness import Origin, Reply, accepts, fetch, get, ok, wait_until
from test_relay import upstream_head

KOREAN = b"\xb0\xa1\xb3\xaa"
SEARCH = b"http://search.corvale.co.kr/cgi-bin/search.cgi?q=%s"
ON_TEXT = "지금부터 Pellora의 일한 번역 기능을 이용하여 일본어 홈페이지의 내용을 자동으로 한국어로 번역해서 보여줄 것입니다.\n\n" \
    "이 기능을 사용하는 중에는 일본어가 아닌 홈페이지에 대한 접속이 느려질 수 있습니다."
OFF_TEXT = "Pellora의 일한 번역 기능을 해제했습니다."


def test_one_word_host_redirect(proxy):
    def redirects(*cases) -> None:
        for host, target in cases:
            page = b'<HTML><HEAD><META HTTP-EQUIV="Refresh" CONTENT="0; URL=%s"></HEAD><BODY></BODY></HTML>' % target
            answer = b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n\r\n" % len(page) + page
            assert fetch(b"GET http://%s/x HTTP/1.0\r\nHost: %s\r\n\r\n" % (host, host)) == answer, host

    redirects((b"intranet:81", b"http://www.intranet.com/"), (KOREAN, SEARCH % b"%B0%A1%B3%AA"))
    redirects((KOREAN + b".kr:8000", SEARCH % b"%B0%A1%B3%AA.kr"))  # non-ASCII hosts: to the search, dots or not
    proxy.set_values({"SearchURL": "http://127.0.0.1/find?w=%s&from=relvia"})
    redirects((KOREAN + b"a1", b"http://127.0.0.1/find?w=%B0%A1%B3%AAa1&from=relvia"))
    proxy.set_values({"SearchURL": "http://127.0.0.1/find?w=%s&v=%s"})  # not exactly one "%s": the default
    redirects((KOREAN, SEARCH % b"%B0%A1%B3%AA"))
    # Redirect entries win over both, matched without regard to case.
    proxy.set_values({"INTRANET": "http://127.0.0.1/portal", KOREAN: "http://127.0.0.1/ko"}, "\\Redirect")
    redirects((b"intranet:81", b"http://127.0.0.1/portal"), (b"Intranet", b"http://127.0.0.1/portal"))
    redirects((KOREAN, b"http://127.0.0.1/ko"), (b"wiki", b"http://www.wiki.com/"))


def relayed(origin, request: bytes, count: int, cookie: bytes = b"") -> None:
    """Sends `request`, which gets the origin's answer; the origin's `count`th connection gets the
    head upstream_head() says, with `cookie` in place of the browser's (a=1;b=2), or added last."""
    assert fetch(request) == origin.reply.data
    head = upstream_head(request)
    if cookie:
        own = head.replace(b"Cookie: a=1;b=2", b"Cookie: " + cookie)
        head = own if own != head else head[:-2] + b"Cookie: %s\r\n\r\n" % cookie
    assert origin.finished(count).head == head


def test_identification_cookie(proxy, origin, wine):
    plain = get(origin.authority, b"/page", b"Accept: */*\r\n")
    with_cookie = get(origin.authority, b"/page", b"Cookie: a=1;b=2\r\nAccept: */*\r\n")
    relayed(origin, plain, 1)
    proxy.set_values({"0.0.1": 0}, "\\Domain")  # the domain of a numeric host is the host without its first label
    relayed(origin, plain, 2, b"CID=000000; OID=000000; CLNTVER=0.0.00")
    relayed(origin, with_cookie, 3, b"a=1; b=2; CID=000000; OID=000000; CLNTVER=0.0.00")
    proxy.set_values({"ClientVersion": "5.1.02"})
    try:
        wine.write("HKCU\\SOFTWARE\\Corvale\\User", {"CID": "", "OID": "o0815"})  # an empty CID: a bare item
        relayed(origin, with_cookie, 4, b"a=1; b=2; CID; OID=o0815; CLNTVER=5.1.02")
    finally:
        wine.write("HKCU\\SOFTWARE\\Corvale\\User", {"CID": None, "OID": None})


def test_switch_requests(proxy, origin, screen):
    proxy.set_values({"0.0.1": 1}, "\\Domain")
    on, off = "msg 1182 1 0", "msg 1182 2 0"

    def switch(word: bytes, enabled: int, messages: list) -> None:
        assert fetch(get(origin.authority, b"/cgi/spell.cgi?cmd=" + word)) == b"HTTP/1.1 204 No Content\r\n"
        # The answer goes out before the setting is written.
        wait_until(lambda: proxy.command("enabled") == "enabled %d" % enabled, "enabled %d" % enabled, interval=0.1)
        # A change is told in a message, and the host hears of it once that is closed (a wrong one stays open).
        if len(messages) > len(proxy.messages):
            message = screen.find("Pellora - 일한 번역")
            assert message.texts()[1002] == [OFF_TEXT, ON_TEXT][enabled]
            screen.click(*message.center(1004))
        wait_until(lambda: len(proxy.messages) >= len(messages), "the host's message")
        assert proxy.messages == messages
        assert "Pellora - 일한 번역" not in [dialog.caption for dialog in screen.dialogs()]

    assert proxy.command("enabled") == "enabled 0"
    switch(b"EnableJ2KTrans", 1, [on])
    switch(b"enablej2ktrans", 1, [on])
    switch(b"DisableJ2KTrans", 0, [on, off])
    switch(b"DISABLEJ2KTRANS", 0, [on, off])
    switch(b"eNaBlEj2KtRaNs", 1, [on, off, on])
    # Not a switch: as it came, and the first request the origin sees.
    relayed(origin, get(origin.authority, b"/cgi/spell.cgi?cmd=EnableJ2KTrans&x=1"), 1)
    assert proxy.command("enable -1") == "enable"  # locked: the switch is relayed and changes nothing
    relayed(origin, get(origin.authority, b"/cgi/spell.cgi?cmd=DisableJ2KTrans"), 2)
    assert proxy.commands("enabled", "enable 0") == ["enabled -1", "enable"]
    switch(b"EnableJ2KTrans", 1, [on, off, on, on])


PRIMARY, FALLBACK = range(4000, 4006), range(3000, 3006)


class TranslationHost(ExitStack):
    """The translation service on `ports`: keeps (port, head) of every request, and answers with a
    page of its own in the test's "Language"."""

    def __init__(self, *ports) -> None:
        super().__init__()
        self.language, self.requests, self.answers = b"ja", [], []
        for port in ports:
            self.enter_context(Origin(lambda head, port=port: self.answer(port, head), port))

    def answer(self, port: int, head: bytes) -> Reply:
        self.requests.append((port, head))
        page = b"Language: %s\r\n\r\n<html>translated %s</html>" % (self.language, head.split(b" ")[1])
        self.answers.append(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n" + page)
        return Reply(self.answers[-1])


def test_translation_routing_and_learning(proxy, origin, wine):
    assert not [port for port in [*PRIMARY, *FALLBACK] if accepts(port)], "ports of the translation host are taken"
    proxy.set_values({"J2KTransHost": "127.0.0.1", "J2KAlert": 0})  # no notice: translation goes on at once
    assert proxy.commands("enable 1", "mode 1") == ["enable", "mode"]
    origin.reply = lambda head: ok(b"<html>page %s</html>" % head.split(b" ")[1])
    authority = origin.authority

    def translated(translation, path: bytes, count: int) -> None:
        assert fetch(get(authority, path)) == translation.answers[-1]
        assert len(translation.requests) == count
        assert translation.requests[-1][1].startswith(b"GET http://%s%s HTTP/1.0\r\n" % (authority, path))

    def direct(path: bytes) -> None:
        assert fetch(get(authority, path)) == ok(b"<html>page %s</html>" % path).data
        assert origin.exchanges[-1].head.startswith(b"GET %s HTTP/1.0\r\n" % path)

    with TranslationHost(*PRIMARY, *FALLBACK) as translation:
        request = b"GET http://%s/ja/page.rlvdoc HTTP/1.1\r\nHost: %s\r\nUser-Agent: E2E\r\n" % (authority, authority)
        request += b"Pragma: no-cache\r\nProxy-Connection: %s\r\nAccept: */*\r\n\r\n"
        assert fetch(request % b"Keep-Alive") == translation.answers[-1]
        assert translation.requests[0][1] == request.replace(b"HTTP/1.1", b"HTTP/1.0") % b"Close"
        assert wine.read(proxy.key + "\\HostDir") == {authority + b"/ja": 0}
        assert wine.read(proxy.key + "\\Object") == {authority + b"/ja/page.rlvdoc": 1}
        direct(b"/ja/other.rlvdoc")  # Japanese, learned: the directory's next page comes straight from the origin
        translation.language = b"ko-KR, ja"  # Korean first, learned too: the directory stays with the translation host
        translated(translation, b"/ko/page.rlvdoc", 2)
        translated(translation, b"/ko/again.rlvdoc", 3)
        assert wine.read(proxy.key + "\\HostDir") == {authority + b"/ja": 0, authority + b"/ko": 1}
        assert all(port in PRIMARY for port, _ in translation.requests)
    direct(b"/none/page.rlvdoc")  # no translation host: the origin answers
    with TranslationHost(*FALLBACK) as translation:  # the primary ports refuse: the fallback ports are tried next
        translated(translation, b"/fallback/page.rlvdoc", 1)
    assert proxy.command("mode 0") == "mode"  # fallback only: the primary ports are never tried, though they answer
    with TranslationHost(*PRIMARY, *FALLBACK) as translation:
        for number, directory in enumerate([b"one", b"two", b"three"], 1):
            translated(translation, b"/%s/page.rlvdoc" % directory, number)
        assert all(port in FALLBACK for port, _ in translation.requests)
