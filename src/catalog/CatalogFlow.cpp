#include "catalog/CatalogFlow.h"

#include "bridge/Events.h"
#include "catalog/CatalogFetch.h"
#include "catalog/KeptCatalog.h"
#include "catalog/Scan.h"
#include "common/Url.h"
#include "common/Utf8.h"
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

void CatalogFlow::fetchFrom(std::vector<std::string> urls, bool offline,
                            std::optional<CatalogRefusal> refusal,
                            std::optional<TransferFailure> networkFailure) {
    auto fail = [&] {
        std::string reason;
        if (refusal) {
            reason = reasonName(*refusal);
        } else if (networkFailure) {
            reason = bridge::reasonWord(*networkFailure);
        }
        answer(bridge::catalogFailedEvent(offline, reason));
    };
    if (urls.empty()) return fail();
    std::string url = urls.front();
    // An address that does not parse ends the fetch: later ones are not tried.
    if (!parseUrl(url)) return fail();
    urls.erase(urls.begin());

    services_.http.start(
        catalogRequest(url, settings_.userAgent, settings_.timeoutSeconds), nullptr,
        lifetime_.guard<HttpResponse>([this, url, rest = std::move(urls), offline, refusal,
                                       networkFailure](HttpResponse response) mutable {
            if (auto text = acceptedCatalogText(response)) {
                return fetchSignature(std::move(url), std::move(*text), std::move(rest));
            }
            // Any answer from a server means the network is there, for the rest of this fetch.
            const bool stillOffline = offline && !serverAnswered(response);
            const auto failure = failureOf(response);
            fetchFrom(std::move(rest), stillOffline, refusal, failure ? failure : networkFailure);
        }));
}

void CatalogFlow::fetchSignature(std::string url, std::string text, std::vector<std::string> rest) {
    services_.http.start(
        catalogRequest(signatureUrl(url), settings_.userAgent, settings_.timeoutSeconds), nullptr,
        lifetime_.guard<HttpResponse>([this, url, text = std::move(text),
                                       rest = std::move(rest)](HttpResponse response) mutable {
            auto signature = acceptedSignatureText(response);
            const Admission admitted = trust_.admit(text, signature);
            if (admitted) {
                answer(bridge::catalogEvent(url, text));
                return keep(std::move(text), std::move(*signature));
            }
            // Like an answer that is no catalog: the next address may serve a good one.
            fetchFrom(std::move(rest), false, admitted.error(), std::nullopt);
        }));
}

void CatalogFlow::keep(std::string document, std::string signature) {
    if (settings_.keptFolder.empty()) return;
    if (keeping_) {
        toKeep_.emplace(std::move(document), std::move(signature));
        return;
    }
    keeping_ = true;
    onBackground<bool>(
        services_.background, services_.queue,
        [folder = settings_.keptFolder, document = std::move(document),
         signature = std::move(signature)] { return keepCatalog(folder, document, signature); },
        lifetime_.guard<bool>([this](bool) {
            keeping_ = false;
            if (!toKeep_) return;
            auto [document, signature] = std::move(*toKeep_);
            toKeep_.reset();
            keep(std::move(document), std::move(signature));
        }));
}

Json CatalogFlow::kept() const {
    if (settings_.keptFolder.empty()) return nullptr;
    auto pair = readKeptCatalog(settings_.keptFolder);
    // Only text that can travel to the page as JSON; a fetched document always could.
    if (!pair || !isValidUtf8(pair->document) ||
        !trust_.isSigned(pair->document, pair->signature)) {
        return nullptr;
    }
    return {{"text", std::move(pair->document)}, {"at", pair->keptAtMs}};
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
