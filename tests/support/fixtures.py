"""The fixtures of both suites, which each conftest imports, and the desktop of the e2e tests:
browser places in the Wine prefix, Navigator 4, and the dialogs on the screen (xdotool)."""

import os
import resource
import shutil
import subprocess
from pathlib import Path

import pytest

from harness import BIN_DIR, REPO, WINE, Host, Origin
from registry import Wine, windows_path

IE_KEY = "HKLM\\Software\\Microsoft\\Internet Explorer"
SETUP_KEY = "HKLM\\Software\\Microsoft\\IE4\\Setup"
INTERNET_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
NAVIGATOR_HKLM = "HKLM\\Software\\Netscape\\Netscape Navigator"
NAVIGATOR_HKCU = "HKCU\\Software\\Netscape\\Netscape Navigator"
RECORD_KEY = "HKCU\\Software\\Corvale\\Pellora5\\RelviaHost\\BrowserRecord"
# What a test may change, put back afterwards (fixtures.desktop): values kept, keys removed.
SAVED = {IE_KEY: [b"Version"], SETUP_KEY: [b"Path"], INTERNET_KEY: [b"ProxyEnable", b"ProxyServer"]}
REMOVED = [INTERNET_KEY + "\\Connections", NAVIGATOR_HKLM, NAVIGATOR_HKCU, RECORD_KEY]
LOCAL_LIST = b"ftp=127.0.0.1:8080;http=127.0.0.1:8080"
# Navigator's prefs.js: the user's own proxy lines, which turning off appends again, and turning on's.
RESTORE_LINES = b'user_pref("network.proxy.http", "old.example");\r\nuser_pref("network.proxy.http_port", 3128);\r\n'
RESTORE_LINES += b'user_pref("network.proxy.type", 1);\r\n'
USER_PREFS = b'user_pref("browser.startup.page", 1);\r\n' + RESTORE_LINES
APPLY_LINES = b'user_pref("network.proxy.ftp", "127.0.0.1");\r\nuser_pref("network.proxy.ftp_port", 8080);\r\n'
APPLY_LINES += b'user_pref("network.proxy.http", "127.0.0.1");\r\nuser_pref("network.proxy.http_port", 8080);\r\n'
APPLY_LINES += b'user_pref("network.proxy.type", 1);\r\n'


class Navigator:
    """Navigator 4 in the registry and on disk: browser-peers.exe as netscape.exe, and a profile."""

    def __init__(self, wine, folder: Path, version: str) -> None:
        (folder / "Program").mkdir()
        shutil.copy(BIN_DIR / "browser-peers.exe", folder / "Program" / "netscape.exe")
        self.log, self.profile = folder / "Program" / "netscape.log", folder / "profile"
        self.profile.mkdir()
        (self.profile / "prefs.js").write_bytes(USER_PREFS)
        wine.write(NAVIGATOR_HKLM, {"CurrentVersion": version})
        wine.write(NAVIGATOR_HKLM + "\\" + version + "\\Main", {"Install Directory": windows_path(folder)})
        if version.startswith("4.0"):  # 4.0x finds its profile through the "Users" key
            wine.write(NAVIGATOR_HKLM + "\\Users", {"CurrentUser": "default"})
            wine.write(NAVIGATOR_HKLM + "\\Users\\default", {"DirRoot": windows_path(self.profile)})

    def added(self) -> bytes:
        return (self.profile / "prefs.js").read_bytes()[len(USER_PREFS) :]

    def starts(self) -> int:
        return self.log.read_bytes().count(b"started") if self.log.exists() else 0


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):  # a failing test's report shows what its host said
    report = (yield).get_result()
    host = item.funcargs.get("host")
    if report.when == "call" and report.failed and isinstance(host, Host):
        report.sections.append(("host transcript", "\n".join(host.transcript[-60:])))


@pytest.fixture(scope="session")
def xvfb(tmp_path_factory):
    """An Xvfb on the first free display, which it names on a pipe of its own: the display's name."""
    log, (read_end, write_end) = tmp_path_factory.mktemp("xvfb") / "xvfb.log", os.pipe()
    argv = ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"]
    with open(log, "wb") as out, subprocess.Popen(argv, pass_fds=[write_end], stdout=out, stderr=out) as proc:
        os.close(write_end)
        with os.fdopen(read_end, "rb") as pipe:
            number = pipe.readline().strip()  # to the newline: a pipe closed before it would end Xvfb
        assert number.isdigit(), "Xvfb named no display: %s" % log.read_text(errors="replace")
        yield ":" + number.decode()
        proc.terminate()


@pytest.fixture(scope="session")
def wine(xvfb, tmp_path_factory):
    # wineserver keeps a descriptor for every socket of every Wine process: the load tests need thousands.
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    wanted = 65536 if hard == resource.RLIM_INFINITY else min(hard, 65536)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, wanted), hard))
    prefix = Path(os.environ.get("RELVIA_E2E_WINEPREFIX") or REPO / "build" / "wine").resolve()
    server = Wine(prefix, xvfb, tmp_path_factory.mktemp("wine"))
    try:
        server.up()
        yield server
    finally:
        server.shell("wine_down")


@pytest.fixture
def origin():
    with Origin() as server:
        yield server


@pytest.fixture
def start_host(wine, tmp_path):
    """Starts relvia-host.exe (or `program`, `env` added) with settings of its own; each must finish cleanly."""
    hosts = []

    def start(program: Path = BIN_DIR / "relvia-host.exe", env: dict = None) -> Host:
        log = tmp_path / ("host%d.stderr" % len(hosts))
        hosts.append(Host([WINE, str(program), "--console"], dict(wine.env, **(env or {})), log, wine=wine))
        hosts[-1].settings()
        return hosts[-1]

    yield start
    try:
        for host in hosts:
            host.finish()
    finally:
        for host in hosts:
            host.kill()


@pytest.fixture
def host(start_host) -> Host:
    return start_host()


@pytest.fixture
def proxy(host) -> Host:  # `host` turned on, and off again afterwards
    host.turn_on()
    yield host
    if host.alive():
        host.turn_off()


@pytest.fixture
def desktop(wine):  # the prefix's browser places (`wine` itself), put back as they were after the test
    saved = {key: {name: wine.read(key).get(name) for name in names} for key, names in SAVED.items()}
    yield wine
    for key, values in saved.items():
        wine.write(key, values)
    for key in REMOVED:
        wine.delete(key)
    (wine.prefix / "drive_c" / "windows" / "nsreg.dat").unlink(missing_ok=True)


@pytest.fixture
def screen(wine) -> Wine:  # the display
    return wine
