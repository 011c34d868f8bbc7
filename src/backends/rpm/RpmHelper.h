#pragma once
// The install helper's RPM half: a package file's header read with librpm, the architectures rpm
// takes here, and the batch installed in one transaction by dnf or zypper, whichever the system
// uses, with what the batch needs from the configured repositories.
//
// Nothing changes before the tool's plan is judged: dnf shows it and asks, and is answered "y" only
// when it removes nothing; zypper is asked for it first (--dry-run). A batch that cannot go through
// as a whole, or only by removing installed software, is tried package by package (dnf's
// --assumeno, zypper's --dry-run), so that what can be installed is, and what cannot gets its
// reason ("dependency", "conflict"). Neither tool is
// ever allowed to remove anything (no --allowerasing; zypper's solver problems are answered
// "cancel"). Results come from rpm's database afterwards: a package is installed when rpm has it
// in its version, from the very header root verified. A package whose scriptlet failed fails; if
// it was not installed before, it is removed again (unless something needs it), so the database
// does not keep a package whose set-up never ran.
#include <optional>
#include <string>

#include "install/SystemPackages.h"
#include "privileged/InstallHelper.h"

namespace suite::rpm {

struct RpmTools {
    PackageFamily family = PackageFamily::RpmDnf;  // which tool installs
    std::string dnf = "/usr/bin/dnf";
    std::string zypper = "/usr/bin/zypper";
    std::string rpm = "/usr/bin/rpm";
    std::string root = "/";  // of the system whose database is read
};

class RpmHelper final : public privileged::HelperBackend {
  public:
    RpmHelper(RpmTools tools, const privileged::HelperSettings& settings)
        : tools_(std::move(tools)), settings_(settings) {}

    std::string_view kind() const override { return "rpm"; }
    std::string_view label() const override { return "RPM"; }
    Expected<privileged::PackageFacts, std::string> readPackage(
        const std::string& copy) const override;
    bool takesArchitecture(const std::string& architecture) override;
    std::map<std::string, std::string> installedVersions(
        const std::set<std::string>& names) const override;
    int compareVersions(const std::string& a, const std::string& b) const override;
    void install(const std::vector<privileged::BatchMember>& members,
                 privileged::Records& records) override;

  private:
    RpmTools tools_;
    const privileged::HelperSettings& settings_;
};

}  // namespace suite::rpm
