#pragma once
// This host's platform pieces, built in one place. The program and the tests that run the real
// window compose the delegate's platform from them; they choose only the environment, the HTTP
// client and the package system.
#include <gtk/gtk.h>

#include <filesystem>
#include <string>

#include "BuildConfig.h"
#include "backends/posix/ProcRunningPrograms.h"
#include "hosts/gio/GioFileTypes.h"
#include "hosts/gio/GioFileWatcher.h"
#include "hosts/gio/GioLauncher.h"
#include "hosts/gio/GioNotifier.h"
#include "hosts/gio/GioUpdateConditions.h"
#include "hosts/gio/GlibMainQueue.h"
#include "hosts/gtk/GtkFilePicker.h"
#include "hosts/gtk/GtkShell.h"
#include "hosts/gtk/GtkSystemSettings.h"
#include "platform/Platform.h"

namespace suite::gtk {

struct GtkPlatform {
    // `notificationIcon` names the icon notifications show ("": the desktop's default).
    GtkPlatform(GtkApplication* app, const std::string& notificationIcon, const Environment& env)
        : env(env), shell(app), notifier(G_APPLICATION(app), notificationIcon), system(env) {}

    // Lets the program make way for `waiter` while it rests, and start `program` again from
    // there; not while a notification is up whose answer only this process can hear, and once
    // it is gone, after GIO has handed the program the answer that ended it (which may show the
    // window).
    void restIn(const std::filesystem::path& waiter, const std::filesystem::path& program) {
        shell.restIn(waiter, program, [this] { return notifier.answerComesOnlyHere(); });
        notifier.whenAnswerCanComeElsewhere([this] {
            g_idle_add(
                [](gpointer shell) -> gboolean {
                    static_cast<GtkShell*>(shell)->restAgain();
                    return G_SOURCE_REMOVE;
                },
                &shell);
        });
    }

    // `conditions`: others than the machine's (tests).
    Platform with(HttpClient& http, PackageSystem& packages,
                  UpdateConditions* conditions = nullptr) {
        return Platform{
            queue,       shell,     system,
            env,         http,      background,
            packages,    launcher,  notifier,
            filePicker,  fileTypes, thumbnailer,
            fileWatcher, running,   conditions != nullptr ? *conditions : updateConditions};
    }

    const Environment& env;
    // Before the background, so it outlives it: a job that ends while the background waits for
    // it at exit still posts its answer to a queue that exists (and has closed).
    GlibMainQueue queue;
    ThreadBackground background;
    GioLauncher launcher{[]() -> GAppLaunchContext* {
        GdkDisplay* display = gdk_display_get_default();
        return display != nullptr
                   ? G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display))
                   : nullptr;
    }};
    GtkFilePicker filePicker;
    GioFileTypes fileTypes;
    PixbufThumbnailer thumbnailer;
    GioFileWatcher fileWatcher;
    ProcRunningPrograms running;
    gio::GioUpdateConditions updateConditions{SUITE_APP_ID ".install"};
    // Destroyed first, from the last up: the settings' observers, the notifier, then the shell
    // with the window.
    GtkShell shell;
    GioNotifier notifier;
    GtkSystemSettings system;
};

}  // namespace suite::gtk
