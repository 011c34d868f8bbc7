// The command line's requests on fakes: what each prints and the status it ends with, from a
// signed catalog, a scan and the administrator's policy.
#include <gtest/gtest.h>

#include "console/ConsoleRun.h"
#include "fakes/FakePackageSystem.h"
#include "fakes/FakePlatform.h"
#include "fakes/RecordingTerminal.h"
#include "fakes/SigningKey.h"
#include "fakes/TempDir.h"
#include "platform/ManualMainQueue.h"

namespace suite::console {
namespace {

using fakes::FakeHttpClient;

// One product of the catalog, offered for every Debian machine.
Json product(const std::string& id, const std::string& version, bool self = false) {
    return {{"id", id},
            {"group", "app"},
            {"self", self},
            {"name", {{"en", "P " + id}, {"ar", "م " + id}}},
            {"description", {{"en", "d"}, {"ar", "و"}}},
            {"packages",
             {{"deb",
               {{{"arch", "all"},
                 {"version", version},
                 {"url", "https://brenlow.example/" + id + ".deb"},
                 {"file", id + ".deb"},
                 {"sha256", std::string(64, 'a')},
                 {"size", 2500000},
                 {"detect", {{"receipts", {"talven-" + id}}}}}}}}}};
}

struct Console : ::testing::Test {
    fakes::TempDir dir;
    ManualMainQueue queue;
    InlineBackground background;
    FakeHttpClient http;
    fakes::FakePackageSystem packages;
    fakes::FakeLauncher launcher;
    fakes::FakeShell shell;
    fakes::FakeFileWatcher watcher;
    fakes::FakeRunningPrograms running;
    fakes::SigningKey key;
    fakes::RecordingTerminal terminal;
    std::optional<int> status;
    std::unique_ptr<ConsoleRun> run;

    // Runs `arguments` against a catalog of these products, each installed at `installed`.
    int request(std::vector<std::string> arguments, std::optional<Policy> policy = {}) {
        arguments.insert(arguments.begin(), "talven-suite");
        const std::string document =
            Json({{"generated", "2026-01-01T00:00:00Z"},
                  {"expires", "2099-01-01T00:00:00Z"},
                  {"products",
                   {product("old", "2.0"), product("new", "1.0"), product("same", "3.0"),
                    product("secret", "1.0"), product("pinned", "5.0"),
                    product("me", "9.0", true)}}})
                .dump();
        packages.installed = {{"old", "1.0"}, {"same", "3.0"}, {"pinned", "4.0"}, {"me", "8.0"}};
        run = std::make_unique<ConsoleRun>(
            ConsoleSettings{.line = readCommandLine(arguments),
                            .catalogUrls = {"https://brenlow.example/suite/catalog.json"},
                            .rules = {.vendorHost = "brenlow.example"},
                            .policy = std::move(policy)},
            ConsoleFlows{.catalog = {.keys = {key.publicKey()}},
                         .install = {.downloadDir = dir / "downloads",
                                     .logDir = dir.path(),
                                     .downloadRetryDelays = {},
                                     .windowless = true},
                         .catalogServices = {queue, background, http, packages},
                         .installServices = {queue, background, http, launcher, shell, packages,
                                             watcher, running},
                         .prompt = [] { return std::string("prompt"); }},
            terminal, [this](int answer) { status = answer; });
        status.reset();
        const std::size_t first = http.calls.size();
        run->start();
        http.answer(first, FakeHttpClient::reply(200, document));
        http.answer(first + 1, FakeHttpClient::reply(200, key.sign(document)));
        queue.runReady();
        return status.value_or(-1);
    }
};

Policy fleetPolicy() {
    Policy policy;
    policy.hidden = {"secret"};
    policy.held = {{"pinned", "4.0"}};
    policy.selfUpdate = false;
    return policy;
}

// Each product the policy shows, with the state the products view would give it.
TEST_F(Console, ListShowsEveryStateAndLeavesOutWhatThePolicyHides) {
    EXPECT_EQ(request({"--list", "--json"}, fleetPolicy()), kDone);
    const Json listed = parseJson(terminal.output)["products"];
    std::vector<std::string> states;
    for (const auto& entry : listed) {
        states.push_back(entry["id"].get<std::string>() + " " + entry["state"].get<std::string>());
    }
    EXPECT_EQ(states, (std::vector<std::string>{"old update", "new missing", "same current",
                                                "pinned held", "me held"}));
    EXPECT_EQ(listed[1]["installed"], nullptr);
    EXPECT_EQ(listed[0]["name"], "P old");

    terminal.output.clear();
    EXPECT_EQ(request({"--list"}), kDone);
    EXPECT_NE(terminal.output.find("secret  P secret  -          1.0        not installed\n"),
              std::string::npos)
        << terminal.output;
}

// A script asks whether there is anything to do: 0 when there is, 3 when not.
TEST_F(Console, CheckSaysByItsStatusWhetherUpdatesWait) {
    EXPECT_EQ(request({"--check"}), kDone);
    EXPECT_NE(terminal.output.find("Updates available: 3\n  P old 1.0 \u2192 2.0\n"),
              std::string::npos)
        << terminal.output;
    Policy strict = fleetPolicy();
    strict.allowed = std::set<std::string>{"same", "pinned"};
    EXPECT_EQ(request({"--check"}, strict), kNothingToDo);
}

// Nothing is downloaded unless the whole line can be done, and the status says why not.
TEST_F(Console, UpdateRefusesBeforeAnythingStarts) {
    struct Case {
        std::vector<std::string> line;
        int status;
        std::string said;
    };
    const Case cases[] = {
        {{"--update", "old", "nosuch"}, kUsage, "no product \"nosuch\""},
        {{"--update", "secret", "old"}, kRefusedByPolicy, "\"secret\" is not allowed"},
        {{"--update", "pinned"}, kRefusedByPolicy, "\"pinned\" is not allowed"},
        {{"--update", "me", "--yes"}, kRefusedByPolicy, "\"me\" is not allowed"},
        {{"--update", "same", "--yes"}, kNothingToDo, "Nothing to update."},
        {{"--update", "--all"}, kUsage, "add --yes"},
    };
    for (const auto& [line, expected, said] : cases) {
        terminal.output.clear();
        terminal.errors.clear();
        EXPECT_EQ(request(line, fleetPolicy()), expected) << line[1] << " " << line.back();
        EXPECT_NE((terminal.output + terminal.errors).find(said), std::string::npos)
            << terminal.output << terminal.errors;
        EXPECT_EQ(http.calls.size() % 2, 0u) << "a package download started";
    }
    // Asked on a terminal, "no" installs nothing either.
    terminal.answerable_ = true;
    EXPECT_EQ(request({"--update", "--all"}, fleetPolicy()), kFailed);
    EXPECT_NE(terminal.output.find("Install 1 product(s), 2.5 MB to download? [y/N] "),
              std::string::npos)
        << terminal.output;
}

// What cannot be installed is a failure of the run, told by the product's name.
TEST_F(Console, AFailedDownloadEndsTheRunFailed) {
    EXPECT_EQ(request({"--update", "old", "new", "--yes"}), -1);
    ASSERT_EQ(http.calls.size(), 3u);
    http.answer(2, FakeHttpClient::failure(TransportError::HostNotFound));
    queue.runReady();
    ASSERT_EQ(http.calls.size(), 4u);  // the next product goes on
    http.answer(3, FakeHttpClient::failure(TransportError::HostNotFound));
    queue.runReady();
    EXPECT_EQ(status, kFailed);
    EXPECT_NE(terminal.errors.find("P old: not installed (download: dns)"), std::string::npos)
        << terminal.errors;
}

}  // namespace
}  // namespace suite::console
