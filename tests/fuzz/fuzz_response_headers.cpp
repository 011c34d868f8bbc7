// Whatever header lines a server sends, reading them never crashes: a status is 0 or a real
// three-digit code, a status line starts the headers afresh, and a header is never found that
// was not sent after the last status line.
#include "backends/curl/ResponseHeaders.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    using suite::fuzz::require;
    suite::curl::ResponseHeaders headers;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty()) {
        const auto cut = rest.find('\n');
        const std::string_view line = rest.substr(0, cut == std::string_view::npos ? cut : cut + 1);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        headers.take(line);
        require(headers.status() == 0 || (headers.status() >= 100 && headers.status() <= 999),
                "a status is a three-digit code");
        if (line.starts_with("HTTP/")) {
            require(!headers.find("Location").has_value(), "a status line starts afresh");
        }
    }
    for (const auto& [name, value] : headers.release()) {
        require(name.find('\n') == std::string::npos && value.find('\n') == std::string::npos,
                "no header holds a line break");
    }
    return 0;
}
