#!/usr/bin/python3
"""kvel check over corpora: report formats against text, memory against the
number of files, -j 2 against -j 1, and memory under endless and special
inputs. Prints the figures as Markdown tables and exits 1 when a target is
missed.

  bench/kvel_corpus_bench.py build/tools/kvel [--dir DIR] [--repeat N]

The corpora are generated (deterministically) under DIR, by default
$KVEL_BENCH_DIR or the temporary directory, and removed at the end unless
--keep. Times are wall-clock, the best of --repeat runs after one warm-up
run (page cache warm); peak memory is the child's maximum resident set.
"""
import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLES = os.path.join(ROOT, "examples")


def hostile(seed, seeds):
    """One generated file that begins with KVMF and is broken in one of the
    ways that cost a checker most: bytes flipped, fields garbled, cut short,
    or every event at bar 0 (a full list of 1000 records)."""
    rng = random.Random(seed)
    data = bytearray(rng.choice(seeds))
    kind = seed % 6
    if kind == 0:  # flipped bytes anywhere after the header
        for _ in range(rng.randint(1, 40)):
            data[rng.randrange(20, len(data))] = rng.randrange(256)
    elif kind == 1:  # a wrong zone frame size or zone count
        struct.pack_into(">I", data, 20, rng.randrange(0, 4096))
    elif kind == 2:  # cut short
        del data[rng.randrange(20, len(data)):]
    elif kind == 3:  # wrong total frame size
        struct.pack_into(">I", data, 16, rng.randrange(1 << 32))
    else:  # every event's bar number 0: a problem or two for each event
        body = len(data) - (len(data) - 20) % 10
        for off in range(body - 10, 200, -10):
            data[off] = 0
            data[off + 1] &= 0x0F
    return bytes(data)


def make_corpus(path, count, seeds):
    if os.path.isdir(path) and len(os.listdir(path)) == count:
        return path
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    for i in range(count):
        with open(os.path.join(path, "f%06d.kvmf" % i), "wb") as f:
            f.write(hostile(i, seeds))
    return path


def make_copies(path, count, source):
    if os.path.isdir(path) and len(os.listdir(path)) == count:
        return path
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    data = open(source, "rb").read()
    for i in range(count):
        with open(os.path.join(path, "s%06d.kvmf" % i), "wb") as f:
            f.write(data)
    return path


def run(args, stdin=subprocess.DEVNULL, timeout=600):
    """Runs to completion; returns (wall seconds, peak resident KiB, status).
    The peak comes from GNU time: a child forked from this interpreter would
    count the interpreter's own memory as its peak."""
    with tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        status = subprocess.run(["/usr/bin/time", "-q", "-f", "%M", "-o", peak.name] + args, stdin=stdin,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout).returncode
        seconds = time.perf_counter() - start
        return seconds, int(peak.read().split()[-1]), status


def best(args, repeat):
    run(args)  # warm the page cache
    return min(run(args)[0] for _ in range(repeat))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kvel")
    parser.add_argument("--dir", default=os.environ.get("KVEL_BENCH_DIR", tempfile.gettempdir()))
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--keep", action="store_true", help="keep the corpora for the next run")
    opts = parser.parse_args()
    kvel = os.path.abspath(opts.kvel)
    work = os.path.join(opts.dir, "kvel-corpus-bench")
    os.makedirs(work, exist_ok=True)
    seeds = [open(os.path.join(EXAMPLES, n), "rb").read() for n in ("minimal.kvmf", "song.kvmf")]
    failed = []

    def target(name, value, limit, higher=False):
        ok = value >= limit if higher else value <= limit
        if not ok:
            failed.append(name)
        return "met" if ok else "MISSED"

    print("Load average at the start: %.2f %.2f %.2f (%d CPUs)\n" % (os.getloadavg() + (os.cpu_count(),)))
    try:
        h5k = make_corpus(os.path.join(work, "hostile-5000"), 5000, seeds)
        print("## Report formats over 5,000 hostile files (-j 1, best of %d)\n" % opts.repeat)
        print("| format | seconds | against text | target |\n| --- | --- | --- | --- |")
        text = best([kvel, "check", "-j", "1", "--no-progress", h5k], opts.repeat)
        print("| text | %.3f | 1.00 | |" % text)
        for fmt in ("json", "jsonl", "junit"):
            t = best([kvel, "check", "-j", "1", "--no-progress", "--format", fmt, h5k], opts.repeat)
            verdict = target(fmt + " speed", t / text, 1.5) if fmt != "junit" else ""
            print("| %s | %.3f | %.2f | %s |" % (fmt, t, t / text, "1.5, " + verdict if verdict else ""))

        print("\n## Peak memory of a JSON report against the number of files\n")
        print("| files | -j | peak KiB | against 1,000 | target |\n| --- | --- | --- | --- | --- |")
        small = make_corpus(os.path.join(work, "hostile-1000"), 1000, seeds)
        large = make_corpus(os.path.join(work, "hostile-100000"), 100000, seeds)
        for jobs in ("1", "2"):
            base = run([kvel, "check", "-j", jobs, "--format", "json", small])[1]
            big = run([kvel, "check", "-j", jobs, "--format", "json", large])[1]
            print("| 1,000 | %s | %d | | |" % (jobs, base))
            print("| 100,000 | %s | %d | %.2f | 1.2, %s |" % (jobs, big, big / base,
                                                             target("memory -j " + jobs, big / base, 1.2)))
        listed = os.path.join(work, "list")
        with open(listed, "wb") as f:
            for name in sorted(os.listdir(large)):
                f.write(os.path.join(large, name).encode() + b"\0")
        via_list = run([kvel, "check", "--format", "jsonl", "-0", "--files-from", listed])[1]
        print("| 100,000 from --files-from, jsonl | 2 | %d | %.2f | |" % (via_list, via_list / base))

        songs = make_copies(os.path.join(work, "songs-10000"), 10000, os.path.join(EXAMPLES, "song.kvmf"))
        print("\n## Workers over 10,000 files of examples/song.kvmf's size (best of %d)\n" % opts.repeat)
        print("| -j | seconds | speed-up | target |\n| --- | --- | --- | --- |")
        one = best([kvel, "check", "-j", "1", "--no-progress", songs], opts.repeat)
        two = best([kvel, "check", "-j", "2", "--no-progress", songs], opts.repeat)
        print("| 1 | %.3f | 1.00 | |" % one)
        print("| 2 | %.3f | %.2f | 1.7, %s |" % (two, one / two, target("-j 2", one / two, 1.7, higher=True)))

        print("\n## Peak memory under endless and special inputs\n")
        print("| input | status | peak KiB |\n| --- | --- | --- |")
        fifo = os.path.join(work, "fifo.kvmf")
        if not os.path.exists(fifo):
            os.mkfifo(fifo)
        cases = [
            ("check FIFO", [kvel, "check", fifo], None),
            ("dump FIFO", [kvel, "dump", fifo], None),
            ("check /dev/zero", [kvel, "check", "/dev/zero"], None),
            ("dump /dev/zero", [kvel, "dump", "/dev/zero"], None),
            ("check - < /dev/zero, --max-size 64 MiB", [kvel, "check", "--max-size", str(64 << 20), "-"], "/dev/zero"),
            ("check - < /dev/zero, --max-size 1 GiB", [kvel, "check", "--max-size", str(1 << 30), "-"], "/dev/zero"),
        ]
        for name, args, stdin in cases:
            with open(stdin or os.devnull, "rb") as f:
                _, peak, status = run(args, stdin=f)
            print("| %s | %d | %d |" % (name, status, peak))
    finally:
        if not opts.keep:
            shutil.rmtree(work, ignore_errors=True)
    print("\nLoad average at the end: %.2f %.2f %.2f" % os.getloadavg())
    if failed:
        print("\nmissed: " + ", ".join(failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
