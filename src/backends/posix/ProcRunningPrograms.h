#pragma once
// Which programs run, as Linux's process table tells it: each process's "exe" link under /proc
// names its executable.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/RunningPrograms.h"

namespace suite {

class ProcRunningPrograms final : public RunningPrograms {
  public:
    // `proc`: where the process table is mounted; tests keep the real one.
    explicit ProcRunningPrograms(std::filesystem::path proc = "/proc") : proc_(std::move(proc)) {}
    std::vector<std::string> running(const std::vector<std::string>& executables) override;

  private:
    std::filesystem::path proc_;
};

}  // namespace suite
