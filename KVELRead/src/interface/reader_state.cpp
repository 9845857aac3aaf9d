#include "interface/reader_state.h"

namespace kvel {

ReaderState g_reader;

void forgetImage() {
    g_reader.buffer = nullptr;
    g_reader.ownsBuffer = false;
    g_reader.framesReady = false;
    // The views are cleared with the buffer so that no accessor hands out a
    // pointer into memory that may already be released.
    g_reader.mainHeader = g_reader.zoneSubFrame = g_reader.eventSubFrame = nullptr;
    g_reader.firstEvent = nullptr;
    g_reader.heldSize = 0;
}

void processAttach(const void* module) {
    g_reader.module = module;
    forgetImage();
    g_reader.errors.count = 0;
}

}  // namespace kvel
