// The "pickFiles" and "sendFeedback" actions: attachments with thumbnails, then the submission,
// one upload per attachment and the done request, all on the shared HTTP client.
#include "app/AppDelegate.h"
#include "bridge/Events.h"
#include "catalog/CatalogFetch.h"
#include "common/Url.h"
#include "feedback/Feedback.h"

namespace suite {

std::map<std::string, std::filesystem::path> AppDelegate::picked;

namespace {

std::string feedbackOrigin(const AppConfig& config) {
    return config.feedbackOriginForTests.empty() ? "https://" + config.vendorHost
                                                 : config.feedbackOriginForTests;
}

}  // namespace

void AppDelegate::pickFeedbackFiles() {
    using Chosen = std::optional<std::vector<std::filesystem::path>>;
    platform_.filePicker.pickFiles(
        window_.get(), lang() == "ar" ? "إضافة" : "Add",
        guardedResult<Chosen>([](AppDelegate& self, Chosen chosen) {
            if (!chosen) return;  // cancelled: no event
            Json records = Json::array();
            for (const auto& file : *chosen) {
                const std::string id = newAttachmentId();
                picked[id] = file;
                records.push_back(attachmentRecord(id, file, self.platform_.fileTypes,
                                                   self.platform_.thumbnailer));
            }
            self.send(bridge::pickedEvent(std::move(records)));
        }));
}

void AppDelegate::sendFeedback(const Json& message) {
    // The page gives up waiting before a slow upload may end; its "send again" then belongs to
    // the submission still under way, whose one result it will get, and must not start another.
    if (feedbackSending_) return;
    feedbackSending_ = true;
    auto submission =
        feedbackSubmission(message, picked, config_.deviceDescription, platform_.fileTypes);

    // Always through the queue, so the result never arrives inside the call that started it.
    std::weak_ptr<AppDelegate*> weak = alive_;
    FeedbackFinish finish = [&queue = platform_.queue, weak, ids = submission.ids](
                                bool ok, std::string error) {
        queue.post([weak, ids, ok, error] {
            auto self = weak.lock();
            if (!self) return;
            (*self)->feedbackSending_ = false;
            if (ok) {
                for (const auto& id : ids) picked.erase(id);
            }
            (*self)->send(bridge::feedbackResultEvent(ok, error));
        });
    };

    auto json = compactJson(submission.record);
    const std::string url = submitUrl(feedbackOrigin(config_));
    if (!json || !parseUrl(url)) return finish(false, "send");

    HttpRequest request;
    request.method = "POST";
    request.url = url;
    request.headers = {{"Content-Type", "application/json"},
                       {"User-Agent", catalogUserAgent(launch_.appVersion, config_.hostTag)}};
    request.timeoutSeconds = config_.feedbackSubmitTimeoutSeconds;
    request.body = std::move(*json);
    platform_.http.start(
        std::move(request), nullptr,
        guardedResult<HttpResponse>([files = std::move(submission.files), total = submission.total,
                                     finish](AppDelegate& self, HttpResponse response) {
            auto answer = readSubmitAnswer(response);
            if (!answer.error.empty()) return finish(false, answer.error);
            // Without a submission id the attachments stay home, and the feedback still counts.
            if (files.empty() || answer.id.empty()) return finish(true, "");
            self.upload(files, 0, answer.id, answer.token, 0, total, finish);
        }));
}

void AppDelegate::upload(std::vector<std::filesystem::path> files, std::size_t index,
                         std::string id, std::string token, std::int64_t sent, std::int64_t total,
                         FeedbackFinish finish) {
    const std::string origin = feedbackOrigin(config_);
    HttpRequest request;
    request.method = "POST";
    const std::string userAgent = catalogUserAgent(launch_.appVersion, config_.hostTag);
    request.headers = {{"User-Agent", userAgent}};
    if (index == files.size()) {
        request.url = doneUrl(origin, id, token);
        request.timeoutSeconds = config_.feedbackDoneTimeoutSeconds;
        if (!parseUrl(request.url)) return finish(false, "send");
        // A delivered feedback with attachments reports "send" too: the page reads "ok".
        platform_.http.start(std::move(request), nullptr, [finish](HttpResponse response) {
            finish(response.error == TransportError::None && response.status == 200, "send");
        });
        return;
    }

    const auto& file = files[index];
    const std::int64_t size = fileSizeOf(file);
    request.method = "PUT";
    request.url = fileUrl(origin, id, index + 1, token);
    if (!parseUrl(request.url)) return finish(false, "send");
    request.headers = {{"Content-Type", mimeTypeOf(file, platform_.fileTypes)},
                       {"User-Agent", userAgent}};
    request.timeoutSeconds = config_.feedbackFileTimeoutSeconds;
    request.totalSeconds =
        ceilingForBytes(static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0)));
    request.bodyFile = file;  // streamed, never read whole

    // Like a progress object's observer: only changes count, none for the start.
    auto lastFraction = std::make_shared<double>(0);
    auto onProgress = guardedResult<HttpProgress>(
        [sent, size, total, lastFraction](AppDelegate& self, HttpProgress progress) {
            if (!progress.totalToSend || *progress.totalToSend == 0) return;
            const double fraction = static_cast<double>(progress.sent) /
                                    static_cast<double>(*progress.totalToSend);
            if (fraction == *lastFraction) return;
            *lastFraction = fraction;
            self.send(bridge::feedbackProgressEvent(feedbackPct(sent, fraction, size, total)));
        });
    // The client reports no progress after the completion, so none follows for this file.
    platform_.http.start(
        std::move(request), std::move(onProgress),
        guardedResult<HttpResponse>([files, index, id, token, sent, size, total, finish](
                                        AppDelegate& self, HttpResponse response) {
            auto error = fileUploadError(response);
            if (!error.empty()) return finish(false, error);
            self.upload(files, index + 1, id, token, sent + size, total, finish);
        }));
}

}  // namespace suite
