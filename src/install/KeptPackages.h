#pragma once
// The packages of the versions this program installed, kept so that the user can go back: for
// each product, the package of the version it installed last ("installed") and of the version
// that one replaced ("previous"), each beside the signed catalog document and signature that
// vouched for it when it went in, since a restore is verified as root against those and nothing
// newer. The folder is bounded in size (previous packages go first, oldest first), and a product
// no longer installed loses what was kept for it.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "platform/InstallItem.h"

namespace suite {

class KeptPackages {
  public:
    static constexpr std::uintmax_t kLimitBytes = std::uintmax_t{1} << 30;

    struct Kept {
        std::string version;
        std::filesystem::path package, catalog, signature;
    };

    // `folder`: empty keeps nothing.
    explicit KeptPackages(std::filesystem::path folder, std::uintmax_t limitBytes = kLimitBytes);

    // `item` was installed from `file`, vouched for by `catalog` and `signature` (copied): the
    // file is moved in as the product's installed package, and the one kept for another version
    // becomes its previous one. A file that cannot be kept is removed; nothing is reported, as
    // keeping is a service to a later restore, never a condition of the install.
    void keep(const InstallItem& item, const std::filesystem::path& file,
              const std::filesystem::path& catalog, const std::filesystem::path& signature);
    // The package the product's installed version replaced, when one is kept whole.
    std::optional<Kept> previous(const std::string& id) const;
    // The version of each product's previous package, by id.
    std::map<std::string, std::string> previousVersions() const;
    // The product's previous package went back in: it is the installed one now, and the one it
    // replaced is not kept (going forward again is an update like any other).
    void restored(const std::string& id);
    // A scan found only the products `installed` installed: the others lose what was kept.
    void keepOnly(const std::set<std::string>& installed);

  private:
    std::optional<Kept> slot(const std::string& id, const char* name) const;
    // Drops slots, previous ones before installed ones and older before newer, until the folder
    // is within its limit.
    void bound();

    std::filesystem::path folder_;
    std::uintmax_t limitBytes_;
};

}  // namespace suite
