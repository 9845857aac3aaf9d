#!/usr/bin/python3
"""Times the Python package against the kvel tool (best of --repeat runs,
wall clock, page cache warm):

  check   kvelread.check over --files copies of examples/song.kvmf, one call
          after another, against `kvel check -j 1 -q --no-progress` on the
          same files in one process;
  threads the same calls from 2 threads of a ThreadPoolExecutor against 1,
          taking turns (with the process CPU time of the best runs); and
          again over --big-files files of --big-events events each; and
          `kvel check -j 2` against `-j 1` on the small files, what two
          threads of the library itself reach on this machine;
  read    kvelread.read of a 10^6-event file against `kvel check` of it.

Usage: KVELREAD_LIBRARY=build/KVELRead/libKVELRead.so PYTHONPATH=python \\
       bench/python_bench.py [--build build] [--files 5000] [--repeat 5]
The 10^6-event file is written by build/bench/kvel_bench_file
(cmake --build build --target kvel_bench_file)."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import kvelread

ROOT = Path(__file__).resolve().parents[1]


def best(repeat, run):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def best_alternating(repeat, *runs):
    """Best wall time of each run, taking turns, so that a quiet moment of a
    shared machine reaches each of them alike; and the process CPU time of
    that best run (above the wall time when threads ran at the same time)."""
    out = [(float("inf"), 0.0)] * len(runs)
    for _ in range(repeat):
        for i, run in enumerate(runs):
            wall, cpu = time.perf_counter(), time.process_time()
            run()
            wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
            out[i] = min(out[i], (wall, cpu))
    return out


def command(args):
    return lambda: subprocess.run(args, stdout=subprocess.DEVNULL, check=False)


def in_threads(paths, threads):
    def run():
        with ThreadPoolExecutor(max_workers=threads) as pool:
            # Large chunks: one task per slice, so that the pool's own hand-off
            # is not what is timed.
            slices = [paths[i::threads] for i in range(threads)]
            list(pool.map(lambda part: [kvelread.check(p) for p in part], slices))
    return run


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--build", default=str(ROOT / "build"))
    p.add_argument("--files", type=int, default=5000)
    p.add_argument("--events", type=int, default=1000000)
    p.add_argument("--big-files", type=int, default=200)
    p.add_argument("--big-events", type=int, default=100000)
    p.add_argument("--repeat", type=int, default=5)
    args = p.parse_args()
    kvel = os.path.join(args.build, "tools", "kvel")
    writer = os.path.join(args.build, "bench", "kvel_bench_file")

    with tempfile.TemporaryDirectory(prefix="kvel-python-bench.") as tmp:
        paths = [os.path.join(tmp, f"song{i:05d}.kvmf") for i in range(args.files)]
        for path in paths:
            shutil.copyfile(ROOT / "examples" / "song.kvmf", path)
        assert all(kvelread.check(p).state == "valid" for p in paths)

        tool = best(args.repeat, command([kvel, "check", "-j", "1", "-q", "--no-progress", *paths]))
        tool_two = best(args.repeat, command([kvel, "check", "-j", "2", "-q", "--no-progress", *paths]))
        serial = best(args.repeat, lambda: [kvelread.check(p) for p in paths])
        (one, one_cpu), (two, two_cpu) = best_alternating(args.repeat, in_threads(paths, 1), in_threads(paths, 2))

        bigs = [os.path.join(tmp, f"big{i:03d}.kvmf") for i in range(args.big_files)]
        subprocess.run([writer, str(args.big_events), "2", bigs[0]], check=True, stdout=subprocess.DEVNULL)
        for path in bigs[1:]:
            shutil.copyfile(bigs[0], path)
        (big_one, big_one_cpu), (big_two, big_two_cpu) = best_alternating(
            args.repeat, in_threads(bigs, 1), in_threads(bigs, 2))

        big = os.path.join(tmp, "big.kvmf")
        subprocess.run([writer, str(args.events), "2", big], check=True, stdout=subprocess.DEVNULL)
        tool_big = best(args.repeat, command([kvel, "check", "-j", "1", "-q", "--no-progress", big]))
        read_big = best(args.repeat, lambda: kvelread.read(big))

    n = args.files
    print(f"check, {n} files of {os.path.getsize(ROOT / 'examples' / 'song.kvmf')} bytes:")
    print(f"  kvel check -j 1    {tool:8.3f} s  {tool / n * 1e6:6.1f} us a file")
    print(f"  kvelread.check     {serial:8.3f} s  {serial / n * 1e6:6.1f} us a file"
          f"   ratio {serial / tool:.2f} (target <= 2)")
    print(f"threads: 1 thread {one:.3f} s (CPU {one_cpu:.3f} s), 2 threads {two:.3f} s (CPU {two_cpu:.3f} s)"
          f"   speed-up {one / two:.2f} (target >= 1.7)")
    print(f"  kvel check -j 2    {tool_two:8.3f} s   speed-up over -j 1 {tool / tool_two:.2f}")
    print(f"threads, {args.big_files} files of {args.big_events} events: 1 thread {big_one:.3f} s"
          f" (CPU {big_one_cpu:.3f} s), 2 threads {big_two:.3f} s (CPU {big_two_cpu:.3f} s)"
          f"   speed-up {big_one / big_two:.2f} (target >= 1.7)")
    print(f"read, {args.events} events:")
    print(f"  kvel check         {tool_big * 1e3:8.1f} ms")
    print(f"  kvelread.read      {read_big * 1e3:8.1f} ms   ratio {read_big / tool_big:.2f} (target <= 3)")


if __name__ == "__main__":
    sys.exit(main())
