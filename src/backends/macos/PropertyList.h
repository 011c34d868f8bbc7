#pragma once
// Property lists (application information files, package receipts) in XML or binary form, read
// with libplist behind checks that keep hostile files from crashing or stalling the reader.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <plist/plist.h>

namespace suite {

// Far beyond any real Info.plist or receipt; anything larger is not worth parsing.
inline constexpr std::size_t kMaxPlistBytes = 8u << 20;

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistFree>;

// The dictionary in `data`, or nothing when it is not one, cannot be parsed, or is shaped to
// exhaust the reader.
Plist parsePlistDictionary(std::string_view data);

// The string under `key` when it is a string and valid UTF-8; nothing otherwise.
std::optional<std::string> plistString(const Plist& dictionary, const char* key);

}  // namespace suite
