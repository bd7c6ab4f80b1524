"""The load tools (ab, wrk, curl) as functions: one bounded run each, its
figures parsed into a dict.  A run that fails raises LoadError."""

import hashlib
import re
import subprocess
from pathlib import Path
from typing import Dict, List

from servers import Origin, Target

HERE = Path(__file__).resolve().parent
WRK_SCRIPT = HERE / "wrk-proxy.lua"


class LoadError(Exception):
    pass


def bounded(argv: List[str], limit: float, pin: List[str]) -> subprocess.CompletedProcess:
    """Runs a client under timeout(1), pinned as asked, with its output captured."""
    full = ["timeout", "-k", "5", "%.0f" % limit] + pin + argv
    return subprocess.run(full, stdin=subprocess.DEVNULL, capture_output=True, text=True, errors="replace")


def _curl_proxy(target: Target) -> List[str]:
    return ["-x", "http://" + target.proxy] if target.proxy else []


# ---- ab ----------------------------------------------------------------------------------


def _ab_field(text: str, pattern: str) -> str:
    found = re.search(pattern, text, re.M)
    return found.group(1) if found else ""


def ab(target: Target, url: str, concurrency: int, count: int, csv: Path, limit: float, pin: List[str]) -> Dict[str, float]:
    """ab -n COUNT -c CONCURRENCY (HTTP/1.0, one request per connection)."""
    proxy = ["-X", target.proxy] if target.proxy else []
    argv = ["ab", "-r", "-s", "10", "-n", str(count), "-c", str(concurrency), "-e", str(csv)] + proxy + [url]
    run = bounded(argv, limit, pin)
    out = run.stdout
    done = _ab_field(out, r"^Complete requests:\s+(\d+)")
    failed = _ab_field(out, r"^Failed requests:\s+(\d+)")
    non2xx = _ab_field(out, r"^Non-2xx responses:\s+(\d+)")
    rps = _ab_field(out, r"^Requests per second:\s+([\d.]+)")
    mean = _ab_field(out, r"^Time per request:\s+([\d.]+) \[ms\] \(mean\)$")
    if run.returncode != 0 or done != str(count) or failed != "0" or non2xx or not rps:
        lines = (out + run.stderr).strip().splitlines()[-3:]
        raise LoadError("ab rc=%d complete=%s failed=%s non2xx=%s: %s" % (run.returncode, done or "?", failed or "?", non2xx or 0, " | ".join(lines)))
    figures = {"requests": count, "rps": float(rps), "mean_ms": float(mean)}
    # ab reads its 99th percentile past the end of its samples below 51 requests.
    if count > 50:
        figures["p99_ms"] = float(next(l for l in csv.read_text().splitlines() if l.startswith("99,")).split(",")[1])
    return figures


# ---- wrk ---------------------------------------------------------------------------------


def wrk(target: Target, url: str, connections: int, seconds: int, threads: int, pin: List[str]) -> Dict[str, float]:
    """wrk with an absolute URL on the request line and "Connection: close"."""
    where = "http://%s/" % (target.proxy or url.split("/")[2])
    argv = ["wrk", "-t%d" % threads, "-c%d" % connections, "-d%ds" % seconds, "--timeout", "5s", "-s", str(WRK_SCRIPT), where, "--", url]
    run = bounded(argv, seconds + 30, pin)
    line = next((l for l in run.stdout.splitlines() if l.startswith("WRK ")), "")
    if not line:
        raise LoadError("wrk gave no result: %s" % " | ".join((run.stdout + run.stderr).strip().splitlines()[-3:]))
    w = {k: float(v) for k, v in (kv.split("=") for kv in line.split()[1:])}
    errors = sum(w[k] for k in ("err_connect", "err_read", "err_write", "err_status", "err_timeout"))
    return {
        "requests": w["requests"],
        "rps": w["requests"] / (w["duration_us"] / 1e6),
        "mean_ms": w["lat_mean_us"] / 1000,
        "p99_ms": w["lat_p99_us"] / 1000,
        "errors": errors,
        "err_read": w["err_read"],
        "detail": line[4:],
    }


# ---- curl --------------------------------------------------------------------------------


def curl_get(target: Target, url: str, out: str, limit: float, pin: List[str], extra: List[str] = ()) -> Dict[str, float]:
    """One HTTP/1.0 GET through the target: status, size and time."""
    argv = ["curl", "-sS", "--http1.0"] + _curl_proxy(target) + list(extra)
    argv += ["--max-time", "%.0f" % limit, "-o", out, "-w", "%{http_code} %{size_download} %{time_total}", url]
    run = bounded(argv, limit + 5, pin)
    parts = run.stdout.split()
    if run.returncode != 0 or len(parts) != 3:
        raise LoadError("curl rc=%d: %s" % (run.returncode, (run.stdout + run.stderr).strip()[-200:]))
    return {"status": int(parts[0]), "size": int(parts[1]), "seconds": float(parts[2])}


def bulk(target: Target, url: str, size: int, count: int, limit: float, pin: List[str]) -> Dict[str, float]:
    """COUNT fetches of one big file, one curl process and connection each;
    MB/s (10^6 bytes) over the summed transfer times."""
    seconds = 0.0
    for i in range(count):
        got = curl_get(target, url, "/dev/null", limit, pin)
        if got["status"] != 200 or got["size"] != size:
            raise LoadError("fetch %d of %d got status %d, %d bytes" % (i + 1, count, got["status"], got["size"]))
        seconds += got["seconds"]
    return {"requests": count, "MBps": count * size / 1e6 / seconds}


# ---- relay check ----------------------------------------------------------------------------


def _header(head_file: Path, name: str) -> str:
    for line in head_file.read_text(errors="replace").splitlines():
        key, _, value = line.partition(":")
        if key.strip().lower() == name:
            return value.strip()
    return ""


def relay_check(target: Target, origin: Origin, sha256: Dict[str, str], work: Path, pin: List[str]) -> List[str]:
    """Fetches each file through the target and compares it with the origin's;
    the origin must see exactly one request per fetch (no proxy cache).
    Returns report lines, the first word of each ending in "ok" or "FAIL"."""
    lines = []
    body, head = work / "check.bin", work / "check.hdr"
    for name in ("1k.bin", "10m.bin", "1k.bin"):
        for stale in (body, head):
            stale.unlink(missing_ok=True)
        before = origin.requests()
        try:
            got = curl_get(target, origin.url(name), str(body), 60, pin, ["-D", str(head)])
        except LoadError as error:
            lines.append("FAIL %-12s %-8s %s" % (target.name, name, error))
            continue
        seen = origin.seen_since(before)
        digest = hashlib.sha256(body.read_bytes()).hexdigest()
        intact = got["status"] == 200 and digest == sha256[name]
        cached = "HIT" in _header(head, "x-cache")
        verdict = "ok" if intact and seen == 1 and not cached else "FAIL"
        lines.append(
            "%-4s %-12s %-8s status=%d bytes=%d sha256=%s origin_requests=%d%s"
            % (verdict, target.name, name, got["status"], got["size"], "match" if intact or digest == sha256[name] else "MISMATCH", seen, " (cache hit)" if cached else "")
        )
    return lines


def connection_header(target: Target, origin: Origin, work: Path, pin: List[str]) -> str:
    """The Connection field of the answer to an HTTP/1.1 request with
    "Connection: close", as wrk sends it ("" when absent)."""
    head = work / "check.hdr"
    head.unlink(missing_ok=True)
    extra = ["--http1.1", "-H", "Proxy-Connection:", "-H", "Connection: close", "-D", str(head)]
    argv = ["curl", "-sS"] + _curl_proxy(target) + extra + ["--max-time", "10", "-o", "/dev/null", origin.url("1k.bin")]
    bounded(argv, 15, pin)
    status = head.read_text(errors="replace").splitlines()[:1] if head.exists() else []
    return "%s; Connection: %s" % (status[0].strip() if status else "(no answer)", _header(head, "connection") or "(none)")


def warm_up(target: Target, origin: Origin, count: int, limit: float, pin: List[str]) -> None:
    proxy = ["-X", target.proxy] if target.proxy else []
    bounded(["ab", "-r", "-s", "10", "-n", str(count), "-c", "8"] + proxy + [origin.url("1k.bin")], limit, pin)
    curl_get(target, origin.url("10m.bin"), "/dev/null", limit, pin)
