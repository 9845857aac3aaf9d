"""Finding libKVELRead and declaring the reader API to ctypes.

Opening a file releases the GIL for its length (ctypes.CDLL): it waits
for storage. Loading bytes, checking and closing release it only for a big
file (`lib().sized(size)`), so that they run in parallel on distinct readers
and threads. For a small file they take microseconds, and handing the GIL to
another thread and back costs more than that: two threads checking small
files would be slower than one. The calls that only read a reader's state
take nanoseconds and always keep the GIL (ctypes.PyDLL).
"""
import ctypes
import ctypes.util
import os
import sys
import threading
import types

from ._layout import ERROR_RECORD, MAIN_HEADER

ENV = "KVELREAD_LIBRARY"

if sys.platform == "win32":
    _NAMES = ("KVELRead.dll",)
elif sys.platform == "darwin":
    _NAMES = ("libKVELRead.1.dylib", "libKVELRead.dylib")
else:
    _NAMES = ("libKVELRead.so.1", "libKVELRead.so")


class LibraryNotFoundError(OSError):
    """No KVELRead shared library could be loaded."""


_p = ctypes.c_void_p
_i = ctypes.c_int
_RELEASE, _KEEP, _BY_SIZE = "release", "keep", "by size"
# Below this many bytes, a load, check or close keeps the GIL: a check runs
# at about 5 bytes a nanosecond, so it would last less than a hand-over.
RELEASE_FROM = 256 * 1024
_PROTOTYPES = {
    "KVELCreateReader": (_p, [], _KEEP),
    "KVELDestroyReader": (None, [_p], _RELEASE),
    "KVELReaderOpenFile": (_i, [_p, ctypes.c_char_p, ctypes.POINTER(MAIN_HEADER)], _RELEASE),
    "KVELReaderLoadFileImage": (_i, [_p, _p, ctypes.c_size_t, ctypes.POINTER(MAIN_HEADER)], _BY_SIZE),
    "KVELReaderCloseFile": (_i, [_p], _BY_SIZE),
    "KVELReaderCheckFormat": (_i, [_p, _i, _i], _BY_SIZE),
    "KVELReaderGetErrorCount": (_i, [_p], _KEEP),
    "KVELReaderGetErrorRecord": (_i, [_p, _i, ctypes.POINTER(ERROR_RECORD)], _KEEP),
    "KVELReaderGetErrorString": (None, [_p, _i, ctypes.c_char_p, _i], _KEEP),
    "KVELReaderGetZoneSubFrame": (_p, [_p], _KEEP),
    "KVELReaderGetEventSubFrame": (_p, [_p], _KEEP),
    "KVELReaderGetFirstEvent": (_p, [_p], _KEEP),
}


def _candidates():
    """(description, loader argument) in the order they are tried."""
    explicit = os.environ.get(ENV)
    if explicit:
        # An explicit choice is never second-guessed by a fallback.
        return [(f"{ENV}={explicit}", explicit)]
    here = os.path.dirname(os.path.abspath(__file__))
    found = [(f"beside the package: {os.path.join(here, n)}", os.path.join(here, n)) for n in _NAMES]
    try:
        from ._installed import LIBRARY  # written by `cmake --install`
        path = os.path.normpath(os.path.join(here, LIBRARY))
        found.append((f"where cmake installed it: {path}", path))
    except ImportError:
        pass
    found += [(f"the system loader path: {n}", n) for n in _NAMES]
    by_search = ctypes.util.find_library("KVELRead")
    if by_search:
        found.append((f"the system library search: {by_search}", by_search))
    return found


def _open():
    tried = []
    for what, target in _candidates():
        if os.path.isabs(target) and not os.path.exists(target):
            tried.append(f"  {what} (no such file)")
            continue
        try:
            return ctypes.CDLL(target)
        except OSError as e:
            tried.append(f"  {what} ({e})")
    raise LibraryNotFoundError(
        "kvelread: the KVELRead library was not found. Tried:\n" + "\n".join(tried) +
        f"\nBuild it (scripts/build) and set {ENV} to its path, for example "
        f"{ENV}=build/KVELRead/libKVELRead.so, or install it where the system loader finds it.")


class _Lib:
    def __init__(self, cdll):
        self.cdll = cdll
        holding = ctypes.PyDLL(cdll._name, handle=cdll._handle)
        self.small = types.SimpleNamespace()  # for a small file: only the open releases the GIL
        for name, (restype, argtypes, gil) in _PROTOTYPES.items():
            for dll in (cdll, holding):
                fn = getattr(dll, name)
                fn.restype, fn.argtypes = restype, argtypes
            setattr(self, name[4:], getattr(cdll if gil != _KEEP else holding, name))  # lib.ReaderOpenFile(...)
            setattr(self.small, name[4:], getattr(cdll if gil == _RELEASE else holding, name))

    def sized(self, size):
        """The calls for a file of `size` bytes: these, or those keeping the
        GIL for a small file."""
        return self if size >= RELEASE_FROM else self.small


_lib = None
_lock = threading.Lock()


def lib():
    """The loaded library, loaded on first use so that `import kvelread`
    works (and codes() too) before the library is in place."""
    global _lib
    if _lib is None:
        with _lock:
            if _lib is None:
                _lib = _Lib(_open())
    return _lib
