// The desktop's dark style as the settings portal tells it, over the real session bus: a stand-in
// portal owns the portal's name, answers "ReadOne" and announces a change.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include "fakes/FakePlatform.h"
#include "host/HostApp.h"
#include "hosts/gtk/GtkSystemSettings.h"

namespace suite::gtk {
namespace {

constexpr const char* kSettingsXml = R"(<node><interface name="org.freedesktop.portal.Settings">
  <method name="ReadOne"><arg type="s" direction="in"/><arg type="s" direction="in"/>
    <arg type="v" direction="out"/></method>
  <signal name="SettingChanged"><arg type="s"/><arg type="s"/><arg type="v"/></signal>
</interface></node>)";

TEST(AppearancePortal, DarkStyleIsReadAndFollowed) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_NE(bus, nullptr) << "run under tests/with-display.sh, which starts a session bus";
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kSettingsXml, nullptr);
    static std::uint32_t scheme = 1;  // prefer dark
    GDBusInterfaceVTable vtable{};
    vtable.method_call = [](GDBusConnection*, const gchar*, const gchar*, const gchar*,
                            const gchar*, GVariant*, GDBusMethodInvocation* call, gpointer) {
        g_dbus_method_invocation_return_value(call,
                                              g_variant_new("(v)", g_variant_new_uint32(scheme)));
    };
    const guint object =
        g_dbus_connection_register_object(bus, "/org/freedesktop/portal/desktop",
                                          node->interfaces[0], &vtable, nullptr, nullptr, nullptr);
    const guint name = g_bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop",
                                                    G_BUS_NAME_OWNER_FLAGS_NONE, nullptr, nullptr,
                                                    nullptr, nullptr);
    spinFor(0.2);  // the name is ours before anyone asks

    fakes::FakeEnvironment env;  // no variables at all
    GtkSystemSettings settings(env);
    int changes = 0;
    settings.observeAppearance([&] { ++changes; });
    EXPECT_TRUE(spinUntil([&] { return settings.isDark(); })) << "the portal's answer was not read";

    scheme = 2;  // prefer light, announced as the portal does
    g_dbus_connection_emit_signal(bus, nullptr, "/org/freedesktop/portal/desktop",
                                  "org.freedesktop.portal.Settings", "SettingChanged",
                                  g_variant_new("(ssv)", "org.freedesktop.appearance",
                                                "color-scheme", g_variant_new_uint32(scheme)),
                                  nullptr);
    EXPECT_TRUE(spinUntil([&] { return !settings.isDark(); })) << "the change was not followed";
    EXPECT_EQ(changes, 2);

    g_bus_unown_name(name);
    g_dbus_connection_unregister_object(bus, object);
    g_dbus_node_info_unref(node);
    g_object_unref(bus);
}

}  // namespace
}  // namespace suite::gtk
