"""Browsers follow the proxy through the real DLL: detected when the host loads the
library, pointed at 127.0.0.1:8080 on turn-on, given their settings back on turn-off,
and given them back by the host after a run that was killed while on. Registry values
and preference files are prepared before the host starts, since detection runs at
load; test builds of the sibling libraries beside the host make the connection names
and the change notices observable, and browser-peers.exe plays a running Navigator."""

import shutil
import struct

import pytest

from harness import BIN_DIR, DEADLINE, REPO, Host, settings_root, wait_free, wait_until, windows_path
from registry import Binary, delete_key, read_values, write_values

IE_KEY = "HKLM\\Software\\Microsoft\\Internet Explorer"
SETUP_KEY = "HKLM\\Software\\Microsoft\\IE4\\Setup"
INTERNET_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
CONNECTIONS_KEY = INTERNET_KEY + "\\Connections"
NAVIGATOR_HKLM = "HKLM\\Software\\Netscape\\Netscape Navigator"
NAVIGATOR_HKCU = "HKCU\\Software\\Netscape\\Netscape Navigator"
RECORD_KEY = "HKCU\\Software\\Corvale\\Pellora5\\RelviaHost\\BrowserRecord"
LOCAL_LIST = b"ftp=127.0.0.1:8080;http=127.0.0.1:8080"
PROXY_RECORD = struct.pack("<4I", 60, 2, 3, len(LOCAL_LIST)) + LOCAL_LIST + bytes(36)
DIRECT_RECORD = struct.pack("<4I", 60, 1, 1, 0) + bytes(36)
APPLY_LINES = (
    b'user_pref("network.proxy.ftp", "127.0.0.1");\r\n'
    b'user_pref("network.proxy.ftp_port", 8080);\r\n'
    b'user_pref("network.proxy.http", "127.0.0.1");\r\n'
    b'user_pref("network.proxy.http_port", 8080);\r\n'
    b'user_pref("network.proxy.type", 1);\r\n'
)
USER_PREFS = (
    b'user_pref("browser.startup.page", 1);\r\n'
    b'user_pref("network.proxy.http", "old.example");\r\n'
    b'user_pref("network.proxy.http_port", 3128);\r\n'
    b'user_pref("network.proxy.type", 1);\r\n'
)
RESTORE_LINES = (
    b'user_pref("network.proxy.http", "old.example");\r\n'
    b'user_pref("network.proxy.http_port", 3128);\r\n'
    b'user_pref("network.proxy.type", 1);\r\n'
)


class Desktop:
    """The prefix's browser places, put back as they were after the test."""

    def __init__(self, wine, folder) -> None:
        self.wine = wine
        self.folder = folder
        self.windows = wine.prefix / "drive_c" / "windows"
        self.saved = {
            IE_KEY: {b"Version": None},
            SETUP_KEY: {b"Path": None},
            INTERNET_KEY: {b"ProxyEnable": None, b"ProxyServer": None},
        }
        for key, names in self.saved.items():
            found = read_values(wine, folder, key) or {}
            for name in names:
                names[name] = found.get(name)

    def set(self, key: str, values: dict) -> None:
        write_values(self.wine, self.folder, key, values)

    def values(self, key: str) -> dict:
        return read_values(self.wine, self.folder, key) or {}

    def restore(self) -> None:
        for key, names in self.saved.items():
            self.set(key, {name: value for name, value in names.items()})
        for key in (CONNECTIONS_KEY, NAVIGATOR_HKLM, NAVIGATOR_HKCU, RECORD_KEY):
            delete_key(self.wine, key)
        (self.windows / "nsreg.dat").unlink(missing_ok=True)


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


def notices(path) -> int:
    return path.read_bytes().count(b"tessik_Apply") if path.exists() else 0


def test_internet_explorer_5_sets_every_dialup_connection(start_host, desktop, host_folder, tmp_path):
    names = tmp_path / "connections.txt"
    names.write_bytes("Office\r\n사내망\r\n".encode("cp949"))
    log = tmp_path / "notices.log"
    before = desktop.values(INTERNET_KEY)
    env = {"RELVIA_TEST_CONNECTIONS": windows_path(names), "RELVIA_TEST_NOTIFY_LOG": windows_path(log)}
    host = start_host(host_folder / "relvia-host.exe", env)
    settings_root(host)
    wanted = {b"Office", "사내망".encode("cp949")}
    assert host.command("on") == "on 1"
    records = desktop.values(CONNECTIONS_KEY)
    assert {name: records.get(name) for name in wanted} == {name: Binary(PROXY_RECORD) for name in wanted}
    assert notices(log) == 1
    assert host.command("off") == "off"
    records = desktop.values(CONNECTIONS_KEY)
    assert {name: records.get(name) for name in wanted} == {name: Binary(DIRECT_RECORD) for name in wanted}
    assert notices(log) == 2
    # The per-connection browser leaves the global switch and list alone.
    after = desktop.values(INTERNET_KEY)
    assert [after.get(n) for n in (b"ProxyEnable", b"ProxyServer")] == [before.get(n) for n in (b"ProxyEnable", b"ProxyServer")]


@pytest.mark.parametrize("version", ["4.72.3110.0", "3.02"])
def test_older_internet_explorer_settings(start_host, desktop, version, tmp_path):
    desktop.set(IE_KEY, {"Version": version})
    if version.startswith("3"):
        # Before version 4 the program is found through its COM server registration.
        program = windows_path(BIN_DIR / "browser-peers.exe")
        desktop.set("HKLM\\Software\\Classes\\CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32", {"@": '"%s" -Embedding' % program})
    saved_list = b"ftp=ftp.example:2121;http=web.example:3128"
    desktop.set(INTERNET_KEY, {"ProxyEnable": Binary(bytes(4)), "ProxyServer": saved_list})
    host = start_host()
    settings_root(host)
    assert host.command("on") == "on 1"
    values = desktop.values(INTERNET_KEY)
    assert (values[b"ProxyEnable"], values[b"ProxyServer"]) == (Binary(b"\x01\0\0\0"), LOCAL_LIST)
    assert host.command("off") == "off"
    values = desktop.values(INTERNET_KEY)
    assert (values[b"ProxyEnable"], values[b"ProxyServer"]) == (Binary(bytes(4)), saved_list)


def test_no_browser_no_turn_on(start_host, desktop):
    desktop.set(SETUP_KEY, {"Path": None})
    host = start_host()
    settings_root(host)
    assert host.command("on") == "on 0"
    assert host.command("count") == "count -1 -1 -1"
    assert host.command("on") == "on 0"  # detection ran at load only
    wait_free()


class Navigator:
    """Netscape Navigator 4 as the registry and the file system show it: a program
    folder with browser-peers.exe as netscape.exe, and a profile with prefs.js."""

    def __init__(self, desktop, folder, version: str) -> None:
        self.install = folder / "navigator"
        (self.install / "Program").mkdir(parents=True)
        shutil.copy(BIN_DIR / "browser-peers.exe", self.install / "Program" / "netscape.exe")
        self.log = self.install / "Program" / "netscape.log"
        self.profile = folder / "profile"
        self.profile.mkdir()
        self.prefs = self.profile / "prefs.js"
        self.prefs.write_bytes(USER_PREFS)
        desktop.set(NAVIGATOR_HKLM, {"CurrentVersion": version})
        desktop.set(NAVIGATOR_HKLM + "\\" + version + "\\Main", {"Install Directory": windows_path(self.install)})

    def added(self) -> bytes:
        return self.prefs.read_bytes()[len(USER_PREFS) :]

    def starts(self) -> int:
        return self.log.read_bytes().count(b"started") if self.log.exists() else 0


def start_navigator(wine, tmp_path) -> Host:
    """A running Navigator: its hidden frame and its DDE service."""
    navigator = Host(["wine", str(BIN_DIR / "browser-peers.exe"), "netscape"], wine.env, tmp_path / "navigator.stderr")
    navigator.wait_ready(120)
    return navigator


def test_netscape_4_profile_and_a_running_navigator(start_host, desktop, wine, tmp_path):
    navigator_files = Navigator(desktop, tmp_path, "4.08 (en)")
    desktop.set(NAVIGATOR_HKLM + "\\Users", {"CurrentUser": "default"})
    desktop.set(NAVIGATOR_HKLM + "\\Users\\default", {"DirRoot": windows_path(navigator_files.profile)})
    running = start_navigator(wine, tmp_path)
    host = start_host()
    key = settings_root(host)
    try:
        # The browser-exit question cannot be shown yet: running browsers are ended
        # and not started again.
        assert host.command("on") == "on 1"
        assert running.next_line(DEADLINE) == "poke WWW_Exit"
        assert running.wait_exit(DEADLINE) == 0
        assert navigator_files.added() == APPLY_LINES
        assert host.command("off") == "off"
        assert navigator_files.added() == APPLY_LINES + RESTORE_LINES
        assert navigator_files.starts() == 0

        # With the question switched off: ended and started again on turn-on, ended
        # and left ended on turn-off.
        write_values(wine, tmp_path, key, {"WBAlert": 0})
        running = start_navigator(wine, tmp_path)
        assert host.command("on") == "on 1"
        assert running.next_line(DEADLINE) == "poke WWW_Exit"
        wait_until(lambda: navigator_files.starts() == 1, DEADLINE, "Navigator to start again")
        assert host.command("off") == "off"
        wait_until(lambda: b"exited" in navigator_files.log.read_bytes(), DEADLINE, "the restarted Navigator to end")
        assert navigator_files.starts() == 1
        assert navigator_files.added() == 2 * (APPLY_LINES + RESTORE_LINES)
    finally:
        running.kill()


def test_netscape_45_profile_through_the_profile_registry(start_host, desktop, tmp_path):
    navigator_files = Navigator(desktop, tmp_path, "4.7 (en)")
    (desktop.windows / "nsreg.dat").write_bytes(
        b"\0\0header\0ProfileLocation\0\0" + windows_path(navigator_files.profile).encode() + b"\0rest\0"
    )
    host = start_host()
    settings_root(host)
    assert host.command("on") == "on 1"
    assert host.command("off") == "off"
    assert navigator_files.added() == APPLY_LINES + RESTORE_LINES


def test_older_netscape_registry_settings(start_host, desktop, tmp_path):
    install = tmp_path / "navigator3"
    (install / "Program").mkdir(parents=True)
    shutil.copy(BIN_DIR / "browser-peers.exe", install / "Program" / "netscape.exe")
    desktop.set(NAVIGATOR_HKCU + "\\Main", {"Install Directory": windows_path(install)})
    proxy_key = NAVIGATOR_HKCU + "\\Proxy Information"
    saved = {b"Proxy Type": 0, b"HTTP_Proxy": b"web.example", b"Http_ProxyPort": 3128}
    desktop.set(proxy_key, saved)
    host = start_host()
    settings_root(host)
    assert host.command("on") == "on 1"
    local = {b"Proxy Type": 1, b"HTTP_Proxy": b"127.0.0.1", b"Http_ProxyPort": 8080, b"FTP_Proxy": b"127.0.0.1", b"Ftp_ProxyPort": 8080}
    assert desktop.values(proxy_key) == local
    assert host.command("off") == "off"
    # Only what was there is written back.
    assert desktop.values(proxy_key) == {**local, **saved}


def test_host_killed_while_on_gives_the_settings_back_at_its_next_start(start_host, desktop):
    desktop.set(IE_KEY, {"Version": "4.72.3110.0"})
    saved_list = b"http=web.example:3128"
    desktop.set(INTERNET_KEY, {"ProxyEnable": Binary(b"\x01\0\0\0"), "ProxyServer": saved_list})
    host = start_host()
    settings_root(host)
    assert host.command("on") == "on 1"
    assert desktop.values(INTERNET_KEY)[b"ProxyServer"] == LOCAL_LIST
    host.kill()
    wait_free()
    # The browsers still point at a proxy that is gone, until the host runs again.
    assert desktop.values(INTERNET_KEY)[b"ProxyServer"] == LOCAL_LIST
    start_host()
    values = desktop.values(INTERNET_KEY)
    assert (values[b"ProxyEnable"], values[b"ProxyServer"]) == (Binary(b"\x01\0\0\0"), saved_list)
    assert desktop.values(RECORD_KEY) == {}
