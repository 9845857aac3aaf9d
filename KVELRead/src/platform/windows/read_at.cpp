#include "platform/read_at.h"

#include <io.h>
#include <windows.h>

namespace kvel {

size_t readAt(std::FILE* file, void* dest, size_t size, uint64_t offset) {
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (h == INVALID_HANDLE_VALUE) return 0;
    size_t got = 0;
    while (got < size) {
        // The offset goes with each read, so that reads on other threads
        // do not move it.
        const uint64_t at = offset + got;
        OVERLAPPED where = {};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        const DWORD want = size - got < (DWORD{1} << 30) ? static_cast<DWORD>(size - got) : DWORD{1} << 30;
        DWORD n = 0;
        if (!ReadFile(h, static_cast<char*>(dest) + got, want, &n, &where) || n == 0) break;
        got += n;
    }
    return got;
}

}  // namespace kvel
