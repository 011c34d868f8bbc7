#include "privileged/HelperPackageSystem.h"

namespace suite::privileged {

BatchOutcome HelperPackageSystem::installBatch(const std::vector<VerifiedPackage>& packages,
                                               const std::string&, const BatchProgress& progress) {
    return installThroughHelper(helperPaths_, packages, progress);
}

BatchOutcome HelperPackageSystem::restore(const VerifiedPackage& package,
                                          const std::filesystem::path& catalog,
                                          const std::filesystem::path& signature,
                                          const BatchProgress& progress) {
    return installThroughHelper(
        {helperPaths_.pkexec, restoreHelper_, catalog.string(), signature.string()}, {package},
        progress);
}

}  // namespace suite::privileged
