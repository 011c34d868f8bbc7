#pragma once
// Untyped JSON as exchanged with the page, the settings file and the catalog, plus the readers
// that substitute a fallback for a missing or mistyped member instead of failing.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace suite {

using Json = nlohmann::json;

// Far deeper than anything the program reads or the page sends, and far shallower than what the
// recursive parts of the library (copying, comparing, writing) can take on a thread's stack.
inline constexpr int kMaxJsonDepth = 64;

// `text` as JSON, or a discarded value (is_discarded()) when it is not JSON or nests arrays and
// objects more than kMaxJsonDepth deep. Every reader of JSON from a file, the page or the network
// parses with this, so that such a value never exists in the program.
Json parseJson(std::string_view text);

// JSON text that a web engine wrote: a string holding half of a UTF-16 pair (a lone surrogate)
// comes as "\udXXX", which no JSON reader takes, so such an escape becomes U+FFFD and the rest
// of the message is read as it is.
Json parseEngineJson(std::string_view text);

// The member `key` of `object` when `object` is an object holding a string there.
std::optional<std::string> stringMember(const Json& object, const std::string& key);

// The member `key` when it is a bool, otherwise nothing (a string "true" is not a bool).
std::optional<bool> boolMember(const Json& object, const std::string& key);

// The member `key` when it is an object, otherwise an empty object.
Json objectMemberOrEmpty(const Json& object, const std::string& key);

// The member `key` when it is a list whose every element is a string; otherwise an empty list.
std::vector<std::string> stringListMember(const Json& object, const std::string& key);

// The member `key` when it is a list whose every element is an object; otherwise an empty list.
std::vector<Json> objectListMember(const Json& object, const std::string& key);

// Compact JSON text for `value`, or nothing when it holds something JSON cannot carry
// (a number that is not finite, a string that is not UTF-8).
std::optional<std::string> compactJson(const Json& value);

}  // namespace suite
