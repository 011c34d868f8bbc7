#include "app/AppDelegate.h"
#include "catalog/Scan.h"

namespace suite {

void AppDelegate::scan(std::vector<Json> apps) {
    // Made here, on the main thread: the background task may outlive the delegate, and must
    // neither touch it nor ask it for anything, only hand its event to the main queue.
    onBackground<Json>(
        platform_.background, platform_.queue,
        [items = std::move(apps), &packages = platform_.packages] { return scannedEvent(items, packages); },
        guardedResult<Json>([](AppDelegate& self, Json event) { self.send(event); }));
}

}  // namespace suite
