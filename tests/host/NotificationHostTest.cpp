// Notifications through GIO for real, shown by a small notification server of our own on the
// test's private session bus.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "host/HostApp.h"
#include "hosts/gio/GioNotifier.h"

namespace suite::gtk {

extern GtkApplication* gApp;

namespace {

constexpr const char* kName = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

// Only what GIO calls; the signals need no description to be sent.
constexpr const char* kServerXml = R"(<node><interface name="org.freedesktop.Notifications">
  <method name="Notify">
    <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
    <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
    <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/>
  </method>
  <method name="CloseNotification"><arg type="u" direction="in"/></method>
</interface></node>)";

// The desktop notification service as far as GIO uses it: it numbers what it is asked to show,
// keeps what it was told, and can press a button or the notification itself.
class FakeNotificationServer {
  public:
    struct Shown {
        guint32 id = 0;
        guint32 replaces = 0;
        std::string summary, body;
        std::vector<std::pair<std::string, std::string>> actions;  // key, label
    };

    FakeNotificationServer() {
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        // A connection of its own, so that GIO's calls really travel through the bus.
        connection_ = g_dbus_connection_new_for_address_sync(
            address,
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
        if (connection_ == nullptr) return;
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kServerXml, nullptr);
        static const GDBusInterfaceVTable vtable = {&onCall, nullptr, nullptr, {}};
        registration_ = g_dbus_connection_register_object(connection_, kPath, node->interfaces[0],
                                                          &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        auto acquired = [](GDBusConnection*, const gchar*, gpointer self) {
            static_cast<FakeNotificationServer*>(self)->owned = true;
        };
        owner_ = g_bus_own_name_on_connection(connection_, kName, G_BUS_NAME_OWNER_FLAGS_NONE,
                                              acquired, nullptr, this, nullptr);
        spinUntil([&] { return owned; });
    }

    ~FakeNotificationServer() {
        if (connection_ == nullptr) return;
        g_bus_unown_name(owner_);
        g_dbus_connection_unregister_object(connection_, registration_);
        g_dbus_connection_flush_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
    }

    // Presses the button labelled `label` (or, with an empty label, the notification itself).
    void press(const Shown& shown, const std::string& label) {
        std::string key = label.empty() ? "default" : "";
        for (const auto& [k, l] : shown.actions)
            if (!label.empty() && l == label) key = k;
        g_dbus_connection_emit_signal(connection_, nullptr, kPath, kName, "ActionInvoked",
                                      g_variant_new("(us)", shown.id, key.c_str()), nullptr);
        g_dbus_connection_flush_sync(connection_, nullptr, nullptr);
    }

    std::vector<Shown> shown;
    bool owned = false;  // the service's name is ours

  private:
    static void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                       const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                       gpointer data) {
        auto* self = static_cast<FakeNotificationServer*>(data);
        if (std::string(method) != "Notify") {
            g_dbus_method_invocation_return_value(invocation, nullptr);
            return;
        }
        const gchar *summary, *body;
        guint32 replaces;
        GVariantIter* actions;
        g_variant_get(parameters, "(&su&s&s&sas@a{sv}i)", nullptr, &replaces, nullptr, &summary,
                      &body, &actions, nullptr, nullptr);
        Shown shown{replaces != 0 ? replaces : ++self->lastId, replaces, summary, body, {}};
        const gchar *key, *label;
        while (g_variant_iter_next(actions, "&s", &key) &&
               g_variant_iter_next(actions, "&s", &label)) {
            shown.actions.emplace_back(key, label);
        }
        g_variant_iter_free(actions);
        self->shown.push_back(shown);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", shown.id));
    }

    GDBusConnection* connection_ = nullptr;
    guint registration_ = 0;
    guint owner_ = 0;
    guint32 lastId = 0;
};

Notification updates(const std::string& title) {
    return Notification{title, "2 updates", {{"update", "Update"}, {"later", "Later"}}};
}

TEST(GioNotifications, RoundTripThroughTheDesktopService) {
    GioNotifier notifier(G_APPLICATION(gApp), "com.brenlow.talven.suite");
    FakeNotificationServer server;
    ASSERT_TRUE(server.owned) << "no session bus to run a notification server on";
    std::vector<std::string> answers;
    notifier.setAnswerHandler([&](const std::string& action) { answers.push_back(action); });

    // Shows `title` and waits until the service has it and has answered with its id.
    auto show = [&](const std::string& title) {
        const auto count = server.shown.size() + 1;
        notifier.show("suite-update", updates(title));
        EXPECT_TRUE(spinUntil([&] { return server.shown.size() == count; })) << title;
        spinFor(0.2);
        return server.shown.size() == count ? server.shown.back() : FakeNotificationServer::Shown{};
    };
    const auto first = show("First");
    std::vector<std::string> labels;
    for (const auto& action : first.actions) labels.push_back(action.second);
    EXPECT_EQ(first.summary + "|" + first.body, "First|2 updates");
    EXPECT_EQ(labels, (std::vector<std::string>{"", "Update", "Later"}))
        << "a click target and the two buttons in order";
    const auto second = show("Second");
    EXPECT_EQ(second.replaces, first.id) << "the same id must replace the shown one";
    EXPECT_EQ(second.summary, "Second");

    // The service forgets a notification once it is answered, so each answer gets its own.
    const std::pair<std::string, std::string> presses[] = {
        {"Later", "later"}, {"Update", "update"}, {"", kNotificationClicked}};
    // Until then only this process hears the answer, so it must not make way for another.
    int elsewhere = 0;
    notifier.whenAnswerCanComeElsewhere([&] { ++elsewhere; });
    for (const auto& [label, action] : presses) {
        const auto shown = show("Answer me");
        EXPECT_TRUE(notifier.answerComesOnlyHere());
        answers.clear();
        server.press(shown, label);
        ASSERT_TRUE(spinUntil([&] { return !answers.empty(); })) << "pressed \"" << label << "\"";
        EXPECT_EQ(answers, std::vector<std::string>{action});
        EXPECT_TRUE(spinUntil([&] { return !notifier.answerComesOnlyHere(); }));
    }
    EXPECT_EQ(elsewhere, 3);
}

}  // namespace
}  // namespace suite::gtk
