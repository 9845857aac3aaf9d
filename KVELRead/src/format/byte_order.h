// All byte-order handling of the library: big-endian file fields read byte by
// byte (fields need not be aligned) and host-order fields read and written
// through memcpy.
#pragma once

#include <cstdint>
#include <cstring>

namespace kvel {

inline uint16_t readBe16(const unsigned char* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

inline uint32_t readBe32(const unsigned char* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline uint16_t readHost16(const unsigned char* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline uint32_t readHost32(const unsigned char* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void writeHost16(unsigned char* p, uint16_t v) { std::memcpy(p, &v, sizeof v); }
inline void writeHost32(unsigned char* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }

// In-place conversion of one big-endian field to host order.
inline void convert16(unsigned char* p) { writeHost16(p, readBe16(p)); }
inline void convert32(unsigned char* p) { writeHost32(p, readBe32(p)); }

}  // namespace kvel
