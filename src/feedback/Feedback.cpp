#include "feedback/Feedback.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <system_error>

#include "common/Ascii.h"
#include "common/Utf8.h"
#include "platform/Random.h"

namespace suite {

namespace {

constexpr const char* kUnknownType = "application/octet-stream";

// File names on this system are bytes; the page and the service get UTF-8, with U+FFFD for any
// byte sequence that is not.
std::string displayName(const std::filesystem::path& file) {
    std::string name = file.filename().string();
    if (isValidUtf8(name)) return name;
    return Json::parse(Json(name).dump(-1, ' ', false, Json::error_handler_t::replace))
        .get<std::string>();
}

}  // namespace

std::string newAttachmentId() {
    std::array<unsigned char, 16> bytes{};
    if (!randomBytes(bytes.data(), bytes.size())) {
        std::random_device device;
        for (auto& byte : bytes) byte = static_cast<unsigned char>(device());
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += hex[bytes[i] >> 4];
        out += hex[bytes[i] & 15];
    }
    return out;
}

std::string mimeTypeOf(const std::filesystem::path& file, const FileTypes& types) {
    auto type = types.mimeTypeForName(file.filename().string());
    return type && !type->empty() ? *type : kUnknownType;
}

std::int64_t fileSizeOf(const std::filesystem::path& file) {
    std::error_code error;
    auto size = std::filesystem::file_size(file, error);
    return error ? 0 : static_cast<std::int64_t>(size);
}

std::optional<PixelSize> thumbnailSize(double width, double height) {
    if (!(width > 0) || !(height > 0)) return std::nullopt;
    const double scale = 120.0 / std::max(width, height);
    auto side = [scale](double length) {
        const double scaled = std::trunc(length * scale);
        return scaled < 1 ? 1 : static_cast<int>(scaled);
    };
    return PixelSize{side(width), side(height)};
}

std::optional<std::string> thumbnailOf(const std::filesystem::path& file, Thumbnailer& pictures) {
    auto picture = pictures.pictureSize(file);
    if (!picture) return std::nullopt;
    auto size = thumbnailSize(picture->width, picture->height);
    if (!size) return std::nullopt;
    auto jpeg = pictures.jpegOf(file, *size, 70);
    if (!jpeg || jpeg->empty()) return std::nullopt;
    return "data:image/jpeg;base64," + base64(*jpeg);
}

Json attachmentRecord(const std::string& id, const std::filesystem::path& file,
                      const FileTypes& types, Thumbnailer& pictures) {
    const std::string type = mimeTypeOf(file, types);
    Json record = {
        {"id", id}, {"name", displayName(file)}, {"size", fileSizeOf(file)}, {"type", type}};
    if (type.rfind("image/", 0) == 0) {
        if (auto thumb = thumbnailOf(file, pictures)) record["thumb"] = *thumb;
    }
    return record;
}

std::string enc(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isAsciiAlnum(c)) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

FeedbackSubmission feedbackSubmission(const Json& message,
                                      const std::map<std::string, std::filesystem::path>& picked,
                                      const std::string& deviceDescription,
                                      const FileTypes& types) {
    FeedbackSubmission submission;
    submission.record = objectMemberOrEmpty(message, "data");
    submission.ids = stringListMember(message, "files");
    Json described = Json::array();
    std::int64_t total = 0;
    for (const auto& id : submission.ids) {
        auto found = picked.find(id);
        if (found == picked.end()) continue;
        const auto size = fileSizeOf(found->second);
        submission.files.push_back(found->second);
        described.push_back({{"name", displayName(found->second)},
                             {"size", size},
                             {"type", mimeTypeOf(found->second, types)}});
        total += size;
    }
    if (boolMember(submission.record, "device") == true) {
        submission.record["os"] = deviceDescription;
    }
    submission.record["files"] = std::move(described);
    submission.total = std::max<std::int64_t>(total, 1);
    return submission;
}

std::string submitUrl(const std::string& base) {
    return base + "/api/feedback";
}

std::string fileUrl(const std::string& base, const std::string& id, std::size_t n,
                    const std::string& token) {
    return base + "/api/feedback/file?id=" + enc(id) + "&n=" + std::to_string(n) +
           "&t=" + enc(token);
}

std::string doneUrl(const std::string& base, const std::string& id, const std::string& token) {
    return base + "/api/feedback/done?id=" + enc(id) + "&t=" + enc(token);
}

SubmitAnswer readSubmitAnswer(const HttpResponse& response) {
    switch (response.error) {
        case TransportError::None:
            break;
        case TransportError::NoConnection:
        case TransportError::ConnectionLost:
        case TransportError::HostNotFound:
        case TransportError::TimedOut:
            return {"offline", "", ""};
        default:
            return {"send", "", ""};
    }
    if (response.status != 200) return {"send", "", ""};
    const Json body = parseJson(response.body);
    if (!body.is_object() || body.empty() || boolMember(body, "ok") != true) {
        return {"send", "", ""};
    }
    return {"", stringMember(body, "id").value_or(""), stringMember(body, "token").value_or("")};
}

std::string fileUploadError(const HttpResponse& response) {
    if (response.error == TransportError::NoConnection ||
        response.error == TransportError::ConnectionLost) {
        return "offline";
    }
    return response.error == TransportError::None && response.status == 200 ? "" : "send";
}

double feedbackPct(std::int64_t sent, double fraction, std::int64_t size, std::int64_t total) {
    const double bytes =
        std::trunc(static_cast<double>(sent) + fraction * static_cast<double>(size));
    return std::min(bytes * 100.0 / static_cast<double>(total), 99.0);
}

}  // namespace suite
