"""What both suites share: waiting, the raw client on 127.0.0.1, a scripted origin server,
and the proxy programs driven through the host's console protocol."""

import contextlib
import itertools
import os
import queue
import random
import socket
import socketserver
import struct
import subprocess
import threading
import time
from collections import namedtuple
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
# The Windows build under test: win64 (x86_64) or win32 (i686), as scripts/test.sh runs each.
BUILD = os.environ.get("RELVIA_BUILD", "win64")
BIN_DIR = REPO / "build" / BUILD / "bin"
# Started by the loader of their own kind: through Debian's wine, where 32-bit Wine is installed, a
# 64-bit program runs as a child of a start.exe, which a test's signal would reach instead.
WINE = "/usr/lib/wine/wine64" if BUILD == "win64" and Path("/usr/lib/wine/wine64").exists() else "wine"
PROXY_PORT = 8080
DEADLINE = 30.0  # the limit for one step: a reply, a connection, an answer
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:", "WARNING: ThreadSanitizer")


def wait_until(condition, what: str, timeout: float = DEADLINE, interval: float = 0.05):
    """Polls `condition` until it gives something true, and returns that."""
    deadline = time.monotonic() + timeout
    while not (value := condition()):
        assert time.monotonic() < deadline, "waited %.0f s for %s" % (timeout, what)
        time.sleep(interval)
    return value


def assert_same(got: bytes, expected: bytes) -> None:
    """Byte for byte, showing where a difference starts (pytest's diff of megabytes takes ages)."""
    if got != expected:
        at = next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b), min(len(got), len(expected)))
        near = slice(max(0, at - 40), at + 40)
        raise AssertionError("%d bytes, not %d; at %d: %r" % (len(got), len(expected), at, (got[near], expected[near])))


def accepts(port: int) -> bool:
    """Whether something listens on 127.0.0.1:port (no refusal in time: a full accept queue)."""
    try:
        socket.create_connection(("127.0.0.1", port), timeout=5).close()
    except ConnectionRefusedError:
        return False
    except socket.timeout:
        pass
    return True


def wait_port(port: int, listening: bool) -> None:
    wait_until(lambda: accepts(port) == listening, "127.0.0.1:%d to %s" % (port, ["be free", "listen"][listening]))


def assert_loopback_listener(port: int) -> None:
    """One socket listens on `port`: on 127.0.0.1 only, with the system's longest accept queue."""
    ss = subprocess.run(["ss", "-ltnH", "sport = :%d" % port], capture_output=True, text=True, timeout=DEADLINE)
    backlog = int(Path("/proc/sys/net/core/somaxconn").read_text())
    assert [(f[3], int(f[2])) for f in map(str.split, ss.stdout.splitlines())] == [("127.0.0.1:%d" % port, backlog)]


def connect(port: int = PROXY_PORT, request: bytes = b"", timeout: float = DEADLINE) -> socket.socket:
    sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    sock.sendall(request)
    return sock


def read(sock: socket.socket, count: int = 0, timeout: float = DEADLINE) -> bytes:
    """`count` bytes, or (0) all until the peer closes or resets, within `timeout` seconds."""
    deadline, data = time.monotonic() + timeout, b""
    while not count or len(data) < count:
        left = deadline - time.monotonic()
        assert left > 0, "%d bytes after %.0f s, and the connection still open" % (len(data), timeout)
        sock.settimeout(left)
        try:
            part = sock.recv(count - len(data) if count else 262144)
        except socket.timeout:
            continue
        except ConnectionResetError:
            part = b""
        assert part or not count, "closed after %d of %d bytes" % (len(data), count)
        if not part:
            break
        data += part
    return data


def fetch(request: bytes, port: int = PROXY_PORT, timeout: float = DEADLINE) -> bytes:
    with connect(port, request) as sock:
        return read(sock, timeout=timeout)


def binary(size: int) -> bytes:
    """The same pseudo-random bytes for a size every time, a NUL every 1000 bytes and 1 KiB of them every 4 KiB."""
    data = bytearray(random.Random(size).randbytes(size))
    data[::1000] = bytes(len(data[::1000]))
    for at in range(3072, size, 4096):
        data[at : at + 1024] = bytes(len(data[at : at + 1024]))
    return bytes(data)


def get(authority: bytes, path: bytes = b"/", fields: bytes = b"") -> bytes:  # a browser's, to a proxy
    return b"GET http://%s%s HTTP/1.0\r\nHost: %s\r\n%s\r\n" % (authority, path, authority, fields)


# The origin keeps the exact bytes of every request (reading on after its answer till the proxy
# closes) and answers with a Reply, or a function of the head giving one: `data` once `body` body
# bytes came (or `body_wait` s passed), `pace` s a byte if paced; with `hold` it then waits for
# Origin.release() or the proxy's close; it ends with a "close" or a "reset".
Reply = namedtuple("Reply", "data body body_wait hold end pace", defaults=(0, 15.0, False, "close", 0.0))
WAIT = 60.0  # for a head, a request body, or the proxy's close


def ok(body: bytes = b"ok") -> Reply:
    head = b"HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: %d\r\n\r\n"
    return Reply(head % len(body) + body)


class Exchange:  # one connection the origin accepted: what it received, and how far it got

    def __init__(self, conn: socket.socket) -> None:
        self.conn, self.raw, self.finished = conn, b"", threading.Event()

    @property
    def head(self) -> bytes:
        return self.raw[: self.raw.find(b"\r\n\r\n") + 4] if b"\r\n\r\n" in self.raw else self.raw

    def receive(self, timeout):
        """Adds and returns what arrives within `timeout` seconds: None if nothing, b"" if the peer closed."""
        self.conn.settimeout(timeout)
        try:
            data = self.conn.recv(65536)
        except socket.timeout:
            return None
        except ConnectionResetError:
            data = b""
        self.raw += data
        return data

    def read_until(self, done, timeout: float) -> bool:
        deadline = time.monotonic() + timeout
        while not done():
            left = deadline - time.monotonic()
            if left <= 0 or not self.receive(left):
                return False
        return True


class Origin(socketserver.ThreadingTCPServer):
    allow_reuse_address, request_queue_size = True, 1024

    def __init__(self, reply=None, port: int = 0) -> None:
        self.reply, self.exchanges, self.released = reply or ok(), [], threading.Event()
        super().__init__(("127.0.0.1", port), None)
        self.port = self.server_address[1]
        self.authority = b"127.0.0.1:%d" % self.port
        threading.Thread(target=self.serve_forever, args=(0.05,), daemon=True).start()

    def release(self) -> None:  # lets every held answer, now and later, go on to its end
        self.released.set()

    def wait_exchanges(self, count: int, timeout: float = DEADLINE) -> list:
        return wait_until(lambda: len(self.exchanges) >= count and list(self.exchanges), "%d requests" % count, timeout)

    def finished(self, count: int = 1) -> Exchange:
        """The last of exactly `count` connections, once all of them are over."""
        deadline = time.monotonic() + DEADLINE
        found = self.wait_exchanges(count)
        assert all(e.finished.wait(max(0, deadline - time.monotonic())) for e in found), "an upstream connection stays"
        assert len(self.exchanges) == count, "%d upstream connections, not %d" % (len(self.exchanges), count)
        return found[-1]

    def server_close(self) -> None:
        self.shutdown()
        for exchange in self.exchanges:
            with contextlib.suppress(OSError):  # one the proxy closed already
                exchange.conn.shutdown(socket.SHUT_RDWR)
        super().server_close()  # waits for every connection's thread

    def process_request(self, conn: socket.socket, address) -> None:
        self.exchanges.append(Exchange(conn))
        super().process_request(self.exchanges[-1], address)

    def shutdown_request(self, exchange: Exchange) -> None:
        exchange.conn.close()
        exchange.finished.set()

    def finish_request(self, exchange: Exchange, address) -> None:
        conn = exchange.conn
        try:
            if not exchange.read_until(lambda: b"\r\n\r\n" in exchange.raw, WAIT):
                return
            reply = self.reply(exchange.head) if callable(self.reply) else self.reply
            exchange.read_until(lambda: len(exchange.raw) >= len(exchange.head) + reply.body, reply.body_wait)
            conn.settimeout(WAIT * 2)
            for part in [reply.data[i : i + 1] for i in range(len(reply.data))] if reply.pace else [reply.data]:
                conn.sendall(part)
                time.sleep(reply.pace)
            if reply.hold and not self._held(exchange):
                return
            if reply.end == "reset":
                return conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            conn.shutdown(socket.SHUT_WR)
            exchange.read_until(lambda: False, WAIT)
        except OSError:
            pass

    def _held(self, exchange: Exchange) -> bool:
        """Holds the answer open: True once released, False when the proxy closed first."""
        while not self.released.is_set():
            if exchange.receive(0.05) == b"":
                return False
        return True


class Host:
    """A program speaking the console protocol (relvia-host.exe --console, browser-peers.exe,
    relvia-proxy): one command in, one reply line out; the library's notices go to `messages`."""

    _keys = itertools.count(1)

    def __init__(self, argv, env: dict, log: Path, port: int = PROXY_PORT, wine=None, name: str = "wine") -> None:
        self.log, self.port, self.wine, self.name = log, port, wine, name
        self.messages, self.transcript, self.killed, self._lines = [], [], False, queue.Queue()
        with open(log, "wb") as stderr:
            pipe = subprocess.PIPE
            self.proc = subprocess.Popen(argv, cwd=REPO, env=env, stdin=pipe, stdout=pipe, stderr=stderr)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        if self.next_line(120) != "ready":
            self.fail("it did not start")

    def _read(self) -> None:
        for line in (raw.decode("utf-8", "replace").rstrip("\r\n") for raw in iter(self.proc.stdout.readline, b"")):
            self.transcript.append("< " + line)
            (self.messages.append if line.startswith("msg ") else self._lines.put)(line)
        self._lines.put(None)  # the end of the output

    def fail(self, what: str):
        said = "\n  ".join(self.transcript[-40:]), self.log.read_text(errors="replace")[-4000:]
        raise AssertionError("%s\nexit %s, transcript:\n  %s\nstderr:\n%s" % (what, self.proc.poll(), *said))

    def next_line(self, timeout: float = DEADLINE) -> str:
        try:
            line = self._lines.get(timeout=timeout)
        except queue.Empty:
            self.fail("no line within %.0f s" % timeout)
        if line is None:
            self._lines.put(None)
            self.fail("it closed its output")
        return line

    def send(self, text: str) -> None:
        self.transcript.append("> " + text)
        self.proc.stdin.write(text.encode() + b"\n")
        self.proc.stdin.flush()

    def command(self, text: str, timeout: float = DEADLINE) -> str:
        self.send(text)
        line = self.next_line(timeout)
        if line.split(" ")[0] != ("bye" if text == "quit" else text.split()[0]):
            self.fail("reply %r to %r" % (line, text))
        return line

    def commands(self, *texts: str) -> list:
        return [self.command(text) for text in texts]

    def wait_exit(self, timeout: float = DEADLINE) -> int:
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.fail("still running after %.0f s" % timeout)
        self._reader.join(DEADLINE)
        return self.proc.returncode

    def alive(self) -> bool:
        return self.proc.poll() is None

    def kill(self) -> None:
        if self.alive():  # as a crash would
            self.killed = True
            self.proc.kill()
        self.wait_exit()

    def finish(self) -> None:
        """Quits unless killed: it must exit 0, report no sanitizer finding and leave its port free."""
        try:
            code = self.wait_exit(120) if self.alive() and self.command("quit", 120) else self.proc.returncode
            text = self.log.read_text(errors="replace")
            assert not any(mark in text for mark in SANITIZER_MARKS), "%s reported:\n%s" % (self.name, text[-6000:])
            assert code == 0 or self.killed, "%s exited with %d:\n%s" % (self.name, code, text[-4000:])
            wait_port(self.port, False)
        finally:
            self.kill()

    def settings(self) -> str:
        """Points the proxy at a settings key of its own under HKCU, kept in `key`."""
        self.key = "HKCU\\Software\\RelviaE2E\\run%d-%d" % (os.getpid(), next(Host._keys))
        assert self.command("regroot HKCU " + self.key[5:]) == "regroot 1"
        return self.key

    def set_values(self, values: dict, under: str = "") -> None:
        """Writes settings, texts and numbers (REG_DWORD), into the key or a key `under` it."""
        if self.wine:
            return self.wine.write(self.key + under, values)
        for name, value in values.items():
            verb = "dword" if isinstance(value, int) else "set"
            assert self.command("%s %s %s" % (verb, name, value)) == verb + " 1"

    def turn_on(self) -> None:
        # Whatever listens on the port now would answer in the proxy's place.
        assert not accepts(self.port), "127.0.0.1:%d is taken before the proxy is on" % self.port
        assert self.command("on") == "on 1"
        wait_port(self.port, True)

    def turn_off(self, timeout: float = 120) -> float:
        """Turns the proxy off; returns the seconds it took."""
        started = time.monotonic()
        assert self.command("off", timeout) == "off"
        wait_port(self.port, False)
        return time.monotonic() - started

    def counts(self):  # (total, busy, idle) agents
        return tuple(int(word) for word in self.command("count").split()[1:])

    def wait_counts(self, condition, what: str, timeout: float = DEADLINE):
        """Polls the counts until condition(total, busy, idle) holds, and returns them."""
        return wait_until(lambda: (lambda found: condition(*found) and found)(self.counts()), what, timeout, 0.2)

    def threads(self) -> int:  # of the process (under Wine: of the Windows process)
        return len(os.listdir("/proc/%d/task" % self.proc.pid))
