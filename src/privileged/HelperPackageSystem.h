#pragma once
// What the Linux package systems share: their privileged work goes through the root helper. A
// batch is one pkexec run of the install helper per part, a restore one run of the same program
// under its restore name; root verifies each package against a vendor-signed catalog.
#include <string>
#include <vector>

#include "platform/PackageSystem.h"
#include "privileged/HelperClient.h"

namespace suite::privileged {

class HelperPackageSystem : public PackageSystem {
  public:
    // `paths`: the install helper and the catalog the program kept; `restoreHelper`: the same
    // program under its restore name, empty where it was not found.
    HelperPackageSystem(HelperPaths paths, std::string restoreHelper)
        : helperPaths_(std::move(paths)), restoreHelper_(std::move(restoreHelper)) {}

    // Without a kept catalog for the helper to verify against, nothing is asked for.
    BatchOutcome installBatch(const std::vector<VerifiedPackage>& packages,
                              const std::string& prompt, const BatchProgress& progress) override;
    // The helper's records are read as they come: `progress` hears each package's steps and
    // result while the run goes on.
    bool reportsSteps() const override { return true; }
    // The restore helper speaks the install helper's protocol, for one package.
    BatchOutcome restore(const VerifiedPackage& package, const std::filesystem::path& catalog,
                         const std::filesystem::path& signature,
                         const BatchProgress& progress) override;
    bool restores() const override { return !restoreHelper_.empty(); }

  private:
    HelperPaths helperPaths_;
    std::string restoreHelper_;
};

}  // namespace suite::privileged
