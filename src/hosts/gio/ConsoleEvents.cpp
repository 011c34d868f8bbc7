#include "hosts/gio/ConsoleEvents.h"

#include <memory>

namespace suite::gtk {

namespace {

constexpr const char* kAction = "console-event";
// Far more than any install event; a larger one is not ours.
constexpr gsize kMaxEventBytes = 64 * 1024;

}  // namespace

void listenForConsoleEvents(GApplication* app, std::function<void(const Json&)> heard) {
    GSimpleAction* action = g_simple_action_new(kAction, G_VARIANT_TYPE_STRING);
    auto* handler = new std::function<void(const Json&)>(std::move(heard));
    g_signal_connect_data(
        action, "activate", G_CALLBACK(+[](GSimpleAction*, GVariant* parameter, gpointer data) {
            gsize length = 0;
            const char* text = g_variant_get_string(parameter, &length);
            if (length > kMaxEventBytes) return;
            const Json event = parseJson(std::string_view(text, length));
            if (event.is_object()) (*static_cast<std::function<void(const Json&)>*>(data))(event);
        }),
        handler,
        +[](gpointer data, GClosure*) {
            delete static_cast<std::function<void(const Json&)>*>(data);
        },
        GConnectFlags(0));
    g_action_map_add_action(G_ACTION_MAP(app), G_ACTION(action));
    g_object_unref(action);
}

RunningWindow::RunningWindow(std::string busName, std::string objectPath)
    : bus_(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)),
      busName_(std::move(busName)),
      objectPath_(std::move(objectPath)) {}

RunningWindow::~RunningWindow() {
    if (bus_ == nullptr) return;
    g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
    g_object_unref(bus_);
}

void RunningWindow::tell(const Json& event) {
    if (bus_ == nullptr || !g_variant_is_object_path(objectPath_.c_str())) return;
    const auto text = compactJson(event);
    if (!text) return;
    GVariantBuilder parameters;
    g_variant_builder_init(&parameters, G_VARIANT_TYPE("av"));
    g_variant_builder_add(&parameters, "v", g_variant_new_string(text->c_str()));
    g_dbus_connection_call(bus_, busName_.c_str(), objectPath_.c_str(), "org.gtk.Actions",
                           "Activate", g_variant_new("(sava{sv})", kAction, &parameters, nullptr),
                           nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, nullptr, nullptr);
}

std::string applicationObjectPath(const std::string& appId) {
    std::string path = "/" + appId;
    for (char& c : path) {
        if (c == '.') c = '/';
        if (c == '-') c = '_';
    }
    return path;
}

}  // namespace suite::gtk
