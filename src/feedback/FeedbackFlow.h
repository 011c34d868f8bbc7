#pragma once
// Feedback, from the page's request to its one result: attachments picked (each with an id for
// this run and, for pictures, a thumbnail), then the submission, one streamed upload per
// attachment and the done request, all on the shared HTTP client. Main thread only; the result
// always comes through the main queue, never inside the call that started the submission.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Json.h"
#include "common/Lifetime.h"
#include "platform/FilePicker.h"
#include "platform/FileTypes.h"
#include "platform/HttpClient.h"
#include "platform/MainQueue.h"
#include "platform/Window.h"

namespace suite {

struct FeedbackSettings {
    std::string origin;  // the feedback service: "https://" + the vendor host
    std::string userAgent;
    std::string deviceDescription;  // "Linux 6.1.0, x86_64", sent when the user allows it
    // Time without data for each of the three stages.
    double submitTimeoutSeconds = 30, fileTimeoutSeconds = 600, doneTimeoutSeconds = 30;
};

struct FeedbackServices {
    MainQueue& queue;
    HttpClient& http;
    FilePicker& filePicker;
    FileTypes& fileTypes;
    Thumbnailer& thumbnailer;
};

class FeedbackFlow {
  public:
    using Send = std::function<void(const Json&)>;

    FeedbackFlow(FeedbackSettings settings, FeedbackServices services, Send send);
    FeedbackFlow(const FeedbackFlow&) = delete;
    FeedbackFlow& operator=(const FeedbackFlow&) = delete;

    // Asks the user for files over `parent`; the chosen ones go to the page as "picked".
    void pickFiles(Window* parent, const FilePickerText& text);
    // Sends the page's "sendFeedback" message. While one submission is under way, another is
    // ignored: the page's "send again" after it gave up waiting belongs to the one still going.
    void send(const Json& message);

    // A submission has not had its result yet.
    bool busy() const { return sending_; }

    // The attachments picked in this run and not yet delivered, by id.
    std::map<std::string, std::filesystem::path>& picked() { return picked_; }

  private:
    struct Upload;
    void uploadNext(std::shared_ptr<Upload> upload);
    void finish(std::shared_ptr<Upload> upload, bool ok, std::string error);
    HttpRequest request(std::string method, std::string url, double timeoutSeconds) const;

    const FeedbackSettings settings_;
    FeedbackServices services_;
    Send send_;
    std::map<std::string, std::filesystem::path> picked_;
    bool sending_ = false;  // from "sendFeedback" until its "feedbackResult"
    Lifetime lifetime_;
};

}  // namespace suite
