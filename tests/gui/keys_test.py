#!/usr/bin/env python3
"""The real program driven from the keyboard and the clipboard: the first
focus, Tab, Enter, Space and plain mnemonics, pastes past an edit's limit, and
typed text Windows-1252 cannot hold. Usage: keys_test.py PROGRAM SCREENSHOT_DIR TEST_NAME"""

import os
import shutil
import subprocess
import sys
import time

from harness import wait_for
from shell_test import (ADD_BUTTON, EDITOR_TITLE as EDITOR, NO_SUMMARY, SUMMARY_TITLE, alarm,
                        gui_test, main, records, started_visible)

TESTS = {}


def added_message(s, process, keys):
    """Adds a reminder with "Ajouter", keys in the editor and OK; gives its stored message."""
    frame = started_visible(s, process)
    s.wait_active(frame)
    s.sync_with(process)
    s.click_dialog_units(frame, *ADD_BUTTON)
    box = s.window_named(EDITOR, process)
    s.wait_active(box)
    keys()
    s.key("Return")
    wait_for(lambda: not s.x.viewable(box), "OK to close the editor")
    wait_for(lambda: len(s.read("ALARMS.VBK") or b"") % 213 == 0 and s.read("ALARMS.VBK"),
             "the reminder to be saved")
    return records(s.read("ALARMS.VBK"))[-1][1].rstrip(b"\0")


@gui_test("KeysInTheMainDialog", wm=True, table=TESTS)
def test_keys_in_the_main_dialog(s):
    tab4 = ["Tab"] * 4  # "Fermer", then "Ajouter", "Supprimer", "Modifier", the list
    cases = [
        # keys, whether the frame hides, the window that opens
        (["Return"], True, None),
        (["Escape"], True, None),
        (["space"], True, None),
        (["f"], True, None),                      # plain mnemonic of the focused "&Fermer"
        (["a"], False, EDITOR),
        (["s", "s", "space"], False, SUMMARY_TITLE),  # two "&S": focus moves
        (tab4 + ["space"], False, None),
        (tab4 + ["Return"], True, None),          # the list is no button: "Fermer" is the default
        (tab4 + ["shift+Tab", "shift+Tab", "space"], False, None),  # "Supprimer", none chosen
        (tab4 + ["a"], False, None),              # a letter in the list is no mnemonic
    ]
    later = int(time.time()) + 86400
    s.write("VOBRIK.INI", NO_SUMMARY)
    for keys, hides, opens in cases:
        s.write("ALARMS.VBK", alarm(later, "un") + alarm(later + 60, "deux"))
        process = s.start()
        frame = started_visible(s, process)
        s.wait_active(frame)
        for key in keys:
            s.key(key)
        s.sync_with(process)
        if hides:
            wait_for(lambda: not s.x.viewable(frame), f"{keys} to hide the frame")
        else:
            assert s.x.viewable(frame), f"{keys} hid the frame"
        if opens is not None:
            box = s.window_named(opens, process)
            s.wait_active(box)  # the summary too takes the focus as it opens
        assert opens == EDITOR or not s.windows_named(EDITOR, process), f"{keys} opened the editor"
        assert len(records(s.read("ALARMS.VBK"))) == 2, f"{keys} deleted a reminder"
        process.kill()
        process.wait()
        wait_for(lambda: s.tray_icon(process) is None, "the program to go")


@gui_test("RingAnswersAndAlsaIsQuiet", wm=True, table=TESTS)
def test_ring_answers_and_alsa_is_quiet(s):
    # No sound card: the desktop bell rings, and ALSA writes nothing.
    with open(s.alsa_config, "w") as f:
        f.write("pcm.!default { type hw card 9 }\n")
    now = int(time.time())
    s.write("VOBRIK.INI", NO_SUMMARY)
    s.write("ALARMS.VBK", alarm(now - 120, "un") + alarm(now - 60, "deux"))
    process = s.start("HIDE")
    first, seen = s.ring_dialog(process)
    s.key("alt+v")  # within the first second: dropped
    s.wait_ring_guard(seen)
    s.sync_with(process)
    assert s.x.viewable(first), "a key in the first second answered the ring"
    s.answer_ring(process, "alt+r")
    second, seen = s.ring_dialog(process, first)
    s.wait_active(second)
    s.wait_ring_guard(seen)
    s.key("v")  # the focus is on "&Rappel": a plain "v" presses "&Valider"
    wait_for(lambda: not s.x.viewable(second), "the ring dialog to close")
    wait_for(lambda: [r[1].rstrip(b"\0") for r in records(s.read("ALARMS.VBK") or b"")] == [b"un"],
             "the first to be postponed and the second done")
    with open(s.logs[-1], "rb") as log:
        assert b"ALSA" not in log.read(), "ALSA wrote to the terminal"


@gui_test("PastesKeepWhatFits", wm=True, table=TESTS)
def test_pastes_keep_what_fits(s):
    long = "x" * 250
    cases = [
        # text in the field, keys that select, clipboard, stored message
        ("Rendez-vous important", ["ctrl+a"], long, b"x" * 199),
        ("abc", [], long, b"abc" + b"x" * 196),
        ("abc", ["Home"], long, b"x" * 196 + b"abc"),
        ("", [], "un\r\ndeux\tfin\n", b"un deux fin "),
    ]
    s.write("VOBRIK.INI", NO_SUMMARY)
    process = s.start()
    for before, select, clipboard, stored in cases:
        path = os.path.join(s.root, "clipboard.txt")
        with open(path, "w") as f:
            f.write(clipboard)
        s._spawn(["xclip", "-quiet", "-selection", "clipboard", "-i", path])

        def keys():
            s.xdotool("type", "--delay", "0", before)
            s.key(*select, "ctrl+v")
        got = added_message(s, process, keys)
        assert got == stored, f"{before!r} + paste: {got!r}"


@gui_test("TypedTextIsStoredAsWindows1252", wm=True, table=TESTS)
def test_typed_text_is_stored_as_windows_1252(s):
    cases = [
        ("Caf\u00e9 \u00e0 5 \u20ac \u2014 r\u00e9union", b"Caf\xe9 \xe0 5 \x80 \x97 r\xe9union"),
        ("\u03a9", b"?"),
        ("e\u0301", b"\xe9"),
        ("a\u202fb\u2011c", b"a\xa0b-c"),
        ("\U0001F1EB\U0001F1F7!", b"?!"),
    ]
    s.write("VOBRIK.INI", NO_SUMMARY)
    process = s.start()
    for typed, stored in cases:
        shown = []

        def keys():
            s.xdotool("type", "--delay", "80", typed)
            s.key("ctrl+a", "ctrl+c")  # what the edit shows, through the clipboard
            shown.append(subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=s.env(),
                                        capture_output=True, timeout=20).stdout)
        got = added_message(s, process, keys)
        assert (got, shown[0]) == (stored, stored.decode("cp1252").encode()), (typed, got, shown)


@gui_test("NameDayErrorShowsOnce", wm=True, table=TESTS)
def test_name_day_error_shows_once(s):
    # A copy of the program beside a name-day file it may not read: root
    # too, once it gives up the right to pass over file permissions.
    folder = os.path.join(s.root, "bin")
    os.mkdir(folder)
    for program in (s.program, os.path.join(os.path.dirname(s.program), "vobrik-window")):
        shutil.copy(program, folder)
    with open(os.path.join(folder, "FETES.TXT"), "w") as f:
        f.write("05/05;Judith\n")
    os.chmod(os.path.join(folder, "FETES.TXT"), 0)
    caps = "-dac_override,-dac_read_search"
    process = s._spawn(["setpriv", "--bounding-set=" + caps, "--inh-caps=" + caps,
                        os.path.join(folder, os.path.basename(s.program))], cwd=s.work)
    popup = s.window_named(SUMMARY_TITLE, process)
    box = s.window_named("Error", process)
    s.wait_active(box)
    s.key("Return")
    wait_for(lambda: not s.windows_named("Error", process), "the error to close")
    # Repaints of the same summary raise no second box.
    s.xdotool("windowmove", str(popup), "300", "300")
    s.sync_with(process)
    assert not wait_for(lambda: s.windows_named("Error", process), None, timeout=2), \
        "the error box showed again"


if __name__ == "__main__":
    sys.exit(main(TESTS))
