#!/usr/bin/python3
"""Runs kvel_bench of two builds row by row, taking turns, and prints each
row's best time in both and the change. On a shared machine a quiet moment
then reaches both builds alike, where two whole runs one after the other
would each meet a different load. A row's time is its shortest iteration
when both builds report it (kvel_bench's "best_ns"), else its mean one.

Usage: bench/side_by_side.py OLD_BUILD NEW_BUILD [--filter REGEX] [--turns 3]
Each build is a directory holding bench/kvel_bench (the bench preset's
build-bench/, or a worktree of an older commit built the same way)."""
import argparse
import json
import os
import subprocess
import sys
import tempfile


def rows(bench, pattern):
    out = subprocess.run([bench, "--benchmark_list_tests", f"--benchmark_filter={pattern}"],
                         capture_output=True, text=True, check=True).stdout
    return [line for line in out.splitlines() if line]


def best_times(bench, row, repetitions):
    """The best of `repetitions` runs of one row, in nanoseconds: of their
    mean iteration times, and of their shortest iterations (None when the
    build does not report those)."""
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run([bench, f"--benchmark_filter=^{row}$", f"--benchmark_repetitions={repetitions}",
                        f"--benchmark_out={out.name}", "--benchmark_out_format=json"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        report = json.load(out)
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}
    runs = [b for b in report["benchmarks"] if b.get("run_type") == "iteration"]
    mean = min(b["real_time"] * scale[b["time_unit"]] for b in runs)
    shortest = min(b["best_ns"] for b in runs) if all("best_ns" in b for b in runs) else None
    return mean, shortest


def shown(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:8.3f} {unit}"
    return f"{ns:8.1f} ns"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("old")
    p.add_argument("new")
    p.add_argument("--filter", default=".")
    p.add_argument("--turns", type=int, default=3)
    p.add_argument("--repetitions", type=int, default=3)
    args = p.parse_args()
    old, new = (os.path.join(d, "bench", "kvel_bench") for d in (args.old, args.new))
    for bench in (old, new):
        if not os.access(bench, os.X_OK):
            sys.exit(f"side_by_side: no {bench}; build it with the bench preset (cmake --build --preset bench)")
    print(f"{'row':52} {'old':>11} {'new':>11}  change")
    for row in rows(new, args.filter):
        means, shortest = [float("inf")] * 2, [float("inf")] * 2
        both_report_shortest = True
        for _ in range(args.turns):
            for i, bench in enumerate((old, new)):
                mean, short = best_times(bench, row, args.repetitions)
                means[i] = min(means[i], mean)
                if short is None:
                    both_report_shortest = False
                else:
                    shortest[i] = min(shortest[i], short)
        # The shortest iteration moves least with the load of a shared
        # machine; when a build does not report it, both are compared by
        # their mean iterations (marked "mean").
        best, how = (shortest, "") if both_report_shortest else (means, " mean")
        name = row.replace("/manual_time", "")
        print(f"{name:52} {shown(best[0])} {shown(best[1])}  {100 * (best[1] / best[0] - 1):+6.1f} %{how}",
              flush=True)


if __name__ == "__main__":
    sys.exit(main())
