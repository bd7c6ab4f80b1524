"""The FTP gateway: files and Korean directory pages from a scripted FTP server."""

import re

import pytest

from ftp_server import FILES, UNPARSED, FtpServer
from harness import assert_same, fetch, wait_until

DIRECTORY, FILE = b"\xb5\xf0\xb7\xba\xc5\xcd\xb8\xae", b"\xc6\xc4\xc0\xcf"
UP = "상위 디렉터리로 이동".encode("cp949")  # the parent row's link
LISTING_HEAD = b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
PAGE_END = b"</body></html>\r\n"
GAP = b"\t" * 7 + b"   "  # between the table's tag and its head, and inside the head
TABLE_HEAD = b"<table border=0 cellpadding=5 cellspacing=0>\r\n%s<tr><th bgcolor=#ccccff>\xb3\xaf\xc2\xa5</th>" % GAP
TABLE_HEAD += b"<th bgcolor=#ddddff>\xc1\xbe\xb7\xf9</th>%s<th bgcolor=#ccccff>\xc5\xa9\xb1\xe2 ( byte )</th>" % GAP
TABLE_HEAD += b"<th bgcolor=#ddddff>\xc0\xcc\xb8\xa7</th></tr>"
PUB = [(name, data) for name, data in FILES.items() if name.startswith(b"pub/") and name.count(b"/") == 1]


@pytest.fixture(scope="module")
def ftp():
    with FtpServer() as server:
        yield server


def test_files(proxy, ftp):
    kinds = {b"a.txt": b"text/plain", b"big.bin": b"application/unknown", b"page.html": b"text/html"}
    for name, kind in [*kinds.items(), (b"README", b"application/unknown")]:
        data = FILES[b"pub/" + name]
        head = b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nContent-Type: %s\r\n\r\n" % (len(data), kind)
        assert_same(fetch(b"GET ftp://127.0.0.1:%d/pub/%s HTTP/1.0\r\n\r\n" % (ftp.port, name)), head + data)


LOGIN = [b"USER anonymous", b"PASS relvia@example.com", b"TYPE I", b"PASV"]
A_TXT = [b"CWD pub/a.txt", b"CWD pub", b"RETR a.txt", b"QUIT"]
ANSWER = b"HTTP/1.1 200 OK\r\n%sContent-Type: text/plain\r\n\r\n" + FILES[b"pub/a.txt"]


@pytest.mark.parametrize("url, script, answer, session", [
    (b"/pub/a.txt", {b"USER": b"230 no password"}, ANSWER % b"Content-Length: 13\r\n", LOGIN[:1] + LOGIN[2:] + A_TXT),
    (b"/pub/a.txt", {b"RETR": b"150 Opening BINARY mode data connection."}, ANSWER % b"", LOGIN + A_TXT),
    (b"/pub/a.txt", {b"RETR": b"150 Opening (0 bytes)."}, ANSWER % b"", LOGIN + A_TXT),
    (b"/root.txt", {}, FILES[b"root.txt"], LOGIN + [b"CWD root.txt", b"RETR root.txt", b"QUIT"]),  # no second CWD
    # "/" sends no CWD; the user "nobody" has a folder of its own, empty: at the root, no parent row.
    (b"nobody:secret@/", {}, TABLE_HEAD + b"</table>\r\n" + PAGE_END,
     [b"USER nobody", b"PASS secret", b"TYPE I", b"PASV", b"LIST", b"QUIT"]),
    # A session that fails before its transfer is tried once more, then the browser gets nothing.
    (b"/pub/a.txt", {b"": b"421 busy"}, b"", []),
    (b"/pub/a.txt", {b"PASS": b"530 no"}, b"", LOGIN[:2] * 2),
    (b"/pub/a.txt", {b"TYPE": b"504 no"}, b"", LOGIN[:3] * 2),
    (b"/pub/a.txt", {b"PASV": b"502 no"}, b"", LOGIN * 2),
    (b"/pub/missing.txt", {}, b"", (LOGIN + [b"CWD pub/missing.txt", b"CWD pub", b"RETR missing.txt"]) * 2),
], ids=["no-password", "no-size", "size-0", "root-file", "user", "greeting", "pass", "type", "pasv", "missing"])
def test_sessions(proxy, url, script, answer, session):
    """The answer's end (b"": no answer at all) and the commands the server got."""
    user, _, path = url.rpartition(b"@")
    with FtpServer(script) as ftp:
        got = fetch(b"GET ftp://%s127.0.0.1:%d%s HTTP/1.0\r\n\r\n" % (user + b"@" * bool(user), ftp.port, path))
        assert got.endswith(answer) and got.startswith(b"HTTP/1.1 200 OK\r\n" if answer else b""), got[:300]
        wait_until(lambda: ftp.commands == session, "the session %r, not %r" % (session, ftp.commands))


ROW = re.compile(rb"<tr>" + rb"<td[^>]*>(.*?)</td>\s*" * 3 + rb"<td[^>]*><a href=\"([^\"]*)\">(.*?)</a></td></tr>")


def parent(link: bytes):
    return (b"&nbsp;", DIRECTORY, b"&nbsp;", link, UP)


@pytest.mark.parametrize("path, directory, rows", [
    (b"/", b"ROOT", [(b"Jan 15 2021", DIRECTORY, b"&nbsp;", b"/pub/", b"pub")]),
    (b"/pub/sub/", b"pub/sub", [parent(b"/pub/sub/../"), (b"Jan 15 10:30", FILE, b"6", b"/pub/sub/inner.txt", b"inner.txt")]),
    # Directories first; a file name may hold spaces.
    (b"/pub", b"pub", [parent(b"/pub/../"), (b"Jan 15 10:30", DIRECTORY, b"&nbsp;", b"/pub/sub/", b"sub")]
     + [(b"Feb 7 23:59", FILE, b"%d" % len(data), b"/" + name, name[4:]) for name, data in PUB]
     + [(b"Dec 31 1999", FILE, b"20", b"/pub/my file.txt", b"my file.txt")]),
    (b"/dos/", b"dos", [
        parent(b"/dos/../"),
        (b"01-15-99 10:30AM", DIRECTORY, b"&nbsp;", b"/dos/Sub Dir/", b"Sub Dir"),
        (b"01-15-99 10:30AM", FILE, b"1", b"/dos/a.txt", b"a.txt"),
    ]),
    (b"/ROOT/", b"ROOT", [(b"Jan 15 10:30", FILE, b"6", b"/ROOT/top.txt", b"top.txt")]),  # named so: no parent row
    (b"/empty/", b"empty", [parent(b"/empty/../")]),
    (b"/odd/", b"odd", None),
])
def test_directory_pages(proxy, ftp, path, directory, rows):
    page = fetch(b"GET ftp://127.0.0.1:%d%s HTTP/1.0\r\n\r\n" % (ftp.port, path))
    title = b"127.0.0.1\xc0\xc7 " + DIRECTORY + b" /" + directory
    top = LISTING_HEAD + b"<html><head><title>%s</title></head>" % title
    top += b"\t" * 9 + b"<body>\n<h3>%s</h3><hr><p>\n" % title
    if rows is None:  # not a line understood: the listing as it came
        assert page == top + b"<pre>\r\n" + UNPARSED + b"</pre>\r\n" + PAGE_END, page
        return
    assert page.startswith(top + TABLE_HEAD) and page.endswith(b"</table>\r\n" + PAGE_END), page
    found = ROW.findall(page)
    assert (page.count(b"<tr>"), found) == (1 + len(found), rows)  # every row but the table's head is one of those
