#include "app/AppDelegate.h"
#include "catalog/Scan.h"

namespace suite {

void AppDelegate::scan(std::vector<Json> apps) {
    // Made here, on the main thread: the background task may outlive the delegate, and must
    // neither touch it nor ask it for anything, only hand its event to the main queue.
    std::function<void(Json)> deliver =
        guardedResult<Json>([](AppDelegate& self, Json event) { self.send(event); });
    MainQueue& queue = platform_.queue;
    platform_.background.run([items = std::move(apps), &packages = platform_.packages, &queue,
                              deliver = std::move(deliver)] {
        Json event = scannedEvent(items, packages);
        queue.post([deliver, event = std::move(event)] { deliver(event); });
    });
}

}  // namespace suite
