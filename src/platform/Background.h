#pragma once
// Work that blocks (scans, digests, the privileged run) runs here, never on the main thread.
// Its results come back through the main queue.
#include "platform/MainQueue.h"

namespace suite {

class Background {
public:
    virtual ~Background() = default;
    // Runs `task` on some other thread. The task must not touch main-thread state.
    virtual void run(Task task) = 0;
};

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
