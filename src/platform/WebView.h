#pragma once
// The web view that shows the page, and the answer the page's own URL scheme gives.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace suite {

// One answer of the "suite" scheme: status, header fields in order, and the whole body.
struct SchemeResponse {
    int status = 404;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

// Answers every request of the web view for the "suite" scheme; `uri` is the full request URI.
using SchemeResponder = std::function<SchemeResponse(const std::string& uri)>;

class WebView {
  public:
    virtual ~WebView() = default;

    virtual void loadUri(const std::string& uri) = 0;

    // Evaluates `source` in the main frame. Its result and errors are of no interest to the
    // program; `done` (may be empty) runs on the main thread once the evaluation has completed.
    virtual void evaluateJavaScript(const std::string& source, std::function<void()> done) = 0;

    // The visible area of the page as PNG bytes, or nothing when no picture can be had.
    virtual void snapshotPng(std::function<void(std::optional<std::string> png)> done) = 0;

    // Width of the view in points.
    virtual double width() const = 0;

    virtual double zoom() const = 0;
    virtual void setZoom(double zoom) = 0;
};

}  // namespace suite
