#pragma once
// The attachments dialog on GtkFileChooserNative (the desktop portal's dialog where there is one):
// several files, no folders, one filter of picture and video types, modal on the main window.
#include "platform/FilePicker.h"

namespace suite::gtk {

class GtkFilePicker final : public FilePicker {
  public:
    void pickFiles(
        Window* parent, const FilePickerText& text,
        std::function<void(std::optional<std::vector<std::filesystem::path>>)> done) override;
};

}  // namespace suite::gtk
