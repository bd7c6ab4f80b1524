"""Load and faults against relvia-proxy under ASan (leaks checked) and TSan and the DLL under Wine
(RELVIA_LOAD_TARGETS picks; RELVIA_LOAD_DEEP=1 runs long variants); figures: build/load-report.txt."""

import os
import socket

import pytest

from fixtures import *  # noqa: F401,F403 - the fixtures of both suites
from harness import REPO, Host

TARGETS = os.environ.get("RELVIA_LOAD_TARGETS", "asan,tsan,wine").split(",")
NATIVE = {
    "asan": ("native", {"ASAN_OPTIONS": "detect_leaks=1:abort_on_error=0", "UBSAN_OPTIONS": "print_stacktrace=1"}),
    "tsan": ("tsan", {"TSAN_OPTIONS": "halt_on_error=0:exitcode=66:second_deadlock_stack=1"}),
}
REPORT = REPO / "build" / "load-report.txt"
_rows = []


@pytest.fixture
def record(request):
    """record(what, value): one measured figure of this test, for the report."""
    return lambda what, value: _rows.append((request.node.name, what, value))


@pytest.fixture(params=TARGETS)
def host(request, tmp_path) -> Host:
    """A started proxy program with settings of its own, still off; `idle_ms` is its agents' idle time."""
    if request.param == "wine":
        started = request.getfixturevalue("start_host")()
        started.idle_ms = 180000
    else:
        tree, options = NATIVE[request.param]
        with socket.socket() as probe:  # a free port
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        argv = [str(REPO / "build" / tree / "bin" / "relvia-proxy"), "--port", str(port), "--idle-ms", "2000"]
        started = Host(argv, dict(os.environ, **options), tmp_path / "proxy.stderr", port, name=request.param)
        request.addfinalizer(started.finish)
        started.idle_ms = 2000
        started.settings()
    return started


def pytest_terminal_summary(terminalreporter):
    width = max([len(test) for test, _, _ in _rows] or [0])
    lines = ["%-*s  %s: %s" % (width, test, what, value) for test, what, value in _rows]
    if lines:
        REPORT.parent.mkdir(exist_ok=True)
        REPORT.write_text("\n".join(lines) + "\n")
        terminalreporter.section("load-and-fault figures (also in %s)" % REPORT.relative_to(REPO))
        for line in lines:
            terminalreporter.write_line(line)
