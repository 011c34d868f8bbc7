#pragma once
// What a CurlHttpClient is allowed to do beyond the program's fixed rules. Everything except the
// User-Agent and the proxy lookup exists for tests against servers on this machine; the program
// sets none of it.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace suite {

struct CurlClientOptions {
    // Certificates to trust for server verification in place of curl's built-in bundle file.
    // On Debian curl also reads the system folder /etc/ssl/certs, so the system store stays
    // trusted; tests use this for their self-signed servers. Empty: the system store only.
    std::filesystem::path caFile = {};
    // Plain http to 127.0.0.0/8, ::1 and "localhost" (never anywhere else, also not by redirect).
    bool allowPlainHttpToLoopback = false;
    // curl RESOLVE entries ("host:port:127.0.0.1") so tests can give a loopback server a name.
    std::vector<std::string> resolve = {};
    // curl CONNECT_TO entries ("::127.0.0.1:PORT") so a test service on any port can stand in for
    // https://host/ addresses, names and certificate checks unchanged.
    std::vector<std::string> connectTo = {};
    // Sent as User-Agent when a request sets none; empty sends none.
    std::string userAgent = {};
    // The proxy a request to this address goes through, as curl names proxies ("" for none),
    // asked for every request on the client's thread, so it may block briefly (a PAC script).
    // Nothing, or no lookup at all: curl's own choice from the environment.
    std::function<std::optional<std::string>(const std::string& url)> proxyFor = {};
};

}  // namespace suite
