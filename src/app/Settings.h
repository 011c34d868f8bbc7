#pragma once
// The page's settings as stored in "settings.json". The page owns the schema: the native side
// never merges, validates or adds keys.
#include <filesystem>
#include <string>
#include <vector>

#include "common/Json.h"

namespace suite {

inline constexpr const char* kSettingsFileName = "settings.json";

// The stored dictionary, or an empty object when the file is missing, unreadable, malformed or
// holds anything but an object.
Json loadSettings(const std::filesystem::path& file);

// Writes `settings` human-readable and replaces the file atomically. Returns whether it was written.
bool saveSettings(const std::filesystem::path& file, const Json& settings);

// The interface language: a string "lang" in the settings as it stands; otherwise "ar" when the
// first preferred language is Arabic; otherwise "en".
std::string interfaceLanguage(const Json& settings, const std::vector<std::string>& preferred);

// Native texts have two languages; only exactly "ar" selects Arabic.
inline bool isArabic(const std::string& lang) { return lang == "ar"; }

}  // namespace suite
