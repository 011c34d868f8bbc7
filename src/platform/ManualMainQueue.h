#pragma once
// A main queue that runs only when told to, on a virtual clock: tests check "0.4 s later" and
// "1.5 s after the load" exactly and instantly.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/MainQueue.h"

namespace suite {

class ManualMainQueue final : public MainQueue {
  public:
    void post(Task task) override;
    void postAfter(double seconds, Task task) override;

    // Seconds of virtual time since the queue was made.
    double now() const override;

    // Runs every task that is due now, including those that running tasks post without delay.
    // Returns how many ran.
    std::size_t runReady();

    // Moves the clock forward by `seconds`, running each timer at its own due time, in order.
    void advance(double seconds);

    // Runs due tasks and jumps the clock to the next timer until nothing finite is left or
    // `limitSeconds` of virtual time have passed. Returns the virtual time at the end.
    double runUntilIdle(double limitSeconds = 3600);

    // Tasks waiting, timers included (those that never come are not counted).
    std::size_t pending() const;

    // Due time of the earliest waiting task, if any.
    std::optional<double> nextDueTime() const;

  private:
    bool popDue(double until, Task& task);

    mutable std::mutex mutex_;  // background threads in tests post here too
    double now_ = 0;
    std::uint64_t sequence_ = 0;
    std::map<std::pair<double, std::uint64_t>, Task> tasks_;
};

}  // namespace suite
