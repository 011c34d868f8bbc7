#pragma once
// dpkg's frontend lock: whoever holds it is the one package tool changing the system.
#include <string>

#include "privileged/RootFiles.h"

namespace suite::debian {

// dpkg's frontend lock, held until this goes; the package tools the holder runs are told so and
// do not take it themselves. Waits up to `waitSeconds`, as apt-get would, for another frontend.
class FrontendLock {
  public:
    FrontendLock(const std::string& adminDir, double waitSeconds);
    bool held() const { return held_; }

  private:
    privileged::Fd fd_;
    bool held_ = false;
};
}  // namespace suite::debian
