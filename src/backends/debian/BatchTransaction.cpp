#include "backends/debian/BatchTransaction.h"

#include <map>
#include <optional>
#include <set>

#include "backends/debian/AptOutput.h"
#include "backends/debian/DpkgDatabase.h"
#include "backends/debian/FrontendLock.h"
#include "platform/InstallerRecords.h"

namespace suite::debian {

using privileged::BatchMember;
using privileged::Records;
using privileged::toolOptions;

namespace {

class Transaction {
  public:
    Transaction(const std::vector<BatchMember>& members, Records& records, const DebianTools& tools,
                const privileged::HelperSettings& settings)
        : members_(members), records_(records), tools_(tools), settings_(settings) {
        for (const auto& member : members_) byName_.emplace(member.facts.package, &member);
    }

    void run() {
        FrontendLock lock(tools_.adminDir, settings_.lockWaitSeconds);
        if (!lock.held()) {
            for (const auto& member : members_) {
                records_.fail(member.index, {"install",
                                             "another program is installing software; try again "
                                             "once it has finished"});
            }
            return;
        }
        std::set<std::string> names;
        for (const auto& member : members_) names.insert(member.facts.package);
        before_ = installedVersions(names, tools_.adminDir);

        std::vector<const BatchMember*> accepted = privileged::dependenciesFirst(members_);
        AptSimulation plan = simulate(accepted, std::nullopt);
        if (!plan.ok) plan = acceptWhatCan(accepted);
        if (accepted.empty()) return;
        if (!installNeeds(accepted, plan)) return;
        installCopies(accepted);
    }

  private:
    ProcessOptions options() const {
        ProcessOptions options = toolOptions(settings_.installTimeoutSeconds);
        options.environment.emplace_back("DPKG_FRONTEND_LOCKED", "1");
        return options;
    }

    // apt's plan for `members`; what it printed goes to the log of `relayTo` when it cannot.
    AptSimulation simulate(const std::vector<const BatchMember*>& members,
                           std::optional<std::size_t> relayTo) const {
        std::vector<std::string> arguments = {"--simulate", "install"};
        for (const auto* member : members) arguments.push_back(member->copy);
        auto run = runProcess(tools_.aptGet, arguments, options());
        if (!run) {
            AptSimulation none;
            none.reason = {"install", "cannot start " + tools_.aptGet};
            return none;
        }
        AptSimulation simulation = readSimulation(run->standardOutput, run->exitStatus);
        if (!simulation.ok && relayTo) records_.relay(*relayTo, run->standardOutput);
        return simulation;
    }

    // The batch as a whole cannot go: each member is tried with those accepted before it, and
    // fails alone with the reason apt gives for it.
    AptSimulation acceptWhatCan(std::vector<const BatchMember*>& accepted) const {
        std::vector<const BatchMember*> candidates = std::move(accepted);
        accepted.clear();
        AptSimulation plan;
        for (const auto* member : candidates) {
            accepted.push_back(member);
            AptSimulation tried = simulate(accepted, member->index);
            if (tried.ok) {
                plan = std::move(tried);
            } else {
                accepted.pop_back();
                records_.fail(member->index, tried.reason);
            }
        }
        return plan;
    }

    // What the plan takes from the repositories, installed by apt-get first; false when that
    // failed, and every member with it.
    bool installNeeds(const std::vector<const BatchMember*>& accepted,
                      const AptSimulation& plan) const {
        // apt-get takes the frontend lock itself, which we hold: it is told not to lock at all
        // (the dpkg it starts still locks the database, and knows the frontend's lock is held).
        std::vector<std::string> arguments = {"install",     "--yes",
                                              "--no-remove", "--mark-auto",
                                              "-o",          "Debug::NoLocking=1",
                                              "-o",          "Dpkg::Use-Pty=0",
                                              "-o",          "Dpkg::Options::=--force-confdef",
                                              "-o",          "Dpkg::Options::=--force-confold"};
        const std::size_t fixed = arguments.size();
        for (const auto& install : plan.installs) {
            if (!byName_.contains(std::string(bareName(install.name)))) {
                arguments.push_back(install.name + "=" + install.version);
            }
        }
        if (arguments.size() == fixed) return true;
        auto run = runProcess(tools_.aptGet, arguments, options());
        const std::size_t first = accepted.front()->index;
        if (run) records_.relay(first, run->standardOutput);
        if (run && run->exitStatus == 0 && !run->timedOut) return true;
        const std::string why =
            !run ? "cannot start " + tools_.aptGet
            : run->timedOut
                ? "stopped: no end after " + std::to_string(settings_.installTimeoutSeconds) + " s"
                : readSimulation(run->standardOutput, 1).reason.detail;
        if (run && run->timedOut) privileged::endAtTimeLimit(records_, first, settings_);
        for (const auto* member : accepted) records_.fail(member->index, {"install", why});
        return false;
    }

    void installCopies(const std::vector<const BatchMember*>& accepted) {
        std::vector<std::string> arguments = {"--status-fd", "1", "--force-confdef",
                                              "--force-confold", "--install"};
        for (const auto* member : accepted) arguments.push_back(member->copy);
        std::map<std::string, bool> reported;  // by package: whether it is installed
        std::size_t current = accepted.front()->index;
        std::string printed;
        LineSplitter lines;
        ProcessOptions dpkgOptions = options();
        dpkgOptions.onOutput = [&](std::string_view piece) {
            lines.feed(piece, [&](std::string_view line) {
                const DpkgEvent event = readDpkgStatus(line);
                const auto member = byName_.find(event.package);
                if (event.kind == DpkgEvent::Kind::None) {
                    if (!line.starts_with("status: ") && !line.starts_with("processing: ")) {
                        records_.relay(current, line);
                        printed.append(line).push_back('\n');
                    }
                    return;
                }
                if (member == byName_.end()) return;
                current = member->second->index;
                if (event.kind == DpkgEvent::Kind::Installed) {
                    if (!reported[event.package])
                        records_.line(installedRecord(current, member->second->facts.version));
                    reported[event.package] = true;
                } else {
                    records_.line(stepRecord(current, event.kind == DpkgEvent::Kind::SettingUp
                                                          ? BatchStep::Kind::SettingUp
                                                          : BatchStep::Kind::Unpacking));
                }
            });
        };
        auto run = runProcess(tools_.dpkg, arguments, dpkgOptions);
        if (!run) records_.relay(current, "cannot start " + tools_.dpkg);
        if (run && run->timedOut) privileged::endAtTimeLimit(records_, current, settings_);

        std::set<std::string> names;
        for (const auto* member : accepted) names.insert(member->facts.package);
        const auto after = installedVersions(names, tools_.adminDir);
        for (const auto* member : accepted) {
            const std::string& name = member->facts.package;
            const auto found = after.find(name);
            const bool installed = found != after.end() && found->second == member->facts.version;
            if (installed && !(run && run->timedOut)) {
                if (!reported[name])
                    records_.line(installedRecord(member->index, member->facts.version));
                continue;
            }
            std::string why = run && run->timedOut
                                  ? "stopped: no end after " +
                                        std::to_string(settings_.installTimeoutSeconds) + " s"
                                  : dpkgFailureLine(printed, name);
            if (why.empty()) why = dpkgFailureLine(printed, member->copy);
            removeIfNew(*member);
            records_.fail(member->index,
                          {"install", why.empty() ? "dpkg did not install it" : why});
        }
    }

    // A package that was not installed before and that its failure left half there is removed
    // again: dpkg would otherwise retry its scripts, and fail, in every later install.
    void removeIfNew(const BatchMember& member) const {
        const std::string& name = member.facts.package;
        if (before_.contains(name)) return;
        auto status =
            runProcess(tools_.dpkgQuery, {"-W", "-f", "${Status}", name}, toolOptions(60));
        if (!status || status->exitStatus != 0) return;
        const std::string& state = status->standardOutput;
        if (state.ends_with(" not-installed") || state.ends_with(" config-files")) return;
        records_.relay(member.index, "left " + state + "; removing it again");
        ProcessOptions removal = toolOptions(600);
        removal.environment.emplace_back("DPKG_FRONTEND_LOCKED", "1");
        if (auto removed = runProcess(tools_.dpkg, {"--remove", name}, removal)) {
            records_.relay(member.index, removed->standardOutput);
        }
    }

    const std::vector<BatchMember>& members_;
    Records& records_;
    const DebianTools& tools_;
    const privileged::HelperSettings& settings_;
    std::map<std::string, const BatchMember*> byName_;
    std::map<std::string, std::string> before_;
};

}  // namespace

void installTransaction(const std::vector<BatchMember>& members, Records& records,
                        const DebianTools& tools, const privileged::HelperSettings& settings) {
    if (!members.empty()) Transaction(members, records, tools, settings).run();
}

}  // namespace suite::debian
