"""kvelread.read against `kvel dump`: the frames, the NumPy layout of the
events, and the helpers against the dump's text form."""
import re

import numpy as np
import pytest

import kvelread
from conftest import EXAMPLES, LOADABLE, kvel, kvel_dump
from kvelread._messages import NAMES

CATEGORY = {json: number for number, json, _ in NAMES["kCategories"]}
OUTLINE = {json: number for number, json, _ in NAMES["kOutlineCodes"]}
MASKS = NAMES["masks"]
NO_POSITION = 0xFFFFFFFF


def value_of(event):
    """The value word a dumped event stands for, put together from its
    decoded fields."""
    category = CATEGORY.get(event["category"], event["category"])
    data = event.get("data", 0)
    data |= MASKS["kBarStartBit"] * event.get("barStart", False)
    data |= MASKS["kUncountedBit"] * event.get("uncounted", False)
    data |= event.get("chord", 0) << 8 | event.get("tones", 0) << 5 | event.get("sharpFlat", 0)
    data |= event.get("melody", 0)
    outline = event.get("outline")
    if outline == "terminator":
        data |= OUTLINE["zone"] | 0xFFFF << 7
    elif outline is not None:
        data |= OUTLINE.get(outline, outline) | event.get("zone", 0) << 7
    return event.get("bit31", False) << 31 | category << 24 | data


@pytest.mark.parametrize("path", LOADABLE, ids=lambda p: p.name)
def test_frames_and_events_match_kvel_dump(path):
    dump = kvel_dump(path)
    song = kvelread.read(path)
    head = dump["mainHeader"]
    assert song.header.signature.decode() == head["signature"] and song.header.version == head["version"]
    assert song.header.totalFrameSize == head["totalFrameSize"]

    zones = dump["zoneSubFrame"]
    assert (song.zoneSubFrame.frameSize, song.zoneSubFrame.zoneCount) == (zones["frameSize"], zones["zoneCount"])
    for zone, dumped in zip(song.zones, zones["zones"], strict=True):
        for name, value in dumped.items():
            assert getattr(zone, name) == (NO_POSITION if value is None else value), name

    frame = dump["eventSubFrame"]
    for name in ("frameSize", "headerSize", "sampleRate", "totalSamples", "channelCount", "masterTune",
                 "totalEventCount", "eventBodySize"):
        assert getattr(song.eventSubFrame, name) == frame[name], name
    assert [(c >> 24 & 0x7F, c & 0xFFFFFF) for c in song.eventSubFrame.categories] == \
        [(CATEGORY.get(c["category"], c["category"]), c["eventCount"]) for c in frame["categories"]]

    events = frame["events"]
    assert song.events.dtype.names == ("bar", "beat", "category", "value", "sample")
    assert song.events["bar"].tolist() == [0xFFF if e["bar"] is None else e["bar"] for e in events]
    assert song.events["beat"].tolist() == [e["beat"] for e in events]
    assert song.events["sample"].tolist() == [e["samplePosition"] for e in events]
    assert song.events["value"].tolist() == [value_of(e) for e in events]
    assert song.events["category"].tolist() == [v >> 24 & 0x7F for v in song.events["value"].tolist()]


def test_bytes_and_file_objects_read_as_the_path_does():
    path = EXAMPLES / "song.kvmf"
    expected = kvelread.read(path)
    with open(path, "rb") as f:
        for song in (kvelread.read(path.read_bytes()), kvelread.read(f)):
            assert song.header == expected.header and song.zones == expected.zones
            assert np.array_equal(song.events, expected.events)


def dump_text(path):
    return kvel("dump", path).stdout.decode()


# "  %5zu  %8zu  %-8s  %10u  %10s  %-16s  %s": the data column starts at 71.
DATA_COLUMN = 71


def dumped_event_data(path):
    """{index: data column} of the dump's event table."""
    lines = dump_text(path).split("  index  position")[1].splitlines()[1:]
    return {int(line[:7]): line[DATA_COLUMN:] for line in lines if line.strip()}


@pytest.mark.parametrize("path", LOADABLE, ids=lambda p: p.name)
def test_every_event_is_described_as_kvel_dump_shows_it(path):
    values = kvelread.read(path).events["value"].tolist()
    assert [kvelread.describe_event(v) for v in values] == list(dumped_event_data(path).values())


def test_chord_names_are_the_dumps():
    path = EXAMPLES / "song.kvmf"
    lines = dumped_event_data(path)
    chords = kvelread.read(path).chords()
    assert set(chords["category"].tolist()) == {8, 9}
    assert [lines[i] for i in chords["index"]] == chords["name"].tolist()


def minutes(seconds):
    ms = int(round(seconds * 1000))
    return f"{ms // 60000}:{ms // 1000 % 60:02d}.{ms % 1000:03d}"


def test_tempo_map_is_the_dumps_zone_table():
    text = dump_text(EXAMPLES / "song.kvmf")
    rows = [line.split() for line in text.splitlines() if re.match(r"^\s+\d+\s+\d+\s+\d+:\d\d\.\d{3}\s+\d+", line)]
    table = kvelread.read(EXAMPLES / "song.kvmf").tempo_map()
    assert len(rows) == len(table) == 5
    for row, zone in zip(rows, table):
        assert row[:8] == [str(zone["zone"]), str(zone["start_position"]), minutes(zone["start"]),
                           str(zone["end_position"]), minutes(zone["end"]), f"{zone['bpm']:.2f}",
                           f"{zone['meter_numerator']}/{zone['meter_denominator']}", str(zone["bar_count"])]


def test_beats_carry_bar_numbers_and_times():
    song = kvelread.read(EXAMPLES / "minimal.kvmf")
    beats = song.beats()
    assert beats[["bar", "beat"]].tolist() == [(1, 1), (1, 2), (1, 3), (1, 4), (2, 1), (2, 2), (2, 3), (2, 4)]
    assert beats["bar_start"].tolist() == [True, False, False, False, True, False, False, False]
    assert beats["time"].tolist() == [0.5 * i for i in range(8)]
