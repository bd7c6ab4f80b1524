#!/usr/bin/python3 -B
"""Relvia's benchmark: the proxy beside its peers on this machine, all on 127.0.0.1.

Starts an origin (nginx, files 1k.bin and 10m.bin of random bytes), the peers
tinyproxy, privoxy and squid (no cache), Relvia native (relvia-proxy --serve)
and, unless --no-wine, Relvia's Windows build under Wine (relvia-host.exe
--console, which listens on the fixed port 8080).  Each target is first checked
to relay each file intact, with one origin request per proxied request.  Then,
REPS times, with the order of the targets rotated each time, every target gets:

  ab -X, 1 KiB file, c=1 and c=C_HI   requests/s, mean and p99 latency
  wrk, 1 KiB file, WRK_C connections  absolute URL, "Connection: close"
  curl --http1.0, 10 MiB file, K times  MB/s

with the proxy's CPU time (utime+stime of the whole process) and peak RSS
(VmHWM, reset before each run) around each run.  The report on stdout gives the
medians, their spread, the ratios to the direct path and to each peer, and the
goals of the native build with the measured ratio, met or not.  Progress goes
to stderr.  Everything started is stopped by its PID at the end."""

import argparse
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from typing import Dict, List, Optional

import loads
import report
from loads import LoadError
from procs import START_TIME, BenchError, Meter, Processes, alive, describe_port, listen_backlog, listening, log, tail
from servers import FILES, PEERS, Origin, Target, start_relvia_native, write_files
from wine import WineRelvia

REPO = Path(__file__).resolve().parent.parent
BIG = "10m.bin"
SMALL = "1k.bin"

# --quick: a smoke run of a minute or two.
# ab's 99th percentile needs more than 50 requests; the share never gives fewer than this.
AB_MIN = 100

QUICK = dict(reps=1, n1=300, n_hi=1000, k=2, wrk_d=2, warm_n=50)


def parse_args(argv: List[str]) -> argparse.Namespace:
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--quick", action="store_true", help="smoke run: %s" % " ".join("%s=%s" % kv for kv in QUICK.items()))
    p.add_argument("--reps", type=int, default=5, help="interleaved repetitions; medians are over these (%(default)s)")
    p.add_argument("--n1", type=int, default=4000, help="ab requests at c=1 (%(default)s)")
    p.add_argument("--c-hi", type=int, default=32, help="the higher ab concurrency (%(default)s)")
    p.add_argument("--n-hi", type=int, default=8000, help="ab requests at the higher concurrency (%(default)s)")
    p.add_argument("--wrk-c", type=int, default=256, help="wrk connections (%(default)s)")
    p.add_argument("--wrk-d", type=int, default=6, help="wrk seconds per run (%(default)s)")
    p.add_argument("--wrk-t", type=int, default=1, help="wrk threads (%(default)s)")
    p.add_argument("--k", type=int, default=15, help="10 MiB fetches per transfer run (%(default)s)")
    p.add_argument("--warm-n", type=int, default=300, help="ab warm-up requests per target, not measured (%(default)s)")
    p.add_argument("--peers", default=",".join(PEERS), help="peers to start, comma separated, or none (%(default)s)")
    p.add_argument("--no-wine", action="store_true", help="leave out the Windows build under Wine")
    p.add_argument("--wine-share", type=float, default=0.1,
                   help="the Wine target's fraction of the ab requests and 10 MiB fetches; it is much slower (%(default)s)")
    p.add_argument("--wine-prefix", type=Path, default=REPO / "build" / "wine-bench",
                   help="Wine prefix (build/wine-bench: the test suites restart the wineserver of build/wine at will)")
    p.add_argument("--pin", choices=("one", "split", "none"), default="one",
                   help="one: every process on the last CPU (default; steadiest figures on a shared VM); "
                        "split: clients on CPU 0, servers on the last CPU; none: the scheduler decides")
    p.add_argument("--base-port", type=int, default=18181, help="origin port; the peers and native Relvia take the next ones (%(default)s)")
    p.add_argument("--build", action="store_true", help="run scripts/build.sh release first even if the binary exists")
    p.add_argument("--run-timeout", type=float, default=120, help="upper bound in seconds for any one ab or curl run (%(default)s)")
    p.add_argument("--max-s", type=float, default=900, help="start no run after this many seconds (%(default)s)")
    p.add_argument("--keep-tmp", action="store_true", help="keep the temporary directory (configurations, logs)")
    if "--quick" in argv:
        p.set_defaults(**QUICK)
    args = p.parse_args(argv)
    args.peers = [] if args.peers == "none" else [x for x in args.peers.split(",") if x]
    unknown = [x for x in args.peers if x not in PEERS]
    if unknown:
        p.error("unknown peer %s (known: %s)" % (", ".join(unknown), ", ".join(PEERS)))
    return args


def pinning(mode: str) -> Dict[str, List[str]]:
    last = str(os.cpu_count() - 1)
    if mode == "one":
        return {"servers": ["taskset", "-c", last], "clients": ["taskset", "-c", last]}
    if mode == "split":
        if last == "0":
            raise BenchError("--pin split needs two CPUs")
        return {"servers": ["taskset", "-c", last], "clients": ["taskset", "-c", "0"]}
    return {"servers": [], "clients": []}


def check_tools(args: argparse.Namespace) -> None:
    tools = ["nginx", "ab", "wrk", "curl", "timeout", "flock", "ss"] + args.peers
    if args.pin != "none":
        tools.append("taskset")
    if not args.no_wine:
        tools += ["wine", "wineserver"] + ([] if os.environ.get("DISPLAY") else ["Xvfb"])
    missing = [t for t in tools if not shutil.which(t)]
    if missing:
        raise BenchError("missing %s: run bench/install.sh (as root)" % " ".join(missing))


def prepare_environment() -> None:
    # Proxy variables must not redirect curl or urllib.
    for name in ("http_proxy", "https_proxy", "all_proxy", "no_proxy"):
        os.environ.pop(name, None)
        os.environ.pop(name.upper(), None)
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    want = 16384 if hard == resource.RLIM_INFINITY else min(16384, hard)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, want), hard))


class Bench:
    def __init__(self, args: argparse.Namespace, work: Path, procs: Processes, pin: Dict[str, List[str]]) -> None:
        self.args = args
        self.work = work
        self.procs = procs
        self.client_pin = pin["clients"]
        self.hi = "c%d" % args.c_hi
        self.results = report.Results()
        self.warnings: List[str] = []
        self.check_lines: List[str] = []
        self.connection: Dict[str, str] = {}
        self.targets: List[Target] = []
        self.meters: Dict[str, Meter] = {}
        self.ab_runs = self.ab_origin_exact = 0
        self.cpu_1k: Dict[tuple, List[float]] = {}  # (target, rep, label) -> [cpu ms, requests]
        self.stopped_early = False
        self.gone: List[str] = []  # targets whose process ended during the runs
        self.origin: Optional[Origin] = None
        self.wrk_origin: Optional[Origin] = None
        self.sha256: Dict[str, str] = {}

    def warn(self, text: str) -> None:
        log("warning: " + text)
        self.warnings.append(text)

    # ---- targets -------------------------------------------------------------------

    def ports(self) -> Dict[str, int]:
        names = ["origin"] + list(PEERS) + ["relvia", "origin-wrk"]
        return {name: self.args.base_port + i for i, name in enumerate(names)}

    def start_targets(self, wine: Optional[WineRelvia]) -> None:
        ports = self.ports()
        wanted = ["origin", "origin-wrk", "relvia"] + self.args.peers
        busy = [describe_port(ports[n]) for n in wanted if listening(ports[n])]
        if busy:
            raise BenchError("; ".join(busy) + " (choose other ports with --base-port)")
        www = self.work / "www"
        self.sha256 = write_files(www)
        self.origin = Origin(self.procs, self.work, "origin", ports["origin"], www)
        # wrk leaves connections in the proxies' listen queues when it stops; some
        # proxies still relay them, seconds later.  Its own origin keeps those
        # requests out of the counts of the runs that follow.
        self.wrk_origin = Origin(self.procs, self.work, "origin-wrk", ports["origin-wrk"], www)
        self.targets = [Target("direct", about="the origin itself, no proxy")]
        for name in self.args.peers:
            self.targets.append(PEERS[name](self.procs, self.work, ports[name]))
        self.targets.append(start_relvia_native(self.procs, REPO, ports["relvia"], self.args.build))
        if wine:
            self.targets.append(wine.start())
            self.targets[-1].share = self.args.wine_share
        for t in self.targets[1:]:
            t.about += ", listen backlog %s" % listen_backlog(int(t.proxy.rsplit(":", 1)[1]))
        self.meters = {t.name: Meter(t.pids) for t in self.targets}

    def check_relay(self) -> None:
        """Leaves out every target that does not relay each file intact."""
        log("relay check")
        good = []
        for t in self.targets:
            lines = loads.relay_check(t, self.origin, self.sha256, self.work, self.client_pin)
            self.connection[t.name] = loads.connection_header(t, self.origin, self.work, self.client_pin)
            lines.append("     %-12s HTTP/1.1 request with Connection: close -> %s" % (t.name, self.connection[t.name]))
            self.check_lines += lines
            if any(line.startswith("FAIL") for line in lines):
                self.warn("%s failed the relay check; left out of the measurements" % t.name)
            else:
                good.append(t)
        for line in self.check_lines:
            log(line)
        if not good:
            raise BenchError("no target passed the relay check")
        self.targets = good

    def warm_up(self) -> None:
        log("warm-up")
        for t in self.targets:
            try:
                loads.warm_up(t, self.origin, t.scaled(self.args.warm_n), self.args.run_timeout, self.client_pin)
            except LoadError as error:
                self.warn("%s warm-up: %s" % (t.name, error))

    # ---- one measured run ----------------------------------------------------------------

    def measured(self, t: Target, what: str, rep: int, load, origin: Origin):
        """Runs `load` between two readings of the target's processes and the
        origin's counter; returns (figures, usage), or (None, None) on failure."""
        meter = self.meters[t.name]
        before = origin.requests()
        meter.start()
        try:
            figures = load()
        except LoadError as error:
            meter.stop()
            self.warn("%s %s rep %d: %s; run discarded" % (t.name, what, rep, error))
            return None, None
        usage = meter.stop()
        figures["origin_seen"] = origin.seen_since(before)
        return figures, usage

    def record(self, t: Target, rep: int, tag: str, figures: dict, names: List[str]) -> None:
        for name in names:
            self.results.add(t.name, "%s_%s" % (tag, name), rep, figures[name])

    def record_usage(self, t: Target, rep: int, metric: str, usage: dict, per: float, key: str = "cpu_ms") -> None:
        """One figure per process of the target: usage[label][key] / per."""
        for label, u in usage.items():
            suffix = "" if label == "proxy" else "@" + label
            self.results.add(t.name, metric + suffix, rep, u[key] / per)

    def count_1k(self, t: Target, rep: int, usage: dict, requests: float) -> None:
        for label, u in usage.items():
            acc = self.cpu_1k.setdefault((t.name, rep, label), [0.0, 0.0])
            acc[0] += u["cpu_ms"]
            acc[1] += requests

    def run_ab(self, t: Target, rep: int, tag: str, concurrency: int, count: int) -> None:
        count = t.scaled(count, AB_MIN)
        csv = self.work / "ab.csv"
        load = lambda: loads.ab(t, self.origin.url(SMALL), concurrency, count, csv, self.args.run_timeout, self.client_pin)
        figures, usage = self.measured(t, tag, rep, load, self.origin)
        if figures is None:
            return
        self.ab_runs += 1
        if figures["origin_seen"] == count:
            self.ab_origin_exact += 1
        else:
            self.warn("%s %s rep %d: the origin saw %d requests for %d sent" % (t.name, tag, rep, figures["origin_seen"], count))
        self.record(t, rep, tag, figures, [k for k in ("rps", "mean_ms", "p99_ms") if k in figures])
        self.record_usage(t, rep, tag + "_cpu", usage, count / 1000)
        self.count_1k(t, rep, usage, count)
        cpu = usage.get("proxy", {}).get("cpu_ms")
        log("rep %d %-5s %-12s %8.0f req/s  mean %.3f ms  p99 %s ms%s" % (
            rep, tag, t.name, figures["rps"], figures["mean_ms"], report.fmt(figures.get("p99_ms")),
            "" if cpu is None else "  cpu %.1f ms/1k req" % (cpu * 1000 / count)))

    def run_wrk(self, t: Target, rep: int) -> None:
        a = self.args
        load = lambda: loads.wrk(t, self.wrk_origin.url(SMALL), a.wrk_c, a.wrk_d, a.wrk_t, self.client_pin)
        figures, usage = self.measured(t, "wrk", rep, load, self.wrk_origin)
        if figures is None:
            return
        self.record(t, rep, "wrk", figures, ["rps", "mean_ms", "p99_ms", "errors"])
        if figures["requests"] > 0:
            self.record_usage(t, rep, "wrk_cpu", usage, figures["requests"] / 1000)
            self.count_1k(t, rep, usage, figures["requests"])
        self.record_usage(t, rep, "wrk_rss_mib", usage, 1024, key="rss_kib")
        if figures["errors"]:
            if figures["errors"] == figures["err_read"] and "close" not in self.connection[t.name].lower():
                self.warn("%s wrk rep %d: %d read errors: its answers lack \"Connection: close\", so wrk reuses each "
                          "closed connection once before reconnecting" % (t.name, rep, figures["errors"]))
            else:
                self.warn("%s wrk rep %d: %d socket errors (%s)" % (t.name, rep, figures["errors"], figures["detail"]))
        log("rep %d wrk   %-12s %8.0f req/s  mean %.3f ms  p99 %.1f ms  errors %d" % (
            rep, t.name, figures["rps"], figures["mean_ms"], figures["p99_ms"], figures["errors"]))

    def run_bulk(self, t: Target, rep: int) -> None:
        k = t.scaled(self.args.k)
        load = lambda: loads.bulk(t, self.origin.url(BIG), FILES[BIG], k, self.args.run_timeout, self.client_pin)
        figures, usage = self.measured(t, "bulk", rep, load, self.origin)
        if figures is None:
            return
        if figures["origin_seen"] != k:
            self.warn("%s bulk rep %d: the origin saw %d requests for %d fetches" % (t.name, rep, figures["origin_seen"], k))
        self.results.add(t.name, "bulk_MBps", rep, figures["MBps"])
        self.record_usage(t, rep, "bulk_cpu", usage, k * FILES[BIG] / 2**30)
        log("rep %d bulk  %-12s %8.1f MB/s" % (rep, t.name, figures["MBps"]))

    # ---- the whole measurement ------------------------------------------------------------

    def out_of_time(self) -> bool:
        if time.monotonic() - START_TIME < self.args.max_s:
            return False
        if not self.stopped_early:
            self.warn("no run started after %.0f s (--max-s); the figures are partial" % self.args.max_s)
            self.stopped_early = True
        return True

    def still_running(self, t: Target, rep: int) -> bool:
        """False, with one warning, once a target's process has ended."""
        if t.name in self.gone:
            return False
        pid = t.pids.get("proxy")
        if pid is None or alive(pid):
            return True
        self.gone.append(t.name)
        self.warn("%s (pid %d) ended during rep %d; left out of the runs that follow. End of its log:\n  %s"
                  % (t.name, pid, rep, tail(self.work / (t.name + ".log"), 5).replace("\n", "\n  ")))
        return False

    def measure(self) -> None:
        a = self.args
        tests = [
            lambda t, rep: self.run_ab(t, rep, "c1", 1, a.n1),
            lambda t, rep: self.run_ab(t, rep, self.hi, a.c_hi, a.n_hi),
            self.run_bulk,
            self.run_wrk,
        ]
        n = len(self.targets)
        for rep in range(1, a.reps + 1):
            order = [self.targets[(i + rep - 1) % n] for i in range(n)]
            log("rep %d/%d, order: %s" % (rep, a.reps, " ".join(t.name for t in order)))
            for test in tests:
                for t in order:
                    if self.out_of_time():
                        break
                    if self.still_running(t, rep):
                        test(t, rep)
        for (name, rep, label), (cpu, requests) in self.cpu_1k.items():
            suffix = "" if label == "proxy" else "@" + label
            self.results.add(name, "kib_cpu" + suffix, rep, cpu * 1000 / requests)
        for t in self.targets:
            for label, kib in self.meters[t.name].overall().items():
                suffix = "" if label == "proxy" else "@" + label
                self.results.add(t.name, "rss_mib" + suffix, 1, kib / 1024)

    # ---- report ----------------------------------------------------------------------------

    def report(self, load_before: str) -> str:
        a = self.args
        names = [t.name for t in self.targets]
        peers = [n for n in names if n in a.peers]
        metric_list = report.metrics(a.c_hi, a.wrk_c)
        out = [
            "# Relvia benchmark, %s" % time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()),
            "# host: %s, %d CPUs, loadavg before %s, after %s" % (" ".join(os.uname()[::2]), os.cpu_count(), load_before, loadavg()),
            "# relvia: commit %s" % git_version(),
            "# tools: %s" % tool_versions(a),
            "# knobs: reps=%d n1=%d (c=1) n_hi=%d (c=%d) wrk %d connections x %d s, %d thread(s); k=%d x 10 MiB" % (
                a.reps, a.n1, a.n_hi, a.c_hi, a.wrk_c, a.wrk_d, a.wrk_t, a.k),
            "# placement: %s" % PLACEMENT[a.pin],
            "# origin: nginx, one worker, 127.0.0.1:%d (ab, transfers, relay check) and 127.0.0.1:%d (wrk)" % (
                self.origin.port, self.wrk_origin.port),
            "# elapsed: %.0f s" % (time.monotonic() - START_TIME),
        ]
        for t in self.targets:
            share = "; gets %g of the ab requests and 10 MiB fetches (--wine-share)" % t.share if t.share != 1 else ""
            out.append("# %-12s %s%s%s" % (t.name, t.proxy + ", " if t.proxy else "", t.about, share))
        out += ["", "## relay check (each file through each target; origin_requests = requests the origin saw)"]
        out += self.check_lines
        out.append("ab runs in which the origin saw exactly the requests sent: %d of %d" % (self.ab_origin_exact, self.ab_runs))
        out += ["", "## medians over %d interleaved runs (order rotated each run)" % a.reps, report.medians_table(self.results, metric_list, names)]
        if a.reps > 1:
            out += ["", "## spread: (max - min) / median over the runs", report.spread_table(self.results, metric_list, names)]
        out += ["", "## ratio to direct (target / direct)", report.ratio_to_direct(self.results, metric_list, names)]
        for name in names:
            if name.startswith("relvia") and peers:
                out += ["", "## %s / each peer (>1 is better where better=higher, <1 where lower)" % name,
                        report.ratio_to_peers(self.results, metric_list, name, peers)]
        if report.NATIVE in names and peers:
            out += ["", "## goals", report.goals_table(self.results, metric_list, report.goals(a.c_hi, a.wrk_c), peers)]
        out += ["", "## notes"] + NOTES
        if self.warnings:
            out += ["", "## warnings"] + ["- " + w for w in self.warnings]
        out += ["", "## raw (target, metric, run, value)", report.raw_lines(self.results)]
        return "\n".join(out)


PLACEMENT = {
    "one": "origin, proxies and clients all on the last CPU (--pin one)",
    "split": "clients on CPU 0, origin and proxies on the last CPU (--pin split)",
    "none": "not pinned (--pin none)",
}

NOTES = [
    "- ab: HTTP/1.0, one request per connection; latency is ab's mean and 99th percentile, connect included.",
    "- wrk: one request per connection (Connection: close); latency from request write, connect excluded.",
    "- CPU: utime+stime of the proxy process (all its threads, and its child processes) read from",
    "  /proc/PID/stat before and after each run; relvia-wine counts the process running relvia-host.exe,",
    "  and its wineserver has rows of its own (\"the same, wineserver\"); Wine's other service processes",
    "  are not counted.  'all 1 KiB runs' is the CPU of the ab and wrk runs over their requests.",
    "- peak RSS: VmHWM, reset (clear_refs 5) before each run; 'at wrk' is the peak during the wrk run,",
    "  'whole run' the highest seen from start to end.",
    "- 10 MiB transfer: MB/s = 10^6 bytes/s over the summed curl transfer times.",
]


def loadavg() -> str:
    return " ".join(Path("/proc/loadavg").read_text().split()[:3])


def first_line(argv: List[str]) -> str:
    try:
        run = subprocess.run(argv, capture_output=True, text=True, timeout=30)
    except (OSError, subprocess.TimeoutExpired):
        return "?"
    lines = (run.stdout + run.stderr).strip().splitlines()
    return lines[0].strip() if lines else "?"


def git_version() -> str:
    return first_line(["git", "-C", str(REPO), "describe", "--always", "--dirty"])


def tool_versions(a: argparse.Namespace) -> str:
    found = [first_line(["nginx", "-v"]), first_line(["ab", "-V"]).replace("This is ", ""),
             " ".join(first_line(["wrk", "-v"]).split()[:2]), " ".join(first_line(["curl", "--version"]).split()[:2])]
    versions = {"tinyproxy": ["tinyproxy", "-v"], "privoxy": ["privoxy", "--version"], "squid": ["squid", "-v"]}
    found += [first_line(versions[p]) for p in a.peers]
    if not a.no_wine:
        found.append(first_line(["wine", "--version"]))
    return "; ".join(found)


def main(argv: List[str]) -> int:
    args = parse_args(argv)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    pin = pinning(args.pin)
    check_tools(args)
    prepare_environment()
    work = Path(tempfile.mkdtemp(prefix="relvia-bench."))
    work.chmod(0o755)  # the peers drop root and read their configurations here
    procs = Processes(work, pin["servers"])
    wine = None if args.no_wine else WineRelvia(procs, REPO, args.wine_prefix.resolve(), pin["servers"])
    try:
        if wine:
            wine.preflight()
        load_before = loadavg()
        bench = Bench(args, work, procs, pin)
        bench.start_targets(wine)
        bench.check_relay()
        bench.warm_up()
        bench.measure()
        print(bench.report(load_before), flush=True)
        log("done in %.0f s" % (time.monotonic() - START_TIME))
        return 0
    finally:
        if wine:
            wine.stop()
        procs.stop_all()
        if args.keep_tmp:
            log("kept %s" % work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except BenchError as error:
        log("ERROR: %s" % error)
        sys.exit(1)
    except KeyboardInterrupt:
        sys.exit(130)
