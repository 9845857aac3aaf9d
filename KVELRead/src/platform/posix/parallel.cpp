#include "platform/parallel.h"

#include <pthread.h>

namespace kvel {
namespace {

void* runPart(void* p) {
    static_cast<const PartJob*>(p)->run();
    return nullptr;
}

}  // namespace

void runParts(unsigned parts, void (*job)(void* context, unsigned part), void* context) {
    PartJob jobs[kMaxParts];
    pthread_t threads[kMaxParts];
    bool started[kMaxParts] = {};
    for (unsigned i = 1; i < parts; ++i) {
        jobs[i] = PartJob{job, context, i};
        started[i] = pthread_create(&threads[i], nullptr, runPart, &jobs[i]) == 0;
    }
    job(context, 0);
    for (unsigned i = 1; i < parts; ++i) {
        if (started[i])
            pthread_join(threads[i], nullptr);
        else
            job(context, i);
    }
}

}  // namespace kvel
