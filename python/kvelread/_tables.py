"""The tables the package shares with the C++ sources: the message texts
(KVELRead/resources/messages.def) and the names and data masks that
`kvel dump` decodes events with (tools/kvel/kvmf_names.h).

They are read from those files when the package is built or installed and
shipped as `tables.json`; run from a source tree, the package reads the files
themselves. `python3 _tables.py SOURCE_ROOT OUT.json` writes the JSON.
"""
import json
import os
import re
import sys

MESSAGES = "KVELRead/resources/messages.def"
NAMES = "tools/kvel/kvmf_names.h"

_MESSAGE = re.compile(r'^KVEL_MESSAGE\((\d+),\s*"((?:[^"\\]|\\.)*)"\)', re.M)
_TABLE = re.compile(r"Named (k\w+)\[\]\s*=\s*\{(.*?)\};", re.S)
_ENTRY = re.compile(r'\{\s*(\d+)\s*,\s*"([^"]*)"\s*,\s*"([^"]*)"\s*\}')
_MASK = re.compile(r"constexpr uint32_t (k\w+)\s*=\s*(0x[0-9A-Fa-f]+|1u << (\d+))\s*;")


def parse_messages(text):
    """[(id, text)] in file order; the texts hold no escapes but quotes."""
    return [(int(m[1]), m[2].replace('\\"', '"')) for m in _MESSAGE.finditer(text)]


def parse_names(text):
    """{"kCategories": [[number, json, text]...], ..., "masks": {name: value}}"""
    out = {name: [[int(n), j, t] for n, j, t in _ENTRY.findall(body)] for name, body in _TABLE.findall(text)}
    out["masks"] = {name: (1 << int(shift)) if shift else int(value, 16) for name, value, shift in _MASK.findall(text)}
    return out


def build(root):
    with open(os.path.join(root, MESSAGES), encoding="utf-8") as f:
        messages = parse_messages(f.read())
    with open(os.path.join(root, NAMES), encoding="utf-8") as f:
        names = parse_names(f.read())
    if not messages or not names.get("kCategories") or not names.get("kOutlineCodes") or not names["masks"]:
        raise ValueError(f"{root}: the message or name tables could not be read")
    return {"messages": messages, "names": names}


def load():
    here = os.path.dirname(os.path.abspath(__file__))
    shipped = os.path.join(here, "tables.json")
    if os.path.exists(shipped):
        with open(shipped, encoding="utf-8") as f:
            return json.load(f)
    return build(os.path.dirname(os.path.dirname(here)))


if __name__ == "__main__":
    root, out = sys.argv[1:3]
    with open(out, "w", encoding="utf-8") as f:
        json.dump(build(root), f)
