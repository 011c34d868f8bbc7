#include "hosts/gtk/GtkHost.h"

#include <gtk/gtk.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BuildConfig.h"
#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/Menus.h"
#include "app/Settings.h"
#include "backends/curl/CurlHttpClient.h"
#include "backends/posix/StandardTerminal.h"
#include "bridge/SchemeHandler.h"
#include "catalog/KeptCatalog.h"
#include "hosts/console/ConsoleHost.h"
#include "hosts/gio/ConsoleEvents.h"
#include "hosts/gio/EarlyAnswer.h"
#include "hosts/gio/GioProxyLookup.h"
#include "hosts/gio/HostPackageSystem.h"
#include "hosts/gio/UserEnvironment.h"
#include "hosts/gtk/GtkPlatform.h"
#include "hosts/gtk/Toolkit.h"
#include "notify/Waiting.h"
#include "platform/Files.h"

namespace suite::gtk {

namespace {

struct Program {
    LaunchValues launch;
    UserFolders folders;
    ProcessEnvironment env;
    std::unique_ptr<GtkPlatform> platform;
    std::unique_ptr<PackageSystem> packages;
    std::unique_ptr<CurlHttpClient> http;
    std::unique_ptr<AppDelegate> delegate;
    LaunchObserver onLaunched;
};

void onActivate(GtkApplication* app, gpointer data) {
    auto* program = static_cast<Program*>(data);
    if (program->delegate) {
        // A second start of the program lands here.
        program->delegate->applicationShouldHandleReopen();
        return;
    }
    // The installed icon carries the application id as its name, like the desktop entry; a run
    // from the build tree finds it among the icons built beside the program.
    useIconsBesideProgram(executablePath());
    gtk_window_set_default_icon_name(SUITE_APP_ID);
    program->platform = std::make_unique<GtkPlatform>(app, SUITE_APP_ID, program->env);
    // Hidden with nothing to do, the program makes way for the small waiting program installed
    // with it; a program without one (a test's or a benchmark's) waits itself.
    const auto waiter = findCompanionProgram(executablePath(), "wait", "talven-suite-wait");
    if (!waiter.empty()) program->platform->restIn(waiter, executablePath());
    CurlClientOptions httpOptions;
    httpOptions.proxyFor = desktopProxyFor;
    program->http =
        std::make_unique<CurlHttpClient>(program->platform->queue, std::move(httpOptions));
    program->packages = packageSystemForThisHost(executablePath(), program->launch.logDir);

    AppConfig config;
    auto webRoot = findWebRoot(executablePath());
    if (!webRoot) g_warning("TALVEN Suite: the page's folder \"web\" was not found");
    config.webRoot = webRoot.value_or(std::filesystem::path());
    config.vendorHost = SUITE_VENDOR_HOST;
    config.platformName = "linux";
    config.hostTag = "Linux";
    config.ownExecutable = executablePath();
    config.deviceDescription = deviceDescription();
    config.policyFile = kPolicyFile;
    // A showcase run always looks the same: it neither uses nor changes the remembered size.
    if (!program->launch.isDemo) {
        config.windowFrameFile = program->folders.state / kFolderName / "window.json";
    }
    program->delegate = std::make_unique<AppDelegate>(
        program->launch, config, program->platform->with(*program->http, *program->packages));
    program->delegate->applicationDidFinishLaunching();
    if (program->onLaunched) program->onLaunched(*program->delegate, program->platform->shell);
}

// Help, the version or a complaint about the command line, in the interface language, without
// starting anything; the status the program ends with.
int answerCommandLine(const CommandLine& line, const UserFolders& folders) {
    ProcessEnvironment env;
    const bool arabic =
        isArabic(interfaceLanguage(loadSettings(folders.config / kFolderName / kSettingsFileName),
                                   preferredLanguagesFrom(env)));
    switch (line.request) {
        case CommandLine::Request::Help:
            std::fputs(usageText(arabic).c_str(), stdout);
            return 0;
        case CommandLine::Request::Version:
            std::fputs(versionText(SUITE_BUILD_VERSION).c_str(), stdout);
            return 0;
        default:
            std::fputs(complaintText(arabic, line).c_str(), stderr);
            return kInvalidUsageStatus;
    }
}

}  // namespace

int runProgram(int argc, char** argv, LaunchObserver onLaunched) {
    std::vector<std::string> arguments(argv, argv + argc);
    const CommandLine line = readCommandLine(arguments);
    if (isConsoleRequest(line.request)) {
        StandardTerminal terminal;
        return console::runConsole(line,
                                   {.folders = xdgUserFolders(),
                                    .vendorHost = SUITE_VENDOR_HOST,
                                    .appVersion = SUITE_BUILD_VERSION,
                                    .policyFile = kPolicyFile,
                                    .windowBusName = SUITE_APP_ID},
                                   terminal);
    }
    if (line.request != CommandLine::Request::Run) return answerCommandLine(line, xdgUserFolders());

    // The window's class (WM_CLASS on X11) comes from the program's name: as the application id,
    // it matches the desktop entry's StartupWMClass and the id Wayland is told.
    g_set_prgname(SUITE_APP_ID);
    // What notifications and the session show as the program's name; GLib would give the id.
    g_set_application_name(kProductName);
    prepareToolkit();
    Program program;
    program.onLaunched = std::move(onLaunched);
    program.folders = xdgUserFolders();
    program.launch =
        computeLaunchValues(arguments, program.env, SUITE_BUILD_VERSION, program.folders);

    // One running copy per user: a second start shows the first one's window. A showcase run
    // stands alone, so it never takes over (or hands itself to) the user's real program.
    GApplicationFlags flags =
        program.launch.isDemo ? G_APPLICATION_NON_UNIQUE : G_APPLICATION_DEFAULT_FLAGS;
    if (line.service) flags = GApplicationFlags(flags | G_APPLICATION_IS_SERVICE);
    GtkApplication* app = gtk_application_new(SUITE_APP_ID, flags);
    // The session manager then says when the session ends, so the window size is kept.
    g_object_set(app, "register-session", TRUE, nullptr);
    g_signal_connect(app, "activate", G_CALLBACK(onActivate), &program);
    // A command-line update beside the window shows in it, as the window's own would.
    listenForConsoleEvents(G_APPLICATION(app), [&program](const Json& event) {
        if (program.delegate) program.delegate->consoleEvent(event);
    });
    // Started for a notification's answer, the program comes up as the waiting program would
    // start it for that answer; "Later" needs nothing, and the service ends by itself.
    EarlyAnswer early(G_APPLICATION(app), [&](const std::string& action) {
        auto answered = programLineForAnswer(arguments[0], action);
        if (!answered || program.delegate) return;
        program.launch =
            computeLaunchValues(*answered, program.env, SUITE_BUILD_VERSION, program.folders);
        onActivate(app, &program);
    });

    GError* error = nullptr;
    if (!g_application_register(G_APPLICATION(app), nullptr, &error)) {
        // No session bus: run on without the single-copy rule rather than not at all.
        g_message("TALVEN Suite: running without a session bus (%s)", error->message);
        g_clear_error(&error);
        g_application_set_flags(G_APPLICATION(app), G_APPLICATION_NON_UNIQUE);
    }

    // The switches are ours; GTK is given the program name only.
    char* onlyProgramName[] = {argv[0], nullptr};
    int status = g_application_run(G_APPLICATION(app), 1, onlyProgramName);
    // The end, in an order where no job runs past what it uses: nothing posted runs any more;
    // the delegate goes; the platform waits for its background jobs (a scan, a privileged run)
    // before its queue goes; the package system they used goes last, with `program`.
    if (program.platform) program.platform->queue.close();
    program.delegate.reset();
    program.http.reset();
    program.platform.reset();
    g_object_unref(app);
    return status;
}

}  // namespace suite::gtk
