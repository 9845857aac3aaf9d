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
// need not be zeroed. `read` reads up to `size` bytes from `offset` and
// returns those that arrived; a split load calls it from several threads.
struct FileLoaderHooks {
    void* (*allocate)(size_t size);
    size_t (*read)(void* dest, size_t size, uint64_t offset, std::FILE* file);
};

// A load splits its reading, copying and converting into parts of at least
// this many bytes, one per thread, as many as the reader allows.
constexpr uint64_t kMinLoadPart = uint64_t{8} << 20;

// The parts a load of `bytes` takes with at most `threads` threads.
unsigned loadParts(uint64_t bytes, unsigned threads);

FileLoaderHooks defaultFileLoaderHooks();

// Opens `path` for one unbuffered whole-file read; null when it cannot be.
std::FILE* openForReading(const char* path);

// The file's size in bytes. A stream that cannot be measured (a pipe, a
// directory) measures 0, so that loading it fails as a short read.
uint64_t measureFile(std::FILE* file);

// Reads a whole file of `size` bytes into `buffer` through `hooks`, with up
// to `threads` threads. Returns the bytes that arrived in one run from the
// start, as one read would have; the rest of the buffer is zeroed, so that
// nothing uninitialised is ever checked.
uint64_t readWholeFile(unsigned char* buffer, uint64_t size, std::FILE* file, const FileLoaderHooks& hooks,
                       unsigned threads);

// Copies a file image of `size` bytes into `buffer`, with up to `threads`
// threads.
void copyWholeImage(unsigned char* buffer, const void* bytes, uint64_t size, unsigned threads);

// Converts the frames of a file whose first `available` bytes are in
// `buffer` (which holds `size`) and puts them in their places, filling
// `views`, the event records with up to `threads` threads. Returns failure
// 0, -4 for a field that would be read past the file's bytes or placed past
// the buffer, or -3034 with the body size.
LoadResult placeFrames(unsigned char* buffer, uint64_t available, uint64_t size, FrameViews& views,
                       unsigned threads);

}  // namespace kvel
