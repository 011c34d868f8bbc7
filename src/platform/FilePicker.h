#pragma once
// The desktop's file-open dialog, for attachments: several files, no folders, pictures and
// movies only.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Window.h"

namespace suite {

class FilePicker {
  public:
    virtual ~FilePicker() = default;
    // Shows the dialog attached to `parent` (may be null) with `acceptLabel` on its default button
    // and returns at once. `done` runs later on the main thread, once: the chosen files in the
    // dialog's order, or nothing when the user cancelled.
    virtual void pickFiles(
        Window* parent, const std::string& acceptLabel,
        std::function<void(std::optional<std::vector<std::filesystem::path>>)> done) = 0;
};

}  // namespace suite
