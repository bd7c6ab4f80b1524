"""The FTP gateway: files and Korean directory pages from vsftpd, fetched with curl
through the proxy, and listings in other formats from a scripted server."""

import os
import re
import shutil
import signal
import socket
import socketserver
import subprocess
import threading
from contextlib import closing
from pathlib import Path

import pytest

from harness import DEADLINE, accepts, connect, free_port, read_all, read_exactly, sha256, wait_until
from test_relay import binary

DIRECTORY = b"\xb5\xf0\xb7\xba\xc5\xcd\xb8\xae"
ENDLESS = b"endless"
FILE = b"\xc6\xc4\xc0\xcf"
LISTING_HEAD = b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
PAGE_END = b"</body></html>\r\n"

VSFTPD_CONF = """\
listen=YES
listen_address=127.0.0.1
listen_port={port}
listen_ipv6=NO
background=NO
anonymous_enable=YES
anon_root={root}
no_anon_password=YES
write_enable=NO
pasv_enable=YES
pasv_address=127.0.0.1
seccomp_sandbox=NO
secure_chroot_dir=/var/run/vsftpd/empty
run_as_launching_user=YES
xferlog_enable=YES
log_ftp_protocol=YES
vsftpd_log_file={log}
"""

FILES = {
    "a.txt": b"alpha\r\nbeta\r\n",
    "my file.txt": b"a name with a space\n",
    "big.bin": binary(5 * 1024 * 1024 + 123),
    "page.html": b"<html><body>ftp page</body></html>\n",
    "README": b"no extension\n",
    # More than the proxy's and the server's socket buffers hold.
    "huge.bin": bytes(64 * 1024 * 1024),
}


class Vsftpd:
    """Debian's vsftpd in the foreground on one loopback port, anonymous and read-only,
    logging every command."""

    def __init__(self, folder: Path, root: Path) -> None:
        self.log = folder / "vsftpd.log"
        Path("/var/run/vsftpd/empty").mkdir(parents=True, exist_ok=True)
        for _ in range(5):
            self.port = free_port()
            conf = folder / "vsftpd.conf"
            conf.write_text(VSFTPD_CONF.format(port=self.port, root=root, log=self.log))
            with open(folder / "vsftpd.out", "ab") as out:
                self.proc = subprocess.Popen(["vsftpd", str(conf)], stdin=subprocess.DEVNULL, stdout=out, stderr=out)
            wait_until(lambda: self.proc.poll() is not None or accepts(self.port), DEADLINE, "vsftpd to listen")
            if self.proc.poll() is None:
                return
        raise AssertionError("vsftpd did not start: %s" % (folder / "vsftpd.out").read_text(errors="replace"))

    def commands(self, verb: str) -> int:
        """How many commands starting with `verb` the server has logged."""
        try:
            text = self.log.read_text(errors="replace")
        except OSError:
            return 0
        return text.count('FTP command: Client "127.0.0.1", "%s' % verb)

    def url(self, path: str) -> str:
        return "ftp://127.0.0.1:%d%s" % (self.port, path)

    def stop(self) -> None:
        # Sessions are children of the listener and end with their connections.
        children = Path("/proc/%d/task/%d/children" % (self.proc.pid, self.proc.pid))
        pids = [int(pid) for pid in children.read_text().split()] if children.exists() else []
        self.proc.terminate()
        self.proc.wait(DEADLINE)

        def running():
            return [pid for pid in pids if process_state(pid) not in ("", "Z")]

        try:
            wait_until(lambda: not running(), DEADLINE, "vsftpd sessions to end")
        finally:
            for pid in running():
                os.kill(pid, signal.SIGKILL)


def process_state(pid: int) -> str:
    """The state letter of a process, "" when it is gone."""
    try:
        return Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()[0]
    except (OSError, IndexError):
        return ""


@pytest.fixture(scope="module")
def vsftpd(tmp_path_factory):
    folder = tmp_path_factory.mktemp("vsftpd")
    root = folder / "root"
    (root / "pub" / "sub").mkdir(parents=True)
    for name, data in FILES.items():
        (root / "pub" / name).write_bytes(data)
    (root / "pub" / "sub" / "inner.txt").write_bytes(b"inner\n")
    # vsftpd refuses an anonymous root the session could write to.
    root.chmod(0o555)
    server = Vsftpd(folder, root)
    yield server
    server.stop()


def curl(url: str, folder: Path):
    """Fetches `url` with curl through the proxy: (exit code, answer head, body)."""
    head, body = folder / "curl.head", folder / "curl.body"
    for path in (head, body):
        path.unlink(missing_ok=True)
    env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
    argv = [shutil.which("curl"), "-sS", "--noproxy", "", "-x", "http://127.0.0.1:8080"]
    argv += ["-D", str(head), "-o", str(body), "--max-time", str(int(DEADLINE)), url]
    code = subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=DEADLINE + 10)
    return (code.returncode,) + tuple(path.read_bytes() if path.exists() else b"" for path in (head, body))


def test_files(proxy, vsftpd, tmp_path):
    types = {".txt": b"text/plain", ".html": b"text/html"}
    for name in ("a.txt", "big.bin", "page.html", "README"):
        code, head, body = curl(vsftpd.url("/pub/" + name), tmp_path)
        data = FILES[name]
        assert code == 0, name
        assert (len(body), sha256(body)) == (len(data), sha256(data)), name
        kind = types.get(os.path.splitext(name)[1], b"application/unknown")
        lines = head.split(b"\r\n")
        assert lines[0] == b"HTTP/1.1 200 OK" and lines[-2:] == [b"", b""], head
        assert sorted(lines[1:-2]) == [b"Content-Length: %d" % len(data), b"Content-Type: " + kind], head

    # A missing file: no answer at all, after a second session that fails the same way.
    logins = vsftpd.commands("USER ")
    assert curl(vsftpd.url("/pub/missing.txt"), tmp_path) == (52, b"", b"")
    assert curl(vsftpd.url("/pub/a.txt"), tmp_path)[2] == FILES["a.txt"]
    wait_until(lambda: vsftpd.commands("USER ") >= logins + 3, DEADLINE, "vsftpd to log the logins")
    assert vsftpd.commands("USER ") == logins + 3
    assert vsftpd.commands("RETR missing.txt") == 2


CELL = rb"<td[^>]*>(.*?)</td>\s*"
ROW = re.compile(rb"<tr>" + CELL * 3 + rb"<td[^>]*><a href=\"([^\"]*)\">(.*?)</a></td></tr>")


def listing_rows(page: bytes, host: bytes, directory: bytes):
    """Checks the page's frame and title; returns its rows as (date, kind, size,
    link, name), the parent row taken out and its link returned first."""
    title = host + b"\xc0\xc7 " + DIRECTORY + b" /" + directory
    assert page.startswith(b"<html><head><title>%s</title></head>" % title), page[:300]
    assert b"<h3>%s</h3>" % title in page
    assert page.endswith(b"</table>\r\n" + PAGE_END), page[-300:]
    rows = ROW.findall(page)
    # Every row but the table's head is one of those.
    assert page.count(b"<tr>") == 1 + len(rows), page
    parent = rows.pop(0)[3] if rows and rows[0][0] == b"&nbsp;" else None
    return parent, rows


def test_directories(proxy, vsftpd, tmp_path):
    files = sorted((FILE, b"%d" % len(data), b"/pub/" + name.encode(), name.encode()) for name, data in FILES.items())
    for path in ("/pub/", "/pub"):
        code, head, page = curl(vsftpd.url(path), tmp_path)
        assert (code, head) == (0, LISTING_HEAD)
        parent, rows = listing_rows(page, b"127.0.0.1", b"pub")
        assert parent == b"/pub/../"
        assert [row[1:] for row in rows[:1]] == [(DIRECTORY, b"&nbsp;", b"/pub/sub/", b"sub")]
        assert sorted(row[1:] for row in rows[1:]) == files
        assert all(re.fullmatch(rb"\w{3} +\d+ [\d:]+", row[0]) for row in rows), rows

    parent, rows = listing_rows(curl(vsftpd.url("/"), tmp_path)[2], b"127.0.0.1", b"ROOT")
    assert parent is None
    assert [row[1:] for row in rows] == [(DIRECTORY, b"&nbsp;", b"/pub/", b"pub")]

    parent, rows = listing_rows(curl(vsftpd.url("/pub/sub/"), tmp_path)[2], b"127.0.0.1", b"pub/sub")
    assert parent == b"/pub/sub/../"
    assert [row[1:] for row in rows] == [(FILE, b"6", b"/pub/sub/inner.txt", b"inner.txt")]


class ScriptedFtp:
    """An FTP server that serves fixed listings: anonymous login with a password,
    passive mode, CWD into the listed directories, LIST. It says "226" only when the
    test lets it, once the browser has the page's head: the proxy reads one reply
    per receive, so 150 and 226 must not arrive together. Its passive replies name
    127.0.0.2, where nothing listens: the data connection must go to the control
    connection's host. A listing or file named after ENDLESS never ends: it is sent until
    nobody reads it, and the transfer is then reported aborted."""

    def __init__(self, listings: dict) -> None:
        self.listings = listings
        self.lets = threading.Semaphore(0)
        outer = self

        class Handler(socketserver.StreamRequestHandler):
            def handle(self) -> None:
                self.connection.settimeout(DEADLINE)
                outer.session(self.rfile, self.wfile)

        class Server(socketserver.ThreadingTCPServer):
            daemon_threads = False

        self.server = Server(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, args=(0.05,), daemon=True)
        self.thread.start()

    REPLIES = {b"USER": b"331 password", b"PASS": b"230 in", b"TYPE": b"200 binary", b"QUIT": b"221 bye"}

    def session(self, rfile, wfile) -> None:
        cwd, passive = b"", None
        wfile.write(b"220 scripted\r\n")
        try:
            for line in rfile:
                verb, _, argument = line.strip().partition(b" ")
                reply = self.REPLIES.get(verb, b"502 no")
                if verb == b"PASV":
                    passive = socket.create_server(("127.0.0.1", 0))
                    port = passive.getsockname()[1]
                    reply = b"227 Entering Passive Mode (127,0,0,2,%d,%d)" % (port // 256, port % 256)
                elif verb in (b"LIST", b"RETR") and passive and ENDLESS in (cwd, argument[: len(ENDLESS)]):
                    reply = self.send_endless(passive, wfile)
                elif verb == b"CWD":
                    cwd = argument if argument in self.listings else cwd
                    reply = b"250 ok" if argument in self.listings else b"550 no"
                elif verb == b"LIST" and passive:
                    passive.settimeout(DEADLINE)
                    with passive.accept()[0] as data:
                        wfile.write(b"150 listing\r\n")
                        data.sendall(self.listings[cwd])
                    if not self.lets.acquire(timeout=DEADLINE):
                        return
                    reply = b"226 done"
                wfile.write(reply + b"\r\n")
                if verb == b"QUIT":
                    return
        finally:
            if passive:
                passive.close()

    @staticmethod
    def send_endless(passive, wfile) -> bytes:
        passive.settimeout(DEADLINE)
        with passive.accept()[0] as data:
            wfile.write(b"150 sending\r\n")
            try:
                while True:
                    data.sendall(b"no end in sight\r\n" * 1000)
            except OSError:
                return b"426 aborted"

    def close(self) -> None:
        self.server.shutdown()
        self.thread.join(DEADLINE)
        self.server.server_close()


def test_other_listing_formats(proxy):
    unparsed = b"total 2\r\nd? odd line\r\n-rw only four fields\r\n+ something else\r\n"
    dos = b"01-15-99  10:30AM  <DIR>  Sub Dir\r\n01-15-99 10:30AM 1,234 a.txt\r\n"
    with closing(ScriptedFtp({b"": unparsed, b"dos": dos})) as server:

        def page(path: bytes) -> bytes:
            with connect() as sock:
                sock.sendall(b"GET ftp://127.0.0.1:%d%s HTTP/1.0\r\n\r\n" % (server.port, path))
                assert read_exactly(sock, len(LISTING_HEAD)) == LISTING_HEAD
                server.lets.release()
                return read_all(sock)

        body = page(b"/")
        assert body.endswith(b"<pre>\r\n" + unparsed + b"</pre>\r\n" + PAGE_END), body
        assert body.startswith(b"<html><head><title>127.0.0.1\xc0\xc7 %s /ROOT</title>" % DIRECTORY)

        parent, rows = listing_rows(page(b"/dos/"), b"127.0.0.1", b"dos")
        assert parent == b"/dos/../"
        assert rows == [
            (b"01-15-99 10:30AM", DIRECTORY, b"&nbsp;", b"/dos/Sub Dir/", b"Sub Dir"),
            (b"01-15-99 10:30AM", FILE, b"1", b"/dos/a.txt", b"a.txt"),
        ]


def agent_counts(host):
    return tuple(int(word) for word in host.command("count").split()[1:])


@pytest.mark.parametrize("server, path", [("vsftpd", b"/pub/huge.bin"), ("scripted", b"/endless.bin"), ("scripted", b"/endless/")])
def test_a_transfer_cut_short_frees_its_agent(proxy, request, server, path):
    """A browser that leaves in the middle of a file, or a listing cut at its bound:
    the server is told at once, so the agent is idle again within seconds."""
    with closing(ScriptedFtp({b"": b"", ENDLESS: b""})) as scripted:
        port = request.getfixturevalue("vsftpd").port if server == "vsftpd" else scripted.port
        with connect() as sock:
            sock.sendall(b"GET ftp://127.0.0.1:%d%s HTTP/1.0\r\n\r\n" % (port, path))
            if path.endswith(b"/"):
                assert read_exactly(sock, len(LISTING_HEAD)) == LISTING_HEAD
                assert read_all(sock, 120).endswith(PAGE_END)
            else:
                read_exactly(sock, 65536)
        wait_until(lambda: agent_counts(proxy)[1] == 0, DEADLINE, "no busy agent", 0.5)
