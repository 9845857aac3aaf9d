"""Shared fixtures: the kvel tool of the same build, whose JSON the binding
must match, and files made from the examples."""
import json
import os
import shutil
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"
BUILD = Path(os.environ.get("KVEL_BUILD_DIR", ROOT / "build"))
KVEL = BUILD / "tools" / "kvel"
LOADABLE = sorted(EXAMPLES.rglob("*.kvmf"))
EVERY_EXAMPLE = LOADABLE + sorted((EXAMPLES / "unloadable").glob("*.bin"))


def kvel(*args, input=None):
    return subprocess.run([str(KVEL), *map(os.fsencode, args)], capture_output=True, input=input, check=False)


def kvel_check(*args):
    """`kvel check --format json` on args: the whole document."""
    return json.loads(kvel("check", "--format", "json", "--no-progress", *args).stdout)


def kvel_dump(path):
    return json.loads(kvel("dump", "--format", "json", path).stdout)


def pack(doc, path):
    source = Path(os.fsdecode(path)).with_suffix(".json")
    source.write_text(json.dumps(doc))
    result = kvel("pack", source, "-o", path)
    assert result.returncode == 0, result.stderr
    return path


def first_event_offset(data):
    """Where the records start: after the zone sub-frame, the event
    sub-frame's frameSize and headerSize words, its header and the body size."""
    zone_frame = int.from_bytes(data[20:24], "big")
    header_size = int.from_bytes(data[24 + zone_frame + 4:24 + zone_frame + 8], "big")
    return 24 + zone_frame + 8 + header_size + 4


def every_bar_zero(data):
    """song.kvmf with bar 0 in every record: a problem per record, more than
    the library's list holds."""
    out = bytearray(data)
    for at in range(first_event_offset(data), len(out), 10):
        out[at:at + 2] = (int.from_bytes(out[at:at + 2], "big") & 0xF).to_bytes(2, "big")
    return bytes(out)


def repeated_events(data, copies):
    """song.kvmf with its records `copies` times over, the sizes that count
    them grown to match: a file big enough for the calls that release the
    GIL."""
    first = first_event_offset(data)
    extra = (len(data) - first) * (copies - 1)
    out = bytearray(data + data[first:] * (copies - 1))
    event_frame = 24 + int.from_bytes(data[20:24], "big")
    for at in (16, event_frame, first - 4):  # total, event frame, body sizes
        out[at:at + 4] = (int.from_bytes(out[at:at + 4], "big") + extra).to_bytes(4, "big")
    return bytes(out)


@pytest.fixture(scope="session")
def catalogue(tmp_path_factory):
    """The examples and broken files made here: a list overflowing, a file
    cut short, one that is not KVMF at all, an empty one, a name in capitals,
    one that is not UTF-8, and a directory inside a directory."""
    top = tmp_path_factory.mktemp("catalogue")
    shutil.copytree(EXAMPLES, top / "examples", ignore=shutil.ignore_patterns("*.json", "generator"))
    song = (EXAMPLES / "song.kvmf").read_bytes()
    made = top / "made" / "deeper"
    made.mkdir(parents=True)
    (made / "overflow.kvmf").write_bytes(every_bar_zero(song))
    (made / "cut.kvmf").write_bytes(song[:5000])
    (made / "not-kvmf.kvmf").write_bytes(b"RIFF" + song[4:])
    (made / "empty.kvmf").write_bytes(b"")
    (top / "made" / "CAPITALS.KVMF").write_bytes(song)
    (top / "made" / os.fsdecode(b"\xe9t\xe9-latin1.kvmf")).write_bytes(every_bar_zero(song)[:-10])
    return top
