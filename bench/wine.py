"""Relvia's Windows build under Wine: relvia-host.exe --console loads Relvia.dll
and is driven line by line; "on" makes the proxy listen on 127.0.0.1:8080.

The run brings up an X display when there is none (Xvfb), a wineserver of its
own (`wineserver -p`, stopped with `wineserver -k` at the end) and the host,
whose standard input stays open for the whole run."""

import os
import select
import signal
import subprocess
import time
from pathlib import Path
from typing import List, Optional

from procs import BenchError, Processes, listening, describe_port, log, tail, wait_listening
from servers import Target, built_at

WINE_PORT = 8080  # fixed in the library's settings
STEP_S = 30


def _wine_processes(prefix: Path) -> List[int]:
    """Live Wine processes (wineserver included) that run in `prefix`."""
    wanted = ("WINEPREFIX=%s" % prefix).encode()
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            if not os.readlink("/proc/%s/exe" % name).startswith("/usr/lib/wine/"):
                continue
            state = Path("/proc/%s/stat" % name).read_text().rsplit(")", 1)[1].split()[0]
            environ = Path("/proc/%s/environ" % name).read_bytes().split(b"\0")
        except OSError:
            continue
        if state != "Z" and wanted in environ:
            found.append(int(name))
    return found


def _wineserver_pid(prefix: Path) -> Optional[int]:
    for pid in _wine_processes(prefix):
        try:
            if os.path.basename(os.readlink("/proc/%d/exe" % pid)).startswith("wineserver"):
                return pid
        except OSError:
            continue
    return None


def start_xvfb(procs: Processes) -> str:
    """Starts Xvfb on the first free display and returns that display (":N")."""
    read_end, write_end = os.pipe()
    argv = ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"]
    procs.start("xvfb", argv, pass_fds=(write_end,))
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + STEP_S
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        if not select.select([read_end], [], [], 1)[0]:
            continue
        part = os.read(read_end, 16)
        if not part:
            break
        number += part
    os.close(read_end)
    if not number.strip().isdigit():
        raise BenchError("Xvfb reported no display")
    return ":" + number.strip().decode()


class Host:
    """relvia-host.exe --console: a command line in, a result line out."""

    def __init__(self, argv: List[str], env: dict, cwd: Path, log_path: Path) -> None:
        self.log_path = log_path
        with open(log_path, "ab") as err:
            self.proc = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=err)
        self._buffer = b""

    def line(self, timeout: float = STEP_S) -> str:
        """The next result line; asynchronous "msg ..." lines are skipped."""
        deadline = time.monotonic() + timeout
        while True:
            end = self._buffer.find(b"\n")
            if end >= 0:
                raw, self._buffer = self._buffer[:end], self._buffer[end + 1 :]
                text = raw.decode("utf-8", "replace").rstrip("\r")
                if not text.startswith("msg "):
                    return text
                continue
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.proc.stdout], [], [], left)[0]:
                raise BenchError("no line from relvia-host.exe within %.0f s; its stderr:\n%s" % (timeout, tail(self.log_path)))
            part = os.read(self.proc.stdout.fileno(), 4096)
            if not part:
                raise BenchError("relvia-host.exe closed its output (exit code %s); its stderr:\n%s" % (self.proc.poll(), tail(self.log_path)))
            self._buffer += part

    def command(self, text: str, expected: str, timeout: float = STEP_S) -> None:
        self.proc.stdin.write(text.encode() + b"\n")
        self.proc.stdin.flush()
        reply = self.line(timeout)
        if reply != expected:
            raise BenchError("relvia-host.exe answered %r to %r (expected %r)" % (reply, text, expected))


class WineRelvia:
    """The Windows build as a benchmark target; stop() undoes all of start()."""

    def __init__(self, procs: Processes, repo: Path, prefix: Path, pin: List[str]) -> None:
        self.procs = procs
        self.repo = repo
        self.prefix = prefix
        self.pin = pin
        self.exe = repo / "build" / "win64" / "bin" / "relvia-host.exe"
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree=", LC_ALL="ko_KR.UTF-8")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.host: Optional[Host] = None
        self.server_pid: Optional[int] = None  # the wineserver this run started

    def preflight(self) -> None:
        """What can be checked before anything is started."""
        for path in (self.exe, self.exe.parent / "Relvia.dll"):
            if not path.exists():
                raise BenchError("%s is missing: build the Windows tree (scripts/build.sh) or use --no-wine" % path)
        if listening(WINE_PORT):
            raise BenchError("the Windows build listens on the fixed port %d, but %s; free it or use --no-wine" % (WINE_PORT, describe_port(WINE_PORT)))
        busy = _wine_processes(self.prefix)
        if busy:
            raise BenchError("Wine processes already run in %s (pids %s); wait for them, use --wine-prefix DIR or --no-wine" % (self.prefix, busy))

    def _run(self, *argv: str, timeout: float = 120) -> int:
        """A Wine command with none of our pipes attached (Wine's service processes would keep them open)."""
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return subprocess.run(self.pin + list(argv), env=self.env, cwd=self.repo, timeout=timeout, **quiet).returncode

    def start(self) -> Target:
        self.preflight()
        if not os.environ.get("DISPLAY"):
            self.env["DISPLAY"] = start_xvfb(self.procs)
        if not (self.prefix / "system.reg").exists():
            log("creating the Wine prefix %s (wineboot, takes a minute or two)" % self.prefix)
            self.prefix.mkdir(parents=True, exist_ok=True)
            self._run("wineboot", "-i", timeout=600)
            self._run("wineserver", "-w")
        if self._run("wineserver", "-p") != 0:
            others = _wine_processes(self.prefix)
            raise BenchError("wineserver -p failed%s" % (" (Wine processes started meanwhile in %s: %s)" % (self.prefix, others) if others else ""))
        self.server_pid = _wineserver_pid(self.prefix)
        if self._run("wine", "cmd", "/c", "exit") != 0:
            raise BenchError("Wine does not start in %s" % self.prefix)
        self._desktop()
        log_path = self.procs.log_dir / "relvia-wine.log"
        self.host = Host(self.pin + ["wine", str(self.exe), "--console"], self.env, self.repo, log_path)
        if self.host.line(120) != "ready":
            raise BenchError("relvia-host.exe did not say ready")
        self.host.command("on", "on 1")
        wait_listening(WINE_PORT, self.host.proc, "relvia-host.exe")
        pids = {"proxy": self.host.proc.pid}
        if self.server_pid:
            pids["wineserver"] = self.server_pid
        log("started relvia-wine (host pid %d, wineserver pid %s) on 127.0.0.1:%d" % (self.host.proc.pid, self.server_pid, WINE_PORT))
        return Target("relvia-wine", "127.0.0.1:%d" % WINE_PORT, pids, "Windows build under Wine 64-bit (Relvia.dll of %s), the process running relvia-host.exe; wineserver reported apart" % built_at(self.exe.parent / "Relvia.dll"))

    def _desktop(self) -> None:
        """Makes the prefix look like a desktop with a browser, as the project's
        Wine scripts do: turning on needs a browser to point at the proxy."""
        desktop = self.repo / "scripts" / "wine-desktop.reg"
        if not desktop.exists():
            return
        if self._run("wine", "reg", "import", "Z:" + str(desktop).replace("/", "\\")) != 0:
            raise BenchError("wine reg import %s failed" % desktop)

    def stop(self) -> None:
        if self.host and self.host.proc.poll() is None:
            try:
                self.host.command("off", "off")
                self.host.command("quit", "bye")
                self.host.proc.wait(STEP_S)
            except (BenchError, OSError, subprocess.TimeoutExpired) as error:
                log("warning: relvia-host.exe did not quit cleanly (%s); killing pid %d" % (str(error).splitlines()[0], self.host.proc.pid))
                self.host.proc.kill()
                self.host.proc.wait(STEP_S)
        if self.host and self.host.proc.returncode not in (0, None):
            log("warning: relvia-host.exe ended with code %s" % self.host.proc.returncode)
        if self.server_pid is None:
            return
        # Someone else may have ended our wineserver and started theirs since.
        running = _wineserver_pid(self.prefix)
        self.server_pid, ours = None, running == self.server_pid
        if not ours:
            log("warning: the wineserver started for this run is gone (now running: %s); not stopping anything in %s" % (running, self.prefix))
            return
        self._run("wineserver", "-k")
        self._run("wineserver", "-w")
        self._kill_leftovers()

    def _kill_leftovers(self) -> None:
        """The prefix held no Wine process before start() and its wineserver was
        still ours at the end: whatever remains is ours."""
        deadline = time.monotonic() + 10
        while _wine_processes(self.prefix) and time.monotonic() < deadline:
            time.sleep(0.2)
        for pid in _wine_processes(self.prefix):
            log("warning: Wine process %d outlived wineserver -k; killing it" % pid)
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
