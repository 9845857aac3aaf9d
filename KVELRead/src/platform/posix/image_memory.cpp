#include "platform/image_memory.h"

#include <cstdlib>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kvel {
namespace {

#if defined(__linux__) && defined(MADV_HUGEPAGE)
constexpr size_t kHugePage = size_t{2} << 20;
// Below this the C library keeps freed buffers and hands them out again
// (glibc raises its mmap threshold up to 32 MiB as big blocks are freed):
// loads of one file after another then reuse memory whose pages are
// already there. Above it every big block is fresh memory, and every page
// a fault: huge pages make those 512 times fewer.
constexpr size_t kHugeFrom = 16 * kHugePage;
#endif

}  // namespace

void* allocateImage(size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (size >= kHugeFrom) {
        // Aligned to a huge page and a whole number of them, so that every
        // page of the buffer can be one; the kernel decides whether it is.
        const size_t rounded = (size + kHugePage - 1) & ~(kHugePage - 1);
        if (void* p = std::aligned_alloc(kHugePage, rounded)) {
            madvise(p, rounded, MADV_HUGEPAGE);
            return p;
        }
        return nullptr;
    }
#endif
    return std::malloc(size ? size : 1);
}

}  // namespace kvel
