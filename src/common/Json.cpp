#include "common/Json.h"

#include "common/Ascii.h"

#include <cmath>

namespace suite {

namespace {

const Json* member(const Json& object, const std::string& key) {
    if (!object.is_object()) return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

bool allFinite(const Json& value) {
    if (value.is_number_float()) return std::isfinite(value.get<double>());
    if (value.is_structured()) {
        for (const auto& element : value) {
            if (!allFinite(element)) return false;
        }
    }
    return true;
}

// The code unit of the "\uXXXX" escape at `at`, or -1 when there is none there.
long escapedUnit(std::string_view text, std::size_t at) {
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return -1;
    long unit = 0;
    for (std::size_t k = at + 2; k < at + 6; ++k) {
        const int digit = hexDigitValue(text[k]);
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

bool isHighSurrogate(long unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(long unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::string withLoneSurrogatesReplaced(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool inString = false;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (!inString || c != '\\') {
            if (c == '"') inString = !inString;
            out += c;
            ++i;
            continue;
        }
        const long unit = escapedUnit(text, i);
        if (unit < 0) {  // any other escape, copied whole so its second character is not read
            out.append(text.substr(i, 2));
            i += 2;
        } else if (isHighSurrogate(unit) && isLowSurrogate(escapedUnit(text, i + 6))) {
            out.append(text.substr(i, 12));
            i += 12;
        } else {
            out.append(isHighSurrogate(unit) || isLowSurrogate(unit) ? "\\ufffd"
                                                                     : text.substr(i, 6));
            i += 6;
        }
    }
    return out;
}

}  // namespace

Json parseEngineJson(std::string_view text) {
    return parseJson(withLoneSurrogatesReplaced(text));
}

Json parseJson(std::string_view text) {
    bool tooDeep = false;
    // The parser itself keeps its nesting on the heap; refusing the container that opens one
    // level too deep drops it, and everything after, while the parser reads on to the end.
    auto limit = [&tooDeep](int depth, Json::parse_event_t event, Json&) {
        if ((event == Json::parse_event_t::object_start ||
             event == Json::parse_event_t::array_start) &&
            depth >= kMaxJsonDepth) {
            tooDeep = true;
        }
        return !tooDeep;
    };
    Json parsed = Json::parse(text.begin(), text.end(), limit, /*allow_exceptions=*/false);
    return tooDeep ? Json(Json::value_t::discarded) : parsed;
}

std::optional<std::string> stringMember(const Json& object, const std::string& key) {
    const Json* value = member(object, key);
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

std::optional<bool> boolMember(const Json& object, const std::string& key) {
    const Json* value = member(object, key);
    if (value == nullptr || !value->is_boolean()) return std::nullopt;
    return value->get<bool>();
}

Json objectMemberOrEmpty(const Json& object, const std::string& key) {
    const Json* value = member(object, key);
    if (value == nullptr || !value->is_object()) return Json::object();
    return *value;
}

std::vector<std::string> stringListMember(const Json& object, const std::string& key) {
    const Json* value = member(object, key);
    if (value == nullptr || !value->is_array()) return {};
    std::vector<std::string> out;
    out.reserve(value->size());
    for (const auto& element : *value) {
        if (!element.is_string()) return {};
        out.push_back(element.get<std::string>());
    }
    return out;
}

std::vector<Json> objectListMember(const Json& object, const std::string& key) {
    const Json* value = member(object, key);
    if (value == nullptr || !value->is_array()) return {};
    std::vector<Json> out;
    out.reserve(value->size());
    for (const auto& element : *value) {
        if (!element.is_object()) return {};
        out.push_back(element);
    }
    return out;
}

std::optional<std::string> compactJson(const Json& value) {
    if (!allFinite(value)) return std::nullopt;
    try {
        return value.dump(-1, ' ', false, Json::error_handler_t::strict);
    } catch (const Json::exception&) {
        return std::nullopt;
    }
}

}  // namespace suite
