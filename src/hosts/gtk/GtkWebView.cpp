#include "hosts/gtk/GtkWebView.h"

#include <libsoup/soup.h>

#include "common/Json.h"
#include "hosts/gio/GpuProbe.h"

namespace suite::gtk {

namespace {

constexpr const char* kScheme = "suite";

struct Completion {
    std::function<void()> done;
};

struct ResultCompletion {
    std::function<void(std::optional<std::string>)> done;
};

}  // namespace

GtkWebView::GtkWebView(WindowDelegate& delegate, SchemeResponder scheme)
    : delegate_(delegate), scheme_(std::move(scheme)) {
    // A context of our own keeps the scheme registration with this view.
    WebKitWebContext* context = newPageContext();
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    view_ = newPageView(context, content);
    g_object_ref_sink(view_);
    if (!hasGpuRenderNode()) {
        webkit_settings_set_hardware_acceleration_policy(webkit_web_view_get_settings(view_),
                                                         WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    }

    WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
    webkit_security_manager_register_uri_scheme_as_secure(security, kScheme);
    webkit_security_manager_register_uri_scheme_as_cors_enabled(security, kScheme);
    // WebKit may keep the context, and route requests to it, after this view is gone; the
    // registration therefore points at a binding that forgets the view when it goes and lives
    // as long as the context does.
    schemeBinding_ = new SchemeBinding{this};
    webkit_web_context_register_uri_scheme(
        context, kScheme, onSchemeRequest, schemeBinding_,
        [](gpointer binding) { delete static_cast<SchemeBinding*>(binding); });

    registerMessageHandler(content, "suite");
    g_signal_connect(content, "script-message-received::suite", G_CALLBACK(onScriptMessage), this);

    g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(view_, "load-changed", G_CALLBACK(onLoadChanged), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(onLoadFailed), this);
    g_signal_connect(view_, "script-dialog", G_CALLBACK(onScriptDialog), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(onWebProcessTerminated), this);
    g_signal_connect(view_, "context-menu", G_CALLBACK(onContextMenu), nullptr);

    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);

    // The window's colour shows through while the page loads.
    GdkRGBA transparent = {0, 0, 0, 0};
    webkit_web_view_set_background_color(view_, &transparent);

    g_object_unref(content);
    g_object_unref(context);
}

GtkWebView::~GtkWebView() {
    schemeBinding_->view = nullptr;
    g_signal_handlers_disconnect_by_data(view_, this);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_user_content_manager(view_), this);
    g_object_unref(view_);
}

void GtkWebView::loadUri(const std::string& uri) {
    webkit_web_view_load_uri(view_, uri.c_str());
}

void GtkWebView::evaluateJavaScript(const std::string& source, std::function<void()> done) {
    auto* completion = new Completion{std::move(done)};
    webkit_web_view_evaluate_javascript(
        view_, source.c_str(), static_cast<gssize>(source.size()), nullptr, nullptr, nullptr,
        [](GObject* object, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Completion> completion(static_cast<Completion*>(data));
            GError* error = nullptr;
            JSCValue* value =
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(object), result, &error);
            if (value != nullptr) g_object_unref(value);
            g_clear_error(&error);
            if (completion->done) completion->done();
        },
        completion);
}

void GtkWebView::evaluateForResult(const std::string& source,
                                   std::function<void(std::optional<std::string>)> done) {
    auto* completion = new ResultCompletion{std::move(done)};
    webkit_web_view_evaluate_javascript(
        view_, source.c_str(), static_cast<gssize>(source.size()), nullptr, nullptr, nullptr,
        [](GObject* object, GAsyncResult* result, gpointer data) {
            std::unique_ptr<ResultCompletion> completion(static_cast<ResultCompletion*>(data));
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
            completion->done(json);
        },
        completion);
}

void GtkWebView::snapshotPng(std::function<void(std::optional<std::string>)> done) {
    auto* completion = new ResultCompletion{std::move(done)};
    webkit_web_view_get_snapshot(
        view_, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* object, GAsyncResult* result, gpointer data) {
            std::unique_ptr<ResultCompletion> completion(static_cast<ResultCompletion*>(data));
            completion->done(finishSnapshotPng(WEBKIT_WEB_VIEW(object), result));
        },
        completion);
}

double GtkWebView::width() const {
    return widgetWidth(GTK_WIDGET(view_));
}

double GtkWebView::zoom() const {
    return webkit_web_view_get_zoom_level(view_);
}

void GtkWebView::setZoom(double zoom) {
    webkit_web_view_set_zoom_level(view_, zoom);
}

void GtkWebView::runEditingCommand(const char* command) {
    webkit_web_view_execute_editing_command(view_, command);
}

void GtkWebView::onSchemeRequest(WebKitURISchemeRequest* request, gpointer data) {
    GtkWebView* self = static_cast<SchemeBinding*>(data)->view;
    if (self == nullptr) {
        GError* gone = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_CLOSED, "the page is gone");
        webkit_uri_scheme_request_finish_error(request, gone);
        g_error_free(gone);
        return;
    }
    const gchar* uri = webkit_uri_scheme_request_get_uri(request);
    if (uri == nullptr) return;  // nothing to answer for
    SchemeResponse answer = self->scheme_(uri);

    GBytes* body = g_bytes_new(answer.body.data(), answer.body.size());
    GInputStream* stream = g_memory_input_stream_new_from_bytes(body);
    WebKitURISchemeResponse* response =
        webkit_uri_scheme_response_new(stream, static_cast<gint64>(answer.body.size()));
    webkit_uri_scheme_response_set_status(response, static_cast<guint>(answer.status), nullptr);
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    for (const auto& [name, value] : answer.headers) {
        soup_message_headers_append(headers, name.c_str(), value.c_str());
        if (g_ascii_strcasecmp(name.c_str(), "Content-Type") == 0) {
            webkit_uri_scheme_response_set_content_type(response, value.c_str());
        }
    }
    webkit_uri_scheme_response_set_http_headers(response, headers);  // takes the headers
    webkit_uri_scheme_request_finish_with_response(request, response);
    g_object_unref(response);
    g_object_unref(stream);
    g_bytes_unref(body);
}

void GtkWebView::onScriptMessage(WebKitUserContentManager*, gpointer message, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    JSCValue* value = scriptMessageValue(message);
    // The page sends its actions as JSON text; an object is taken as well.
    gchar* text =
        jsc_value_is_string(value) ? jsc_value_to_string(value) : jsc_value_to_json(value, 0);
    if (text == nullptr) return;  // undefined, functions: not a message
    const std::string json = text;
    g_free(text);
    self->delegate_.scriptMessageReceived(json);
}

gboolean GtkWebView::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                    WebKitPolicyDecisionType type, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        // What the page cannot show would otherwise become a download.
        if (!webkit_response_policy_decision_is_mime_type_supported(
                WEBKIT_RESPONSE_POLICY_DECISION(decision))) {
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        return FALSE;
    }
    if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
        // The program has one window; the page cannot open others.
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const gchar* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
    if (uri != nullptr && self->delegate_.shouldAllowNavigation(uri)) {
        webkit_policy_decision_use(decision);
    } else {
        webkit_policy_decision_ignore(decision);
    }
    return TRUE;
}

void GtkWebView::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (event == WEBKIT_LOAD_STARTED) self->loadFailed_ = false;
    if (event == WEBKIT_LOAD_FINISHED && !self->loadFailed_) self->delegate_.webViewDidFinish();
}

gboolean GtkWebView::onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer data) {
    static_cast<GtkWebView*>(data)->loadFailed_ = true;
    return TRUE;  // no error page: the empty coloured window is all the user sees
}

gboolean GtkWebView::onScriptDialog(WebKitWebView*, WebKitScriptDialog*, gpointer) {
    return TRUE;  // alert, confirm and prompt have no effect
}

void GtkWebView::onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason,
                                        gpointer data) {
    static_cast<GtkWebView*>(data)->delegate_.webContentProcessDidTerminate();
}

namespace {

// The editing commands and spelling suggestions; the stock menu's others navigate (Back,
// Reload, Open Link), fetch (Download Linked File, Save Image) or inspect.
bool isEditingAction(WebKitContextMenuAction action) {
    switch (action) {
        case WEBKIT_CONTEXT_MENU_ACTION_CUT:
        case WEBKIT_CONTEXT_MENU_ACTION_COPY:
        case WEBKIT_CONTEXT_MENU_ACTION_PASTE:
        case WEBKIT_CONTEXT_MENU_ACTION_PASTE_AS_PLAIN_TEXT:
        case WEBKIT_CONTEXT_MENU_ACTION_DELETE:
        case WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL:
        case WEBKIT_CONTEXT_MENU_ACTION_SPELLING_GUESS:
        case WEBKIT_CONTEXT_MENU_ACTION_NO_GUESSES_FOUND:
        case WEBKIT_CONTEXT_MENU_ACTION_IGNORE_SPELLING:
        case WEBKIT_CONTEXT_MENU_ACTION_LEARN_SPELLING:
        case WEBKIT_CONTEXT_MENU_ACTION_IGNORE_GRAMMAR:
            return true;
        default:
            return false;
    }
}

}  // namespace

gboolean GtkWebView::onContextMenu(WebKitWebView*, WebKitContextMenu* menu, gpointer, gpointer) {
    // Taken from the end, so the items still to look at keep their positions.
    for (guint i = webkit_context_menu_get_n_items(menu); i-- > 0;) {
        WebKitContextMenuItem* item = webkit_context_menu_get_item_at_position(menu, i);
        const bool keep = webkit_context_menu_item_is_separator(item) ||
                          isEditingAction(webkit_context_menu_item_get_stock_action(item));
        if (!keep) webkit_context_menu_remove(menu, item);
    }
    // Separators left at either end or side by side separate nothing.
    for (guint i = webkit_context_menu_get_n_items(menu); i-- > 0;) {
        WebKitContextMenuItem* item = webkit_context_menu_get_item_at_position(menu, i);
        if (!webkit_context_menu_item_is_separator(item)) continue;
        const guint count = webkit_context_menu_get_n_items(menu);
        const bool atEnd = i == 0 || i + 1 == count;
        const bool doubled =
            i + 1 < count && webkit_context_menu_item_is_separator(
                                 webkit_context_menu_get_item_at_position(menu, i + 1));
        if (atEnd || doubled) webkit_context_menu_remove(menu, item);
    }
    return webkit_context_menu_get_n_items(menu) == 0;  // nothing left: no menu at all
}

}  // namespace suite::gtk
