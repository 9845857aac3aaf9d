#include "platform/parallel.h"

#include <windows.h>

namespace kvel {
namespace {

DWORD WINAPI runPart(LPVOID p) {
    static_cast<const PartJob*>(p)->run();
    return 0;
}

}  // namespace

void runParts(unsigned parts, void (*job)(void* context, unsigned part), void* context) {
    PartJob jobs[kMaxParts];
    HANDLE threads[kMaxParts] = {};
    for (unsigned i = 1; i < parts; ++i) {
        jobs[i] = PartJob{job, context, i};
        threads[i] = CreateThread(nullptr, 0, runPart, &jobs[i], 0, nullptr);
    }
    job(context, 0);
    for (unsigned i = 1; i < parts; ++i) {
        if (threads[i]) {
            WaitForSingleObject(threads[i], INFINITE);
            CloseHandle(threads[i]);
        } else {
            job(context, i);
        }
    }
}

}  // namespace kvel
