#include "bridge/SchemeHandler.h"

#include <cstddef>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/Ascii.h"
#include "common/Url.h"
#include "platform/Files.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

// The components of `path` after lexical standardisation: empty and "." components dropped,
// ".." resolved against its parent (and lost above the file-system root). `path` is absolute.
std::vector<std::string> standardComponents(const fs::path& path) {
    std::vector<std::string> parts;
    for (const fs::path& element : path.relative_path()) {
        std::string name = element.string();
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(std::move(name));
    }
    return parts;
}

fs::path joinAbsolute(const std::vector<std::string>& parts) {
    fs::path out = "/";
    for (const std::string& part : parts) out /= part;
    return out;
}

// The path of a request URI as the web view sends it: after the scheme, without the authority
// (the host is not examined), without query and fragment. Still percent-encoded. Nothing when
// the text has no scheme at all.
std::optional<std::string_view> requestPath(std::string_view uri) {
    std::size_t colon = uri.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    if (uri.substr(0, colon).find_first_of("/?#") != std::string_view::npos) return std::nullopt;
    std::string_view rest = uri.substr(colon + 1);
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.size() >= 2 && rest[0] == '/' && rest[1] == '/') {
        std::size_t slash = rest.find('/', 2);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
    }
    return rest;
}

SchemeResponse notFound() {
    return SchemeResponse{404, {}, {}};
}

}  // namespace

SchemeHandler::SchemeHandler(fs::path root) {
    // Every failure leaves the root empty, and an empty root serves nothing: a folder that could
    // not be found must never widen into "/" and hand the page any readable file.
    if (root.empty()) return;
    std::error_code ec;
    fs::path absolute = fs::absolute(root, ec);
    if (ec) return;
    std::vector<std::string> parts = standardComponents(absolute);
    if (!parts.empty()) root_ = joinAbsolute(parts);
}

SchemeResponse SchemeHandler::respond(const std::string& uri) const {
    if (root_.empty()) return notFound();
    std::optional<std::string_view> encoded = requestPath(uri);
    if (!encoded) return notFound();
    std::string_view rawPath = *encoded;
    if (rawPath.empty() || rawPath == "/") rawPath = "/index.html";

    std::string path = percentDecode(rawPath).value_or(std::string(rawPath));
    // A NUL would cut the name short at open(2): "index.html\0.png" must not reach index.html.
    if (path.find('\0') != std::string::npos) return notFound();
    // A trailing '/' names a folder, and only files are served; without this check "index.html/"
    // would lose its empty last component to standardisation and be served as a file.
    if (!path.empty() && path.back() == '/') return notFound();
    std::string_view relative = path;
    if (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);

    // Root and request are standardised as component lists and compared component by component,
    // so a sibling ".../web2" is not inside ".../web".
    const std::vector<std::string> rootParts = standardComponents(root_);
    std::vector<std::string> parts = rootParts;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t slash = relative.find('/', start);
        if (slash == std::string_view::npos) slash = relative.size();
        std::string_view name = relative.substr(start, slash - start);
        if (name == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!name.empty() && name != ".") {
            parts.emplace_back(name);
        }
        start = slash + 1;
    }
    if (parts.size() <= rootParts.size()) return notFound();
    for (std::size_t i = 0; i < rootParts.size(); ++i) {
        if (parts[i] != rootParts[i]) return notFound();
    }

    fs::path file = joinAbsolute(parts);
    std::optional<std::string> body = readWholeFile(file);
    if (!body) return notFound();

    SchemeResponse response;
    response.status = 200;
    response.headers = {
        {"Content-Type", contentTypeFor(file)},
        {"Content-Length", std::to_string(body->size())},
        {"Cache-Control", "no-store"},
    };
    response.body = std::move(*body);
    return response;
}

std::string contentTypeFor(const fs::path& file) {
    std::string extension = lowerAscii(file.extension().string());
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
    if (extension == "html") return "text/html; charset=utf-8";
    if (extension == "js") return "text/javascript; charset=utf-8";
    if (extension == "css") return "text/css; charset=utf-8";
    if (extension == "json") return "application/json; charset=utf-8";
    if (extension == "png") return "image/png";
    if (extension == "svg") return "image/svg+xml";
    if (extension == "woff") return "font/woff";
    return "application/octet-stream";
}

std::optional<fs::path> findWebRoot(const fs::path& executable) {
    const fs::path dir = executable.parent_path();
    const fs::path candidates[] = {
        dir / "web",
        dir / ".." / "share" / "talven-suite" / "web",
    };
    for (const fs::path& candidate : candidates) {
        std::error_code ec;
        if (!fs::is_directory(candidate, ec) || !fs::is_regular_file(candidate / "index.html", ec))
            continue;
        // The handler standardises its root lexically; resolving links here first keeps "..",
        // taken lexically, from meaning another folder than the one just checked (a linked bin/).
        fs::path resolved = fs::canonical(candidate, ec);
        return ec ? candidate : resolved;
    }
    return std::nullopt;
}

}  // namespace suite
