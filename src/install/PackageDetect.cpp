#include "install/PackageDetect.h"

#include "common/Ascii.h"

namespace suite {

std::vector<std::string> receiptNames(const Json& item,
                                      const std::function<bool(std::string_view)>& isName) {
    std::vector<std::string> names;
    for (auto& name : stringListMember(objectMemberOrEmpty(item, "detect"), "receipts")) {
        if (isName(name)) names.push_back(std::move(name));
    }
    return names;
}

std::vector<std::optional<std::string>> versionsOfFirstReceipts(
    const std::vector<Json>& items, const std::function<bool(std::string_view)>& isName,
    const std::function<std::map<std::string, std::string>(const std::set<std::string>&)>&
        installed) {
    std::vector<std::vector<std::string>> wanted;
    std::set<std::string> all;
    wanted.reserve(items.size());
    for (const auto& item : items) {
        wanted.push_back(receiptNames(item, isName));
        all.insert(wanted.back().begin(), wanted.back().end());
    }
    const auto found = installed(all);
    std::vector<std::optional<std::string>> versions(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        for (const auto& name : wanted[i]) {
            if (auto version = found.find(name); version != found.end()) {
                versions[i] = version->second;
                break;
            }
        }
    }
    return versions;
}

std::optional<std::string> desktopEntryOf(const Json& detect) {
    auto id = stringMember(detect, "desktop");
    if (!id) return std::nullopt;
    constexpr std::string_view suffix = ".desktop";
    if (id->size() <= suffix.size() || !id->ends_with(suffix) || id->size() > 255) {
        return std::nullopt;
    }
    if (id->front() == '.' || id->front() == '-') return std::nullopt;
    for (char c : *id) {
        const bool allowed = isAsciiAlnum(c) || c == '-' || c == '_' || c == '.';
        if (!allowed) return std::nullopt;
    }
    return id;
}

}  // namespace suite
