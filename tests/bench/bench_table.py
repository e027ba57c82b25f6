"""The table bench.py prints: each figure beside its baseline, per build."""

import os
import platform
from pathlib import Path


def machine() -> str:
    model = "unknown CPU"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    memory_kb = 0
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            memory_kb = int(line.split()[1])
    load = " ".join(Path("/proc/loadavg").read_text().split()[:3])
    return (f"{os.cpu_count()} CPUs ({model}), {memory_kb / 1024 / 1024:.1f} GiB RAM, {platform.system()} "
            f"{platform.release()}; load average {load}")


def cell(results: dict, key: str) -> str:
    if key not in results:
        return "-"
    if key in ("cached", "fresh", "frame"):
        ours, theirs = results[key]
        return f"{ours:.0f} / {theirs:.0f} ms = {ours / theirs:.2f}x"
    if key == "memory":
        peak, small, size = results[key]
        return f"{peak / 2**20:.0f} MiB = {peak / size:.2f}x ({(peak - small) / size:.2f}x over small)"
    return "-"


def idle_cell(results: dict, label: str) -> str:
    figures = results.get("idle", {})
    if label not in figures:
        return "-"
    own, also = figures[label]
    text = f"{own:.2f} %"
    if also is not None:
        text += f" (+ wineserver {also:.2f} %)"
    return text


def idle_ratio(results: dict) -> str:
    figures = results.get("idle", {})
    if "before" not in figures or "after" not in figures:
        return "-"
    return f"{figures['after'][0] / figures['before'][0]:.3f}x"


def print_table(native: dict, wine: dict, runs: int) -> None:
    rows = [
        ("1 start -> game started, cached module: ours / curl --etag-compare + game", "cached", "<= 2.5x"),
        ("2 start -> game started, fresh 64 MiB: ours / curl full download + game", "fresh", "<= 1.3x native, 2.5x Wine"),
        ("5 start -> first frame: ours / the sample game's first window", "frame", "<= 45 ms native, 120 ms Wine"),
        ("4 peak resident memory, 64 MiB download and load / module size", "memory", "<= 2.6x native, 2.9x Wine"),
    ]
    idle_rows = [
        ("3 waiting, CPU of one core: redraw every frame (before)", "before", ""),
        ("3 waiting, CPU of one core: redraw on change (after)", "after", "<= 2 %"),
        ("3 waiting, CPU of one core: the bootstrapper in state 4", "bootstrapper", "<= 1 %"),
    ]
    table = [("figure", "native", "Windows build under Wine", "target")]
    table += [(title, cell(native, key), cell(wine, key), target) for title, key, target in rows]
    table += [(title, idle_cell(native, key), idle_cell(wine, key), target) for title, key, target in idle_rows]
    table.append(("3 waiting: after / before", idle_ratio(native), idle_ratio(wine), ""))
    widths = [max(len(row[i]) for row in table) for i in range(4)]
    print(f"Quarvel bootstrapper benchmarks: medians of {runs} runs; {machine()}")
    for index, row in enumerate(table):
        print("  ".join(text.ljust(widths[i]) for i, text in enumerate(row)).rstrip())
        if index == 0:
            print("  ".join("-" * width for width in widths))
