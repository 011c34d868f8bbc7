// TEMPORARY placeholder so the tree links while the install queue is being written; the file
// is deleted when AppDelegate::install lands.
#include "app/AppDelegate.h"

namespace suite {

void AppDelegate::install(std::vector<Json>) {}

}  // namespace suite
