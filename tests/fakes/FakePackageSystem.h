#pragma once
// A package system with a database the program watches (as Debian's), the installed versions the
// test sets, and a gate that holds every look and every run until the test opens it.
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/PackageSystem.h"

namespace suite::fakes {

class FakePackageSystem final : public PackageSystem {
  public:
    static constexpr const char* kDatabase = "/var/lib/dpkg/status";

    std::string kind() const override { return "deb"; }
    bool isPackageFile(const std::filesystem::path&) const override { return true; }
    std::vector<std::optional<std::string>> installedVersions(
        const std::vector<Json>& items) const override {
        wait();
        std::lock_guard lock(mutex_);
        looks.push_back(std::this_thread::get_id());
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
    BatchOutcome installBatch(const std::vector<VerifiedPackage>& packages,
                              const std::string&) override {
        wait();
        return {BatchOutcome::Run::Ran,
                std::vector<PackageReport>(packages.size(), PackageReport::Failed),
                {}};
    }
    std::string handOffType() const override { return ""; }
    std::optional<std::string> installedProgram() const override { return std::nullopt; }
    std::optional<std::string> productToOpen(const Json&) const override { return std::nullopt; }
    std::optional<std::string> databaseToWatch() const override { return kDatabase; }

    // Holds every look and run from now until `release`; `entered` says when one is waiting.
    void hold() {
        std::lock_guard lock(mutex_);
        held_ = true;
    }
    void release() {
        std::lock_guard lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }
    bool entered() const {
        std::lock_guard lock(mutex_);
        return waiting_ > 0;
    }

    std::map<std::string, std::string> installed;     // item id → version
    mutable std::vector<std::thread::id> looks;        // the thread each look ran on

  private:
    void wait() const {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.wait(lock, [this] { return !held_; });
        --waiting_;
    }
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool held_ = false;
    mutable int waiting_ = 0;
};

}  // namespace suite::fakes
