"""End-to-end tests: relvia-host.exe and Relvia.dll from build/win64/bin, run under Wine,
driven through the host's console protocol and exercised as a proxy on 127.0.0.1:8080.

Run from the repository root, after the win64 tree is built:

    /usr/bin/python3 -m pytest tests/e2e

A run starts its own Xvfb and, on that display, a persistent and warmed-up
wineserver in the prefix of scripts/wine-env.sh (build/wine; RELVIA_E2E_WINEPREFIX
names another one), and stops both at the end. Every test gets a fresh host and
settings under HKCU\\Software\\RelviaE2E; origins are Python servers (origin.py) and an
nginx with its own prefix, all on 127.0.0.1. Port 8080 must be free.
"""

import os
import shutil
import sys
from pathlib import Path
from typing import Optional

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))

from fixtures import origin, wine, xvfb  # noqa: E402,F401 - fixtures of this suite too
from desktop import Desktop  # noqa: E402
from screen import Screen  # noqa: E402
from harness import BIN_DIR, HOST_EXE, LIBRARY, REPO, Host, Nginx, settings_root, turn_off, turn_on, wait_free  # noqa: E402
from origin import Origin  # noqa: E402

# Marker text of the nginx index page; a random part proves the page was really served.
PAGE_MARKER = "Relvia end-to-end page %s" % os.urandom(6).hex()


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    """A failing test's report shows what its host said and what its origin got."""
    outcome = yield
    report = outcome.get_result()
    if report.when != "call" or not report.failed:
        return
    host = item.funcargs.get("host")
    if isinstance(host, Host):
        report.sections.append(("host transcript", "\n".join(host.transcript[-60:])))
    origin = item.funcargs.get("origin")
    if isinstance(origin, Origin) and origin.exchanges:
        lines = []
        for number, exchange in enumerate(origin.exchanges[:20]):
            lines.append(
                "#%d: %d bytes, body %d bytes, head %r"
                % (number, len(exchange.raw), len(exchange.body), exchange.head[:600])
            )
        report.sections.append(("origin requests (%d)" % len(origin.exchanges), "\n".join(lines)))


@pytest.fixture
def start_host(wine, tmp_path):
    """Starts hosts (relvia-host.exe of the build, or `program`, with `env` added); each
    one still running at the end is told to quit, and must exit 0 and leave port 8080
    free."""
    for needed in (HOST_EXE, LIBRARY):
        assert needed.is_file(), "%s is missing: build the win64 tree first" % needed.relative_to(REPO)
    hosts = []

    def start(program: Path = HOST_EXE, env: Optional[dict] = None) -> Host:
        host = Host(
            ["wine", str(program), "--console"],
            dict(wine.env, **(env or {})),
            tmp_path / ("host%d.stderr" % len(hosts)),
        )
        hosts.append(host)
        host.wait_ready()
        return host

    yield start
    try:
        for host in hosts:
            if host.alive():
                host.command("quit", timeout=60)
                assert host.wait_exit(60) == 0
            elif not host.killed:
                assert host.proc.returncode == 0, "the host exited with %d" % host.proc.returncode
        wait_free()
    finally:
        for host in hosts:
            host.kill()


@pytest.fixture
def host(start_host) -> Host:
    return start_host()


@pytest.fixture
def proxy(host) -> Host:
    """A host whose proxy is on, with settings of its own; turned off afterwards."""
    settings_root(host)
    turn_on(host)
    yield host
    if host.alive():
        turn_off(host, timeout=60)


@pytest.fixture(scope="session")
def nginx(tmp_path_factory):
    # Random bytes broken up by runs of NUL bytes.
    chunks = []
    for _ in range(192):
        chunks.append(os.urandom(61440))
        chunks.append(bytes(4096))
    files = {
        "index.html": (
            "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Relvia</title></head>\n"
            "<body><p id=\"marker\">%s</p></body></html>\n" % PAGE_MARKER
        ).encode(),
        "big.bin": b"".join(chunks),
    }
    server = Nginx(tmp_path_factory.mktemp("nginx"), files)
    server.marker = PAGE_MARKER
    yield server
    server.stop()


@pytest.fixture
def desktop(wine, tmp_path):
    place = Desktop(wine, tmp_path)
    yield place
    place.restore()


@pytest.fixture
def host_folder(tmp_path):
    """relvia-host.exe and Relvia.dll with the test builds of the sibling libraries."""
    folder = tmp_path / "host"
    folder.mkdir()
    for name in ("relvia-host.exe", "Relvia.dll"):
        shutil.copy(BIN_DIR / name, folder / name)
    for name in ("Quenlo.dll", "Tessik.dll"):
        shutil.copy(BIN_DIR.parent / "test-siblings" / name, folder / name)
    return folder


@pytest.fixture
def screen(wine):
    """The dialogs on the run's display (screen.py)."""
    return Screen(wine)
