#pragma once
// What the privileged side of an install (the Debian install helper, the macOS install script)
// tells the program on its standard output, one record per line, <i> being the package's 0-based
// position in the batch:
//
//     HELPER:1                    first, once the Debian helper runs as root with arguments it
//                                 accepts: the user said yes
//     OUT:<i>:<text>              one line of what installing package i printed
//     STEP:<i>:unpack             package i's files are being put in place
//     STEP:<i>:setup              package i is being set up
//     OK:<i>[:<version>]          package i is installed, in that version where the installer
//                                 knows it
//     FAIL:<i>[:<code>[:<detail>]]  package i is not, and why where known (FailureReason)
//     CHECK:<i>                   package i is not the file the catalog describes; not installed
//     SIGNATURE:<i>               no valid vendor-signed catalog vouches for package i; not read
//
// No record may hold a line break (a carriage return counts as one); blanks around the other
// records are ignored, as is any other line. Records are read as they come, so the program can
// show a long run's progress. Nothing goes through files: root writes nowhere the user could
// have planted a link.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PackageSystem.h"

namespace suite {

inline constexpr std::string_view kHelperStarted = "HELPER:1";

enum class InstallerResult { None, Installed, Failed, Refused, Unvouched };

std::string outputRecord(std::size_t index, std::string_view line);
std::string resultRecord(std::size_t index, InstallerResult result);
// A FAIL record with its reason; line breaks in the detail become blanks.
std::string failureRecord(std::size_t index, const FailureReason& reason);
std::string stepRecord(std::size_t index, BatchStep::Kind step);
// An OK record that names the version installed.
std::string installedRecord(std::size_t index, std::string_view version);

// One line of a run's output, read.
struct InstallerRecord {
    enum class Kind { None, Started, Output, Step, Result };
    Kind kind = Kind::None;
    std::size_t index = 0;
    std::string text;  // an output line
    BatchStep::Kind step = BatchStep::Kind::Unpacking;
    InstallerResult result = InstallerResult::None;
    FailureReason reason;  // of a FAIL record
    std::string version;   // of an OK record that names it
};
InstallerRecord readInstallerRecord(std::string_view line, std::size_t packages);

// What one privileged run printed, read back.
struct InstallerReport {
    bool started = false;
    std::vector<InstallerResult> results;  // one per package; None where it reported nothing
    std::vector<FailureReason> reasons;    // one per package
    std::vector<std::string> outputs;      // one per package: its output lines, each ending in \n
    std::string resultLines;               // the HELPER and result records, as printed
};
InstallerReport readInstallerRecords(std::string_view text, std::size_t packages);

// Cuts a stream into lines as pieces of it arrive: `onLine` gets each whole line, without its
// line break. macOS hands a script's output back with its line feeds turned into carriage
// returns, so either ends a line.
class LineSplitter {
  public:
    template <typename OnLine>
    void feed(std::string_view piece, OnLine&& onLine) {
        for (;;) {
            const std::size_t cut = piece.find_first_of("\n\r");
            if (cut == std::string_view::npos) break;
            pending_.append(piece.substr(0, cut));
            onLine(std::string_view(pending_));
            pending_.clear();
            piece.remove_prefix(cut + 1);
        }
        pending_.append(piece);
    }
    // The last line when the stream ended without a line break.
    template <typename OnLine>
    void finish(OnLine&& onLine) {
        if (!pending_.empty()) onLine(std::string_view(pending_));
        pending_.clear();
    }

  private:
    std::string pending_;
};

// Whether `text` is 64 lower-case hex digits.
bool isSha256Hex(std::string_view text);

}  // namespace suite
