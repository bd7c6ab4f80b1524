"""The three skinned dialogs as the user meets them under Wine: found on the screen,
photographed (the pictures land in build/screenshots/), checked where the skin fixes
colours and places, and answered with real mouse and keyboard input."""

import pytest

from desktop import APPLY_LINES, navigator_4, start_navigator
from harness import DEADLINE, REPO, fetch, get_request, settings_root, wait_until
from registry import read_values, write_values

NOTICE = "일한 번역 확인"
BROWSER_EXIT = "웹브라우저 종료 확인"
SWITCH = "Pellora - 일한 번역"
CHECK_TEXT = "다음부터 이 메세지 표시하지 않음"
SHOTS = REPO / "build" / "screenshots"
SCREEN_SIZE = (1024, 768)

BACKGROUND = (235, 235, 228)
TITLE_LEFT, BODY_LEFT = (143, 178, 254), (255, 255, 255)
TITLE_RIGHT, BODY_RIGHT = (0, 86, 135), (157, 157, 157)


def photograph(screen, dialog, name: str):
    SHOTS.mkdir(parents=True, exist_ok=True)
    return screen.capture(dialog.box, SHOTS / ("%s.png" % name))


def assert_skinned(screen, dialog, name: str) -> None:
    """Centred across, framed by the skin's edge lines, on its background colour."""
    # Fitting the message comes after the centring and takes a pixel off the width.
    assert dialog.box.x == (SCREEN_SIZE[0] - dialog.box.width - 1) // 2
    # The mouse over a plain part of the body: every button in its normal look.
    screen.move(dialog.box.x + 5, dialog.box.y + dialog.box.height // 2)
    picture = photograph(screen, dialog, name)
    # The window's one-pixel border surrounds the client area.
    width, height = dialog.box.width - 2, dialog.box.height - 2

    def client(x: int, y: int):
        return picture.pixel(x + 1, y + 1)

    assert [client(0, 8), client(0, 40), client(0, height - 4)] == [TITLE_LEFT, BODY_LEFT, TITLE_LEFT]
    assert [client(width - 1, 8), client(width - 1, 40), client(width - 1, height - 4)] == [
        TITLE_RIGHT,
        BODY_RIGHT,
        TITLE_RIGHT,
    ]
    assert client(4, height // 2) == BACKGROUND


def key_values(wine, tmp_path, key: str) -> dict:
    return read_values(wine, tmp_path, key) or {}


def test_translation_notice(host, screen, wine, tmp_path):
    key = settings_root(host)
    host.send("enable 1")
    notice = screen.find(NOTICE)
    assert notice.texts() == {1004: "확인", 1009: CHECK_TEXT, 1002: "", 1012: "일본 웹 여행 가이드", 1000: ""}
    assert_skinned(screen, notice, "translation-notice")
    # Enter and Escape do nothing.
    screen.key("Return")
    screen.key("Escape")
    assert screen.find(NOTICE).box == notice.box
    # The bitmap buttons light up under the mouse and sink when pressed.
    ok_button = notice.control(1004)
    spot = (ok_button.x + 20 - notice.box.x, ok_button.y + ok_button.height // 2 - notice.box.y)
    normal = photograph(screen, notice, "translation-notice").pixel(*spot)
    screen.move(ok_button.x + 20, ok_button.y + ok_button.height // 2)
    hover = photograph(screen, notice, "translation-notice-hover").pixel(*spot)
    assert hover != normal
    # Checked box and OK: the notice is not shown again.
    screen.click(*notice.control(1009).center)
    wait_until(lambda: screen.find(NOTICE).checked(1009), DEADLINE, "the box to be checked")
    screen.click(*ok_button.center)
    assert host.next_line(DEADLINE) == "enable"
    screen.gone(NOTICE)
    assert key_values(wine, tmp_path, key).get(b"J2KAlert") == 0
    assert host.command("enable 0") == "enable"
    assert host.command("enable 1") == "enable"


def test_notice_guide_close_box_and_dragging(proxy, screen, wine, tmp_path):
    # On: the host's window is known to the library, which tells it of the guide.
    host = proxy
    key = settings_root(host)
    host.send("enable 1")
    notice = screen.find(NOTICE)
    # The guide button tells the host (message 1182) and keeps the notice on.
    screen.click(*notice.control(1009).center)
    screen.click(*notice.control(1012).center)
    assert host.next_line(DEADLINE) == "enable"
    wait_until(lambda: "msg 1182 0 0" in host.messages, DEADLINE, "the guide message")
    assert b"J2KAlert" not in key_values(wine, tmp_path, key)

    assert host.command("enable 0") == "enable"
    host.send("enable 1")
    notice = screen.find(NOTICE)
    # The title bar drags the window.
    screen.move(notice.box.x + 60, notice.box.y + 8)
    screen.press()
    screen.move(notice.box.x + 100, notice.box.y + 38)
    screen.release()
    moved = screen.find(NOTICE).box
    # The grip is kept in client coordinates: the one-pixel border moves it once more.
    assert (moved.x, moved.y) == (notice.box.x + 41, notice.box.y + 31)
    # The close box gives the OK button's result without what OK does: the checked box
    # does not switch the notice off.
    screen.click(*screen.find(NOTICE).control(1009).center)
    screen.click(moved.x + 1 + moved.width - 2 - 11, moved.y + 1 + 9)
    assert host.next_line(DEADLINE) == "enable"
    screen.gone(NOTICE)
    assert b"J2KAlert" not in key_values(wine, tmp_path, key)


@pytest.mark.parametrize("answer", ["exit", "restart", "cancel"])
def test_browser_exit_question(start_host, desktop, screen, wine, tmp_path, answer):
    navigator_files = navigator_4(desktop, tmp_path)
    running = start_navigator(wine, tmp_path)
    host = start_host()
    key = settings_root(host)
    button = {"exit": 2000, "restart": 3000, "cancel": 1007}[answer]
    try:
        host.send("on")
        question = screen.find(BROWSER_EXIT)
        assert question.texts() == {2000: "종료", 3000: "재실행", 1002: "", 1007: "취소", 1014: CHECK_TEXT, 1000: ""}
        assert_skinned(screen, question, "browser-exit")
        if answer == "cancel":
            # Checking the box switches the question off, whatever ends it.
            screen.click(*question.control(1014).center)
            wait_until(lambda: key_values(wine, tmp_path, key).get(b"WBAlert") == 0, DEADLINE, "WBAlert 0")
        screen.click(*question.control(button).center)
        assert host.next_line(DEADLINE) == "on 1"
        assert navigator_files.added() == APPLY_LINES
        if answer == "cancel":
            # Nothing was ended; without the question, turning off ends it.
            assert running.alive()
            assert host.command("off") == "off"
            assert running.next_line(DEADLINE) == "poke WWW_Exit"
            return
        assert running.next_line(DEADLINE) == "poke WWW_Exit"
        if answer == "exit":
            assert navigator_files.starts() == 0
            assert host.command("off") == "off"
            return
        # Started again: turning off asks again, about giving the settings back.
        wait_until(lambda: navigator_files.starts() == 1, DEADLINE, "Navigator to start again")
        host.send("off")
        screen.click(*screen.find(BROWSER_EXIT).control(2000).center)
        assert host.next_line(DEADLINE) == "off"
        wait_until(lambda: b"exited" in navigator_files.log.read_bytes(), DEADLINE, "Navigator to end")
    finally:
        running.kill()


def test_an_agents_message_beside_a_question_of_the_host(proxy, origin, screen, wine, tmp_path):
    key = settings_root(proxy)
    write_values(wine, tmp_path, key + "\\Domain", {"0.0.1": 1})
    switch = get_request(origin.authority, b"/cgi/spell.cgi?cmd=EnableJ2KTrans")
    assert fetch(switch) == b"HTTP/1.1 204 No Content\r\n"
    message = screen.find(SWITCH)
    assert_skinned(screen, message, "switch-message")
    # The host's thread shows its own dialog meanwhile; each keeps its own state.
    assert proxy.command("enable 0") == "enable"
    proxy.send("enable 1")
    notice = screen.find(NOTICE)
    screen.click(*message.control(1004).center)
    screen.gone(SWITCH)
    assert screen.find(NOTICE).box == notice.box
    screen.click(*notice.control(1004).center)
    assert proxy.next_line(DEADLINE) == "enable"
    # A message nobody closes does not keep the proxy from turning off.
    assert proxy.command("enable 0") == "enable"
    assert fetch(switch) == b"HTTP/1.1 204 No Content\r\n"
    screen.find(SWITCH)
    assert proxy.command("off", timeout=60) == "off"
    screen.gone(SWITCH)
    proxy.command("on")
