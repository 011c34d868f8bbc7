#include "privileged/HelperRecords.h"

#include "platform/InstallerRecords.h"

namespace suite::privileged {

void Records::line(const std::string& record) {
    std::fprintf(out_, "%s\n", record.c_str());
    std::fflush(out_);
}

void Records::relay(std::size_t index, std::string_view text) {
    while (!text.empty()) {
        const std::size_t cut = text.find('\n');
        std::string piece(text.substr(0, cut));
        std::erase(piece, '\r');
        line(outputRecord(index, piece));
        text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
    }
}

void Records::fail(std::size_t index, const FailureReason& reason) {
    line(failureRecord(index, reason));
}

ProcessOptions toolOptions(double timeoutSeconds) {
    ProcessOptions options;
    options.mergeStandardError = true;
    options.outputLimit = 4u << 20;
    options.timeoutSeconds = timeoutSeconds;
    options.environment = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"},
                           {"DEBIAN_FRONTEND", "noninteractive"},
                           {"APT_LISTCHANGES_FRONTEND", "none"},
                           {"LC_ALL", "C.UTF-8"}};
    return options;
}

}  // namespace suite::privileged
