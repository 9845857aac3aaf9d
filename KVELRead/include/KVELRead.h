/*
 * KVELRead.h -- load and validate KVMF music-structure metadata files.
 *
 * A KVMF file describes the musical structure of one audio recording: a
 * 20-byte main header, a zone sub-frame (tempo, meter, bars, key and fades of
 * each section) and an event sub-frame (audio parameters, a category table and
 * a time-ordered list of 10-byte events). Every multi-byte field is big-endian
 * in the file and is converted to host order in place when the file is loaded.
 *
 * A reader holds at most one loaded image and one error list. The library
 * offers two ways to reach one:
 *   - the reader API: KVELCreateReader() returns a reader of the caller's own,
 *     and every export KVELName(args) has a twin KVELReaderName(reader, args)
 *     that does the same on that reader; KVELDestroyReader() frees it;
 *   - the flat API: KVELName(args) works on one process-wide default reader.
 *
 * Threads. Distinct readers may be used on distinct threads at the same
 * time: they share no mutable state, and no call takes a lock. One reader is
 * used by one thread at a time (a caller that hands a reader between threads
 * orders those uses itself). The flat API's default reader is one such
 * reader, so the flat exports are called from one thread at a time. Only
 * read-only data (the message texts) is shared between readers. A reader
 * allowed more than one thread (KVELReaderSetThreads) splits a big load or
 * check over threads of its own, which end before the call returns.
 *
 * Typical use:
 *   1. KVELOpenFile(path, &header)      or KVELLoadFileImage(bytes, size, &header)
 *                                       or KVELSetBuffer(image, &header)
 *   2. KVELReadZoneSubFrame(...) etc.   or KVELGetZoneSubFrame() etc.
 *   3. KVELCheckFormat(0, 0)            returns 0 or minus the problem count
 *   4. KVELGetErrorCount() and KVELGetErrorString(i, text, size) for each i
 *   5. KVELCloseFile()
 *
 * Failures are never printed or thrown. They are appended to the error list
 * as records whose code is minus a message id: -2 to -7 are general errors,
 * -1001 to -3609 errors in the file's content, -11001 to -13601 warnings.
 * The list holds KVEL_ERROR_LIST_CAPACITY (1000) records; once full, its last
 * record becomes the overflow record (-2, "Too many errors are detected.").
 */
#ifndef KVELREAD_H
#define KVELREAD_H

#include <stddef.h>
#include <stdint.h>

#define KVEL_VERSION_MAJOR 1
#define KVEL_VERSION_MINOR 1
#define KVEL_VERSION_PATCH 0
#define KVEL_VERSION_STRING "1.1.0"

/* The one export macro. Define KVELREAD_BUILDING when building the library
 * itself, KVELREAD_STATIC when linking a static build. */
#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(KVELREAD_STATIC)
#    define KVEL_API
#  elif defined(KVELREAD_BUILDING)
#    define KVEL_API __declspec(dllexport)
#  else
#    define KVEL_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__) || defined(__clang__)
#  define KVEL_API __attribute__((visibility("default")))
#else
#  define KVEL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------
 * Frame structures. They lie directly over the loaded image, in host byte
 * order, with exactly the file's layout: packed, no padding.
 * ---------------------------------------------------------------------- */

/* The zone records and the category table run on past their structures. C
 * declares them as flexible array members; C++ has none, and declares one
 * element, which gives the same offsets (only sizeof differs: size copies
 * with the KVELGetBufferSizeFor... functions, never with sizeof). */
#ifdef __cplusplus
#  define KVEL_TRAILING_ARRAY 1
#else
#  define KVEL_TRAILING_ARRAY
#endif
#pragma pack(push, 1)

/* Main header, file offset 0, 20 bytes. */
typedef struct KVEL_MAIN_HEADER {
    uint8_t  signature[4];     /* "KVMF", never converted */
    uint8_t  engineId[4];      /* four characters 0x20..0x7F; all zero = not specified */
    uint8_t  applicationId[4]; /* same form as engineId */
    uint16_t version;          /* 0 = not specified; 0x0001..0x0FFF expected */
    uint16_t level;            /* 0 = not specified; 0x1000..0xF000 expected */
    uint32_t totalFrameSize;   /* bytes that follow the main header: file size - 20 */
} KVEL_MAIN_HEADER;

/* Zone record, 58 bytes. Positions are event positions: byte offsets from
 * the first event record, multiples of 10; 0xFFFFFFFF = no such fade event. */
typedef struct KVEL_ZONE {
    uint16_t zoneNumber;           /* equals the record's index */
    uint32_t zoneStartPosition;    /* zone event with this zone's number */
    uint32_t zoneEndPosition;      /* next zone's zone event, or the terminator */
    uint32_t fadeInStartPosition;  /* outline code 32 */
    uint32_t fadeInEndPosition;    /* outline code 33 */
    uint32_t fadeOutStartPosition; /* outline code 40 */
    uint32_t fadeOutEndPosition;   /* outline code 41 */
    float    bpm;                  /* IEEE 754 single; 30.0..240.0 expected */
    uint8_t  meterDenominator;     /* 2, 4, 8, 16 expected; 0xFF/0xFF = invalid meter */
    uint8_t  meterNumerator;       /* 2, 3, 4, 5, 6, 8, 12, 16 expected */
    uint16_t barCount;             /* 1..500 expected; 0xFFFF with an invalid meter */
    uint16_t key;                  /* bits 0-6 key number, 7 key flag, 8-9 scale */
    uint16_t reserved0;
    uint32_t reserved1;
    uint32_t reserved2;
    uint32_t reserved3;
    uint32_t reserved4;
    uint32_t reserved5;
} KVEL_ZONE;

/* Zone sub-frame, file offset 20. frameSize counts the bytes after itself:
 * 2 + 58 * zoneCount. The records follow the count directly (offset 6). */
typedef struct KVEL_ZONE_SUBFRAME {
    uint32_t  frameSize;
    uint16_t  zoneCount;
    KVEL_ZONE zones[KVEL_TRAILING_ARRAY];
} KVEL_ZONE_SUBFRAME;

/* Event sub-frame header, file offset 24 + zone frameSize. The category table
 * (categoryCount entries: bits 24-30 category number, bits 0-23 event count)
 * is followed by the u32 eventBodySize and then the event records. */
typedef struct KVEL_EVENT_SUBFRAME {
    uint32_t frameSize;       /* 36 + 4 * categoryCount + eventBodySize */
    uint32_t headerSize;      /* 28 + 4 * categoryCount */
    uint32_t sampleRate;      /* Hz, 11025..192000 */
    uint32_t totalSamples;    /* at most 0x6DDD000 */
    uint32_t effectiveStart;
    uint32_t effectiveEnd;
    uint8_t  channelCount;    /* 0 = not specified; 2 expected */
    uint8_t  bitsPerSample;   /* 0 = not specified; 16 or 24 expected */
    uint16_t categoryCount;   /* 1..9 */
    uint32_t masterTune;      /* Hz, 415..466; 0xFFFFFFFF = not given */
    uint32_t totalEventCount; /* sum of the category event counts */
    uint32_t categories[KVEL_TRAILING_ARRAY];
} KVEL_EVENT_SUBFRAME;

/* Event record, 10 bytes; records follow each other at a stride of 10. */
typedef struct KVEL_EVENT {
    uint16_t barBeat;        /* bits 4-15 bar (0xFFF = no bar), bits 0-3 beat */
    uint32_t value;          /* bits 24-30 category, bits 0-23 category data */
    uint32_t samplePosition; /* sample index, at most totalSamples */
} KVEL_EVENT;

#pragma pack(pop)

/* Event categories (value bits 24-30 and category table ids). */
#define KVEL_CATEGORY_BEAT           1
#define KVEL_CATEGORY_CHORD          8
#define KVEL_CATEGORY_ABSOLUTE_CHORD 9
#define KVEL_CATEGORY_MELODY         16
#define KVEL_CATEGORY_OUTLINE        47
/* Accepted in the category table, with no rule for their events. */
#define KVEL_CATEGORY_PLAIN_24       24
#define KVEL_CATEGORY_PLAIN_25       25
#define KVEL_CATEGORY_PLAIN_32       32
/* Accepted only when KVELCheckFormat allows user categories. */
#define KVEL_CATEGORY_USER_FIRST     112
#define KVEL_CATEGORY_USER_LAST      126

/* Outline event codes (value bits 0-6 of an outline event). */
#define KVEL_OUTLINE_ZONE           1
#define KVEL_OUTLINE_KEY_CHANGE     2
#define KVEL_OUTLINE_TEMPO_CHANGE   3
#define KVEL_OUTLINE_METER_CHANGE   4
#define KVEL_OUTLINE_START          16
#define KVEL_OUTLINE_END            17
#define KVEL_OUTLINE_FADE_IN_START  32
#define KVEL_OUTLINE_FADE_IN_END    33
#define KVEL_OUTLINE_FADE_OUT_START 40
#define KVEL_OUTLINE_FADE_OUT_END   41

/* The zone number of the zone event that ends the last zone. */
#define KVEL_ZONE_TERMINATOR 0xFFFF

/* ------------------------------------------------------------------------
 * Readers
 * ---------------------------------------------------------------------- */

/* A reader: one image, its views and one error list, with the state of its
 * checks. Opaque; the flat API's default reader is one of these. */
typedef struct KVEL_READER KVEL_READER;

/* Returns a new reader with nothing loaded and an empty error list, or null
 * when memory runs out. A reader allocates its check tables on its first
 * check and keeps them until it is destroyed, so a reader that is used again
 * allocates nothing after its first check (the file loaders allocate the
 * image buffer; KVELReaderSetBuffer and KVELReaderSetBufferWithSize never
 * allocate). */
KVEL_API KVEL_READER* KVELCreateReader(void);

/* Closes what the reader has open (as KVELReaderCloseFile) and frees it.
 * A borrowed image is only forgotten. `reader` may be null. */
KVEL_API void KVELDestroyReader(KVEL_READER* reader);

/* Lets the reader use up to `threads` threads, 1 to KVEL_READER_THREADS_MAX;
 * a new reader uses 1, the calling thread alone. With more than one:
 *   - KVELReaderOpenFile and KVELReaderLoadFileImage read, copy and convert
 *     a file of 16 MiB and more in parts of at least 8 MiB, one a thread;
 *   - KVELReaderCheckFormat walks the event records of a body of 2^20
 *     records and more in two parts, on two threads.
 * The threads are started by the call and have ended when it returns; a
 * thread that cannot be started leaves its part to the calling thread. The
 * image, the records and every result are those of one thread. The flat
 * API's default reader always uses one thread.
 * Returns 0, or -1 (and changes nothing) when `reader` is null or `threads`
 * is out of range. */
#define KVEL_READER_THREADS_MAX 64
KVEL_API int KVELReaderSetThreads(KVEL_READER* reader, int threads);

/* Every export below comes in two forms that behave alike: KVELName(...) on
 * the default reader and KVELReaderName(reader, ...) on `reader`, which must
 * come from KVELCreateReader. "The reader" below is whichever is used. */

/* ------------------------------------------------------------------------
 * Loading
 * ---------------------------------------------------------------------- */

/* Opens the file at `path`, empties the error list, reads the three frames
 * into a buffer of the file's size, converting them to host order, and copies
 * the main header to `header`. The file stays open until KVELCloseFile.
 * The signature and the total frame size are not tested here: KVELCheckFormat
 * reports them.
 * Returns 0, or -1 after appending one of:
 *   -7 a file is still open (nothing changes; the list is not emptied)
 *   -3 the file cannot be opened (the list is not emptied)
 *   -5 the buffer cannot be allocated
 *   -4 a read comes up short, or the frames' size and count fields would
 *      place a field outside the file's bytes
 *   -3034 eventBodySize is 0 or negative (parameter: the value)
 * After a failure that follows the opening of the file, nothing is loaded
 * and the list holds exactly that one record. */
KVEL_API int KVELOpenFile(const char* path, KVEL_MAIN_HEADER* header);
KVEL_API int KVELReaderOpenFile(KVEL_READER* reader, const char* path, KVEL_MAIN_HEADER* header);

/* The file loader applied to the `size` bytes at `bytes`, the whole content
 * of a file: the reader copies them into a buffer of its own and loads that
 * copy exactly as KVELOpenFile loads a file with those bytes. The buffer,
 * views, records and check results are the same, the -1004 comparison of
 * totalFrameSize with the size included. For standard input, bytes from
 * another language, a file picked in a browser.
 * Returns 0, or -1 after appending what KVELOpenFile appends: -7 while a
 * file is open (nothing changes), otherwise the list is emptied first and
 * -5, -4 or -3034 mark a copy that could not be made or loaded (nothing is
 * loaded afterwards). No file is left open; KVELCloseFile releases the copy.
 * `bytes` is only read, and may be released as soon as the call returns. */
KVEL_API int KVELLoadFileImage(const void* bytes, size_t size, KVEL_MAIN_HEADER* header);
KVEL_API int KVELReaderLoadFileImage(KVEL_READER* reader, const void* bytes, size_t size,
                                     KVEL_MAIN_HEADER* header);

/* Opens the file at `path`, empties the error list, measures the file and
 * reads it whole without loading it; the current image stays as it was.
 * The file stays open until KVELCloseFile.
 * Returns 1, or -1 after appending -7 (a file is open), -3 (cannot open) or
 * -5 (the read came up short, or no scratch memory). */
KVEL_API int KVELOpenFile2(const char* path);
KVEL_API int KVELReaderOpenFile2(KVEL_READER* reader, const char* path);

/* Adopts the caller's complete file image as the current image and converts
 * it to host order in place; nothing is copied or allocated, and the library
 * never releases it. The caller keeps it alive, hands each image over only
 * once, and guarantees that its size and count fields describe memory it
 * holds. Neither empties nor appends to the error list. An adopted image has
 * no file size, so KVELCheckFormat does not compare totalFrameSize with one.
 * Returns 0, or -1 when the first four bytes are not "KVMF": the image is then
 * left unconverted (it still becomes the current buffer), `header` is not
 * written, and the frame copies, size functions and views act as when nothing
 * is loaded. */
KVEL_API int KVELSetBuffer(const void* image, KVEL_MAIN_HEADER* header);
KVEL_API int KVELReaderSetBuffer(KVEL_READER* reader, const void* image, KVEL_MAIN_HEADER* header);

/* The same as KVELSetBuffer, for an image of `size` bytes: no conversion,
 * copy, view or check reads or writes at or beyond image + size, whatever
 * the image's size and count fields say.
 * Returns 0, or -1:
 *   - size below 20 (no room for the main header): appends -4; nothing is
 *     loaded afterwards;
 *   - wrong signature: as KVELSetBuffer, no record;
 *   - a frame that does not fit within `size` (a zone record, the event
 *     sub-frame header, the category table, the body size word or an event
 *     record that eventBodySize promises): appends -4, like a short read of
 *     a file; nothing is loaded afterwards, and the frames before the one
 *     that did not fit are left converted. */
KVEL_API int KVELSetBufferWithSize(const void* image, size_t size, KVEL_MAIN_HEADER* header);
KVEL_API int KVELReaderSetBufferWithSize(KVEL_READER* reader, const void* image, size_t size,
                                         KVEL_MAIN_HEADER* header);

/* Closes the open file and releases a buffer the library allocated; a
 * borrowed image is only forgotten. The error list is kept. Always returns 0. */
KVEL_API int KVELCloseFile(void);
KVEL_API int KVELReaderCloseFile(KVEL_READER* reader);

/* ------------------------------------------------------------------------
 * Validation
 * ---------------------------------------------------------------------- */

/* Checks the loaded image: main header, zone sub-frame, event sub-frame and
 * every event record. Appends one record per problem (the list is not emptied
 * first) and returns 0 or minus the number of problems found, counting those
 * beyond the list's capacity. `suppressWarnings` non-zero holds back every
 * warning; `allowUserCategories` non-zero accepts categories 112..126.
 * With nothing loaded it appends -4 and returns -1; when the reader's check
 * tables cannot be allocated (its first check only) it appends -5 and
 * returns -1. The image is not changed. */
KVEL_API int KVELCheckFormat(int suppressWarnings, int allowUserCategories);
KVEL_API int KVELReaderCheckFormat(KVEL_READER* reader, int suppressWarnings, int allowUserCategories);

/* ------------------------------------------------------------------------
 * Reading the frames. The Read functions append -4 and return -1 when
 * nothing is loaded; otherwise they return 0. Destinations are the caller's
 * and are sized with the size functions.
 * ---------------------------------------------------------------------- */

/* Copies the 20-byte main header, in host order. */
KVEL_API int KVELReadMainHeader(KVEL_MAIN_HEADER* header);
KVEL_API int KVELReaderReadMainHeader(KVEL_READER* reader, KVEL_MAIN_HEADER* header);

/* Copies totalFrameSize bytes (everything after the main header) to `dest`;
 * nothing when totalFrameSize, taken as signed, is 0 or negative. Appends -4
 * and returns -1 when that many bytes are not held. */
KVEL_API int KVELReadEntireFrame(unsigned char* dest);
KVEL_API int KVELReaderReadEntireFrame(KVEL_READER* reader, unsigned char* dest);

/* Copies frameSize, zoneCount and the zoneCount zone records
 * (6 + 58 * zoneCount bytes) to `dest`. */
KVEL_API int KVELReadZoneSubFrame(KVEL_ZONE_SUBFRAME* dest);
KVEL_API int KVELReaderReadZoneSubFrame(KVEL_READER* reader, KVEL_ZONE_SUBFRAME* dest);

/* Copies the event sub-frame's frameSize + 4 bytes (as sized by
 * KVELGetBufferSizeForEventSubFrame) to `dest`. Appends -4 and returns -1
 * when that many bytes are not held. */
KVEL_API int KVELReadEventSubFrame(unsigned char* dest);
KVEL_API int KVELReaderReadEventSubFrame(KVEL_READER* reader, unsigned char* dest);

/* Ignore their arguments, change nothing and return 0. Kept for hosts that
 * call them; they have no reader form. */
KVEL_API int KVELReadMainHeader2(const char* path, KVEL_MAIN_HEADER* header, int flags);
KVEL_API int KVELReadEntireFrame2(unsigned char* dest, int size);

/* The zone / event sub-frame's frameSize + 4, or 0 when nothing is loaded. */
KVEL_API int KVELGetBufferSizeForZoneSubFrame(void);
KVEL_API int KVELReaderGetBufferSizeForZoneSubFrame(KVEL_READER* reader);
KVEL_API int KVELGetBufferSizeForEventSubFrame(void);
KVEL_API int KVELReaderGetBufferSizeForEventSubFrame(KVEL_READER* reader);

/* Pointers into the loaded image, host order; null when nothing is loaded.
 * Valid only while the image stays loaded. */
KVEL_API void* KVELGetWholeBuffer(void);
KVEL_API void* KVELReaderGetWholeBuffer(KVEL_READER* reader);
KVEL_API KVEL_ZONE_SUBFRAME* KVELGetZoneSubFrame(void);
KVEL_API KVEL_ZONE_SUBFRAME* KVELReaderGetZoneSubFrame(KVEL_READER* reader);
KVEL_API KVEL_EVENT_SUBFRAME* KVELGetEventSubFrame(void);
KVEL_API KVEL_EVENT_SUBFRAME* KVELReaderGetEventSubFrame(KVEL_READER* reader);
KVEL_API KVEL_EVENT* KVELGetFirstEvent(void);
KVEL_API KVEL_EVENT* KVELReaderGetFirstEvent(KVEL_READER* reader);

/* ------------------------------------------------------------------------
 * The error list
 * ---------------------------------------------------------------------- */

/* The general codes: failures of the interface and the loaders. They carry
 * offset -1 and no parameter. Codes of the file's content are -1001 and
 * below; warnings are -10000 and below. */
#define KVEL_ERROR_TOO_MANY_ERRORS (-2) /* the overflow record of a full list */
#define KVEL_ERROR_CANNOT_OPEN     (-3) /* the file cannot be opened */
#define KVEL_ERROR_CANNOT_READ     (-4) /* nothing loaded, or a short read */
#define KVEL_ERROR_CANNOT_ALLOCATE (-5) /* out of memory, or a short whole-file read */
#define KVEL_ERROR_NO_MORE_ERRORS  (-6) /* a text only: never appended */
#define KVEL_ERROR_STILL_OPEN      (-7) /* a file is still open */
#define KVEL_ERROR_BAD_BODY_SIZE   (-3034) /* eventBodySize 0 or negative, at load */

/* How many records the list holds. */
#define KVEL_ERROR_LIST_CAPACITY 1000

/* One diagnostic. code is minus the message id; offset is the file offset
 * concerned, or -1; param1..param4 are the values of the message's
 * conversions (paramCount of them; the others are 0). */
typedef struct KVEL_ERROR_RECORD {
    int32_t  code;
    int32_t  offset;
    int32_t  paramCount;
    uint32_t param1;
    uint32_t param2;
    uint32_t param3;
    uint32_t param4;
} KVEL_ERROR_RECORD;

/* Number of records in the list, 0 to KVEL_ERROR_LIST_CAPACITY. */
KVEL_API int KVELGetErrorCount(void);
KVEL_API int KVELReaderGetErrorCount(KVEL_READER* reader);

/* Code of record 0 (and moves the read cursor to 1), or 0 when empty. */
KVEL_API int KVELGetFirstError(void);
KVEL_API int KVELReaderGetFirstError(KVEL_READER* reader);

/* Code of the record at the read cursor and advances it, or 0 when no
 * record is left. Codes are negative, so 0 always means the end. */
KVEL_API int KVELGetNextError(void);
KVEL_API int KVELReaderGetNextError(KVEL_READER* reader);

/* Copies the record at `index` (0 to KVELGetErrorCount() - 1) to `record`.
 * Returns 0, or -1 when the index is outside the list (nothing written). */
KVEL_API int KVELGetErrorRecord(int index, KVEL_ERROR_RECORD* record);
KVEL_API int KVELReaderGetErrorRecord(KVEL_READER* reader, int index, KVEL_ERROR_RECORD* record);

/* Formats the record at `index` (0 to KVELGetErrorCount() - 1) as one line,
 *   ERROR(-2021) : offset 0x00000038 : [Zone Sub Frame] The meter ...
 * "WARNING(...)" for codes -10000 and below; the offset part only for codes
 * -1000 and below ("offset ---------- : " when the offset is -1). The line
 * is truncated to textSize - 1 characters and always terminated. An index
 * outside the list gives an empty line. */
KVEL_API void KVELGetErrorString(int index, char* text, int textSize);
KVEL_API void KVELReaderGetErrorString(KVEL_READER* reader, int index, char* text, int textSize);

#ifdef __cplusplus
}
#endif

#endif /* KVELREAD_H */
