// Positional reads of an open file, which several threads may make at once
// without moving a shared file position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kvel {

// Reads up to `size` bytes of `file` from `offset` into `dest`; returns the
// bytes that arrived, fewer at the end of the file or on an error.
size_t readAt(std::FILE* file, void* dest, size_t size, uint64_t offset);

}  // namespace kvel
