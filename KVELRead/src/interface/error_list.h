// The error list: a fixed array of records with one append path.
#pragma once

#include <cstdint>

#include "KVELRead.h"

namespace kvel {

using ErrorRecord = KVEL_ERROR_RECORD;

constexpr int kErrorCapacity = KVEL_ERROR_LIST_CAPACITY;
constexpr int32_t kNoOffset = -1;

struct ErrorList {
    ErrorRecord records[kErrorCapacity];
    int count;
    int cursor;
};

// The one append operation. At the cap the last record becomes the overflow
// record (-2), so a full list keeps its first 999 records. Never fails and
// never allocates, so it is safe on every failure path.
inline void appendError(ErrorList& list, int32_t code, int32_t offset, int32_t paramCount = 0, uint32_t p1 = 0,
                        uint32_t p2 = 0, uint32_t p3 = 0, uint32_t p4 = 0) {
    if (list.count < kErrorCapacity)
        list.records[list.count++] = ErrorRecord{code, offset, paramCount, p1, p2, p3, p4};
    else
        list.records[kErrorCapacity - 1] = ErrorRecord{KVEL_ERROR_TOO_MANY_ERRORS, kNoOffset, 0, 0, 0, 0, 0};
}

// Empties the list (count and read cursor 0); records are not erased.
inline void clearErrors(ErrorList& list) {
    list.count = 0;
    list.cursor = 0;
}

// The list as it stands, to go back to when a check run is taken back: the
// count, and the last record, which an append at the cap overwrites.
struct ErrorMark {
    int count;
    ErrorRecord last;
};
inline ErrorMark markErrors(const ErrorList& list) { return ErrorMark{list.count, list.records[kErrorCapacity - 1]}; }
inline void restoreErrors(ErrorList& list, const ErrorMark& mark) {
    list.count = mark.count;
    list.records[kErrorCapacity - 1] = mark.last;
}

}  // namespace kvel
