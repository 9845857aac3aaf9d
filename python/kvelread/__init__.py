"""kvelread: load and check KVMF files through the KVELRead library.

    report = kvelread.check("song.kvmf")      # the verdict, as `kvel check`
    song = kvelread.read("song.kvmf")         # header, zones, events (NumPy)

The library is found through KVELREAD_LIBRARY, beside the package, or on the
system loader path.
"""
from ._lib import LibraryNotFoundError
from ._messages import Code, codes
from .errors import KvelError, LoadError, Record
from .report import Report, check
from .song import EventSubFrame, MainHeader, Song, Zone, ZoneSubFrame, describe_event, read

__all__ = ["check", "read", "codes", "describe_event", "Report", "Record", "Code", "Song", "MainHeader",
           "Zone", "ZoneSubFrame", "EventSubFrame", "KvelError", "LoadError", "LibraryNotFoundError"]
