// TEMPORARY placeholder so the tree links while the privileged run is being written; the file
// is deleted when these operations land.
#include "app/AppDelegate.h"

namespace suite {

void AppDelegate::runInstallers(std::vector<VerifiedPackage>) {}
void AppDelegate::log(const std::string&) const {}
void AppDelegate::applicationDidBecomeActive() {}
void AppDelegate::reopen() {}

}  // namespace suite
