#include "hosts/console/ConsoleHost.h"

#include <glib.h>

#include <memory>

#include "app/InterfaceText.h"
#include "app/LaunchValues.h"
#include "app/Settings.h"
#include "backends/curl/CurlHttpClient.h"
#include "backends/posix/ProcRunningPrograms.h"
#include "catalog/CatalogFetch.h"
#include "catalog/KeptCatalog.h"
#include "console/ConsoleRun.h"
#include "hosts/console/QuietShell.h"
#include "hosts/gio/ConsoleEvents.h"
#include "hosts/gio/GioFileWatcher.h"
#include "hosts/gio/GioLauncher.h"
#include "hosts/gio/GioProxyLookup.h"
#include "hosts/gio/GlibMainQueue.h"
#include "hosts/gio/HostPackageSystem.h"
#include "hosts/gio/UserEnvironment.h"

namespace suite::console {

namespace {

// The services a request runs on. Members end in reverse order: the flows' background jobs are
// waited for before the queue and the package system they post to and use go.
struct Services {
    gtk::GlibMainQueue queue;
    std::unique_ptr<PackageSystem> ownPackages;
    ThreadBackground background;
    std::unique_ptr<CurlHttpClient> http;
    gtk::GioLauncher launcher;
    QuietShell shell;
    gtk::GioFileWatcher fileWatcher;
    ProcRunningPrograms running;
};

}  // namespace

int runConsole(const CommandLine& line, const ConsoleHostConfig& config, Terminal& terminal) {
    gtk::ProcessEnvironment env;
    const LaunchValues launch =
        computeLaunchValues({"talven-suite"}, env, config.appVersion, config.folders);
    const Json settings = loadSettings(launch.supportDir / kSettingsFileName);
    const bool arabic = isArabic(interfaceLanguage(settings, gtk::preferredLanguagesFrom(env)));
    PolicyRead policy;
    if (!config.policyFile.empty()) policy = readPolicy(config.policyFile);
    for (const auto& warning : policy.warnings) {
        g_warning("TALVEN Suite: policy %s: %s", config.policyFile.c_str(), warning.c_str());
    }

    Services services;
    CurlClientOptions httpOptions = config.http;
    if (!httpOptions.proxyFor) httpOptions.proxyFor = gtk::desktopProxyFor;
    services.http = std::make_unique<CurlHttpClient>(services.queue, std::move(httpOptions));
    PackageSystem* packages = config.packages;
    if (packages == nullptr) {
        services.ownPackages = gtk::packageSystemForThisHost(gtk::executablePath(), launch.logDir);
        packages = services.ownPackages.get();
    }
    const std::string userAgent = catalogUserAgent(launch.appVersion, "Linux");
    ConsoleFlows flows{
        .catalog = {.userAgent = userAgent,
                    .keys = config.catalogKeys,
                    .trustStateFile = launch.logDir / kCatalogStateFileName,
                    .keptFolder = launch.logDir},
        .install = {.downloadDir = launch.cacheDir,
                    .logDir = launch.logDir,
                    .userAgent = userAgent,
                    .keptPackagesDir = launch.logDir / "kept-packages",
                    .catalogFile = launch.logDir / kKeptCatalogFileName,
                    .signatureFile = launch.logDir / kKeptSignatureFileName,
                    .windowless = true},
        .catalogServices = {services.queue, services.background, *services.http, *packages},
        .installServices = {services.queue, services.background, *services.http, services.launcher,
                            services.shell, *packages, services.fileWatcher, services.running},
        .prompt = [arabic] { return std::string(interfaceText(arabic).installPrompt); }};
    ConsoleSettings consoleSettings{
        .line = line,
        .arabic = arabic,
        .catalogUrls = catalogAddresses(vendorCatalogUrls(config.vendorHost), policy.policy),
        .rules = {.vendorHost = config.vendorHost,
                  .allowLoopbackHttp = config.allowPlainHttpDownloadsToLoopback},
        .policy = std::move(policy.policy)};

    std::optional<gtk::RunningWindow> window;
    if (!config.windowBusName.empty()) {
        window.emplace(config.windowBusName, gtk::applicationObjectPath(config.windowBusName));
        consoleSettings.shareWithWindow = [&window](const Json& event) { window->tell(event); };
    }

    int status = kFailed;
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    auto run = std::make_unique<ConsoleRun>(std::move(consoleSettings), std::move(flows), terminal,
                                            [&](int answer) {
                                                status = answer;
                                                g_main_loop_quit(loop);
                                            });
    run->start();
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    // As the window's program ends: nothing posted runs any more, then the flows go, then the
    // services wait for their background jobs.
    services.queue.close();
    run.reset();
    services.http.reset();
    return status;
}

}  // namespace suite::console
