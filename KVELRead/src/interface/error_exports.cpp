// Reading a reader's error list by count, by first/next and by index.
#include "KVELRead.h"
#include "interface/reader.h"

extern "C" {

KVEL_API int KVELReaderGetErrorCount(KVEL_READER* reader) { return reader->errors.count; }

KVEL_API int KVELReaderGetFirstError(KVEL_READER* reader) {
    kvel::ErrorList& list = reader->errors;
    // The cursor moves to 1 even on an empty list; only the result says so.
    list.cursor = 1;
    return list.count == 0 ? 0 : list.records[0].code;
}

KVEL_API int KVELReaderGetNextError(KVEL_READER* reader) {
    kvel::ErrorList& list = reader->errors;
    if (list.cursor >= list.count) return 0;
    return list.records[list.cursor++].code;
}

KVEL_API int KVELReaderGetErrorRecord(KVEL_READER* reader, int index, KVEL_ERROR_RECORD* record) {
    const kvel::ErrorList& list = reader->errors;
    if (index < 0 || index >= list.count) return -1;
    *record = list.records[index];
    return 0;
}

}  // extern "C"
