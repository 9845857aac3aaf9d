// Debian's Emscripten 3.1.6 ships libc++ 13, which lacks std::bit_cast and
// the floating-point forms of std::to_chars and std::from_chars that the
// tool's code uses. cmake/emscripten-debian.cmake forces this header into
// every C++ source of that build; it supplies them with the same results,
// and does nothing with a newer library.
#pragma once

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
namespace std {

template <class To, class From>
To bit_cast(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From));
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
}

// The shortest text that reads back as the same float, as C++17 asks.
inline to_chars_result to_chars(char* first, char* last, float value) {
    char text[64];
    int n = 0;
    for (int digits = 1; digits <= 9; ++digits) {
        n = std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    if (n < 0 || n > last - first) return {last, errc::value_too_large};
    std::memcpy(first, text, static_cast<size_t>(n));
    return {first + n, errc()};
}

inline from_chars_result from_chars(const char* first, const char* last, double& value) {
    const std::string text(first, last);
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) return {first, errc::invalid_argument};
    value = parsed;
    return {first + (end - text.c_str()), errc()};
}

}  // namespace std
#endif
