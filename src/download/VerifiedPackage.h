#pragma once
// A downloaded package that passed its digest check, with the catalog item it belongs to. The
// install queue hands an ordered list of these to the privileged run.
#include <filesystem>

#include "common/Json.h"

namespace suite {

struct VerifiedPackage {
    Json item;                   // the catalog item as the page sent it
    std::filesystem::path file;  // the verified download in the download folder
};

}  // namespace suite
