// Drives every export of the library over one input, as a file and as a
// memory image. Shared by the libFuzzer targets and by the replay program
// that runs the committed regression inputs in the ordinary test suite.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvelfuzz {

// Writes the input to a file, then KVELOpenFile2 and KVELOpenFile on it.
void runFilePath(const uint8_t* data, size_t size);

// Hands a heap copy of exactly `size` bytes to KVELSetBufferWithSize.
void runMemoryPath(const uint8_t* data, size_t size);

// When the file's sizes agree with each other and with its length, loads it
// both ways: the images and the diagnostics must be the same.
void compareLoaders(const uint8_t* data, size_t size);

// Checks the input as a memory image twice, on two readers: once with the
// quiet paths (and the walk split between two threads), once with every
// zone and record taken by the reporting rules. The results and the records
// must be the same.
void comparePaths(const uint8_t* data, size_t size);

// Interprets the input as a series of loads, closes, checks and reads in any
// order (first byte: how many, then one byte each), applied to the image that
// follows, so every reader state meets every operation.
void runSequence(const uint8_t* data, size_t size);

}  // namespace kvelfuzz
