#pragma once
// Fakes of the platform pieces that record what the program asked of them.
#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backends/macos/PrivilegedRunner.h"
#include "platform/FilePicker.h"
#include "platform/FileTypes.h"
#include "platform/FileWatch.h"
#include "platform/HttpClient.h"
#include "platform/Launcher.h"
#include "platform/Notifier.h"
#include "platform/RunningPrograms.h"
#include "platform/Shell.h"
#include "platform/SystemSettings.h"
#include "platform/UpdateConditions.h"
#include "platform/Window.h"

namespace suite::fakes {

// The event a script the native side sent delivers to the page; nothing for other scripts.
std::optional<Json> eventIn(const std::string& script);

class FakeWebView final : public WebView {
  public:
    void loadUri(const std::string& uri) override { loaded.push_back(uri); }
    void evaluateJavaScript(const std::string& source, std::function<void()> done) override {
        scripts.push_back(source);
        if (done) done();
    }
    void snapshotPng(std::function<void(std::optional<std::string>)> done) override {
        done(std::nullopt);
    }
    double width() const override { return viewWidth; }
    double zoom() const override { return zoomLevel; }
    void setZoom(double zoom) override {
        zoomLevel = zoom;
        ++zoomChanges;
    }

    // The events the page would have received, decoded from the evaluated scripts.
    std::vector<Json> events() const;

    std::vector<std::string> loaded;
    std::vector<std::string> scripts;
    double viewWidth = 1180;
    double zoomLevel = 1.0;
    int zoomChanges = 0;
};

class FakeWindow final : public Window {
  public:
    void present() override { visible = true; }
    void orderFrontRegardless() override {}
    void hide() override { visible = false; }
    bool isVisible() const override { return visible; }
    bool isActive() const override { return visible && focused; }
    void setContentSize(double, double) override {}
    void setBackgroundColor(const Rgba& color) override { background = color; }
    void showReloadNotice(const ReloadNotice& notice) override { reloadNotices.push_back(notice); }
    WebView& webView() override { return web; }
    std::optional<std::string> snapshotPng() const override { return std::nullopt; }
    double rememberedUserZoom() const override { return userZoom; }
    void rememberUserZoom(double zoom) override { userZoom = zoom; }

    WindowSpec spec;
    double userZoom = 1.0;  // as the frame file would keep it
    FakeWebView web;
    bool visible = false;
    bool focused = true;  // while visible: whether it is the active window
    Rgba background;
    std::vector<ReloadNotice> reloadNotices;
};

class FakeShell final : public Shell {
  public:
    std::unique_ptr<Window> createWindow(const WindowSpec& spec, WindowDelegate&,
                                         SchemeResponder) override;
    void setActivationPolicy(ActivationPolicy p) override { policies.push_back(p); }
    void activate() override { ++activations; }
    void terminate() override { ++terminations; }
    void setMenuBar(const MenuBar& bar, MenuDelegate&) override { menuBars.push_back(bar); }
    void showAbout(const AboutInfo&) override {}
    void openUri(const std::string& uri) override { opened.push_back(uri); }
    void logToSystem(const std::string& line) override { systemLog.push_back(line); }
    void restUntil(std::optional<double> wakeAtMs) override { rests.push_back(wakeAtMs); }

    FakeWindow* window = nullptr;  // the last window made (owned by the caller)
    std::vector<ActivationPolicy> policies;
    int activations = 0;
    int terminations = 0;
    std::vector<MenuBar> menuBars;
    std::vector<std::string> opened;
    std::vector<std::string> systemLog;
    std::vector<std::optional<double>> rests;  // the wake times each rest was asked with
};

class FakeSystemSettings final : public SystemSettings {
  public:
    std::vector<std::string> preferredLanguages() const override { return languages; }
    bool isDark() const override { return dark; }
    bool reduceMotion() const override { return false; }
    void observeAppearance(std::function<void()> fn) override { appearanceObservers.push_back(fn); }
    void observeAccessibility(std::function<void()>) override {}
    void changeAppearance(bool toDark) {
        dark = toDark;
        for (auto& observer : appearanceObservers) observer();
    }

    std::vector<std::string> languages = {"en-US"};
    bool dark = false;
    std::vector<std::function<void()>> appearanceObservers;
};

class FakeEnvironment final : public Environment {
  public:
    std::optional<std::string> get(const std::string& name) const override {
        auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional(it->second);
    }
    std::map<std::string, std::string> values;
};

// Answers every privileged run with `outcome` and records the scripts it was given.
class FakePrivilegedRunner final : public PrivilegedRunner {
  public:
    PrivilegedOutcome run(const std::string& script, const std::string& prompt) override {
        scripts.push_back(script);
        prompts.push_back(prompt);
        return outcome;
    }
    PrivilegedOutcome outcome{true, false, "", ""};
    std::vector<std::string> scripts;
    std::vector<std::string> prompts;
};

class FakeHandler final : public LaunchedHandler {
  public:
    bool isRunning() const override { return running; }
    bool running = true;
};

// Records what was opened, and as what; every opened file gets a handler the test can stop.
class FakeLauncher final : public Launcher {
  public:
    std::shared_ptr<LaunchedHandler> openWithHandlerFor(const std::string& path,
                                                        const std::string& contentType) override {
        opened.push_back(path);
        openedAs.push_back(contentType);
        if (!canOpen) return nullptr;
        handlers.push_back(std::make_shared<FakeHandler>());
        return handlers.back();
    }
    bool launchApplication(const std::string&) override { return canOpen; }
    bool canOpen = true;
    std::vector<std::string> opened;
    std::vector<std::string> openedAs;  // the content type asked for; "" for the file's own
    std::vector<std::shared_ptr<FakeHandler>> handlers;
};

// Keeps what was shown under each id, as a notification server does; the test answers.
class FakeNotifier final : public Notifier {
  public:
    void show(const std::string& id, const Notification& notification) override {
        shown[id] = notification;
        ++shows;
    }
    void setAnswerHandler(std::function<void(const std::string&)> handler) override {
        answer = std::move(handler);
    }
    std::map<std::string, Notification> shown;
    int shows = 0;
    std::function<void(const std::string&)> answer;
};

// Holds each dialog open until the test answers it.
class FakeFilePicker final : public FilePicker {
  public:
    using Done = std::function<void(std::optional<std::vector<std::filesystem::path>>)>;
    void pickFiles(Window* parent, const FilePickerText& text, Done done) override {
        parents.push_back(parent);
        texts.push_back(text);
        pending.push_back(std::move(done));
    }
    std::vector<Window*> parents;
    std::vector<FilePickerText> texts;
    std::vector<Done> pending;
};

// Knows no type and draws no picture: what real files are is the feedback flow's (GIO, gdk-pixbuf).
class FakeFileTypes final : public FileTypes, public Thumbnailer {
  public:
    std::optional<std::string> mimeTypeForName(const std::string&) const override {
        return std::nullopt;
    }
    std::optional<PixelSize> pictureSize(const std::filesystem::path&) override {
        return std::nullopt;
    }
    std::optional<std::string> jpegOf(const std::filesystem::path&, PixelSize, int) override {
        return std::nullopt;
    }
};

// The test says when the watched file changed; a watch let go hears nothing more.
class FakeFileWatcher final : public FileWatcher {
  public:
    struct Watch : FileWatch {
        std::shared_ptr<Task> changed;
    };
    std::unique_ptr<FileWatch> watch(const std::string& path, Task changed) override {
        auto watch = std::make_unique<Watch>();
        watch->changed = std::make_shared<Task>(std::move(changed));
        watched = path;
        live = watch->changed;
        return watch;
    }
    // Whether a live watch heard it.
    bool change() {
        auto task = live.lock();
        if (task) (*task)();
        return task != nullptr;
    }
    std::string watched;
    std::weak_ptr<Task> live;
};

// The executables in `open` run; every question is counted.
struct FakeUpdateConditions final : UpdateConditions {
    bool networkMetered() const override { return metered; }
    bool powerSaver() const override { return saver; }
    bool installsWithoutPassword() const override { return withoutPassword; }
    bool metered = false, saver = false, withoutPassword = false;
};

class FakeRunningPrograms final : public RunningPrograms {
  public:
    std::vector<std::string> running(const std::vector<std::string>& executables) override {
        ++asked;
        std::vector<std::string> found;
        std::ranges::copy_if(executables, std::back_inserter(found),
                             [&](const auto& path) { return std::ranges::count(open, path) > 0; });
        return found;
    }
    std::vector<std::string> open;
    int asked = 0;
};

// Records every request; the test answers each one when it likes.
class FakeHttpClient final : public HttpClient {
  public:
    struct Call {
        HttpRequest request;
        HttpProgressHandler onProgress;
        HttpCompletion onDone;
        bool cancelled = false;
        bool answered = false;
    };

    std::shared_ptr<HttpTransfer> start(HttpRequest request, HttpProgressHandler onProgress,
                                        HttpCompletion onDone) override;

    // Answers call `index` (each call once).
    void answer(std::size_t index, HttpResponse response);
    // The call's answer has its headers in: the caller may note a validator.
    void headersIn(std::size_t index, int status, HttpHeaders headers);
    // Writes `body` into the call's response file as the real client would, then answers.
    void stream(std::size_t index, const std::string& body, HttpResponse response);
    static HttpResponse reply(int status, std::string body);
    static HttpResponse failure(TransportError error);

    std::vector<std::shared_ptr<Call>> calls;
};

}  // namespace suite::fakes
