#pragma once
// The terminal of a command-line run: the process's standard streams, with the status line drawn
// over itself where standard output is a terminal.
#include <string>

#include "platform/Terminal.h"

namespace suite {

class StandardTerminal final : public Terminal {
  public:
    StandardTerminal();
    bool watched() const override { return watched_; }
    bool answerable() const override { return answerable_; }
    void out(std::string_view text) override;
    void error(std::string_view text) override;
    void status(std::string_view line) override;
    bool confirm(std::string_view question, std::string_view yes) override;

  private:
    // Takes the status line away before anything else is written.
    void clearStatus();

    bool watched_, answerable_;
    bool statusShown_ = false;
};

}  // namespace suite
