"""The library's records and the exceptions that carry them."""
from dataclasses import dataclass


@dataclass(frozen=True, slots=True)
class Record:
    """One record of the library's error list."""
    code: int           # negative: minus the message id
    severity: str       # "error" above -10000, else "warning"
    offset: int | None  # the file offset, None where the library gives -1
    params: tuple       # signed where the message shows "%ld"
    message: str        # the line as KVELGetErrorString formats it

    def to_dict(self):
        return {"code": self.code, "severity": self.severity, "offset": self.offset,
                "params": list(self.params), "message": self.message}


class KvelError(Exception):
    """A failure the library reported. `record` is the record that says why
    (the last one), `records` all that the call appended."""

    def __init__(self, records, path=None):
        self.records = tuple(records)
        self.record = self.records[-1] if self.records else None
        self.path = path
        text = self.record.message if self.record else "the library gave no reason"
        super().__init__(f"{path}: {text}" if path else text)


class LoadError(KvelError):
    """The file could not be read or loaded."""
