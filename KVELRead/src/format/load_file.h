// Test seams of the file loader: its one allocation and its reads.
#pragma once

#include <cstddef>
#include <cstdio>

namespace kvel {

struct FileLoaderHooks {
    void* (*allocate)(size_t size);  // must return zeroed memory, like calloc
    size_t (*read)(void* dest, size_t size, std::FILE* file);
};

// Replaces the hooks; null members restore the defaults.
void setFileLoaderHooks(const FileLoaderHooks& hooks);

}  // namespace kvel
