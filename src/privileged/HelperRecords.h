#pragma once
// How the root helper speaks: the records of platform/InstallerRecords.h, one flushed line each,
// and the fixed setting every package tool it starts runs in.
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/PackageSystem.h"
#include "platform/Process.h"

namespace suite::privileged {

// Where the helper's records go, one flushed line each.
class Records {
  public:
    explicit Records(std::FILE* out) : out_(out) {}
    void line(const std::string& record);
    // What installing package `index` printed, relayed line by line.
    void relay(std::size_t index, std::string_view text);
    void fail(std::size_t index, const FailureReason& reason);

  private:
    std::FILE* out_;
};

// A clean, fixed setting for the package tools whatever called us: nobody is there to answer a
// question, and the log reads the same on every machine.
ProcessOptions toolOptions(double timeoutSeconds);

}  // namespace suite::privileged
