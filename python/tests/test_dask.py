"""A catalogue checked by a local cluster of two worker processes gives what
`kvel check` gives on the same directory."""
import json
import os
import subprocess
import sys

import pytest

distributed = pytest.importorskip("distributed")
import kvelread.dask  # noqa: E402
from conftest import kvel_check  # noqa: E402


@pytest.fixture(scope="module")
def cluster():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster):
        yield cluster


def test_the_summary_is_kvel_checks(cluster, catalogue):
    expected = kvel_check(catalogue)
    df = kvelread.dask.check([catalogue], partition_size=4)
    assert df.npartitions > 2
    assert kvelread.dask.summary(df) == expected["summary"]
    rows = df.compute()
    as_json = [os.fsencode(p).decode("utf-8", "replace") for p in rows["path"]]
    assert as_json == [f["path"] for f in expected["files"]]
    assert rows["codes"].tolist() == [sorted({r["code"] for r in f["records"]}) for f in expected["files"]]


def test_the_command_writes_kvel_checks_entries_then_the_summary(cluster, catalogue, tmp_path):
    listed = tmp_path / "files.txt"
    listed.write_text(f"{catalogue / 'examples'}\n{catalogue / 'made'}\n")
    expected = kvel_check(catalogue / "examples", catalogue / "made")
    result = subprocess.run([sys.executable, "-m", "kvelread.dask", "--scheduler", cluster.scheduler_address,
                             "--files-from", str(listed), "--partition-size", "3"], capture_output=True, text=True)
    lines = [json.loads(line) for line in result.stdout.splitlines()]
    # Every line says what wrote it, as kvel check's JSON Lines do.
    assert all(line.pop("schemaVersion") == 1 and line.pop("tool")["name"] == "kvelread.dask" for line in lines)
    assert lines == expected["files"] + [{"summary": expected["summary"]}]
    assert result.returncode == expected["summary"]["exitStatus"] == 2
