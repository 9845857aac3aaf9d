"""The public header's packed structures, each written once as (field, type)
pairs, from which both the ctypes structures and the NumPy dtypes are made."""
import ctypes

import numpy as np

MAIN_HEADER_FIELDS = [
    ("signature", ctypes.c_uint8 * 4), ("engineId", ctypes.c_uint8 * 4), ("applicationId", ctypes.c_uint8 * 4),
    ("version", ctypes.c_uint16), ("level", ctypes.c_uint16), ("totalFrameSize", ctypes.c_uint32),
]
ZONE_FIELDS = [
    ("zoneNumber", ctypes.c_uint16), ("zoneStartPosition", ctypes.c_uint32), ("zoneEndPosition", ctypes.c_uint32),
    ("fadeInStartPosition", ctypes.c_uint32), ("fadeInEndPosition", ctypes.c_uint32),
    ("fadeOutStartPosition", ctypes.c_uint32), ("fadeOutEndPosition", ctypes.c_uint32),
    ("bpm", ctypes.c_float), ("meterDenominator", ctypes.c_uint8), ("meterNumerator", ctypes.c_uint8),
    ("barCount", ctypes.c_uint16), ("key", ctypes.c_uint16), ("reserved0", ctypes.c_uint16),
    ("reserved1", ctypes.c_uint32), ("reserved2", ctypes.c_uint32), ("reserved3", ctypes.c_uint32),
    ("reserved4", ctypes.c_uint32), ("reserved5", ctypes.c_uint32),
]
# Up to the category table, which runs on for categoryCount entries.
EVENT_SUBFRAME_FIELDS = [
    ("frameSize", ctypes.c_uint32), ("headerSize", ctypes.c_uint32), ("sampleRate", ctypes.c_uint32),
    ("totalSamples", ctypes.c_uint32), ("effectiveStart", ctypes.c_uint32), ("effectiveEnd", ctypes.c_uint32),
    ("channelCount", ctypes.c_uint8), ("bitsPerSample", ctypes.c_uint8), ("categoryCount", ctypes.c_uint16),
    ("masterTune", ctypes.c_uint32), ("totalEventCount", ctypes.c_uint32),
]
EVENT_FIELDS = [("barBeat", ctypes.c_uint16), ("value", ctypes.c_uint32), ("samplePosition", ctypes.c_uint32)]
ERROR_RECORD_FIELDS = [
    ("code", ctypes.c_int32), ("offset", ctypes.c_int32), ("paramCount", ctypes.c_int32),
    ("param1", ctypes.c_uint32), ("param2", ctypes.c_uint32), ("param3", ctypes.c_uint32), ("param4", ctypes.c_uint32),
]


def _structure(name, fields):
    return type(name, (ctypes.Structure,), {"_pack_": 1, "_fields_": fields})


def _dtype(fields):
    """Packed, host order, as the loaded image lies in memory."""
    def one(t):
        if issubclass(t, ctypes.Array):
            return (np.dtype(t._type_), (t._length_,))
        return (np.dtype(t),)
    return np.dtype([(name, *one(t)) for name, t in fields], align=False)


MAIN_HEADER = _structure("KVEL_MAIN_HEADER", MAIN_HEADER_FIELDS)
ERROR_RECORD = _structure("KVEL_ERROR_RECORD", ERROR_RECORD_FIELDS)
ZONE_DTYPE = _dtype(ZONE_FIELDS)
EVENT_SUBFRAME_DTYPE = _dtype(EVENT_SUBFRAME_FIELDS)
EVENT_DTYPE = _dtype(EVENT_FIELDS)
ZONE_HEADER_SIZE = 6  # frameSize, zoneCount

assert ctypes.sizeof(MAIN_HEADER) == 20 and ctypes.sizeof(ERROR_RECORD) == 28
assert ZONE_DTYPE.itemsize == 58 and EVENT_SUBFRAME_DTYPE.itemsize == 36 and EVENT_DTYPE.itemsize == 10
