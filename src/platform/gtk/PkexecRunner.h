#pragma once
// Administrator rights on this desktop: polkit's pkexec asks the user through the session's
// authentication agent, then runs the script with /bin/sh as root.
#include <string>

#include "platform/PrivilegedRunner.h"

namespace suite::gtk {

class PkexecRunner final : public PrivilegedRunner {
public:
    explicit PkexecRunner(std::string pkexec = "/usr/bin/pkexec", std::string shell = "/bin/sh")
        : pkexec_(std::move(pkexec)), shell_(std::move(shell)) {}

    // polkit shows its own message for the request; `prompt` has no place there.
    PrivilegedOutcome run(const std::string& script, const std::string& prompt) override;

private:
    std::string pkexec_;
    std::string shell_;
};

// pkexec's exit status when the user dismissed the authentication dialog.
inline constexpr int kPkexecDismissed = 126;

// How pkexec's answer reads: a dismissed dialog is the user's cancel only when the script has
// not run (a script that ran prints its result lines, whatever its own exit status); a missing
// agent or any other refusal is a failure of the host, not a cancel.
PrivilegedOutcome pkexecOutcome(bool started, int exitStatus, std::string output,
                                std::string error);

}  // namespace suite::gtk
