// The error list: a fixed array of 1000 records with one append path.
#pragma once

#include <cstdint>

#include "KVELRead.h"

namespace kvel {

using ErrorRecord = KVEL_ERROR_RECORD;

constexpr int kErrorCapacity = 1000;
constexpr int32_t kNoOffset = -1;

struct ErrorList {
    ErrorRecord records[kErrorCapacity];
    int count;
    int cursor;
};

// The one append operation. At the cap the last record becomes the overflow
// record (-2), so a full list keeps its first 999 records. Never fails and
// never allocates, so it is safe on every failure path.
void appendError(int32_t code, int32_t offset, int32_t paramCount = 0, uint32_t p1 = 0,
                 uint32_t p2 = 0, uint32_t p3 = 0, uint32_t p4 = 0);

// Empties the list (count and read cursor 0); records are not erased.
void clearErrors();

// The list as it stands, to go back to when a check run is done again: the
// count, and the last record, which an append at the cap overwrites.
struct ErrorMark {
    int count;
    ErrorRecord last;
};
ErrorMark markErrors();
void restoreErrors(const ErrorMark& mark);

// General codes of the library interface and loaders.
enum GeneralCode : int32_t {
    kTooManyErrors = -2,
    kCannotOpen = -3,
    kCannotRead = -4,
    kCannotAllocate = -5,
    kStillOpen = -7,
};

}  // namespace kvel
