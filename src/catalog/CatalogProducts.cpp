#include "catalog/CatalogProducts.h"

#include <algorithm>
#include <set>

#include "common/Ascii.h"

namespace suite {

namespace {

// As many as the page reads.
constexpr std::size_t kMaxProducts = 20000;

bool isText(const Json& value) {
    return value.is_string() &&
           value.get<std::string>().find_first_not_of(" \t\r\n") != std::string::npos;
}

bool allOf(std::string_view text, bool (*allowed)(char)) {
    return std::ranges::all_of(text, allowed);
}

// The architecture words and package names of each Linux kind, as dpkg and rpm write them.
bool isArch(std::string_view kind, std::string_view arch) {
    const char joiner = kind == "deb" ? '-' : '_';
    return !arch.empty() && (isAsciiLower(arch[0]) || isAsciiDigit(arch[0])) &&
           std::ranges::all_of(arch, [joiner](char c) {
               return isAsciiLower(c) || isAsciiDigit(c) || c == joiner;
           });
}

bool isPackageName(std::string_view kind, std::string_view name) {
    if (kind == "deb") {
        return name.size() >= 2 && (isAsciiLower(name[0]) || isAsciiDigit(name[0])) &&
               allOf(name, [](char c) {
                   return isAsciiLower(c) || isAsciiDigit(c) || c == '+' || c == '.' || c == '-';
               });
    }
    if (kind == "rpm") {
        return !name.empty() && name.size() <= 200 && isAsciiAlnum(name[0]) &&
               allOf(name, [](char c) {
                   return isAsciiAlnum(c) || c == '.' || c == '_' || c == '+' || c == '-';
               });
    }
    return !name.empty() && name.find_first_of(" \t\r\n/\\") == std::string_view::npos;
}

// "[epoch:]version-release", as the RPM database gives an installed one.
bool isRpmVersion(std::string_view version) {
    const auto colon = version.find(':');
    if (colon != std::string_view::npos) {
        if (colon == 0 || !allOf(version.substr(0, colon), isAsciiDigit)) return false;
        version.remove_prefix(colon + 1);
    }
    const auto dash = version.find('-');
    const auto word = [](std::string_view part) {
        return !part.empty() && allOf(part, [](char c) {
            return isAsciiAlnum(c) || c == '.' || c == '_' || c == '+' || c == '~' || c == '^';
        });
    };
    return dash != std::string_view::npos && word(version.substr(0, dash)) &&
           word(version.substr(dash + 1));
}

bool isDetect(const Json& detect, std::string_view kind) {
    if (!detect.is_object()) return false;
    const auto receipts = detect.find("receipts");
    const bool linux = kind == "deb" || kind == "rpm";
    const bool named = receipts != detect.end() && receipts->is_array() && !receipts->empty() &&
                       std::ranges::all_of(*receipts, [&](const Json& name) {
                           return name.is_string() && isPackageName(kind, name.get<std::string>());
                       });
    if (linux) return named;
    const auto apps = detect.find("apps");
    return named || (apps != detect.end() && apps->is_array() && !apps->empty());
}

bool endsWithKind(const std::string& file, std::string_view kind) {
    return file.size() > kind.size() + 1 && file[file.size() - kind.size() - 1] == '.' &&
           lowerAscii(file.substr(file.size() - kind.size())) == kind;
}

// The install item of one package entry of a product, or nothing when it breaks a rule.
std::optional<InstallItem> packageItem(const Json& product, const Json& entry,
                                       std::string_view kind, const DownloadRules& rules) {
    if (!entry.is_object() || !isText(entry.value("version", Json()))) return std::nullopt;
    const std::string version = entry["version"].get<std::string>();
    if (kind == "rpm" && !isRpmVersion(version)) return std::nullopt;
    if (!isDetect(entry.value("detect", Json()), kind)) return std::nullopt;
    Json item = entry;
    item["id"] = product["id"];
    item["group"] = product["group"];
    item["self"] = product.value("self", false) == true;
    std::vector<std::string> notes;
    auto decoded = decodeInstallItem(item, rules, notes);
    if (!decoded || !endsWithKind(decoded->file, kind)) return std::nullopt;
    return decoded;
}

// The product's package of `kind` for `arch`: the first usable entry built for it or for every
// architecture.
std::optional<InstallItem> packageFor(const Json& product, std::string_view kind,
                                      std::string_view arch, const DownloadRules& rules) {
    const auto packages = product.find("packages");
    if (packages == product.end()) {
        return kind == "pkg" ? packageItem(product, product, kind, rules) : std::nullopt;
    }
    if (!packages->is_object()) return std::nullopt;
    const auto ofKind = packages->find(std::string(kind));
    if (ofKind == packages->end()) return std::nullopt;
    if (kind == "pkg") return packageItem(product, *ofKind, kind, rules);
    const std::string every = kind == "deb" ? "all" : "noarch";
    const std::vector<Json> entries =
        ofKind->is_array() ? ofKind->get<std::vector<Json>>() : std::vector<Json>{*ofKind};
    for (const Json& entry : entries) {
        const auto builtFor = entry.is_object() ? stringMember(entry, "arch") : std::nullopt;
        if (!builtFor || !isArch(kind, *builtFor)) continue;
        if (!arch.empty() && *builtFor != arch && *builtFor != every) continue;
        if (auto item = packageItem(product, entry, kind, rules)) return item;
    }
    return std::nullopt;
}

bool isLocalized(const Json& product, const char* key, bool required) {
    const auto found = product.find(key);
    if (found == product.end()) return !required;
    return found->is_object() && isText(found->value("en", Json())) &&
           isText(found->value("ar", Json()));
}

}  // namespace

bool isProductId(std::string_view id) {
    return !id.empty() && id.size() <= 100 && allOf(id, [](char c) {
        return isAsciiLower(c) || isAsciiDigit(c) || c == '.' || c == '-';
    });
}

std::vector<CatalogProduct> hostProducts(const Json& document, std::string_view kind,
                                         std::string_view arch, const DownloadRules& rules) {
    if (!document.is_object() || document.value("version", Json(1)) != Json(1)) return {};
    const auto listed = document.find("products");
    if (listed == document.end() || !listed->is_array()) return {};
    std::vector<CatalogProduct> products;
    std::set<std::string> seen;
    std::size_t read = 0;
    for (const Json& product : *listed) {
        if (read++ == kMaxProducts) break;
        if (!product.is_object()) continue;
        const auto id = stringMember(product, "id");
        const auto group = stringMember(product, "group");
        const auto self = product.find("self");
        if (!id || !isProductId(*id) || (group != "app" && group != "addin") ||
            (self != product.end() && !self->is_boolean()) || !isLocalized(product, "name", true) ||
            !isLocalized(product, "description", true) || !isLocalized(product, "notes", false) ||
            !seen.insert(*id).second) {
            continue;
        }
        if (auto item = packageFor(product, kind, arch, rules)) {
            products.push_back({.nameEn = product["name"]["en"].get<std::string>(),
                                .nameAr = product["name"]["ar"].get<std::string>(),
                                .item = std::move(*item)});
        }
    }
    return products;
}

}  // namespace suite
