// The flat API: each export is its reader twin on the process-wide default
// reader. Like that reader, it is for one thread at a time.
#include "KVELRead.h"
#include "interface/reader.h"

namespace {

KVEL_READER* flat() { return &kvel::defaultReader(); }

}  // namespace

extern "C" {

KVEL_API int KVELOpenFile(const char* path, KVEL_MAIN_HEADER* header) { return KVELReaderOpenFile(flat(), path, header); }
KVEL_API int KVELLoadFileImage(const void* bytes, size_t size, KVEL_MAIN_HEADER* header) {
    return KVELReaderLoadFileImage(flat(), bytes, size, header);
}
KVEL_API int KVELOpenFile2(const char* path) { return KVELReaderOpenFile2(flat(), path); }
KVEL_API int KVELSetBuffer(const void* image, KVEL_MAIN_HEADER* header) {
    return KVELReaderSetBuffer(flat(), image, header);
}
KVEL_API int KVELSetBufferWithSize(const void* image, size_t size, KVEL_MAIN_HEADER* header) {
    return KVELReaderSetBufferWithSize(flat(), image, size, header);
}
KVEL_API int KVELCloseFile(void) { return KVELReaderCloseFile(flat()); }

KVEL_API int KVELCheckFormat(int suppressWarnings, int allowUserCategories) {
    return KVELReaderCheckFormat(flat(), suppressWarnings, allowUserCategories);
}

KVEL_API int KVELReadMainHeader(KVEL_MAIN_HEADER* header) { return KVELReaderReadMainHeader(flat(), header); }
KVEL_API int KVELReadEntireFrame(unsigned char* dest) { return KVELReaderReadEntireFrame(flat(), dest); }
KVEL_API int KVELReadZoneSubFrame(KVEL_ZONE_SUBFRAME* dest) { return KVELReaderReadZoneSubFrame(flat(), dest); }
KVEL_API int KVELReadEventSubFrame(unsigned char* dest) { return KVELReaderReadEventSubFrame(flat(), dest); }
KVEL_API int KVELReadMainHeader2(const char*, KVEL_MAIN_HEADER*, int) { return 0; }
KVEL_API int KVELReadEntireFrame2(unsigned char*, int) { return 0; }

KVEL_API int KVELGetBufferSizeForZoneSubFrame(void) { return KVELReaderGetBufferSizeForZoneSubFrame(flat()); }
KVEL_API int KVELGetBufferSizeForEventSubFrame(void) { return KVELReaderGetBufferSizeForEventSubFrame(flat()); }
KVEL_API void* KVELGetWholeBuffer(void) { return KVELReaderGetWholeBuffer(flat()); }
KVEL_API KVEL_ZONE_SUBFRAME* KVELGetZoneSubFrame(void) { return KVELReaderGetZoneSubFrame(flat()); }
KVEL_API KVEL_EVENT_SUBFRAME* KVELGetEventSubFrame(void) { return KVELReaderGetEventSubFrame(flat()); }
KVEL_API KVEL_EVENT* KVELGetFirstEvent(void) { return KVELReaderGetFirstEvent(flat()); }

KVEL_API int KVELGetErrorCount(void) { return KVELReaderGetErrorCount(flat()); }
KVEL_API int KVELGetFirstError(void) { return KVELReaderGetFirstError(flat()); }
KVEL_API int KVELGetNextError(void) { return KVELReaderGetNextError(flat()); }
KVEL_API int KVELGetErrorRecord(int index, KVEL_ERROR_RECORD* record) {
    return KVELReaderGetErrorRecord(flat(), index, record);
}
KVEL_API void KVELGetErrorString(int index, char* text, int textSize) {
    KVELReaderGetErrorString(flat(), index, text, textSize);
}

}  // extern "C"
