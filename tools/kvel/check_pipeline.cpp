#include "check_pipeline.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace kvel_tool {
namespace {

// Files go to the workers in chunks, so that the threads meet once per
// chunk rather than once per file: for small files the meeting would cost
// as much as the check.
constexpr size_t kChunkFiles = 16;
// Chunks that may be under way or wait for their turn, per worker: enough
// that a slow file does not leave the other workers idle.
constexpr size_t kChunksPerJob = 3;

struct Chunk {
    std::vector<Input> inputs;
    std::vector<FileResult> results;
    bool done = false;
};

struct Window {
    explicit Window(size_t size) : chunks(size) {}

    std::mutex mutex;
    std::condition_variable work, done;
    std::vector<Chunk> chunks;  // chunk n lies in chunks[n % size]
    size_t issued = 0, taken = 0;
    unsigned jobs = 1, busy = 0;  // workers, and those with a chunk
    bool closing = false;
};

void worker(Window& w, const CheckOptions& options, std::istream& in) {
    FileChecker checker(options);
    std::unique_lock lock(w.mutex);
    for (;;) {
        w.work.wait(lock, [&] { return w.closing || w.taken < w.issued; });
        if (w.closing) return;
        Chunk& chunk = w.chunks[w.taken++ % w.chunks.size()];
        // The workers without a chunk lend their cores to this one's files:
        // one big file is loaded and checked on every core, many files on
        // one core each.
        checker.setThreads(w.jobs - w.busy++);
        lock.unlock();
        // The chunk is this worker's alone until it is marked done.
        chunk.results.clear();
        for (const Input& input : chunk.inputs) chunk.results.push_back(checker.check(input, in));
        lock.lock();
        --w.busy;
        chunk.done = true;
        w.done.notify_one();
    }
}

}  // namespace

void checkInOrder(InputWalk& walk, unsigned jobs, const CheckOptions& options, std::istream& in,
                  const std::function<bool(const FileResult&)>& deliver) {
    Input input;
    if (jobs <= 1) {
        FileChecker checker(options);
        while (walk.next(input))
            if (!deliver(checker.check(input, in))) return;
        return;
    }
    // A lone input is checked on this thread, on every core if it is big:
    // workers would take longer to start than to check a small file.
    Input ahead[2];
    size_t held = 0;
    while (held < 2 && walk.next(ahead[held])) ++held;
    if (held < 2) {
        FileChecker checker(options);
        checker.setThreads(jobs);
        if (held == 1) deliver(checker.check(ahead[0], in));
        return;
    }
    size_t given = 0;
    const auto next = [&](Input& out) {
        if (given == held) return walk.next(out);
        out = std::move(ahead[given++]);
        return true;
    };
    Window w(kChunksPerJob * jobs);
    w.jobs = jobs;
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < jobs; ++i) threads.emplace_back(worker, std::ref(w), std::cref(options), std::ref(in));
    bool more = true, stopped = false;
    for (size_t delivered = 0; !stopped;) {
        // Fill free chunks from the walk, which runs on this thread only. A
        // chunk that is not issued is touched by no worker.
        for (;;) {
            std::unique_lock lock(w.mutex);
            if (!more || w.issued - delivered == w.chunks.size()) break;
            Chunk& chunk = w.chunks[w.issued % w.chunks.size()];
            lock.unlock();
            chunk.inputs.clear();
            while (chunk.inputs.size() < kChunkFiles && (more = next(input))) chunk.inputs.push_back(input);
            if (chunk.inputs.empty()) break;
            lock.lock();
            ++w.issued;
            w.work.notify_one();
        }
        Chunk* chunk;
        {
            std::unique_lock lock(w.mutex);
            if (delivered == w.issued) break;
            chunk = &w.chunks[delivered % w.chunks.size()];
            w.done.wait(lock, [&] { return chunk->done; });
            chunk->done = false;
        }
        for (const FileResult& result : chunk->results)
            if (!deliver(result)) {
                stopped = true;
                break;
            }
        ++delivered;
    }
    {
        std::lock_guard lock(w.mutex);
        w.closing = true;  // chunks not yet taken are dropped; those under way finish
    }
    w.work.notify_all();
    for (std::thread& t : threads) t.join();
}

}  // namespace kvel_tool
