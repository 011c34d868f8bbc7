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
        Misused,  // say which known switch is out of place (or wants more), and end the same way
        // For scripts, without a window: the products and their versions; a check; an update.
        List,
        Check,
        Update,
    };
    Request request = Request::Run;
    std::string argument;               // for Invalid and Misused: the argument at fault
    bool json = false;                  // List: as JSON
    bool all = false;                   // Update: every update available
    bool yes = false;                   // Update: without asking first
    std::vector<std::string> ids = {};  // Update: these products
    // Started by D-Bus for a call to the program (its service file's switch): the call says what
    // to do, and nothing shows until it does.
    bool service = false;
};

inline constexpr std::string_view kServiceSwitch = "--gapplication-service";

// Whether the request runs without a window, on the command line.
inline bool isConsoleRequest(CommandLine::Request request) {
    return request == CommandLine::Request::List || request == CommandLine::Request::Check ||
           request == CommandLine::Request::Update;
}

// The exit status for a command line that is not understood, as for most command-line tools.
inline constexpr int kInvalidUsageStatus = 2;

// Reads `arguments` (the program's name first) in order: "--help" or "-h" and "--version" answer
// at once, an argument that is not one of the switches makes the line invalid. "--list",
// "--check" and "--update" stand alone, each with only its own switches ("--json"; product ids,
// "--all", "--yes"); "--update" names its products or says "--all", not both.
CommandLine readCommandLine(const std::vector<std::string>& arguments);

// The usage, in Arabic or English, ending in a line break.
std::string usageText(bool arabic);

// "TALVEN™ Suite 1.2.3" and a line break.
std::string versionText(std::string_view version);

// One line for standard error naming the argument that was not understood (its control
// characters shown as "?", so it stays one line) and where help is.
std::string invalidArgumentText(bool arabic, std::string_view argument);
// The same for the line's request: Invalid's or Misused's complaint.
std::string complaintText(bool arabic, const CommandLine& line);

}  // namespace suite
