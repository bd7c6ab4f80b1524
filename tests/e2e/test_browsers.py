"""Browsers, detected as the host loads the library (so prepared before it starts), are pointed
at 127.0.0.1:8080 on turn-on and given their settings back on turn-off."""

import shutil
import struct

import pytest

from fixtures import APPLY_LINES, IE_KEY, INTERNET_KEY, LOCAL_LIST, NAVIGATOR_HKCU, RECORD_KEY, RESTORE_LINES, SETUP_KEY, Navigator
from harness import BIN_DIR
from registry import Binary, windows_path

OWN_LIST = b"ftp=ftp.example:2121;http=web.example:3128"
# Navigator 3's proxy values: the user's own, and the proxy's.
OWN_SETTINGS = {b"Proxy Type": 0, b"HTTP_Proxy": b"web.example", b"Http_ProxyPort": 3128}
LOCAL_SETTINGS = {b"Proxy Type": 1, b"HTTP_Proxy": b"127.0.0.1", b"Http_ProxyPort": 8080, b"FTP_Proxy": b"127.0.0.1"}
LOCAL_SETTINGS[b"Ftp_ProxyPort"] = 8080
COM_SERVER = "HKLM\\Software\\Classes\\CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32"


def internet_explorer(version: str):
    def prepare(desktop, folder):
        desktop.write(IE_KEY, {"Version": version})
        if int(version.split(".")[0]) < 4:  # found through its COM server registration
            desktop.write(COM_SERVER, {"@": '"%s" -Embedding' % windows_path(BIN_DIR / "browser-peers.exe")})
        desktop.write(INTERNET_KEY, {"ProxyEnable": Binary(bytes(4)), "ProxyServer": OWN_LIST})
        return lambda: [desktop.read(INTERNET_KEY)[name] for name in (b"ProxyEnable", b"ProxyServer")]

    return prepare, [Binary(b"\x01\0\0\0"), LOCAL_LIST], [Binary(bytes(4)), OWN_LIST]


def navigator_45(name: bytes):
    def prepare(desktop, folder):  # 4.5 and later find their profile through the profile registry
        navigator = Navigator(desktop, folder, "4.7 (en)")
        nsreg = b"\0\0header\0%s\0\0%s\0rest\0" % (name, windows_path(navigator.profile).encode())
        (desktop.prefix / "drive_c" / "windows" / "nsreg.dat").write_bytes(nsreg)
        return navigator.added

    return prepare


def older_navigator(beside: str = ""):
    def prepare(desktop, folder):  # a program with a "master.ini" beside it is not this one
        (folder / "Program").mkdir()
        shutil.copy(BIN_DIR / "browser-peers.exe", folder / "Program" / "netscape.exe")
        if beside:
            (folder / "Program" / beside).write_bytes(b"")
        desktop.write(NAVIGATOR_HKCU + "\\Main", {"Install Directory": windows_path(folder)})
        desktop.write(NAVIGATOR_HKCU + "\\Proxy Information", OWN_SETTINGS)
        return lambda: desktop.read(NAVIGATOR_HKCU + "\\Proxy Information")

    return prepare


@pytest.mark.parametrize("prepare, on, off", [
    internet_explorer("4.72.3110.0"),
    internet_explorer("3.02"),
    (navigator_45(b"ProfileLocation"), APPLY_LINES, APPLY_LINES + RESTORE_LINES),
    (navigator_45(b"profileLocation"), b"", b""),  # the name matched exactly, or no profile
    (older_navigator(), LOCAL_SETTINGS, {**LOCAL_SETTINGS, **OWN_SETTINGS}),  # only what was there is written back
    (older_navigator("master.ini"), OWN_SETTINGS, OWN_SETTINGS),
], ids=["ie4", "ie3", "navigator45", "navigator45-no-profile", "navigator3", "navigator3-master-ini"])
def test_settings_pointed_and_given_back(start_host, desktop, tmp_path, prepare, on, off):
    settings = prepare(desktop, tmp_path)
    host = start_host()
    for command, reply, expected in [("on", "on 1", on), ("off", "off", off)]:
        assert host.command(command) == reply
        assert settings() == expected


# Internet Explorer 5's records of a dial-up connection: the proxy's, and direct.
RECORDS = [Binary(struct.pack("<4I", 60, 2, 3, len(LOCAL_LIST)) + LOCAL_LIST + bytes(36))]
RECORDS += [Binary(struct.pack("<4I", 60, 1, 1, 0) + bytes(36))]


def internet_explorer_5(start_host, desktop, tmp_path, names):
    """The host beside test siblings that read connection names from a file and log notices: host, records, log."""
    for name in ("relvia-host.exe", "Relvia.dll", "../test-siblings/Quenlo.dll", "../test-siblings/Tessik.dll"):
        shutil.copy(BIN_DIR / name, tmp_path)
    log = tmp_path / "notices.log"
    (tmp_path / "connections.txt").write_bytes(b"".join(name + b"\r\n" for name in names))
    env = {"RELVIA_TEST_CONNECTIONS": windows_path(tmp_path / "connections.txt")}
    env["RELVIA_TEST_NOTIFY_LOG"] = windows_path(log)
    host = start_host(tmp_path / "relvia-host.exe", env)
    return host, lambda: desktop.read(INTERNET_KEY + "\\Connections"), log


NAMES = ["사내망".encode("cp949")] + [b"dial%d" % n for n in range(149)]


@pytest.mark.parametrize("names", [NAMES, []], ids=["150", "none"])  # the first 100; none still tells the system
def test_internet_explorer_5_sets_every_dialup_connection(start_host, desktop, tmp_path, names):
    before = desktop.read(INTERNET_KEY)
    host, records, log = internet_explorer_5(start_host, desktop, tmp_path, names)
    for command, reply, record, notices in [("on", "on 1", RECORDS[0], 1), ("off", "off", RECORDS[1], 2)]:
        assert host.command(command) == reply
        assert records() == dict.fromkeys(names[:100], record)
        assert log.read_bytes().count(b"tessik_Apply") == notices
    # The per-connection browser leaves the global switch and list alone.
    assert [desktop.read(INTERNET_KEY).get(n) for n in (b"ProxyEnable", b"ProxyServer")] == [
        before.get(n) for n in (b"ProxyEnable", b"ProxyServer")]


def test_the_process_end_only_writes_the_settings_back(start_host, desktop, tmp_path):
    host, records, log = internet_explorer_5(start_host, desktop, tmp_path, NAMES[:2])
    assert host.commands("on", "free") == ["on 1", "free"]  # freed while on: it stays loaded, serving
    desktop.delete(RECORD_KEY)  # the host's record gone, only the library gives the settings back
    assert (host.command("quit"), host.wait_exit()) == ("bye", 0)
    # As the process ends, under the loader lock: the names from turn-on, no sibling library loaded.
    assert (records(), log.read_bytes().count(b"tessik_Apply")) == (dict.fromkeys(NAMES[:2], RECORDS[1]), 1)


def test_no_browser_no_turn_on(start_host, desktop):
    desktop.write(SETUP_KEY, {"Path": None})
    assert start_host().commands("on", "count", "on") == ["on 0", "count -1 -1 -1", "on 0"]  # detected at load only
