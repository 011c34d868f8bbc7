#pragma once
// The header lines of a response as curl hands them over, one at a time: a status line starts
// each response (an interim 1xx, every redirect hop, the final one), so only the last response's
// headers are kept; an obsolete folded line continues the header before it; the empty line ends
// one response's headers. Reads any bytes a server sends.
#include <optional>
#include <string>
#include <string_view>

#include "common/Ascii.h"
#include "platform/HttpClient.h"

namespace suite::curl {

class ResponseHeaders {
  public:
    // Takes one line, its line break included or not. True when it was the empty line that ends
    // a response's headers.
    bool take(std::string_view line);

    // The status of the response whose headers are arriving: 100 to 999, or 0 when its status
    // line had no three-digit code.
    int status() const { return status_; }
    // The value of the first header called `name` (in any case), if there is one.
    std::optional<std::string> find(std::string_view name) const;
    const HttpHeaders& all() const { return headers_; }
    HttpHeaders release() { return std::move(headers_); }

  private:
    int status_ = 0;
    HttpHeaders headers_;
};

}  // namespace suite::curl
