#pragma once
// The small waiting program that stands in for the whole one while nothing shows and nothing is
// under way: it keeps the program's name on the session bus, its notifications' answers and the
// page's next automatic check, and starts the whole program again for the first of them. These
// are the command lines between the two and the waiting program's decisions; both ends run them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace suite {

struct WaitingLine {
    std::string program;             // the whole program, started again by path
    std::optional<double> wakeAtMs;  // milliseconds since 1970; nothing: only the user wakes it
};

// The waiting program's command line for `line` (its own path first).
std::vector<std::string> waitingArguments(const std::string& waiter, const WaitingLine& line);
// Reads that command line; nothing when it is not one (no program, an unknown switch, a time
// that is not a finite number).
std::optional<WaitingLine> readWaitingArguments(const std::vector<std::string>& arguments);

// The switch that hands the notification's "Update" on to the whole program.
inline constexpr std::string_view kUpdateAnswerSwitch = "--notification-answer=update";

// The whole program's command line for the user's answer to a notification (`action` as the
// notifier reports it; any other peer on the session bus can send one too); nothing where the
// answer needs no window and no page ("later"). Anything but "Update" only shows the window.
std::optional<std::vector<std::string>> programLineForAnswer(const std::string& program,
                                                             const std::string& action);
// For the wake-up: loaded without a window, to check.
std::vector<std::string> programLineForWake(const std::string& program);

// How long to sleep before looking at the wall clock again. The sleep runs on a clock that
// stands still while the machine is suspended, so a long wait is taken in steps of at most ten
// minutes; zero once the time has come.
double secondsToNextLook(double wakeAtSeconds, double nowSeconds);

}  // namespace suite
