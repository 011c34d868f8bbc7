// The program decides by a URL's host where downloads and links may go. Whatever passes the
// vendor rule by our reader must name the same host, scheme and port for curl's reader too, so
// no address can pass the rule here and lead somewhere else there.
#include <curl/curl.h>

#include <memory>

#include "common/Ascii.h"
#include "common/Url.h"
#include "download/DownloadPolicy.h"
#include "fuzz/FuzzInput.h"

namespace {

struct UrlFree {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

std::string curlPart(CURLU* url, CURLUPart part) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, 0) != CURLUE_OK || text == nullptr) return "";
    std::string out = text;
    curl_free(text);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto ours = suite::parseUrl(text);
    const bool vendorDownload = suite::isAcceptableDownloadUrl(text, "brenlow.example", false);
    if (vendorDownload) suite::fuzz::require(ours.has_value(), "an accepted download parses");
    // Only what the vendor rule lets through has to read alike; elsewhere the readers may differ
    // (curl writes "2" as the address 0.0.0.2), and nothing is decided by it.
    if (!ours || !suite::hostIsWithin(ours->host, "brenlow.example")) return 0;

    std::unique_ptr<CURLU, UrlFree> theirs(curl_url());
    if (curl_url_set(theirs.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
        CURLUE_OK) {
        suite::fuzz::require(!vendorDownload, "curl reads every accepted download address");
        return 0;
    }
    suite::fuzz::require(suite::lowerAscii(curlPart(theirs.get(), CURLUPART_HOST)) == ours->host,
                         "both readers name the same host");
    suite::fuzz::require(
        suite::lowerAscii(curlPart(theirs.get(), CURLUPART_SCHEME)) == ours->scheme,
        "both readers name the same scheme");
    // curl writes the port without leading zeros.
    const auto number = [](std::string port) { return port.erase(0, port.find_first_not_of('0')); };
    suite::fuzz::require(number(curlPart(theirs.get(), CURLUPART_PORT)) == number(ours->port),
                         "both readers name the same port");
    return 0;
}
