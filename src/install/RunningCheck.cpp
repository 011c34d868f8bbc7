// An open product is not installed over: its package tool would replace the files of a program
// the user is working in. The user closes it and tries again, or installs anyway; nothing here
// ever ends a process.
#include <algorithm>

#include "bridge/Events.h"
#include "install/InstallFlow.h"

namespace suite {

std::vector<std::string> InstallFlow::openExecutables(const InstallItem& item) const {
    if (item.processes.empty()) return {};
    return services_.running.running(item.processes);
}

void InstallFlow::holdBackOpen(std::vector<InstallItem>& items) {
    std::erase_if(items, [this](const InstallItem& item) {
        const auto open = openExecutables(item);
        if (open.empty()) return false;
        log("install: " + item.id + " is held back while " + open.front() + " runs");
        send_(bridge::runningEvent(item.id));
        return true;
    });
}

}  // namespace suite
