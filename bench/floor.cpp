// The engine's floor: the least a GTK + WebKitGTK program (of the toolkit the program is built
// for) does to bring the page up. One
// window, one web view with WebKit's own defaults, the "suite" message handler and an answer to
// "ready" — nothing else. The real program's start-up and memory are reported against this.
// Its web view has the one setting the program gives its own: without a GPU, no hardware
// acceleration, which spares emulated OpenGL; a floor without it would measure that choice, not
// the program's own work. (GTK's renderer is left to startup_memory.py, which runs each.)
//
// The page's ES modules are refused over file:// (its origin is "null", and module scripts are
// fetched with CORS), so the floor serves the page's folder from a scheme of its own, as the
// program does: a handler that reads the file and names its type.
//
//   bench_floor PATH/TO/web/index.html
#include <gtk/gtk.h>

#include <cstdio>
#include <memory>
#include <string>

#include "ReadyProbe.h"
#include "hosts/gio/GpuProbe.h"
#include "hosts/gtk/Toolkit.h"

namespace {

// The same values the real program sends in a showcase run, so the page does the same work.
constexpr const char* kInitScript =
    "window.Suite && Suite.receive({\"type\":\"init\",\"platform\":\"linux\","
    "\"version\":\"1.0.0\",\"demo\":true,\"settings\":null,\"osLang\":\"en\","
    "\"osDark\":false,\"reduceMotion\":false})";

constexpr int kWidth = 1180;
constexpr int kHeight = 780;

constexpr const char* kScheme = "floor";

struct Floor {
    std::string root;
    std::string page;
    WebKitWebView* view = nullptr;
    std::unique_ptr<bench::ReadyProbe> probe;
};

const char* contentTypeFor(const char* path) {
    if (g_str_has_suffix(path, ".html")) return "text/html";
    if (g_str_has_suffix(path, ".js")) return "text/javascript";
    if (g_str_has_suffix(path, ".css")) return "text/css";
    if (g_str_has_suffix(path, ".json")) return "application/json";
    if (g_str_has_suffix(path, ".svg")) return "image/svg+xml";
    return "application/octet-stream";
}

void onSchemeRequest(WebKitURISchemeRequest* request, gpointer data) {
    const auto* floor = static_cast<const Floor*>(data);
    const gchar* path = webkit_uri_scheme_request_get_path(request);
    gchar* file = g_canonicalize_filename(path != nullptr && path[0] == '/' ? path + 1 : "",
                                          floor->root.c_str());
    gchar* body = nullptr;
    gsize size = 0;
    GError* error = nullptr;
    // Only files inside the page's folder are served.
    const std::string inside = floor->root + "/";
    if (!g_str_has_prefix(file, inside.c_str())) {
        g_set_error(&error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "not in the page's folder");
    } else {
        g_file_get_contents(file, &body, &size, &error);
    }
    if (error != nullptr) {
        webkit_uri_scheme_request_finish_error(request, error);
        g_error_free(error);
        g_free(file);
        return;
    }
    GInputStream* stream =
        g_memory_input_stream_new_from_data(body, static_cast<gssize>(size), g_free);
    webkit_uri_scheme_request_finish(request, stream, static_cast<gint64>(size),
                                     contentTypeFor(file));
    g_object_unref(stream);
    g_free(file);
}

// The page posts its actions as JSON text.
bool isReady(JSCValue* posted) {
    if (!jsc_value_is_string(posted)) return false;
    gchar* json = jsc_value_to_string(posted);
    JSCValue* message = jsc_value_new_from_json(jsc_value_get_context(posted), json);
    g_free(json);
    bool ready = false;
    if (message != nullptr && jsc_value_is_object(message)) {
        JSCValue* type = jsc_value_object_get_property(message, "type");
        if (jsc_value_is_string(type)) {
            gchar* text = jsc_value_to_string(type);
            ready = g_strcmp0(text, "ready") == 0;
            g_free(text);
        }
        g_object_unref(type);
    }
    g_clear_object(&message);
    return ready;
}

void onScriptMessage(WebKitUserContentManager*, gpointer message, gpointer data) {
    auto* floor = static_cast<Floor*>(data);
    if (!isReady(suite::gtk::scriptMessageValue(message))) return;
    webkit_web_view_evaluate_javascript(floor->view, kInitScript, -1, nullptr, nullptr, nullptr,
                                        nullptr, nullptr);
}

void evaluate(WebKitWebView* view, const std::string& source,
              std::function<void(std::optional<std::string>)> done) {
    using Done = std::function<void(std::optional<std::string>)>;
    webkit_web_view_evaluate_javascript(
        view, source.c_str(), static_cast<gssize>(source.size()), nullptr, nullptr, nullptr,
        [](GObject* object, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Done> done(static_cast<Done*>(data));
            GError* error = nullptr;
            JSCValue* value =
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(object), result, &error);
            std::optional<std::string> json;
            if (value != nullptr) {
                if (gchar* text = jsc_value_to_json(value, 0)) {
                    json = text;
                    g_free(text);
                }
                g_object_unref(value);
            }
            g_clear_error(&error);
            (*done)(json);
        },
        new Done(std::move(done)));
}

void onActivate(GtkApplication* app, gpointer data) {
    auto* floor = static_cast<Floor*>(data);
    if (floor->view != nullptr) return;

    GtkWidget* window = gtk_application_window_new(app);
    gtk_window_set_default_size(GTK_WINDOW(window), kWidth, kHeight);

    // The scheme must be known to the context before its first view starts a web process.
    webkit_web_context_register_uri_scheme(webkit_web_context_get_default(), kScheme,
                                           onSchemeRequest, floor, nullptr);
    floor->view = WEBKIT_WEB_VIEW(webkit_web_view_new());
    if (!suite::gtk::hasGpuRenderNode()) {
        webkit_settings_set_hardware_acceleration_policy(webkit_web_view_get_settings(floor->view),
                                                         WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    }
    WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(floor->view);
    suite::gtk::registerMessageHandler(content, "suite");
    g_signal_connect(content, "script-message-received::suite", G_CALLBACK(onScriptMessage), floor);

#if GTK_MAJOR_VERSION >= 4
    gtk_window_set_child(GTK_WINDOW(window), GTK_WIDGET(floor->view));
#else
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(floor->view));
    gtk_widget_show(GTK_WIDGET(floor->view));
#endif
    const std::string uri = std::string(kScheme) + "://page/" + floor->page;
    webkit_web_view_load_uri(floor->view, uri.c_str());
    gtk_window_present(GTK_WINDOW(window));

    WebKitWebView* view = floor->view;
    floor->probe = std::make_unique<bench::ReadyProbe>(
        [view](const std::string& source, auto done) { evaluate(view, source, std::move(done)); });
    floor->probe->start();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PATH/TO/web/index.html\n", argv[0]);
        return 2;
    }
    gchar* path = g_canonicalize_filename(argv[1], nullptr);
    if (!g_file_test(path, G_FILE_TEST_IS_REGULAR)) {
        std::fprintf(stderr, "bench_floor: no page at %s\n", path);
        g_free(path);
        return 2;
    }
    Floor floor;
    gchar* root = g_path_get_dirname(path);
    gchar* page = g_path_get_basename(path);
    floor.root = root;
    floor.page = page;
    g_free(page);
    g_free(root);
    g_free(path);

    GtkApplication* app = gtk_application_new("org.example.WebKitFloor", G_APPLICATION_NON_UNIQUE);
    g_signal_connect(app, "activate", G_CALLBACK(onActivate), &floor);
    // The page's path is ours; GTK is given the program name only.
    char* onlyProgramName[] = {argv[0], nullptr};
    int status = g_application_run(G_APPLICATION(app), 1, onlyProgramName);
    floor.probe.reset();
    g_object_unref(app);
    return status;
}
