#pragma once
// What a catalog answer must look like before its text is judged (catalog/CatalogTrust.h) and
// reaches the page. The page parses the document; the native side only makes sure it got a JSON
// object's text from a server, with its signature.
#include <optional>
#include <string>
#include <vector>

#include "platform/HttpClient.h"

namespace suite {

// "TALVEN-Suite/<version> (<host tag>)", the program's identification in catalog requests.
std::string catalogUserAgent(const std::string& appVersion, const std::string& hostTag);

// Longest one catalog request may take in all, however steadily bytes arrive.
inline constexpr double kCatalogCeilingSeconds = 60;

// Longest one address of a check may take: its document, then its signature. The page's wait for
// a whole check is this for each address it asks for.
inline constexpr double kCatalogAddressCeilingSeconds = 2 * kCatalogCeilingSeconds;

// The vendor's catalog addresses, tried in this order: its own host, then its mirror. The page
// makes the same two (web/js/config.js).
inline std::vector<std::string> vendorCatalogUrls(const std::string& vendorHost) {
    return {"https://" + vendorHost + "/suite/catalog.json",
            "https://mirror." + vendorHost + "/suite/catalog.json"};
}

// Where the signature of the catalog at `url` is published.
inline std::string signatureUrl(const std::string& url) {
    return url + ".sig";
}

// The catalog request for `url` (or for its signature): GET, the program's User-Agent and nothing
// else, given up after `timeoutSeconds` without data or kCatalogCeilingSeconds in all.
HttpRequest catalogRequest(const std::string& url, const std::string& userAgent,
                           double timeoutSeconds);

// The body of an acceptable answer, unchanged: a server answered 200 or 206, the body is UTF-8,
// and after leading spaces and tabs it begins with "{". Nothing otherwise.
std::optional<std::string> acceptedCatalogText(const HttpResponse& response);

// The body of a signature answer (200 or 206), unchanged, for the signature check to judge.
std::optional<std::string> acceptedSignatureText(const HttpResponse& response);

}  // namespace suite
