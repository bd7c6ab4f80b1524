"""The dialogs as the user meets them: found with dialog-probe.exe (which reports every
dialog and its controls in screen coordinates), clicked and typed at with real X input
through xdotool, and photographed with ImageMagick's import, all on the test run's
Xvfb display."""

import subprocess
from dataclasses import dataclass, field
from pathlib import Path
from typing import Dict, List, Optional, Tuple

from harness import BIN_DIR, DEADLINE, REPO, wait_until


@dataclass
class Box:
    x: int
    y: int
    width: int
    height: int

    @property
    def center(self) -> Tuple[int, int]:
        return self.x + self.width // 2, self.y + self.height // 2


@dataclass
class Dialog:
    handle: str
    caption: str
    box: Box
    # id: (class, visible, checked, box, text)
    controls: Dict[int, Tuple[str, bool, bool, Box, str]] = field(default_factory=dict)

    def control(self, number: int) -> Box:
        return self.controls[number][3]

    def checked(self, number: int) -> bool:
        return self.controls[number][2]

    def texts(self) -> Dict[int, str]:
        return {number: control[4] for number, control in self.controls.items()}


class Screen:
    def __init__(self, wine) -> None:
        self.wine = wine

    def _run(self, argv: List[str]) -> str:
        done = subprocess.run(
            argv, env=self.wine.env, cwd=REPO, stdin=subprocess.DEVNULL, capture_output=True, timeout=DEADLINE
        )
        return done.stdout.decode("utf-8", "replace")

    def dialogs(self) -> List[Dialog]:
        found = []
        for line in self._run(["wine", str(BIN_DIR / "dialog-probe.exe")]).splitlines():
            words = line.split()
            if words and words[0] == "dialog":
                caption = "" if words[2] == "-" else bytes.fromhex(words[2]).decode("cp949")
                found.append(Dialog(words[1], caption, Box(*map(int, words[3:7]))))
            elif words and words[0] == "control" and found:
                number, kind, visible, checked = int(words[1]), words[2], words[3] == "1", words[4] == "1"
                text = "" if words[9] == "-" else bytes.fromhex(words[9]).decode("cp949")
                found[-1].controls[number] = (kind, visible, checked, Box(*map(int, words[5:9])), text)
        return found

    def find(self, caption: str, timeout: float = DEADLINE) -> Dialog:
        def look() -> Optional[Dialog]:
            return next((d for d in self.dialogs() if d.caption == caption), None)

        return wait_until(look, timeout, "the dialog %r" % caption, 0.2)

    def gone(self, caption: str, timeout: float = DEADLINE) -> None:
        wait_until(lambda: all(d.caption != caption for d in self.dialogs()), timeout, "%r to close" % caption, 0.2)

    def move(self, x: int, y: int) -> None:
        self._run(["xdotool", "mousemove", "--sync", str(x), str(y)])

    def press(self) -> None:
        self._run(["xdotool", "mousedown", "1"])

    def release(self) -> None:
        self._run(["xdotool", "mouseup", "1"])

    def click(self, x: int, y: int) -> None:
        self.move(x, y)
        # A step inside first: the button lights up on a move over it.
        self.move(x + 1, y)
        self.press()
        self.release()

    def key(self, name: str) -> None:
        self._run(["xdotool", "key", name])

    def capture(self, box: Box, path: Path) -> "Picture":
        """A photograph of the box: kept as PNG at `path`, pixels read back."""
        crop = "%dx%d+%d+%d" % (box.width, box.height, box.x, box.y)
        self._run(["import", "-window", "root", "-crop", crop, "+repage", str(path)])
        raw = subprocess.run(
            ["convert", str(path), "-depth", "8", "rgb:-"], capture_output=True, timeout=DEADLINE
        ).stdout
        return Picture(box.width, box.height, raw)


@dataclass
class Picture:
    width: int
    height: int
    raw: bytes

    def pixel(self, x: int, y: int) -> Tuple[int, int, int]:
        at = 3 * (y * self.width + x)
        return tuple(self.raw[at : at + 3])
