#include "hosts/gio/GlibMainQueue.h"

#include <glib.h>

#include <cmath>

namespace suite::gtk {

namespace {

struct Posted {
    Task task;
    std::shared_ptr<std::atomic<bool>> open;
};

gboolean runTask(gpointer data) {
    auto* posted = static_cast<Posted*>(data);
    if (posted->open->load()) posted->task();
    return G_SOURCE_REMOVE;
}

void deleteTask(gpointer data) {
    delete static_cast<Posted*>(data);
}

}  // namespace

void GlibMainQueue::post(Task task) {
    postAfter(0, std::move(task));
}

void GlibMainQueue::postAfter(double seconds, Task task) {
    if (std::isnan(seconds) || seconds < 0) seconds = 0;
    if (std::isinf(seconds) || !open_->load()) return;
    // GLib timers count whole milliseconds in an unsigned int; anything longer never comes.
    double milliseconds = std::round(seconds * 1000);
    if (milliseconds > static_cast<double>(G_MAXUINT)) return;
    // g_timeout_add_full attaches to the default context, which is safe from any thread.
    g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(milliseconds), runTask,
                       new Posted{std::move(task), open_}, deleteTask);
}

double GlibMainQueue::now() const {
    return static_cast<double>(g_get_monotonic_time()) / 1e6;
}

}  // namespace suite::gtk
