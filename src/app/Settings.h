#pragma once
// The page's settings as stored in "settings.json". The page owns the schema: the native side
// never merges, validates or adds keys.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/Json.h"

namespace suite {

inline constexpr const char* kSettingsFileName = "settings.json";

// The stored dictionary, or an empty object when the file is missing, unreadable, malformed or
// holds anything but an object.
Json loadSettings(const std::filesystem::path& file);

// Writes `settings` human-readable and replaces the file atomically. Returns whether it was
// written.
bool saveSettings(const std::filesystem::path& file, const Json& settings);

// Whether a system language tag ("ar-EG", "arz", "ar_EG.UTF-8") names Arabic: its primary subtag
// is "ar" or one of Arabic's varieties. "arn" (Mapudungun) is not Arabic.
bool isArabicLanguageTag(std::string_view tag);

// The interface language, "ar" or "en": "lang" in the settings when it is one of them; otherwise
// Arabic when the first preferred language is. The page decides by the same rule
// (web/js/state.js); tests/fixtures/interface-language.json holds the cases both sides check.
std::string interfaceLanguage(const Json& settings, const std::vector<std::string>& preferred);

// Native texts have two languages; only exactly "ar" selects Arabic.
inline bool isArabic(const std::string& lang) {
    return lang == "ar";
}

}  // namespace suite
