#include "app/CommandLine.h"

#include <array>

#include "app/InterfaceText.h"
#include "app/Menus.h"
#include "notify/Waiting.h"

namespace suite {

namespace {

// The last one is how the waiting program hands on a notification's "Update"; it is no user's
// switch, so the usage does not name it.
constexpr std::array<std::string_view, 3> kRunSwitches = {"--background", "--demo",
                                                          kUpdateAnswerSwitch};

}  // namespace

CommandLine readCommandLine(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") return {CommandLine::Request::Help, {}};
        if (argument == "--version") return {CommandLine::Request::Version, {}};
        bool known = false;
        for (auto candidate : kRunSwitches) known = known || argument == candidate;
        if (!known) return {CommandLine::Request::Invalid, argument};
    }
    return {};
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
