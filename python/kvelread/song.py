"""kvelread.read: a file's frames as dataclasses and its events as one
NumPy array, with what people plot: beats, chords, tempo and meter."""
import ctypes
from dataclasses import dataclass, fields

import numpy as np

from . import _reader
from ._layout import EVENT_DTYPE, EVENT_SUBFRAME_DTYPE, MAIN_HEADER_FIELDS, ZONE_DTYPE, ZONE_HEADER_SIZE
from ._lib import lib
from ._messages import NAMES
from .errors import LoadError

NO_BAR = 0xFFF           # bar value of an event that lies in no bar
NO_POSITION = 0xFFFFFFFF  # a fade that is not given
CATEGORY_BEAT, CATEGORY_CHORD, CATEGORY_ABSOLUTE_CHORD, CATEGORY_MELODY, CATEGORY_OUTLINE = 1, 8, 9, 16, 47
OUTLINE_ZONE = 1
ZONE_TERMINATOR = 0xFFFF

# One row per event: the fields of the record, taken apart.
EVENTS_DTYPE = np.dtype([("bar", "u2"), ("beat", "u1"), ("category", "u1"), ("value", "u4"), ("sample", "u4")])


@dataclass(slots=True)
class MainHeader:
    signature: bytes
    engineId: bytes
    applicationId: bytes
    version: int
    level: int
    totalFrameSize: int


@dataclass(slots=True)
class Zone:
    zoneNumber: int
    zoneStartPosition: int
    zoneEndPosition: int
    fadeInStartPosition: int
    fadeInEndPosition: int
    fadeOutStartPosition: int
    fadeOutEndPosition: int
    bpm: float
    meterDenominator: int
    meterNumerator: int
    barCount: int
    key: int
    reserved0: int
    reserved1: int
    reserved2: int
    reserved3: int
    reserved4: int
    reserved5: int


@dataclass(slots=True)
class ZoneSubFrame:
    frameSize: int
    zoneCount: int
    zones: tuple


@dataclass(slots=True)
class EventSubFrame:
    frameSize: int
    headerSize: int
    sampleRate: int
    totalSamples: int
    effectiveStart: int
    effectiveEnd: int
    channelCount: int
    bitsPerSample: int
    categoryCount: int
    masterTune: int
    totalEventCount: int
    categories: tuple  # raw entries: bits 24-30 category, bits 0-23 event count
    eventBodySize: int


assert [f.name for f in fields(Zone)] == list(ZONE_DTYPE.names)
assert [f.name for f in fields(MainHeader)] == [name for name, _ in MAIN_HEADER_FIELDS]


@dataclass(slots=True)
class Song:
    path: str | None
    header: MainHeader
    zoneSubFrame: ZoneSubFrame
    eventSubFrame: EventSubFrame
    events: np.ndarray  # EVENTS_DTYPE, one row per event record in file order

    @property
    def zones(self):
        return self.zoneSubFrame.zones

    @property
    def sample_rate(self):
        return self.eventSubFrame.sampleRate

    def seconds(self, samples=None):
        """Sample positions (the events' by default) in seconds at the file's
        sample rate; NaN when the file gives none."""
        samples = self.events["sample"] if samples is None else np.asarray(samples)
        if self.sample_rate == 0:
            return np.full(np.shape(samples), np.nan)
        return samples / float(self.sample_rate)

    def _of(self, categories, extra):
        mask = np.isin(self.events["category"], categories)
        picked = self.events[mask]
        out = np.empty(len(picked), np.dtype([("index", "i8"), ("bar", "u2"), ("beat", "u1"), ("sample", "u4"),
                                              ("time", "f8")] + extra))
        out["index"] = np.flatnonzero(mask)
        for name in ("bar", "beat", "sample"):
            out[name] = picked[name]
        out["time"] = self.seconds(picked["sample"])
        return out, picked

    def beats(self):
        """The beat events: index, bar and beat numbers, sample, time in
        seconds, and the bar-start and uncounted flags."""
        masks = NAMES["masks"]
        out, picked = self._of([CATEGORY_BEAT], [("bar_start", "?"), ("uncounted", "?")])
        out["bar_start"] = picked["value"] & masks["kBarStartBit"] != 0
        out["uncounted"] = picked["value"] & masks["kUncountedBit"] != 0
        return out

    def chords(self):
        """Chord and absolute chord events: `chord` holds the chord number
        (category 8) or the tones (category 9), `name` the chord as
        `kvel dump` shows it."""
        masks = NAMES["masks"]
        out, picked = self._of([CATEGORY_CHORD, CATEGORY_ABSOLUTE_CHORD],
                               [("category", "u1"), ("chord", "u4"), ("sharp_flat", "u1"), ("name", "U48")])
        value = picked["value"]
        out["category"] = picked["category"]
        out["chord"] = np.where(picked["category"] == CATEGORY_CHORD, (value & masks["kChordMask"]) >> 8,
                                (value & masks["kTonesMask"]) >> 5)
        out["sharp_flat"] = value & masks["kSharpFlatMask"]
        out["name"] = [describe_event(int(v)) for v in value]
        return out

    def tempo_map(self):
        """One row per zone: its start and end (event positions, the samples
        and times of the events there; -1 and NaN where no event is), tempo,
        meter, bar count and key number."""
        out = np.empty(len(self.zones), np.dtype([
            ("zone", "u2"), ("start_position", "u4"), ("end_position", "u4"), ("start_sample", "i8"),
            ("end_sample", "i8"), ("start", "f8"), ("end", "f8"), ("bpm", "f4"), ("meter_numerator", "u1"),
            ("meter_denominator", "u1"), ("bar_count", "u2"), ("key", "u1")]))
        columns = {"zone": "zoneNumber", "start_position": "zoneStartPosition", "end_position": "zoneEndPosition",
                   "bpm": "bpm", "meter_numerator": "meterNumerator", "meter_denominator": "meterDenominator",
                   "bar_count": "barCount", "key": "key"}
        for column, name in columns.items():
            out[column] = [getattr(z, name) & 0x7F if name == "key" else getattr(z, name) for z in self.zones]
        for end in ("start", "end"):
            samples = self._samples_at(out[f"{end}_position"])
            out[f"{end}_sample"] = samples
            out[end] = np.where(samples >= 0, self.seconds(np.maximum(samples, 0)), np.nan)
        return out

    def _samples_at(self, positions):
        """The sample of the event at each event position, -1 where none is."""
        index, rest = np.divmod(positions.astype("i8"), EVENT_DTYPE.itemsize)
        found = (rest == 0) & (index < len(self.events))
        out = np.full(len(positions), -1, "i8")
        out[found] = self.events["sample"][index[found]]
        return out


def _events(first, count):
    # A view of the converted records, read once into the result's fields
    # with no temporaries (fresh memory costs page faults); nothing is
    # converted per event in Python.
    out = np.empty(count, EVENTS_DTYPE)
    if count == 0:
        return out
    raw = np.frombuffer((ctypes.c_char * (count * EVENT_DTYPE.itemsize)).from_address(first), EVENT_DTYPE)
    bar_beat, value = raw["barBeat"], raw["value"]
    np.right_shift(bar_beat, 4, out=out["bar"])
    np.bitwise_and(bar_beat, 0xF, out=out["beat"], casting="unsafe")
    np.right_shift(value, 24, out=out["category"], casting="unsafe")
    np.bitwise_and(out["category"], 0x7F, out=out["category"])
    out["value"] = value
    out["sample"] = raw["samplePosition"]
    return out


def _frames(L, reader):
    zone_frame = L.ReaderGetZoneSubFrame(reader)
    event_frame = L.ReaderGetEventSubFrame(reader)
    first = L.ReaderGetFirstEvent(reader)
    frame_size, zone_count = np.frombuffer(ctypes.string_at(zone_frame, ZONE_HEADER_SIZE), "=u4,=u2")[0].item()
    zones = np.frombuffer(ctypes.string_at(zone_frame + ZONE_HEADER_SIZE, zone_count * ZONE_DTYPE.itemsize),
                          ZONE_DTYPE)
    head = np.frombuffer(ctypes.string_at(event_frame, EVENT_SUBFRAME_DTYPE.itemsize), EVENT_SUBFRAME_DTYPE)[0]
    categories = np.frombuffer(
        ctypes.string_at(event_frame + EVENT_SUBFRAME_DTYPE.itemsize, 4 * int(head["categoryCount"])), "=u4")
    # The body size word lies just before the first record.
    body_size = int(np.frombuffer(ctypes.string_at(first - 4, 4), "=u4")[0])
    # Column by column: a structured array's own tolist() is ten times slower.
    columns = [zones[name].tolist() for name in ZONE_DTYPE.names]
    zone_sub_frame = ZoneSubFrame(frame_size, zone_count, tuple(Zone(*z) for z in zip(*columns)))
    event_sub_frame = EventSubFrame(*head.item(), categories=tuple(categories.tolist()), eventBodySize=body_size)
    events = _events(first, body_size // EVENT_DTYPE.itemsize)
    return zone_sub_frame, event_sub_frame, events


def read(source):
    """Loads `source` (a path, a file's bytes or a binary file object) and
    returns its frames and events. Raises LoadError, with the library's
    record, when the file cannot be loaded. The file is not checked:
    kvelread.check says whether it is valid."""
    kind, payload, path = _reader.source_of(source)
    L = lib()
    reader = _reader.acquire(L)
    try:
        header = _reader.MAIN_HEADER()
        failed_from = _reader.load(L, reader, kind, payload, header)
        if failed_from is not None:
            raise LoadError(_reader.records(L, reader, failed_from), path)
        main = MainHeader(bytes(header.signature), bytes(header.engineId), bytes(header.applicationId),
                          header.version, header.level, header.totalFrameSize)
        L = L.sized(header.totalFrameSize)
        return Song(path, main, *_frames(L, reader))
    finally:
        _reader.release(L, reader)


def _names(key, column):
    return {row[0]: row[column] for row in NAMES[key]}


_OUTLINE_TEXT = _names("kOutlineCodes", 2)



def describe_event(value):
    """The data of an event's value word as `kvel dump` shows it."""
    m = NAMES["masks"]
    data, category = value & 0xFFFFFF, (value >> 24) & 0x7F
    text, shown = "", 0
    if category == CATEGORY_BEAT:
        bar_start, uncounted = data & m["kBarStartBit"], data & m["kUncountedBit"]
        text = ("bar start, uncounted" if bar_start and uncounted else "bar start" if bar_start
                else "uncounted" if uncounted else "-")
        shown = m["kBarStartBit"] | m["kUncountedBit"]
    elif category == CATEGORY_CHORD:
        text = f"chord 0x{(data & m['kChordMask']) >> 8:02x} flag {data & m['kSharpFlatMask']}"
        shown = m["kChordMask"] | m["kSharpFlatMask"]
    elif category == CATEGORY_ABSOLUTE_CHORD:
        text = f"tones 0x{(data & m['kTonesMask']) >> 5:05x} flag {data & m['kSharpFlatMask']}"
        shown = m["kTonesMask"] | m["kSharpFlatMask"]
    elif category == CATEGORY_MELODY:
        text = f"melody 0x{data & m['kMelodyMask']:03x}"
        shown = m["kMelodyMask"]
    elif category == CATEGORY_OUTLINE:
        code, zone = data & m["kOutlineCodeMask"], (data & m["kZoneNumberMask"]) >> 7
        shown = m["kOutlineCodeMask"]
        if code == OUTLINE_ZONE:
            text = "zone terminator" if zone == ZONE_TERMINATOR else f"zone {zone}"
            shown |= m["kZoneNumberMask"]
        else:
            text = _OUTLINE_TEXT.get(code, f"invalid outline code {code}")
    if data & ~shown:
        text += f"{' + ' if text else ''}data 0x{data & ~shown:06x}"
    if value >> 31:
        text += " [bit 31]"
    return text
