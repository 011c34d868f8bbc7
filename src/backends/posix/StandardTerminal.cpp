#include "backends/posix/StandardTerminal.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "common/Ascii.h"

namespace suite {

StandardTerminal::StandardTerminal()
    : watched_(::isatty(STDOUT_FILENO) == 1), answerable_(::isatty(STDIN_FILENO) == 1) {}

void StandardTerminal::clearStatus() {
    if (!statusShown_) return;
    // Back to the line's start, and erase to its end.
    std::fputs("\r\x1b[K", stdout);
    statusShown_ = false;
}

void StandardTerminal::out(std::string_view text) {
    clearStatus();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void StandardTerminal::error(std::string_view text) {
    clearStatus();
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void StandardTerminal::status(std::string_view line) {
    if (!watched_) return;
    clearStatus();
    if (line.empty()) {
        std::fflush(stdout);
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    statusShown_ = true;
}

bool StandardTerminal::confirm(std::string_view question, std::string_view yes) {
    out(question);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    const auto first = answer.find_first_not_of(" \t");
    const auto last = answer.find_last_not_of(" \t\r");
    answer = first == std::string::npos ? "" : lowerAscii(answer.substr(first, last - first + 1));
    return answer == "y" || answer == "yes" || answer == yes;
}

}  // namespace suite
