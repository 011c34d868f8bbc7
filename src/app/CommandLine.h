#pragma once
// What the command line asks for. Only the program's own switches exist; anything else is an
// error the user hears about at once, rather than a window that ignores it.
#include <string>
#include <string_view>
#include <vector>

namespace suite {

struct CommandLine {
    enum class Request {
        Run,      // start (or show the running copy); the switches are read by computeLaunchValues
        Help,     // print the usage and end
        Version,  // print the version and end
        Invalid,  // say which argument is not understood, and end with kInvalidUsageStatus
    };
    Request request = Request::Run;
    std::string argument;  // for Invalid: the argument that is not understood
    // Started by D-Bus for a call to the program (its service file's switch): the call says what
    // to do, and nothing shows until it does.
    bool service = false;
};

inline constexpr std::string_view kServiceSwitch = "--gapplication-service";

// The exit status for a command line that is not understood, as for most command-line tools.
inline constexpr int kInvalidUsageStatus = 2;

// Reads `arguments` (the program's name first) in order: "--help" or "-h" and "--version" answer
// at once, an argument that is not one of the switches makes the line invalid.
CommandLine readCommandLine(const std::vector<std::string>& arguments);

// The usage, in Arabic or English, ending in a line break.
std::string usageText(bool arabic);

// "TALVEN™ Suite 1.2.3" and a line break.
std::string versionText(std::string_view version);

// One line for standard error naming the argument that was not understood (its control
// characters shown as "?", so it stays one line) and where help is.
std::string invalidArgumentText(bool arabic, std::string_view argument);

}  // namespace suite
