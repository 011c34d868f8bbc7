#include "platform/ManualMainQueue.h"

#include <cmath>

namespace suite {

void ManualMainQueue::post(Task task) {
    postAfter(0, std::move(task));
}

void ManualMainQueue::postAfter(double seconds, Task task) {
    if (std::isnan(seconds) || seconds < 0) seconds = 0;
    if (std::isinf(seconds)) return;  // never due: nothing to keep
    std::lock_guard lock(mutex_);
    tasks_.emplace(std::make_pair(now_ + seconds, sequence_++), std::move(task));
}

double ManualMainQueue::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

bool ManualMainQueue::popDue(double until, Task& task) {
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return false;
    auto first = tasks_.begin();
    if (first->first.first > until) return false;
    if (first->first.first > now_) now_ = first->first.first;
    task = std::move(first->second);
    tasks_.erase(first);
    return true;
}

std::size_t ManualMainQueue::runReady() {
    std::size_t ran = 0;
    Task task;
    while (popDue(now(), task)) {
        task();
        ++ran;
    }
    return ran;
}

void ManualMainQueue::advance(double seconds) {
    const double target = now() + seconds;
    Task task;
    while (popDue(target, task)) task();
    std::lock_guard lock(mutex_);
    now_ = target;
}

double ManualMainQueue::runUntilIdle(double limitSeconds) {
    const double limit = now() + limitSeconds;
    Task task;
    while (popDue(limit, task)) task();
    return now();
}

std::size_t ManualMainQueue::pending() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

std::optional<double> ManualMainQueue::nextDueTime() const {
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return std::nullopt;
    return tasks_.begin()->first.first;
}

}  // namespace suite
