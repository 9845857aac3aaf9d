#include "platform/image_memory.h"

#include <cstdlib>

namespace kvel {

// Large pages need a privilege that a host seldom has: the plain allocation.
void* allocateImage(size_t size) { return std::malloc(size ? size : 1); }

}  // namespace kvel
