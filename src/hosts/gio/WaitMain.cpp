// The waiting program: what stands in for the whole program while it shows nothing and has
// nothing under way. It holds the program's name on the session bus, so a second start or an
// answer to a notification reaches it, and sleeps until the page's next automatic check; for
// the first of them it becomes the whole program again, in the same process. It links GIO alone:
// a few MiB, where the whole program with its web engine loaded takes a hundred.
//
//   talven-suite-wait --program PATH [--wake-at MILLISECONDS_SINCE_1970]
#include <gio/gio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "BuildConfig.h"
#include "hosts/gio/GioNotifier.h"
#include "notify/Waiting.h"
#include "platform/Process.h"

namespace {

// The program that made way for this one let its name go as it did; the bus may take a moment
// to see it gone.
constexpr int kRegisterAttempts = 30;
constexpr unsigned kRegisterRetryMs = 100;

suite::WaitingLine gLine;

void become(const std::vector<std::string>& line) {
    const std::string failure = suite::replaceProcess(line);
    g_printerr("TALVEN Suite: %s did not start again (%s)\n", line[0].c_str(), failure.c_str());
    _exit(1);
}

gboolean lookAtTheClock(gpointer) {
    const double now = static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC;
    const double left = suite::secondsToNextLook(*gLine.wakeAtMs / 1000, now);
    if (left <= 0) become(suite::programLineForWake(gLine.program));
    g_timeout_add_seconds(static_cast<guint>(std::ceil(left)), lookAtTheClock, nullptr);
    return G_SOURCE_REMOVE;
}

// The web engine's processes of the program this one replaced are its children still; they end
// on their own once their program is gone, and are reaped here.
gboolean reapChildren(gpointer) {
    pid_t reaped = 0;
    while ((reaped = waitpid(-1, nullptr, WNOHANG)) > 0) {
    }
    return reaped < 0 && errno == ECHILD ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

// Once the caller has had its reply: a notification service or a second start left without
// one would report an error, and the answer would look lost.
void becomeAfterReplying(GApplication* app, std::vector<std::string> line) {
    struct Later {
        GApplication* app;
        std::vector<std::string> line;
    };
    g_idle_add(
        [](gpointer data) -> gboolean {
            auto* later = static_cast<Later*>(data);
            if (GDBusConnection* bus = g_application_get_dbus_connection(later->app)) {
                g_dbus_connection_flush_sync(bus, nullptr, nullptr);
            }
            become(later->line);
            return G_SOURCE_REMOVE;
        },
        new Later{app, std::move(line)});
}

void onActivate(GApplication* app, gpointer) {
    becomeAfterReplying(app, {gLine.program});
}

void onAnswer(GSimpleAction*, GVariant* parameter, gpointer app) {
    if (parameter == nullptr) return;
    auto line =
        suite::programLineForAnswer(gLine.program, g_variant_get_string(parameter, nullptr));
    if (line) becomeAfterReplying(G_APPLICATION(app), std::move(*line));
}

// The application holding the program's name; nothing, with the status to end with, when there is
// no session bus or another copy of the program holds the name for good.
GApplication* registerOnTheBus(int& status) {
    status = 0;
    for (int attempt = 0; attempt < kRegisterAttempts; ++attempt) {
        GApplication* app = g_application_new(SUITE_APP_ID, G_APPLICATION_DEFAULT_FLAGS);
        GError* error = nullptr;
        if (!g_application_register(app, nullptr, &error)) {
            g_printerr("TALVEN Suite: cannot wait without a session bus (%s)\n", error->message);
            g_error_free(error);
            g_object_unref(app);
            status = 1;
            return nullptr;
        }
        if (!g_application_get_is_remote(app)) return app;
        // Held still after the last attempt, the name is another copy's: the program runs
        // there, and nothing is left to wait for here.
        g_object_unref(app);
        g_usleep(kRegisterRetryMs * 1000);
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    auto line = suite::readWaitingArguments(std::vector<std::string>(argv, argv + argc));
    if (!line) {
        g_printerr("usage: %s --program PATH [--wake-at MILLISECONDS_SINCE_1970]\n", argv[0]);
        return 2;
    }
    gLine = std::move(*line);
    int status = 0;
    GApplication* app = registerOnTheBus(status);
    if (app == nullptr) return status;
    g_signal_connect(app, "activate", G_CALLBACK(onActivate), nullptr);
    GSimpleAction* answer = g_simple_action_new(suite::gtk::kAnswerAction, G_VARIANT_TYPE_STRING);
    g_signal_connect(answer, "activate", G_CALLBACK(onAnswer), app);
    g_action_map_add_action(G_ACTION_MAP(app), G_ACTION(answer));
    if (gLine.wakeAtMs) lookAtTheClock(nullptr);
    g_timeout_add_seconds(1, reapChildren, nullptr);
    // Not g_application_run: a first instance would activate itself, that is, start the program.
    g_application_hold(app);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    return 0;
}
