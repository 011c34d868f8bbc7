#pragma once
// The pure logic of attachments and feedback submission: records, sizes, addresses, answers and
// progress. The operations that use it are AppDelegate::pickFeedbackFiles, ::sendFeedback and
// ::upload (FeedbackOperations.cpp).
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Json.h"
#include "platform/FileTypes.h"
#include "platform/HttpClient.h"

namespace suite {

// A fresh random UUID (version 4) in upper-case 8-4-4-4-12 form.
std::string newAttachmentId();

// The MIME type the registry gives the file's name, "application/octet-stream" when none.
std::string mimeTypeOf(const std::filesystem::path& file, const FileTypes& types);

// The file's size in bytes; 0 when it cannot be read.
std::int64_t fileSizeOf(const std::filesystem::path& file);

// scale = 120 / max(w, h), each side truncated and at least 1 (13 x 13 gives 119 x 119); nothing
// when a side is not above 0.
std::optional<PixelSize> thumbnailSize(double width, double height);

// "data:image/jpeg;base64,..." of the picture's 120-pixel JPEG (quality 70), or nothing.
std::optional<std::string> thumbnailOf(const std::filesystem::path& file, Thumbnailer& pictures);

// The "picked" event's record of one file: id, name, size, type and, for "image/" types whose
// thumbnail could be made, thumb.
Json attachmentRecord(const std::string& id, const std::filesystem::path& file,
                      const FileTypes& types, Thumbnailer& pictures);

// Every byte other than an ASCII letter or digit as "%XX" (upper-case hex).
std::string enc(std::string_view text);

// What a "sendFeedback" message asks for, resolved against the picked files.
struct FeedbackSubmission {
    Json record;                               // the page's "data" with "os" and "files" set
    std::vector<std::filesystem::path> files;  // the attachments in sending order
    std::vector<std::string> ids;              // "files" as sent, known or not
    std::int64_t total = 1;                    // bytes of all attachments, at least 1
};
FeedbackSubmission feedbackSubmission(const Json& message,
                                      const std::map<std::string, std::filesystem::path>& picked,
                                      const std::string& deviceDescription, const FileTypes& types);

// The service's addresses under `base` ("https://" + vendor host); n is 1-based.
std::string submitUrl(const std::string& base);
std::string fileUrl(const std::string& base, const std::string& id, std::size_t n,
                    const std::string& token);
std::string doneUrl(const std::string& base, const std::string& id, const std::string& token);

// The submit stage's answer.
struct SubmitAnswer {
    std::string error;  // "" when accepted, else "offline" or "send"
    std::string id, token;
};
SubmitAnswer readSubmitAnswer(const HttpResponse& response);

// The file stage's verdict: "" to go on with the next file, else "offline" or "send".
std::string fileUploadError(const HttpResponse& response);

// The progress share in percent: (sent + fraction x size, truncated to whole bytes) x 100 / total,
// never above 99.
double feedbackPct(std::int64_t sent, double fraction, std::int64_t size, std::int64_t total);

}  // namespace suite
