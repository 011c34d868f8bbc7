// The real program, timed to the moment its page has taken "init": without --background from the
// spawn (a cold start); with --background it starts hidden and, once its web view has gone, makes
// way for the waiting program built beside the real one, which starts this program again (without
// --background, so probed as before) when the driver starts it a second time. Prints the probe's
// "READY <ns>" on CLOCK_MONOTONIC.
//
//   bench_reshow [--background]
#include <filesystem>
#include <memory>

#include "ReadyProbe.h"
#include "app/AppDelegate.h"
#include "hosts/gtk/GtkHost.h"
#include "hosts/gtk/GtkMainWindow.h"
#include "hosts/gtk/GtkShell.h"

int main(int argc, char** argv) {
    std::unique_ptr<bench::ReadyProbe> probe;
    const auto self = std::filesystem::read_symlink("/proc/self/exe");
    const int status = suite::gtk::runProgram(
        argc, argv, [&](suite::AppDelegate& app, suite::gtk::GtkShell& shell) {
            if (app.launch().startHidden) {
                return shell.restIn(self.parent_path().parent_path() / "talven-suite-wait", self);
            }
            suite::gtk::GtkWebView* web = &shell.mainWindow()->gtkWebView();
            probe =
                std::make_unique<bench::ReadyProbe>([web](const std::string& source, auto done) {
                    web->evaluateForResult(source, done);
                });
            probe->start();
        });
    probe.reset();
    return status;
}
