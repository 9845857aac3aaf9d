"""Sources, readers and the error list.

Every call loads into a reader of its own taken from a pool, so that no two
calls share a reader at the same time; a reader is pooled rather than freed
because its first check allocates tables that a new reader would allocate
again (they cost more than checking a small file).
"""
import ctypes
import os

import numpy as np

from ._layout import ERROR_RECORD, MAIN_HEADER
from ._lib import lib
from ._messages import SIGNED, severity
from .errors import Record

_LINE_SIZE = 4096
_free = []  # list.pop and list.append are atomic under the GIL


def source_of(source):
    """(kind, payload, path): a path to open, or bytes to load as a file's
    content; `path` is what reports show, None for bytes."""
    if isinstance(source, (str, os.PathLike)):
        # os.fsencode gives back the bytes of a non-UTF-8 name that
        # os.fsdecode or os.listdir turned into a str.
        name = os.fsencode(source)
        if b"\0" in name:
            # The library would open the name up to the first one: another file.
            raise ValueError("kvelread: embedded null byte in the path")
        return "path", name, os.fsdecode(source)
    if isinstance(source, (bytes, bytearray, memoryview)):
        return "image", source, None
    if hasattr(source, "read"):
        data = source.read()
        if not isinstance(data, (bytes, bytearray, memoryview)):
            raise TypeError("kvelread: the file object must be opened in binary mode")
        name = getattr(source, "name", None)
        return "image", data, os.fsdecode(name) if isinstance(name, (str, bytes)) else None
    raise TypeError(f"kvelread: cannot read a {type(source).__name__}: give a path, bytes or a binary file object")


def acquire(L):
    try:
        return _free.pop()
    except IndexError:
        reader = L.CreateReader()
        if not reader:
            raise MemoryError("kvelread: no memory for a reader")
        return reader


def release(L, reader):
    L.ReaderCloseFile(reader)
    # A load that fails before the file opens (-3) appends behind the records
    # already listed, and a full list would swallow its record. Loading an
    # empty image empties the list and fails with one record (-4), so a
    # pooled reader never starts near the list's capacity.
    if L.ReaderGetErrorCount(reader) > 1:
        L.ReaderLoadFileImage(reader, b"", 0, ctypes.byref(MAIN_HEADER()))
    _free.append(reader)


def load(L, reader, kind, payload, header):
    """Loads into `reader`, copying the main header to `header`; returns the
    index of the load's first record when it failed, or None. Then
    L.sized(header.totalFrameSize) are the calls for the loaded file."""
    before = L.ReaderGetErrorCount(reader)
    if kind == "path":
        failed = L.ReaderOpenFile(reader, payload, ctypes.byref(header))
    elif isinstance(payload, bytes):
        failed = L.sized(len(payload)).ReaderLoadFileImage(reader, payload, len(payload), ctypes.byref(header))
    else:
        try:
            view = np.frombuffer(payload, dtype=np.uint8)
        except (ValueError, TypeError):  # not contiguous
            view = np.frombuffer(bytes(payload), dtype=np.uint8)
        failed = L.sized(view.nbytes).ReaderLoadFileImage(reader, view.ctypes.data, view.nbytes,
                                                         ctypes.byref(header))
    if not failed:
        return None
    # A failure before the file opened appends behind the old records, one
    # after it empties the list and leaves only its own.
    return before if L.ReaderGetErrorCount(reader) > before else 0


def records(L, reader, first):
    count = L.ReaderGetErrorCount(reader)
    if count <= first:
        return []
    record = ERROR_RECORD()
    line = ctypes.create_string_buffer(_LINE_SIZE)
    out = []
    for i in range(first, count):
        L.ReaderGetErrorRecord(reader, i, ctypes.byref(record))
        L.ReaderGetErrorString(reader, i, line, _LINE_SIZE)
        n = max(0, min(record.paramCount, 4))
        raw = (record.param1, record.param2, record.param3, record.param4)[:n]
        signed = SIGNED.get(record.code, ())
        params = tuple(p - (1 << 32) if p >= 1 << 31 and k < len(signed) and signed[k] else p
                       for k, p in enumerate(raw))
        out.append(Record(record.code, severity(record.code), None if record.offset == -1 else record.offset,
                          params, line.value.decode("utf-8", "replace")))
    return out
