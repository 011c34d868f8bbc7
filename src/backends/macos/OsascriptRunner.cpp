#include "backends/macos/OsascriptRunner.h"

#include "backends/macos/InstallScript.h"
#include "common/Utf8.h"
#include "platform/Process.h"

namespace suite {

PrivilegedOutcome OsascriptRunner::run(const std::string& script, const std::string& prompt) {
    ProcessOptions options;
    options.captureStandardError = true;
    auto result = runProcess(osascript_, {"-e", appleScriptSource(script, prompt)}, options);
    PrivilegedOutcome outcome;
    if (!result) return outcome;
    outcome.started = true;
    // Text that is not UTF-8 reads as nothing, as the platform's decoding would give.
    if (isValidUtf8(result->standardOutput)) outcome.output = std::move(result->standardOutput);
    if (isValidUtf8(result->standardError)) outcome.error = std::move(result->standardError);
    outcome.cancelled = outcome.error.find("-128") != std::string::npos;
    return outcome;
}

}  // namespace suite
