#include "backends/curl/CurlTransfer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <limits>
#include <utility>

#include "backends/curl/TransportErrorFromCurl.h"
#include "backends/curl/UrlPolicy.h"

namespace suite::curl {

namespace {

// RFC 9110 token: what a method or a header name may consist of.
bool isToken(std::string_view text) {
    static constexpr std::string_view kSymbols = "!#$%&'*+-.^_`|~";
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) ||
               kSymbols.find(c) != std::string_view::npos;
    });
}

// A value with a line break would let the caller's text start a header (or a request) of its own.
bool isSafeHeaderValue(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool hasHeader(const HttpHeaders& headers, std::string_view name) {
    return std::any_of(headers.begin(), headers.end(), [&](const auto& header) {
        return equalsIgnoringAsciiCase(header.first, name);
    });
}

// The first byte a 206 carries, from "Content-Range: bytes FIRST-LAST/LENGTH".
std::optional<std::uint64_t> rangeStart(const std::optional<std::string>& contentRange) {
    if (!contentRange) return std::nullopt;
    std::string_view text(*contentRange);
    constexpr std::string_view kUnit = "bytes ";
    if (!text.starts_with(kUnit)) return std::nullopt;
    text.remove_prefix(kUnit.size());
    std::uint64_t first = 0;
    std::size_t digits = 0;
    for (; digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]));
         ++digits) {
        if (first > (UINT64_MAX - 9) / 10) return std::nullopt;
        first = first * 10 + static_cast<std::uint64_t>(text[digits] - '0');
    }
    if (digits == 0 || digits == text.size() || text[digits] != '-') return std::nullopt;
    return first;
}

bool isFileFull(int error) {
    return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

std::uint64_t nonNegative(curl_off_t value) {
    return value > 0 ? static_cast<std::uint64_t>(value) : 0;
}

// Collects whether every option took: curl refuses unknown protocols or values it was built
// without, and a silently ignored rule would be worse than a failed request.
class OptionSetter {
  public:
    explicit OptionSetter(CURL* easy) : easy_(easy) {}
    template <typename Value>
    void operator()(CURLoption option, Value value) {
        if (ok_ && curl_easy_setopt(easy_, option, value) != CURLE_OK) ok_ = false;
    }
    bool ok() const { return ok_; }

  private:
    CURL* easy_;
    bool ok_ = true;
};

}  // namespace

CurlTransfer::CurlTransfer(HttpRequest request, std::shared_ptr<TransferDelivery> delivery,
                           const CurlClientOptions& options)
    : request_(std::move(request)),
      delivery_(std::move(delivery)),
      options_(options),
      sink_(request_.responseFile, request_.responseFile.empty() ? 0 : request_.resumeFrom,
            request_.responseFile.empty() ? nullptr : request_.responseDigest) {}

Expected<void, TransferStop> CurlTransfer::prepare() {
    if (auto permitted = permitUrl(request_.url, options_.allowPlainHttpToLoopback); !permitted) {
        return unexpected(TransferStop{TransportError::Refused, permitted.error()});
    }
    if (auto prepared = prepareHandle(); !prepared) {
        return unexpected(TransferStop{TransportError::Other, prepared.error()});
    }
    return {};
}

CurlTransfer::Step CurlTransfer::prepareHandle() {
    easy_.reset(curl_easy_init());
    if (!easy_) return unexpected<std::string>("cannot create a curl handle");

    const char* protocols = options_.allowPlainHttpToLoopback ? "http,https" : "https";
    OptionSetter set(easy_.get());
    set(CURLOPT_URL, request_.url.c_str());
    set(CURLOPT_PROTOCOLS_STR, protocols);
    set(CURLOPT_REDIR_PROTOCOLS_STR, protocols);
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, 10L);
    set(CURLOPT_NOSIGNAL, 1L);
    // libcurl's 16 KiB default receive buffer costs a third of the speed of a large download
    // on a fast link; 100 KiB is what the curl tool itself uses.
    set(CURLOPT_BUFFERSIZE, 102400L);
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    set(CURLOPT_ERRORBUFFER, curlMessage_);
    set(CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(this));
    set(CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, &CurlTransfer::onProgress);
    set(CURLOPT_XFERINFODATA, static_cast<void*>(this));
    // Removing a transfer that is still resolving its host name would otherwise wait for the
    // lookup to end, so a cancel (or closing the program) could hang for the resolver's timeout.
    // Best effort: without it a cancel is only slower.
    curl_easy_setopt(easy_.get(), CURLOPT_QUICK_EXIT, 1L);
    if (!options_.caFile.empty()) set(CURLOPT_CAINFO, options_.caFile.c_str());
    if (!options_.resolve.empty()) {
        for (const auto& entry : options_.resolve) {
            if (!resolveLines_.append(entry.c_str()))
                return unexpected<std::string>("out of memory");
        }
        set(CURLOPT_RESOLVE, resolveLines_.get());
    }
    if (options_.proxyFor) {
        if (const auto proxy = options_.proxyFor(request_.url)) {
            set(CURLOPT_PROXY, proxy->c_str());
            // The lookup has already weighed the desktop's exceptions; curl's reading of
            // no_proxy must not overrule it.
            set(CURLOPT_NOPROXY, "");
        }
    }
    if (!options_.connectTo.empty()) {
        for (const auto& entry : options_.connectTo) {
            if (!connectToLines_.append(entry.c_str()))
                return unexpected<std::string>("out of memory");
        }
        set(CURLOPT_CONNECT_TO, connectToLines_.get());
    }

    const double seconds = request_.timeoutSeconds;
    if (seconds > 0 && std::isfinite(seconds)) {
        // Whole milliseconds, rounded up so a tiny timeout is not none; capped far beyond any
        // real wait so the count fits in curl's long.
        const double milliseconds = std::min(std::ceil(seconds * 1000), 2'000'000'000.0);
        idleLimit_ = std::chrono::milliseconds(static_cast<long long>(milliseconds));
        set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(milliseconds));
    }
    const double ceiling = request_.totalSeconds;
    if (ceiling > 0 && std::isfinite(ceiling)) {
        const double milliseconds = std::min(std::ceil(ceiling * 1000), 2'000'000'000.0);
        set(CURLOPT_TIMEOUT_MS, static_cast<long>(milliseconds));
    }
    const double slowFor = request_.lowSpeedSeconds;
    if (request_.lowSpeedBytesPerSecond > 0 && slowFor > 0 && std::isfinite(slowFor)) {
        // curl measures the rate over its last few seconds and checks it at least once a
        // second, also while nothing arrives; it counts in whole seconds, so a fraction is
        // rounded up rather than turned into no rule.
        const auto limit = std::min<std::uint64_t>(request_.lowSpeedBytesPerSecond, 1u << 30);
        set(CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(limit));
        set(CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::min(std::ceil(slowFor), 1e9)));
    }
    if (request_.maxBodyBytes > 0) {
        // curl refuses an answer whose announced length is too long before any of it arrives;
        // onBody holds answers of unannounced or understated length to the same limit.
        const auto largest = static_cast<std::uint64_t>(std::numeric_limits<curl_off_t>::max());
        const auto limit = std::min(request_.maxBodyBytes, largest);
        set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limit));
    }
    if (sink_.toFile() && request_.resumeFrom > 0) {
        // A plain Range, not curl's resume: curl would refuse a 200 instead of letting the file
        // start again, and the If-Range decides which of the two the server sends.
        const std::string range = std::to_string(request_.resumeFrom) + "-";
        set(CURLOPT_RANGE, range.c_str());
        if (!request_.ifRange.empty()) request_.headers.emplace_back("If-Range", request_.ifRange);
    }
    if (!set.ok()) return unexpected<std::string>("curl refused one of the client's rules");

    if (auto step = setMethodAndBody(); !step) return step;
    if (auto step = setHeaders(); !step) return step;
    lastActivity_ = Clock::now();
    return {};
}

CurlTransfer::Step CurlTransfer::setMethodAndBody() {
    const std::string& method = request_.method;
    if (!isToken(method))
        return unexpected<std::string>("the method \"" + method + "\" is not valid");
    if (!request_.bodyFile.empty()) {
        auto opened = RequestBodySource::fromFile(request_.bodyFile);
        if (!opened) return unexpected(opened.error());
        body_ = std::move(*opened);
    } else if (!request_.body.empty()) {
        body_ = RequestBodySource::fromMemory(std::move(request_.body));
        request_.body.clear();
    }

    OptionSetter set(easy_.get());
    if (method == "HEAD") {
        if (body_) return unexpected<std::string>("a HEAD request cannot carry a body");
        set(CURLOPT_NOBODY, 1L);
        if (!set.ok()) return unexpected<std::string>("curl refused HEAD");
        return {};
    }
    if (method == "GET" && !body_) {
        set(CURLOPT_HTTPGET, 1L);
        if (!set.ok()) return unexpected<std::string>("curl refused GET");
        return {};
    }
    if (method != "PUT" && method != "POST" && !body_) {
        set(CURLOPT_CUSTOMREQUEST, method.c_str());
        if (!set.ok()) return unexpected<std::string>("curl refused the method");
        return {};
    }

    // Everything that sends a body pulls it through the read callback, whether it lives in
    // memory or in a file, so both report the same progress and rewind the same way.
    if (!body_) body_ = RequestBodySource::fromMemory({});
    const auto size = static_cast<curl_off_t>(body_->size());
    if (method == "PUT") {
        set(CURLOPT_UPLOAD, 1L);
        set(CURLOPT_INFILESIZE_LARGE, size);
    } else {
        set(CURLOPT_POST, 1L);
        set(CURLOPT_POSTFIELDSIZE_LARGE, size);
        if (method != "POST") set(CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    // With curl's default 64 KiB upload buffer a large file went out 10-30 % slower than the curl
    // tool sends it over loopback (bench_upload); small bodies keep the default.
    if (body_->size() > 65536) set(CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
    set(CURLOPT_READFUNCTION, &CurlTransfer::onRead);
    set(CURLOPT_READDATA, static_cast<void*>(this));
    set(CURLOPT_SEEKFUNCTION, &CurlTransfer::onSeek);
    set(CURLOPT_SEEKDATA, static_cast<void*>(this));
    if (!set.ok()) return unexpected<std::string>("curl refused the request body");
    return {};
}

CurlTransfer::Step CurlTransfer::setHeaders() {
    for (const auto& [name, value] : request_.headers) {
        if (!isToken(name))
            return unexpected<std::string>("the header name \"" + name + "\" is not valid");
        if (!isSafeHeaderValue(value))
            return unexpected<std::string>("the value of header \"" + name + "\" is not valid");
        // "Name;" is curl's spelling for a header sent with an empty value ("Name:" removes it).
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        if (!headerLines_.append(line.c_str())) return unexpected<std::string>("out of memory");
    }
    // curl adds these on its own; the server should see only what the caller asked for.
    // "Expect: 100-continue" would also stall every upload for a round trip.
    for (const char* name : {"Accept", "Expect", "Content-Type"}) {
        if (hasHeader(request_.headers, name)) continue;
        if (!headerLines_.append((std::string(name) + ":").c_str()))
            return unexpected<std::string>("out of memory");
    }
    OptionSetter set(easy_.get());
    set(CURLOPT_HTTPHEADER, headerLines_.get());
    if (!hasHeader(request_.headers, "User-Agent") && !options_.userAgent.empty()) {
        set(CURLOPT_USERAGENT, options_.userAgent.c_str());
    }
    if (!set.ok()) return unexpected<std::string>("curl refused the headers");
    return {};
}

std::optional<CurlTransfer::Clock::time_point> CurlTransfer::idleDeadline() const {
    if (!idleLimit_) return std::nullopt;
    return lastActivity_ + *idleLimit_;
}

bool CurlTransfer::takeHeaderLine(std::string_view line) {
    if (!headers_.take(line)) return true;
    const int status = headers_.status();
    const bool followed =
        status >= 300 && status <= 399 && !headers_.find("Location").value_or("").empty();
    if (status >= 200 && !followed) {
        finalStatus_ = status;
        finalHeaders_ = std::make_shared<const HttpHeaders>(headers_.all());
    }
    // The headers of one response are complete. curl follows any 3xx with a Location, so this is
    // the last moment to judge where it is about to go.
    if (headers_.status() < 300 || headers_.status() > 399) return true;
    const auto location = headers_.find("Location");
    if (!location || location->empty()) return true;
    char* current = nullptr;
    curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &current);
    if (auto permitted =
            permitRedirect(current ? current : "", *location, options_.allowPlainHttpToLoopback);
        !permitted) {
        failLocally(TransportError::RedirectRefused, permitted.error());
        return false;
    }
    return true;
}

void CurlTransfer::failLocally(TransportError error, std::string message) {
    if (!localFailure_.empty()) return;  // the first reason is the one that stopped it
    localError_ = error;
    localFailure_ = std::move(message);
}

void CurlTransfer::failFile() {
    failLocally(isFileFull(sink_.errorNumber()) ? TransportError::DiskFull : TransportError::Other,
                sink_.failure());
}

bool CurlTransfer::beginBody() {
    bodyBegun_ = true;
    if (!sink_.toFile()) return true;
    const int status = headers_.status();
    keepBody_ = status == 200 || status == 206;
    if (!keepBody_) return true;
    const bool continues = status == 206 && request_.resumeFrom > 0;
    if (status == 206 && rangeStart(headers_.find("Content-Range")) != request_.resumeFrom) {
        failLocally(TransportError::Other, "the server sent another part of the file than asked");
        return false;
    }
    if (!sink_.begin(continues)) {
        failFile();
        return false;
    }
    if (continues) keptBytes_ = bodyBytes_ = request_.resumeFrom;
    return true;
}

std::size_t CurlTransfer::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    const std::size_t length = size * count;
    try {
        transfer.lastActivity_ = Clock::now();
        return transfer.takeHeaderLine(std::string_view(data, length)) ? length : 0;
    } catch (...) {
        transfer.localFailure_ = "cannot keep the response headers";
        return 0;
    }
}

std::size_t CurlTransfer::onBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    const std::size_t length = size * count;
    try {
        transfer.lastActivity_ = Clock::now();
        if (!transfer.bodyBegun_ && !transfer.beginBody()) return 0;
        const std::uint64_t limit = transfer.request_.maxBodyBytes;
        if (limit > 0 && length > limit - std::min(limit, transfer.bodyBytes_)) {
            transfer.failLocally(TransportError::TooLarge,
                                 "the answer is longer than " + std::to_string(limit) + " bytes");
            return 0;
        }
        transfer.bodyBytes_ += length;
        // Another answer's body (an error page) is read to its end and dropped.
        if (transfer.sink_.toFile() && !transfer.keepBody_) return length;
        if (transfer.sink_.write(data, length)) return length;
        transfer.failFile();
    } catch (...) {
        transfer.failLocally(TransportError::Other, "cannot keep the response body");
    }
    return 0;
}

std::size_t CurlTransfer::onRead(char* buffer, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    try {
        if (auto got = transfer.body_->read(buffer, size * count)) return *got;
        transfer.localFailure_ = transfer.body_->failure();
    } catch (...) {
        transfer.localFailure_ = "cannot read the request body";
    }
    return CURL_READFUNC_ABORT;
}

int CurlTransfer::onSeek(void* self, curl_off_t offset, int origin) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    // curl only ever rewinds to an absolute offset (in practice 0, to resend after a redirect).
    if (origin != SEEK_SET || offset < 0) return CURL_SEEKFUNC_CANTSEEK;
    return transfer.body_->seek(static_cast<std::uint64_t>(offset)) ? CURL_SEEKFUNC_OK
                                                                    : CURL_SEEKFUNC_FAIL;
}

int CurlTransfer::onProgress(void* self, curl_off_t totalDown, curl_off_t down, curl_off_t,
                             curl_off_t up) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    try {
        if (down != transfer.lastDown_ || up != transfer.lastUp_) {
            transfer.lastDown_ = down;
            transfer.lastUp_ = up;
            transfer.lastActivity_ = Clock::now();
        }
        if (!transfer.delivery_->wantsProgress()) return 0;
        HttpProgress progress;
        progress.sent = nonNegative(up);
        progress.totalToSend = transfer.body_ ? transfer.body_->size() : 0;
        progress.received = nonNegative(down) + transfer.keptBytes_;
        if (totalDown > 0) progress.totalToReceive = nonNegative(totalDown) + transfer.keptBytes_;
        progress.status = transfer.finalStatus_;
        progress.headers = transfer.finalHeaders_;
        transfer.delivery_->reportProgress(progress);
    } catch (...) {
        // A progress report that could not be posted is simply skipped; the final one still comes.
    }
    return 0;
}

HttpProgress CurlTransfer::progressAtEnd() const {
    curl_off_t sent = 0;
    curl_off_t received = 0;
    curl_off_t expected = -1;
    curl_easy_getinfo(easy_.get(), CURLINFO_SIZE_UPLOAD_T, &sent);
    curl_easy_getinfo(easy_.get(), CURLINFO_SIZE_DOWNLOAD_T, &received);
    curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
    HttpProgress progress;
    progress.sent = nonNegative(sent);
    progress.totalToSend = body_ ? body_->size() : 0;
    progress.received = nonNegative(received) + keptBytes_;
    if (expected >= 0) progress.totalToReceive = static_cast<std::uint64_t>(expected) + keptBytes_;
    progress.status = finalStatus_;
    progress.headers = finalHeaders_;
    return progress;
}

void CurlTransfer::finish(CURLcode code) {
    const bool answered = code == CURLE_OK;
    // An answer without a body still opens the file: a 200 empties it, so it never shows an
    // older download's bytes as this answer, and a 206 has its kept bytes hashed.
    const int status = headers_.status();
    if (answered && !bodyBegun_ && (status == 200 || status == 206)) beginBody();
    if (!sink_.finish()) failFile();
    if (!localFailure_.empty()) return report(localError_, localFailure_);
    if (answered) return report(TransportError::None, {});
    report(transportErrorFrom(code), curlMessage_[0] ? curlMessage_ : curl_easy_strerror(code));
}

void CurlTransfer::stop(TransportError error, std::string message) {
    sink_.finish();
    report(error, std::move(message));
}

void CurlTransfer::report(TransportError error, std::string message) {
    HttpResponse response;
    response.error = error;
    response.errorMessage = std::move(message);
    response.headers = headers_.release();
    response.body = sink_.takeMemoryBody();
    response.finalUrl = request_.url;
    std::optional<HttpProgress> last;
    if (easy_) {
        long status = 0;
        char* url = nullptr;
        curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &url);
        response.status = static_cast<int>(status);
        if (url && *url) response.finalUrl = url;
        if (delivery_->wantsProgress()) last = progressAtEnd();
    }
    delivery_->complete(std::move(response), last);
}

}  // namespace suite::curl
