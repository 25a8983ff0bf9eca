#!/usr/bin/python3
"""The tray icon on the real program, as each kind of desktop shows it: a
StatusNotifierItem watcher and host on a private session bus, the XEmbed tray
(trayer), and no tray at all under a window manager (openbox).
Usage: tray_test.py PROGRAM SCREENSHOT_DIR TEST_NAME"""

import os
import subprocess
import sys
import threading
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

from harness import wait_for  # noqa: E402
from shell_test import CLOSE_BUTTON, NO_SUMMARY, QUIT_BUTTON, alarm, gui_test, main, records  # noqa: E402

ITEM = "org.kde.StatusNotifierItem"
WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_XML = f"""<node><interface name="{WATCHER}">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
</interface></node>"""
NOTIFICATIONS = "org.freedesktop.Notifications"
NOTIFICATIONS_XML = f"""<node><interface name="{NOTIFICATIONS}">
  <method name="Notify"><arg type="s"/><arg type="u"/><arg type="s"/><arg type="s"/><arg type="s"/>
    <arg type="as"/><arg type="a{{sv}}"/><arg type="i"/><arg type="u" direction="out"/></method>
  <method name="CloseNotification"><arg type="u"/></method>
  <method name="GetCapabilities"><arg type="as" direction="out"/></method>
</interface></node>"""
ICON = os.path.join(os.path.dirname(__file__), "..", "..", "resources", "icon1010_32.png")


class Service:
    """A D-Bus service of the test's on a private bus, answering on a thread of
    its own; it records the calls it gets."""

    def __init__(self, address, name, path, xml):
        self.calls, self.path = [], path
        self.context = GLib.MainContext()
        self.context.push_thread_default()
        flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                 | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        self.bus = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
        self.interface = Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0]
        self.bus.register_object(path, self.interface, self._call,
                                 lambda *args: GLib.Variant("b", True), None)
        self.context.pop_thread_default()
        self.loop = GLib.MainLoop(self.context)
        self.thread = threading.Thread(target=lambda: (self.context.push_thread_default(),
                                                       self.loop.run()), daemon=True)
        self.thread.start()
        self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "RequestName", GLib.Variant("(su)", (name, 4)))

    def _call(self, bus, sender, path, interface, method, args, invocation):
        self.calls.append((method, args.unpack()))
        invocation.return_value(self.answer(method, args.unpack()))

    def answer(self, method, args):
        return None

    def call(self, service, path, interface, method, args=None):
        return self.bus.call_sync(service, path, interface, method, args, None,
                                  Gio.DBusCallFlags.NONE, 5000, None).unpack()

    def emit(self, signal, args):
        self.bus.emit_signal(None, self.path, self.interface.name, signal, args)

    def leave(self):
        self.bus.close_sync(None)
        self.loop.quit()
        self.thread.join()


class Watcher(Service):
    """A watcher that is its own host."""

    def __init__(self, address):
        super().__init__(address, WATCHER, "/StatusNotifierWatcher", WATCHER_XML)

    @property
    def items(self):
        return [args[0] for method, args in self.calls]

    def item(self, method, args, interface=ITEM):
        return self.call(self.items[-1], "/StatusNotifierItem", interface, method, args)


class Notifications(Service):
    """The desktop's notification service."""

    def __init__(self, address):
        super().__init__(address, NOTIFICATIONS, "/org/freedesktop/Notifications", NOTIFICATIONS_XML)

    def answer(self, method, args):
        if method == "Notify":
            return GLib.Variant("(u)", (len(self.notified()),))
        if method == "GetCapabilities":
            return GLib.Variant("(as)", (["actions", "body"],))
        return None

    def notified(self):
        return [args for method, args in self.calls if method == "Notify"]

    def closed(self):
        return [args[0] for method, args in self.calls if method == "CloseNotification"]


def private_bus(s):
    path = os.path.join(s.root, "bus")
    s._spawn(["dbus-daemon", "--session", "--nofork", f"--address=unix:path={path}"])
    wait_for(lambda: os.path.exists(path), "the session bus")
    return f"unix:path={path}"


def hidden(s, frame):
    return not s.x.viewable(frame) and not s.x.iconic(frame)


def minimisable(s, frame):
    return bool(s.x.property_longs(frame, "_MOTIF_WM_HINTS")[1] & 8)


def icon_argb():
    rgba = subprocess.run(["convert", ICON, "-depth", "8", "rgba:-"], check=True,
                          capture_output=True).stdout
    return bytes(b for i in range(0, len(rgba), 4) for b in (rgba[i + 3], *rgba[i:i + 3]))


def registered_item(s, process, watcher):
    """Once the item is registered and holds the hidden frame alone. A frame
    never shown may have no window yet."""
    wait_for(lambda: watcher.items, "the item to register")
    wait_for(lambda: all(hidden(s, w) for w in s.windows_named("Vobrik", process))
             and s.tray_icon(process) is None, "the item alone to hold the hidden frame")

TESTS = {}


@gui_test("StatusNotifierItemThenXEmbed", wm=True, table=TESTS)
@gui_test("StatusNotifierItemThenNoTray", tray=False, wm=True, table=TESTS)
def test_status_notifier_item_then_its_watcher_goes(s):
    tray = s.x.selection_owner("_NET_SYSTEM_TRAY_S0")
    address = private_bus(s)
    watcher = Watcher(address)
    process = s.start("HIDE", DBUS_SESSION_BUS_ADDRESS=address)
    registered_item(s, process, watcher)
    found = watcher.item("GetAll", GLib.Variant("(s)", (ITEM,)), "org.freedesktop.DBus.Properties")[0]
    assert {k: found[k] for k in ("Id", "Title", "IconName", "ItemIsMenu")} == \
        {"Id": "vobrik", "Title": "Vobrik", "IconName": "vobrik", "ItemIsMenu": False}, found
    assert found["ToolTip"][2:] == ("Vobrik", "Aucune alarme"), found["ToolTip"]
    # Reminders added from a terminal: the tip names the earliest as soon as
    # the command returns.
    for message, hour in (("Plus tard", "11:00"), ("Dentiste", "10:00")):
        subprocess.run([s.program, "--add", message, "--at", "2031-01-07 " + hour], check=True,
                       env=s.env(DBUS_SESSION_BUS_ADDRESS=address), capture_output=True, timeout=20)
    tip = watcher.item("Get", GLib.Variant("(ss)", (ITEM, "ToolTip")), "org.freedesktop.DBus.Properties")
    assert tip[0][3] == "Prochaine alarme : mardi 7 janvier 2031 \u00e0 10:00 \u2014 Dentiste", tip
    pixmaps = {w: bytes(data) for w, h, data in found["IconPixmap"] if w == h}
    assert sorted(pixmaps) == [16, 32, 48, 64], found["IconPixmap"]  # the host picks its size
    assert pixmaps[32] == icon_argb(), "the 32-pixel icon is not the ARGB picture"

    for method in ("Activate", "ContextMenu"):
        watcher.item(method, GLib.Variant("(ii)", (0, 0)))
        frame = s.frame(process)
        wait_for(lambda: s.x.viewable(frame), f"{method} to show the frame")
        s.click_dialog_units(frame, *CLOSE_BUTTON)
        wait_for(lambda: hidden(s, frame), '"Fermer" to hide the frame')

    watcher.leave()
    if tray:
        s.wait_docked(process)
        assert hidden(s, frame)
    else:
        wait_for(lambda: s.x.iconic(frame), "the frame to be minimised without a tray")
        registered_item(s, process, Watcher(address))


@gui_test("RingIsADesktopNotificationToo", wm=True, table=TESTS)
def test_a_ring_is_a_desktop_notification_too(s):
    """Each ring is a critical notification with the dialog's answers; an
    answer in one place closes the other. Without a service nothing changes
    (every other ring test)."""
    address = private_bus(s)
    service = Notifications(address)
    now = int(time.time())
    s.write("VOBRIK.INI", NO_SUMMARY)
    s.write("ALARMS.VBK", alarm(now - 120, "Premier") + alarm(now - 60, "Second"))
    process = s.start("HIDE", DBUS_SESSION_BUS_ADDRESS=address)
    first, seen = s.ring_dialog(process)
    wait_for(lambda: service.notified(), "the notification")
    name, replaces, icon, summary, body, actions, hints, timeout = service.notified()[0]
    assert (name, icon, summary, hints["urgency"]) == ("Vobrik", "vobrik", "Vobrik", 2), service.calls
    assert body.startswith("Premier\n") and actions == ["valider", "Valider", "rappel", "Rappel"], body
    service.emit("ActionInvoked", GLib.Variant("(us)", (1, "valider")))  # as the button "Valider"
    wait_for(lambda: not s.x.viewable(first), "the notification's answer to close the dialog")
    second, seen = s.ring_dialog(process, first)
    wait_for(lambda: len(service.notified()) == 2 and service.closed() == [1], "the second notification")
    s.answer_ring(process, "alt+v", first)  # answered in the dialog: the notification goes
    wait_for(lambda: service.closed() == [1, 2], "the notification to be withdrawn")
    wait_for(lambda: records(s.read("ALARMS.VBK") or b"") == [], "both answered \"Valider\"")
    # Where no display opens (Wayland without XWayland), the desktop says why.
    process.terminate()
    s.exit_code(process)
    done = subprocess.run([s.program], env=s.env(DISPLAY=":99", DBUS_SESSION_BUS_ADDRESS=address),
                          capture_output=True, timeout=20)
    assert done.returncode == 1 and "XWayland" in done.stderr.decode(), done
    assert "XWayland" in service.notified()[-1][4], service.notified()
    service.leave()


@gui_test("WithoutTrayQuitNoStaysMinimised", tray=False, wm=True, table=TESTS)
def test_without_a_tray_quit_no_stays_minimised(s):
    process = s.start()
    frame = s.frame(process)
    wait_for(lambda: s.x.viewable(frame), "the frame to show")
    assert minimisable(s, frame), "the window manager is told the frame cannot be minimised"
    s.wait_active(frame)
    s.click_dialog_units(frame, *QUIT_BUTTON)
    box = s.window_named("Confirmation", process)
    s.wait_active(box)
    s.key("alt+n")
    wait_for(lambda: s.x.iconic(frame), '"Non" to leave the frame minimised')
    assert process.poll() is None

    # Back on screen, by the window manager: a close request minimises it again.
    s.xdotool("windowactivate", str(frame))
    s.wait_active(frame)
    s.key("alt+F4")
    wait_for(lambda: s.x.iconic(frame), "the close request to minimise the frame")
    s.sync_with(process)
    assert process.poll() is None, "a close request on the frame on screen ended the program"


@gui_test("LateTrayTakesTheHiddenFrame", tray=False, wm=True, table=TESTS)
def test_a_tray_that_comes_late_takes_the_hidden_frame(s):
    process = s.start("HIDE")
    frame = s.frame(process)
    wait_for(lambda: s.x.iconic(frame), "a hidden start to minimise the frame")
    host = s.start_tray()
    s.wait_docked(process)
    wait_for(lambda: hidden(s, frame), "the tray to take the frame")
    assert not minimisable(s, frame), "with a tray, the frame goes there, not to the task bar"
    host.terminate()
    wait_for(lambda: s.x.iconic(frame), "the frame to be minimised once the tray has gone")
    assert minimisable(s, frame) and process.poll() is None


if __name__ == "__main__":
    sys.exit(main(TESTS))
