// The script's way to administrator rights on a Mac, against a stand-in osascript.
#include <gtest/gtest.h>

#include <fstream>

#include "backends/macos/OsascriptRunner.h"
#include "fakes/TempDir.h"
#include "fakes/TestFiles.h"
#include "platform/Files.h"

namespace suite {
namespace {

TEST(OsascriptRunner, ScriptAndPromptReachTheHostAndADismissedDialogIsACancel) {
    fakes::TempDir dir;
    const std::filesystem::path osascript = dir / "osascript";
    auto fake = [&](const std::string& body) {
        fakes::writeScript(osascript,
                           "printf '%s' \"$2\" > '" + (dir / "source").string() + "'\n" + body);
    };
    // A backslash right before a quote: both survive, neither swallows the other.
    const std::string script = "echo \"it's\" \\\" OK:0";
    const std::string prompt = "TALVEN™ Suite wants to install \"TALVEN\" apps.";

    fake("echo OK:0\necho 'note' >&2\n");
    auto ran = OsascriptRunner(osascript.string()).run(script, prompt);
    EXPECT_TRUE(ran.started);
    EXPECT_FALSE(ran.cancelled);
    EXPECT_EQ(ran.output, "OK:0\n");
    EXPECT_EQ(ran.error, "note\n");
    EXPECT_EQ(
        readWholeFile(dir / "source"),
        "do shell script \"echo \\\"it's\\\" \\\\\\\" OK:0\" with prompt \"TALVEN™ Suite wants "
        "to install \\\"TALVEN\\\" apps.\" with administrator privileges");

    fake("echo '0:93: execution error: User canceled. (-128)' >&2\nexit 1\n");
    auto dismissed = OsascriptRunner(osascript.string()).run(script, prompt);
    EXPECT_TRUE(dismissed.started);
    EXPECT_TRUE(dismissed.cancelled);
}

}  // namespace
}  // namespace suite
