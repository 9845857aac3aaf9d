// Names of event categories and outline event codes, as the JSON form and
// the text dump show them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kvel_tool {

struct Named {
    uint8_t number;
    const char* json;  // in JSON documents
    const char* text;  // in the text dump
};

inline constexpr Named kCategories[] = {
    {1, "beat", "beat"},       {8, "chord", "chord"},        {9, "absoluteChord", "absolute chord"},
    {16, "melody", "melody"},  {47, "outline", "outline"},
};

inline constexpr Named kOutlineCodes[] = {
    {1, "zone", "zone"},
    {2, "keyChange", "key change"},
    {3, "tempoChange", "tempo change"},
    {4, "meterChange", "meter change"},
    {16, "start", "start"},
    {17, "end", "end"},
    {32, "fadeInStart", "fade-in start"},
    {33, "fadeInEnd", "fade-in end"},
    {40, "fadeOutStart", "fade-out start"},
    {41, "fadeOutEnd", "fade-out end"},
};

template <size_t N>
const Named* findByNumber(const Named (&table)[N], uint8_t number) {
    for (const Named& n : table)
        if (n.number == number) return &n;
    return nullptr;
}

template <size_t N>
const Named* findByJsonName(const Named (&table)[N], std::string_view name) {
    for (const Named& n : table)
        if (name == n.json) return &n;
    return nullptr;
}

// Category data bits that the JSON form shows as named fields.
inline constexpr uint32_t kBarStartBit = 1u << 21;
inline constexpr uint32_t kUncountedBit = 1u << 22;
inline constexpr uint32_t kSharpFlatMask = 0x3;
inline constexpr uint32_t kChordMask = 0xFF00;
inline constexpr uint32_t kTonesMask = 0x7FFFE0;
inline constexpr uint32_t kMelodyMask = 0xFFF;
inline constexpr uint32_t kOutlineCodeMask = 0x7F;
inline constexpr uint32_t kZoneNumberMask = 0x7FFF80;

}  // namespace kvel_tool
