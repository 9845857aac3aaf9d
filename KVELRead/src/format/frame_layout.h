// Sizes and field offsets of the three frames, shared by the loaders and the
// checks. The public structs carry the same layout; these constants let code
// work on raw image bytes without forming misaligned struct pointers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvel {

constexpr uint32_t kMainHeaderSize = 20;
constexpr uint32_t kZoneSubFrameOffset = 20;  // file offset of the zone sub-frame
constexpr uint32_t kZoneHeaderSize = 6;       // frameSize + zoneCount
constexpr uint32_t kZoneRecordSize = 58;
constexpr uint32_t kEventHeaderSize = 36;     // up to and including totalEventCount
constexpr uint32_t kEventRecordSize = 10;

namespace mh {  // main header
constexpr size_t signature = 0, engineId = 4, applicationId = 8, version = 12, level = 14,
                 totalFrameSize = 16;
}
namespace zs {  // zone sub-frame header
constexpr size_t frameSize = 0, zoneCount = 4, records = 6;
}
namespace zr {  // zone record
constexpr size_t zoneNumber = 0, zoneStart = 2, zoneEnd = 6, fadeInStart = 10, fadeInEnd = 14,
                 fadeOutStart = 18, fadeOutEnd = 22, bpm = 26, meterDenominator = 30,
                 meterNumerator = 31, barCount = 32, key = 34, reservedBegin = 36,
                 reservedEnd = 58;
}
namespace es {  // event sub-frame header
constexpr size_t frameSize = 0, headerSize = 4, sampleRate = 8, totalSamples = 12,
                 effectiveStart = 16, effectiveEnd = 20, channelCount = 24, bitsPerSample = 25,
                 categoryCount = 26, masterTune = 28, totalEventCount = 32, categories = 36;
}
namespace ev {  // event record
constexpr size_t barBeat = 0, value = 2, samplePosition = 6;
}

constexpr uint32_t kNoPosition = 0xFFFFFFFFu;  // a fade position that is not given

// Offset of the first event record inside the event sub-frame.
constexpr uint64_t firstEventOffset(uint32_t categoryCount) {
    return kEventHeaderSize + 4ull * categoryCount + 4;
}

}  // namespace kvel
