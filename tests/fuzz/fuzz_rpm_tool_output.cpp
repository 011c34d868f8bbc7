// What dnf and zypper print, read as root: any bytes end in a plan, a problem or a run line
// without a crash or a stall, and a package named by a problem is a name from the line itself.
#include <string>

#include "backends/rpm/RpmToolOutput.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    using suite::fuzz::require;
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (int status : {0, 1, 4}) {
        for (const auto& plan :
             {suite::rpm::readDnfPlan(text, status), suite::rpm::readZypperPlan(text, status)}) {
            require(!plan.ok || plan.problems.empty(), "a plan with problems does not hold");
            for (const auto& problem : plan.problems) {
                require(text.find(problem.package) != std::string::npos,
                        "names come from the text");
            }
        }
    }
    const auto event = suite::rpm::readRpmRunLine(text);
    require(event.package.empty() || text.find(event.package) != std::string::npos,
            "a run line's package is in the line");
    return 0;
}
