"""Measures the bootstrapper against baselines taken in the same run on the
same machine, natively and (for the Windows build) under Wine, and prints
one table. scripts/bench.sh builds what this needs and calls it:

    bench.py --linux-build DIR [--windows-build DIR] --work DIR [--runs N] [--figures 3,5]

The Linux build brings the tools (launch_probe, qvl-cdn) and the native
figures; the Windows build, when given, the figures under Wine. Each build
talks to test services of its own (its port, its test CA): bench_target.py
sets up where a build runs, bench_table.py prints the figures."""

import argparse
import statistics
import sys
from pathlib import Path

from bench_table import print_table
from bench_target import GAME_TITLE, IDLE_SECONDS, WINDOW_TITLE, Target, log, probe

IDLE_FROM_MS, IDLE_TO_MS = 5000, 12000  # after the logo has played and every fade has settled
LAUNCH_TIMEOUT_MS = 15000


def median(values: list) -> float:
    return statistics.median(values)


def event_ms(values: dict) -> float:
    ms = float(values.get("event_ms", "-1"))
    if ms < 0:
        raise RuntimeError(f"the awaited event never came: {values}")
    return ms


class Bench:
    def __init__(self, target: Target, runs: int):
        self.t = target
        self.runs = runs
        self.tool = target.tools / "launch_probe"
        self.results = {}
        self.hung = 0  # launches that did not end by themselves

    def launch(self, product: str, **options) -> tuple:
        report = self.t.report_path(product)
        # A run that outlives this has hung after its game started: the
        # figures are taken by then, and its process group is ended.
        options.setdefault("timeout_ms", LAUNCH_TIMEOUT_MS)
        values = probe(self.tool, self.t.bootstrapper_command(product, self.t.game_args(report)), self.t.env,
                       file=report, **self.t.tracked(), **options)
        if values.get("exit") == "timeout":
            self.hung += 1
        return values, self.t.run_log(product)

    def baseline(self, product: str, revalidate: bool) -> float:
        """curl fetches the module from the same nginx (revalidating with the
        saved ETag, or in full), then the game is started."""
        report = self.t.report_path("baseline")
        etag = self.t.work / f"{product}.etag"
        curl = ["curl", "--silent", "--show-error", "--fail", "--cacert", str(self.t.pki / "ca.pem"),
                "-o", str(self.t.work / f"{product}.module")]
        if revalidate:
            curl += ["--etag-compare", str(etag), "--etag-save", str(etag)]
        game = self.t.command(self.t.game / self.t.game_exe, self.t.game_args(report))
        script = " ".join(map(sh_quote, curl + [self.t.module_url(product)])) + " && exec " + " ".join(
            map(sh_quote, game))
        return event_ms(probe(self.tool, ["sh", "-c", script], self.t.env, file=report))

    def cached_launch(self) -> None:
        log(f"[{self.t.name}] 1: launches with a cached module")
        self.launch("small")  # the first run downloads and fills the cache
        self.baseline("small", True)  # and saves the ETag
        ours, theirs = [], []
        for _ in range(self.runs):
            values, run_log = self.launch("small")
            if "No update needed." not in run_log:
                raise RuntimeError("a cached launch downloaded the module again:\n" + run_log)
            ours.append(event_ms(values))
            theirs.append(self.baseline("small", True))
        self.results["cached"] = (median(ours), median(theirs))

    def fresh_launch(self) -> None:
        log(f"[{self.t.name}] 2 and 4: launches with a fresh 64 MiB module, peak memory")
        ours, theirs, peaks, small_peaks = [], [], [], []
        for _ in range(self.runs):
            self.t.forget_cache("large")
            values, run_log = self.launch("large")
            if "Launcher finished with: 301" not in run_log:
                raise RuntimeError("the 64 MiB module did not launch the game:\n" + run_log)
            ours.append(event_ms(values))
            peaks.append(int(values["peak_rss_kb"]) * 1024)
            theirs.append(self.baseline("large", False))
        for _ in range(3):
            values, _ = self.launch("small")
            small_peaks.append(int(values["peak_rss_kb"]) * 1024)
        self.results["fresh"] = (median(ours), median(theirs))
        self.results["memory"] = (median(peaks), median(small_peaks), self.t.large_bytes)

    def idle(self) -> None:
        log(f"[{self.t.name}] 3: processor time while waiting for the game")
        probe_exe = self.t.bin / self.t.exe("launcher_idle_probe")
        figures = {}
        for label, extra in (("before", ["--always-redraw"]), ("after", [])):
            options = {"cpu_from": IDLE_FROM_MS, "cpu_to": IDLE_TO_MS}
            if self.t.wine:
                options.update(track="launcher_idle_p", cpu_also=self.t.wineserver_pid())
            values = probe(self.tool, self.t.command(probe_exe, [str(IDLE_SECONDS), *extra]), self.t.env, **options)
            figures[label] = cpu_share(values)
        if not self.t.wine:
            # The real bootstrapper in state 4, its game never showing a window.
            report = self.t.report_path("idle")
            values = probe(self.tool, self.t.bootstrapper_command("small", self.t.game_args(report, False)),
                           self.t.env, cpu_from=IDLE_FROM_MS, cpu_to=IDLE_TO_MS)
            figures["bootstrapper"] = cpu_share(values)
        self.results["idle"] = figures

    def first_frame(self) -> None:
        log(f"[{self.t.name}] 5: start to first frame")
        ours, theirs = [], []
        for _ in range(self.runs):
            report = self.t.report_path("frame")
            command = self.t.bootstrapper_command("small", self.t.game_args(report))
            values = probe(self.tool, command, self.t.env, window=WINDOW_TITLE, timeout_ms=LAUNCH_TIMEOUT_MS)
            self.hung += values.get("exit") == "timeout"
            ours.append(event_ms(values))
            # Baseline: the sample game, a bare window, from start to its first pixels.
            report = self.t.report_path("game-frame")
            command = self.t.command(self.t.game / self.t.game_exe, self.t.game_args(report))
            theirs.append(event_ms(probe(self.tool, command, self.t.env, window=GAME_TITLE)))
        self.results["frame"] = (median(ours), median(theirs))

    def run(self, figures: set) -> dict:
        if "1" in figures:
            self.cached_launch()
        if "2" in figures or "4" in figures:
            self.fresh_launch()
        if "5" in figures:
            self.first_frame()
        if "3" in figures:
            self.idle()
        if self.hung:
            log(f"[{self.t.name}] {self.hung} launches did not end by themselves and were ended after "
                f"{LAUNCH_TIMEOUT_MS // 1000} s")
        return self.results


def cpu_share(values: dict) -> tuple:
    """Percent of one core: the process itself, and wineserver where read."""
    wall = float(values["cpu_wall_ms"])
    own = 100.0 * float(values["cpu_ms"]) / wall
    also = 100.0 * float(values["also_cpu_ms"]) / wall if "also_cpu_ms" in values else None
    return own, also


def sh_quote(text: str) -> str:
    return "'" + str(text).replace("'", "'\\''") + "'"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--linux-build", type=Path, required=True)
    parser.add_argument("--windows-build", type=Path)
    parser.add_argument("--work", type=Path, required=True)
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--only", choices=["native", "wine"], help="measure one of the two only")
    parser.add_argument("--figures", default="1,2,3,4,5",
                        help="the figures to measure, e.g. 3,5 (2 and 4 are measured together)")
    args = parser.parse_args()

    tools = args.linux_build / "bin"
    plans = [Target("native", args.linux_build, args.work / "native", tools)]
    if args.windows_build is not None:
        plans.append(Target("wine", args.windows_build, args.work / "wine", tools))
    plans = [plan for plan in plans if args.only in (None, plan.name)]
    results = {}
    failed = False
    for target in plans:
        bench = Bench(target, args.runs)
        try:
            target.start()
            bench.run(set(args.figures.split(",")))
        except Exception as error:  # the other build's figures are still worth printing
            log(f"[{target.name}] FAILED: {error}")
            failed = True
        finally:
            target.stop()
        results[target.name] = bench.results
    print_table(results.get("native", {}), results.get("wine", {}), args.runs)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
