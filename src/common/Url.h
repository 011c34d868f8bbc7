#pragma once
// A small, strict RFC 3986 reader for absolute URIs. It is used wherever the program decides
// something by a URL's host (links handed to the browser, download addresses), so it refuses
// anything another reader could take apart differently: only the characters RFC 3986 allows
// (unreserved, reserved and '%' before two hex digits) pass, and every component must match its
// grammar. Backslashes, blanks, control characters and non-ASCII text never parse, so the
// browser's (WHATWG) reading of an accepted URL names the same host as ours.
#include <optional>
#include <string>
#include <string_view>

namespace suite {

struct Url {
    std::string scheme;         // lower-cased, never empty
    std::string userinfo;       // as written (still percent-encoded), without the '@'
    std::string host;           // lower-cased, as written otherwise; "[...]" kept for IP literals
    std::string port;           // digits only, possibly empty; without the ':'
    std::string path;           // as written (still percent-encoded)
    std::string query;          // without the '?'
    std::string fragment;       // without the '#'
    bool hasAuthority = false;  // "//" followed the scheme (the host may still be empty)
};

// `text` read as an absolute URI ("scheme:" followed by the rest), or nothing when it is not
// one by RFC 3986. Query and fragment may be present but empty; the struct does not tell "?"
// from no query.
std::optional<Url> parseUrl(std::string_view text);

// `text` with every "%XX" replaced by its byte, or nothing when a '%' is not followed by two
// hex digits. '+' is left alone. The result may hold any byte, NUL included.
std::optional<std::string> percentDecode(std::string_view text);

// True for "localhost" (in any case), a dotted-decimal 127.0.0.0/8 address, "::1" and
// "::ffff:" followed by such an address, the last two with or without brackets: the spellings
// this program's URL reader keeps and curl's reader writes. Other spellings of these addresses
// are not loopback here, which only ever refuses something.
bool isLoopbackHost(std::string_view host);

// True when `host` is `vendorHost` or a name under it ("downloads." + vendor host), ignoring
// ASCII case, and is written as DNS names are (letters, digits, "-", "."). "evil" + vendor host is
// refused, and so is an empty host or vendor host.
bool hostIsWithin(std::string_view host, std::string_view vendorHost);

}  // namespace suite
