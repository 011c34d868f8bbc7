// What the machine says about updating on its own, as GIO and polkit read it from the real system
// bus inside tests/sandbox.sh: stand-ins for NetworkManager and power-profiles-daemon
// (system/standins.py) and the real polkitd with the program's action and group rule. polkit
// lets root do anything, so the conditions are read by this test run again as a user.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <fstream>

#include "fakes/RpmWorld.h"
#include "hosts/gio/GioUpdateConditions.h"

namespace suite::gio {
namespace {

// Turns GLib's default main context until `condition` holds, at most `seconds`.
template <typename Condition>
bool turnUntil(Condition condition, double seconds) {
    const gint64 until = g_get_monotonic_time() + static_cast<gint64>(seconds * 1e6);
    while (!condition()) {
        if (g_get_monotonic_time() > until) return false;
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(20000);
    }
    return true;
}

// The user's side: the three conditions as SUITE_CONDITIONS_EXPECTED says they stand
// ("metered saver password", each 0 or 1).
TEST(UpdateConditions, AsTheUserSeesThem) {
    const char* expected = std::getenv("SUITE_CONDITIONS_EXPECTED");
    if (expected == nullptr) GTEST_SKIP() << "run by the test below, as a user";
    GioUpdateConditions conditions(SUITE_APP_ID ".install");
    const bool metered = expected[0] == '1', saver = expected[2] == '1';
    EXPECT_TRUE(turnUntil([&] { return conditions.networkMetered() == metered; }, 10));
    EXPECT_TRUE(turnUntil([&] { return conditions.powerSaver() == saver; }, 10));
    EXPECT_EQ(conditions.installsWithoutPassword(), expected[4] == '1');
}

TEST(UpdateConditions, AMeteredNetworkPowerSavingAndThePasswordAreTheSystemsWord) {
    if (std::getenv("SUITE_IN_SANDBOX") == nullptr || std::getenv("SUITE_CONDITIONS_EXPECTED")) {
        GTEST_SKIP() << "owns system bus names and adds polkit rules: run inside tests/sandbox.sh";
    }
    std::ofstream("/usr/share/dbus-1/system.d/talven-test-standins.conf")
        << "<busconfig><policy user=\"root\"><allow own=\"org.freedesktop.NetworkManager\"/>"
           "<allow own=\"net.hadess.PowerProfiles\"/></policy><policy context=\"default\">"
           "<allow send_destination=\"org.freedesktop.NetworkManager\"/><allow "
           "send_destination=\"net.hadess.PowerProfiles\"/></policy></busconfig>\n";
    ASSERT_EQ(fakes::shell("dbus-send --system --print-reply --dest=org.freedesktop.DBus / "
                           "org.freedesktop.DBus.ReloadConfig >/dev/null && sed -e "
                           "'s|@SUITE_APP_ID@|" SUITE_APP_ID
                           "|' -e 's|@SUITE_HELPER@|/usr/libexec/x|' " SUITE_SOURCE_DIR
                           "/packaging/talven-suite.policy.in > /usr/share/polkit-1/actions/" SUITE_APP_ID
                           ".policy && groupadd -f talven-updaters && useradd -G talven-updaters "
                           "conditions-member && useradd conditions-outsider"),
              "0:");
    GError* error = nullptr;
    const char* argv[] = {SUITE_SOURCE_DIR "/tests/system/standins.py", nullptr};
    GSubprocess* standins = g_subprocess_newv(argv, G_SUBPROCESS_FLAGS_STDOUT_PIPE, &error);
    ASSERT_NE(standins, nullptr) << error->message;
    GDataInputStream* out = g_data_input_stream_new(g_subprocess_get_stdout_pipe(standins));
    char* line = g_data_input_stream_read_line_utf8(out, nullptr, nullptr, nullptr);
    EXPECT_STREQ(line, "ready");
    g_free(line);
    const auto asUser = [](const std::string& user, const std::string& expected) {
        return fakes::shell("SUITE_CONDITIONS_EXPECTED='" + expected + "' setpriv --reuid " +
                            user + " --regid " + user +
                            " --init-groups /proc/" + std::to_string(::getpid()) +
                            "/exe --gtest_filter=UpdateConditions.AsTheUserSeesThem");
    };
    // Metered, saving power, and a user the administrator's rule does not name: a password.
    const auto outsider = asUser("conditions-outsider", "1 1 0");
    EXPECT_EQ(outsider.substr(0, 2), "0:") << outsider;
    // The network and the profile change; a member of the rule's group needs no password
    // (polkitd reads new rules when it notices them).
    g_subprocess_send_signal(standins, SIGUSR1);
    ASSERT_EQ(fakes::shell("cp " SUITE_SOURCE_DIR
                           "/packaging/talven-suite-group.rules /etc/polkit-1/rules.d/ && sleep 2"),
              "0:");
    const auto member = asUser("conditions-member", "0 0 1");
    EXPECT_EQ(member.substr(0, 2), "0:") << member;

    g_subprocess_force_exit(standins);
    g_subprocess_wait(standins, nullptr, nullptr);
    g_object_unref(out);
    g_object_unref(standins);
}

}  // namespace
}  // namespace suite::gio
