#pragma once
// The native menu bar and about panel in the interface language.
#include <string>

#include "platform/Shell.h"

namespace suite {

inline constexpr const char* kProductName = "TALVEN™ Suite";

MenuBar buildMenuBar(bool arabic);

AboutInfo aboutInfo(bool arabic, const std::string& version, const std::string& vendorHost);

}  // namespace suite
