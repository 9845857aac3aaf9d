"""kvelread.check: a file's verdict, as `kvel check` reports it."""
import os
from dataclasses import dataclass, field

from . import _reader
from ._lib import lib

_LIST_CAPACITY = 1000
_OVERFLOW = -2


@dataclass(slots=True)
class Report:
    """What the check of one file found. The fields and values are those of
    a file entry of `kvel check --format json`."""
    path: str | None
    state: str                 # "valid", "invalid" or "not-checked"
    result: int | None         # KVELCheckFormat's result; None when not checked
    errors: int = 0            # listed error records
    warnings: int = 0          # listed warning records
    unlisted: int = 0          # problems beyond the list's capacity
    records: list = field(default_factory=list)
    reason: str | None = None  # why a file was not checked, when no record says it

    @property
    def counts(self):
        return {"errors": self.errors, "warnings": self.warnings, "unlisted": self.unlisted}

    def to_dict(self):
        # JSON has no room for a non-UTF-8 name: its bytes show as U+FFFD.
        path = None if self.path is None else os.fsencode(self.path).decode("utf-8", "replace")
        out = {"path": path, "state": self.state, "result": self.result, "counts": self.counts}
        if self.reason is not None:
            out["reason"] = self.reason
        out["records"] = [r.to_dict() for r in self.records]
        return out


def _tally(path, records, result, warnings_as_errors):
    warnings = sum(1 for r in records if r.severity == "warning")
    errors = len(records) - warnings
    if result is None:
        return Report(path, "not-checked", None, errors, warnings, 0, records)
    listed = len(records)
    if listed == _LIST_CAPACITY and records[-1].code == _OVERFLOW:
        # The overflow record stands for every problem it displaced.
        listed -= 1
        errors -= 1
    unlisted = max(0, -result - listed)
    failing = errors > 0 or unlisted > 0 or (warnings_as_errors and warnings > 0)
    return Report(path, "invalid" if failing else "valid", result, errors, warnings, unlisted, records)


def check(source, *, warnings=True, user_categories=False, warnings_as_errors=False):
    """Loads `source` and checks it: a path (str or os.PathLike), the bytes
    of a file (bytes, bytearray, memoryview) or a binary file object. Bytes
    are loaded as the file's content, so they get the same verdict as the
    file. A file that cannot be loaded is reported "not-checked" with the
    library's record, as `kvel check` reports it.

    warnings=False holds back every warning; user_categories=True accepts
    categories 112 to 126; warnings_as_errors=True makes a file with a
    warning invalid."""
    kind, payload, path = _reader.source_of(source)
    L = lib()
    reader = _reader.acquire(L)
    try:
        failed_from = _reader.load(L, reader, kind, payload)
        if failed_from is not None:
            return _tally(path, _reader.records(L, reader, failed_from), None, warnings_as_errors)
        result = L.ReaderCheckFormat(reader, 0 if warnings else 1, 1 if user_categories else 0)
        return _tally(path, _reader.records(L, reader, 0), result, warnings_as_errors)
    finally:
        _reader.release(L, reader)
