#pragma once
// The main thread's queue. Every piece of application state lives on the main thread; work that
// runs elsewhere hands its result back through `post`, and every timer is a `postAfter`.
#include <functional>

namespace suite {

using Task = std::function<void()>;

class MainQueue {
  public:
    virtual ~MainQueue() = default;

    // Runs `task` on the main thread as soon as it is free. Callable from any thread.
    virtual void post(Task task) = 0;

    // Runs `task` on the main thread `seconds` from now. A negative or NaN delay counts as none;
    // an infinite one never comes. Callable from any thread.
    virtual void postAfter(double seconds, Task task) = 0;

    // Seconds on the clock the timers run by, from an arbitrary start; it never goes back.
    virtual double now() const = 0;
};

}  // namespace suite
