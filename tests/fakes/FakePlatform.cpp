#include "fakes/FakePlatform.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "bridge/Events.h"
#include "platform/Digest.h"

namespace suite::fakes {

std::optional<Json> eventIn(const std::string& script) {
    const auto prefix = bridge::kEventScriptPrefix;
    if (!script.starts_with(prefix) || !script.ends_with(')')) return std::nullopt;
    return Json::parse(script.substr(prefix.size(), script.size() - prefix.size() - 1));
}

std::vector<Json> FakeWebView::events() const {
    std::vector<Json> out;
    for (const auto& script : scripts) {
        if (auto event = eventIn(script)) out.push_back(*event);
    }
    return out;
}

std::unique_ptr<Window> FakeShell::createWindow(const WindowSpec& spec, WindowDelegate&,
                                                SchemeResponder) {
    auto made = std::make_unique<FakeWindow>();
    made->spec = spec;
    made->web.loadUri(spec.startUri);
    window = made.get();
    return made;
}

namespace {

class FakeTransfer final : public HttpTransfer {
  public:
    explicit FakeTransfer(std::shared_ptr<FakeHttpClient::Call> call) : call_(std::move(call)) {}
    void cancel() override { call_->cancelled = true; }

  private:
    std::shared_ptr<FakeHttpClient::Call> call_;
};

}  // namespace

std::shared_ptr<HttpTransfer> FakeHttpClient::start(HttpRequest request,
                                                    HttpProgressHandler onProgress,
                                                    HttpCompletion onDone) {
    auto call = std::make_shared<Call>(
        Call{std::move(request), std::move(onProgress), std::move(onDone), false, false});
    calls.push_back(call);
    return std::make_shared<FakeTransfer>(call);
}

void FakeHttpClient::answer(std::size_t index, HttpResponse response) {
    auto call = calls.at(index);
    if (call->answered) throw std::logic_error("a request is answered once");
    call->answered = true;
    call->onDone(std::move(response));
}

void FakeHttpClient::headersIn(std::size_t index, int status, HttpHeaders headers) {
    HttpProgress progress;
    progress.status = status;
    progress.headers = std::make_shared<const HttpHeaders>(std::move(headers));
    calls.at(index)->onProgress(progress);
}

void FakeHttpClient::stream(std::size_t index, const std::string& body, HttpResponse response) {
    const HttpRequest& request = calls.at(index)->request;
    // As the real client: a 206 continues the kept bytes, a 200 starts the file again, and the
    // digest sees the file's bytes in order; other answers leave the file alone.
    const bool continues = response.status == 206 && request.resumeFrom > 0;
    if (response.status == 200 || response.status == 206) {
        std::string kept;
        if (continues) {
            std::ifstream in(request.responseFile, std::ios::binary);
            kept.assign(std::istreambuf_iterator<char>(in), {});
            kept.resize(request.resumeFrom);
        }
        std::ofstream(request.responseFile, std::ios::binary | std::ios::trunc) << kept << body;
        if (request.responseDigest) {
            request.responseDigest->add(kept.data(), kept.size());
            request.responseDigest->add(body.data(), body.size());
        }
    }
    answer(index, std::move(response));
}

HttpResponse FakeHttpClient::reply(int status, std::string body) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

HttpResponse FakeHttpClient::failure(TransportError error) {
    HttpResponse response;
    response.error = error;
    return response;
}

}  // namespace suite::fakes
