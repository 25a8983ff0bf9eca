#!/usr/bin/python3
"""What a screen reader hears of the real program, on the accessibility bus
(AT-SPI, what Orca reads). Usage: a11y_test.py PROGRAM SCREENSHOT_DIR TEST_NAME"""

import os
import signal
import sys
import time

from harness import wait_for
from shell_test import EDITOR_TITLE, NO_SUMMARY, SUMMARY_TITLE, alarm, gui_test, main
from tray_test import private_bus

TESTS = {}
NAMED = {"push button", "check box", "radio button", "text", "table", "static"}


def accessibility_bus(s):
    """A session bus and its accessibility bus, which Atspi here reads."""
    address = private_bus(s)
    s._spawn(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
             env=s.env(DBUS_SESSION_BUS_ADDRESS=address))
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
    return address, Atspi


def children(node):
    return [node.get_child_at_index(i) for i in range(node.get_child_count())]


def window(Atspi, title):
    """The program's top-level window of that name, once it is on the bus."""
    return wait_for(lambda: next((top for app in children(Atspi.get_desktop(0)) for top in children(app)
                                  if top.get_name() == title), None), f'"{title}" on the bus')


def controls(node):
    return [node] * (node.get_role_name() in NAMED) + [c for n in children(node) for c in controls(n)]


def labels(Atspi, node):
    return [r.get_target(i).get_name() for r in node.get_relation_set()
            if r.get_relation_type() == Atspi.RelationType.LABELLED_BY for i in range(r.get_n_targets())]


@gui_test("ScreenReaderHearsEveryControl", wm=True, table=TESTS)
def test_a_screen_reader_hears_every_control_the_summary_and_the_ring(s):
    address, Atspi = accessibility_bus(s)
    env = {"DBUS_SESSION_BUS_ADDRESS": address, "NO_AT_BRIDGE": ""}
    now = int(time.time())
    s.write("ALARMS.VBK", alarm(now + 3600, "Plus tard"))
    process = s.start(**env)
    # The summary reads as one text: the two dates, the name days, the lines.
    summary = window(Atspi, SUMMARY_TITLE)
    read = wait_for(lambda: [c.get_name() for c in controls(summary) if "Plus tard" in c.get_name()],
                    "the summary's text")
    lines = read[0].split("\n")  # "Lundi 7 d\u00e9cembre 2026", ..., "10:42 - Plus tard"
    assert lines[0].split()[1::2] == [str(time.localtime().tm_mday), time.strftime("%Y")] and \
        f"{time.strftime('%H:%M', time.localtime(now + 3600))} - Plus tard" in lines, read

    named = [(c.get_role_name(), c.get_name()) for c in controls(window(Atspi, "Vobrik"))]
    assert ("table", "Alarmes") in named and all(name for _, name in named), named
    s.wait_active(s.shown("Vobrik", process))
    s.key("alt+a")
    editor = window(Atspi, EDITOR_TITLE)
    texts = [c for c in controls(editor) if c.get_role_name() == "text"]
    assert [(t.get_name(), labels(Atspi, t)) for t in texts] == [
        ("Message :", ["Message :"]), ("Jour :", ["Jour :"]), ("Mois :", ["Mois :"]),
        ("Ann\u00e9e :", ["Ann\u00e9e :"]), ("Heures :", ["Heures :"]), ("Minutes :", ["Minutes :"]),
        ("Rappel tous les \u2026 jour(s)", ["Rappel tous les", "jour(s)"])]
    radios = [c for c in controls(editor) if c.get_role_name() == "radio button"]
    assert len(radios) == 4 and all(r.get_name() for r in radios), [r.get_name() for r in radios]
    process.send_signal(signal.SIGTERM)
    s.exit_code(process)  # before the next copy starts

    # The ring is an alert, announced with the reminder's message.
    s.write("ALARMS.VBK", alarm(now - 60, "Dentiste \u00e0 10h"))
    s.write("VOBRIK.INI", NO_SUMMARY)
    s.start("HIDE", **env)
    ring = window(Atspi, s.RING_TITLE)
    assert (ring.get_role_name(), ring.get_description()) == ("alert", "Dentiste \u00e0 10h")
    assert [c.get_name() for c in controls(ring) if c.get_role_name() == "text"] == ["Rappel dans"]


if __name__ == "__main__":
    sys.exit(main(TESTS))
