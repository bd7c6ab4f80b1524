"""Fixtures both Python suites use: the X display and the Wine prefix the Windows
build runs in, and the scripted origin server. A suite's conftest imports them."""

import os
import resource
from pathlib import Path

import pytest

from harness import REPO, WineServer, Xvfb
from origin import Origin


@pytest.fixture(scope="session")
def xvfb(tmp_path_factory):
    server = Xvfb(tmp_path_factory.mktemp("xvfb") / "xvfb.log")
    yield server
    server.stop()
    assert server.proc.returncode is not None


@pytest.fixture(scope="session")
def wine(xvfb):
    # wineserver keeps a descriptor for every socket of every Wine process: the
    # many-connections test needs well over a thousand.
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    wanted = 65536 if hard == resource.RLIM_INFINITY else min(hard, 65536)
    if soft < wanted:
        resource.setrlimit(resource.RLIMIT_NOFILE, (wanted, hard))
    prefix = Path(os.environ.get("RELVIA_E2E_WINEPREFIX") or REPO / "build" / "wine").resolve()
    server = WineServer(prefix, xvfb.display)
    try:
        server.up()
        yield server
    finally:
        server.down()


@pytest.fixture
def origin():
    server = Origin()
    yield server
    server.close()
