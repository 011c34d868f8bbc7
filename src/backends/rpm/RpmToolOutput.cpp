#include "backends/rpm/RpmToolOutput.h"

#include <regex>

namespace suite::rpm {

namespace {

// Lines the tools print about one package are short; a longer one (a list of every package, a
// wrapped error) is not read as one, which also keeps the matching's cost bounded.
constexpr std::size_t kLongestLine = 1024;

// A package's full name as either tool prints it; at least name-version-release.arch.
constexpr const char* kNevra = R"(([A-Za-z0-9_+.\-]+-[0-9]*:?[^\s:-]+-[^\s-]+\.[A-Za-z0-9_]+))";

std::string unquoted(std::string text) {
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

std::string trimmed(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return "";
    const auto last = line.find_last_not_of(" \t\r");
    return std::string(line.substr(first, last - first + 1));
}

// Both tools' problems and an error line that is none of them.
void readProblems(std::string_view line, RpmPlan& plan) {
    if (auto problem = readSolverProblem(line)) {
        plan.problems.push_back(std::move(*problem));
    } else if (plan.error.empty() && line.starts_with("Error: ") && line.size() > 7) {
        plan.error = trimmed(line.substr(7));
    }
}

}  // namespace

std::string nameOfNevra(std::string_view nevra) {
    // The name is what is left of the last two "-": version and release hold none.
    const auto release = nevra.rfind('-');
    if (release == std::string_view::npos || release == 0) return std::string(nevra);
    const auto version = nevra.rfind('-', release - 1);
    if (version == std::string_view::npos || version == 0) return std::string(nevra);
    return std::string(nevra.substr(0, version));
}

std::optional<SolverProblem> readSolverProblem(std::string_view text) {
    static const std::regex missing(
        std::string(R"(nothing provides (.+?) needed by (?:the to be installed )?)") + kNevra);
    static const std::regex unprovided(
        std::string("package ") + kNevra +
        R"( requires (.+), but none of the providers can be installed)");
    static const std::regex clash(
        std::string(R"((?:(?:package|the to be installed|the installed) )?)") + kNevra +
        R"( (?:conflicts with|obsoletes) .+? provided by (?:the installed |the to be installed )?)" +
        kNevra);
    static const std::regex both(std::string("cannot install both ") + kNevra + " and " + kNevra);
    if (text.size() > kLongestLine) return std::nullopt;
    const std::string line(text);
    std::smatch match;
    if (std::regex_search(line, match, missing)) {
        return SolverProblem{nameOfNevra(match[2].str()), {"dependency", unquoted(match[1].str())}};
    }
    if (std::regex_search(line, match, unprovided)) {
        return SolverProblem{nameOfNevra(match[1].str()), {"dependency", unquoted(match[2].str())}};
    }
    if (std::regex_search(line, match, clash) || std::regex_search(line, match, both)) {
        return SolverProblem{nameOfNevra(match[1].str()),
                             {"conflict", nameOfNevra(match[2].str())}};
    }
    return std::nullopt;
}

RpmPlan readDnfPlan(std::string_view output, int exitStatus) {
    RpmPlan plan;
    bool removing = false;
    std::string above;  // the package of the line above a "replacing" line
    bool answered = false;
    for (std::string_view line : linesOf(output)) {
        // The transaction's table: a heading at the line's start, then one package a line.
        if (!line.empty() && line.front() != ' ' && line.back() == ':') {
            removing = line.starts_with("Removing") || line.starts_with("Downgrading");
            continue;
        }
        const std::string words = trimmed(line);
        if (words.empty()) {
            removing = false;
            continue;
        }
        if (words.starts_with("replacing ")) {
            // "replacing  NAME.ARCH VERSION": an obsoleted package goes; an older copy of the
            // package itself is an upgrade.
            std::string replaced = trimmed(words.substr(10));
            replaced = replaced.substr(0, replaced.find(' '));
            replaced = replaced.substr(0, replaced.rfind('.'));
            if (replaced != above) plan.removals.push_back(replaced);
            continue;
        }
        if (line.starts_with(" ") && !line.starts_with("  ") &&
            words.find(' ') != std::string::npos) {
            above = words.substr(0, words.find(' '));
            if (removing) plan.removals.push_back(above);
        }
        answered = answered || words.starts_with("Operation aborted") ||
                   words.starts_with("Is this ok") || words == "Nothing to do." ||
                   words == "Complete!";
        readProblems(words, plan);
    }
    plan.ok = answered && plan.problems.empty() && plan.error.empty() &&
              (exitStatus == 0 || exitStatus == 1);
    return plan;
}

RpmPlan readZypperPlan(std::string_view output, int exitStatus) {
    RpmPlan plan;
    bool removing = false;
    for (std::string_view line : linesOf(output)) {
        const std::string words = trimmed(line);
        if (words.starts_with("The following ") && words.find("REMOVED:") != std::string::npos) {
            removing = true;
            continue;
        }
        if (words.empty() || words.starts_with("The following ")) {
            removing = false;
            continue;
        }
        if (removing) {
            for (std::size_t at = 0; at < words.size();) {
                const auto end = words.find(' ', at);
                if (end != at) plan.removals.push_back(words.substr(at, end - at));
                if (end == std::string::npos) break;
                at = end + 1;
            }
            continue;
        }
        readProblems(words, plan);
    }
    plan.ok = exitStatus == 0 && plan.problems.empty();
    if (!plan.ok && plan.error.empty() && plan.problems.empty()) {
        plan.error = "zypper ended with status " + std::to_string(exitStatus);
    }
    return plan;
}

RpmEvent readRpmRunLine(std::string_view text) {
    static const std::regex dnfStep(
        std::string(
            R"(^\s*(Installing|Upgrading|Downgrading|Reinstalling|Running scriptlet)\s*: )") +
        kNevra);
    static const std::regex zypperStep(std::string(R"(^\(\s*\d+/\d+\) Installing: )") + kNevra);
    static const std::regex scriptlet(std::string(R"(%[a-z]+\()") + kNevra +
                                      R"(\) scriptlet failed)");
    if (text.size() > kLongestLine) return {};
    const std::string line(text);
    std::smatch match;
    if (std::regex_search(line, match, scriptlet)) {
        return {RpmEvent::Kind::ScriptletFailed, nameOfNevra(match[1].str())};
    }
    if (std::regex_search(line, match, dnfStep)) {
        return {match[1].str() == "Running scriptlet" ? RpmEvent::Kind::SettingUp
                                                      : RpmEvent::Kind::Unpacking,
                nameOfNevra(match[2].str())};
    }
    if (std::regex_search(line, match, zypperStep)) {
        return {RpmEvent::Kind::Unpacking, nameOfNevra(match[1].str())};
    }
    return {};
}

}  // namespace suite::rpm
