// The library's one process-wide reader state. There is no handle: every
// export works on this. Zero-initialised storage gives the starting state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "interface/error_list.h"

namespace kvel {

struct ReaderState {
    const void* module;        // stands in for the module handle; set at process attach
    unsigned char* buffer;     // the current image; null = nothing loaded
    bool ownsBuffer;           // allocated by KVELOpenFile, released by KVELCloseFile
    bool framesReady;          // the frames are converted and the views below are valid
    unsigned char* mainHeader;
    unsigned char* zoneSubFrame;
    unsigned char* eventSubFrame;
    unsigned char* firstEvent;
    int32_t eventBodySize;     // host-order eventBodySize as the loader read it
    // Bytes from `buffer` that are known to be held: the file size for a
    // loaded file; for a borrowed image, what the caller vouched for. No
    // copy or check reads at or beyond buffer + heldSize.
    uint64_t heldSize;
    std::FILE* file;
    uint32_t fileSize;         // size of the file last opened; 0 = none to compare
    ErrorList errors;
};

extern ReaderState g_reader;

// True when an image is loaded and its frames are in host order.
inline bool framesLoaded() { return g_reader.buffer != nullptr && g_reader.framesReady; }

// Forgets the current image and its views (releasing nothing).
void forgetImage();

// Process attach: store the module stand-in, drop the image, empty the list.
void processAttach(const void* module);

}  // namespace kvel
