#pragma once
// Runs one shell script with administrator rights, after the desktop has asked the user for
// them. Blocks until the script has ended or the user said no: call it off the main thread.
#include <string>

namespace suite {

struct PrivilegedOutcome {
    bool started = false;    // the tool that asks for rights could be started at all
    bool cancelled = false;  // the user dismissed the request; nothing of the script ran
    std::string output;      // the script's standard output (UTF-8; invalid text gives "")
    std::string error;       // the tool's and the script's standard error
};

class PrivilegedRunner {
  public:
    virtual ~PrivilegedRunner() = default;
    // `prompt` is the text shown with the request where the desktop lets the program choose it.
    virtual PrivilegedOutcome run(const std::string& script, const std::string& prompt) = 0;
};

}  // namespace suite
