"""Registry values for the end-to-end tests, written and read with Wine's own `reg`
tool in the test run's prefix."""

import itertools
import re
import subprocess
from pathlib import Path
from typing import Dict, Optional, Union

from harness import DEADLINE, REPO, windows_path

_files = itertools.count(1)


def _reg_text(text: Union[str, bytes]) -> bytes:
    # Names and strings are ANSI text (code page 949) in a REGEDIT4 file.
    raw = text if isinstance(text, bytes) else text.encode("cp949")
    return b'"' + raw.replace(b"\\", b"\\\\").replace(b'"', b'\\"') + b'"'


def write_values(wine, folder: Path, key: str, values: Dict[Union[str, bytes], Union[str, bytes, int, None]]) -> None:
    """Sets values under HKCU\\<key>: a text is REG_SZ, a number REG_DWORD, None
    deletes the value. Goes through a .reg file, so names may be Korean."""
    lines = [b"REGEDIT4", b"", b"[HKEY_CURRENT_USER\\" + key.encode() + b"]"]
    for name, value in values.items():
        if value is None:
            data = b"-"
        elif isinstance(value, int):
            data = b"dword:%08x" % (value & 0xFFFFFFFF)
        else:
            data = _reg_text(value)
        lines.append(_reg_text(name) + b"=" + data)
    path = folder / ("values%d.reg" % next(_files))
    path.write_bytes(b"\r\n".join(lines) + b"\r\n")
    assert wine.run("wine", "reg", "import", windows_path(path), timeout=DEADLINE * 2) == 0, "reg import of %s failed" % path


_QUERY_LINE = re.compile(rb"^    (.*?)    (REG_\w+)    ?(.*?)\r?$")


def read_values(wine, folder: Path, key: str) -> Optional[Dict[bytes, Union[bytes, int]]]:
    """The values directly under HKCU\\<key> (REG_DWORD as numbers), or None when the
    key does not exist."""
    out = folder / ("query%d.txt" % next(_files))
    # Output to a file, not a pipe: no Wine helper can hold it open.
    with open(out, "wb") as sink:
        argv = ["wine", "reg", "query", "HKCU\\" + key]
        quiet = dict(stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        code = subprocess.run(argv, env=wine.env, cwd=REPO, stdout=sink, timeout=DEADLINE * 2, **quiet).returncode
    if code != 0:
        return None
    values = {}
    for line in out.read_bytes().split(b"\n"):
        match = _QUERY_LINE.match(line)
        if match:
            name, kind, data = match.groups()
            values[name] = int(data, 16) if kind == b"REG_DWORD" else data
    return values
