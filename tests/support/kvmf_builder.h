// Describes KVMF files for the tests and writes them through the codec.
// Every size and count field is derived from the content unless a test sets
// it, so a test can start from a well-formed file and break exactly one thing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kvmf_records.h"

namespace kvmf {

constexpr uint32_t kNone = kvcodec::kNoPosition;  // a fade position that is not given

struct Zone {
    std::optional<uint16_t> zoneNumber;  // derived: the record's index
    uint32_t zoneStartPosition = 0;
    uint32_t zoneEndPosition = 0;
    uint32_t fadeInStartPosition = kNone;
    uint32_t fadeInEndPosition = kNone;
    uint32_t fadeOutStartPosition = kNone;
    uint32_t fadeOutEndPosition = kNone;
    float bpm = 120.0f;
    std::optional<uint32_t> bpmBits;  // raw bits, overrides bpm (NaN and the like)
    uint8_t meterDenominator = 4;
    uint8_t meterNumerator = 4;
    uint16_t barCount = 1;
    uint16_t key = 0x0001;
    uint16_t reserved0 = 0;
    std::array<uint32_t, 5> reserved{};  // reserved1..reserved5
};

using Event = kvcodec::Event;
using kvcodec::barBeat;
using kvcodec::valueWord;

// Event constructors. bar 0xFFF is the no-bar value.
Event beatEvent(uint32_t bar, uint32_t beat, uint32_t sample, bool barStart = false, bool uncounted = false);
Event chordEvent(uint32_t bar, uint32_t beat, uint32_t sample, uint8_t chordNumber = 0x10, uint8_t low = 0);
Event absoluteChordEvent(uint32_t bar, uint32_t beat, uint32_t sample, uint32_t toneBits = 0x91);
Event melodyEvent(uint32_t bar, uint32_t beat, uint32_t sample, uint32_t data = 0x40);
Event outlineEvent(uint32_t bar, uint32_t beat, uint32_t sample, uint32_t code, uint32_t zoneNumber = 0);
Event zoneEvent(uint32_t bar, uint32_t beat, uint32_t sample, uint32_t zoneNumber);
Event terminatorEvent(uint32_t sample);  // no-bar zone event 0xFFFF

struct Doc {
    // Main header.
    std::array<uint8_t, 4> signature = kvcodec::kSignatureId;
    std::array<uint8_t, 4> engineId{'K', 'V', 'E', 'L'};
    std::array<uint8_t, 4> applicationId{'T', 'E', 'S', 'T'};
    uint16_t version = 0x0100;
    uint16_t level = 0x1000;
    std::optional<uint32_t> totalFrameSize;  // derived: bytes after the header

    // Zone sub-frame.
    std::optional<uint32_t> zoneFrameSize;  // derived: 2 + 58 * zones
    std::optional<uint16_t> zoneCount;      // derived: zones.size()
    std::vector<Zone> zones;
    std::vector<uint8_t> zoneGap;           // bytes between the records and the event sub-frame

    // Event sub-frame.
    std::optional<uint32_t> eventFrameSize;  // derived: 36 + 4n + eventBodySize
    std::optional<uint32_t> headerSize;      // derived: 28 + 4n
    uint32_t sampleRate = 44100;
    uint32_t totalSamples = 0;
    uint32_t effectiveStart = 0;
    uint32_t effectiveEnd = 0;
    uint8_t channelCount = 2;
    uint8_t bitsPerSample = 16;
    std::optional<uint16_t> categoryCount;       // derived: categories().size()
    uint32_t masterTune = 440;
    std::optional<uint32_t> totalEventCount;     // derived: sum of the table's counts
    std::optional<std::vector<uint32_t>> categoryTable;  // derived from the events
    std::optional<uint32_t> eventBodySize;       // derived: 10 * events
    std::vector<Event> events;
    std::vector<uint8_t> trailing;               // bytes after the last record

    // The category table as written: categoryTable, or one entry per category
    // present in the events, in order of first appearance, with its count.
    std::vector<uint32_t> categories() const;

    // File offsets of the pieces, as the bytes are laid out.
    uint32_t eventSubFrameOffset() const;
    uint32_t firstEventOffset() const;
    uint32_t eventOffset(size_t j) const { return firstEventOffset() + 10 * static_cast<uint32_t>(j); }

    std::vector<uint8_t> bytes() const;
};

// A small well-formed file: one 4/4 zone of two bars at 120 bpm, 18 events of
// all rule categories. KVELCheckFormat(0, 0) reports nothing for it.
Doc wellFormed();

// A well-formed file of realistic size: several zones with their own tempo
// and meter, key/tempo/meter changes, fades, beats, chords, absolute chords
// and melody. `barsPerZone` and `meters` (numerators) give one zone each.
Doc song(const std::vector<uint16_t>& barsPerZone, const std::vector<uint8_t>& numerators,
         uint32_t sampleRate = 44100);

// A song of about 27 MB, whose load splits into three parts when three
// threads may load it. Its 200,000 bars are more than the bar field holds:
// the numbers wrap, and the checks report problems all through it.
Doc bigSong();

// Writes bytes to a file; returns false on failure.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace kvmf
