#include "platform/HttpClient.h"

#include <algorithm>
#include <cctype>

namespace suite {

std::optional<std::string> findHeader(const HttpHeaders& headers, std::string_view name) {
    const auto found = std::find_if(headers.begin(), headers.end(), [&](const auto& header) {
        return std::equal(header.first.begin(), header.first.end(), name.begin(), name.end(),
                          [](unsigned char a, unsigned char b) {
                              return std::tolower(a) == std::tolower(b);
                          });
    });
    if (found == headers.end()) return std::nullopt;
    return found->second;
}

}  // namespace suite
