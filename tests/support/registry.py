"""Registry values for the end-to-end tests, written and read with Wine's own `reg`
tool in the test run's prefix."""

import itertools
import re
import subprocess
from pathlib import Path
from dataclasses import dataclass
from typing import Dict, Optional, Union

from harness import DEADLINE, REPO, windows_path

_files = itertools.count(1)

# Keys are named from their root: "HKCU\\..." or "HKLM\\..."; a name without one is
# under HKCU.
_ROOTS = {"HKCU": b"HKEY_CURRENT_USER", "HKLM": b"HKEY_LOCAL_MACHINE"}


@dataclass(frozen=True)
class Binary:
    """A REG_BINARY value."""

    data: bytes


def _split_root(key: str):
    root, _, rest = key.partition("\\")
    if root in _ROOTS:
        return root, rest
    return "HKCU", key


def _reg_text(text: Union[str, bytes]) -> bytes:
    # Names and strings are ANSI text (code page 949) in a REGEDIT4 file.
    raw = text if isinstance(text, bytes) else text.encode("cp949")
    return b'"' + raw.replace(b"\\", b"\\\\").replace(b'"', b'\\"') + b'"'


def write_values(wine, folder: Path, key: str, values: Dict[Union[str, bytes], Union[str, bytes, int, Binary, None]]) -> None:
    """Sets values under `key`: a text is REG_SZ, a number REG_DWORD, Binary
    REG_BINARY, None deletes the value; the name "@" is the key's default value. Goes
    through a .reg file, so names may be Korean."""
    root, path = _split_root(key)
    lines = [b"REGEDIT4", b"", b"[" + _ROOTS[root] + b"\\" + path.encode("cp949") + b"]"]
    for name, value in values.items():
        if value is None:
            data = b"-"
        elif isinstance(value, int):
            data = b"dword:%08x" % (value & 0xFFFFFFFF)
        elif isinstance(value, Binary):
            data = b"hex:" + b",".join(b"%02x" % byte for byte in value.data)
        else:
            data = _reg_text(value)
        if name == "@":
            lines.append(b"@=" + data)
            continue
        lines.append(_reg_text(name) + b"=" + data)
    path = folder / ("values%d.reg" % next(_files))
    path.write_bytes(b"\r\n".join(lines) + b"\r\n")
    code, said = _reg(wine, folder, "import", windows_path(path))
    assert code == 0, "reg import of %s failed (%d): %r" % (path, code, said)


def _reg(wine, folder: Path, *argv: str):
    """Runs Wine's `reg` and returns its exit code and what it printed. A run that
    fails without printing an error of reg's own ("reg: ...") is Wine failing to start
    it, which happens now and then: that is tried again, since taking it for reg's
    answer would make a key that exists look missing."""
    out = folder / ("reg%d.out" % next(_files))
    err = out.with_suffix(".err")
    for _ in range(3):
        # Output to files, not pipes: no Wine helper can hold them open.
        with open(out, "wb") as sink, open(err, "wb") as errors:
            code = subprocess.run(
                ["wine", "reg", *argv], env=wine.env, cwd=REPO, stdin=subprocess.DEVNULL,
                stdout=sink, stderr=errors, timeout=DEADLINE * 2,
            ).returncode
        said = out.read_bytes() + err.read_bytes()
        if code == 0 or said.startswith(b"reg: "):
            return code, said
    raise AssertionError("wine reg %s failed 3 times (%d): %r" % (" ".join(argv), code, said))


_QUERY_LINE = re.compile(rb"^    (.*?)    (REG_\w+)    ?(.*?)\r?$")


def delete_key(wine, key: str) -> None:
    """Removes `key` with everything under it (nothing when it does not exist)."""
    root, path = _split_root(key)
    wine.run("wine", "reg", "delete", root + "\\" + path, "/f", timeout=DEADLINE * 2)


def read_values(wine, folder: Path, key: str) -> Optional[Dict[bytes, Union[bytes, int, Binary]]]:
    """The values directly under `key` (REG_DWORD as numbers, REG_BINARY as Binary), or
    None when the key does not exist."""
    root, path = _split_root(key)
    code, out = _reg(wine, folder, "query", root + "\\" + path)
    if code != 0:
        return None
    values = {}
    for line in out.split(b"\n"):
        match = _QUERY_LINE.match(line)
        if match:
            name, kind, data = match.groups()
            if kind == b"REG_DWORD":
                values[name] = int(data, 16)
            elif kind == b"REG_BINARY":
                values[name] = Binary(bytes.fromhex(data.decode()))
            else:
                values[name] = data
    return values
