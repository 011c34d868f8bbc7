#include <unistd.h>

#include "app/AppDelegate.h"
#include "common/Process.h"
#include "install/InstallResults.h"

namespace suite {

void AppDelegate::reopen() {
    // A self package can be reported twice before the program has quit (the privileged run, then
    // the return check for a hand-off of the same item); a second waiting shell would start the
    // new version twice.
    if (relaunching_) return;
    relaunching_ = true;
    // The shell outlives this process and starts the new version only once this one has gone;
    // when it cannot be started the program still quits, without relaunching.
    if (auto program = relaunchProgram(config_.detectPaths, config_.ownExecutable)) {
        spawnDetached("/bin/sh", {"-c", relaunchScript(static_cast<long>(::getpid())), *program});
    }
    platform_.queue.postAfter(1.2,
                              guarded([](AppDelegate& self) { self.platform_.shell.terminate(); }));
}

}  // namespace suite
