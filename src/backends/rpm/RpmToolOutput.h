#pragma once
// What dnf and zypper print, read by the root helper in the C locale it sets: a plan's problems
// and removals, a run's progress lines, and rpm's own word on a failed scriptlet. The two tools
// word their solver's problems differently ("nothing provides X needed by P" against "nothing
// provides 'X' needed by the to be installed P"); both are read here into one form.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PackageSystem.h"

namespace suite::rpm {

// The name in a package's full name as the tools print it: NAME-[EPOCH:]VERSION-RELEASE.ARCH.
std::string nameOfNevra(std::string_view nevra);

// One problem the solver named: `package` cannot be installed, for `reason`. A conflict names
// the other package in `reason.detail`; which of the two is the batch's is for the reader to say.
struct SolverProblem {
    std::string package;  // a name
    FailureReason reason;
};

// What a plan (`dnf install --assumeno`, `zypper install --dry-run`) said.
struct RpmPlan {
    bool ok = false;                           // the tool could install it all
    std::vector<std::string> removals = {};    // names of installed packages it would remove
    std::vector<SolverProblem> problems = {};  // why it could not
    std::string error = {};                    // its first line of error, for a reason none names
};
RpmPlan readDnfPlan(std::string_view output, int exitStatus);
RpmPlan readZypperPlan(std::string_view output, int exitStatus);

// A problem line of either tool; nothing when the line names none.
std::optional<SolverProblem> readSolverProblem(std::string_view line);

// One line of a run: a package's files are being put in place, or its scriptlets run.
struct RpmEvent {
    enum class Kind { None, Unpacking, SettingUp, ScriptletFailed };
    Kind kind = Kind::None;
    std::string package;  // name
};
RpmEvent readRpmRunLine(std::string_view line);

}  // namespace suite::rpm
