"""python3 -m kvelread.dask --scheduler ADDRESS (--files-from FILE | PATH...)

Checks a catalogue on a running Dask cluster and writes a JSON Lines report:
one object per file, as `kvel check --format json` writes its file entries,
in the order the files were named or found, then {"summary": {...}}; each
line, like kvel check's JSON Lines, begins with the schema version and what
wrote it. Exits
with the summary's exit status."""
import argparse
import collections
import json
import os
import sys

from importlib import metadata

from . import PARTITION_SIZE, chunks, expand, report_partition, totals


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        # Usage errors exit 3, as kvel's do; 2 means a file could not be read.
        self.print_usage(sys.stderr)
        self.exit(3, f"{self.prog}: error: {message}\n")



def _tool():
    try:
        return {"name": "kvelread.dask", "version": metadata.version("kvelread")}
    except metadata.PackageNotFoundError:  # run from the source tree
        return {"name": "kvelread.dask"}

def _arguments(argv):
    p = _Parser(prog="python3 -m kvelread.dask", description=__doc__.split("\n\n")[1])
    p.add_argument("--scheduler", required=True, help="the scheduler's address, e.g. tcp://host:8786")
    p.add_argument("--files-from", metavar="FILE", help="read the paths from FILE, one a line ('-': standard input)")
    p.add_argument("--format", choices=["jsonl"], default="jsonl")
    p.add_argument("--no-warnings", action="store_true", help="hold back every warning")
    p.add_argument("--allow-user-categories", action="store_true", help="accept categories 112 to 126")
    p.add_argument("--warnings-as-errors", action="store_true", help="a file with a warning is invalid")
    p.add_argument("--timeout", type=float, default=30, help="seconds to wait for the scheduler")
    p.add_argument("--partition-size", type=int, default=PARTITION_SIZE, help="files checked by one task")
    p.add_argument("-o", "--output", metavar="FILE", help="write the report to FILE, not standard output")
    p.add_argument("paths", nargs="*", metavar="PATH")
    args = p.parse_args(argv)
    if bool(args.files_from) == bool(args.paths):
        p.error("give --files-from FILE or PATH..., one of the two")
    return args


def _listed(name):
    stream = sys.stdin.buffer if name == "-" else open(name, "rb")
    with stream:
        # Bytes, so that a name that is not UTF-8 comes through unchanged.
        return [os.fsdecode(line.rstrip(b"\r\n")) for line in stream if line.strip()]


def main(argv=None):
    args = _arguments(argv)
    from distributed import Client

    options = {"warnings": not args.no_warnings, "user_categories": args.allow_user_categories,
               "warnings_as_errors": args.warnings_as_errors}
    problems = []
    files = expand(_listed(args.files_from) if args.files_from else args.paths, problems)
    for problem in problems:
        print(f"kvelread.dask: {problem}", file=sys.stderr)
    if not args.output:
        sys.stdout.reconfigure(encoding="utf-8")
    out = open(args.output, "w", encoding="utf-8") if args.output else sys.stdout
    states = collections.Counter()
    sums = collections.Counter()
    head = {"schemaVersion": 1, "tool": _tool()}
    try:
        client = Client(args.scheduler, timeout=args.timeout)
    except (OSError, TimeoutError) as e:
        print(f"kvelread.dask: cannot reach the scheduler at {args.scheduler}: {e}", file=sys.stderr)
        return 2
    with client:
        futures = client.map(report_partition, chunks(files, args.partition_size), options=options, pure=False)
        for future in futures:  # in order; later partitions keep running meanwhile
            for entry in future.result():
                states[entry["state"]] += 1
                sums.update(entry["counts"])
                out.write(json.dumps({**head, **entry}, ensure_ascii=False) + "\n")
            future.release()
    summary = totals(states, sums["errors"], sums["warnings"], sums["unlisted"])
    if problems:
        summary["exitStatus"] = 2  # as for a file that could not be read
    out.write(json.dumps({**head, "summary": summary}) + "\n")
    out.flush()
    return summary["exitStatus"]


if __name__ == "__main__":
    sys.exit(main())
