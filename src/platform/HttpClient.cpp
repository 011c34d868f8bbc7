#include "platform/HttpClient.h"

#include <algorithm>

#include "common/Ascii.h"

namespace suite {

std::optional<std::string> findHeader(const HttpHeaders& headers, std::string_view name) {
    const auto found = std::find_if(headers.begin(), headers.end(), [&](const auto& header) {
        return equalsIgnoringAsciiCase(header.first, name);
    });
    if (found == headers.end()) return std::nullopt;
    return found->second;
}

}  // namespace suite
