#include "install/KeptPackages.h"

#include <algorithm>
#include <vector>

#include "common/Ascii.h"
#include "platform/Files.h"

namespace suite {

namespace fs = std::filesystem;

namespace {

constexpr const char* kInstalled = "installed";
constexpr const char* kPrevious = "previous";
constexpr const char* kVersionFile = "version";
constexpr const char* kCatalogFile = "catalog.json";
constexpr const char* kSignatureFile = "catalog.json.sig";

// A product id that is a plain folder name: it names a folder here, and no id the catalog
// rules allow is anything else.
bool isFolderName(const std::string& id) {
    if (id.empty() || id.size() > 100 || !(isAsciiLower(id[0]) || isAsciiDigit(id[0])))
        return false;
    return std::ranges::all_of(
        id, [](char c) { return isAsciiLower(c) || isAsciiDigit(c) || c == '.' || c == '-'; });
}

// A package file's name as the catalog gave it: one plain name, none of the slot's own.
bool isFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name != kVersionFile && name != kCatalogFile && name != kSignatureFile;
}

// The kept catalog is only ever replaced whole (a new file renamed over it), so a hard link
// keeps the document as it was when it vouched, without a copy per product and per install.
bool linkOrCopy(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::create_hard_link(from, to, error);
    if (error) error.clear(), fs::copy_file(from, to, error);
    return !error;
}

std::uintmax_t sizeOf(const fs::path& folder) {
    std::uintmax_t total = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error)) total += it->file_size(error);
    }
    return total;
}

}  // namespace

KeptPackages::KeptPackages(fs::path folder, std::uintmax_t limitBytes)
    : folder_(std::move(folder)), limitBytes_(limitBytes) {}

void KeptPackages::keep(const InstallItem& item, const fs::path& file, const fs::path& catalog,
                        const fs::path& signature) {
    std::error_code error;
    if (folder_.empty() || !isFolderName(item.id) || !isFileName(item.file) ||
        fs::file_size(file, error) > limitBytes_ || error) {
        fs::remove(file, error);
        return;
    }
    const fs::path product = folder_ / item.id, installed = product / kInstalled;
    const auto before = slot(item.id, kInstalled);
    if (before && before->version != item.version) {
        fs::remove_all(product / kPrevious, error);
        fs::rename(installed, product / kPrevious, error);
    }
    fs::remove_all(installed, error);
    fs::create_directories(installed, error);
    fs::permissions(folder_, fs::perms::owner_all, error);
    // A slot is whole only with its version file, written last.
    error.clear();
    fs::rename(file, installed / item.file, error);
    if (error) {
        error.clear();
        fs::copy_file(file, installed / item.file, error);
        std::error_code ignored;
        fs::remove(file, ignored);
    }
    const bool whole = !error && linkOrCopy(catalog, installed / kCatalogFile) &&
                       linkOrCopy(signature, installed / kSignatureFile) &&
                       writeFileAtomically(installed / kVersionFile, item.version);
    if (!whole) fs::remove_all(installed, error);
    bound();
}

std::optional<KeptPackages::Kept> KeptPackages::slot(const std::string& id,
                                                     const char* name) const {
    if (folder_.empty() || !isFolderName(id)) return std::nullopt;
    const fs::path dir = folder_ / id / name;
    auto version = readWholeFile(dir / kVersionFile);
    if (!version) return std::nullopt;
    Kept kept{.version = *version,
              .package = {},
              .catalog = dir / kCatalogFile,
              .signature = dir / kSignatureFile};
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        if (isFileName(it->path().filename().string())) kept.package = it->path();
    }
    if (kept.package.empty()) return std::nullopt;
    return kept;
}

std::optional<KeptPackages::Kept> KeptPackages::previous(const std::string& id) const {
    return slot(id, kPrevious);
}

std::map<std::string, std::string> KeptPackages::previousVersions() const {
    std::map<std::string, std::string> versions;
    std::error_code error;
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        const std::string id = it->path().filename().string();
        if (auto kept = previous(id)) versions[id] = kept->version;
    }
    return versions;
}

void KeptPackages::restored(const std::string& id) {
    if (!previous(id)) return;
    const fs::path product = folder_ / id;
    std::error_code error;
    fs::remove_all(product / kInstalled, error);
    fs::rename(product / kPrevious, product / kInstalled, error);
}

void KeptPackages::keepOnly(const std::set<std::string>& installed) {
    if (folder_.empty()) return;
    std::vector<fs::path> gone;
    std::error_code error;
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        if (!installed.contains(it->path().filename().string())) gone.push_back(it->path());
    }
    for (const auto& path : gone) fs::remove_all(path, error);
}

void KeptPackages::bound() {
    struct Slot {
        fs::path dir;
        bool previous;
        fs::file_time_type time;
        std::uintmax_t bytes;
    };
    std::vector<Slot> slots;
    std::uintmax_t total = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        for (const char* name : {kPrevious, kInstalled}) {
            const fs::path dir = it->path() / name;
            std::error_code missing;
            const auto time = fs::last_write_time(dir / kVersionFile, missing);
            if (missing) continue;
            slots.push_back({dir, name == kPrevious, time, sizeOf(dir)});
            total += slots.back().bytes;
        }
    }
    std::ranges::sort(slots, [](const Slot& a, const Slot& b) {
        return a.previous != b.previous ? a.previous : a.time < b.time;
    });
    for (const auto& slot : slots) {
        if (total <= limitBytes_) break;
        fs::remove_all(slot.dir, error);
        total -= slot.bytes;
    }
}

}  // namespace suite
