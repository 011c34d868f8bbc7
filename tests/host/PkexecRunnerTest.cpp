// Administrator rights through pkexec: how its exit status reads, and the runner against a fake
// pkexec that runs what it is given without asking.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fakes/TempDir.h"
#include "platform/gtk/PkexecRunner.h"

namespace suite::gtk {
namespace {

namespace fs = std::filesystem;

TEST(PkexecOutcome, DismissedOnlyWhenTheScriptDidNotRun) {
    auto dismissed = pkexecOutcome(true, kPkexecDismissed, "", "Error executing command");
    EXPECT_TRUE(dismissed.started);
    EXPECT_TRUE(dismissed.cancelled);

    // The script ran and printed its lines: whatever its status, the user did not cancel.
    auto ran = pkexecOutcome(true, kPkexecDismissed, "OK:0\n", "");
    EXPECT_FALSE(ran.cancelled);
    EXPECT_EQ(ran.output, "OK:0\n");

    // Not authorised, or no agent to ask: a failure of the host, not a cancel.
    auto refused = pkexecOutcome(true, 127, "", "No authentication agent found.");
    EXPECT_FALSE(refused.cancelled);
    EXPECT_EQ(refused.error, "No authentication agent found.");

    auto notStarted = pkexecOutcome(false, -1, "", "");
    EXPECT_FALSE(notStarted.started);
    EXPECT_FALSE(notStarted.cancelled);

    auto invalid = pkexecOutcome(true, 0, "OK:0\n\xff", "bad \xC0\xAF");
    EXPECT_EQ(invalid.output, "");
    EXPECT_EQ(invalid.error, "");
    EXPECT_FALSE(invalid.cancelled);
}

class PkexecRun : public ::testing::Test {
protected:
    std::string fake(const std::string& body) {
        const std::string path = (dir_ / "pkexec").string();
        std::ofstream(path) << "#!/bin/sh\n" << body;
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    fakes::TempDir dir_;
};

TEST_F(PkexecRun, ScriptRunsWithItsOutputAndErrorComingBack) {
    PkexecRunner runner(fake("exec \"$@\"\n"));
    auto outcome = runner.run("printf '%s\\n' \"it's\" 'OK:0'; echo 'oops \"x\"' >&2; exit 3",
                              "ignored prompt");
    EXPECT_TRUE(outcome.started);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(outcome.output, "it's\nOK:0\n");
    EXPECT_EQ(outcome.error, "oops \"x\"\n");
}

TEST_F(PkexecRun, DismissedDialogIsACancel) {
    PkexecRunner dismissed(fake("echo 'Error executing command as another user' >&2; exit 126\n"));
    auto outcome = dismissed.run("echo OK:0", "");
    EXPECT_TRUE(outcome.started);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.output, "");

    PkexecRunner noAgent(fake("exit 127\n"));
    outcome = noAgent.run("echo OK:0", "");
    EXPECT_TRUE(outcome.started);
    EXPECT_FALSE(outcome.cancelled);
}

TEST_F(PkexecRun, MissingPkexecIsNotStarted) {
    PkexecRunner runner((dir_ / "no-such-pkexec").string());
    auto outcome = runner.run("echo OK:0", "");
    EXPECT_FALSE(outcome.started);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(outcome.output, "");
}

}  // namespace
}  // namespace suite::gtk
