// Fetching the catalog text for the page: the addresses strictly one after another, the first
// acceptable answer wins.
#include "app/AppDelegate.h"
#include "catalog/CatalogFetch.h"
#include "common/Url.h"

namespace suite {

void AppDelegate::fetchCatalog(std::vector<std::string> urls, bool offline) {
    auto fail = [&] { send({{"type", "catalog"}, {"ok", false}, {"offline", offline}}); };
    if (urls.empty()) return fail();
    std::string url = urls.front();
    // An address that does not parse ends the fetch: later ones are not tried.
    if (!parseUrl(url)) return fail();
    urls.erase(urls.begin());

    platform_.http.start(
        catalogRequest(url, catalogUserAgent(launch_.appVersion, config_.hostTag),
                       config_.catalogTimeoutSeconds),
        nullptr,
        guardedResult<HttpResponse>([url, rest = std::move(urls), offline](
                                        AppDelegate& self, HttpResponse response) mutable {
            if (auto text = acceptedCatalogText(response)) {
                self.send({{"type", "catalog"}, {"ok", true}, {"url", url}, {"text", *text}});
                return;
            }
            // Any answer from a server means the network is there, for the rest of this fetch.
            bool stillOffline = offline && response.error != TransportError::None;
            self.fetchCatalog(std::move(rest), stillOffline);
        }));
}

}  // namespace suite
