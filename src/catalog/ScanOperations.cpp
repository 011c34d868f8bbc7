#include "app/AppDelegate.h"
#include "catalog/Scan.h"

namespace suite {

void AppDelegate::scan(std::vector<Json> apps) {
    // Made here, on the main thread: the background task may outlive the delegate, and must
    // neither touch it nor ask it for anything, only hand its event to the main queue.
    std::function<void(Json)> deliver =
        guardedResult<Json>([](AppDelegate& self, Json event) { self.send(event); });
    MainQueue& queue = platform_.queue;
    platform_.background.run([items = std::move(apps), paths = config_.detectPaths, &queue,
                              deliver = std::move(deliver)] {
        Json event = scannedEvent(items, paths);
        queue.post([deliver, event = std::move(event)] { deliver(event); });
    });
}

std::optional<bool> AppDelegate::isInstalled(const Json& item) const {
    return isInstalledItem(item, config_.detectPaths);
}

}  // namespace suite
