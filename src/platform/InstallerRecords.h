#pragma once
// What the privileged side of an install (the Debian install helper, the macOS install script)
// tells the program on its standard output, one record per line, <i> being the package's 0-based
// position in the batch:
//
//     HELPER:1          first, once the Debian helper runs as root with arguments it accepts
//     OUT:<i>:<text>    one line of what installing package i printed
//     OK:<i>            package i is installed
//     FAIL:<i>          package i is not
//     CHECK:<i>         package i is not the file the catalog describes; it was not installed
//     SIGNATURE:<i>     no valid vendor-signed catalog vouches for package i; it was not read
//
// No record may hold a line break (a carriage return counts as one); blanks around the other
// records are ignored, as is any other line. Nothing
// goes through files: root writes nowhere the user could have planted a link.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace suite {

inline constexpr std::string_view kHelperStarted = "HELPER:1";

enum class InstallerResult { None, Installed, Failed, Refused, Unvouched };

std::string outputRecord(std::size_t index, std::string_view line);
std::string resultRecord(std::size_t index, InstallerResult result);

// What one privileged run printed, read back.
struct InstallerReport {
    bool started = false;
    std::vector<InstallerResult> results;  // one per package; None where it reported nothing
    std::vector<std::string> outputs;      // one per package: its output lines, each ending in \n
    std::string resultLines;               // the HELPER and result records, as printed
};
InstallerReport readInstallerRecords(std::string_view text, std::size_t packages);

// Whether `text` is 64 lower-case hex digits.
bool isSha256Hex(std::string_view text);

}  // namespace suite
