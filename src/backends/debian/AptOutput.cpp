#include "backends/debian/AptOutput.h"

namespace suite::debian {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string_view firstWord(std::string_view text) {
    text = trimmed(text);
    return text.substr(0, text.find_first_of(" \t,|("));
}

// Calls `onLine` with each line of `text`.
template <typename OnLine>
void eachLine(std::string_view text, OnLine&& onLine) {
    while (!text.empty()) {
        const std::size_t cut = text.find('\n');
        onLine(text.substr(0, cut));
        text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
    }
}

// " addin : Depends: talven-app (>= 2) but it is not installable": the first unmet relation of
// apt's explanation, which names what is missing or in the way.
FailureReason unmetRelation(std::string_view line) {
    for (const auto& [field, code] :
         {std::pair{"Depends: ", "dependency"}, std::pair{"PreDepends: ", "dependency"},
          std::pair{"Conflicts: ", "conflict"}, std::pair{"Breaks: ", "conflict"}}) {
        const auto at = line.find(field);
        if (at != std::string_view::npos) {
            return {code, std::string(firstWord(line.substr(at + std::string_view(field).size())))};
        }
    }
    return {};
}

}  // namespace

std::string_view bareName(std::string_view name) {
    return name.substr(0, name.find(':'));
}

AptSimulation readSimulation(std::string_view output, int exitStatus) {
    AptSimulation simulation;
    std::string error;
    eachLine(output, [&](std::string_view line) {
        if (line.starts_with("Inst ")) {
            // "Inst name [installed] (version origin [arch])"
            const auto open = line.find('(');
            if (open == std::string_view::npos) return;
            simulation.installs.push_back({std::string(firstWord(line.substr(5))),
                                           std::string(firstWord(line.substr(open + 1)))});
        } else if (line.starts_with("Remv ")) {
            simulation.removals.emplace_back(firstWord(line.substr(5)));
        } else if (line.find(" : ") != std::string_view::npos && simulation.reason.code.empty()) {
            simulation.reason = unmetRelation(line);
        } else if (line.starts_with("E: ") && error.empty()) {
            error = line.substr(3);
        }
    });
    if (!simulation.removals.empty()) {
        simulation.reason = {"conflict", simulation.removals.front()};
    } else if (exitStatus != 0 && simulation.reason.code.empty()) {
        simulation.reason = {"install", error.empty() ? "apt-get cannot install the batch" : error};
    }
    simulation.ok = exitStatus == 0 && simulation.removals.empty();
    return simulation;
}

DpkgEvent readDpkgStatus(std::string_view line) {
    // "processing: install: name", "processing: configure: name", "status: name: installed"
    auto after = [&](std::string_view prefix) {
        return line.starts_with(prefix) ? std::string(bareName(trimmed(line.substr(prefix.size()))))
                                        : std::string();
    };
    for (const auto& [prefix, kind] :
         {std::pair{"processing: install: ", DpkgEvent::Kind::Unpacking},
          std::pair{"processing: upgrade: ", DpkgEvent::Kind::Unpacking},
          std::pair{"processing: configure: ", DpkgEvent::Kind::SettingUp}}) {
        if (auto name = after(prefix); !name.empty()) return {kind, std::move(name)};
    }
    if (line.starts_with("status: ") && line.ends_with(": installed")) {
        const std::string_view middle = line.substr(8, line.size() - 8 - 11);
        return {DpkgEvent::Kind::Installed, std::string(bareName(trimmed(middle)))};
    }
    return {};
}

std::string dpkgFailureLine(std::string_view output, std::string_view package) {
    // "dpkg: error processing package addin (--configure):" and, on the next line, the cause.
    bool next = false;
    std::string found;
    eachLine(output, [&](std::string_view line) {
        if (!found.empty()) return;
        if (next) {
            found = trimmed(line);
            return;
        }
        next = line.starts_with("dpkg: error processing ") &&
               line.find(std::string(package) + " ") != std::string_view::npos;
    });
    return found;
}

privileged::PackageFacts readControl(std::string_view fields) {
    privileged::PackageFacts control;
    std::string* field = nullptr;
    std::string relations;
    eachLine(fields, [&](std::string_view line) {
        if (line.starts_with(' ') || line.starts_with('\t')) {
            if (field != nullptr) field->append(" ").append(trimmed(line));
            return;
        }
        const auto colon = line.find(':');
        const std::string_view name = line.substr(0, colon);
        const std::string_view value =
            colon == std::string_view::npos ? "" : trimmed(line.substr(colon + 1));
        field = name == "Package"                            ? &control.package
                : name == "Version"                          ? &control.version
                : name == "Architecture"                     ? &control.architecture
                : name == "Depends" || name == "Pre-Depends" ? &relations
                                                             : nullptr;
        if (field == &relations && !relations.empty()) relations += ",";
        if (field != nullptr) field->append(value);
    });
    std::string_view rest = relations;
    while (!rest.empty()) {
        const std::size_t cut = rest.find_first_of(",|");
        if (auto name = bareName(firstWord(rest.substr(0, cut))); !name.empty()) {
            control.depends.emplace_back(name);
        }
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    return control;
}

}  // namespace suite::debian
