"""The message table: texts, severities and which parameters are signed."""
import re
from dataclasses import dataclass

from ._tables import load

# A conversion takes one 32-bit parameter; "%ld" shows it signed, "%lx" as
# unsigned hexadecimal, which is how records carry their parameters to JSON.
_CONVERSION = re.compile(r"%[0-9]*l([dx])")


@dataclass(frozen=True, slots=True)
class Code:
    """One message: `code` is minus `id`, as records carry it."""
    id: int
    code: int
    severity: str
    text: str


def severity(code):
    return "warning" if code <= -10000 else "error"


_TABLES = load()
_CODES = tuple(Code(i, -i, severity(-i), text) for i, text in _TABLES["messages"])
SIGNED = {c.code: tuple(k == "d" for k in _CONVERSION.findall(c.text)) for c in _CODES}
NAMES = _TABLES["names"]


def codes():
    """Every message of the library's table, in id order, as `kvel codes`
    lists them."""
    return list(_CODES)
