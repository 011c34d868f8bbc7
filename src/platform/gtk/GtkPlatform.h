#pragma once
// This host's platform pieces, built in one place. The program and the tests that run the real
// window compose the delegate's platform from them; they choose only the environment, the HTTP
// client and the package system.
#include <gtk/gtk.h>

#include <string>

#include "platform/Platform.h"
#include "platform/gtk/GioFileTypes.h"
#include "platform/gtk/GioLauncher.h"
#include "platform/gtk/GioNotifier.h"
#include "platform/gtk/GtkFilePicker.h"
#include "platform/gtk/GtkMainQueue.h"
#include "platform/gtk/GtkShell.h"
#include "platform/gtk/GtkSystemSettings.h"

namespace suite::gtk {

struct GtkPlatform {
    // `notificationIcon` names the icon notifications show ("": the desktop's default).
    GtkPlatform(GtkApplication* app, const std::string& notificationIcon, const Environment& env)
        : env(env), shell(app), notifier(G_APPLICATION(app), notificationIcon), system(env) {}

    Platform with(HttpClient& http, PackageSystem& packages) {
        return Platform{queue,    shell,    system,   env,        http,      background,
                        packages, launcher, notifier, filePicker, fileTypes, thumbnailer};
    }

    const Environment& env;
    GtkMainQueue queue;
    ThreadBackground background;
    GioLauncher launcher;
    GtkFilePicker filePicker;
    GioFileTypes fileTypes;
    PixbufThumbnailer thumbnailer;
    // Destroyed first, from the last up: the settings' observers, the notifier, then the shell
    // with the window.
    GtkShell shell;
    GioNotifier notifier;
    GtkSystemSettings system;
};

}  // namespace suite::gtk
