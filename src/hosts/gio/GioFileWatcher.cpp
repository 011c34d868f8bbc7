#include "hosts/gio/GioFileWatcher.h"

#include <gio/gio.h>

namespace suite::gtk {

namespace {

class GioFileWatch final : public FileWatch {
  public:
    GioFileWatch(GFileMonitor* monitor, Task changed)
        : monitor_(monitor), changed_(std::move(changed)) {
        g_signal_connect(monitor_, "changed", G_CALLBACK(onChanged), this);
    }
    ~GioFileWatch() override {
        g_signal_handlers_disconnect_by_data(monitor_, this);
        g_file_monitor_cancel(monitor_);
        g_object_unref(monitor_);
    }
    GioFileWatch(const GioFileWatch&) = delete;
    GioFileWatch& operator=(const GioFileWatch&) = delete;

  private:
    static void onChanged(GFileMonitor*, GFile*, GFile*, GFileMonitorEvent event, gpointer self) {
        // A mount going away is no change to what the file says.
        if (event == G_FILE_MONITOR_EVENT_PRE_UNMOUNT || event == G_FILE_MONITOR_EVENT_UNMOUNTED)
            return;
        static_cast<GioFileWatch*>(self)->changed_();
    }

    GFileMonitor* monitor_;
    Task changed_;
};

}  // namespace

std::unique_ptr<FileWatch> GioFileWatcher::watch(const std::string& path, Task changed) {
    GFile* file = g_file_new_for_path(path.c_str());
    // A file monitor follows the name, so a file replaced by a rename (as dpkg writes its
    // database) is still watched afterwards.
    GFileMonitor* monitor = g_file_monitor_file(file, G_FILE_MONITOR_NONE, nullptr, nullptr);
    g_object_unref(file);
    if (monitor == nullptr) return nullptr;
    return std::make_unique<GioFileWatch>(monitor, std::move(changed));
}

}  // namespace suite::gtk
