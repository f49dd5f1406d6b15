#!/usr/bin/env python3
"""Runs the window benches beside their limits, reads the engine bench's JSON, and prints one line per
figure: name, our value, the limit's value, the ratio, the goal, ok or MISSED. Exits 1 when one misses.

    figures.py BUILD_DIR SERVICE_URL ENGINE_JSON
"""
import json
import os
import statistics
import subprocess
import sys
import time

CLICK_REPETITIONS = 15
STALL_REPETITIONS = 10
IDLE_PAIRS = 3
STARTUP_PAIRS = 15


def samples(output):
    """The "sample NAME VALUE" lines of a bench program, as NAME -> [values]."""
    found = {}
    for line in output.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0] == "sample":
            found.setdefault(parts[1], []).append(float(parts[2]))
    return found


def run(command, env):
    result = subprocess.run(command, env=env, capture_output=True, text=True, timeout=600)
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({result.returncode}):\n{result.stderr}")
    return samples(result.stdout)


def engine_medians(path):
    """Benchmark name -> median real time in microseconds."""
    with open(path) as f:
        report = json.load(f)
    medians = {}
    for entry in report["benchmarks"]:
        if entry.get("error_occurred"):
            sys.exit(f"engine bench {entry['name']}: {entry.get('error_message')}")
        if entry.get("aggregate_name") == "median":
            medians[entry["run_name"].split("/")[0]] = entry["real_time"]
    return medians


def idle_pairs(build, env):
    """Our window and the empty one idle side by side, so that both see the same machine."""
    ours, empty, paints = [], [], []
    for _ in range(IDLE_PAIRS):
        a = subprocess.Popen([f"{build}/bench/window_bench", "idle"], env=env, stdout=subprocess.PIPE, text=True)
        b = subprocess.Popen([f"{build}/bench/empty_window_bench", "idle"], env=env, stdout=subprocess.PIPE,
                             text=True)
        out_a, _ = a.communicate(timeout=120)
        out_b, _ = b.communicate(timeout=120)
        if a.returncode or b.returncode:
            sys.exit("an idle bench failed")
        sa, sb = samples(out_a), samples(out_b)
        ours += sa["idle_cpu_ms"]
        empty += sb["idle_cpu_ms"]
        paints += sa["idle_paints"]
    return statistics.median(ours), statistics.median(empty), max(paints)


PHASES = ("main_entered_ns", "app_made_ns", "window_made_ns", "first_frame_ns")


def start_once(command, env):
    """Milliseconds from the spawn to the first frame, the peak RSS in MiB, and the milliseconds of each
    phase: loading up to main, QApplication, the window, its first frame."""
    start = time.monotonic_ns()
    child = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, text=True)
    out = child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit(f"{command[0]} startup failed ({child.returncode})")
    found = samples(out)
    stamps = [start] + [found[name][0] for name in PHASES]
    phases = [(b - a) / 1e6 for a, b in zip(stamps, stamps[1:])]
    return (stamps[-1] - start) / 1e6, usage.ru_maxrss / 1024.0, phases


def startup_pairs(build, env):
    ours_ms, ours_rss, empty_ms, empty_rss = [], [], [], []
    phases = {"ours": [], "empty": []}
    for i in range(STARTUP_PAIRS):
        order = [("ours", [f"{build}/bench/window_bench", "startup"]),
                 ("empty", [f"{build}/bench/empty_window_bench", "startup"])]
        if i % 2:
            order.reverse()
        for side, command in order:
            ms, rss, phase = start_once(command, env)
            phases[side].append(phase)
            (ours_ms if side == "ours" else empty_ms).append(ms)
            (ours_rss if side == "ours" else empty_rss).append(rss)
    m = statistics.median
    medians = {side: [m(p[i] for p in runs) for i in range(len(PHASES))] for side, runs in phases.items()}
    return m(ours_ms), m(empty_ms), m(ours_rss), m(empty_rss), medians


class Table:
    def __init__(self):
        self.missed = 0

    def ratio_line(self, name, unit, ours, limit, goal):
        ratio = ours / limit if limit else float("inf")
        ok = ratio <= goal
        self._print(name, f"{ours:.3f} {unit}", f"{limit:.3f} {unit}", f"{ratio:.3f}", f"<= {goal:g} x", ok)

    def absolute_line(self, name, unit, ours, limit, goal, goal_text):
        ratio = f"{ours / limit:.3f}" if limit else "-"
        self._print(name, f"{ours:.3f} {unit}", f"{limit:.3f} {unit}", ratio, goal_text, goal(ours))

    def _print(self, name, ours, limit, ratio, goal, ok):
        if not ok:
            self.missed += 1
        print(f"{name:<44} {ours:>14} {limit:>14} {ratio:>8} {goal:>13}  {'ok' if ok else 'MISSED'}")


def main():
    build, url, engine_json = sys.argv[1:4]
    runtime_dir = os.path.join(build, "bench-runtime")
    os.makedirs(runtime_dir, mode=0o700, exist_ok=True)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime_dir)

    engine = engine_medians(engine_json)
    click = run([f"{build}/bench/window_bench", "click", url, str(CLICK_REPETITIONS)], env)
    stall = run([f"{build}/bench/window_bench", "stall", url, str(STALL_REPETITIONS)], env)
    idle_ours, idle_empty, idle_paints = idle_pairs(build, env)
    start_ours, start_empty, rss_ours, rss_empty, phases = startup_pairs(build, env)

    m = statistics.median
    table = Table()
    print(f"{'figure':<44} {'ours':>14} {'limit':>14} {'ratio':>8} {'goal':>13}  result")
    table.ratio_line("fetchResultPage, one 20-row page (fill)", "us", engine["fetchResultPage_fill"],
                     engine["rawGet_samePage"], 1.05)
    table.ratio_line("discovery + listing, 10 pages (22 requests)", "us", engine["runQueryWorker_10pages"],
                     engine["rawGet_22requests"], 1.10)
    table.ratio_line("GET click to list filled, window, 10 pages", "ms", m(click["click_to_filled_ms"]),
                     m(click["raw_22_gets_ms"]), 1.20)
    table.absolute_line("GUI tick gap p99 during 50-page discovery", "ms", stall["stall_p99_gap_ms"][0],
                        stall["idle_p99_gap_ms"][0], lambda v: v <= 5.0, "p99 <= 5 ms")
    table.absolute_line("GUI tick gap max during 50-page discovery", "ms", stall["stall_max_gap_ms"][0],
                        stall["idle_max_gap_ms"][0], lambda v: True, "(shown only)")
    table.ratio_line("idle CPU over 10 s, 1 ms timer ticking", "ms", idle_ours, idle_empty, 1.2)
    table.absolute_line("paint events while idle (after the 1st s)", "", idle_paints, 0, lambda v: v == 0,
                        "= 0")
    table.ratio_line("start-up to first frame", "ms", start_ours, start_empty, 1.2)
    table.ratio_line("peak RSS at the first frame", "MiB", rss_ours, rss_empty, 1.2)
    table.ratio_line("fillRows over a 1 MiB block", "us", engine["fillRows_1MiB"], engine["findAndCopy_1MiB"],
                     3.0)
    print()
    print("start-up phases, median ms (ours / empty window): loading to main, QApplication, window, first frame")
    print("    " + "  ".join(f"{o:.1f} / {e:.1f}" for o, e in zip(phases["ours"], phases["empty"])))
    print(f"GUI fill after the listing's first row, median: {m(click['first_row_to_filled_ms']):.3f} ms; "
          f"paint events per 50-page discovery: {stall['stall_paints_per_discovery'][0]:.1f}")
    return 1 if table.missed else 0


if __name__ == "__main__":
    sys.exit(main())
