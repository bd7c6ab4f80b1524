"""The host and the library's exports: on and off, agent counts, the translation switches, and
how a run ends: every way out gives the browsers their settings back, even under traffic."""

import contextlib
import signal
import socket
import threading

import pytest

from fixtures import IE_KEY, INTERNET_KEY, LOCAL_LIST, RECORD_KEY
from harness import DEADLINE, PROXY_PORT, WINE, Reply, accepts, connect, fetch, get, ok, read, wait_port, wait_until
from registry import Binary

SAVED = {b"ProxyEnable": Binary(b"\x01\0\0\0"), b"ProxyServer": b"http=web.example:3128"}


def test_counts_and_switches(host):
    assert host.commands("count", "off") == ["count -1 -1 -1", "off"]  # off when it was never on
    assert not accepts(PROXY_PORT), "127.0.0.1:%d is taken before the proxy is on" % PROXY_PORT
    assert host.commands("on", "count") == ["on 1", "count 0 0 0"]
    wait_port(PROXY_PORT, True)
    assert host.command("on") == "on 1"  # on twice: one listener, which one off ends
    host.turn_off()
    switches = host.commands("enable 2", "regroot 0 Software\\Elsewhere", "enabled", "mode 0", "getmode", "enable -1")
    assert switches == ["enable", "regroot 0", "enabled 2", "mode", "getmode 0", "enable"]  # a zero root: no move
    host.turn_on()
    host.turn_off()
    assert host.command("enabled") == "enabled 0"


@pytest.fixture
def browser(desktop):  # Internet Explorer 4 with a manual proxy of the user's own
    desktop.write(IE_KEY, {"Version": "4.72.3110.0"})
    desktop.write(INTERNET_KEY, SAVED)
    return desktop


def ie_proxy(desktop) -> dict:
    return {name: value for name, value in desktop.read(INTERNET_KEY).items() if name in SAVED}


def free_and_serve(host, origin) -> None:  # its threads keep the library loaded and serving till the process ends
    assert host.command("free") == "free"
    host.send("count")
    assert host.next_line() == "error the library is not loaded"
    origin.reply = ok(b"still here")
    assert fetch(get(origin.authority, b"/after")) == ok(b"still here").data
    host.send("quit")


ENDINGS = {
    "quit": lambda host, origin: host.send("quit"),
    "end of input": lambda host, origin: host.proc.stdin.close(),
    "close box": lambda host, origin: host.wine.run(WINE, "taskkill", "/im", "relvia-host.exe"),  # no /f: WM_CLOSE
    "ctrl-c": lambda host, origin: host.proc.send_signal(signal.SIGINT),
    "session end": lambda host, origin: host.wine.run("wineboot", "--end-session", timeout=DEADLINE),
    "freed": free_and_serve,
}


@pytest.mark.parametrize("ending", ENDINGS)
def test_every_way_out_gives_the_settings_back(start_host, browser, origin, ending):
    host = start_host()
    host.turn_on()
    assert ie_proxy(browser)[b"ProxyServer"] == LOCAL_LIST
    stop, sockets, origin.reply = threading.Event(), [], Reply(ok(b"t" * 400).data, pace=0.02)

    def traffic() -> None:  # a new connection every little while, beside an answer trickling through
        while not stop.wait(0.002) and len(sockets) < 200:
            with contextlib.suppress(OSError):
                sockets.append(connect(request=get(origin.authority, b"/trickle"), timeout=5))

    thread = threading.Thread(target=traffic, daemon=True)
    thread.start()
    try:
        wait_until(lambda: origin.exchanges, "the first request to reach the origin")
        assert ENDINGS[ending](host, origin) in (None, 0)
        assert (host.next_line(), host.wait_exit()) == ("bye", 0)
    finally:
        stop.set()
        thread.join(DEADLINE)
        for sock in sockets:
            sock.close()
    wait_port(PROXY_PORT, False)
    assert ie_proxy(browser) == SAVED
    assert browser.read(RECORD_KEY) == {}


def test_the_record_keeps_the_settings_from_before_the_proxy(start_host, browser):
    host = start_host()
    host.turn_on()
    assert host.command("on") == "on 1"  # finds the proxy's own settings in the browsers
    host.kill()
    wait_port(PROXY_PORT, False)
    assert ie_proxy(browser)[b"ProxyServer"] == LOCAL_LIST
    start_host()  # gives them back from the record
    assert ie_proxy(browser) == SAVED
    assert browser.read(RECORD_KEY) == {}


def test_a_proxy_that_could_not_listen(start_host, browser):
    with socket.create_server(("127.0.0.1", PROXY_PORT)):
        host = start_host()
        assert host.command("on") == "on 1"
        wait_until(lambda: host.command("count") == "count -1 -1 -1", "the listener to give up", 120, 0.5)
        assert ie_proxy(browser)[b"ProxyServer"] == LOCAL_LIST
        assert host.command("status").startswith("status Proxy not listening: port 8080 could not be taken")
        # Turning off gives nothing back; the browsers tell the host, which does.
        assert host.command("off", timeout=15) == "off"
        assert (ie_proxy(browser), browser.read(RECORD_KEY)) == (SAVED, {})
        assert host.command("status").startswith("status Proxy off: port 8080 could not be taken; the browsers have")
    # "On" with nothing listening until the library is unloaded: on again does nothing, port free or not.
    assert host.commands("on", "count", "off", "status") == ["on 1", "count -1 -1 -1", "off", "status Proxy off / Translation off"]
    assert (host.command("quit"), host.wait_exit(), ie_proxy(browser)) == ("bye", 0, SAVED)


def test_turning_off_waits_for_every_thread(host, origin):
    host.turn_on()  # one round first: Wine starts threads of its own on first use, which stay
    assert fetch(get(origin.authority, b"/first")) == ok().data
    host.turn_off()
    baseline = host.threads()
    for _ in range(3):  # agents that all end at once, idle: they leave the list before their threads end
        origin.released.clear()
        origin.reply = Reply(ok().data, hold=True)
        host.turn_on()
        socks = [connect(request=get(origin.authority, b"/held/%d" % i)) for i in range(50)]
        host.wait_counts(lambda total, busy, idle: busy == 50, "50 agents busy")
        origin.release()
        assert [read(sock) for sock in socks] == [ok().data] * 50
        host.wait_counts(lambda total, busy, idle: idle == 50, "50 agents idle")
        assert host.command("off") == "off"
        assert host.threads() == baseline
