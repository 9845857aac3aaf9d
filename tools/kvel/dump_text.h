// `kvel dump` as text: the frames as tables for people.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "kvmf_image.h"

namespace kvel_tool {

// Shows the events with an index from `firstEvent` up to but not including
// `endEvent`. Stops when `out` fails, so that a closed pipe ends the dump.
void dumpText(std::ostream& out, const Image& image, const std::string& path, uint64_t fileSize,
              size_t firstEvent = 0, size_t endEvent = SIZE_MAX);

// "m:ss.mmm" for a sample position at a sample rate; "-" without a rate.
std::string sampleTime(uint32_t sample, uint32_t sampleRate);

// The category data of an event in words: "bar start", "chord 0x10 flag 0",
// "zone 2", "zone terminator", ...
std::string describeEvent(const Event& event);

}  // namespace kvel_tool
