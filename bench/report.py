"""Figures collected run by run, and the tables printed from their medians."""

import statistics
from collections import defaultdict
from dataclasses import dataclass
from typing import Dict, List, Optional, Tuple

NATIVE = "relvia"
EXTRA = "wineserver"  # the second process of the Windows build, reported apart


@dataclass
class Metric:
    key: str
    better: str  # "higher" or "lower"
    label: str


def metrics(c_hi: int, wrk_c: int) -> List[Metric]:
    hi = "c%d" % c_hi
    return [
        Metric("c1_rps", "higher", "ab c=1 requests/s"),
        Metric("c1_mean_ms", "lower", "ab c=1 mean latency ms"),
        Metric("c1_p99_ms", "lower", "ab c=1 p99 latency ms"),
        Metric(hi + "_rps", "higher", "ab c=%d requests/s" % c_hi),
        Metric(hi + "_mean_ms", "lower", "ab c=%d mean latency ms" % c_hi),
        Metric(hi + "_p99_ms", "lower", "ab c=%d p99 latency ms" % c_hi),
        Metric("wrk_rps", "higher", "wrk c=%d requests/s" % wrk_c),
        Metric("wrk_mean_ms", "lower", "wrk c=%d mean latency ms" % wrk_c),
        Metric("wrk_p99_ms", "lower", "wrk c=%d p99 latency ms" % wrk_c),
        Metric("wrk_errors", "lower", "wrk c=%d socket errors" % wrk_c),
        Metric("bulk_MBps", "higher", "10 MiB transfer MB/s"),
        Metric("c1_cpu", "lower", "CPU ms/1k req, ab c=1"),
        Metric(hi + "_cpu", "lower", "CPU ms/1k req, ab c=%d" % c_hi),
        Metric("wrk_cpu", "lower", "CPU ms/1k req, wrk c=%d" % wrk_c),
        Metric("kib_cpu", "lower", "CPU ms/1k req, all 1 KiB runs"),
        Metric("bulk_cpu", "lower", "CPU ms/GiB, 10 MiB transfers"),
        Metric("wrk_rss_mib", "lower", "peak RSS MiB at wrk c=%d" % wrk_c),
        Metric("rss_mib", "lower", "peak RSS MiB, whole run"),
    ]


class Results:
    """Values by (target, metric), one per repetition."""

    def __init__(self) -> None:
        self.values: Dict[Tuple[str, str], List[float]] = defaultdict(list)
        self.raw: List[Tuple[str, str, int, float]] = []

    def add(self, target: str, metric: str, rep: int, value: float) -> None:
        self.values[(target, metric)].append(value)
        self.raw.append((target, metric, rep, value))

    def median(self, target: str, metric: str) -> Optional[float]:
        found = self.values.get((target, metric))
        return statistics.median(found) if found else None

    def spread(self, target: str, metric: str) -> Optional[float]:
        """(max - min) / median, over the repetitions."""
        found = self.values.get((target, metric))
        mid = self.median(target, metric)
        if not found or len(found) < 2 or not mid:
            return None
        return (max(found) - min(found)) / mid

    def has(self, metric: str) -> bool:
        return any(key[1] == metric for key in self.values)


def fmt(x: Optional[float]) -> str:
    if x is None:
        return "-"
    if x == int(x):
        return "%d" % x
    for limit, form in ((1000, "%.0f"), (100, "%.1f"), (10, "%.2f")):
        if abs(x) >= limit:
            return form % x
    return "%.3f" % x


def _rows(results: Results, metric_list: List[Metric]) -> List[Metric]:
    """The metrics that have values, each followed by its wineserver row."""
    rows = []
    for m in metric_list:
        if results.has(m.key):
            rows.append(m)
        extra = m.key + "@" + EXTRA
        if results.has(extra):
            rows.append(Metric(extra, m.better, "  the same, wineserver"))
    return rows


def table(columns: List[str], rows: List[Tuple[str, str, List[str]]]) -> str:
    head = "%-36s %-6s" % ("metric", "better") + "".join(" %12s" % c for c in columns)
    body = ["%-36s %-6s" % (label, better) + "".join(" %12s" % v for v in cells) for label, better, cells in rows]
    return "\n".join([head] + body)


def medians_table(results: Results, metric_list: List[Metric], targets: List[str]) -> str:
    rows = [(m.label, m.better, [fmt(results.median(t, m.key)) for t in targets]) for m in _rows(results, metric_list)]
    return table(targets, rows)


def spread_table(results: Results, metric_list: List[Metric], targets: List[str]) -> str:
    def cell(t, key):
        s = results.spread(t, key)
        return "-" if s is None else "%.0f%%" % (s * 100)

    rows = [(m.label, m.better, [cell(t, m.key) for t in targets]) for m in _rows(results, metric_list)]
    return table(targets, rows)


def ratio(results: Results, target: str, ref: str, key: str) -> Optional[float]:
    a, b = results.median(target, key), results.median(ref, key)
    return None if a is None or not b else a / b


def ratio_to_direct(results: Results, metric_list: List[Metric], targets: List[str]) -> str:
    shown = [t for t in targets if t != "direct"]
    rows = []
    for m in _rows(results, metric_list):
        if results.median("direct", m.key):
            rows.append((m.label, m.better, [fmt_ratio(ratio(results, t, "direct", m.key)) for t in shown]))
    return table(shown, rows)


def fmt_ratio(x: Optional[float]) -> str:
    if x is None:
        return "-"
    return "%.0f" % x if x >= 100 else "%.1f" % x if x >= 10 else "%.2f" % x if x >= 0.1 else "%.3f" % x


def best_peer(results: Results, metric: Metric, peers: List[str]) -> Optional[str]:
    """The peer with the best median for this metric."""
    have = [(results.median(p, metric.key), p) for p in peers if results.median(p, metric.key) is not None]
    if not have:
        return None
    pick = max if metric.better == "higher" else min
    return pick(have)[1]


def ratio_to_peers(results: Results, metric_list: List[Metric], target: str, peers: List[str]) -> str:
    """target / each peer, and target / the best peer of each metric."""
    rows = []
    for m in metric_list:
        if results.median(target, m.key) is None or m.key.endswith("errors"):
            continue
        best = best_peer(results, m, peers)
        cells = [fmt_ratio(ratio(results, target, p, m.key)) for p in peers]
        cells += [best or "-", fmt_ratio(ratio(results, target, best, m.key)) if best else "-"]
        rows.append((m.label, m.better, cells))
    return table(list(peers) + ["best peer", "to best"], rows)


@dataclass
class Goal:
    key: str
    what: str
    bound: float  # the ratio must be >= bound (higher is better) or <= bound
    versus: Optional[str] = None  # a fixed peer, else the best peer for the metric


def goals(c_hi: int, wrk_c: int) -> List[Goal]:
    return [
        Goal("c1_rps", "1 KiB requests/s, ab c=1", 1.1),
        Goal("c%d_rps" % c_hi, "1 KiB requests/s, ab c=%d" % c_hi, 1.1),
        Goal("wrk_rps", "1 KiB requests/s, wrk c=%d" % wrk_c, 1.1),
        Goal("bulk_MBps", "10 MiB transfer MB/s", 1.0),
        Goal("kib_cpu", "CPU per request, all 1 KiB runs", 0.9),
        Goal("wrk_rss_mib", "peak RSS at %d connections" % wrk_c, 1.0, versus="tinyproxy"),
    ]


def goals_table(results: Results, metric_list: List[Metric], goal_list: List[Goal], peers: List[str]) -> str:
    by_key = {m.key: m for m in metric_list}
    lines = ["%-34s %10s %-20s %7s %8s  %s" % ("goal (native relvia)", "relvia", "versus", "ratio", "needed", "verdict")]
    for g in goal_list:
        m = by_key[g.key]
        ref = g.versus if g.versus in peers else best_peer(results, m, peers)
        r = ratio(results, NATIVE, ref, g.key) if ref else None
        needed = ("%s%.2f" % (">=" if m.better == "higher" else "<=", g.bound))
        if r is None:
            verdict = "no figure"
        else:
            met = r >= g.bound if m.better == "higher" else r <= g.bound
            verdict = "met" if met else "NOT MET"
        versus = "%s %s" % (ref, fmt(results.median(ref, g.key))) if ref else "-"
        lines.append("%-34s %10s %-20s %7s %8s  %s" % (g.what, fmt(results.median(NATIVE, g.key)), versus, fmt_ratio(r), needed, verdict))
    return "\n".join(lines)


def raw_lines(results: Results) -> str:
    return "\n".join("%s\t%s\t%d\t%s" % (t, m, rep, fmt(v)) for t, m, rep, v in sorted(results.raw))
