// Administrator rights through pkexec: how its exit status reads, and the runner against a fake
// pkexec that runs what it is given without asking.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "fakes/TempDir.h"
#include "platform/gtk/PkexecRunner.h"

namespace suite::gtk {
namespace {

namespace fs = std::filesystem;

// What a case expects: started, cancelled, output, error.
using Expected = std::tuple<bool, bool, std::string, std::string>;
Expected seen(const PrivilegedOutcome& o) { return {o.started, o.cancelled, o.output, o.error}; }

TEST(PkexecOutcome, DismissedOnlyWhenTheScriptDidNotRun) {
    const struct { const char* name; bool started; int status; const char* out; const char* err; Expected expected; } cases[] = {
        {"dismissed", true, kPkexecDismissed, "", "Error executing command", {true, true, "", "Error executing command"}},
        // The script ran and printed its lines: whatever its status, the user did not cancel.
        {"script ran", true, kPkexecDismissed, "OK:0\n", "", {true, false, "OK:0\n", ""}},
        // Not authorised, or no agent to ask: a failure of the host, not a cancel.
        {"no agent", true, 127, "", "No authentication agent found.", {true, false, "", "No authentication agent found."}},
        {"not started", false, -1, "", "", {false, false, "", ""}},
        {"invalid text", true, 0, "OK:0\n\xff", "bad \xC0\xAF", {true, false, "", ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(seen(pkexecOutcome(c.started, c.status, c.out, c.err)), c.expected) << c.name;
    }
}

TEST(PkexecRun, TheScriptsOutputErrorAndStatusComeBack) {
    fakes::TempDir dir;
    const struct { const char* name; std::optional<std::string> fake; std::string script; Expected expected; } cases[] = {
        {"runs", "exec \"$@\"\n", "printf '%s\\n' \"it's\" 'OK:0'; echo 'oops \"x\"' >&2; exit 3",
         {true, false, "it's\nOK:0\n", "oops \"x\"\n"}},
        {"dismissed", "echo 'Error executing command as another user' >&2; exit 126\n", "echo OK:0",
         {true, true, "", "Error executing command as another user\n"}},
        {"no pkexec", std::nullopt, "echo OK:0", {false, false, "", ""}},
    };
    for (const auto& c : cases) {
        const fs::path pkexec = dir / c.name;
        if (c.fake) {
            std::ofstream(pkexec) << "#!/bin/sh\n" << *c.fake;
            fs::permissions(pkexec, fs::perms::owner_all);
        }
        EXPECT_EQ(seen(PkexecRunner(pkexec.string()).run(c.script, "prompt")), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace suite::gtk
