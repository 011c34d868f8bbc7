#include "platform/InstallerRecords.h"

#include <charconv>

namespace suite {

namespace {

constexpr std::string_view kOk = "OK:", kFail = "FAIL:", kCheck = "CHECK:",
                           kSignature = "SIGNATURE:", kOut = "OUT:";

// The index after `prefix` up to `end` (or the end of `text`), when it names a package.
std::optional<std::size_t> indexAfter(std::string_view text, std::string_view prefix,
                                      std::size_t packages, std::size_t* end = nullptr) {
    if (!text.starts_with(prefix)) return std::nullopt;
    const char* first = text.data() + prefix.size();
    const char* last = text.data() + text.size();
    std::size_t index = 0;
    auto [stop, error] = std::from_chars(first, last, index);
    if (error != std::errc() || stop == first || index >= packages) return std::nullopt;
    if (end != nullptr) {
        *end = static_cast<std::size_t>(stop - text.data());
    } else if (stop != last) {
        return std::nullopt;
    }
    return index;
}

std::string_view trimmed(std::string_view line) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string outputRecord(std::size_t index, std::string_view line) {
    return std::string(kOut) + std::to_string(index) + ":" + std::string(line);
}

std::string resultRecord(std::size_t index, InstallerResult result) {
    std::string_view prefix = result == InstallerResult::Installed   ? kOk
                              : result == InstallerResult::Refused   ? kCheck
                              : result == InstallerResult::Unvouched ? kSignature
                                                                     : kFail;
    return std::string(prefix) + std::to_string(index);
}

InstallerReport readInstallerRecords(std::string_view text, std::size_t packages) {
    InstallerReport report;
    report.results.assign(packages, InstallerResult::None);
    report.outputs.assign(packages, "");
    while (!text.empty()) {
        // macOS hands a script's output back with its line feeds turned into carriage returns.
        const std::size_t cut = text.find_first_of("\n\r");
        std::string_view line = text.substr(0, cut);
        text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);

        std::size_t colon = 0;
        if (auto i = indexAfter(line, kOut, packages, &colon);
            i && colon < line.size() && line[colon] == ':') {
            report.outputs[*i].append(line.substr(colon + 1)).push_back('\n');
            continue;
        }
        line = trimmed(line);
        std::optional<std::size_t> index;
        InstallerResult result = InstallerResult::None;
        if ((index = indexAfter(line, kOk, packages))) {
            result = InstallerResult::Installed;
        } else if ((index = indexAfter(line, kFail, packages))) {
            result = InstallerResult::Failed;
        } else if ((index = indexAfter(line, kCheck, packages))) {
            result = InstallerResult::Refused;
        } else if ((index = indexAfter(line, kSignature, packages))) {
            result = InstallerResult::Unvouched;
        } else if (line == kHelperStarted) {
            report.started = true;
        } else {
            continue;
        }
        if (index) report.results[*index] = result;
        report.resultLines.append(line).push_back('\n');
    }
    return report;
}

bool isSha256Hex(std::string_view text) {
    return text.size() == 64 &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace suite
