#include "app/Settings.h"

#include "common/Files.h"

namespace suite {

Json loadSettings(const std::filesystem::path& file) {
    auto text = readWholeFile(file);
    if (!text) return Json::object();
    Json parsed = parseJson(*text);
    if (!parsed.is_object()) return Json::object();
    return parsed;
}

bool saveSettings(const std::filesystem::path& file, const Json& settings) {
    auto text = [&]() -> std::optional<std::string> {
        try {
            return settings.dump(2, ' ', false, Json::error_handler_t::strict) + "\n";
        } catch (const Json::exception&) {
            return std::nullopt;
        }
    }();
    if (!text) return false;
    return writeFileAtomically(file, *text);
}

std::string interfaceLanguage(const Json& settings, const std::vector<std::string>& preferred) {
    if (auto lang = stringMember(settings, "lang")) return *lang;
    if (!preferred.empty() && preferred.front().rfind("ar", 0) == 0) return "ar";
    return "en";
}

}  // namespace suite
