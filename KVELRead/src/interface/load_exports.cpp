// The loaders as a reader sees them: which image is current, who owns it,
// and the records a load appends. The format layer converts and places the
// frames.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "KVELRead.h"
#include "format/load_file.h"
#include "format/load_memory.h"
#include "interface/reader.h"

namespace kvel {
namespace {

void appendLoadFailure(Reader& r, const LoadResult& result) {
    if (result.failure == KVEL_ERROR_BAD_BODY_SIZE)
        appendError(r.errors, result.failure, kNoOffset, 1, static_cast<uint32_t>(result.badBodySize));
    else
        appendError(r.errors, result.failure, kNoOffset);
}

// Opens `path` after the checks that both openers share and empties the
// error list. Null after appending -7 or -3.
std::FILE* openFile(Reader& r, const char* path) {
    if (r.file) {
        appendError(r.errors, KVEL_ERROR_STILL_OPEN, kNoOffset);
        return nullptr;
    }
    std::FILE* f = openForReading(path);
    if (!f) {
        appendError(r.errors, KVEL_ERROR_CANNOT_OPEN, kNoOffset);
        return nullptr;
    }
    clearErrors(r.errors);
    r.file = f;
    return f;
}

// A buffer of `size` bytes for a loader that has emptied the list and made
// `size` the file size; null after appending -5.
unsigned char* allocateBuffer(Reader& r, uint64_t size) {
    // Whatever was current goes: the reader's own image is released, a
    // borrowed one only forgotten.
    dropImage(r);
    r.fileSize = static_cast<uint32_t>(size);
    void* memory = size <= SIZE_MAX ? r.hooks.allocate(static_cast<size_t>(size)) : nullptr;
    if (!memory) {
        appendError(r.errors, KVEL_ERROR_CANNOT_ALLOCATE, kNoOffset);
        return nullptr;
    }
    r.buffer = static_cast<unsigned char*>(memory);
    r.ownsBuffer = true;
    return r.buffer;
}

// Places the frames of the reader's own buffer, whose first `available` of
// `size` bytes came from the file. On failure, appends its record and
// closes: nothing is loaded afterwards.
int finishLoad(Reader& r, uint64_t available, uint64_t size, KVEL_MAIN_HEADER* header) {
    const LoadResult result = placeFrames(r.buffer, available, size, r.views, r.threads);
    if (result.failure != 0) {
        appendLoadFailure(r, result);
        KVELReaderCloseFile(&r);
        return -1;
    }
    r.framesReady = true;
    std::memcpy(header, r.buffer, kMainHeaderSize);
    return 0;
}

}  // namespace
}  // namespace kvel

using kvel::Reader;

extern "C" {

KVEL_API int KVELReaderOpenFile(KVEL_READER* reader, const char* path, KVEL_MAIN_HEADER* header) {
    Reader& r = *reader;
    std::FILE* f = kvel::openFile(r, path);
    if (!f) return -1;
    const uint64_t size = kvel::measureFile(f);
    unsigned char* buffer = kvel::allocateBuffer(r, size);
    if (!buffer) {
        KVELReaderCloseFile(reader);
        return -1;
    }
    const uint64_t available = kvel::readWholeFile(buffer, size, f, r.hooks, r.threads);
    return kvel::finishLoad(r, available, size, header);
}

KVEL_API int KVELReaderLoadFileImage(KVEL_READER* reader, const void* bytes, size_t size, KVEL_MAIN_HEADER* header) {
    Reader& r = *reader;
    // The image stands for a file that has just been opened.
    if (r.file) {
        kvel::appendError(r.errors, KVEL_ERROR_STILL_OPEN, kvel::kNoOffset);
        return -1;
    }
    kvel::clearErrors(r.errors);
    unsigned char* buffer = kvel::allocateBuffer(r, size);
    if (!buffer) return -1;
    kvel::copyWholeImage(buffer, bytes, size, r.threads);
    return kvel::finishLoad(r, size, size, header);
}

KVEL_API int KVELReaderOpenFile2(KVEL_READER* reader, const char* path) {
    Reader& r = *reader;
    std::FILE* f = kvel::openFile(r, path);
    if (!f) return -1;
    const uint64_t size = kvel::measureFile(f);
    r.fileSize = static_cast<uint32_t>(size);
    void* scratch = size <= SIZE_MAX ? r.hooks.allocate(static_cast<size_t>(size)) : nullptr;
    const bool whole = scratch && r.hooks.read(scratch, static_cast<size_t>(size), 0, f) == size;
    std::free(scratch);  // the bytes read are not kept
    if (!whole) {
        kvel::appendError(r.errors, KVEL_ERROR_CANNOT_ALLOCATE, kvel::kNoOffset);
        std::fclose(f);
        r.file = nullptr;
        return -1;
    }
    return 1;
}

KVEL_API int KVELReaderCloseFile(KVEL_READER* reader) {
    Reader& r = *reader;
    if (r.file) {
        std::fclose(r.file);
        r.file = nullptr;
    }
    kvel::dropImage(r);
    return 0;
}

KVEL_API int KVELReaderSetBuffer(KVEL_READER* reader, const void* image, KVEL_MAIN_HEADER* header) {
    return KVELReaderSetBufferWithSize(reader, image, SIZE_MAX, header);
}

KVEL_API int KVELReaderSetBufferWithSize(KVEL_READER* reader, const void* image, size_t size,
                                         KVEL_MAIN_HEADER* header) {
    Reader& r = *reader;
    // The image is declared const but is converted in place, as documented.
    unsigned char* bytes = static_cast<unsigned char*>(const_cast<void*>(image));
    // A reader's own buffer cannot stay current once another image is
    // adopted: it is released here, exactly once. Its file stays open.
    kvel::dropImage(r);
    if (size < kvel::kMainHeaderSize) {
        // Too short to be looked at: nothing is adopted.
        kvel::appendError(r.errors, KVEL_ERROR_CANNOT_READ, kvel::kNoOffset);
        return -1;
    }
    r.buffer = bytes;
    // An adopted image has no file whose size the header could be held to.
    r.fileSize = 0;
    const kvel::LoadResult result = kvel::adoptFrames(bytes, size, r.views, header);
    if (result.failure == kvel::kLoadBadSignature) return -1;
    if (result.failure != 0) {
        kvel::forgetImage(r);
        kvel::appendLoadFailure(r, result);
        return -1;
    }
    r.framesReady = true;
    return 0;
}

}  // extern "C"
