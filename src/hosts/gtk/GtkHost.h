#pragma once
// The program on this machine: computes the launch values, builds the platform pieces and the
// application delegate, and runs GTK's main loop until the program ends.

#include <functional>

namespace suite {
class AppDelegate;
}

namespace suite::gtk {

class GtkShell;

// Called once the delegate has finished launching; lets benchmarks watch the real program.
using LaunchObserver = std::function<void(AppDelegate&, GtkShell&)>;

int runProgram(int argc, char** argv, LaunchObserver onLaunched = nullptr);

}  // namespace suite::gtk
