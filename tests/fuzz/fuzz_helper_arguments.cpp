// The root helper's command line comes from whoever runs pkexec: whatever it accepts is pairs of
// absolute paths and lower-case SHA-256 digests, within the batch limit.
#include "fuzz/FuzzInput.h"
#include "platform/InstallerRecords.h"
#include "platform/debian/InstallHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    std::vector<std::string> arguments;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty() && arguments.size() < 4 * suite::debian::kMaxHelperPackages) {
        const auto cut = rest.find('\0');
        arguments.emplace_back(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    if (!suite::debian::acceptsHelperArguments(arguments)) return 0;
    using suite::fuzz::require;
    require(!arguments.empty() && arguments.size() % 2 == 0, "pairs");
    require(arguments.size() / 2 <= suite::debian::kMaxHelperPackages, "within the limit");
    for (std::size_t i = 0; i < arguments.size(); i += 2) {
        require(arguments[i].starts_with('/'), "absolute paths");
        require(suite::isSha256Hex(arguments[i + 1]), "lower-case digests");
    }
    return 0;
}
