#include "platform/Background.h"

#include <atomic>

namespace suite {

void ThreadBackground::run(Task task) {
    std::lock_guard lock(mutex_);
    // Threads whose job has ended are joined as new ones start, so a long run does not collect
    // one finished thread per scan.
    std::erase_if(jobs_, [](Job& job) {
        if (!job.done->load()) return false;
        job.thread.join();
        return true;
    });
    auto done = std::make_shared<std::atomic<bool>>(false);
    jobs_.push_back({std::thread([task = std::move(task), done] {
                         task();
                         done->store(true);
                     }),
                     done});
}

ThreadBackground::~ThreadBackground() {
    // No lock: nothing may start a job on an object being destroyed.
    for (auto& job : jobs_) job.thread.join();
}

}  // namespace suite
