"""The library's exports as the host drives them: on and off, agent counts, the
translation switches, and who may connect."""

import socket

import pytest

from harness import (
    DEADLINE,
    PROXY_PORT,
    accepts,
    connect,
    fetch,
    get_request,
    listening_sockets,
    read_all,
    settings_root,
    system_backlog,
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


def test_only_this_machine_reaches_the_proxy(proxy):
    # Bound to 127.0.0.1 alone, with the longest accept queue the system gives.
    assert listening_sockets(PROXY_PORT) == [("127.0.0.1:%d" % PROXY_PORT, system_backlog())]
    with pytest.raises(ConnectionRefusedError):
        socket.create_connection(("127.0.0.2", PROXY_PORT), timeout=DEADLINE)
