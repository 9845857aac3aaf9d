// The reader's life: creation, the default reader, and dropping an image.
#include "interface/reader.h"

#include <cstdlib>
#include <new>

#include "platform/message_table.h"
#include "platform/parallel.h"

namespace kvel {

static_assert(kMaxParts == KVEL_READER_THREADS_MAX);

Reader& defaultReader() {
    // Zero-initialised storage, set up at process attach.
    static Reader reader;
    return reader;
}

void initReader(Reader& r, const void* module) {
    r.module = module;
    forgetImage(r);
    r.file = nullptr;
    r.fileSize = 0;
    clearErrors(r.errors);
    initCheckState(r.check);
    r.hooks = defaultFileLoaderHooks();
    r.threads = 1;
}

void forgetImage(Reader& r) {
    r.buffer = nullptr;
    r.ownsBuffer = false;
    r.framesReady = false;
    // The views are cleared with the buffer so that no accessor hands out a
    // pointer into memory that may already be released.
    r.views = FrameViews{nullptr, nullptr, nullptr, 0, 0};
}

void dropImage(Reader& r) {
    if (r.ownsBuffer) std::free(r.buffer);
    forgetImage(r);
}

void processAttach(const void* module) {
    initReader(defaultReader(), module);
}

}  // namespace kvel

extern "C" {

KVEL_API KVEL_READER* KVELCreateReader(void) {
    // No exceptions: a failed allocation is a null reader.
    void* memory = std::malloc(sizeof(KVEL_READER));
    if (!memory) return nullptr;
    KVEL_READER* reader = new (memory) KVEL_READER{};
    kvel::initReader(*reader, kvel::messageTableModule());
    return reader;
}

KVEL_API int KVELReaderSetThreads(KVEL_READER* reader, int threads) {
    if (!reader || threads < 1 || threads > static_cast<int>(kvel::kMaxParts)) return -1;
    reader->threads = static_cast<unsigned>(threads);
    return 0;
}

KVEL_API void KVELDestroyReader(KVEL_READER* reader) {
    if (!reader) return;
    KVELReaderCloseFile(reader);
    kvel::releaseCheckState(reader->check);
    reader->~KVEL_READER();
    std::free(reader);
}

}  // extern "C"
