#include "app/CommandLine.h"

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
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") return {CommandLine::Request::Help, {}};
        if (argument == "--version") return {CommandLine::Request::Version, {}};
        bool known = false;
        for (auto candidate : kRunSwitches) known = known || argument == candidate;
        if (!known) return {CommandLine::Request::Invalid, argument};
        line.service = line.service || argument == kServiceSwitch;
    }
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

}  // namespace suite
