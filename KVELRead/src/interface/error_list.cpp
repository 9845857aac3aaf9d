#include "interface/error_list.h"

#include "KVELRead.h"
#include "interface/reader_state.h"

namespace kvel {

void appendError(int32_t code, int32_t offset, int32_t paramCount, uint32_t p1, uint32_t p2,
                 uint32_t p3, uint32_t p4) {
    ErrorList& list = g_reader.errors;
    if (list.count < kErrorCapacity) {
        list.records[list.count++] = ErrorRecord{code, offset, paramCount, p1, p2, p3, p4};
    } else {
        list.records[kErrorCapacity - 1] = ErrorRecord{kTooManyErrors, kNoOffset, 0, 0, 0, 0, 0};
    }
}

ErrorMark markErrors() { return ErrorMark{g_reader.errors.count, g_reader.errors.records[kErrorCapacity - 1]}; }

void restoreErrors(const ErrorMark& mark) {
    g_reader.errors.count = mark.count;
    g_reader.errors.records[kErrorCapacity - 1] = mark.last;
}

void clearErrors() {
    g_reader.errors.count = 0;
    g_reader.errors.cursor = 0;
}

}  // namespace kvel

using kvel::g_reader;

extern "C" {

KVEL_API int KVELGetErrorCount(void) { return g_reader.errors.count; }

KVEL_API int KVELGetFirstError(void) {
    // The cursor moves to 1 even on an empty list; only the result says so.
    g_reader.errors.cursor = 1;
    return g_reader.errors.count == 0 ? 0 : g_reader.errors.records[0].code;
}

KVEL_API int KVELGetNextError(void) {
    kvel::ErrorList& list = g_reader.errors;
    if (list.cursor >= list.count) return 0;
    return list.records[list.cursor++].code;
}

KVEL_API int KVELGetErrorRecord(int index, KVEL_ERROR_RECORD* record) {
    if (index < 0 || index >= g_reader.errors.count) return -1;
    *record = g_reader.errors.records[index];
    return 0;
}

}  // extern "C"
