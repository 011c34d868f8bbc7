#include "catalog/CatalogFetch.h"

#include "common/Utf8.h"

namespace suite {

namespace {

// A complete answer whose status carries the document.
bool isDocumentAnswer(const HttpResponse& response) {
    return response.error == TransportError::None &&
           (response.status == 200 || response.status == 206);
}

}  // namespace

std::string catalogUserAgent(const std::string& appVersion, const std::string& hostTag) {
    return "TALVEN-Suite/" + appVersion + " (" + hostTag + ")";
}

HttpRequest catalogRequest(const std::string& url, const std::string& userAgent,
                           double timeoutSeconds) {
    HttpRequest request;
    request.method = "GET";
    request.url = url;
    request.headers = {{"User-Agent", userAgent}};
    request.timeoutSeconds = timeoutSeconds;
    request.totalSeconds = kCatalogCeilingSeconds;
    return request;
}

std::optional<std::string> acceptedSignatureText(const HttpResponse& response) {
    if (!isDocumentAnswer(response)) return std::nullopt;
    return response.body;
}

std::optional<std::string> acceptedCatalogText(const HttpResponse& response) {
    if (!isDocumentAnswer(response) || !isValidUtf8(response.body)) return std::nullopt;
    // Only blanks and tabs are skipped: a document that starts on a new line is not accepted.
    std::size_t first = response.body.find_first_not_of(" \t");
    if (first == std::string::npos || response.body[first] != '{') return std::nullopt;
    return response.body;
}

}  // namespace suite
