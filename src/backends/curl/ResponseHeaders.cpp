#include "backends/curl/ResponseHeaders.h"
#include "common/Ascii.h"

#include <algorithm>

namespace suite::curl {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

bool ResponseHeaders::take(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
        headers_.clear();
        status_ = 0;
        const auto space = line.find(' ');
        if (space != std::string_view::npos) {
            const auto code = trimmed(line.substr(space + 1)).substr(0, 3);
            if (code.size() == 3 && std::all_of(code.begin(), code.end(), isAsciiDigit) &&
                code.front() != '0') {
                status_ = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
            }
        }
        return false;
    }
    if (line.empty()) return true;
    if ((line.front() == ' ' || line.front() == '\t')) {
        if (!headers_.empty()) {
            headers_.back().second += ' ';
            headers_.back().second += trimmed(line);
        }
        return false;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    headers_.emplace_back(std::string(trimmed(line.substr(0, colon))),
                          std::string(trimmed(line.substr(colon + 1))));
    return false;
}

std::optional<std::string> ResponseHeaders::find(std::string_view name) const {
    const auto found = std::find_if(headers_.begin(), headers_.end(), [&](const auto& header) {
        return equalsIgnoringAsciiCase(header.first, name);
    });
    if (found == headers_.end()) return std::nullopt;
    return found->second;
}

}  // namespace suite::curl
