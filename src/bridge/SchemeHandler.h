#pragma once
// The "suite" URL scheme: serves the page's files from one folder, read-only, never cached.
#include <filesystem>
#include <optional>
#include <string>

#include "platform/WebView.h"

namespace suite {

class SchemeHandler {
  public:
    // `root` is the web folder; it is made absolute and standardised once, here. Without one (an
    // empty path, or one that comes down to the file system's root) nothing is served at all.
    explicit SchemeHandler(std::filesystem::path root);

    // The whole answer to one request for `uri` (the full request URI, as the web view gives
    // it): 200 with Content-Type, Content-Length and Cache-Control, or 404 with nothing.
    // Blocks only for reading a regular file.
    SchemeResponse respond(const std::string& uri) const;

    const std::filesystem::path& root() const { return root_; }

  private:
    std::filesystem::path root_;  // empty: no page folder
};

// The "Content-Type" for a file name, by its lower-cased extension.
std::string contentTypeFor(const std::filesystem::path& file);

// The page's folder for the program at `executable`: "<exe dir>/web" (the build tree) or else
// "<exe dir>/../share/talven-suite/web" (the installed layout), whichever first is a folder
// holding "index.html"; nothing when neither is.
std::optional<std::filesystem::path> findWebRoot(const std::filesystem::path& executable);

}  // namespace suite
