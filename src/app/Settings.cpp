#include "app/Settings.h"

#include <algorithm>
#include <array>

#include "common/Ascii.h"
#include "platform/Files.h"

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

namespace {

// Arabic and its varieties that have codes of their own (the members of the Arabic macrolanguage
// in ISO 639-3): someone whose system speaks Egyptian or Moroccan Arabic reads Arabic. Sorted.
constexpr std::array<std::string_view, 31> kArabicLanguages = {
    "aao", "abh", "abv", "acm", "acq", "acw", "acx", "acy", "adf", "aeb", "aec",
    "afb", "ajp", "apc", "apd", "ar",  "ara", "arb", "arq", "ars", "ary", "arz",
    "auz", "avl", "ayh", "ayl", "ayn", "ayp", "pga", "shu", "ssh"};

}  // namespace

bool isArabicLanguageTag(std::string_view tag) {
    const auto start = tag.find_first_not_of(" \t");
    if (start == std::string_view::npos) return false;
    tag.remove_prefix(start);
    const std::string primary =
        lowerAscii(std::string(tag.substr(0, tag.find_first_of("-_.@ \t"))));
    return std::binary_search(kArabicLanguages.begin(), kArabicLanguages.end(), primary);
}

std::string interfaceLanguage(const Json& settings, const std::vector<std::string>& preferred) {
    const auto lang = stringMember(settings, "lang");
    if (lang == "en" || lang == "ar") return *lang;
    return !preferred.empty() && isArabicLanguageTag(preferred.front()) ? "ar" : "en";
}

}  // namespace suite
