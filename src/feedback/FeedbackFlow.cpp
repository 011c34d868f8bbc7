#include "feedback/FeedbackFlow.h"

#include <algorithm>

#include "bridge/Events.h"
#include "common/Url.h"
#include "feedback/Feedback.h"

namespace suite {

// One submission on its way: the attachments to upload in order, and how far it got.
struct FeedbackFlow::Upload {
    std::vector<std::filesystem::path> files;
    std::vector<std::string> ids;  // the attachments' ids, forgotten once delivered
    std::int64_t total = 0;        // bytes of all attachments
    std::string id, token;         // the service's name for the submission
    std::size_t next = 0;          // the attachment to upload next; files.size(): done
    std::int64_t sent = 0;         // bytes of the attachments already uploaded
};

FeedbackFlow::FeedbackFlow(FeedbackSettings settings, FeedbackServices services, Send send)
    : settings_(std::move(settings)), services_(services), send_(std::move(send)) {}

void FeedbackFlow::pickFiles(Window* parent, const FilePickerText& text) {
    using Chosen = std::optional<std::vector<std::filesystem::path>>;
    services_.filePicker.pickFiles(parent, text, lifetime_.guard<Chosen>([this](Chosen chosen) {
        if (!chosen) return;  // cancelled: no event
        Json records = Json::array();
        for (const auto& file : *chosen) {
            const std::string id = newAttachmentId();
            picked_[id] = file;
            records.push_back(
                attachmentRecord(id, file, services_.fileTypes, services_.thumbnailer));
        }
        send_(bridge::pickedEvent(std::move(records)));
    }));
}

HttpRequest FeedbackFlow::request(std::string method, std::string url,
                                  double timeoutSeconds) const {
    HttpRequest request;
    request.method = std::move(method);
    request.url = std::move(url);
    request.headers = {{"User-Agent", settings_.userAgent}};
    request.timeoutSeconds = timeoutSeconds;
    return request;
}

void FeedbackFlow::send(const Json& message) {
    if (sending_) return;
    sending_ = true;
    auto submission =
        feedbackSubmission(message, picked_, settings_.deviceDescription, services_.fileTypes);
    auto upload = std::make_shared<Upload>();
    upload->files = std::move(submission.files);
    upload->ids = std::move(submission.ids);
    upload->total = submission.total;

    auto json = compactJson(submission.record);
    HttpRequest submit =
        request("POST", submitUrl(settings_.origin), settings_.submitTimeoutSeconds);
    if (!json || !parseUrl(submit.url)) return finish(upload, false, "send");
    submit.headers.emplace(submit.headers.begin(), "Content-Type", "application/json");
    submit.body = std::move(*json);
    services_.http.start(std::move(submit), nullptr,
                         lifetime_.guard<HttpResponse>([this, upload](HttpResponse response) {
                             auto answer = readSubmitAnswer(response);
                             if (!answer.error.empty()) return finish(upload, false, answer.error);
                             // Without a submission id the attachments stay home, and the
                             // feedback still counts.
                             if (upload->files.empty() || answer.id.empty()) {
                                 return finish(upload, true, "");
                             }
                             upload->id = answer.id;
                             upload->token = answer.token;
                             uploadNext(upload);
                         }));
}

void FeedbackFlow::uploadNext(std::shared_ptr<Upload> upload) {
    if (upload->next == upload->files.size()) {
        HttpRequest done = request("POST", doneUrl(settings_.origin, upload->id, upload->token),
                                   settings_.doneTimeoutSeconds);
        if (!parseUrl(done.url)) return finish(upload, false, "send");
        // A delivered feedback with attachments reports "send" too: the page reads "ok".
        services_.http.start(
            std::move(done), nullptr,
            lifetime_.guard<HttpResponse>([this, upload](HttpResponse response) {
                finish(upload, response.error == TransportError::None && response.status == 200,
                       "send");
            }));
        return;
    }

    const auto& file = upload->files[upload->next];
    const std::int64_t size = fileSizeOf(file);
    HttpRequest put =
        request("PUT", fileUrl(settings_.origin, upload->id, upload->next + 1, upload->token),
                settings_.fileTimeoutSeconds);
    if (!parseUrl(put.url)) return finish(upload, false, "send");
    put.headers.emplace(put.headers.begin(), "Content-Type", mimeTypeOf(file, services_.fileTypes));
    put.totalSeconds = ceilingForBytes(static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0)));
    put.bodyFile = file;  // streamed, never read whole

    // Like a progress object's observer: only changes count, none for the start.
    auto lastFraction = std::make_shared<double>(0);
    auto onProgress =
        lifetime_.guard<HttpProgress>([this, upload, size, lastFraction](HttpProgress progress) {
            if (!progress.totalToSend || *progress.totalToSend == 0) return;
            const double fraction =
                static_cast<double>(progress.sent) / static_cast<double>(*progress.totalToSend);
            if (fraction == *lastFraction) return;
            *lastFraction = fraction;
            send_(bridge::feedbackProgressEvent(
                feedbackPct(upload->sent, fraction, size, upload->total)));
        });
    // The client reports no progress after the completion, so none follows for this file.
    services_.http.start(std::move(put), std::move(onProgress),
                         lifetime_.guard<HttpResponse>([this, upload, size](HttpResponse response) {
                             auto error = fileUploadError(response);
                             if (!error.empty()) return finish(upload, false, error);
                             upload->sent += size;
                             ++upload->next;
                             uploadNext(upload);
                         }));
}

void FeedbackFlow::finish(std::shared_ptr<Upload> upload, bool ok, std::string error) {
    services_.queue.post(lifetime_.guard([this, upload, ok, error] {
        sending_ = false;
        if (ok) {
            for (const auto& id : upload->ids) picked_.erase(id);
        }
        send_(bridge::feedbackResultEvent(ok, error));
    }));
}

}  // namespace suite
