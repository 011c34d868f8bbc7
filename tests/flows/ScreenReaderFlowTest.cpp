// The program as a blind user meets it: a screen reader's own client (tests/flows/screen_reader.py,
// pyatspi over the real AT-SPI registry, as Orca walks it) finds the page's controls by name,
// presses them, reads a download's progress and hears the result, while this process runs the
// program, installs for real (inside tests/sandbox.sh) and keeps the main loop turning so the
// window answers.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"

namespace suite::flows {
namespace {

struct Walk {
    Json report;
    int exitStatus = -1;
};

// Runs the screen reader's walk to its end, turning this process's main loop meanwhile.
Walk walkWithScreenReader(const std::vector<std::string>& arguments) {
    std::vector<const char*> argv = {"/usr/bin/python3", SUITE_SCREEN_READER};
    for (const auto& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    GError* error = nullptr;
    GSubprocess* reader = g_subprocess_newv(argv.data(), G_SUBPROCESS_FLAGS_STDOUT_PIPE, &error);
    if (reader == nullptr) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
        return {};
    }
    struct Answer {
        bool done = false;
        GBytes* out = nullptr;
    } answer;
    g_subprocess_communicate_async(
        reader, nullptr, nullptr,
        [](GObject* process, GAsyncResult* result, gpointer data) {
            auto* answer = static_cast<Answer*>(data);
            g_subprocess_communicate_finish(G_SUBPROCESS(process), result, &answer->out, nullptr,
                                            nullptr);
            answer->done = true;
        },
        &answer);
    Walk walk;
    if (!gtk::spinUntil([&] { return answer.done; }, 240)) {
        g_subprocess_force_exit(reader);
        gtk::spinUntil([&] { return answer.done; }, 10);
    }
    if (answer.out != nullptr) {
        gsize size = 0;
        const auto* text = static_cast<const char*>(g_bytes_get_data(answer.out, &size));
        walk.report = parseJson(std::string(text, size));
        g_bytes_unref(answer.out);
    }
    if (g_subprocess_get_if_exited(reader)) walk.exitStatus = g_subprocess_get_exit_status(reader);
    g_object_unref(reader);
    return walk;
}

TEST(ScreenReaderFlow, FindsPressesReadsAndHearsThePageThroughAtSpi) {
    if (std::getenv("SUITE_IN_SANDBOX") == nullptr) {
        GTEST_SKIP() << "installs packages: run inside tests/sandbox.sh as root";
    }
#if GTK_MAJOR_VERSION >= 4 && !GTK_CHECK_VERSION(4, 14, 0)
    GTEST_SKIP() << "GTK 4 before 4.14 does not pass the page's accessibility tree on";
#endif
    VendorService& vendor = sharedVendor();
    FlowHarness h(vendor, {.packages = "deb"});
    h.start();
    const std::string version = vendor.product("talven.capture", "deb")["version"];
    const Walk walk =
        walkWithScreenReader({std::to_string(getpid()), "TALVEN Board", "TALVEN Capture", version});
    ASSERT_EQ(walk.exitStatus, 0) << walk.report.dump(2);

    // The window's own parts have names, and the editing commands their shortcuts.
    EXPECT_EQ(walk.report["menuBar"], "Menu bar");
    const Json& aroundPage = walk.report["aroundPage"];
    EXPECT_NE(std::find(aroundPage.begin(), aroundPage.end(), "TALVEN™ Suite"), aroundPage.end())
        << aroundPage;
    std::vector<std::pair<std::string, std::string>> edit;
    for (const auto& item : walk.report["edit"]) {
        const std::string binding = item[1];
        // GTK 3 writes "mnemonic;full path;shortcut".
        edit.emplace_back(item[0], binding.substr(binding.rfind(';') + 1));
    }
    EXPECT_EQ(edit,
              (std::vector<std::pair<std::string, std::string>>{{"Undo", "<Primary>z"},
                                                                {"Cut", "<Primary>x"},
                                                                {"Copy", "<Primary>c"},
                                                                {"Paste", "<Primary>v"},
                                                                {"Select All", "<Primary>a"}}))
        << walk.report["edit"];

    // It pressed Install, and the install began: the download of the stalling product, which the
    // reader's Cancel ended.
    EXPECT_EQ(phases(h, "talven.board").front(), "download");
    EXPECT_EQ(resultFor(h, "talven.board").value("error", ""), "cancelled");
    // The bar's value is the page's own percentage, within the page's bounds.
    const Json& bar = walk.report["bar"];
    EXPECT_GT(bar.value("value", 0.0), 0.0);
    EXPECT_LT(bar.value("value", 100.0), 100.0);
    EXPECT_EQ(bar.value("min", -1.0), 0.0);
    EXPECT_EQ(bar.value("max", -1.0), 100.0);
    // It heard the result from the live region, as the row says it.
    EXPECT_EQ(resultFor(h, "talven.capture").value("ok", false), true);
    const std::string line = "TALVEN Capture: Installed version " + version + ".";
    bool heard = false;
    for (const auto& text : walk.report["heard"]) {
        heard = heard || text.get<std::string>().starts_with(line);
    }
    EXPECT_TRUE(heard) << walk.report.dump(2);
}

}  // namespace
}  // namespace suite::flows
