#include "platform/gtk/PkexecRunner.h"

#include "common/Process.h"
#include "common/Utf8.h"

namespace suite::gtk {

PrivilegedOutcome pkexecOutcome(bool started, int exitStatus, std::string output,
                                std::string error) {
    PrivilegedOutcome outcome;
    outcome.started = started;
    // Decided on what the script printed, before text that is not UTF-8 is dropped: a script
    // that ran and printed anything was not cancelled.
    outcome.cancelled = started && exitStatus == kPkexecDismissed && output.empty();
    outcome.output = isValidUtf8(output) ? std::move(output) : std::string();
    outcome.error = isValidUtf8(error) ? std::move(error) : std::string();
    return outcome;
}

PrivilegedOutcome PkexecRunner::run(const std::string& script, const std::string&) {
    ProcessOptions options;
    options.captureStandardError = true;
    auto result = runProcess(pkexec_, {shell_, "-c", script}, options);
    if (!result) return pkexecOutcome(false, -1, {}, {});
    return pkexecOutcome(true, result->exitStatus, std::move(result->standardOutput),
                         std::move(result->standardError));
}

}  // namespace suite::gtk
