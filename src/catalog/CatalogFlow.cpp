#include "catalog/CatalogFlow.h"

#include "bridge/Events.h"
#include "catalog/CatalogFetch.h"
#include "catalog/Scan.h"
#include "common/Url.h"
#include "download/FailureReason.h"

namespace suite {

CatalogFlow::CatalogFlow(CatalogSettings settings, CatalogServices services, Send send)
    : settings_(std::move(settings)),
      services_(services),
      send_(std::move(send)),
      trust_(settings_.keys, settings_.trustStateFile, settings_.wallClock) {}

void CatalogFlow::fetch(std::vector<std::string> urls) {
    ++unanswered_;
    fetchFrom(std::move(urls), true, {}, {});
}

void CatalogFlow::answer(const Json& event) {
    --unanswered_;
    send_(event);
}

void CatalogFlow::fetchFrom(std::vector<std::string> urls, bool offline, std::string refusal,
                            std::string networkReason) {
    auto fail = [&] {
        answer(bridge::catalogFailedEvent(offline, refusal.empty() ? networkReason : refusal));
    };
    if (urls.empty()) return fail();
    std::string url = urls.front();
    // An address that does not parse ends the fetch: later ones are not tried.
    if (!parseUrl(url)) return fail();
    urls.erase(urls.begin());

    services_.http.start(
        catalogRequest(url, settings_.userAgent, settings_.timeoutSeconds), nullptr,
        lifetime_.guard<HttpResponse>([this, url, rest = std::move(urls), offline, refusal,
                                       networkReason](HttpResponse response) mutable {
            if (auto text = acceptedCatalogText(response)) {
                return fetchSignature(std::move(url), std::move(*text), std::move(rest));
            }
            // Any answer from a server means the network is there, for the rest of this fetch.
            const bool stillOffline = offline && !serverAnswered(response);
            std::string reason = failureReason(response);
            fetchFrom(std::move(rest), stillOffline, std::move(refusal),
                      reason.empty() ? std::move(networkReason) : std::move(reason));
        }));
}

void CatalogFlow::fetchSignature(std::string url, std::string text, std::vector<std::string> rest) {
    services_.http.start(
        catalogRequest(signatureUrl(url), settings_.userAgent, settings_.timeoutSeconds), nullptr,
        lifetime_.guard<HttpResponse>([this, url, text = std::move(text),
                                       rest = std::move(rest)](HttpResponse response) mutable {
            const auto refusal = trust_.admit(text, acceptedSignatureText(response));
            if (!refusal) return answer(bridge::catalogEvent(url, text));
            // Like an answer that is no catalog: the next address may serve a good one.
            fetchFrom(std::move(rest), false, reasonName(*refusal), {});
        }));
}

void CatalogFlow::scan(std::vector<Json> apps) {
    ++unanswered_;
    // The work may outlive this flow: it holds only the package system, which outlives both.
    onBackground<Json>(
        services_.background, services_.queue,
        [items = std::move(apps), &packages = services_.packages] {
            return scannedEvent(items, packages);
        },
        lifetime_.guard<Json>([this](Json event) { answer(event); }));
}

}  // namespace suite
