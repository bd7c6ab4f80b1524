"""The processes the end-to-end tests run (Xvfb, the wineserver, the host program,
nginx) and the raw HTTP client they talk to the proxy with."""

import hashlib
import itertools
import os
import queue
import select
import signal
import socket
import subprocess
import threading
import time
import warnings
from pathlib import Path
from typing import Callable, List, Optional, Tuple

REPO = Path(__file__).resolve().parents[2]
BIN_DIR = REPO / "build" / "win64" / "bin"
HOST_EXE = BIN_DIR / "relvia-host.exe"
LIBRARY = BIN_DIR / "Relvia.dll"

PROXY_PORT = 8080
# The default limit for one step: a reply, a connection, an answer.
DEADLINE = 30.0


def wait_until(condition: Callable, timeout: float, what: str, interval: float = 0.05):
    """Polls `condition` until it returns something true and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError("waited %.0f s for %s" % (timeout, what))
        time.sleep(interval)


def sha256(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest()


# Ports and the raw client.


def accepts(port: int) -> bool:
    """Whether something listens on 127.0.0.1:port (a connection is made and closed)."""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5):
            return True
    except ConnectionRefusedError:
        return False
    except socket.timeout:
        # No refusal within the time: a listener whose queue is full.
        return True


def wait_accepting(port: int = PROXY_PORT, timeout: float = DEADLINE) -> None:
    wait_until(lambda: accepts(port), timeout, "127.0.0.1:%d to accept connections" % port)


def wait_free(port: int = PROXY_PORT, timeout: float = DEADLINE) -> None:
    wait_until(lambda: not accepts(port), timeout, "nothing to listen on 127.0.0.1:%d" % port)


def listening_sockets(port: int) -> List[Tuple[str, int]]:
    """(local address, accept-queue limit) of every socket listening on `port`, as ss
    shows them."""
    run = subprocess.run(["ss", "-ltnH", "sport = :%d" % port], capture_output=True, text=True, timeout=DEADLINE)
    return [(fields[3], int(fields[2])) for fields in map(str.split, run.stdout.splitlines()) if len(fields) >= 4]


def system_backlog() -> int:
    """The longest accept queue the system gives a listening socket."""
    return int(Path("/proc/sys/net/core/somaxconn").read_text())


def free_port() -> int:
    """A loopback port nobody listens on right now."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def connect(port: int = PROXY_PORT, timeout: float = DEADLINE) -> socket.socket:
    sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return sock


def read_all(sock: socket.socket, timeout: float = DEADLINE, chunk: int = 262144) -> bytes:
    """Reads until the peer closes (or resets) the connection. Fails when it has not
    within `timeout` seconds."""
    deadline = time.monotonic() + timeout
    data = bytearray()
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            raise AssertionError("connection still open after %.0f s (%d bytes read)" % (timeout, len(data)))
        sock.settimeout(left)
        try:
            part = sock.recv(chunk)
        except ConnectionResetError:
            return bytes(data)
        except socket.timeout:
            continue
        if not part:
            return bytes(data)
        data += part


def read_exactly(sock: socket.socket, count: int, timeout: float = DEADLINE) -> bytes:
    deadline = time.monotonic() + timeout
    data = bytearray()
    while len(data) < count:
        left = deadline - time.monotonic()
        if left <= 0:
            raise AssertionError("%d of %d bytes after %.0f s" % (len(data), count, timeout))
        sock.settimeout(left)
        try:
            part = sock.recv(count - len(data))
        except socket.timeout:
            continue
        if not part:
            raise AssertionError("closed after %d of %d bytes" % (len(data), count))
        data += part
    return bytes(data)


def fetch(request: bytes, timeout: float = DEADLINE, port: int = PROXY_PORT) -> bytes:
    """Sends one request through the proxy and returns everything that came back."""
    with connect(port, timeout) as sock:
        sock.sendall(request)
        return read_all(sock, timeout)


def get_request(origin_authority: bytes, path: bytes = b"/", fields: bytes = b"") -> bytes:
    """A browser's GET for http://<authority><path>, as sent to a proxy."""
    return (
        b"GET http://%s%s HTTP/1.0\r\nHost: %s\r\n" % (origin_authority, path, origin_authority) + fields + b"\r\n"
    )


_settings_keys = itertools.count(1)


def settings_root(host: "Host") -> str:
    """Points the library at a settings key of its own under HKCU."""
    key = "Software\\RelviaE2E\\run%d-%d" % (os.getpid(), next(_settings_keys))
    assert host.command("regroot HKCU " + key) == "regroot 1"
    return key


def turn_on(host: "Host") -> None:
    """Turns the proxy on and waits until it accepts connections."""
    # Whatever listens on the port now would answer in the proxy's place.
    assert not accepts(PROXY_PORT), "127.0.0.1:%d is taken before the proxy is on" % PROXY_PORT
    assert host.command("on") == "on 1"
    wait_accepting()


def turn_off(host: "Host", timeout: float = DEADLINE) -> None:
    assert host.command("off", timeout) == "off"
    wait_free()


def split_answer(answer: bytes) -> Tuple[bytes, bytes]:
    end = answer.find(b"\r\n\r\n")
    assert end >= 0, "no complete answer head in %r" % answer[:200]
    return answer[: end + 4], answer[end + 4 :]


# Xvfb and the wineserver.


def windows_path(path: Path) -> str:
    """The path as Wine's programs see it, through drive Z:."""
    return "Z:" + str(path.resolve()).replace("/", "\\")


def _run_quiet(argv: List[str], env: dict, timeout: float, log: Optional[Path] = None) -> int:
    """Runs a command with no pipe of ours attached: Wine's helpers, started on the
    way, would otherwise hold it open long after the command ended. What it says goes
    to `log` when one is named (a file, which nobody waits on)."""
    with open(log or os.devnull, "wb") as out:
        return subprocess.run(
            argv, env=env, cwd=REPO, stdin=subprocess.DEVNULL, stdout=out, stderr=out, timeout=timeout
        ).returncode


def terminate(proc: Optional[subprocess.Popen]) -> None:
    """Ends a process we started: SIGTERM, then SIGKILL if it does not go in time."""
    if proc and proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(DEADLINE)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(DEADLINE)


class Xvfb:
    def __init__(self, log_path: Path) -> None:
        read_end, write_end = os.pipe()
        with open(log_path, "wb") as log:
            self.proc = subprocess.Popen(
                # -displayfd: the server takes the first free display and reports it.
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                pass_fds=(write_end,),
                stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL,
                stderr=log,
            )
        os.close(write_end)
        try:
            number = b""
            deadline = time.monotonic() + DEADLINE
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read_end], [], [], left)[0]:
                    break
                part = os.read(read_end, 16)
                if not part:
                    break
                number += part
        finally:
            os.close(read_end)
        if not number.strip().isdigit():
            self.stop()
            raise AssertionError("Xvfb reported no display: %s" % log_path.read_text(errors="replace"))
        self.display = ":" + number.strip().decode()

    def stop(self) -> None:
        terminate(self.proc)


class WineServer:
    """The prefix of scripts/wine-env.sh with a persistent, warmed-up wineserver bound
    to one X display, so Wine's helpers start outside any test's pipes."""

    def __init__(self, prefix: Path, display: str) -> None:
        self.prefix = prefix
        self.foreign = set()
        self.env = dict(os.environ)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.update(
            WINEPREFIX=str(prefix),
            WINEDEBUG="-all",
            WINEDLLOVERRIDES="mscoree=",
            # Wine takes the ANSI code page from the locale: ko_KR gives 949.
            LC_ALL="ko_KR.UTF-8",
            DISPLAY=display,
        )

    def run(self, *argv: str, timeout: float = 120, log: Optional[Path] = None) -> int:
        return _run_quiet(list(argv), self.env, timeout, log)

    def up(self) -> None:
        if not (self.prefix / "system.reg").exists():
            self.prefix.mkdir(parents=True, exist_ok=True)
            self.run("wineboot", "-i", timeout=600)
            self.run("wineserver", "-w", timeout=120)
        # A server that is already running ignores -p and keeps its display: end it.
        self.run("wineserver", "-k")
        self.run("wineserver", "-w")
        # Whatever still runs in the prefix now is not this run's to stop.
        self.foreign = {pid for pid, _ in self.processes()}
        if self.foreign:
            warnings.warn("Wine processes of an earlier run still run in %s: %s" % (self.prefix, self.processes()))
        assert self.run("wineserver", "-p") == 0, "wineserver -p failed"
        assert self.run("wine", "cmd", "/c", "exit") == 0, "Wine does not start in %s" % self.prefix
        # The prefix outlives a run; the tests' settings keys start empty.
        self.run("wine", "reg", "delete", "HKCU\\Software\\RelviaE2E", "/f")
        desktop = windows_path(REPO / "scripts" / "wine-desktop.reg")
        assert self.run("wine", "reg", "import", desktop) == 0, "reg import of the desktop failed"

    def down(self) -> None:
        self.run("wineserver", "-k")
        self.run("wineserver", "-w")

        def ours():
            return [p for p in self.processes() if p[0] not in self.foreign]

        # The killed processes may take a moment to go; one that outlives the server
        # is stopped by its PID.
        try:
            wait_until(lambda: not ours(), 10, "the Wine processes to end")
        except AssertionError:
            missed = ours()
            warnings.warn("stopping Wine processes that outlived wineserver -k: %s" % missed)
            for pid, _ in missed:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            try:
                wait_until(lambda: not ours(), DEADLINE, "the Wine processes to end")
            except AssertionError:
                raise AssertionError("Wine processes left: %s" % ours()) from None

    def processes(self) -> List[Tuple[int, str]]:
        """Live Wine processes (not zombies) that run in this prefix."""
        wanted = ("WINEPREFIX=%s" % self.prefix).encode()
        found = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                if not os.readlink(entry / "exe").startswith("/usr/lib/wine/"):
                    continue
                state = (entry / "stat").read_text().rsplit(")", 1)[1].split()[0]
                environ = (entry / "environ").read_bytes().split(b"\0")
                cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
            except OSError:
                continue
            if state != "Z" and wanted in environ:
                found.append((int(entry.name), cmdline.strip()))
        return found


# The host program.


class HostError(AssertionError):
    pass


class Host:
    """relvia-host.exe --console: one command line in, one result line out."""

    def __init__(self, argv: List[str], env: dict, log_path: Path) -> None:
        self.log_path = log_path
        self.messages: List[str] = []
        self.transcript: List[str] = []
        self.killed = False
        self._lines: "queue.Queue[Optional[str]]" = queue.Queue()
        with open(log_path, "wb") as log:
            self.proc = subprocess.Popen(
                argv, cwd=REPO, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=log
            )
        self._reader = threading.Thread(target=self._read, name="host-stdout", daemon=True)
        self._reader.start()

    def _read(self) -> None:
        try:
            for raw in iter(self.proc.stdout.readline, b""):
                line = raw.decode("utf-8", "replace").rstrip("\r\n")
                self.transcript.append("< " + line)
                if line.startswith("msg "):
                    self.messages.append(line)
                else:
                    self._lines.put(line)
        finally:
            self._lines.put(None)

    def _fail(self, what: str) -> HostError:
        try:
            log = self.log_path.read_text(errors="replace")[-4000:]
        except OSError:
            log = ""
        return HostError(
            "%s\nexit code: %s\ntranscript:\n  %s\nstderr:\n%s"
            % (what, self.proc.poll(), "\n  ".join(self.transcript[-40:]), log)
        )

    def next_line(self, timeout: float) -> str:
        try:
            line = self._lines.get(timeout=timeout)
        except queue.Empty:
            raise self._fail("no line from the host within %.0f s" % timeout) from None
        if line is None:
            self._lines.put(None)
            self.proc.wait(DEADLINE)
            raise self._fail("the host closed its output")
        return line

    def wait_ready(self, timeout: float = 120) -> None:
        line = self.next_line(timeout)
        if line != "ready":
            raise self._fail("the host did not start: %r" % line)

    def send(self, text: str) -> None:
        self.transcript.append("> " + text)
        self.proc.stdin.write(text.encode() + b"\n")
        self.proc.stdin.flush()

    def command(self, text: str, timeout: float = DEADLINE) -> str:
        """Sends one command and returns its result line (asynchronous `msg` lines are
        kept in `messages`)."""
        self.send(text)
        line = self.next_line(timeout)
        verb = text.split()[0]
        expected = "bye" if verb == "quit" else verb
        if line != expected and not line.startswith(expected + " "):
            raise self._fail("reply %r to %r" % (line, text))
        return line

    def close_input(self) -> None:
        self.transcript.append("> (end of input)")
        self.proc.stdin.close()

    def wait_exit(self, timeout: float = DEADLINE) -> int:
        try:
            code = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise self._fail("the host did not exit within %.0f s" % timeout) from None
        self._reader.join(DEADLINE)
        return code

    def alive(self) -> bool:
        return self.proc.poll() is None

    def kill(self) -> None:
        """Ends the program at once, as a crash would."""
        if self.alive():
            self.killed = True
            self.proc.kill()
            self.proc.wait(DEADLINE)
        self._reader.join(DEADLINE)


# nginx.

NGINX_CONF = """\
daemon off;
master_process on;
worker_processes 1;
{user}
pid {prefix}/nginx.pid;
error_log {prefix}/error.log warn;
events {{ worker_connections 1024; }}
http {{
    log_format e2e '$remote_addr "$request" $status $body_bytes_sent "$http_connection"';
    access_log {prefix}/access.log e2e;
    client_body_temp_path {prefix}/temp/body;
    proxy_temp_path {prefix}/temp/proxy;
    fastcgi_temp_path {prefix}/temp/fastcgi;
    uwsgi_temp_path {prefix}/temp/uwsgi;
    scgi_temp_path {prefix}/temp/scgi;
    types {{ text/html html; application/octet-stream bin; }}
    default_type application/octet-stream;
    open_file_cache off;
    etag off;
    if_modified_since off;
    add_header Cache-Control no-store always;
    server {{
        listen 127.0.0.1:{port};
        server_name localhost;
        root {prefix}/www;
        index index.html;
    }}
}}
"""


class Nginx:
    """Debian's nginx in the foreground with its own prefix, serving `www/` on one
    loopback port."""

    def __init__(self, prefix: Path, files: dict) -> None:
        self.prefix = prefix
        (prefix / "temp").mkdir(parents=True, exist_ok=True)
        www = prefix / "www"
        www.mkdir(exist_ok=True)
        for name, content in files.items():
            (www / name).write_bytes(content)
        self.files = files
        self.proc: Optional[subprocess.Popen] = None
        # The port is picked free and then taken by nginx: try again if someone else
        # got it in between.
        for _ in range(5):
            self.port = free_port()
            if self._start():
                return
        raise AssertionError("nginx did not start: %s" % self.error_log())

    def _start(self) -> bool:
        conf = self.prefix / "nginx.conf"
        conf.write_text(
            NGINX_CONF.format(
                prefix=self.prefix,
                port=self.port,
                # Workers of a root master run as nobody, who cannot read a private temp dir.
                user="user root root;" if os.geteuid() == 0 else "",
            )
        )
        self.proc = subprocess.Popen(
            ["nginx", "-p", str(self.prefix), "-c", str(conf), "-e", str(self.prefix / "error.log")],
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )
        deadline = time.monotonic() + DEADLINE
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                return False
            if accepts(self.port):
                answer = fetch(b"GET /index.html HTTP/1.0\r\n\r\n", port=self.port)
                assert answer.endswith(self.files["index.html"]), "nginx serves something else: %r" % answer[:300]
                return True
            time.sleep(0.05)
        self.stop()
        raise AssertionError("nginx did not listen within %.0f s: %s" % (DEADLINE, self.error_log()))

    def error_log(self) -> str:
        try:
            return (self.prefix / "error.log").read_text(errors="replace")
        except OSError:
            return ""

    def access_log(self) -> List[str]:
        try:
            return (self.prefix / "access.log").read_text(errors="replace").splitlines()
        except OSError:
            return []

    @property
    def authority(self) -> bytes:
        return b"127.0.0.1:%d" % self.port

    def url(self, path: str = "/") -> str:
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def stop(self) -> None:
        # SIGTERM: the master stops its workers and exits.
        terminate(self.proc)
