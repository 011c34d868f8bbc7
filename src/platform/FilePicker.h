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

// The dialog's words, in the interface language.
struct FilePickerText {
    std::string title;
    std::string accept;  // its default button
    std::string filter;  // the name of its one filter
};

class FilePicker {
  public:
    virtual ~FilePicker() = default;
    // Shows the dialog attached to `parent` (may be null) with `text` and returns at once. `done`
    // runs later on the main thread, once: the chosen files in the dialog's order, or nothing when
    // the user cancelled.
    virtual void pickFiles(
        Window* parent, const FilePickerText& text,
        std::function<void(std::optional<std::vector<std::filesystem::path>>)> done) = 0;
};

}  // namespace suite
