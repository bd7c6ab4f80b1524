"""Browsers follow the proxy through the real DLL: detected when the host loads the
library, pointed at 127.0.0.1:8080 on turn-on, given their settings back on turn-off,
and given them back by the host after a run that was killed while on. Registry values
and preference files are prepared before the host starts, since detection runs at
load; test builds of the sibling libraries beside the host make the connection names
and the change notices observable, and browser-peers.exe plays a running Navigator."""

import shutil

import pytest

from desktop import (
    APPLY_LINES,
    CONNECTIONS_KEY,
    DIRECT_RECORD,
    IE_KEY,
    INTERNET_KEY,
    LOCAL_LIST,
    NAVIGATOR_HKCU,
    PROXY_RECORD,
    RECORD_KEY,
    RESTORE_LINES,
    SETUP_KEY,
    Navigator,
    navigator_4,
    start_navigator,
)
from harness import BIN_DIR, DEADLINE, settings_root, wait_free, wait_until, windows_path
from registry import Binary, write_values


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


def test_netscape_4_profile_and_a_running_navigator(start_host, desktop, wine, tmp_path):
    navigator_files = navigator_4(desktop, tmp_path)
    running = start_navigator(wine, tmp_path)
    host = start_host()
    # With the browser-exit question switched off: ended and started again on turn-on,
    # ended and left ended on turn-off (the question itself: test_dialogs.py).
    write_values(wine, tmp_path, settings_root(host), {"WBAlert": 0})
    try:
        assert host.command("on") == "on 1"
        assert running.next_line(DEADLINE) == "poke WWW_Exit"
        wait_until(lambda: navigator_files.starts() == 1, DEADLINE, "Navigator to start again")
        assert navigator_files.added() == APPLY_LINES
        assert host.command("off") == "off"
        wait_until(lambda: b"exited" in navigator_files.log.read_bytes(), DEADLINE, "the restarted Navigator to end")
        assert navigator_files.starts() == 1
        assert navigator_files.added() == APPLY_LINES + RESTORE_LINES
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
