"""The library's exports as the host drives them: on and off, agent counts, the
translation switches, a taken port, and leaving while on."""

import socket

import pytest

from harness import (
    DEADLINE,
    PROXY_PORT,
    accepts,
    connect,
    fetch,
    get_request,
    read_all,
    settings_root,
    turn_off,
    turn_on,
    wait_accepting,
    wait_free,
    wait_until,
)
from origin import Reply, ok


def counts(host):
    """(total, busy, idle) from the host's `count`."""
    return tuple(int(word) for word in host.command("count").split()[1:])


def wait_counts(host, condition, what):
    """Polls `count` until condition(total, busy, idle) holds; returns those."""

    def check():
        found = counts(host)
        return found if condition(*found) else None

    return wait_until(check, DEADLINE, what, 0.2)


def test_agent_counts(host, origin):
    assert host.command("count") == "count -1 -1 -1"
    settings_root(host)
    assert not accepts(PROXY_PORT)
    assert host.command("on") == "on 1"
    assert host.command("count") == "count 0 0 0"
    wait_accepting()
    answer = ok(b"held")
    origin.reply = Reply(answer.data, hold=True)
    with connect() as sock:
        sock.sendall(get_request(origin.authority, b"/held"))
        assert origin.wait_exchanges(1, DEADLINE)[0].answered.wait(DEADLINE)
        total, busy, idle = wait_counts(host, lambda total, busy, idle: busy >= 1, "a busy agent")
        assert total == busy + idle
        origin.release()
        assert read_all(sock) == answer.data
    total, busy, idle = wait_counts(host, lambda total, busy, idle: busy == 0, "no busy agent")
    assert total >= 1 and idle == total
    turn_off(host)


def test_exports(host, origin):
    settings_root(host)
    # Off when it was never on.
    assert host.command("off") == "off"
    # On twice: one listener, which one off ends.
    turn_on(host)
    assert host.command("on") == "on 1"
    answer = ok(b"twice on")
    origin.reply = Reply(answer.data)
    assert fetch(get_request(origin.authority, b"/twice")) == answer.data
    turn_off(host)
    assert host.command("enable 2") == "enable"
    assert host.command("enabled") == "enabled 2"
    assert host.command("mode 0") == "mode"
    assert host.command("getmode") == "getmode 0"
    assert host.command("enable -1") == "enable"
    turn_on(host)
    turn_off(host)
    assert host.command("enabled") == "enabled 0"


def test_port_taken_by_another_program(host, origin):
    settings_root(host)
    wait_free()
    blocker = socket.socket()
    blocker.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        blocker.bind(("127.0.0.1", PROXY_PORT))
        blocker.listen(16)
        assert host.command("on") == "on 1"
        wait_until(lambda: host.command("count") == "count -1 -1 -1", 120, "the listener to give up", 0.5)
        # Off does not wait for a listener that is not there.
        assert host.command("off", timeout=15) == "off"
    finally:
        blocker.close()
    # The proxy stays "on" with nothing listening until the library is unloaded:
    # turning on again does nothing, even with the port free.
    assert host.command("on") == "on 1"
    assert host.command("count") == "count -1 -1 -1"
    assert host.command("quit", timeout=60) == "bye"
    assert host.wait_exit(60) == 0


@pytest.mark.parametrize("ending", ["quit", "end-of-input"])
def test_host_leaves_while_on(host, origin, ending):
    settings_root(host)
    turn_on(host)
    answer = ok(b"before leaving")
    origin.reply = Reply(answer.data)
    assert fetch(get_request(origin.authority, b"/leave")) == answer.data
    if ending == "quit":
        assert host.command("quit", timeout=60) == "bye"
    else:
        host.close_input()
        assert host.next_line(60) == "bye"
    assert host.wait_exit(60) == 0
    wait_free()
