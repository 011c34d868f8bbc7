#include "platform/Background.h"

#include <thread>

namespace suite {

void ThreadBackground::run(Task task) {
    std::thread(std::move(task)).detach();
}

}  // namespace suite
