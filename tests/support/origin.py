"""A small threaded origin server for the end-to-end tests (standard library only).

It listens on 127.0.0.1 on an ephemeral port and keeps the exact bytes of every
request it receives. What it answers is a `Reply` (or a function of the request head
that returns one): fixed bytes, optionally held open until the test releases it, and
ended with a normal close or with a reset.

After answering with a normal close, the server half-closes and goes on reading until
the proxy closes its side, so bytes the proxy should not have sent (a body after the
head of a PUT, say) still end up in the record.
"""

import os
import select
import socket
import struct
import threading
import time
from dataclasses import dataclass
from typing import Callable, List, Optional, Union

HEAD_END = b"\r\n\r\n"

# How long the server waits for a request head, a request body, or the proxy to close
# after the answer. Generous: the proxy runs under Wine on a busy machine.
WAIT_SECONDS = 60.0


def _readable(objects, timeout: Optional[float] = None) -> list:
    """The objects (sockets or descriptors) that are readable, waiting at most `timeout`
    seconds (None: no limit). poll(), not select(): descriptor numbers pass 1024 when
    hundreds of connections are open."""
    poller = select.poll()
    by_fd = {}
    for obj in objects:
        fd = obj if isinstance(obj, int) else obj.fileno()
        by_fd[fd] = obj
        poller.register(fd, select.POLLIN)
    events = poller.poll(None if timeout is None else max(0, int(timeout * 1000)))
    return [by_fd[fd] for fd, _ in events]


@dataclass
class Reply:
    # The exact bytes sent back (status line, fields, body: nothing is added).
    data: bytes = b""
    # Request body bytes to wait for after the head before answering; after
    # `body_wait` seconds the answer goes out with whatever came.
    body: int = 0
    body_wait: float = 15.0
    # After sending `data`, keep the connection open until `Origin.release()` or until
    # the proxy closes it.
    hold: bool = False
    # "close": half-close, then read until the proxy closes; "reset": abort with RST.
    end: str = "close"
    # Seconds between single bytes of `data`; 0 sends it at once.
    pace: float = 0.0


def ok(body: bytes = b"ok", extra: bytes = b"") -> Reply:
    """An HTTP/1.0 200 answer with Content-Length, ended by a close."""
    return Reply(
        b"HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
        + extra
        + b"Content-Length: %d\r\n\r\n" % len(body)
        + body
    )


class Exchange:
    """One connection the origin accepted: everything it received, and how it ended."""

    def __init__(self) -> None:
        self._raw = bytearray()
        self._changed = threading.Condition()
        self.answered = threading.Event()
        self.finished = threading.Event()
        self.error: Optional[BaseException] = None

    def _add(self, data: bytes) -> None:
        with self._changed:
            self._raw += data
            self._changed.notify_all()

    @property
    def raw(self) -> bytes:
        with self._changed:
            return bytes(self._raw)

    @property
    def head(self) -> bytes:
        raw = self.raw
        end = raw.find(HEAD_END)
        return raw if end < 0 else raw[: end + len(HEAD_END)]

    @property
    def body(self) -> bytes:
        return self.raw[len(self.head) :]

    @property
    def path(self) -> bytes:
        """The request target of the request line."""
        words = self.head.split(b"\r\n", 1)[0].split(b" ")
        return words[1] if len(words) > 1 else b""

    def wait_received(self, count: int, timeout: float) -> bool:
        """Waits until at least `count` bytes have arrived."""
        with self._changed:
            return self._changed.wait_for(lambda: len(self._raw) >= count, timeout)

    def wait_head(self, timeout: float) -> bool:
        with self._changed:
            return self._changed.wait_for(lambda: HEAD_END in self._raw, timeout)


class Origin:
    def __init__(self, reply: Union[Reply, Callable[[bytes], Reply], None] = None) -> None:
        self.reply = reply if reply is not None else ok()
        self.exchanges: List[Exchange] = []
        self._lock = threading.Lock()
        self._arrived = threading.Condition(self._lock)
        self._connections: List[socket.socket] = []
        self._threads: List[threading.Thread] = []
        # Closing the write end makes the read end readable for every poll at once.
        self._release_r, self._release_w = os.pipe()
        self._stop_r, self._stop_w = os.pipe()
        self._stopped = False
        self._listener = socket.create_server(("127.0.0.1", 0), backlog=1024)
        self.port = self._listener.getsockname()[1]
        self._acceptor = threading.Thread(target=self._accept_loop, name="origin-accept", daemon=True)
        self._acceptor.start()

    def url(self, path: str = "/") -> str:
        return "http://127.0.0.1:%d%s" % (self.port, path)

    @property
    def authority(self) -> bytes:
        return b"127.0.0.1:%d" % self.port

    def release(self) -> None:
        """Lets every held answer (now and later) go on to its end."""
        with self._lock:
            if self._release_w >= 0:
                os.close(self._release_w)
                self._release_w = -1

    def wait_exchanges(self, count: int, timeout: float) -> List[Exchange]:
        """Waits until at least `count` connections were accepted; returns them all."""
        with self._arrived:
            self._arrived.wait_for(lambda: len(self.exchanges) >= count, timeout)
            return list(self.exchanges)

    def wait_finished(self, count: int, timeout: float) -> bool:
        """Waits until `count` connections were accepted and are all over."""
        deadline = time.monotonic() + timeout
        exchanges = self.wait_exchanges(count, timeout)
        if len(exchanges) < count:
            return False
        return all(e.finished.wait(max(0.0, deadline - time.monotonic())) for e in exchanges)

    def close(self) -> None:
        with self._lock:
            if self._stopped:
                return
            self._stopped = True
            os.close(self._stop_w)
            connections = list(self._connections)
        for conn in connections:
            try:
                conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        self._acceptor.join(WAIT_SECONDS)
        with self._lock:
            threads = list(self._threads)
        for thread in threads:
            thread.join(WAIT_SECONDS)
        self._listener.close()
        self.release()
        os.close(self._release_r)
        os.close(self._stop_r)
        stuck = [t.name for t in threads if t.is_alive()]
        assert not stuck and not self._acceptor.is_alive(), "origin threads did not end: %s" % stuck

    def __enter__(self) -> "Origin":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    # The server side.

    def _accept_loop(self) -> None:
        while True:
            readable = _readable([self._listener, self._stop_r])
            if self._stop_r in readable:
                return
            try:
                conn, _ = self._listener.accept()
            except OSError:
                continue
            exchange = Exchange()
            thread = threading.Thread(
                target=self._serve, args=(conn, exchange), name="origin-%d" % len(self.exchanges), daemon=True
            )
            with self._arrived:
                if self._stopped:
                    conn.close()
                    return
                self.exchanges.append(exchange)
                self._connections.append(conn)
                self._threads.append(thread)
                self._arrived.notify_all()
            thread.start()

    def _serve(self, conn: socket.socket, exchange: Exchange) -> None:
        try:
            if not self._read_until(conn, exchange, lambda raw: HEAD_END in raw, WAIT_SECONDS):
                return
            head = exchange.head
            reply = self.reply(head) if callable(self.reply) else self.reply
            wanted = len(head) + reply.body
            self._read_until(conn, exchange, lambda raw: len(raw) >= wanted, reply.body_wait)
            if self._stopped:
                return
            conn.settimeout(WAIT_SECONDS * 2)
            if not self._send(conn, reply):
                return
            exchange.answered.set()
            if reply.hold and not self._hold(conn, exchange):
                return
            if reply.end == "reset":
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                return
            conn.shutdown(socket.SHUT_WR)
            self._read_until(conn, exchange, lambda raw: False, WAIT_SECONDS)
        except OSError as error:
            exchange.error = error
        finally:
            conn.close()
            with self._lock:
                self._connections.remove(conn)
            exchange.finished.set()

    def _send(self, conn: socket.socket, reply: Reply) -> bool:
        """Sends the answer, byte by byte when paced; False when the origin stops."""
        if not reply.pace:
            conn.sendall(reply.data)
            return True
        for index in range(len(reply.data)):
            if index and _readable([self._stop_r], reply.pace):
                return False
            conn.sendall(reply.data[index : index + 1])
        return True

    def _receive(self, conn: socket.socket, exchange: Exchange) -> bool:
        """Reads what is there; False when the peer closed or reset."""
        try:
            data = conn.recv(65536)
        except ConnectionResetError:
            return False
        if not data:
            return False
        exchange._add(data)
        return True

    def _read_until(self, conn: socket.socket, exchange: Exchange, done, timeout: float) -> bool:
        """Reads until done(raw) holds. False when the peer closed first, the time ran
        out or the origin stops."""
        deadline = time.monotonic() + timeout
        while not done(exchange.raw):
            left = deadline - time.monotonic()
            if left <= 0:
                return False
            readable = _readable([conn, self._stop_r], left)
            if self._stop_r in readable:
                return False
            if conn in readable and not self._receive(conn, exchange):
                return False
        return True

    def _hold(self, conn: socket.socket, exchange: Exchange) -> bool:
        """Keeps the answer open; True once released, False when the peer closed or the
        origin stops."""
        while True:
            readable = _readable([conn, self._release_r, self._stop_r])
            if self._stop_r in readable:
                return False
            if conn in readable and not self._receive(conn, exchange):
                return False
            if self._release_r in readable:
                return True
