#pragma once
// A package system with a database the program watches (as Debian's), the installed versions the
// test sets, and a gate that, once set, holds every look and every run until the test opens it.
#include <atomic>
#include <latch>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "platform/PackageSystem.h"

namespace suite::fakes {

class FakePackageSystem final : public PackageSystem {
  public:
    static constexpr const char* kDatabase = "/var/lib/dpkg/status";

    std::string kind() const override { return "deb"; }
    bool isPackageFile(const std::filesystem::path&) const override { return true; }
    std::vector<std::optional<std::string>> installedVersions(
        const std::vector<Json>& items) const override {
        pass();
        ++looks;
        std::vector<std::optional<std::string>> found;
        for (const auto& item : items) {
            auto version = installed.find(item.value("id", ""));
            found.push_back(version == installed.end() ? std::nullopt
                                                       : std::optional(version->second));
        }
        return found;
    }
    int compareVersions(std::string_view a, std::string_view b) const override {
        return a.compare(b);
    }
    bool detects(const Json& item) const override { return item.contains("detect"); }
    bool judgesAfterRun(const Json&) const override { return false; }
    // Nothing installs: every package goes to the desktop's installer.
    BatchOutcome installBatch(const std::vector<VerifiedPackage>& packages, const std::string&,
                              const BatchProgress&) override {
        pass();
        return {.packages = std::vector<PackageOutcome>(packages.size(), {.run = RunResult::Ran})};
    }
    // A restore ends as `restoreOutcome` says; each one is noted as "PACKAGE-FILE CATALOG-TEXT".
    BatchOutcome restore(const VerifiedPackage& package, const std::filesystem::path& catalog,
                         const std::filesystem::path&, const BatchProgress&) override {
        restored.push_back(package.file.filename().string() + " " +
                           readWholeFile(catalog).value_or("?"));
        return {.packages = {restoreOutcome}};
    }
    bool restores() const override { return true; }
    std::string handOffType() const override { return ""; }
    std::optional<std::string> installedProgram() const override { return std::nullopt; }
    std::optional<std::string> productToOpen(const Json&) const override { return std::nullopt; }
    std::optional<std::string> databaseToWatch() const override { return kDatabase; }

    std::map<std::string, std::string> installed;  // item id → version
    PackageOutcome restoreOutcome{.run = RunResult::Ran, .report = PackageReport::Installed};
    std::vector<std::string> restored;
    mutable int looks = 0;                      // how many times it was read
    std::unique_ptr<std::latch> gate;           // set: held until counted down
    mutable std::atomic<bool> entered = false;  // a look or run has reached the gate

  private:
    void pass() const {
        if (!gate) return;
        entered = true;
        gate->wait();
    }
};

}  // namespace suite::fakes
