#include "platform/InstallerRecords.h"

#include <algorithm>
#include <charconv>

namespace suite {

namespace {

constexpr std::string_view kOk = "OK:", kFail = "FAIL:", kCheck = "CHECK:",
                           kSignature = "SIGNATURE:", kOut = "OUT:", kStep = "STEP:";
constexpr std::string_view kUnpack = "unpack", kSetup = "setup";

// The index after `prefix`, when it names a package; `rest` gets what follows it.
std::optional<std::size_t> indexAfter(std::string_view text, std::string_view prefix,
                                      std::size_t packages, std::string_view& rest) {
    if (!text.starts_with(prefix)) return std::nullopt;
    const char* first = text.data() + prefix.size();
    const char* last = text.data() + text.size();
    std::size_t index = 0;
    auto [stop, error] = std::from_chars(first, last, index);
    if (error != std::errc() || stop == first || index >= packages) return std::nullopt;
    rest = std::string_view(stop, static_cast<std::size_t>(last - stop));
    return index;
}

std::string_view trimmed(std::string_view line) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

std::string oneLine(std::string_view text) {
    std::string line(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return line;
}

// ":code[:detail]" after a FAIL record's index.
FailureReason reasonIn(std::string_view rest) {
    if (!rest.starts_with(':')) return {};
    rest.remove_prefix(1);
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) return {std::string(rest), ""};
    return {std::string(rest.substr(0, colon)), std::string(rest.substr(colon + 1))};
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

std::string failureRecord(std::size_t index, const FailureReason& reason) {
    std::string line = resultRecord(index, InstallerResult::Failed);
    if (reason.code.empty()) return line;
    line.append(1, ':').append(oneLine(reason.code));
    if (!reason.detail.empty()) line.append(1, ':').append(oneLine(reason.detail));
    return line;
}

std::string installedRecord(std::size_t index, std::string_view version) {
    std::string line = resultRecord(index, InstallerResult::Installed);
    if (!version.empty()) line.append(1, ':').append(oneLine(version));
    return line;
}

std::string stepRecord(std::size_t index, BatchStep::Kind step) {
    return std::string(kStep) + std::to_string(index) + ":" +
           std::string(step == BatchStep::Kind::SettingUp ? kSetup : kUnpack);
}

InstallerRecord readInstallerRecord(std::string_view line, std::size_t packages) {
    InstallerRecord record;
    auto found = [&](InstallerRecord::Kind kind, std::size_t index) {
        record.kind = kind;
        record.index = index;
        return record;
    };
    std::string_view rest;
    if (auto i = indexAfter(line, kOut, packages, rest); i && rest.starts_with(':')) {
        record.text = rest.substr(1);
        return found(InstallerRecord::Kind::Output, *i);
    }
    line = trimmed(line);
    if (line == kHelperStarted) return found(InstallerRecord::Kind::Started, 0);
    if (auto i = indexAfter(line, kStep, packages, rest);
        i && (rest == ":unpack" || rest == ":setup")) {
        record.step = rest == ":setup" ? BatchStep::Kind::SettingUp : BatchStep::Kind::Unpacking;
        return found(InstallerRecord::Kind::Step, *i);
    }
    if (auto i = indexAfter(line, kFail, packages, rest); i && (rest.empty() || rest[0] == ':')) {
        record.result = InstallerResult::Failed;
        record.reason = reasonIn(rest);
        return found(InstallerRecord::Kind::Result, *i);
    }
    if (auto i = indexAfter(line, kOk, packages, rest); i && (rest.empty() || rest[0] == ':')) {
        record.result = InstallerResult::Installed;
        if (!rest.empty()) record.version = rest.substr(1);
        return found(InstallerRecord::Kind::Result, *i);
    }
    for (const auto& [prefix, result] : {std::pair{kCheck, InstallerResult::Refused},
                                         std::pair{kSignature, InstallerResult::Unvouched}}) {
        if (auto i = indexAfter(line, prefix, packages, rest); i && rest.empty()) {
            record.result = result;
            return found(InstallerRecord::Kind::Result, *i);
        }
    }
    return record;
}

InstallerReport readInstallerRecords(std::string_view text, std::size_t packages) {
    InstallerReport report;
    report.results.assign(packages, InstallerResult::None);
    report.reasons.assign(packages, {});
    report.outputs.assign(packages, "");
    auto take = [&](std::string_view line) {
        InstallerRecord record = readInstallerRecord(line, packages);
        switch (record.kind) {
            case InstallerRecord::Kind::Output:
                report.outputs[record.index].append(record.text).push_back('\n');
                return;
            case InstallerRecord::Kind::Started:
                report.started = true;
                break;
            case InstallerRecord::Kind::Result:
                report.results[record.index] = record.result;
                report.reasons[record.index] = std::move(record.reason);
                break;
            default:
                return;
        }
        report.resultLines.append(trimmed(line)).push_back('\n');
    };
    LineSplitter lines;
    lines.feed(text, take);
    lines.finish(take);
    return report;
}

bool isSha256Hex(std::string_view text) {
    return text.size() == 64 &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace suite
