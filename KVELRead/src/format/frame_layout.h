// Sizes and field offsets of the three frames, shared by the loaders and the
// checks. The public structs carry the same layout; these constants let code
// work on raw image bytes without forming misaligned struct pointers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "KVELRead.h"

namespace kvel {

constexpr unsigned char kSignature[4] = {'K', 'V', 'M', 'F'};

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

// The public structs lie over the same bytes: a field moved on one side and
// not on the other fails the build.
static_assert(sizeof(KVEL_MAIN_HEADER) == kMainHeaderSize);
static_assert(offsetof(KVEL_MAIN_HEADER, signature) == mh::signature && offsetof(KVEL_MAIN_HEADER, engineId) == mh::engineId &&
              offsetof(KVEL_MAIN_HEADER, applicationId) == mh::applicationId && offsetof(KVEL_MAIN_HEADER, version) == mh::version &&
              offsetof(KVEL_MAIN_HEADER, level) == mh::level && offsetof(KVEL_MAIN_HEADER, totalFrameSize) == mh::totalFrameSize);
static_assert(offsetof(KVEL_ZONE_SUBFRAME, frameSize) == zs::frameSize && offsetof(KVEL_ZONE_SUBFRAME, zoneCount) == zs::zoneCount &&
              offsetof(KVEL_ZONE_SUBFRAME, zones) == zs::records);
static_assert(sizeof(KVEL_ZONE) == kZoneRecordSize);
static_assert(offsetof(KVEL_ZONE, zoneNumber) == zr::zoneNumber && offsetof(KVEL_ZONE, zoneStartPosition) == zr::zoneStart &&
              offsetof(KVEL_ZONE, zoneEndPosition) == zr::zoneEnd && offsetof(KVEL_ZONE, fadeInStartPosition) == zr::fadeInStart &&
              offsetof(KVEL_ZONE, fadeInEndPosition) == zr::fadeInEnd && offsetof(KVEL_ZONE, fadeOutStartPosition) == zr::fadeOutStart &&
              offsetof(KVEL_ZONE, fadeOutEndPosition) == zr::fadeOutEnd && offsetof(KVEL_ZONE, bpm) == zr::bpm &&
              offsetof(KVEL_ZONE, meterDenominator) == zr::meterDenominator &&
              offsetof(KVEL_ZONE, meterNumerator) == zr::meterNumerator && offsetof(KVEL_ZONE, barCount) == zr::barCount &&
              offsetof(KVEL_ZONE, key) == zr::key && offsetof(KVEL_ZONE, reserved0) == zr::reservedBegin &&
              offsetof(KVEL_ZONE, reserved5) + 4 == zr::reservedEnd);
static_assert(offsetof(KVEL_EVENT_SUBFRAME, frameSize) == es::frameSize && offsetof(KVEL_EVENT_SUBFRAME, headerSize) == es::headerSize &&
              offsetof(KVEL_EVENT_SUBFRAME, sampleRate) == es::sampleRate &&
              offsetof(KVEL_EVENT_SUBFRAME, totalSamples) == es::totalSamples &&
              offsetof(KVEL_EVENT_SUBFRAME, effectiveStart) == es::effectiveStart &&
              offsetof(KVEL_EVENT_SUBFRAME, effectiveEnd) == es::effectiveEnd &&
              offsetof(KVEL_EVENT_SUBFRAME, channelCount) == es::channelCount &&
              offsetof(KVEL_EVENT_SUBFRAME, bitsPerSample) == es::bitsPerSample &&
              offsetof(KVEL_EVENT_SUBFRAME, categoryCount) == es::categoryCount &&
              offsetof(KVEL_EVENT_SUBFRAME, masterTune) == es::masterTune &&
              offsetof(KVEL_EVENT_SUBFRAME, totalEventCount) == es::totalEventCount &&
              offsetof(KVEL_EVENT_SUBFRAME, categories) == es::categories && kEventHeaderSize == es::categories);
static_assert(sizeof(KVEL_EVENT) == kEventRecordSize);
static_assert(offsetof(KVEL_EVENT, barBeat) == ev::barBeat && offsetof(KVEL_EVENT, value) == ev::value &&
              offsetof(KVEL_EVENT, samplePosition) == ev::samplePosition);

// Offset of the first event record inside the event sub-frame.
constexpr uint64_t firstEventOffset(uint32_t categoryCount) {
    return kEventHeaderSize + 4ull * categoryCount + 4;
}

}  // namespace kvel
