#include "notify/Waiting.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "notify/UpdateNotification.h"

namespace suite {

namespace {

constexpr std::string_view kProgramSwitch = "--program";
constexpr std::string_view kWakeAtSwitch = "--wake-at";
constexpr double kLongestStep = 600;

std::optional<double> finiteNumber(const std::string& text) {
    double value = 0;
    const auto end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value)) return {};
    return value;
}

}  // namespace

std::vector<std::string> waitingArguments(const std::string& waiter, const WaitingLine& line) {
    std::vector<std::string> arguments = {waiter, std::string(kProgramSwitch), line.program};
    if (line.wakeAtMs) {
        arguments.emplace_back(kWakeAtSwitch);
        char text[32];
        const auto [end, error] = std::to_chars(text, text + sizeof text, *line.wakeAtMs);
        arguments.emplace_back(text, error == std::errc() ? end : text);
    }
    return arguments;
}

std::optional<WaitingLine> readWaitingArguments(const std::vector<std::string>& arguments) {
    WaitingLine line;
    for (std::size_t i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == kProgramSwitch) {
            line.program = arguments[i + 1];
        } else if (arguments[i] == kWakeAtSwitch) {
            line.wakeAtMs = finiteNumber(arguments[i + 1]);
            if (!line.wakeAtMs) return {};
        } else {
            return {};
        }
    }
    if (arguments.size() % 2 == 0 || line.program.empty()) return {};
    return line;
}

std::optional<std::vector<std::string>> programLineForAnswer(const std::string& program,
                                                             const std::string& action) {
    if (action == kLaterAction) return {};
    if (action == kUpdateAction)
        return std::vector<std::string>{program, std::string(kUpdateAnswerSwitch)};
    return std::vector<std::string>{program};
}

std::vector<std::string> programLineForWake(const std::string& program) {
    return {program, "--background"};
}

double secondsToNextLook(double wakeAtSeconds, double nowSeconds) {
    return std::clamp(wakeAtSeconds - nowSeconds, 0.0, kLongestStep);
}

}  // namespace suite
