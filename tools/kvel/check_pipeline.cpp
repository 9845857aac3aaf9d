#include "check_pipeline.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kvel_tool {
namespace {

// Results that may wait for their turn, per checker: enough that a slow
// file does not leave the other checkers idle.
constexpr size_t kWindowPerJob = 8;

struct Window {
    explicit Window(size_t size) : inputs(size), results(size) {}

    std::mutex mutex;
    std::condition_variable work, done;
    std::vector<Input> inputs;
    std::vector<std::optional<FileResult>> results;
    size_t issued = 0, taken = 0;
    bool closing = false;
};

void worker(Window& w, const CheckOptions& options, std::istream& in) {
    FileChecker checker(options);
    std::unique_lock lock(w.mutex);
    for (;;) {
        w.work.wait(lock, [&] { return w.closing || w.taken < w.issued; });
        if (w.taken == w.issued) return;
        const size_t slot = w.taken++ % w.inputs.size();
        const Input input = std::move(w.inputs[slot]);
        lock.unlock();
        FileResult result = checker.check(input, in);
        lock.lock();
        w.results[slot] = std::move(result);
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
    Window w(kWindowPerJob * jobs);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < jobs; ++i) threads.emplace_back(worker, std::ref(w), std::cref(options), std::ref(in));
    bool more = true;
    for (size_t delivered = 0;;) {
        // Fill the window; the walk runs on this thread only.
        while (more) {
            {
                std::lock_guard lock(w.mutex);
                if (w.issued - delivered == w.inputs.size()) break;
            }
            if (!(more = walk.next(input))) break;
            std::lock_guard lock(w.mutex);
            w.inputs[w.issued++ % w.inputs.size()] = std::move(input);
            w.work.notify_one();
        }
        std::optional<FileResult> result;
        {
            std::unique_lock lock(w.mutex);
            if (delivered == w.issued) break;
            auto& slot = w.results[delivered % w.results.size()];
            w.done.wait(lock, [&] { return slot.has_value(); });
            result = std::move(slot);
            slot.reset();
        }
        ++delivered;
        if (!deliver(*result)) break;
    }
    {
        std::lock_guard lock(w.mutex);
        w.closing = true;
        w.issued = w.taken;  // what was not started is dropped
    }
    w.work.notify_all();
    for (std::thread& t : threads) t.join();
}

}  // namespace kvel_tool
