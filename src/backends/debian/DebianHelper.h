#pragma once
// The install helper's Debian half: a package file's control fields read with dpkg-deb, the
// architectures dpkg takes here, and the batch installed with apt-get and dpkg
// (BatchTransaction.h).
//
// A package that was not installed before and that its failure left half installed is removed
// again: dpkg would otherwise retry its scripts, and fail, in every later install on the machine,
// ours and the user's.
#include <optional>
#include <set>
#include <string>

#include "privileged/InstallHelper.h"

namespace suite::debian {

struct DebianTools {
    std::string aptGet = "/usr/bin/apt-get";
    std::string dpkg = "/usr/bin/dpkg";
    std::string dpkgDeb = "/usr/bin/dpkg-deb";
    std::string dpkgQuery = "/usr/bin/dpkg-query";
    std::string adminDir = "/var/lib/dpkg";  // dpkg's database and its locks
};

class DebianHelper final : public privileged::HelperBackend {
  public:
    DebianHelper(DebianTools tools, const privileged::HelperSettings& settings)
        : tools_(std::move(tools)), settings_(settings) {}

    std::string_view kind() const override { return "deb"; }
    std::string_view label() const override { return "Debian"; }
    Expected<privileged::PackageFacts, std::string> readPackage(
        const std::string& copy) const override;
    // dpkg's own architecture, the foreign ones it was given, and "all".
    bool takesArchitecture(const std::string& architecture) override;
    std::map<std::string, std::string> installedVersions(
        const std::set<std::string>& names) const override;
    int compareVersions(const std::string& a, const std::string& b) const override;
    void install(const std::vector<privileged::BatchMember>& members,
                 privileged::Records& records) override;

  private:
    DebianTools tools_;
    const privileged::HelperSettings& settings_;
    std::optional<std::set<std::string>> architectures_;  // asked once, when first needed
};

}  // namespace suite::debian
