#pragma once
// Work that blocks (scans, digests, the privileged run) runs here, never on the main thread.
// Its results come back through the main queue.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/MainQueue.h"

namespace suite {

class Background {
  public:
    virtual ~Background() = default;
    // Runs `task` on some other thread. The task must not touch main-thread state.
    virtual void run(Task task) = 0;
};

// Runs `work` on `background` and hands its result to `then` on `queue`. The answer may come
// after whoever asked for it has gone, so `then` must already be guarded against its owner being
// gone, and `work` must hold nothing of the main thread's. The queue must outlive `background`.
template <typename Result>
void onBackground(Background& background, MainQueue& queue, std::function<Result()> work,
                  std::function<void(Result)> then) {
    background.run([&queue, work = std::move(work), then = std::move(then)] {
        queue.post([then, result = work()] { then(result); });
    });
}

// A new thread for each task: the program's background work is a handful of long, independent
// jobs, not a stream of small ones. Its threads are its own: the destructor waits for every job,
// so no job outlives the package system or the queue it was given (both must outlive this).
//
// Waiting is the sound choice at exit even for the privileged run. A run whose request for
// rights is still on screen ends when the user answers it, and a run past the prompt is root's
// install, which must not be cut short and is bounded by the install helper's own time limit. A
// scan is a read of the package database. What a job posts when it ends goes to a queue that has
// stopped running tasks by then.
class ThreadBackground final : public Background {
  public:
    ThreadBackground() = default;
    ThreadBackground(const ThreadBackground&) = delete;
    ThreadBackground& operator=(const ThreadBackground&) = delete;
    ~ThreadBackground() override;
    void run(Task task) override;

  private:
    struct Job {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex mutex_;
    std::vector<Job> jobs_;
};

// Runs each task at once on the caller's thread: deterministic unit tests.
class InlineBackground final : public Background {
  public:
    void run(Task task) override { task(); }
};

}  // namespace suite
