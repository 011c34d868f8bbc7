#include "backends/rpm/RpmHelper.h"

#include <map>
#include <set>

#include "backends/rpm/RpmDatabase.h"
#include "backends/rpm/RpmToolOutput.h"
#include "backends/rpm/RpmVersion.h"
#include "platform/InstallerRecords.h"

namespace suite::rpm {

using privileged::BatchMember;
using privileged::Records;
using privileged::toolOptions;

namespace {

// What dnf asks once it has shown its plan.
constexpr std::string_view kDnfQuestion = "Is this ok [y/N]:";

class Transaction {
  public:
    Transaction(const std::vector<BatchMember>& members, Records& records, const RpmTools& tools,
                const privileged::HelperSettings& settings)
        : members_(members), records_(records), tools_(tools), settings_(settings) {
        for (const auto& member : members_) byName_.emplace(member.facts.package, &member);
    }

    void run() {
        before_ = installedHeaders(names(members_), tools_.root);
        std::vector<const BatchMember*> accepted = privileged::dependenciesFirst(members_);
        // dnf shows its plan and asks before it changes anything, so one run plans and installs
        // a batch that goes through whole; zypper is asked for a plan first.
        const bool whole =
            zypper() ? acceptable(plan(accepted), nullptr) && install(accepted) : install(accepted);
        if (whole) return;
        acceptWhatCan(accepted);
        if (!accepted.empty()) install(accepted);
    }

  private:
    bool zypper() const { return tools_.family == PackageFamily::RpmZypper; }

    // A restore of a version older than the installed one (a restore is one package).
    bool goingBack() const {
        if (!settings_.restore || members_.size() != 1) return false;
        const auto& facts = members_.front().facts;
        const auto installed = before_.find(facts.package);
        return installed != before_.end() &&
               compareRpmVersions(facts.version, installed->second.version) < 0;
    }

    static std::set<std::string> names(const std::vector<BatchMember>& members) {
        std::set<std::string> out;
        for (const auto& member : members) out.insert(member.facts.package);
        return out;
    }

    // The tool's command for `members`: a plan, or the install itself.
    std::pair<std::string, std::vector<std::string>> command(
        const std::vector<const BatchMember*>& members, bool planOnly) const {
        std::vector<std::string> arguments;
        if (zypper()) {
            // Root verified each file against the vendor's signed catalog: the packages need no
            // signature of their own.
            arguments = {"--non-interactive", "install", "--allow-unsigned-rpm"};
            if (planOnly) arguments.emplace_back("--dry-run");
            if (goingBack()) arguments.emplace_back("--oldpackage");
        } else {
            // Without --assumeno it asks, and is answered once its plan is judged. An install of
            // an older file than the one installed does nothing; a downgrade takes it.
            arguments = {goingBack() ? "downgrade" : "install"};
            if (planOnly) arguments.emplace_back("--assumeno");
        }
        for (const auto* member : members) arguments.push_back(member->copy);
        return {zypper() ? tools_.zypper : tools_.dnf, std::move(arguments)};
    }

    struct Planned {
        RpmPlan plan;
        std::string printed;
    };
    Planned plan(const std::vector<const BatchMember*>& members) const {
        auto [tool, arguments] = command(members, true);
        auto run = runProcess(tool, arguments, toolOptions(settings_.installTimeoutSeconds));
        if (!run) return {{.error = "cannot start " + tool}, ""};
        RpmPlan read = zypper() ? readZypperPlan(run->standardOutput, run->exitStatus)
                                : readDnfPlan(run->standardOutput, run->exitStatus);
        if (run->timedOut) read = {.error = "the plan did not end"};
        return {std::move(read), std::move(run->standardOutput)};
    }

    // Whether the plan holds, removing nothing that is not an older copy of the batch's own;
    // otherwise, where `tried` is the package just added, its failure is printed.
    bool acceptable(const Planned& planned, const BatchMember* tried) const {
        std::vector<std::string> removals;
        for (const auto& name : planned.plan.removals) {
            if (!byName_.contains(name)) removals.push_back(name);
        }
        if (planned.plan.ok && removals.empty()) return true;
        if (tried == nullptr) return false;
        records_.relay(tried->index, planned.printed);
        FailureReason why{"install", planned.plan.error};
        for (const auto& problem : planned.plan.problems) {
            // A conflict names both packages; the one that is not the batch's is the detail.
            if (problem.package == tried->facts.package) {
                why = problem.reason;
                break;
            }
            if (problem.reason.code == "conflict" &&
                problem.reason.detail == tried->facts.package) {
                why = {"conflict", problem.package};
                break;
            }
        }
        if (why.code == "install" && !removals.empty()) why = {"conflict", removals.front()};
        if (why.code == "install" && why.detail.empty() && !planned.plan.problems.empty()) {
            why = planned.plan.problems.front().reason;
        }
        records_.fail(tried->index, why);
        return false;
    }

    // The batch as a whole cannot go: each package is tried with those accepted before it, and
    // fails alone with the reason the tool gives for it.
    void acceptWhatCan(std::vector<const BatchMember*>& accepted) const {
        std::vector<const BatchMember*> candidates = std::move(accepted);
        accepted.clear();
        for (const auto* member : candidates) {
            accepted.push_back(member);
            if (!acceptable(plan(accepted), member)) accepted.pop_back();
        }
    }

    // Installs `accepted` and prints each one's result; false, with nothing installed and
    // nothing printed of the results, when dnf's plan would not do (it could not resolve the batch
    // whole, or it would remove something).
    bool install(const std::vector<const BatchMember*>& accepted) {
        auto [tool, arguments] = command(accepted, false);
        std::map<std::string, std::string> scriptletFailures;  // by package: rpm's line
        std::size_t current = accepted.front()->index;
        LineSplitter lines;
        ProcessOptions options = toolOptions(settings_.installTimeoutSeconds);
        options.onOutput = [&](std::string_view piece) {
            lines.feed(piece, [&](std::string_view line) {
                const RpmEvent event = readRpmRunLine(line);
                const auto member = byName_.find(event.package);
                if (member != byName_.end()) current = member->second->index;
                records_.relay(current, line);
                if (member == byName_.end()) return;
                if (event.kind == RpmEvent::Kind::ScriptletFailed) {
                    scriptletFailures.emplace(event.package, std::string(line));
                } else if (event.kind != RpmEvent::Kind::None) {
                    records_.line(stepRecord(current, event.kind == RpmEvent::Kind::SettingUp
                                                          ? BatchStep::Kind::SettingUp
                                                          : BatchStep::Kind::Unpacking));
                }
            });
        };
        std::string asked;
        bool declined = false;
        if (!zypper()) {
            options.answer = [&](std::string_view piece) -> std::optional<std::string> {
                asked.append(piece);
                if (asked.find(kDnfQuestion) == std::string::npos) return std::nullopt;
                declined = !acceptable({readDnfPlan(asked, 1), ""}, nullptr);
                return declined ? "N\n" : "y\n";
            };
        }
        auto run = runProcess(tool, arguments, options);
        const bool timedOut = run && run->timedOut;
        if (!run) records_.relay(current, "cannot start " + tool);
        // Asked nothing and failed: it could not resolve the batch, and changed nothing.
        const bool unresolved = !zypper() && run && !timedOut && run->exitStatus != 0 &&
                                asked.find(kDnfQuestion) == std::string::npos &&
                                !readDnfPlan(run->standardOutput, 1).problems.empty();
        if (declined || unresolved) return false;
        if (timedOut) privileged::endAtTimeLimit(records_, current, settings_);

        std::set<std::string> wanted;
        for (const auto* member : accepted) wanted.insert(member->facts.package);
        const auto after = installedHeaders(wanted, tools_.root);
        for (const auto* member : accepted) {
            const auto& facts = member->facts;
            const auto found = after.find(facts.package);
            const bool installed = found != after.end() && found->second.version == facts.version;
            // The tool may take a repository's build of the same version for the file it was
            // given; rpm keeps each header's digest, so what is installed is known to be the
            // verified copy or not.
            const auto copy = installed ? readPackageFile(member->copy) : std::nullopt;
            if (installed && (!copy || copy->headerDigest != found->second.headerDigest)) {
                records_.fail(member->index,
                              {"install", "rpm holds another build of " + facts.package + " " +
                                              facts.version + " than the one verified"});
                continue;
            }
            const auto failed = scriptletFailures.find(facts.package);
            if (installed && !timedOut && failed == scriptletFailures.end()) {
                records_.line(installedRecord(member->index, facts.version));
                continue;
            }
            std::string why = timedOut ? "stopped: no end after " +
                                             std::to_string(settings_.installTimeoutSeconds) + " s"
                              : failed != scriptletFailures.end() ? failed->second
                              : run ? readDnfPlan(run->standardOutput, 1).error
                                    : "cannot start " + tool;
            if (why.empty())
                why = (zypper() ? "zypper" : "dnf") + std::string(" did not install it");
            if (installed) removeIfNew(*member);
            records_.fail(member->index, {"install", why});
        }
        return true;
    }

    // A package that was not installed before and whose set-up failed goes again, unless another
    // installed package needs it (rpm refuses then, and says so).
    void removeIfNew(const BatchMember& member) const {
        if (before_.contains(member.facts.package)) return;
        records_.relay(member.index, "its scriptlet failed; removing it again");
        if (auto removed = runProcess(tools_.rpm, {"--erase", member.facts.package},
                                      toolOptions(settings_.installTimeoutSeconds))) {
            records_.relay(member.index, removed->standardOutput);
        }
    }

    const std::vector<BatchMember>& members_;
    Records& records_;
    const RpmTools& tools_;
    const privileged::HelperSettings& settings_;
    std::map<std::string, const BatchMember*> byName_;
    std::map<std::string, RpmHeader> before_;
};

}  // namespace

Expected<privileged::PackageFacts, std::string> RpmHelper::readPackage(
    const std::string& copy) const {
    auto header = readPackageFile(copy);
    if (!header) return unexpected(std::string("not an RPM package rpm can read"));
    return privileged::PackageFacts{header->name, header->version, header->architecture,
                                    header->needs};
}

std::map<std::string, std::string> RpmHelper::installedVersions(
    const std::set<std::string>& names) const {
    return rpm::installedVersions(names, tools_.root);
}

int RpmHelper::compareVersions(const std::string& a, const std::string& b) const {
    return compareRpmVersions(a, b);
}

bool RpmHelper::takesArchitecture(const std::string& architecture) {
    return machineTakes(architecture);
}

void RpmHelper::install(const std::vector<BatchMember>& members, Records& records) {
    Transaction(members, records, tools_, settings_).run();
}

}  // namespace suite::rpm
