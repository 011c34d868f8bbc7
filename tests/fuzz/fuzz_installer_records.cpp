// What the privileged side prints is read back without crashing: every result names a package
// of the batch, and nothing is read as a result that was not printed as one.
#include "fuzz/FuzzInput.h"
#include "platform/InstallerRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::size_t packages : {0u, 1u, 7u}) {
        const auto report = suite::readInstallerRecords(text, packages);
        suite::fuzz::require(report.results.size() == packages && report.outputs.size() == packages,
                             "one result and one output per package");
        for (const auto& output : report.outputs) {
            suite::fuzz::require(output.empty() || output.back() == '\n',
                                 "outputs are whole lines");
        }
    }
    return 0;
}
