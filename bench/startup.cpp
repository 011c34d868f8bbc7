// The real program, started the way the user starts it, with a probe that reports the moment its
// page has taken "init". A showcase run only: the benchmark must never read or write the
// settings of whoever runs it.
//
//   bench_startup --demo
#include <cstdio>
#include <cstring>
#include <memory>

#include "ReadyProbe.h"
#include "hosts/gtk/GtkHost.h"
#include "hosts/gtk/GtkMainWindow.h"
#include "hosts/gtk/GtkShell.h"

namespace {

bool hasDemoSwitch(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--demo") == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (!hasDemoSwitch(argc, argv)) {
        std::fprintf(stderr, "usage: %s --demo\n", argv[0]);
        return 2;
    }
    std::unique_ptr<bench::ReadyProbe> probe;
    int status = suite::gtk::runProgram(
        argc, argv, [&probe](suite::AppDelegate&, suite::gtk::GtkShell& shell) {
            suite::gtk::GtkMainWindow* window = shell.mainWindow();
            if (window == nullptr) {
                std::fprintf(stderr, "bench_startup: the program made no window\n");
                return;
            }
            suite::gtk::GtkWebView* web = &window->gtkWebView();
            probe =
                std::make_unique<bench::ReadyProbe>([web](const std::string& source, auto done) {
                    web->evaluateForResult(source, std::move(done));
                });
            probe->start();
        });
    probe.reset();
    return status;
}
