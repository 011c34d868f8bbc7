#include "hosts/gio/GpuProbe.h"

#include <glib.h>

namespace suite::gtk {

namespace {

bool findRenderNode() {
    GDir* devices = g_dir_open("/dev/dri", 0, nullptr);
    if (devices == nullptr) return false;
    bool found = false;
    while (const gchar* name = g_dir_read_name(devices)) {
        if (g_str_has_prefix(name, "renderD")) found = true;
    }
    g_dir_close(devices);
    return found;
}

}  // namespace

bool hasGpuRenderNode() {
    static const bool found = findRenderNode();
    return found;
}

}  // namespace suite::gtk
