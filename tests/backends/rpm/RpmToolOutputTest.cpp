// The solver problems dnf and zypper print (Debian's dnf 4.14 and zypper 1.14 printed these here),
// read into one form, with wordings the system tests' batches do not make them print. Plans,
// removals and run lines are the system tests' (tests/system/RpmInstallTest.cpp).
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

}  // namespace
}  // namespace suite::rpm
