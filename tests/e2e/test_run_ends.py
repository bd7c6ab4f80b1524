"""How a run ends, as a user meets it: every way out turns the proxy off before the
library is freed and gives the browsers their settings back, promptly, while an answer
trickles through the proxy and new connections keep arriving; the record of the
settings from before the proxy survives a second turn-on and a proxy that could not
listen; a library freed while on keeps serving until the process ends; a line that
comes while a dialog is open waits for it."""

import fcntl
import signal
import socket
import termios
import threading

import pytest

from desktop import IE_KEY, INTERNET_KEY, LOCAL_LIST, RECORD_KEY
from harness import DEADLINE, PROXY_PORT, connect, fetch, get_request, settings_root, turn_on, wait_free, wait_until
from origin import Reply, ok
from registry import Binary

SAVED = {"ProxyEnable": Binary(b"\x01\0\0\0"), "ProxyServer": b"http=web.example:3128"}
NOTICE = "일한 번역 확인"


def proxy_settings(desktop) -> dict:
    values = desktop.values(INTERNET_KEY)
    return {name: values.get(name.encode()) for name in SAVED}


@pytest.fixture
def browser(desktop):
    """Internet Explorer 4 with a manual proxy of the user's own."""
    desktop.set(IE_KEY, {"Version": "4.72.3110.0"})
    desktop.set(INTERNET_KEY, SAVED)
    return desktop


class Traffic:
    """An answer trickling through the proxy and a new connection every little while,
    each sending a request, until stopped (at most `limit` connections)."""

    def __init__(self, origin, limit: int = 200) -> None:
        origin.reply = Reply(ok(b"t" * 400).data, pace=0.02)
        self.request = get_request(origin.authority, b"/trickle")
        self.limit = limit
        self.sockets = []
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()
        wait_until(lambda: origin.exchanges, DEADLINE, "the first request to reach the origin")

    def _run(self) -> None:
        for _ in range(self.limit):
            if self.stopped.wait(0.002):
                return
            try:
                sock = socket.create_connection(("127.0.0.1", PROXY_PORT), timeout=5)
                sock.sendall(self.request)
                self.sockets.append(sock)
            except OSError:
                pass

    def stop(self) -> None:
        self.stopped.set()
        self.thread.join(DEADLINE)
        for sock in self.sockets:
            sock.close()


def end_session(wine, host) -> None:
    assert wine.run("wineboot", "--end-session", timeout=DEADLINE) == 0


ENDINGS = {
    "quit": lambda wine, host: host.send("quit"),
    "end of input": lambda wine, host: host.close_input(),
    # Without /f, taskkill asks the program's windows to close.
    "close box": lambda wine, host: wine.run("wine", "taskkill", "/im", "relvia-host.exe", timeout=DEADLINE),
    "ctrl-c": lambda wine, host: host.proc.send_signal(signal.SIGINT),
    "session end": end_session,
}


@pytest.mark.parametrize("ending", ENDINGS)
def test_every_way_out_gives_the_settings_back(start_host, browser, origin, wine, ending):
    host = start_host()
    settings_root(host)
    turn_on(host)
    assert proxy_settings(browser)["ProxyServer"] == LOCAL_LIST
    traffic = Traffic(origin)
    try:
        ENDINGS[ending](wine, host)
        assert host.next_line(DEADLINE) == "bye"
        assert host.wait_exit(DEADLINE) == 0
    finally:
        traffic.stop()
    wait_free()
    assert proxy_settings(browser) == SAVED
    assert browser.values(RECORD_KEY) == {}


def test_the_record_keeps_the_settings_from_before_the_proxy(start_host, browser):
    host = start_host()
    settings_root(host)
    turn_on(host)
    # A second turn-on finds the proxy's own settings in the browsers.
    assert host.command("on") == "on 1"
    host.kill()
    wait_free()
    assert proxy_settings(browser)["ProxyServer"] == LOCAL_LIST
    start_host()
    assert proxy_settings(browser) == SAVED
    assert browser.values(RECORD_KEY) == {}


def test_a_proxy_that_could_not_listen(start_host, browser):
    blocker = socket.create_server(("127.0.0.1", PROXY_PORT))
    try:
        host = start_host()
        settings_root(host)
        assert host.command("on") == "on 1"
        wait_until(lambda: host.command("count") == "count -1 -1 -1", 120, "the listener to give up", 0.5)
        assert proxy_settings(browser)["ProxyServer"] == LOCAL_LIST
        # Turning off does not wait for a listener that is not there, and gives
        # nothing back: the record stays until quitting does.
        assert host.command("off", timeout=15) == "off"
        assert browser.values(RECORD_KEY) != {}
    finally:
        blocker.close()
    # The proxy stays "on" with nothing listening until the library is unloaded:
    # turning on again does nothing, even with the port free.
    assert host.command("on") == "on 1"
    assert host.command("count") == "count -1 -1 -1"
    assert host.command("quit") == "bye"
    assert host.wait_exit(DEADLINE) == 0
    assert proxy_settings(browser) == SAVED


@pytest.mark.parametrize("run", range(3))
def test_a_library_freed_while_on_serves_until_the_process_ends(start_host, browser, origin, run):
    host = start_host()
    settings_root(host)
    turn_on(host)
    traffic = Traffic(origin)
    try:
        assert host.command("free") == "free"
        host.send("count")
        assert host.next_line(DEADLINE) == "error the library is not loaded"
        # Its threads keep it loaded: connections are still served.
        origin.reply = ok(b"still here")
        assert fetch(get_request(origin.authority, b"/after")) == ok(b"still here").data
        assert host.command("quit") == "bye"
        assert host.wait_exit(DEADLINE) == 0
    finally:
        traffic.stop()
    wait_free()
    assert proxy_settings(browser) == SAVED


def unread_input(host) -> int:
    """Bytes sent to the host that it has not read yet."""
    count = bytearray(4)
    fcntl.ioctl(host.proc.stdin.fileno(), termios.FIONREAD, count)
    return int.from_bytes(count, "little")


def test_lines_wait_while_a_dialog_is_open(host, screen):
    settings_root(host)
    host.send("enable 1")
    notice = screen.find(NOTICE)
    # Neither a call into the library nor quitting may run inside the dialog's call.
    host.send("count")
    host.send("quit")
    wait_until(lambda: unread_input(host) == 0, DEADLINE, "the host to read its input")
    assert screen.find(NOTICE).box == notice.box
    screen.click(*notice.control(1004).center)
    assert [host.next_line(DEADLINE) for _ in range(3)] == ["enable", "count -1 -1 -1", "bye"]
    assert host.wait_exit(DEADLINE) == 0
