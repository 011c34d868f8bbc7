#include "catalog/KeptCatalog.h"

#include <chrono>
#include <system_error>

#include "platform/Files.h"

namespace suite {

bool keepCatalog(const std::filesystem::path& folder, std::string_view document,
                 std::string_view signature) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return writeFileAtomically(folder / kKeptCatalogFileName, document) &&
           writeFileAtomically(folder / kKeptSignatureFileName, signature);
}

std::optional<KeptCatalog> readKeptCatalog(const std::filesystem::path& folder) {
    const auto documentFile = folder / kKeptCatalogFileName;
    auto document = readWholeFile(documentFile, kKeptCatalogMaxBytes);
    auto signature = readWholeFile(folder / kKeptSignatureFileName, kKeptCatalogMaxBytes);
    std::error_code error;
    const auto written = std::filesystem::last_write_time(documentFile, error);
    if (!document || !signature || error) return std::nullopt;
    using namespace std::chrono;
    const auto at = duration_cast<milliseconds>(file_clock::to_sys(written).time_since_epoch());
    return KeptCatalog{std::move(*document), std::move(*signature), at.count()};
}

}  // namespace suite
