"""The builds the load-and-fault suite runs against, all driven through the host's
console protocol: the native engine under AddressSanitizer (with leak checking) and
under ThreadSanitizer, each on a port of its own with a short agent idle time, and
the Windows build under Wine (relvia-host.exe and Relvia.dll on port 8080, agents idle
for the product's three minutes)."""

import os
from pathlib import Path
from typing import Dict, Optional, Tuple, Union

from harness import (
    DEADLINE,
    HOST_EXE,
    PROXY_PORT,
    REPO,
    Host,
    accepts,
    fetch,
    free_port,
    get_request,
    wait_accepting,
    wait_free,
    wait_until,
)
from origin import Reply, ok
from registry import write_values

# Agent idle time the native targets are started with, in milliseconds.
NATIVE_IDLE_MS = 2000
WINE_IDLE_MS = 180000

SANITIZER_OPTIONS = {
    "asan": {"ASAN_OPTIONS": "detect_leaks=1:abort_on_error=0", "UBSAN_OPTIONS": "print_stacktrace=1"},
    "tsan": {"TSAN_OPTIONS": "halt_on_error=0:exitcode=66:second_deadlock_stack=1"},
}
NATIVE_BINARY = {
    "asan": REPO / "build" / "native" / "bin" / "relvia-proxy",
    "tsan": REPO / "build" / "tsan" / "bin" / "relvia-proxy",
}
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:", "WARNING: ThreadSanitizer")


class Target:
    """One running proxy program and what the tests need to know of it."""

    def __init__(self, name: str, host: Host, port: int, idle_ms: int, log: Path, wine=None) -> None:
        self.name = name
        self.host = host
        self.port = port
        self.idle_ms = idle_ms
        self.log = log
        self.wine = wine
        self.settings_key: Optional[str] = None

    @property
    def pid(self) -> int:
        return self.host.proc.pid

    def threads(self) -> int:
        """Threads of the proxy's process (under Wine: of the host's Windows process)."""
        return len(os.listdir("/proc/%d/task" % self.pid))

    def turn_on(self) -> None:
        assert not accepts(self.port), "127.0.0.1:%d is taken before the proxy is on" % self.port
        assert self.host.command("on") == "on 1"
        wait_accepting(self.port)

    def turn_off(self, timeout: float = 120) -> None:
        assert self.host.command("off", timeout) == "off"
        wait_free(self.port)

    def counts(self) -> Tuple[int, int, int]:
        """(total, busy, idle) agents."""
        return tuple(int(word) for word in self.host.command("count").split()[1:])

    def wait_counts(self, condition, what: str, timeout: float = DEADLINE, interval: float = 0.2):
        """Polls the counts until condition(total, busy, idle) holds; returns them."""

        def check():
            found = self.counts()
            return found if condition(*found) else None

        return wait_until(check, timeout, what, interval)

    def use_settings(self, key: str) -> None:
        """Points the proxy at settings of its own under HKCU\\<key>."""
        assert self.host.command("regroot HKCU " + key) == "regroot 1"
        self.settings_key = key

    def set_values(self, values: Dict[str, Union[str, int]]) -> None:
        """Writes values into the proxy's settings: texts, and numbers as REG_DWORD."""
        if self.wine:
            write_values(self.wine, self.log.parent, self.settings_key, values)
            return
        for name, value in values.items():
            verb = "dword" if isinstance(value, int) else "set"
            assert self.host.command("%s %s %s" % (verb, name, value)) == verb + " 1"

    def quit(self) -> None:
        """Ends the program; it must exit cleanly and, natively, without a sanitizer report."""
        try:
            if self.host.alive():
                self.host.command("quit", timeout=120)
                code = self.host.wait_exit(120)
            else:
                code = self.host.proc.returncode
            text = self.log.read_text(errors="replace")
            reports = [line for line in text.splitlines() if any(mark in line for mark in SANITIZER_MARKS)]
            assert not reports, "%s reported:\n%s" % (self.name, text[-6000:])
            assert code == 0, "%s exited with %d:\n%s" % (self.name, code, text[-4000:])
            wait_free(self.port)
        finally:
            self.host.kill()


def start_native(kind: str, folder: Path) -> Target:
    binary = NATIVE_BINARY[kind]
    assert binary.is_file(), "%s is missing: build the native trees first" % binary.relative_to(REPO)
    port = free_port()
    env = dict(os.environ, **SANITIZER_OPTIONS[kind])
    log = folder / ("%s.stderr" % kind)
    host = Host([str(binary), "--port", str(port), "--idle-ms", str(NATIVE_IDLE_MS)], env, log)
    host.wait_ready()
    return Target(kind, host, port, NATIVE_IDLE_MS, log)


def start_wine(wine, folder: Path) -> Target:
    assert HOST_EXE.is_file(), "%s is missing: build the win64 tree first" % HOST_EXE.relative_to(REPO)
    log = folder / "wine.stderr"
    host = Host(["wine", str(HOST_EXE), "--console"], wine.env, log)
    host.wait_ready()
    return Target("wine", host, PROXY_PORT, WINE_IDLE_MS, log, wine)


def assert_serves(target: Target, origin, path: bytes = b"/after") -> None:
    """One ordinary request through the proxy gets the origin's answer unchanged."""
    answer = ok(b"still serving " + path)
    origin.reply = Reply(answer.data)
    assert fetch(get_request(origin.authority, path), port=target.port) == answer.data
