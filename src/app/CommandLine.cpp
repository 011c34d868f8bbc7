#include "app/CommandLine.h"

#include <algorithm>
#include <array>

#include "app/InterfaceText.h"
#include "app/Menus.h"
#include "notify/Waiting.h"

namespace suite {

namespace {

// The last two are how the waiting program hands on a notification's "Update" and how D-Bus
// starts the program; they are no user's switches, so the usage does not name them.
constexpr std::array<std::string_view, 4> kRunSwitches = {"--background", "--demo",
                                                          kUpdateAnswerSwitch, kServiceSwitch};

}  // namespace

CommandLine readCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    std::string command;       // the first of --list, --check, --update
    std::string windowSwitch;  // the first switch of a start with a window
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") return {CommandLine::Request::Help, {}};
        if (argument == "--version") return {CommandLine::Request::Version, {}};
        const auto request = argument == "--list"     ? CommandLine::Request::List
                             : argument == "--check"  ? CommandLine::Request::Check
                             : argument == "--update" ? CommandLine::Request::Update
                                                      : CommandLine::Request::Run;
        if (request != CommandLine::Request::Run) {
            if (!command.empty()) return {CommandLine::Request::Misused, argument};
            command = argument;
            line.request = request;
        } else if (argument == "--json") {
            line.json = true;
        } else if (argument == "--all") {
            line.all = true;
        } else if (argument == "--yes" || argument == "-y") {
            line.yes = true;
        } else if (line.request == CommandLine::Request::Update && !argument.empty() &&
                   argument[0] != '-') {
            line.ids.push_back(argument);
        } else if (std::ranges::find(kRunSwitches, argument) != kRunSwitches.end()) {
            if (windowSwitch.empty()) windowSwitch = argument;
            line.service = line.service || argument == kServiceSwitch;
        } else {
            return {CommandLine::Request::Invalid, argument};
        }
    }
    const auto misused = [](std::string argument) {
        return CommandLine{CommandLine::Request::Misused, std::move(argument)};
    };
    const bool update = line.request == CommandLine::Request::Update;
    if (line.json && line.request != CommandLine::Request::List) return misused("--json");
    if (line.all && !update) return misused("--all");
    if (line.yes && !update) return misused("--yes");
    if (!command.empty() && !windowSwitch.empty()) return misused(windowSwitch);
    if (update && line.ids.empty() != line.all) return misused(line.all ? "--all" : "--update");
    return line;
}

std::string usageText(bool arabic) {
    return std::string(interfaceText(arabic).usage);
}

std::string versionText(std::string_view version) {
    return std::string(kProductName) + " " + std::string(version) + "\n";
}

std::string invalidArgumentText(bool arabic, std::string_view argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        quoted += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    }
    quoted += '"';
    const InterfaceText& text = interfaceText(arabic);
    return std::string(text.unknownOptionBefore) + quoted + std::string(text.unknownOptionAfter);
}

std::string complaintText(bool arabic, const CommandLine& line) {
    if (line.request != CommandLine::Request::Misused) {
        return invalidArgumentText(arabic, line.argument);
    }
    const InterfaceText& text = interfaceText(arabic);
    // The argument is one of the program's own switches: nothing to quote safely.
    return std::string(text.misusedOptionBefore) + "\"" + line.argument + "\"" +
           std::string(text.misusedOptionAfter);
}

}  // namespace suite
