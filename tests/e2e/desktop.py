"""The browsers' places in the Wine prefix, as the browser and dialog tests prepare
them: registry keys and values, Navigator's program folder and profile, and a running
Navigator played by browser-peers.exe."""

import shutil
import struct

from harness import BIN_DIR, Host, windows_path
from registry import delete_key, read_values, write_values

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




def navigator_4(desktop, folder) -> Navigator:
    """Navigator 4.08 with its profile found through the "Users" key."""
    navigator = Navigator(desktop, folder, "4.08 (en)")
    desktop.set(NAVIGATOR_HKLM + "\\Users", {"CurrentUser": "default"})
    desktop.set(NAVIGATOR_HKLM + "\\Users\\default", {"DirRoot": windows_path(navigator.profile)})
    return navigator
