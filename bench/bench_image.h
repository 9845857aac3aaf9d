// Synthetic KVMF images for the benchmarks, written straight into one byte
// vector through the codec's inline record writers (building a whole file
// image first is too slow for 10^7 events), and the floor pass that
// byte-swaps every multi-byte field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvbench {

struct ImageShape {
    uint32_t events = 1000;  // exact number of event records
    uint32_t zones = 2;      // 1..65535
    // Every event record gets bar number 0, so every record draws -3033 (and
    // the beat fields, no longer ordered by bar, draw -3022 on top).
    bool barZero = false;
};

// Where the multi-byte fields are: enough to swap them without reading any
// size or count field, whichever byte order the image is in.
struct Layout {
    uint32_t zoneCount = 0;
    uint32_t categoryCount = 0;
    uint32_t eventCount = 0;
    size_t eventFrameOffset = 0;
    size_t firstEventOffset = 0;
    size_t size = 0;
};

struct Image {
    std::vector<unsigned char> bytes;  // big-endian, as in a file
    Layout layout;
};

// A file image as described by `shape`. With barZero false it is well formed:
// every zone has its zone event, key, tempo and meter changes and whole bars
// of beats (bar starts flagged, meters 4 and 3 alternating) with chords,
// absolute chords, melody and events of the rule-less categories 24, 25 and
// 32 in between; the first zone carries the start and fade-in events, the
// last the fade-out, end and terminator events. Bar numbers stay within the
// 12-bit range by giving several bars one number when there are many.
// KVELCheckFormat(0, 0) reports nothing for it, apart from the -13601 warning
// (more than 30 outline events) once there are more than five zones.
// `events` must be at least 4 * zones + 7.
Image makeImage(const ImageShape& shape);

// Byte-swaps every 16- and 32-bit field of the image in place, the same
// fields the loaders convert, with no check of any kind. Swapping twice
// restores the image.
void swapFields(unsigned char* image, const Layout& layout);

// The layout of a file image of `size` bytes, read from its size and count
// fields (big-endian). False when they place a field outside the image.
bool readLayout(const unsigned char* image, size_t size, Layout& layout);

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace kvbench
