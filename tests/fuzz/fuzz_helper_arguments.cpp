// The root helper's command line comes from whoever runs pkexec: whatever it accepts is the kept
// catalog's two absolute paths, then pairs of a product id and an absolute path, within the batch
// limit.
#include "fuzz/FuzzInput.h"
#include "privileged/InstallHelper.h"
#include "privileged/VouchedPackages.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    std::vector<std::string> arguments;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty() && arguments.size() < 4 * suite::privileged::kMaxHelperPackages) {
        const auto cut = rest.find('\0');
        arguments.emplace_back(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    if (!suite::privileged::acceptsHelperArguments(arguments)) return 0;
    using suite::fuzz::require;
    require(arguments.size() >= 4 && arguments.size() % 2 == 0, "the catalog, then pairs");
    require((arguments.size() - 2) / 2 <= suite::privileged::kMaxHelperPackages,
            "within the limit");
    require(arguments[0].starts_with('/') && arguments[1].starts_with('/'), "absolute catalog");
    for (std::size_t i = 2; i < arguments.size(); i += 2) {
        require(suite::isProductId(arguments[i]), "product ids");
        require(arguments[i + 1].starts_with('/'), "absolute paths");
    }
    return 0;
}
