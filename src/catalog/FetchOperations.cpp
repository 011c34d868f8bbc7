// Fetching the catalog text for the page: the addresses strictly one after another, each answer
// with its signature; the first document that passes the trust check wins.
#include "app/AppDelegate.h"
#include "bridge/Events.h"
#include "catalog/CatalogFetch.h"
#include "download/FailureReason.h"
#include "common/Url.h"

namespace suite {

void AppDelegate::fetchCatalog(std::vector<std::string> urls, bool offline, std::string refusal,
                               std::string networkReason) {
    auto fail = [&] {
        // Why the last document that came was refused, when one came; else why the last address
        // gave none.
        send(bridge::catalogFailedEvent(offline, refusal.empty() ? networkReason : refusal));
    };
    if (urls.empty()) return fail();
    std::string url = urls.front();
    // An address that does not parse ends the fetch: later ones are not tried.
    if (!parseUrl(url)) return fail();
    urls.erase(urls.begin());

    platform_.http.start(
        catalogRequest(url, catalogUserAgent(launch_.appVersion, config_.hostTag),
                       config_.catalogTimeoutSeconds),
        nullptr,
        guardedResult<HttpResponse>([url, rest = std::move(urls), offline, refusal, networkReason](
                                        AppDelegate& self, HttpResponse response) mutable {
            if (auto text = acceptedCatalogText(response)) {
                return self.fetchSignedCatalog(std::move(url), std::move(*text), std::move(rest));
            }
            // Any answer from a server means the network is there, for the rest of this fetch.
            const bool stillOffline = offline && !serverAnswered(response);
            std::string reason = failureReason(response);
            self.fetchCatalog(std::move(rest), stillOffline, std::move(refusal),
                              reason.empty() ? std::move(networkReason) : std::move(reason));
        }));
}

void AppDelegate::fetchSignedCatalog(std::string url, std::string text,
                                     std::vector<std::string> rest) {
    platform_.http.start(
        catalogRequest(signatureUrl(url), catalogUserAgent(launch_.appVersion, config_.hostTag),
                       config_.catalogTimeoutSeconds),
        nullptr,
        guardedResult<HttpResponse>([url, text = std::move(text), rest = std::move(rest)](
                                        AppDelegate& self, HttpResponse response) mutable {
            const auto refusal = self.catalogTrust_.admit(text, acceptedSignatureText(response));
            if (!refusal) {
                self.send(bridge::catalogEvent(url, text));
                return;
            }
            // Like an answer that is no catalog: the next address may serve a good one.
            self.fetchCatalog(std::move(rest), false, reasonName(*refusal));
        }));
}

}  // namespace suite
