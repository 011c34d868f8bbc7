// The real program, started in the background, timed from the moment the window is asked for
// again after its web view was dropped to the moment the page has taken "init" once more; or,
// without --background, from the spawn (cold start). Prints "SHOW <ns>" when it asks and the
// probe's "READY <ns>", both on CLOCK_MONOTONIC.
//
//   bench_reshow [--background]
#include <glib.h>
#include <time.h>

#include <cstdio>
#include <memory>

#include "ReadyProbe.h"
#include "app/AppDelegate.h"
#include "platform/gtk/GtkHost.h"
#include "platform/gtk/GtkMainWindow.h"
#include "platform/gtk/GtkShell.h"

namespace {

struct Watch {
    suite::AppDelegate* app = nullptr;
    suite::gtk::GtkShell* shell = nullptr;
    std::unique_ptr<bench::ReadyProbe> probe;
};

void probeWindow(Watch& watch) {
    suite::gtk::GtkWebView* web = &watch.shell->mainWindow()->gtkWebView();
    watch.probe = std::make_unique<bench::ReadyProbe>(
        [web](const std::string& source, auto done) { web->evaluateForResult(source, done); });
    watch.probe->start();
}

}  // namespace

int main(int argc, char** argv) {
    Watch watch;
    const int status = suite::gtk::runProgram(
        argc, argv, [&watch](suite::AppDelegate& app, suite::gtk::GtkShell& shell) {
            watch.app = &app;
            watch.shell = &shell;
            if (!app.launch().startHidden) return probeWindow(watch);
            // Looks once a second whether the view has gone; then shows the window, as a second
            // start of the program does.
            g_timeout_add_seconds(
                1,
                [](gpointer data) -> gboolean {
                    auto& watch = *static_cast<Watch*>(data);
                    if (watch.app->window() != nullptr) return G_SOURCE_CONTINUE;
                    timespec now{};
                    clock_gettime(CLOCK_MONOTONIC, &now);
                    std::printf("SHOW %lld\n", now.tv_sec * 1'000'000'000LL + now.tv_nsec);
                    std::fflush(stdout);
                    watch.app->applicationShouldHandleReopen();
                    probeWindow(watch);
                    return G_SOURCE_REMOVE;
                },
                &watch);
        });
    watch.probe.reset();
    return status;
}
