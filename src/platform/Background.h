#pragma once
// Work that blocks (scans, digests, the privileged run) runs here, never on the main thread.
// Its results come back through the main queue.
#include <functional>
#include <utility>

#include "platform/MainQueue.h"

namespace suite {

class Background {
  public:
    virtual ~Background() = default;
    // Runs `task` on some other thread. The task must not touch main-thread state.
    virtual void run(Task task) = 0;
};

// Runs `work` on `background` and hands its result to `then` on `queue`. The work may outlive
// whoever asked for it, so `then` must already be guarded against its owner being gone, and
// `work` must hold nothing of the main thread's.
template <typename Result>
void onBackground(Background& background, MainQueue& queue, std::function<Result()> work,
                  std::function<void(Result)> then) {
    background.run([&queue, work = std::move(work), then = std::move(then)] {
        queue.post([then, result = work()] { then(result); });
    });
}

// A new thread for each task: the program's background work is a handful of long, independent
// jobs, not a stream of small ones.
class ThreadBackground final : public Background {
  public:
    void run(Task task) override;
};

// Runs each task at once on the caller's thread: deterministic unit tests.
class InlineBackground final : public Background {
  public:
    void run(Task task) override { task(); }
};

}  // namespace suite
