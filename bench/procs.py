"""The processes the benchmark starts, and what /proc tells about them."""

import os
import signal
import subprocess
import sys
import time
from pathlib import Path
from typing import Dict, List, Optional

CLK_TCK = os.sysconf("SC_CLK_TCK")
START_TIME = time.monotonic()


def log(text: str) -> None:
    """Progress goes to stderr; the report alone goes to stdout."""
    print("[%4.0fs] %s" % (time.monotonic() - START_TIME, text), file=sys.stderr, flush=True)


class BenchError(Exception):
    """A failure that ends the benchmark (after everything it started is stopped)."""


# ---- listening sockets --------------------------------------------------------


def _listen_inodes(port: int) -> List[str]:
    """Socket inodes of TCP sockets in LISTEN state on `port` (any address)."""
    inodes = []
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            lines = Path(table).read_text().splitlines()[1:]
        except OSError:
            continue
        for line in lines:
            fields = line.split()
            local, state, inode = fields[1], fields[3], fields[9]
            if state == "0A" and int(local.rsplit(":", 1)[1], 16) == port:
                inodes.append(inode)
    return inodes


def listening(port: int) -> bool:
    return bool(_listen_inodes(port))


def listener_pid(port: int) -> Optional[int]:
    """The process holding the listening socket on `port`, when it is visible."""
    wanted = {"socket:[%s]" % inode for inode in _listen_inodes(port)}
    for pid in _pids():
        try:
            fds = os.listdir("/proc/%d/fd" % pid)
        except OSError:
            continue
        for fd in fds:
            try:
                if os.readlink("/proc/%d/fd/%s" % (pid, fd)) in wanted:
                    return pid
            except OSError:
                continue
    return None


def describe_port(port: int) -> str:
    pid = listener_pid(port)
    return "port %d is in use (pid %s)" % (port, pid if pid else "not visible")


def listen_backlog(port: int) -> str:
    """The accept-queue limit of the socket listening on `port` (ss's Send-Q)."""
    run = subprocess.run(["ss", "-ltnH", "sport = :%d" % port], capture_output=True, text=True)
    fields = run.stdout.split()
    return fields[2] if len(fields) >= 3 else "?"


def wait_listening(port: int, proc: subprocess.Popen, what: str, timeout: float = 15) -> None:
    deadline = time.monotonic() + timeout
    while not listening(port):
        if proc.poll() is not None:
            raise BenchError("%s exited during start-up (code %s)" % (what, proc.returncode))
        if time.monotonic() > deadline:
            raise BenchError("%s did not listen on port %d within %.0f s" % (what, port, timeout))
        time.sleep(0.05)


# ---- CPU time and peak RSS ------------------------------------------------------


def _pids() -> List[int]:
    return [int(name) for name in os.listdir("/proc") if name.isdigit()]


def _stat_fields(pid: int) -> List[str]:
    """Fields of /proc/PID/stat after the command name (field 3 onwards)."""
    with open("/proc/%d/stat" % pid) as f:
        return f.read().rsplit(")", 1)[1].split()


def alive(pid: int) -> bool:
    """Running, not a zombie."""
    try:
        return _stat_fields(pid)[0] != "Z"
    except OSError:
        return False


def process_tree(pid: int) -> List[int]:
    """`pid` and its live descendants."""
    children: Dict[int, List[int]] = {}
    for p in _pids():
        try:
            children.setdefault(int(_stat_fields(p)[1]), []).append(p)
        except (OSError, IndexError, ValueError):
            continue
    tree, todo = [], [pid]
    while todo:
        p = todo.pop()
        if os.path.isdir("/proc/%d" % p):
            tree.append(p)
            todo.extend(children.get(p, []))
    return tree


def cpu_ms(pid: int) -> float:
    """User plus system CPU time of the process tree, every thread, in ms."""
    ticks = 0
    for p in process_tree(pid):
        try:
            fields = _stat_fields(p)
        except OSError:
            continue
        ticks += int(fields[11]) + int(fields[12])  # utime, stime
    return ticks * 1000.0 / CLK_TCK


def _hwm_kib(pid: int) -> int:
    try:
        for line in Path("/proc/%d/status" % pid).read_text().splitlines():
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    except OSError:
        pass
    return 0


def peak_rss_kib(pid: int) -> int:
    """Peak resident set (VmHWM) summed over the process tree."""
    return sum(_hwm_kib(p) for p in process_tree(pid))


def reset_peak_rss(pid: int) -> None:
    """Lowers VmHWM to the current RSS (clear_refs 5) in the whole tree."""
    for p in process_tree(pid):
        try:
            with open("/proc/%d/clear_refs" % p, "w") as f:
                f.write("5")
        except OSError:
            pass


class Meter:
    """CPU time and peak RSS of a target's processes, run by run.

    `pids` maps a label to a process: "proxy" is the target itself; a target
    may have more (the Windows build's wineserver), which are reported
    separately.  Each run's peak RSS is the peak during that run (VmHWM is
    reset before it); `overall_kib` keeps the peak over the whole benchmark."""

    def __init__(self, pids: Dict[str, int]) -> None:
        self.pids = pids
        self.overall_kib = {label: 0 for label in pids}
        self._cpu0: Dict[str, float] = {}

    def _fold_peak(self) -> None:
        for label, pid in self.pids.items():
            self.overall_kib[label] = max(self.overall_kib[label], peak_rss_kib(pid))

    def start(self) -> None:
        self._fold_peak()
        for label, pid in self.pids.items():
            reset_peak_rss(pid)
            self._cpu0[label] = cpu_ms(pid)

    def stop(self) -> Dict[str, Dict[str, float]]:
        """{label: {"cpu_ms": ..., "rss_kib": ...}} for the run since start()."""
        out = {}
        for label, pid in self.pids.items():
            out[label] = {"cpu_ms": cpu_ms(pid) - self._cpu0[label], "rss_kib": peak_rss_kib(pid)}
        self._fold_peak()
        return out

    def overall(self) -> Dict[str, int]:
        self._fold_peak()
        return dict(self.overall_kib)


# ---- starting and stopping ------------------------------------------------------


def stop_process(proc: subprocess.Popen, grace: float = 5) -> Optional[int]:
    """SIGTERM, then SIGKILL after `grace` seconds; returns the exit code."""
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            log("warning: pid %d did not end on SIGTERM within %.0f s; killing it" % (proc.pid, grace))
            proc.kill()
            proc.wait(grace)
    return proc.returncode


class Processes:
    """Every server the benchmark starts, each with a log file in `log_dir`,
    pinned as asked, and stopped by its PID (last started, first stopped)."""

    def __init__(self, log_dir: Path, pin: List[str]) -> None:
        self.log_dir = log_dir
        self.pin = pin
        self.started: List[tuple] = []  # (name, Popen)

    def start(self, name: str, argv: List[str], port: Optional[int] = None, **popen) -> subprocess.Popen:
        log_path = self.log_dir / (name + ".log")
        popen.setdefault("stdin", subprocess.DEVNULL)
        with open(log_path, "ab") as out:
            popen.setdefault("stdout", out)
            popen.setdefault("stderr", out)
            proc = subprocess.Popen(self.pin + argv, **popen)
        self.started.append((name, proc))
        if port is not None:
            try:
                wait_listening(port, proc, name)
            except BenchError as error:
                raise BenchError("%s; end of %s:\n%s" % (error, log_path, tail(log_path))) from None
            log("started %s (pid %d) on 127.0.0.1:%d" % (name, proc.pid, port))
        return proc

    def stop_all(self) -> None:
        while self.started:
            name, proc = self.started.pop()
            code = stop_process(proc)
            # Some daemons exit with the signal's number or 128 + it.
            if code not in (0, None, -signal.SIGTERM, signal.SIGTERM, 128 + signal.SIGTERM):
                log("note: %s (pid %d) exited with code %s" % (name, proc.pid, code))


def tail(path: Path, lines: int = 15) -> str:
    try:
        return "\n".join(path.read_text(errors="replace").splitlines()[-lines:])
    except OSError:
        return "(no log)"
