#pragma once
// What a catalog answer must look like before its text reaches the page. The page parses the
// document; the native side only makes sure it got a JSON object's text from a server.
#include <optional>
#include <string>

#include "platform/HttpClient.h"

namespace suite {

// "TALVEN-Suite/<version> (<host tag>)", the program's identification in catalog requests.
std::string catalogUserAgent(const std::string& appVersion, const std::string& hostTag);

// The catalog request for `url`: GET, the program's User-Agent and nothing else.
HttpRequest catalogRequest(const std::string& url, const std::string& userAgent,
                           double timeoutSeconds);

// The body of an acceptable answer, unchanged: a server answered 200 or 206, the body is UTF-8,
// and after leading spaces and tabs it begins with "{". Nothing otherwise.
std::optional<std::string> acceptedCatalogText(const HttpResponse& response);

}  // namespace suite
