"""kvelread.check: a file's verdict, as `kvel check` reports it."""
import os
import stat
from dataclasses import dataclass, field

from . import _reader
from ._lib import lib

_LIST_CAPACITY = 1000
_OVERFLOW = -2
_CANNOT_OPEN = -3


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
        path = None if self.path is None else escape_path(os.fsencode(self.path))
        out = {"path": path, "state": self.state, "result": self.result, "counts": self.counts}
        if self.reason is not None:
            out["reason"] = self.reason
        out["records"] = [r.to_dict() for r in self.records]
        return out


def _utf8_length(raw, i):
    """Length of the valid UTF-8 sequence at raw[i], or 0."""
    c = raw[i]
    if c < 0x80:
        return 1
    n = 2 if c & 0xE0 == 0xC0 else 3 if c & 0xF0 == 0xE0 else 4 if c & 0xF8 == 0xF0 else 0
    if n == 0 or i + n > len(raw):
        return 0
    try:
        raw[i:i + n].decode("utf-8")  # strict: no overlong forms or surrogates
    except UnicodeDecodeError:
        return 0
    return n


def _starts_escape(raw, i):
    return (i + 3 < len(raw) and raw[i] == 0x5C and raw[i + 1] == 0x78
            and all(chr(b) in "0123456789abcdefABCDEF" for b in raw[i + 2:i + 4]))


def escape_path(raw):
    """A file name as kvel's reports show it: bytes that are not UTF-8, and
    control characters, as \\xNN; a backslash that would read as such an
    escape as \\x5c. Distinct names stay distinct, and the escape reverses."""
    out, i = [], 0
    while i < len(raw):
        c = raw[i]
        n = _utf8_length(raw, i)
        if n == 0 or c < 0x20 or c == 0x7F or _starts_escape(raw, i):
            out.append("\\x%02x" % c)
            i += 1
        else:
            out.append(raw[i:i + n].decode("utf-8"))
            i += n
    return "".join(out)


def _why_not(name):
    """Why the path `name` (bytes) is not checked before it is opened: a FIFO,
    socket, device or directory would block the open or never end. None for
    a regular file, or one that cannot be looked at (the open tells why)."""
    try:
        st = os.stat(name)
    except OSError:
        return None
    return None if stat.S_ISREG(st.st_mode) else "not a regular file"


def _open_error(name):
    try:
        os.close(os.open(name, os.O_RDONLY | os.O_NONBLOCK))
    except OSError as e:
        return e.strerror
    return None


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
    if kind == "path":
        reason = _why_not(payload)
        if reason is not None:
            return Report(path, "not-checked", None, reason=reason)
    L = lib()
    reader = _reader.acquire(L)
    header = _reader.MAIN_HEADER()
    try:
        failed_from = _reader.load(L, reader, kind, payload, header)
        if failed_from is not None:
            report = _tally(path, _reader.records(L, reader, failed_from), None, warnings_as_errors)
            if kind == "path" and report.records and report.records[0].code == _CANNOT_OPEN:
                report.reason = _open_error(payload)
            return report
        L = L.sized(header.totalFrameSize)
        result = L.ReaderCheckFormat(reader, 0 if warnings else 1, 1 if user_categories else 0)
        return _tally(path, _reader.records(L, reader, 0), result, warnings_as_errors)
    finally:
        _reader.release(L, reader)
