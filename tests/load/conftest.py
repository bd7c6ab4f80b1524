"""The load-and-fault suite: many connections at once, agents coming and going,
turning off under load, and origins, browsers, a translation host and an FTP server
that misbehave. Every test runs against each target of targets.py; the figures each
one measures are printed at the end and kept in build/load-report.txt.

    /usr/bin/python3 -m pytest tests/load

RELVIA_LOAD_TARGETS picks targets (default "asan,tsan,wine"); RELVIA_LOAD_DEEP=1
runs the long variants (make test-deep). Everything stays on 127.0.0.1; the Wine
target needs port 8080 free.
"""

import itertools
import os
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))

from fixtures import origin, wine, xvfb  # noqa: E402,F401 - fixtures of this suite too
from harness import REPO  # noqa: E402
from targets import start_native, start_wine  # noqa: E402

TARGETS = os.environ.get("RELVIA_LOAD_TARGETS", "asan,tsan,wine").split(",")
DEEP = os.environ.get("RELVIA_LOAD_DEEP") == "1"
REPORT = REPO / "build" / "load-report.txt"

_rows = []
_keys = itertools.count(1)


@pytest.fixture
def deep() -> bool:
    return DEEP


@pytest.fixture
def record(request):
    """record(what, value): one measured figure of this test, for the report."""

    def add(what: str, value) -> None:
        _rows.append((request.node.name, what, value))

    return add


@pytest.fixture(params=TARGETS)
def target(request, tmp_path):
    """A started proxy program with settings of its own, still off."""
    if request.param == "wine":
        started = start_wine(request.getfixturevalue("wine"), tmp_path)
    else:
        started = start_native(request.param, tmp_path)
    try:
        started.use_settings("Software\\RelviaE2E\\load%d-%d" % (os.getpid(), next(_keys)))
        yield started
    finally:
        started.quit()


@pytest.fixture
def proxy(target):
    """The target turned on; turned off again afterwards."""
    target.turn_on()
    yield target
    if target.host.alive():
        target.turn_off()


def pytest_terminal_summary(terminalreporter):
    if not _rows:
        return
    width = max(len(test) for test, _, _ in _rows)
    lines = ["%-*s  %s: %s" % (width, test, what, value) for test, what, value in _rows]
    REPORT.parent.mkdir(exist_ok=True)
    REPORT.write_text("\n".join(lines) + "\n")
    terminalreporter.section("load-and-fault figures (also in %s)" % REPORT.relative_to(REPO))
    for line in lines:
        terminalreporter.write_line(line)
