#pragma once
// Where the command line talks to whoever runs it: standard output for what was asked, standard
// error for what went wrong, a status line while work goes on, and one yes-or-no question.
#include <string_view>

namespace suite {

class Terminal {
  public:
    virtual ~Terminal() = default;
    // Standard output is a terminal someone watches: progress may redraw one line. Otherwise
    // (a pipe, a log file) only whole lines go out, and only when something changes.
    virtual bool watched() const = 0;
    // Standard input is a terminal someone can answer from.
    virtual bool answerable() const = 0;
    virtual void out(std::string_view text) = 0;
    virtual void error(std::string_view text) = 0;
    // On a watched terminal: `line` replaces the status line shown before (empty: clears it).
    virtual void status(std::string_view line) = 0;
    // Asks `question` and reads one line: true only for the answer `yes` names as yes.
    virtual bool confirm(std::string_view question, std::string_view yes) = 0;
};

}  // namespace suite
