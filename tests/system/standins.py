#!/usr/bin/python3
"""Stand-ins on the system bus for NetworkManager's metered state and power-profiles-daemon's
profile, as GIO's monitors read them: properties on their well-known names. Starts metered and in
power-saver mode; SIGUSR1 switches to an unmetered network and the balanced profile, telling the
listeners as the real daemons do (PropertiesChanged). Prints "ready" once both names are owned."""
import signal
import sys

from gi.repository import Gio, GLib

NM = ("org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager",
      "org.freedesktop.NetworkManager",
      {"Metered": GLib.Variant("u", 1), "Connectivity": GLib.Variant("u", 4),
       "State": GLib.Variant("u", 70), "NetworkingEnabled": GLib.Variant("b", True)})
POWER = ("net.hadess.PowerProfiles", "/net/hadess/PowerProfiles", "net.hadess.PowerProfiles",
         {"ActiveProfile": GLib.Variant("s", "power-saver")})
LATER = {NM[2]: {"Metered": GLib.Variant("u", 2)},
         POWER[2]: {"ActiveProfile": GLib.Variant("s", "balanced")}}

bus = Gio.bus_get_sync(Gio.BusType.SYSTEM)
owned = []


def serve(name, path, interface, properties):
    xml = f"<node><interface name='{interface}'>" + "".join(
        f"<property name='{key}' type='{value.get_type_string()}' access='read'/>"
        for key, value in properties.items()) + "</interface></node>"
    info = Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0]
    bus.register_object(path, info, None,
                        lambda *args: properties[args[4]],  # get_property(..., property_name)
                        None)
    Gio.bus_own_name_on_connection(bus, name, Gio.BusNameOwnerFlags.NONE,
                                   lambda *_: ready(name), lambda *_: sys.exit(f"lost {name}"))
    return properties


def ready(name):
    owned.append(name)
    if len(owned) == 2:
        print("ready", flush=True)


served = {NM[2]: serve(*NM), POWER[2]: serve(*POWER)}


def switch():
    for (name, path, interface, _) in (NM, POWER):
        served[interface].update(LATER[interface])
        bus.emit_signal(None, path, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                        GLib.Variant("(sa{sv}as)", (interface, LATER[interface], [])))
    return GLib.SOURCE_CONTINUE


GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, switch)
GLib.MainLoop().run()
