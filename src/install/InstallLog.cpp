#include "install/InstallLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include "common/Utf8.h"

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
    std::tm utc{};
    if (::gmtime_r(&now, &utc) == nullptr) return "";
    std::array<char, 64> buffer{};
    std::size_t length = std::strftime(buffer.data(), buffer.size(), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(buffer.data(), length);
}

void appendInstallLog(const std::filesystem::path& folder, const std::string& message,
                      std::time_t now) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);

    const std::string line = logTimeStamp(now) + " " + message + "\n";
    // A link planted in the folder's place or the log's is refused, not followed to wherever it
    // points. O_NONBLOCK: a FIFO in the log's place must not stall the caller (the main thread).
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) return;
    int fd = ::openat(
        dir, kInstallLogName,
        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW, 0644);
    ::close(dir);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return;
    }
    // The whole line in one write: with O_APPEND the kernel places it at the end in one piece,
    // so lines from two writers never mix. Only a short write (a full disk) takes another turn.
    std::size_t written = 0;
    while (written < line.size()) {
        ssize_t n = ::write(fd, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    ::close(fd);
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
