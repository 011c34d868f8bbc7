#include "common/Url.h"

#include "common/Ascii.h"

#include <algorithm>

#include <cstddef>

namespace suite {
namespace {

bool isHex(char c) {
    return hexDigitValue(c) >= 0;
}

bool isUnreserved(char c) {
    return isAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

bool isSubDelim(char c) {
    return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos;
}

bool isGenDelim(char c) {
    return std::string_view(":/?#[]@").find(c) != std::string_view::npos;
}

// The whole character repertoire of RFC 3986; anything else (blank, backslash, '"', '<', '>',
// '^', '`', '{', '|', '}', controls, non-ASCII) makes the text no URI at all.
bool isUriChar(char c) {
    return isUnreserved(c) || isGenDelim(c) || isSubDelim(c) || c == '%';
}

bool isPchar(char c) {
    return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@';
}

// True when every character of `text` is allowed by `allowed` or is part of a "%XX" triplet.
template <typename Allowed>
bool matchesWithPct(std::string_view text, Allowed allowed) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) return false;
            i += 2;
        } else if (!allowed(text[i])) {
            return false;
        }
    }
    return true;
}

bool isValidScheme(std::string_view s) {
    if (s.empty() || !isAsciiAlpha(s.front())) return false;
    for (char c : s) {
        if (!(isAsciiAlnum(c) || c == '+' || c == '-' || c == '.')) return false;
    }
    return true;
}

// dec-octet "." dec-octet "." dec-octet "." dec-octet, without leading zeros.
bool isIpv4(std::string_view s) {
    int octets = 0;
    std::size_t i = 0;
    while (true) {
        std::size_t start = i;
        while (i < s.size() && isAsciiDigit(s[i])) ++i;
        std::size_t len = i - start;
        if (len == 0 || len > 3) return false;
        if (len > 1 && s[start] == '0') return false;
        int value = 0;
        for (std::size_t k = start; k < i; ++k) value = value * 10 + (s[k] - '0');
        if (value > 255) return false;
        ++octets;
        if (i == s.size()) break;
        if (s[i] != '.' || octets == 4) return false;
        ++i;
    }
    return octets == 4;
}

// Counts the 16-bit pieces of one side of an IPv6 address ("a:b:c", maybe ending in an IPv4
// address when `mayEndInIpv4`); -1 when the side is malformed. An empty side has none.
int ipv6Pieces(std::string_view side, bool mayEndInIpv4) {
    if (side.empty()) return 0;
    int pieces = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t colon = side.find(':', start);
        std::string_view piece = side.substr(
            start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
        bool last = colon == std::string_view::npos;
        if (last && mayEndInIpv4 && piece.find('.') != std::string_view::npos) {
            if (!isIpv4(piece)) return -1;
            return pieces + 2;
        }
        if (piece.empty() || piece.size() > 4) return -1;
        for (char c : piece) {
            if (!isHex(c)) return -1;
        }
        ++pieces;
        if (last) return pieces;
        start = colon + 1;
    }
}

bool isIpv6(std::string_view s) {
    std::size_t gap = s.find("::");
    if (gap == std::string_view::npos) return ipv6Pieces(s, true) == 8;
    std::string_view left = s.substr(0, gap);
    std::string_view right = s.substr(gap + 2);
    if (right.find("::") != std::string_view::npos) return false;
    int l = ipv6Pieces(left, false);
    int r = ipv6Pieces(right, true);
    return l >= 0 && r >= 0 && l + r <= 7;
}

// "v" 1*HEXDIG "." 1*( unreserved / sub-delims / ":" )
bool isIpvFuture(std::string_view s) {
    if (s.size() < 4 || (s[0] != 'v' && s[0] != 'V')) return false;
    std::size_t i = 1;
    while (i < s.size() && isHex(s[i])) ++i;
    if (i == 1 || i >= s.size() || s[i] != '.') return false;
    ++i;
    if (i == s.size()) return false;
    for (; i < s.size(); ++i) {
        if (!(isUnreserved(s[i]) || isSubDelim(s[i]) || s[i] == ':')) return false;
    }
    return true;
}

// Fills userinfo, host and port from `authority`; false when it is not valid.
bool parseAuthority(std::string_view authority, Url& url) {
    std::size_t at = authority.find('@');
    if (at != std::string_view::npos) {
        std::string_view userinfo = authority.substr(0, at);
        if (!matchesWithPct(userinfo,
                            [](char c) { return isUnreserved(c) || isSubDelim(c) || c == ':'; }))
            return false;
        url.userinfo = std::string(userinfo);
        authority.remove_prefix(at + 1);
    }

    std::string_view host;
    std::string_view rest;
    if (!authority.empty() && authority.front() == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        std::string_view literal = authority.substr(1, close - 1);
        if (!isIpv6(literal) && !isIpvFuture(literal)) return false;
        host = authority.substr(0, close + 1);
        rest = authority.substr(close + 1);
    } else {
        std::size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : authority.substr(colon);
        if (!matchesWithPct(host, [](char c) { return isUnreserved(c) || isSubDelim(c); }))
            return false;
    }

    if (!rest.empty()) {
        if (rest.front() != ':') return false;
        rest.remove_prefix(1);
        for (char c : rest) {
            if (!isAsciiDigit(c)) return false;
        }
        // No TCP port is above 65535; other readers refuse such an address or wrap the number.
        const auto significant = rest.find_first_not_of('0');
        if (significant != std::string_view::npos &&
            (rest.size() - significant > 5 ||
             std::stoul(std::string(rest.substr(significant))) > 65535)) {
            return false;
        }
        url.port = std::string(rest);
    }
    url.host = lowerAscii(host);
    return true;
}

}  // namespace

std::optional<Url> parseUrl(std::string_view text) {
    for (char c : text) {
        if (!isUriChar(c)) return std::nullopt;
    }

    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view scheme = text.substr(0, colon);
    if (!isValidScheme(scheme)) return std::nullopt;

    Url url;
    url.scheme = lowerAscii(scheme);
    std::string_view rest = text.substr(colon + 1);

    std::size_t hash = rest.find('#');
    if (hash != std::string_view::npos) {
        std::string_view fragment = rest.substr(hash + 1);
        if (!matchesWithPct(fragment, [](char c) { return isPchar(c) || c == '/' || c == '?'; }))
            return std::nullopt;
        url.fragment = std::string(fragment);
        rest = rest.substr(0, hash);
    }

    std::size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        std::string_view query = rest.substr(question + 1);
        if (!matchesWithPct(query, [](char c) { return isPchar(c) || c == '/' || c == '?'; }))
            return std::nullopt;
        url.query = std::string(query);
        rest = rest.substr(0, question);
    }

    std::string_view path = rest;
    if (rest.size() >= 2 && rest[0] == '/' && rest[1] == '/') {
        rest.remove_prefix(2);
        std::size_t slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
        url.hasAuthority = true;
        if (!parseAuthority(authority, url)) return std::nullopt;
    }

    // With an authority the path is empty or starts with '/'; without one it cannot start with
    // "//" (that was taken as an authority above). Either way it is pchars and slashes.
    if (!matchesWithPct(path, [](char c) { return isPchar(c) || c == '/'; })) return std::nullopt;
    url.path = std::string(path);
    return url;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) return std::nullopt;
        out.push_back(
            static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2])));
        i += 2;
    }
    return out;
}

bool hostIsWithin(std::string_view host, std::string_view vendorHost) {
    if (host.empty() || vendorHost.empty()) return false;
    std::string h = lowerAscii(host);
    std::string v = lowerAscii(vendorHost);
    if (h == v) return true;
    // Below it, only a host name as DNS writes it (letters, digits, "-" and "."): RFC 3986 also
    // lets "~",
    // "$", "!" and more stand in a host, which other readers (curl's, the browser's) refuse or
    // read otherwise.
    const auto isNameCharacter = [](char c) { return isAsciiAlnum(c) || c == '-' || c == '.'; };
    if (!std::all_of(host.begin(), host.end(), isNameCharacter)) return false;
    // At least one character of a label, then '.', then the vendor host.
    if (h.size() < v.size() + 2) return false;
    return h.compare(h.size() - v.size(), v.size(), v) == 0 && h[h.size() - v.size() - 1] == '.';
}

namespace {

bool isLoopbackIpv4(std::string_view host) {
    int parts = 0;
    std::size_t start = 0;
    while (start <= host.size()) {
        std::size_t end = host.find('.', start);
        if (end == std::string_view::npos) end = host.size();
        const std::string_view part = host.substr(start, end - start);
        if (part.empty() || part.size() > 3) return false;
        int value = 0;
        for (char c : part) {
            if (!isAsciiDigit(c)) return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255 || (parts == 0 && value != 127)) return false;
        ++parts;
        start = end + 1;
    }
    return parts == 4;
}

}  // namespace

bool isLoopbackHost(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    const std::string lower = lowerAscii(host);
    if (lower == "localhost" || lower == "::1") return true;
    constexpr std::string_view kMapped = "::ffff:";
    return isLoopbackIpv4(lower.starts_with(kMapped)
                              ? std::string_view(lower).substr(kMapped.size())
                              : std::string_view(lower));
}

}  // namespace suite
