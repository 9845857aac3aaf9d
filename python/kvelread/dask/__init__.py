"""Checking a catalogue on a Dask cluster: each partition of paths is checked
by one task on a worker, which needs the package, the library and read
access to the files at the same paths."""
import os

import dask
import dask.dataframe as dd
import pandas as pd

from ..report import check as check_one, escape_path

COLUMNS = {"path": object, "state": object, "errors": "int64", "warnings": "int64", "unlisted": "int64",
           "codes": object}
PARTITION_SIZE = 256


def _is_kvmf(name):
    return name.lower().endswith(".kvmf")


def expand(paths, problems=None):
    """The files to check, as `kvel check` finds them: a file as it is given,
    a directory as every *.kvmf below it (any letter case), sorted. A
    directory that cannot be read raises OSError, or is described in
    `problems` when a list is given."""
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    files = []
    for path in paths:
        path = os.fsdecode(path)
        if not os.path.isdir(path):
            files.append(path)
            continue

        def fail(error):
            if problems is None:
                raise error
            problems.append(f"cannot read directory {error.filename}: {error.strerror}")

        found = [os.path.join(top, name) for top, _, names in os.walk(path, onerror=fail)
                 for name in names if _is_kvmf(name) and os.path.isfile(os.path.join(top, name))]
        files += sorted(found, key=os.fsencode)  # byte order, as kvel sorts
    return files


def chunks(files, size=PARTITION_SIZE):
    return [files[i:i + size] for i in range(0, len(files), size)]


def check_partition(paths, options):
    """One row per file; runs on a worker."""
    rows = []
    for path in paths:
        r = check_one(path, **options)
        # The path as kvel's reports show it, escapes and all.
        rows.append((escape_path(os.fsencode(r.path)), r.state, r.errors, r.warnings, r.unlisted, sorted({x.code for x in r.records})))
    return pd.DataFrame(rows, columns=list(COLUMNS)).astype(COLUMNS)


def report_partition(paths, options):
    """Each file's entry as `kvel check --format json` writes it; runs on a
    worker."""
    return [check_one(path, **options).to_dict() for path in paths]


def _meta():
    return pd.DataFrame({name: pd.Series(dtype=kind) for name, kind in COLUMNS.items()})


def check(paths, *, partition_size=PARTITION_SIZE, **options):
    """A Dask DataFrame with one row per file: path, state, errors, warnings,
    unlisted and the codes seen. `paths` are files and directories; options
    are those of kvelread.check. Nothing runs until the frame is computed."""
    parts = [dask.delayed(check_partition)(part, options) for part in chunks(expand(paths), partition_size)]
    if not parts:
        return dd.from_pandas(_meta(), npartitions=1)
    return dd.from_delayed(parts, meta=_meta())


def totals(states, errors, warnings, unlisted):
    """The summary of `kvel check --format json` from the state counts and
    the summed problem counts."""
    valid, invalid, not_checked = (int(states.get(s, 0)) for s in ("valid", "invalid", "not-checked"))
    status = 2 if not_checked else 1 if invalid else 0
    return {"files": valid + invalid + not_checked, "valid": valid, "invalid": invalid,
            "notChecked": not_checked, "errors": int(errors), "warnings": int(warnings),
            "unlisted": int(unlisted), "exitStatus": status}


def summary(df):
    """The totals of `kvel check`'s summary, computed in one pass over df."""
    states, sums = dask.compute(df["state"].value_counts(), df[["errors", "warnings", "unlisted"]].sum())
    return totals(states, sums["errors"], sums["warnings"], sums["unlisted"])
