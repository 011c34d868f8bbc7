// An install as the page asks for it, through the program's own subsystems: the real HTTP
// client against a server on this machine, the real digest check, the generated script run for
// real by /bin/sh (as the current user instead of root) against fake installer tools.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <fstream>

#include "common/Files.h"
#include "common/Process.h"
#include "fakes/AppHarness.h"
#include "install/InstallScript.h"
#include "integration/LoopbackServer.h"
#include "platform/curl/CurlHttpClient.h"

namespace suite {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string hexDigest(const std::string& bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned char byte : digest) {
        out += hex[byte >> 4];
        out += hex[byte & 15];
    }
    return out;
}

// Runs the script with /bin/sh as the current user; the fake installer learns where to put the
// "installed" bundle from the environment.
class ShellRunner final : public PrivilegedRunner {
public:
    explicit ShellRunner(std::string applications) : applications_(std::move(applications)) {}
    PrivilegedOutcome run(const std::string& script, const std::string&) override {
        ProcessOptions options;
        options.captureStandardError = true;
        options.environment = {{"FAKE_APPLICATIONS", applications_}};
        auto result = runProcess("/bin/sh", {"-c", script}, options);
        ++runs;
        if (!result) return {};
        return {true, false, result->standardOutput, result->standardError};
    }
    int runs = 0;

private:
    std::string applications_;
};

void writeExecutable(const fs::path& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
}

TEST(InstallFlowIntegration, GoodWrongDigestAndForeignHostInOneBatch) {
    fakes::AppHarness h;
    const fs::path apps = h.dir / "Applications", tools = h.dir / "tools";
    for (const auto& folder : {apps, tools, h.dir / "tmp", h.dir / "home"}) {
        fs::create_directories(folder);
    }
    // An old copy of the application is in place and must be moved aside first.
    fs::create_directories(apps / "Good.app" / "Contents");
    std::ofstream(apps / "Good.app" / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
           "<key>CFBundleShortVersionString</key><string>1.0</string></dict></plist>";
    writeExecutable(tools / "pkill", "exit 1\n");
    writeExecutable(tools / "sleep", "exit 0\n");
    // "Installs" by writing the new bundle where the package says.
    writeExecutable(tools / "installer",
                    "mkdir -p \"$FAKE_APPLICATIONS/Good.app/Contents\"\n"
                    "printf '<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                    "<key>CFBundleShortVersionString</key><string>2.0</string></dict></plist>' "
                    "> \"$FAKE_APPLICATIONS/Good.app/Contents/Info.plist\"\n"
                    "echo \"installed $2\"\n");

    const std::string goodPackage(300000, 'g'), badPackage(1000, 'b');
    testing::LoopbackServer server;
    std::atomic<int> downloads{0};
    server.http().Get("/good.pkg", [&](const httplib::Request&, httplib::Response& response) {
        ++downloads;
        response.set_content(goodPackage, "application/octet-stream");
    });
    server.http().Get("/bad.pkg", [&](const httplib::Request&, httplib::Response& response) {
        ++downloads;
        response.set_content(badPackage, "application/octet-stream");
    });
    ASSERT_TRUE(server.start());

    CurlClientOptions options;
    options.allowPlainHttpToLoopback = true;
    CurlHttpClient client(h.queue, options);
    ShellRunner runner(apps.string());
    auto& app = h.startWith(
        [&](AppConfig& config) {
            config.vendorHost = "127.0.0.1";
            config.allowPlainHttpDownloadsToLoopback = true;
            config.detectPaths = DetectPaths{{apps.string()}, "/nonexistent/pkgutil"};
            config.installPaths.installer = (tools / "installer").string();
            config.installPaths.pkill = (tools / "pkill").string();
            config.installPaths.sleep = (tools / "sleep").string();
            config.installPaths.appDirs = {apps.string()};
        },
        client, nullptr, &runner);

    app.userContentController(
        {{"type", "install"},
         {"items",
          {{{"id", "good"}, {"group", "app"}, {"version", "2.0"}, {"url", server.url("/good.pkg")},
            {"file", "good.pkg"}, {"sha256", hexDigest(goodPackage)},
            {"detect", {{"apps", {"Good.app"}}}}},
           {{"id", "bad"}, {"group", "addin"}, {"version", "1.1"}, {"url", server.url("/bad.pkg")},
            {"file", "bad.pkg"}, {"sha256", hexDigest("something else")}},
           {{"id", "far"}, {"url", "https://elsewhere.example/far.pkg"}, {"file", "far.pkg"}}}}});

    auto results = [&] {
        int count = 0;
        for (const auto& event : h.events()) count += event["type"] == "result";
        return count;
    };
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (results() < 3 && std::chrono::steady_clock::now() < deadline) {
        h.queue.runReady();
        std::this_thread::sleep_for(2ms);
    }
    h.queue.advance(0.5);  // the delayed "install" step

    std::vector<std::string> seen;
    for (const auto& event : h.events()) {
        if (event["type"] == "progress") {
            seen.push_back("progress " + event["id"].get<std::string>() + " " +
                           event["phase"].get<std::string>());
        } else if (event["type"] == "result") {
            seen.push_back("result " + event["id"].get<std::string>() + " " +
                           (event["ok"] == true ? "ok " + event["version"].get<std::string>()
                                                : event["error"].get<std::string>()));
        }
    }
    // Download progress in between may come any number of times; drop the repeats.
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "progress good download", "progress good verify",
                        "progress bad download", "progress bad verify", "result bad check",
                        "result far download", "progress good password",
                        "result good ok 2.0"}))
        << "a run that ends within 0.4 s never announces its install step after the result";

    EXPECT_EQ(runner.runs, 1);
    EXPECT_FALSE(fs::exists(h.launch.cacheDir / "good.pkg"));  // installed: removed
    EXPECT_FALSE(fs::exists(h.launch.cacheDir / "bad.pkg"));   // failed its digest: removed
    EXPECT_EQ(downloads.load(), 2);
    // The old bundle went to the Trash under a dated name, the new one is in place.
    ASSERT_TRUE(fs::exists(h.dir / "home" / ".Trash"));
    EXPECT_EQ(std::distance(fs::directory_iterator(h.dir / "home" / ".Trash"), {}), 1);
    EXPECT_EQ(app.isInstalled({{"group", "app"}, {"version", "2.0"},
                               {"detect", {{"apps", {"Good.app"}}}}}),
              true);
    auto log = readWholeFile(h.launch.logDir / "install.log");
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("installer: out=\"OK:0\\n\""), std::string::npos) << *log;
    EXPECT_NE(log->find("package 0: installed "), std::string::npos) << *log;
}

}  // namespace
}  // namespace suite
