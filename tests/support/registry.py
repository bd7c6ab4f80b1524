"""The Wine prefix the Windows build runs in: a persistent, warmed-up wineserver on the
run's display, registry values written and read with Wine's own reg, and the dialogs."""

import itertools
import os
import re
import subprocess
from collections import namedtuple
from pathlib import Path
from typing import NamedTuple

from harness import BIN_DIR, DEADLINE, REPO, WINE, wait_until

_ROOTS = {"HKCU": b"HKEY_CURRENT_USER", "HKLM": b"HKEY_LOCAL_MACHINE"}  # keys are named "HKCU\\..." or "HKLM\\..."
_QUERY_LINE = re.compile(rb"^    (.*?)    (REG_\w+)    ?(.*?)\r?$")
Binary = namedtuple("Binary", "data")  # a REG_BINARY value


def windows_path(path: Path) -> str:  # as Wine's programs see it, through drive Z:
    return "Z:" + str(path.resolve()).replace("/", "\\")


def _reg_text(text) -> bytes:
    raw = text if isinstance(text, bytes) else text.encode("cp949")  # ANSI text, code page 949, in a REGEDIT4 file
    return b'"' + raw.replace(b"\\", b"\\\\").replace(b'"', b'\\"') + b'"'


def _reg(wine, *argv: str):
    """Runs Wine's reg in the 32-bit view, the one both builds read HKLM\\Software in: (exit code,
    what it printed). A run that fails without an error of reg's own ("reg: ...") is Wine failing
    to start it, which happens now and then: it is tried again, since taking it for reg's answer
    would make a key that exists look missing."""
    out = wine.folder / ("reg%d.out" % next(wine.files))
    for _ in range(3):
        with open(out, "wb") as sink:  # output to a file, not a pipe: no Wine helper can hold it open
            code = subprocess.run(["wine", "reg", *argv, "/reg:32"], env=wine.env, cwd=REPO, stdin=subprocess.DEVNULL, stdout=sink,
                                  stderr=subprocess.STDOUT, timeout=DEADLINE * 2).returncode
        said = out.read_bytes()
        if code == 0 or said.startswith(b"reg: "):
            return code, said
    raise AssertionError("wine reg %s failed 3 times (%d): %r" % (" ".join(argv), code, said))


Box = namedtuple("Box", "x y width height")


class Dialog(NamedTuple):
    caption: str
    box: Box
    controls: dict  # id: (checked, box, text)

    def texts(self) -> dict:
        return {number: text for number, (_, _, text) in self.controls.items()}

    def center(self, control: int):
        x, y, width, height = self.controls[control][1]
        return x + width // 2, y + height // 2


class Wine:
    def __init__(self, prefix: Path, display: str, folder: Path) -> None:
        self.prefix, self.folder, self.files = prefix, folder, itertools.count(1)
        self.env = {name: value for name, value in os.environ.items() if name != "WAYLAND_DISPLAY"}
        # Wine takes the ANSI code page from the locale: ko_KR gives 949.
        self.env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree=", LC_ALL="ko_KR.UTF-8")
        self.env["DISPLAY"] = display

    def run(self, *argv: str, timeout: float = 120) -> int:
        """Runs a command with no pipe of ours attached, which Wine's helpers would hold open."""
        null = subprocess.DEVNULL
        run = subprocess.run(argv, env=self.env, cwd=REPO, stdin=null, stdout=null, stderr=null, timeout=timeout)
        return run.returncode

    def up(self) -> None:  # scripts/wine-env.sh's: a new server, on our display
        assert self.shell("wine_up") == 0, "Wine does not start in %s" % self.prefix
        self.delete("HKCU\\Software\\RelviaE2E")  # the prefix outlives a run; the tests' keys start empty

    def shell(self, function: str) -> int:
        return self.run("bash", "-c", '. scripts/wine-env.sh && WINEPREFIX="$0" && ' + function, str(self.prefix))

    def write(self, key: str, values: dict) -> None:
        """Sets values under `key`: a text is REG_SZ, a number REG_DWORD, Binary REG_BINARY,
        None deletes the value, "@" is the key's default value. Names may be Korean."""
        root, _, path = key.partition("\\")
        lines = [b"REGEDIT4", b"", b"[%s\\%s]" % (_ROOTS[root], path.encode("cp949"))]
        for name, value in values.items():
            if value is None:
                data = b"-"
            elif isinstance(value, int):
                data = b"dword:%08x" % (value & 0xFFFFFFFF)
            elif isinstance(value, Binary):
                data = b"hex:" + b",".join(b"%02x" % byte for byte in value.data)
            else:
                data = _reg_text(value)
            lines.append((b"@" if name == "@" else _reg_text(name)) + b"=" + data)
        file = self.folder / ("values%d.reg" % next(self.files))
        file.write_bytes(b"\r\n".join(lines) + b"\r\n")
        code, said = _reg(self, "import", windows_path(file))
        assert code == 0, "reg import of %s failed (%d): %r" % (file, code, said)

    def read(self, key: str) -> dict:
        """The values right under `key` (REG_DWORD as numbers, REG_BINARY as Binary); {} without the key."""
        code, out = _reg(self, "query", key)
        values = {}
        for match in map(_QUERY_LINE.match, out.split(b"\n") if code == 0 else []):
            if match:
                name, kind, data = match.groups()
                values[name] = int(data, 16) if kind == b"REG_DWORD" else data
                if kind == b"REG_BINARY":
                    values[name] = Binary(bytes.fromhex(data.decode()))
        return values

    def delete(self, key: str) -> None:  # with everything under it, if it is there
        _reg(self, "delete", key, "/f")

    # The dialogs on the display: found with dialog-probe.exe, answered with real X input.

    def output(self, *argv: str) -> bytes:  # of a program on the display (xdotool, say)
        return subprocess.run(argv, env=self.env, cwd=REPO, input=b"", capture_output=True, timeout=DEADLINE).stdout

    def dialogs(self):
        def text(word: str) -> str:
            return "" if word == "-" else bytes.fromhex(word).decode("cp949")

        found, probe = [], self.output(WINE, str(BIN_DIR / "dialog-probe.exe")).decode(errors="replace")
        for words in map(str.split, probe.splitlines()):
            if words and words[0] == "dialog":
                found.append(Dialog(text(words[2]), Box(*map(int, words[3:7])), {}))
            elif words and words[0] == "control" and found:
                found[-1].controls[int(words[1])] = (words[4] == "1", Box(*map(int, words[5:9])), text(words[9]))
        return found

    def find(self, caption: str) -> Dialog:
        return wait_until(lambda: [d for d in self.dialogs() if d.caption == caption], caption, interval=0.2)[0]

    def gone(self, caption: str) -> None:
        wait_until(lambda: caption not in [d.caption for d in self.dialogs()], caption + " to close", interval=0.2)

    def click(self, x: int, y: int) -> None:
        self.move(x, y)  # a step inside first: a bitmap button lights up on a move over it
        self.move(x + 1, y)
        self.output("xdotool", "mousedown", "1")
        self.output("xdotool", "mouseup", "1")

    def move(self, x: int, y: int) -> None:
        self.output("xdotool", "mousemove", "--sync", str(x), str(y))

    def pixels(self, box: Box, name: str) -> bytes:
        """The box's pixels, RGB row by row; the picture is kept in build/screenshots."""
        path = REPO / "build" / "screenshots" / (name + ".png")
        path.parent.mkdir(parents=True, exist_ok=True)
        self.output("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (box[2:] + box[:2]), "+repage", str(path))
        return self.output("convert", str(path), "-depth", "8", "rgb:-")
