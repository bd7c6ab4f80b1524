"""The three skinned dialogs under Wine: found on the screen, their words read, photographed and
compared with their pictures, and answered with real mouse and keyboard input."""

import fcntl
import subprocess
import termios

import pytest

from fixtures import APPLY_LINES, RECORD_KEY, RESTORE_LINES, Navigator
from harness import BIN_DIR, REPO, WINE, Host, fetch, get, wait_until
from test_host import ENDINGS

NOTICE, BROWSER_EXIT, SWITCH = "일한 번역 확인", "웹브라우저 종료 확인", "Pellora - 일한 번역"
CHECK_TEXT = "다음부터 이 메세지 표시하지 않음"
NOTICE_TEXT = "'일한 번역' 기능은 일본어로 된 홈페이지를 자동으로 한글로 번역해서 보여주는 기능입니다.\n\n" \
    "이 기능을 사용하는 상태에서는 일본어가 아닌 홈페이지에 대한 접속이 느려질 수 있습니다."
RESTORE_QUESTION = "Corvale Pellora에 의해 변경된 웹브라우저의 설정을 복구하기 위해 현재 실행중인 [넷스케이프 네비게이터]를 종료합니다."
APPLY_QUESTION = "Corvale Pellora의 일한 번역 기능을 이용하려면 현재 실행중인 [넷스케이프 네비게이터]를 종료하거나 재실행 해야합니다."


def assert_skinned(screen, dialog, name: str, mouse=None) -> None:
    """Centred across the 1024-pixel screen, and once painted (it may still be painting when found) as it looked when
    its skin was checked, pixel for pixel: docs/dialogs/NAME.png (edges, background, icon, close box, buttons, text).
    The mouse rests at `mouse` (x, y), by default off the buttons: each in its normal look."""
    box = dialog.box
    assert box.x == (1024 - box.width - 1) // 2  # fitting the message, after the centring, takes a pixel off
    screen.move(*(mouse or (box.x + 5, box.y + box.height // 2)))
    looks = screen.output("convert", str(REPO / "docs" / "dialogs" / (name + ".png")), "-depth", "8", "rgb:-")
    wait_until(lambda: screen.pixels(box, name) == looks, name + " to look as before (build/screenshots)", interval=0.2)


def send_while_open(host, line: str) -> None:
    """A line the host reads, but holds while the dialog's call runs."""
    host.send(line)
    unread = bytearray(4)
    wait_until(lambda: fcntl.ioctl(host.proc.stdin, termios.FIONREAD, unread) == 0 and not any(unread), line + " read")


def test_quit_waits_for_the_open_dialog(proxy, screen):
    proxy.send("enable 1")
    notice = screen.find(NOTICE)
    send_while_open(proxy, "quit")
    screen.click(*notice.center(1004))
    assert [proxy.next_line(), proxy.next_line(), proxy.wait_exit()] == ["enable", "bye", 0]


@pytest.mark.parametrize("ending", ["ctrl-c", "session end"])
def test_an_end_that_cannot_wait_closes_the_open_dialog(proxy, screen, wine, ending):
    proxy.send("enable 1")
    screen.find(NOTICE)
    assert wine.read(RECORD_KEY)  # the record of the browsers' settings, which the end gives back
    ENDINGS[ending](proxy, None)  # the system may end the process soon after: the dialog is not waited for
    assert [proxy.next_line(), proxy.next_line(), proxy.wait_exit()] == ["enable", "bye", 0]
    assert wine.read(RECORD_KEY) == {}  # the browsers have their settings back


def test_translation_notice(proxy, screen, wine):
    proxy.send("enable 1")
    notice = screen.find(NOTICE)
    send_while_open(proxy, "count")
    assert notice.texts() == {1004: "확인", 1009: CHECK_TEXT, 1002: NOTICE_TEXT, 1012: "일본 웹 여행 가이드", 1000: ""}
    assert_skinned(screen, notice, "translation-notice")
    screen.output("xdotool", "key", "Return")  # neither Enter nor Escape does anything
    screen.output("xdotool", "key", "Escape")
    assert screen.find(NOTICE).box == notice.box
    # The bitmap buttons light up under the mouse; pressed only while the button is down.
    assert_skinned(screen, notice, "translation-notice-hover", (notice.controls[1004][1].x + 20, notice.center(1004)[1]))
    # On, the library knows the host's window: the guide button tells it (message 1182), the box does not count.
    screen.click(*notice.center(1009))
    screen.click(*notice.center(1012))
    assert [proxy.next_line(), proxy.next_line()[:6]] == ["enable", "count "]
    wait_until(lambda: "msg 1182 0 0" in proxy.messages, "the guide message")
    assert b"J2KAlert" not in wine.read(proxy.key)
    assert proxy.command("enable 0") == "enable"
    proxy.send("enable 1")
    box = screen.find(NOTICE).box
    screen.move(box.x + 60, box.y + 8)  # the title bar drags the window
    screen.output("xdotool", "mousedown", "1")
    screen.move(box.x + 100, box.y + 38)
    screen.output("xdotool", "mouseup", "1")
    moved = screen.find(NOTICE)
    # The grip is kept in client coordinates: the one-pixel border moves it once more.
    assert (moved.box.x, moved.box.y) == (box.x + 41, box.y + 31)
    # The close box gives OK's result without what OK does: the checked box does not switch the notice off.
    screen.click(*moved.center(1009))
    screen.click(moved.box.x + moved.box.width - 12, moved.box.y + 10)
    assert proxy.next_line() == "enable"
    screen.gone(NOTICE)
    assert b"J2KAlert" not in wine.read(proxy.key)
    assert proxy.command("enable 0") == "enable"  # checked box and OK: the notice is not shown again
    proxy.send("enable 1")
    screen.click(*screen.find(NOTICE).center(1009))
    wait_until(lambda: screen.find(NOTICE).controls[1009][0], "the box to be checked")
    screen.click(*notice.center(1004))
    assert proxy.next_line() == "enable"
    screen.gone(NOTICE)
    assert wine.read(proxy.key).get(b"J2KAlert") == 0
    assert proxy.commands("enable 0", "enable 1") == ["enable", "enable"]


def navigators() -> int:  # the copies of Navigator's program (netscape.exe) running under Wine
    return int(subprocess.run(["pgrep", "-cif", r"netscape\.exe"], capture_output=True, text=True).stdout)


def asked(screen, text: str):
    question = screen.find(BROWSER_EXIT)
    assert question.texts() == {2000: "종료", 3000: "재실행", 1002: text, 1007: "취소", 1014: CHECK_TEXT, 1000: ""}
    return question


def test_a_running_navigator_and_the_browser_exit_question(start_host, desktop, screen, tmp_path):
    navigator, peers = Navigator(desktop, tmp_path, "4.08 (en)"), []

    def running() -> Host:  # a Navigator the user started
        log = tmp_path / ("running%d.log" % len(peers))
        peers.append(Host([WINE, str(BIN_DIR / "browser-peers.exe"), "netscape"], desktop.env, log))
        return peers[-1]

    try:
        first, host = running(), start_host()
        host.send("on")  # cancel: the settings change, nothing is closed or started
        question = asked(screen, APPLY_QUESTION)
        assert_skinned(screen, question, "browser-exit")
        screen.click(*question.center(1007))
        assert (host.next_line(), navigator.added()) == ("on 1", APPLY_LINES)
        host.send("off")  # asked again, since it still runs; restart: closed, given back, started again
        question = asked(screen, RESTORE_QUESTION)
        assert (first.transcript, navigators()) == (["< ready"], 0)
        screen.click(*question.center(3000))
        assert (host.next_line(), first.next_line()) == ("off", "poke WWW_Exit")
        wait_until(lambda: navigators() == navigator.starts() == 1, "Navigator to start again")
        host.send("on")  # exit, with the box checked: closed, not started again, and the question off
        question = asked(screen, APPLY_QUESTION)
        screen.click(*question.center(1014))
        wait_until(lambda: desktop.read(host.key).get(b"WBAlert") == 0, "WBAlert 0")
        screen.click(*question.center(2000))
        assert host.next_line() == "on 1"
        wait_until(lambda: navigators() == 0, "Navigator to end")  # a copy started again would be running already
        # Unasked, turning off closes; turning on closes and starts again (once: nothing else started meanwhile).
        second = running()
        assert (host.command("off"), second.next_line(), navigators()) == ("off", "poke WWW_Exit", 0)
        third = running()
        assert (host.command("on"), third.next_line()) == ("on 1", "poke WWW_Exit")
        wait_until(lambda: navigators() == 1 and navigator.starts() == 2, "Navigator to start again, once")
        assert host.command("off") == "off"
        wait_until(lambda: navigators() == 0, "Navigator to end")
        assert navigator.added() == (APPLY_LINES + RESTORE_LINES) * 3
    finally:
        for peer in peers:
            peer.kill()


def test_the_dialogs_look_the_same_in_a_western_locale(start_host, origin, screen):
    # Their Korean texts are drawn and set through the wide functions, whatever the system's code page (here 1252).
    host = start_host(env={"LC_ALL": "en_US.UTF-8"})
    host.turn_on()
    host.set_values({"0.0.1": 1}, "\\Domain")
    assert fetch(get(origin.authority, b"/cgi/spell.cgi?cmd=EnableJ2KTrans")).startswith(b"HTTP/1.1 204")
    message = screen.find(SWITCH)
    assert_skinned(screen, message, "switch-message")
    screen.click(*message.center(1004))
    screen.gone(SWITCH)
    assert host.command("enable 0") == "enable"
    host.send("enable 1")
    notice = screen.find(NOTICE)
    assert notice.texts()[1002] == NOTICE_TEXT
    assert_skinned(screen, notice, "translation-notice")
    screen.click(*notice.center(1004))
    assert host.next_line() == "enable"


def test_an_agents_message_beside_a_question_of_the_host(proxy, origin, screen):
    proxy.set_values({"0.0.1": 1}, "\\Domain")
    switch = get(origin.authority, b"/cgi/spell.cgi?cmd=EnableJ2KTrans")
    assert fetch(switch) == b"HTTP/1.1 204 No Content\r\n"
    message = screen.find(SWITCH)
    assert_skinned(screen, message, "switch-message")
    assert proxy.command("enable 0") == "enable"  # the host's thread shows a dialog meanwhile, with its own state
    proxy.send("enable 1")
    notice = screen.find(NOTICE)
    screen.click(*message.center(1004))
    screen.gone(SWITCH)
    assert screen.find(NOTICE).box == notice.box
    screen.click(*notice.center(1004))
    assert proxy.next_line() == "enable"
    assert proxy.command("enable 0") == "enable"  # a message nobody closes does not keep the proxy from turning off
    assert fetch(switch) == b"HTTP/1.1 204 No Content\r\n"
    screen.find(SWITCH)
    assert proxy.command("off", timeout=60) == "off"
    screen.gone(SWITCH)
    assert proxy.command("on") == "on 1"
