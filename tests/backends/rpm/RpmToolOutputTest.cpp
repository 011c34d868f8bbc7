// What dnf and zypper print, as they printed it here (Debian's dnf 4.14 and zypper 1.14), read
// into one form: the reasons a batch's package fails, what a plan would remove, a run's steps.
#include <gtest/gtest.h>

#include "backends/rpm/RpmToolOutput.h"

namespace suite::rpm {
namespace {

TEST(RpmToolOutput, SolverProblemsOfBothToolsNameThePackageAndWhy) {
    const struct {
        const char* line;
        std::string package, code, detail;
    } cases[] = {
        {"  - nothing provides talven-nowhere needed by talven-missing-1.0-1.noarch",
         "talven-missing", "dependency", "talven-nowhere"},
        {"Problem: nothing provides 'libtalven.so.2()(64bit)' needed by the to be installed "
         "talven-lib-2:3.1-4.fc40.x86_64",
         "talven-lib", "dependency", "libtalven.so.2()(64bit)"},
        {"  - package talven-addin-1.0-1.noarch requires talven-app >= 2.0, but none of the "
         "providers can be installed",
         "talven-addin", "dependency", "talven-app >= 2.0"},
        {" Problem 2: package talven-rival-1.0-1.noarch conflicts with talven-app provided by "
         "talven-app-2.0.1-1.noarch",
         "talven-rival", "conflict", "talven-app"},
        {"Problem: talven-rival2-1.0-1.noarch conflicts with talven-keep provided by "
         "talven-keep-1.0-1.noarch",
         "talven-rival2", "conflict", "talven-keep"},
        {" Problem: package talven-obs-1.0-1.noarch obsoletes talven-app provided by "
         "talven-app-2.0.1-1.noarch",
         "talven-obs", "conflict", "talven-app"},
        {"  - cannot install both talven-a-1-1.noarch and talven-b-2-1.x86_64", "talven-a",
         "conflict", "talven-b"},
    };
    for (const auto& c : cases) {
        const auto problem = readSolverProblem(c.line);
        ASSERT_TRUE(problem) << c.line;
        EXPECT_EQ(problem->package, c.package) << c.line;
        EXPECT_EQ(problem->reason, (FailureReason{c.code, c.detail})) << c.line;
    }
    for (const char* none :
         {" Problem: conflicting requests", "  - problem with installed package"})
        EXPECT_FALSE(readSolverProblem(none)) << none;
}

TEST(RpmToolOutput, APlanHoldsOnlyWhereItRemovesNothingElse) {
    const std::string upgrade = R"(Dependencies resolved.
================================================================================
 Package             Architecture    Version        Repository             Size
================================================================================
Upgrading:
 talven-app          noarch          2.1-1          @commandline          6.1 k

Transaction Summary
================================================================================
Upgrade  1 Package

Operation aborted.
)";
    const auto upgrading = readDnfPlan(upgrade, 1);
    EXPECT_TRUE(upgrading.ok);
    EXPECT_TRUE(upgrading.removals.empty());

    const std::string obsoleting = R"(Installing:
 talven-obs          noarch          1.0-1          @commandline          6.1 k
     replacing  talven-app.noarch 2.0.1-1
Removing dependent packages:
 talven-addin        noarch          1.0-1          @System               4

Operation aborted.
)";
    EXPECT_EQ(readDnfPlan(obsoleting, 1).removals,
              (std::vector<std::string>{"talven-app", "talven-addin"}));
    const auto failing = readDnfPlan(
        "Error: \n Problem: conflicting requests\n  - nothing provides x needed by y-1-1.noarch\n",
        1);
    EXPECT_FALSE(failing.ok);
    EXPECT_EQ(failing.problems.size(), 1u);

    const auto zypper = readZypperPlan(R"(Resolving package dependencies...

The following 2 packages are going to be REMOVED:
  talven-app talven-addin

The following NEW package is going to be installed:
  talven-obs
)",
                                       0);
    EXPECT_EQ(zypper.removals, (std::vector<std::string>{"talven-app", "talven-addin"}));
    EXPECT_FALSE(readZypperPlan("Problem: nothing provides a needed by b-1-1.noarch\n", 4).ok);
}

TEST(RpmToolOutput, RunLinesGiveEachPackagesStepAndAFailedScriptlet) {
    using K = RpmEvent::Kind;
    const struct {
        const char* line;
        K kind;
        std::string package;
    } cases[] = {
        {"  Installing       : talven-app-2.0.1-1.noarch                              1/2 ",
         K::Unpacking, "talven-app"},
        {"  Upgrading        : talven-app-1:2.1-1.fc40.x86_64                      1/2",
         K::Unpacking, "talven-app"},
        {"  Running scriptlet: talven-broken-1.0-1.noarch                             1/1 ",
         K::SettingUp, "talven-broken"},
        {"(2/5) Installing: talven-broken-1.0-1.noarch [....done]", K::Unpacking, "talven-broken"},
        {"warning: %post(talven-broken-1.0-1.noarch) scriptlet failed, exit status 1",
         K::ScriptletFailed, "talven-broken"},
        {"  Verifying        : talven-app-2.0.1-1.noarch                              2/2 ",
         K::None, ""},
    };
    for (const auto& c : cases) {
        const RpmEvent event = readRpmRunLine(c.line);
        EXPECT_EQ(event.kind, c.kind) << c.line;
        EXPECT_EQ(event.package, c.package) << c.line;
    }
}

}  // namespace
}  // namespace suite::rpm
