// Big-endian fields of a KVMF file: read and written byte by byte, so a
// field need not be aligned and the host's byte order never shows.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace kvcodec {

using Bytes = std::vector<uint8_t>;

inline uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

inline uint32_t get32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

inline void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

inline void put32(uint8_t* p, uint32_t v) {
    put16(p, static_cast<uint16_t>(v >> 16));
    put16(p + 2, static_cast<uint16_t>(v));
}

// Reverses one field in place, whatever order it is in: the pass a loader
// makes over every field, for the benchmarks' floor.
inline void swap16(uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    v = __builtin_bswap16(v);
    std::memcpy(p, &v, 2);
}

inline void swap32(uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

}  // namespace kvcodec
