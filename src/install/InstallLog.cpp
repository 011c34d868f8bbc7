#include "install/InstallLog.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "common/Utf8.h"
#include "platform/Files.h"

namespace suite {

namespace {

bool isControl(char32_t c) {
    return c <= 0x1F || (c >= 0x7F && c <= 0x9F);
}

bool isLineBreak(char32_t c) {
    return c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 ||
           c == 0x2029;
}

// Tab and the space separators (general category Zs).
bool isBlank(char32_t c) {
    return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x202F || c == 0x205F || c == 0x3000;
}

std::string trimmed(std::string_view piece) {
    std::size_t begin = 0;
    std::size_t end = piece.size();
    // UTF-8 only decodes forwards: the end is where the last character that is not blank ends.
    while (begin < end) {
        Utf8Char d = decodeUtf8At(piece, begin);
        if (d.code == kInvalidCodePoint || !isBlank(d.code)) break;
        begin += d.length;
    }
    std::size_t lastEnd = begin;
    for (std::size_t at = begin; at < end;) {
        Utf8Char d = decodeUtf8At(piece, at);
        at += d.length;
        if (d.code == kInvalidCodePoint || !isBlank(d.code)) lastEnd = at;
    }
    return std::string(piece.substr(begin, lastEnd - begin));
}

const char* namedEscape(char32_t c) {
    switch (c) {
        case '"':
            return "\\\"";
        case '\'':
            return "\\'";
        case '\\':
            return "\\\\";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        case 0:
            return "\\0";
        default:
            return nullptr;
    }
}

void appendHex(std::string& out, char32_t code) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::array<char, 8> digits{};
    std::size_t count = 0;
    do {
        digits[count++] = kDigits[code & 0xF];
        code >>= 4;
    } while (code != 0);
    out += "\\u{";
    while (count > 0) out += digits[--count];
    out += '}';
}

}  // namespace

std::string logTimeStamp(std::time_t now) {
    using namespace std::chrono;
    const sys_seconds moment{seconds{now}};
    const auto day = floor<days>(moment);
    const year_month_day date{day};
    const hh_mm_ss time{moment - day};
    std::array<char, 64> buffer{};
    const int length = std::snprintf(
        buffer.data(), buffer.size(), "%04d-%02u-%02uT%02d:%02d:%02dZ",
        static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
        static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
        static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
    return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : "";
}

void appendInstallLog(const std::filesystem::path& folder, const std::string& message,
                      std::time_t now) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);

    // The whole line in one append, so lines from two writers never mix; a link planted in the
    // folder's place or the log's is refused, and a FIFO there does not stall the main thread.
    appendToFile(folder, kInstallLogName, logTimeStamp(now) + " " + message + "\n");
}

std::string quotedForLog(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (std::size_t at = 0; at < text.size();) {
        Utf8Char d = decodeUtf8At(text, at);
        if (const char* escape = namedEscape(d.code)) {
            out += escape;
        } else if (d.code == kInvalidCodePoint) {
            // The log is UTF-8 text; a stray byte stands as the replacement character.
            out += "\xEF\xBF\xBD";
        } else if (isControl(d.code)) {
            appendHex(out, d.code);
        } else {
            out.append(text.substr(at, d.length));
        }
        at += d.length;
    }
    out += '"';
    return out;
}

std::set<std::string> outputLines(std::string_view text) {
    std::set<std::string> lines;
    std::size_t start = 0;
    auto take = [&](std::size_t end) {
        std::string line = trimmed(text.substr(start, end - start));
        if (!line.empty()) lines.insert(std::move(line));
    };
    for (std::size_t at = 0; at < text.size();) {
        Utf8Char d = decodeUtf8At(text, at);
        if (d.code != kInvalidCodePoint && isLineBreak(d.code)) {
            take(at);
            start = at + d.length;
        }
        at += d.length;
    }
    take(text.size());
    return lines;
}

namespace {

std::string notRunLogLine(const InstallerRun& run) {
    switch (run.notRun) {
        case NotRun::None:
            break;
        case NotRun::NoInstaller:
            return "installer: this system has no package installer the program can use";
        case NotRun::HelperMissing:
            return "installer: the install helper is missing; reinstall TALVEN Suite";
        case NotRun::NoKeptCatalog:
            return "installer: no verified catalog is kept (" + run.detail +
                   "); check for updates, then install";
        case NotRun::CannotStart:
            return "installer: cannot start " + run.detail;
        case NotRun::NotAuthorized:
            return "installer: " + run.detail + " did not run the install helper (exit " +
                   std::to_string(run.exitStatus) +
                   "): " + run.error.substr(0, run.error.find('\n'));
    }
    return runLogLine(run.output, run.error);
}

}  // namespace

std::vector<std::string> batchLogLines(const BatchOutcome& outcome) {
    std::vector<std::string> lines;
    std::vector<bool> held(outcome.packages.size(), false);
    std::size_t total = 0;
    for (const auto& run : outcome.runs) {
        total += run.packages.size();
        for (std::size_t i : run.packages) {
            if (i < held.size()) held[i] = true;
        }
    }
    for (std::size_t i = 0; i < outcome.packages.size(); ++i) {
        if (!held[i] && outcome.packages[i].report == PackageReport::Unvouched) {
            lines.push_back(packageLogLine(i, "no catalog product id; not installed"));
        }
    }
    std::size_t before = 0;
    for (const auto& run : outcome.runs) {
        if (before > 0) {
            lines.push_back("installer: packages " + std::to_string(before + 1) + " to " +
                            std::to_string(before + run.packages.size()) + " of " +
                            std::to_string(total) + " in another run (the install helper takes " +
                            std::to_string(outcome.runs.front().packages.size()) + " at a time)");
        }
        lines.push_back(notRunLogLine(run));
        if (run.result == RunResult::Ran) {
            for (std::size_t i : run.packages) {
                if (i >= outcome.packages.size()) continue;
                if (auto line = packageOutputLogLine(i, outcome.packages[i].output)) {
                    lines.push_back(*line);
                }
            }
        }
        before += run.packages.size();
    }
    return lines;
}

std::string runLogLine(std::string_view output, std::string_view error) {
    return "installer: out=" + quotedForLog(output) + " err=" + quotedForLog(error);
}

std::string packageLogLine(std::size_t index, std::string_view text) {
    std::string line = "package " + std::to_string(index) + ": ";
    line.reserve(line.size() + text.size());
    for (char c : text) {
        if (c == '\n') {
            line += " | ";
        } else {
            line += c;
        }
    }
    return line;
}

std::optional<std::string> packageOutputLogLine(std::size_t index, std::string_view output) {
    if (output.empty() || !isValidUtf8(output)) return std::nullopt;
    if (output.back() == '\n') output.remove_suffix(1);
    return packageLogLine(index, output);
}

}  // namespace suite
