// Memory for a loaded image. A big image spends most of its load in page
// faults; where the platform offers huge pages, a big buffer is placed so
// that they can be used. Released with std::free, whatever its size.
#pragma once

#include <cstddef>

namespace kvel {

void* allocateImage(size_t size);

}  // namespace kvel
