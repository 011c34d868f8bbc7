#pragma once
// macOS installer packages: installed versions from application bundles and package receipts,
// the numeric version order, and one shell script per batch, run once with administrator rights
// (osascript on a Mac). The script and the tools it calls are described in InstallScript.h; the
// tests run it with /bin/sh against fake tools.
#include "backends/macos/Detect.h"
#include "backends/macos/InstallPaths.h"
#include "backends/macos/PrivilegedRunner.h"
#include "platform/PackageSystem.h"

namespace suite {

// The bundle file name this program is installed under.
inline constexpr const char* kOwnBundleName = "TALVEN Suite.app";

class MacPackageSystem final : public PackageSystem {
  public:
    // `install.appDirs` empty: the detection folders. `install.home` empty: nothing is moved
    // aside (root would otherwise create "/.Trash").
    MacPackageSystem(DetectPaths detect, InstallPaths install, PrivilegedRunner& runner);

    std::string kind() const override { return "pkg"; }
    // The extension is "pkg" in any case.
    bool isPackageFile(const std::filesystem::path& file) const override;
    std::vector<std::optional<std::string>> installedVersions(
        const std::vector<Json>& items) const override;
    int compareVersions(std::string_view a, std::string_view b) const override;
    // Application bundles or package receipts are named.
    bool detects(const Json& item) const override;
    // Applications ("group" "app") only.
    bool judgesAfterRun(const Json& item) const override;
    // The script's own records decide: "OK:<index>" is a success, "CHECK:<index>" a copy that
    // did not match its digest, anything else a failure. A dismissed request is a cancel; a host
    // that could not even be started ran nothing, and every package goes on to the system
    // installer.
    // The installer's script reports at its end: nothing goes to `progress`.
    BatchOutcome installBatch(const std::vector<VerifiedPackage>& packages,
                              const std::string& prompt, const BatchProgress& progress) override;
    std::string handOffType() const override { return ""; }
    // The installed bundle of this program, when there is one.
    std::optional<std::string> installedProgram() const override;
    // The first installed bundle of "apps".
    std::optional<std::string> productToOpen(const Json& detect) const override;

  private:
    DetectPaths detect_;
    InstallPaths install_;
    PrivilegedRunner& runner_;
};

}  // namespace suite
