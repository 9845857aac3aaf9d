// The reader: everything one load and its checks use. The handle a host
// holds is a pointer to one of these; the flat API works on the default one.
#pragma once

#include <cstdint>
#include <cstdio>

#include "KVELRead.h"
#include "check/check_state.h"
#include "format/frame_views.h"
#include "format/load_file.h"
#include "interface/error_list.h"

struct KVEL_READER {
    const void* module;      // where the message texts are: the module handle or its stand-in
    unsigned char* buffer;   // the current image; null = nothing loaded
    bool ownsBuffer;         // allocated by a loader, released by KVELCloseFile
    bool framesReady;        // the frames are converted and `views` is valid
    kvel::FrameViews views;
    std::FILE* file;
    uint32_t fileSize;       // size of the file last loaded; 0 = none to compare
    kvel::ErrorList errors;
    kvel::Check check;       // what a check run keeps, and the zone index
    kvel::FileLoaderHooks hooks;
    unsigned threads;        // threads a load or a check may use, 1 to kvel::kMaxParts
};

namespace kvel {

using Reader = KVEL_READER;

// The flat API's reader: the one process-wide state.
Reader& defaultReader();

// A reader with nothing loaded and an empty list, its texts in `module`.
void initReader(Reader& reader, const void* module);

// True when an image is loaded and its frames are in host order.
inline bool framesLoaded(const Reader& r) { return r.buffer != nullptr && r.framesReady; }

// Forgets the current image and its views, releasing nothing.
void forgetImage(Reader& reader);

// Releases the current image if the reader allocated it, then forgets it.
void dropImage(Reader& reader);

// Process attach: the default reader starts with nothing loaded and an
// empty list, its texts in `module`.
void processAttach(const void* module);

}  // namespace kvel
