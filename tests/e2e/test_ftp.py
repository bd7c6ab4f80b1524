"""The FTP gateway: files and Korean directory pages from a scripted FTP server."""

import contextlib
import re
import socket
import socketserver
import threading

import pytest

from harness import DEADLINE, assert_same, connect, fetch, read
from test_relay import binary

DIRECTORY, FILE = b"\xb5\xf0\xb7\xba\xc5\xcd\xb8\xae", b"\xc6\xc4\xc0\xcf"
LISTING_HEAD = b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
PAGE_END = b"</body></html>\r\n"
GAP = b"\t" * 7 + b"   "  # between the table's tag and its head, and inside the head
TABLE_HEAD = b"<table border=0 cellpadding=5 cellspacing=0>\r\n%s<tr><th bgcolor=#ccccff>\xb3\xaf\xc2\xa5</th>" % GAP
TABLE_HEAD += b"<th bgcolor=#ddddff>\xc1\xbe\xb7\xf9</th>%s<th bgcolor=#ccccff>\xc5\xa9\xb1\xe2 ( byte )</th>" % GAP
TABLE_HEAD += b"<th bgcolor=#ddddff>\xc0\xcc\xb8\xa7</th></tr>"
FILES = {b"pub/a.txt": b"alpha\r\nbeta\r\n", b"pub/big.bin": binary(5 * 1024 * 1024 + 123), b"pub/README": b"no ext\n"}
FILES.update({b"pub/page.html": b"<html><body>ftp page</body></html>\n", b"pub/sub/inner.txt": b"inner\n"})
PUB = [(name, data) for name, data in FILES.items() if name.count(b"/") == 1]
UNPARSED = b"total 2\r\nd? odd line\r\n-rw only four fields\r\n+ something else\r\n"
LISTINGS = {
    b"": b"drwxr-xr-x    3 0        0            4096 Jan 15  2021 pub\r\n",
    b"pub": b"drwxr-xr-x    2 0        0            4096 Mar 01 09:05 ..\r\n"
    + b"".join(b"-rw-r--r--    1 0        0    %8d Feb  7 23:59 %s\r\n" % (len(data), name[4:]) for name, data in PUB)
    + b"-rw-r--r--    1 0        0              20 Dec 31  1999 my file.txt\r\n"
    + b"drwxr-xr-x    2 0        0            4096 Jan 15 10:30 sub\r\n",
    b"pub/sub": b"-rw-r--r--    1 0        0               6 Jan 15 10:30 inner.txt\r\n",
    b"odd": UNPARSED,
    b"dos": b"01-15-99  10:30AM  <DIR>  Sub Dir\r\n01-15-99 10:30AM 1,234 a.txt\r\n",
    b"endless": b"",
}


class FtpServer(socketserver.ThreadingTCPServer):
    """Anonymous login, passive mode, CWD into LISTINGS, LIST, and RETR of FILES; it keeps
    every command. Its passive replies name 127.0.0.2, where nothing listens: the data
    connection must go to the control connection's host. A transfer is done once the proxy
    has closed the data connection: the proxy reads one reply per receive, so 150 and 226
    must not come together. Anything "endless" is sent until nobody reads it."""

    REPLIES = {b"USER": b"331 password", b"PASS": b"230 in", b"TYPE": b"200 binary", b"QUIT": b"221 bye"}

    def __init__(self) -> None:
        super().__init__(("127.0.0.1", 0), None)
        self.commands, self.port = [], self.server_address[1]
        threading.Thread(target=self.serve_forever, args=(0.05,), daemon=True).start()

    def finish_request(self, control, address) -> None:
        control.settimeout(DEADLINE)
        cwd, passive = b"", socket.create_server(("127.0.0.1", 0))
        with passive, contextlib.suppress(OSError):
            passive.settimeout(DEADLINE)
            control.sendall(b"220 scripted\r\n")
            for line in control.makefile("rb"):
                self.commands.append(line.strip())
                verb, _, argument = line.strip().partition(b" ")
                content = LISTINGS.get(cwd) if verb == b"LIST" else FILES.get(cwd + b"/" + argument)
                endless, reply = b"endless" in (cwd, argument[:7]), self.REPLIES.get(verb, b"502 no")
                if verb == b"PASV":
                    reply = b"227 Entering Passive Mode (127,0,0,2,%d,%d)." % divmod(passive.getsockname()[1], 256)
                elif verb == b"CWD":
                    cwd, reply = (argument, b"250 ok") if argument in LISTINGS else (cwd, b"550 no")
                elif verb in (b"LIST", b"RETR"):
                    reply = self.transfer(control, passive, content, endless) if content or endless else b"550 no"
                control.sendall(reply + b"\r\n")
                if verb == b"QUIT":
                    return

    @staticmethod
    def transfer(control, passive, content: bytes, endless: bool) -> bytes:
        with passive.accept()[0] as data:
            data.settimeout(2 * DEADLINE)
            control.sendall(b"150 Opening BINARY mode data connection (%d bytes).\r\n" % len(content or b""))
            try:
                while endless:
                    data.sendall(b"no end in sight\r\n" * 1000)
                data.sendall(content)
                data.shutdown(socket.SHUT_WR)
                data.recv(1)
            except OSError:
                return b"426 aborted"
        return b"226 done"


@pytest.fixture(scope="module")
def ftp():
    with FtpServer() as server:
        yield server
        server.shutdown()


def test_files(proxy, ftp):
    kinds = {b"a.txt": b"text/plain", b"big.bin": b"application/unknown", b"page.html": b"text/html"}
    for name, kind in [*kinds.items(), (b"README", b"application/unknown")]:
        data = FILES[b"pub/" + name]
        head = b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nContent-Type: %s\r\n\r\n" % (len(data), kind)
        assert_same(fetch(b"GET ftp://127.0.0.1:%d/pub/%s HTTP/1.0\r\n\r\n" % (ftp.port, name)), head + data)
    del ftp.commands[:]  # a missing file: no answer at all, after a second session that fails the same way
    assert fetch(b"GET ftp://127.0.0.1:%d/pub/missing.txt HTTP/1.0\r\n\r\n" % ftp.port) == b""
    session = [b"USER anonymous", b"PASS relvia@example.com", b"TYPE I", b"PASV", b"CWD pub/missing.txt", b"CWD pub"]
    assert [c for c in ftp.commands if c != b"QUIT"] == 2 * (session + [b"RETR missing.txt"])  # QUITs come late


ROW = re.compile(rb"<tr>" + rb"<td[^>]*>(.*?)</td>\s*" * 3 + rb"<td[^>]*><a href=\"([^\"]*)\">(.*?)</a></td></tr>")


@pytest.mark.parametrize("path, directory, parent, rows", [
    (b"/", b"ROOT", None, [(b"Jan 15 2021", DIRECTORY, b"&nbsp;", b"/pub/", b"pub")]),
    (b"/pub/sub/", b"pub/sub", b"/pub/sub/../",
     [(b"Jan 15 10:30", FILE, b"6", b"/pub/sub/inner.txt", b"inner.txt")]),
    # Directories first; a file name may hold spaces.
    (b"/pub", b"pub", b"/pub/../", [(b"Jan 15 10:30", DIRECTORY, b"&nbsp;", b"/pub/sub/", b"sub")]
     + [(b"Feb 7 23:59", FILE, b"%d" % len(data), b"/" + name, name[4:]) for name, data in PUB]
     + [(b"Dec 31 1999", FILE, b"20", b"/pub/my file.txt", b"my file.txt")]),
    (b"/dos/", b"dos", b"/dos/../", [
        (b"01-15-99 10:30AM", DIRECTORY, b"&nbsp;", b"/dos/Sub Dir/", b"Sub Dir"),
        (b"01-15-99 10:30AM", FILE, b"1", b"/dos/a.txt", b"a.txt"),
    ]),
    (b"/odd/", b"odd", None, None),
])
def test_directory_pages(proxy, ftp, path, directory, parent, rows):
    page = fetch(b"GET ftp://127.0.0.1:%d%s HTTP/1.0\r\n\r\n" % (ftp.port, path))
    title = b"127.0.0.1\xc0\xc7 " + DIRECTORY + b" /" + directory
    top = LISTING_HEAD + b"<html><head><title>%s</title></head>" % title
    top += b"\t" * 9 + b"<body>\n<h3>%s</h3><hr><p>\n" % title
    if rows is None:  # not a line understood: the listing as it came
        assert page == top + b"<pre>\r\n" + UNPARSED + b"</pre>\r\n" + PAGE_END, page
        return
    assert page.startswith(top + TABLE_HEAD) and page.endswith(b"</table>\r\n" + PAGE_END), page
    found = ROW.findall(page)
    # Every row but the table's head is one of those; the parent's has no date.
    assert page.count(b"<tr>") == 1 + len(found), page
    assert (found.pop(0)[3] if found and found[0][0] == b"&nbsp;" else None, found) == (parent, rows)


@pytest.mark.parametrize("path", [b"/endless.bin", b"/endless/"])
def test_a_transfer_cut_short_frees_its_agent(proxy, ftp, path):
    """A browser that leaves in the middle of a file, or a listing cut at its bound:
    the server is told at once, so the agent is idle again within seconds."""
    with connect(request=b"GET ftp://127.0.0.1:%d%s HTTP/1.0\r\n\r\n" % (ftp.port, path)) as sock:
        if path.endswith(b"/"):
            assert read(sock, timeout=120).endswith(PAGE_END)
        else:
            read(sock, 65536)
    proxy.wait_counts(lambda total, busy, idle: busy == 0, "no busy agent")
