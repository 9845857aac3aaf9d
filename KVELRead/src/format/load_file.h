// The file loader's pieces: opening and measuring a file, and placing the
// frames of a whole file's bytes. No reader state: the caller keeps the
// stream, the buffer and the views, and appends the records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "format/frame_views.h"

namespace kvel {

// The loader's one allocation and its reads, replaceable so that tests can
// make them fail. Memory from `allocate` is released with std::free; it
// need not be zeroed.
struct FileLoaderHooks {
    void* (*allocate)(size_t size);
    size_t (*read)(void* dest, size_t size, std::FILE* file);
};

FileLoaderHooks defaultFileLoaderHooks();

// Opens `path` for one unbuffered whole-file read; null when it cannot be.
std::FILE* openForReading(const char* path);

// The file's size in bytes. A stream that cannot be measured (a pipe, a
// directory) measures 0, so that loading it fails as a short read.
uint64_t measureFile(std::FILE* file);

// Reads a whole file of `size` bytes into `buffer` through `hooks`. Returns
// the bytes that arrived; the rest of the buffer is zeroed, so that nothing
// uninitialised is ever checked.
uint64_t readWholeFile(unsigned char* buffer, uint64_t size, std::FILE* file, const FileLoaderHooks& hooks);

// Converts the frames of a file whose first `available` bytes are in
// `buffer` (which holds `size`) and puts them in their places, filling
// `views`. Returns failure 0, -4 for a field that would be read past the
// file's bytes or placed past the buffer, or -3034 with the body size.
LoadResult placeFrames(unsigned char* buffer, uint64_t available, uint64_t size, FrameViews& views);

}  // namespace kvel
