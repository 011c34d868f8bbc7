#pragma once
// The native menu bar, about panel and window notice in the interface language.
#include <string>

#include "platform/Shell.h"

namespace suite {

inline constexpr const char* kProductName = "TALVEN™ Suite";

MenuBar buildMenuBar(bool arabic);

AboutInfo aboutInfo(bool arabic, const std::string& version, const std::string& vendorHost);

// What the window says when the page's files cannot be found.
std::string missingFilesNotice(bool arabic);

// What the window says when its page stopped working more often than it is loaded again by itself.
ReloadNotice reloadNotice(bool arabic);

}  // namespace suite
