#include "hosts/gio/GioLauncher.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <signal.h>
#include <sys/wait.h>

#include <string>

#include "platform/Files.h"

namespace suite::gtk {

namespace {

void onLaunched(GAppLaunchContext*, GAppInfo*, GVariant* platformData, gpointer data) {
    gint pid = 0;
    if (platformData != nullptr && g_variant_lookup(platformData, "pid", "i", &pid)) {
        *static_cast<pid_t*>(data) = static_cast<pid_t>(pid);
    }
}

// Starts `handler` (which this takes over) with `file`; the process it started, if we can see it.
std::shared_ptr<LaunchedHandler> launch(GAppInfo* handler, GFile* file) {
    pid_t pid = 0;
    GAppLaunchContext* context = g_app_launch_context_new();
    g_signal_connect(context, "launched", G_CALLBACK(onLaunched), &pid);
    GList* files = g_list_append(nullptr, file);
    gboolean launched = g_app_info_launch(handler, files, context, nullptr);
    g_list_free(files);
    g_signal_handlers_disconnect_by_data(context, &pid);
    g_object_unref(context);
    g_object_unref(handler);
    if (!launched) return nullptr;
    return std::make_shared<ProcessHandler>(pid);
}

}  // namespace

std::shared_ptr<LaunchedHandler> GioLauncher::openWithHandlerFor(const std::string& path,
                                                                 const std::string& contentType) {
    GFile* file = g_file_new_for_path(path.c_str());
    GAppInfo* handler = contentType.empty()
                            ? g_file_query_default_handler(file, nullptr, nullptr)
                            : g_app_info_get_default_for_type(contentType.c_str(), FALSE);
    std::shared_ptr<LaunchedHandler> started;
    if (handler != nullptr) started = launch(handler, file);
    g_object_unref(file);
    return started;
}

bool GioLauncher::launchApplication(const std::string& desktopId) {
    GDesktopAppInfo* entry = g_desktop_app_info_new(desktopId.c_str());
    if (entry == nullptr) return false;
    GAppLaunchContext* context = launchContext_ ? launchContext_() : nullptr;
    if (context == nullptr) context = g_app_launch_context_new();
    const gboolean launched = g_app_info_launch(G_APP_INFO(entry), nullptr, context, nullptr);
    g_object_unref(context);
    g_object_unref(entry);
    return launched;
}

bool ProcessHandler::isRunning() const {
    if (pid_ <= 0) return false;
    // Reap it if it is our child and has exited; a zombie still answers kill(pid, 0).
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) return false;
    auto stat = readWholeFile("/proc/" + std::to_string(pid_) + "/stat");
    if (!stat) return false;
    // The state follows the command name in parentheses, which may itself hold parentheses.
    auto close = stat->rfind(')');
    if (close == std::string::npos || close + 2 >= stat->size()) return false;
    char state = (*stat)[close + 2];
    return state != 'Z' && state != 'X';
}

}  // namespace suite::gtk
