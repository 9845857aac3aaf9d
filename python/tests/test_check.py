"""kvelread.check against `kvel check --format json`: every source form,
options, names, signed parameters and the overflow record."""
import dataclasses
import io
import json
import os
import shutil
import subprocess
import sys

import pytest

import kvelread
from conftest import EVERY_EXAMPLE, EXAMPLES, every_bar_zero, kvel, kvel_check, kvel_dump, pack


def entry(path, *flags):
    return kvel_check(*flags, path)["files"][0]


def without_path(d):
    return {k: v for k, v in d.items() if k != "path"}


@pytest.mark.parametrize("path", EVERY_EXAMPLE, ids=lambda p: p.name)
def test_every_source_form_gives_kvel_checks_entry(path):
    expected = entry(path)
    data = path.read_bytes()
    assert kvelread.check(str(path)).to_dict() == expected
    assert kvelread.check(path).to_dict() == expected
    for image in (data, bytearray(data), memoryview(data), memoryview(bytearray(data))[0:len(data)]):
        assert without_path(kvelread.check(image).to_dict()) == without_path(expected)
    with open(path, "rb") as f:
        assert kvelread.check(f).to_dict() == expected
    assert without_path(kvelread.check(io.BytesIO(data)).to_dict()) == without_path(expected)


@pytest.mark.parametrize("options, flags", [
    ({"warnings": False}, ["--no-warnings"]),
    ({"user_categories": True}, ["--allow-user-categories"]),
    ({"warnings_as_errors": True}, ["--warnings-as-errors"]),
])
def test_options_match_kvels_switches(options, flags):
    expected = kvel_check(*flags, EXAMPLES)["files"]
    assert [kvelread.check(f["path"], **options).to_dict() for f in expected] == expected


@pytest.mark.parametrize("name", ["zöne ♪.kvmf", os.fsdecode(b"\xff\xfe-latin1-\xe9.kvmf"), "missing-ö.kvmf"])
def test_unicode_and_non_utf8_names(tmp_path, name):
    path = tmp_path / name
    if not name.startswith("missing"):
        shutil.copyfile(EXAMPLES / "broken" / "zone.kvmf", path)
    report = kvelread.check(path)
    assert report.path == str(path)  # gives back the name's bytes through os.fsencode
    assert report.to_dict() == entry(path)
    assert kvelread.check(os.fsdecode(os.fsencode(path))).to_dict() == report.to_dict()


def test_parameters_are_signed_where_the_message_shows_ld(tmp_path):
    doc = kvel_dump(EXAMPLES / "minimal.kvmf")
    zone = doc["zoneSubFrame"]["zones"][0]
    zone["bpm"] = -50.0                       # -12001 "BPM %ld": signed
    zone["fadeInStartPosition"] = 0x80000001  # -2010 "(%08lx)": unsigned
    path = pack(doc, tmp_path / "signed.kvmf")
    params = {r.code: r.params for r in kvelread.check(path).records}
    assert params[-12001] == (-50,) and params[-2010] == (0x80000001,)
    assert kvelread.check(path).to_dict() == entry(path)


def test_a_full_list_counts_the_problems_it_could_not_hold(tmp_path):
    path = tmp_path / "overflow.kvmf"
    path.write_bytes(every_bar_zero((EXAMPLES / "song.kvmf").read_bytes()))
    report = kvelread.check(path)
    assert report.unlisted > 0 and report.records[-1].code == -2
    assert report.to_dict() == entry(path)
    # The pooled reader that held the full list checks the next file afresh.
    assert kvelread.check(EXAMPLES / "broken" / "zone.kvmf").to_dict() == entry(EXAMPLES / "broken" / "zone.kvmf")


def test_a_failed_open_after_a_full_list_reports_only_itself(tmp_path):
    path = tmp_path / "overflow.kvmf"
    path.write_bytes(every_bar_zero((EXAMPLES / "song.kvmf").read_bytes()))
    for _ in range(3):
        kvelread.check(path)
        assert [r.code for r in kvelread.check(tmp_path / "missing.kvmf").records] == [-3]


@pytest.mark.parametrize("source, error", [
    (42, TypeError),
    (io.StringIO("KVMF"), TypeError),
    (str(EXAMPLES / "song.kvmf") + "\0.txt", ValueError),
])
def test_sources_that_are_not_files_are_refused(source, error):
    with pytest.raises(error):
        kvelread.check(source)


@pytest.mark.parametrize("source, code", [
    (EXAMPLES / "unloadable" / "truncated.bin", -4),
    (EXAMPLES / "unloadable" / "zero-body-size.bin", -3034),
    (EXAMPLES / "no-such-file.kvmf", -3),
    (b"", -4),
])
def test_read_raises_with_the_librarys_record(source, code):
    with pytest.raises(kvelread.LoadError) as caught:
        kvelread.read(source)
    assert caught.value.record.code == code
    assert caught.value.record.message in str(caught.value)


def test_a_missing_library_is_named_with_what_was_tried(tmp_path):
    env = dict(os.environ, KVELREAD_LIBRARY=str(tmp_path / "libKVELRead.so"))
    script = "import kvelread\ntry:\n    kvelread.check(b'')\nexcept kvelread.LibraryNotFoundError as e:\n    print(e)"
    out = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True).stdout
    assert "KVELREAD_LIBRARY=" + str(tmp_path / "libKVELRead.so") in out and "no such file" in out


def test_codes_are_kvel_codes():
    expected = json.loads(kvel("codes", "--format", "json").stdout)["messages"]
    assert [dataclasses.asdict(c) for c in kvelread.codes()] == expected
