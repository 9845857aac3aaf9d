// All byte-order handling of the library: big-endian file fields read byte by
// byte (fields need not be aligned) and host-order fields read and written
// through memcpy.
#pragma once

#include <bit>
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

// Compilers turn this into one load and one byte swap.
inline uint64_t readBe64(const unsigned char* p) {
    return (uint64_t{readBe32(p)} << 32) | readBe32(p + 4);
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
inline void writeHost64(unsigned char* p, uint64_t v) { std::memcpy(p, &v, sizeof v); }

// In-place conversion of one big-endian field to host order.
inline void convert16(unsigned char* p) { writeHost16(p, readBe16(p)); }
inline void convert32(unsigned char* p) { writeHost32(p, readBe32(p)); }

// Two adjacent big-endian 32-bit fields in place, with one load and one store:
// swapping all eight bytes reverses the fields' order as well, which on a
// little-endian host a rotation by 32 bits undoes.
inline void convert32Pair(unsigned char* p) {
    const uint64_t v = readBe64(p);  // the first field in the high half
    if constexpr (std::endian::native == std::endian::little)
        writeHost64(p, std::rotl(v, 32));
    else
        writeHost64(p, v);
}

}  // namespace kvel
