#pragma once
// What the install helper, running as root, and the program say to each other. The program
// starts it through pkexec with pairs of arguments, each a downloaded package and the SHA-256
// digest the catalog gives for it:
//
//     install-helper FILE SHA256 [FILE SHA256 ...]
//
// and reads its standard output, one record per line, <i> being the pair's 0-based position:
//
//     HELPER:1          first, once the helper runs as root with arguments it accepts
//     OUT:<i>:<text>    one line of what installing package i printed
//     OK:<i>            package i is installed
//     FAIL:<i>          package i is not
//     CHECK:<i>         package i is not the file the catalog describes; it was not installed
//
// No record may hold a line break; anything else on a line is ignored by the reader.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace suite::debian {

inline constexpr std::string_view kHelperStarted = "HELPER:1";

// Never more packages than this in one run: the arguments of one process are bounded too.
inline constexpr std::size_t kMaxHelperPackages = 512;

enum class HelperResult { None, Installed, Failed, Refused };

std::string outputRecord(std::size_t index, std::string_view line);
std::string resultRecord(std::size_t index, HelperResult result);

// What one run of the helper printed, read back.
struct HelperReport {
    bool started = false;
    std::vector<HelperResult> results;  // one per package; None where it reported nothing
    std::vector<std::string> outputs;   // one per package: its output lines, each ending in \n
    std::string resultLines;            // the HELPER and result records, as printed
};
HelperReport readHelperReport(std::string_view text, std::size_t packages);

// Whether `text` is 64 lower-case hex digits.
bool isSha256Hex(std::string_view text);

}  // namespace suite::debian
