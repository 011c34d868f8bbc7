#include "fakes/FakePlatform.h"

namespace suite::fakes {

std::vector<Json> FakeWebView::events() const {
    static const std::string prefix = "window.Suite && Suite.receive(";
    std::vector<Json> out;
    for (const auto& script : scripts) {
        if (script.rfind(prefix, 0) != 0 || script.back() != ')') continue;
        out.push_back(Json::parse(script.substr(prefix.size(), script.size() - prefix.size() - 1)));
    }
    return out;
}

std::unique_ptr<Window> FakeShell::createWindow(const WindowSpec& spec, WindowDelegate&,
                                                SchemeResponder scheme) {
    auto made = std::make_unique<FakeWindow>();
    made->spec = spec;
    made->scheme = std::move(scheme);
    made->web.loadUri(spec.startUri);
    window = made.get();
    return made;
}

}  // namespace suite::fakes
