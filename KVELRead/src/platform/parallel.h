// Work split over threads for the length of one call. The library keeps no
// threads of its own: those started here have ended when the call returns.
#pragma once

namespace kvel {

// The most parts one call is split into.
constexpr unsigned kMaxParts = 64;

// Runs job(context, part) for every part in [0, parts), parts <= kMaxParts:
// part 0 on the calling thread, each other part on a thread of its own.
// Returns when all have ended. A part whose thread cannot be started runs on
// the calling thread after part 0, so every part runs, threads or not.
void runParts(unsigned parts, void (*job)(void* context, unsigned part), void* context);

// One part of a runParts call, as the thread that runs it receives it.
struct PartJob {
    void (*job)(void* context, unsigned part);
    void* context;
    unsigned part;

    void run() const { job(context, part); }
};

// runParts with a callable: f(part) for every part.
template <class F>
void inParts(unsigned parts, F&& f) {
    runParts(parts, [](void* c, unsigned part) { (*static_cast<F*>(c))(part); }, &f);
}

}  // namespace kvel
