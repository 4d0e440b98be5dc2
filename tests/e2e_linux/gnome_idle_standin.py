#!/usr/bin/python3
"""A stand-in for GNOME's idle monitor and session manager on a private session bus.

Idle watches fire after their interval without "activity"; activity is what a test reports
with Poke() on this program's own interface (after typing a key at the show, say), which
fires the user-active watches and starts the idle count again. SetInhibited(b) plays an
application holding the screen saver off (IsInhibited(8) answers it). Prints "ready" once
every name is owned.
"""
import sys
import time

from gi.repository import Gio, GLib

MONITOR_XML = """
<node>
  <interface name="org.gnome.Mutter.IdleMonitor">
    <method name="GetIdletime"><arg type="t" direction="out"/></method>
    <method name="AddIdleWatch"><arg type="t" direction="in"/><arg type="u" direction="out"/></method>
    <method name="AddUserActiveWatch"><arg type="u" direction="out"/></method>
    <method name="RemoveWatch"><arg type="u" direction="in"/></method>
    <signal name="WatchFired"><arg type="u"/></signal>
  </interface>
</node>"""
SESSION_XML = """
<node>
  <interface name="org.gnome.SessionManager">
    <method name="IsInhibited"><arg type="u" direction="in"/><arg type="b" direction="out"/></method>
  </interface>
</node>"""
CONTROL_XML = """
<node>
  <interface name="velmora.test.IdleStandIn">
    <method name="Poke"/>
    <method name="SetInhibited"><arg type="b" direction="in"/></method>
  </interface>
</node>"""
MONITOR_PATH = "/org/gnome/Mutter/IdleMonitor/Core"

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
state = {"last_activity": time.monotonic(), "inhibited": False, "next_id": 1}
idle_watches = {}  # id -> [interval_ms, pending timer or 0]
active_watches = set()


def fire(watch_id):
    bus.emit_signal(None, MONITOR_PATH, "org.gnome.Mutter.IdleMonitor", "WatchFired", GLib.Variant("(u)", (watch_id,)))


def arm(watch_id):
    """Fires the idle watch when its interval has passed since the last activity."""
    watch = idle_watches[watch_id]
    if watch[1]:
        GLib.source_remove(watch[1])
    due_ms = watch[0] - (time.monotonic() - state["last_activity"]) * 1000

    def due():
        watch[1] = 0
        fire(watch_id)
        return False

    watch[1] = GLib.timeout_add(max(0, int(due_ms)), due)


def new_id():
    state["next_id"] += 1
    return state["next_id"] - 1


def monitor_call(conn, sender, path, interface, method, params, invocation):
    if method == "GetIdletime":
        invocation.return_value(GLib.Variant("(t)", (int((time.monotonic() - state["last_activity"]) * 1000),)))
    elif method == "AddIdleWatch":
        watch_id = new_id()
        idle_watches[watch_id] = [params.unpack()[0], 0]
        arm(watch_id)
        invocation.return_value(GLib.Variant("(u)", (watch_id,)))
    elif method == "AddUserActiveWatch":
        watch_id = new_id()
        active_watches.add(watch_id)
        invocation.return_value(GLib.Variant("(u)", (watch_id,)))
    elif method == "RemoveWatch":
        watch_id = params.unpack()[0]
        active_watches.discard(watch_id)
        watch = idle_watches.pop(watch_id, None)
        if watch and watch[1]:
            GLib.source_remove(watch[1])
        invocation.return_value(None)


def session_call(conn, sender, path, interface, method, params, invocation):
    flags = params.unpack()[0]
    invocation.return_value(GLib.Variant("(b)", (state["inhibited"] and bool(flags & 8),)))


def control_call(conn, sender, path, interface, method, params, invocation):
    if method == "Poke":
        state["last_activity"] = time.monotonic()
        for watch_id in sorted(active_watches):
            fire(watch_id)
        active_watches.clear()
        for watch_id in idle_watches:
            arm(watch_id)
    elif method == "SetInhibited":
        state["inhibited"] = params.unpack()[0]
    invocation.return_value(None)


for xml, path, handler in ((MONITOR_XML, MONITOR_PATH, monitor_call),
                           (SESSION_XML, "/org/gnome/SessionManager", session_call),
                           (CONTROL_XML, "/", control_call)):
    info = Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0]
    bus.register_object(path, info, handler, None, None)
for name in ("org.gnome.Mutter.IdleMonitor", "org.gnome.SessionManager", "velmora.test.IdleStandIn"):
    reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                          GLib.Variant("(su)", (name, 4)), GLib.VariantType("(u)"), Gio.DBusCallFlags.NONE, -1, None)
    if reply.unpack()[0] != 1:
        sys.exit(f"could not own {name}")
print("ready", flush=True)
GLib.MainLoop().run()
