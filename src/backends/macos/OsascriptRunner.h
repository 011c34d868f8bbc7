#pragma once
// Administrator rights on a Mac: osascript runs the script through "do shell script ... with
// administrator privileges", after the system's password dialog showing our prompt.
#include <string>

#include "backends/macos/PrivilegedRunner.h"

namespace suite {

class OsascriptRunner final : public PrivilegedRunner {
  public:
    explicit OsascriptRunner(std::string osascript = "/usr/bin/osascript")
        : osascript_(std::move(osascript)) {}

    // A dismissed dialog is osascript's error number -128 on standard error.
    PrivilegedOutcome run(const std::string& script, const std::string& prompt) override;

  private:
    std::string osascript_;
};

}  // namespace suite
