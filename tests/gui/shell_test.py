#!/usr/bin/env python3
"""Drives the real program on a private X server, one behaviour per test.
Usage: shell_test.py PROGRAM SCREENSHOT_DIR TEST_NAME"""

import fcntl
import itertools
import os
import re
import signal
import struct
import subprocess
import sys
import threading
import time
import wave

from harness import DEADLINE, faketime, run, wait_for

RECORD = 213
NO_SUMMARY = b"RESUME=0\r\n"

# Places in the main dialog, in dialog units.
QUIT_BUTTON, CLOSE_BUTTON, ADD_BUTTON = (282, 123), (282, 105), (282, 24)
HIDE_BOX, SUMMARY_BOX, SUMMARY_BUTTON = (340, 39), (340, 51), (363, 10)

EDITOR_TITLE = "Propri\u00e9t\u00e9s de l'alarme"

SUMMARY_TITLE = "R\u00e9sum\u00e9 du jour"
SUMMARY_BORDER = 3  # pixels of the summary's own frame on each side

# Where the documentation's pictures go (build/doc), and a test's screenshots.
DOC_DIR = SCREENSHOTS = None

TESTS = {}  # name: (function, tray host, window manager)

# The tests' own dates are read in the program's zone.
os.environ["TZ"] = "Europe/Paris"
time.tzset()


def gui_test(name, tray=True, wm=False, table=TESTS):
    def register(function):
        table[name] = (function, tray, wm)
        return function
    return register


def alarm(when, message, kind=1, every_days=0, ident=0):
    return struct.pack("<i200sBii", when, message.encode("cp1252"), kind, every_days, ident)


def records(data):
    return [struct.unpack("<i200sBii", data[i:i + RECORD]) for i in range(0, len(data), RECORD)]


def started_visible(session, process):
    frame = session.shown("Vobrik", process)
    session.wait_docked(process)
    return frame


def started_hidden(session, process):
    """A hidden frame may have no X window at all until it is first shown. A
    frame being shown may send its map request only in the next round of the
    program's loop: two rounds are awaited."""
    session.wait_docked(process)
    session.sync_with(process)
    session.sync_with(process)
    assert not any(session.x.viewable(w) for w in session.windows_named("Vobrik", process)), \
        "the frame showed on a hidden start"


def summaries(session, process):
    return session.windows_named(SUMMARY_TITLE, process)


def press_and_release(session, window, press, release):
    """A left press and release at two points of the window, in pixels."""
    session.xdotool("mousemove", "--window", str(window), str(press[0]), str(press[1]),
                    "mousedown", "1",
                    "mousemove", "--window", str(window), str(release[0]), str(release[1]),
                    "mouseup", "1")


def local(year, month, day, hour, minute, second=0):
    return int(time.mktime((year, month, day, hour, minute, second, 0, 0, -1)))


def screen_pixels(path, width=1024):
    """The colour at (x, y) of a screenshot of the whole screen."""
    data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                          capture_output=True, timeout=DEADLINE).stdout
    return lambda x, y: tuple(data[3 * (y * width + x):3 * (y * width + x) + 3])


# -- start-up, the tray icon, hiding and quitting ---------------------------

def opengl_mapped(process):
    with open(f"/proc/{process.pid}/maps") as f:
        return {line.split()[-1] for line in f if re.search(r"/lib(E?GL|GLX)\b|_dri\.so|libLLVM", line)}


@gui_test("StartUpShowsOrHidesTheFrame")
def test_start_up_shows_or_hides_the_frame(s):
    # Each copy is the first GTK client of the server, for which GTK would
    # load the GL driver to choose its visuals: only when the user asks.
    for settings, args, env, hidden in [(None, (), {}, False), (None, ("hide",), {}, True),
                                        (None, ("HIDE",), {"GDK_GL": "always"}, True),
                                        (b"hide=1\r\n", (), {}, True)]:
        if settings:
            s.write("VOBRIK.INI", settings)
        process = s.start(*args, **env)
        if hidden:
            started_hidden(s, process)
        else:
            started_visible(s, process)
            s.sync_with(process)
        assert bool(opengl_mapped(process)) == bool(env), (env, opengl_mapped(process))
        assert s.read("ALARMS.VBK") is None, "the reminder file was written at start"
        assert s.read("VOBRIK.INI") == settings, "settings were written without a click"
        process.send_signal(signal.SIGTERM)
        assert s.exit_code(process) == 0
        wait_for(lambda: s.tray_icon(process) is None, "the tray icon to go")


@gui_test("TrayPressesShowTheFrame")
def test_button_presses_on_the_tray_icon_show_the_frame(s):
    process = s.start("HIDE")
    started_hidden(s, process)
    icon = s.wait_docked(process)
    x, y, width, height = s.x.geometry(icon)
    s.xdotool("mousemove", str(x + 2), str(y + 2), "mousemove", str(x + width // 2),
              str(y + height // 2), "click", "2", "click", "4", "click", "5")
    s.sync_with(process)
    assert not any(s.x.viewable(w) for w in s.windows_named("Vobrik", process)), \
        "a move, a middle click or a wheel turn showed the frame"
    s.press_tray(process, 1)
    frame = s.shown("Vobrik", process)
    s.click_dialog_units(frame, *CLOSE_BUTTON)
    wait_for(lambda: not s.x.viewable(frame), '"Fermer" to hide the frame')
    s.press_tray(process, 3)
    wait_for(lambda: s.x.viewable(frame), "a right press to show the frame")


@gui_test("QuitNoStaysACloseRequestHidesQuitYesEnds", wm=True)
def test_quit_no_stays_in_the_tray_a_close_request_hides_quit_yes_ends(s):
    process = s.start()
    frame = started_visible(s, process)
    for answer in ("alt+n", "alt+o"):
        s.wait_active(frame)
        s.click_dialog_units(frame, *QUIT_BUTTON)
        box = s.window_named("Confirmation", process)
        assert not s.x.viewable(frame), "the frame should go before the question"
        s.wait_active(box)
        s.key(answer)
        if answer == "alt+n":
            wait_for(lambda: not s.windows_named("Confirmation", process), "the question to close")
            s.sync_with(process)
            assert process.poll() is None and not s.x.viewable(frame), "No ended the program"
            s.press_tray(process, 1)
            wait_for(lambda: s.x.viewable(frame), "the tray icon to show the frame")
            # A close request hides the focused frame; the tray brings it back.
            s.wait_active(frame)
            s.x.send_delete_window(frame)
            wait_for(lambda: not s.x.viewable(frame), "the close request to hide the frame")
            s.sync_with(process)
            assert process.poll() is None, "a close request on the active frame ended the program"
            s.press_tray(process, 1)
            wait_for(lambda: s.x.viewable(frame), "the tray icon to show the frame again")
    assert s.exit_code(process) == 0
    assert s.read("ALARMS.VBK") is None and s.read("VOBRIK.INI") is None, "quitting wrote files"


@gui_test("SecondCopyShowsTheFirst")
def test_second_copy_shows_the_first_and_exits(s):
    first = s.start("HIDE")
    started_hidden(s, first)
    second = s.start()
    assert s.exit_code(second) == 0
    frame = s.shown("Vobrik", first)
    # The first copy still counts itself as hidden: the next close request
    # ends it without a question.
    s.x.send_delete_window(frame)
    assert s.exit_code(first) == 0


# -- settings ----------------------------------------------------------------

@gui_test("CheckBoxClicksRewriteSettings")
def test_each_check_box_click_rewrites_the_settings(s):
    s.write("VOBRIK.INI", b"POSX=150\nposy=-20\n; mine\nPOSW=640\n")
    process = s.start()
    frame = started_visible(s, process)
    for box, flags in ((HIDE_BOX, b"HIDE=1\r\nRESUME=1"), (SUMMARY_BOX, b"HIDE=1\r\nRESUME=0"),
                       (HIDE_BOX, b"HIDE=0\r\nRESUME=0")):
        s.click_dialog_units(frame, *box)
        wanted = flags + b"\r\nPOSX=150\r\nPOSY=-20\r\nPOSH=200\r\nPOSW=640\r\n"
        wait_for(lambda: s.read("VOBRIK.INI") == wanted, f"the settings {wanted}")


@gui_test("UnreadableSettingsStopSetUp", wm=True)
def test_unreadable_settings_stop_the_set_up(s):
    os.mkdir(s.path("VOBRIK.INI"))  # exists, cannot be read as a file
    s.write("ALARMS.VBK", alarm(int(time.time()) - 60, "due"))
    process = s.start()
    box = s.window_named("Error", process)
    s.wait_active(box)
    s.key("Return")
    s.frame(process)
    s.sync_with(process)
    # Set-up stopped: no reminder was loaded and no timer runs, so the due
    # reminder is still in its file.
    assert len(records(s.read("ALARMS.VBK"))) == 1
    assert process.poll() is None


@gui_test("UnreadableRemindersRingOnceReadable", wm=True)
def test_reminders_that_could_not_be_read_at_start_ring_once_they_can(s):
    s.write("VOBRIK.INI", NO_SUMMARY)
    os.mkdir(s.path("ALARMS.VBK"))  # exists, cannot be read as a file
    process = s.start()
    s.wait_active(s.window_named("Error", process))
    s.key("Return")
    os.rmdir(s.path("ALARMS.VBK"))
    s.write("ALARMS.VBK", alarm(int(time.time()) - 60, "Lisible"))
    s.ring_dialog(process)


# -- the ring ----------------------------------------------------------------

@gui_test("DueReminderRingsAndIsAnswered", wm=True)
def test_a_due_reminder_rings_and_is_answered_from_the_keyboard(s):
    with wave.open(os.path.join(os.path.dirname(s.program), "DRING.WAV")) as ring:
        sound = ring.readframes(ring.getnframes())
    now = local(2024, 12, 31, 23, 59, 30)
    message = "Anniversaire de Zo\u00e9"
    rent = local(2025, 1, 15, 9, 0, 0)
    before = alarm(now - 30, message) + alarm(rent, "Loyer", 2)
    answers = [
        # What is typed, and when the postponement falls due.
        ('"Valider"', ["Escape"], None),
        ('"Rappel"', ["Return"], local(2025, 1, 1, 0, 1, 30)),
        # From "Rappel": "Valider", the amount, the units, "Rappel dans".
        ('"Rappel dans" 90 "Minutes"', ["Tab", "Tab", "9", "0", "Tab", "Right", "Tab", "Return"],
         now + 90 * 60),
    ]
    s.write("VOBRIK.INI", NO_SUMMARY)  # an open summary holds the check pass back
    for name, keys, postponed in answers:
        s.write("ALARMS.VBK", before)
        s.write(s.played, b"")
        # The calendar clock stands still; the monotonic one runs for the timers.
        process = s.start("HIDE", **faketime("2024-12-31 23:59:30"),
                          FAKETIME_DONT_FAKE_MONOTONIC="1")
        dialog, seen = s.ring_dialog(process)
        assert s.read(s.played) == sound, "the ring did not play whole before the dialog showed"
        s.wait_active(dialog)
        s.wait_ring_guard(seen)
        s.key(*keys)
        wait_for(lambda: not s.x.viewable(dialog), "the ring dialog to close")
        wait_for(lambda: s.read("ALARMS.VBK") != before, f"the pass to save after {name}")
        # The one-time reminder's slot takes the last record, the postponement
        # (Id 3), which is visited again and is not due; the file keeps the
        # order the pass left.
        expected = alarm(rent, "Loyer", 2, 0, 2)
        if postponed is not None:
            expected = alarm(postponed, message, 1, 0, 3) + expected
        assert s.read("ALARMS.VBK") == expected, \
            f"after {name}: {records(s.read('ALARMS.VBK'))}"
        process.send_signal(signal.SIGTERM)
        assert s.exit_code(process) == 0


@gui_test("RingIgnoresAHeldKeyAndAStalledDevice", wm=True)
def test_ring_ignores_a_held_key_and_waits_no_longer_than_the_bound_on_a_stalled_device(s):
    # The device's samples go to a pipe that is opened and never read: writes
    # block once its one page is full, as on a sound server that hangs.
    os.mkfifo(s.played)
    reader = os.open(s.played, os.O_RDONLY | os.O_NONBLOCK)
    fcntl.fcntl(reader, 1031, 4096)  # F_SETPIPE_SZ
    bound = 1.5 + 2.0 + 1.5  # the sound's length, the margin, and room for a loaded machine
    s.write("ALARMS.VBK", alarm(int(time.time()) - 60, "un") + alarm(int(time.time()) - 60, "deux"))
    s.write("VOBRIK.INI", NO_SUMMARY)
    held = threading.Event()

    def hold_enter():  # Enter would answer "Rappel"
        while not held.is_set():
            s.key("Return")
    holder = threading.Thread(target=hold_enter)
    process = s.start("HIDE")
    begun = time.monotonic()
    holder.start()
    try:
        dialog, seen = s.ring_dialog(process)
        assert seen - begun < bound, f"the ring waited {seen - begun:.1f} s on the device"
        wait_for(lambda: time.monotonic() > seen + 2, "two seconds of Enter")
    finally:
        held.set()
        holder.join()
    assert s.x.viewable(dialog), "the held key answered the ring"
    s.answer_ring(process, "Escape")
    begun = time.monotonic()  # the second ring meets the device still stalled
    _, seen = s.ring_dialog(process, dialog)
    assert seen - begun < bound, f"the second ring waited {seen - begun:.1f} s"
    s.answer_ring(process, "Escape", dialog)
    wait_for(lambda: s.read("ALARMS.VBK") == b"", "the pass to save after Valider")
    os.close(reader)


# -- the editor ----------------------------------------------------------------

@gui_test("EditorAddsTheTypedReminder", wm=True)
def test_editor_adds_the_typed_reminder_within_its_field_limits(s):
    process = s.start()
    frame = started_visible(s, process)
    s.click_dialog_units(frame, *ADD_BUTTON)
    editor = s.window_named(EDITOR_TITLE, process)
    s.wait_active(editor)
    # Each edit takes one character fewer than its field, the message 199:
    # the B does not fit, and the Z takes the place of the A.
    s.xdotool("type", "--delay", "2", "M" * 198 + "AB")
    s.key("BackSpace")
    s.xdotool("type", "Z")
    for typed in ("123", "3", "20311", "8", "150"):  # day, month, year, hour, minute
        s.key("Tab")
        s.xdotool("type", typed)
    s.key("Return")
    wait_for(lambda: s.read("ALARMS.VBK"), "the editor to save the reminder")
    [(when, message, kind, _, _)] = records(s.read("ALARMS.VBK"))
    assert message.rstrip(b"\0") == b"M" * 198 + b"Z", message
    assert time.localtime(when)[:5] == (2031, 3, 12, 8, 15), time.localtime(when)
    assert kind == 1


# -- the check timer -------------------------------------------------------

@gui_test("TimerRunsCheckPass", wm=True)
def test_timer_runs_a_check_pass_and_a_ticked_box_settles_the_others(s):
    now = int(time.time())
    weekly, later = now - 120, now + 86400
    s.write("ALARMS.VBK", alarm(now - 90, "une fois") + alarm(weekly, "chaque semaine", 4, 7)
            + alarm(later, "demain"))
    s.write("VOBRIK.INI", NO_SUMMARY)
    process = s.start("HIDE")
    dialog, seen = s.ring_dialog(process)
    s.wait_active(dialog)
    s.wait_ring_guard(seen)
    # From "Rappel": "Valider", the amount, the units, "Rappel dans", the box;
    # then "Valider" (Escape) settles the other due reminder without a dialog.
    s.key("Tab", "Tab", "Tab", "Tab", "Tab", "space")
    s.sync_with(process)
    s.key("Escape")
    wait_for(lambda: len(s.read("ALARMS.VBK") or b"") == 2 * RECORD,
             "the check pass to rewrite the reminder file")
    assert not any(s.x.viewable(w) for w in s.windows_named(s.RING_TITLE, process)), \
        "a second ring dialog opened"
    left = sorted((r[1].rstrip(b"\0"), r[0]) for r in records(s.read("ALARMS.VBK")))
    week = time.localtime(weekly)
    assert left == [(b"chaque semaine", local(*week[:2], week[2] + 7, *week[3:6])),
                    (b"demain", later)], left


# -- the day summary ---------------------------------------------------------

@gui_test("SummaryClickClosesThenTheNextTickRings", wm=True)
def test_click_closes_the_summary_and_the_next_tick_rings(s):
    reminders = alarm(int(time.time()) - 3600, "en retard")
    s.write("ALARMS.VBK", reminders)
    # Twenty times as fast, the 30-second tick comes every second and a half.
    process = s.start(**faketime("+0 x20"))
    frame = started_visible(s, process)
    popup = s.shown(SUMMARY_TITLE, process)
    s.click_dialog_units(frame, *SUMMARY_BUTTON)
    s.sync_with(process)
    assert summaries(s, process) == [popup], "a second summary opened"
    assert s.read("ALARMS.VBK") == reminders, "a check pass ran with the summary open"

    for release in ((51, 60), (50, 61)):
        press_and_release(s, popup, (50, 60), release)
        s.sync_with(process)
        assert s.x.viewable(popup), "a release one pixel away closed the summary"

    # The next tick rings the reminder; "Valider" answers, and the check pass
    # saves the table without it.
    press_and_release(s, popup, (50, 60), (50, 60))
    wait_for(lambda: not summaries(s, process), "a click to close the summary")
    s.answer_ring(process, "Escape")
    wait_for(lambda: s.read("ALARMS.VBK") == b"", "the check pass to save the table")
    s.click_dialog_units(frame, *SUMMARY_BUTTON)
    s.shown(SUMMARY_TITLE, process)


@gui_test("SummaryScreenshotShowsBothPanels", wm=True)
def test_summary_screenshot_shows_both_panels(s):
    """The summary pixel by pixel down one column: the cyan today panel and its blue rule, the
    4-pixel panel line, the grey tomorrow panel and its rule. The README's pictures come too."""
    # Tuesday 5 May 2026 (Judith), then Wednesday 6 May (Prudence): one name-day line each.
    s.write("ALARMS.VBK",
            alarm(local(2026, 5, 5, 8, 0), "Appeler le plombier")
            + alarm(local(2026, 5, 5, 12, 30), "D\u00e9jeuner avec Claire")
            + alarm(local(2026, 5, 5, 18, 0), "R\u00e9union de l'association")
            + alarm(local(2026, 5, 6, 9, 15), "Rendez-vous chez le dentiste")
            + alarm(local(2026, 5, 20, 0, 0), "Anniversaire de L\u00e9a", 3)
            + alarm(local(2026, 6, 1, 10, 0), "Payer le loyer", 2))
    process = s.start(**faketime("@2026-05-05 09:00:00"))
    frame = started_visible(s, process)
    popup = s.shown(SUMMARY_TITLE, process)

    # Set up 115 + 15 x 4 + 10 = 185 high, the client area is 6 short of the
    # 80 + 20 x 2 + 15 x 4 = 180 the contents need: it grows once, to 186.
    wait_for(lambda: s.x.geometry(popup)[3] == 186, "the summary to grow to its contents")
    x, y, width, height = s.x.geometry(popup)
    assert (x, y, width) == (100, 100, 400)
    client_height = height - 2 * SUMMARY_BORDER
    column = x + width - SUMMARY_BORDER - 3

    cyan, blue, panel_line = (0, 255, 255), (0, 0, 200), (0, 192, 192)
    grey, grey_rule = (224, 224, 224), (128, 128, 128)
    # Today's reminders take Y = 35 + 20 + 15 x 3 = 100: the panel line along
    # 105, four pixels wide, the grey panel from 107, its rule at 160.
    expected = [(cyan, 50), (blue, 1), (cyan, 52), (panel_line, 4), (grey, 53), (grey_rule, 1),
                (grey, client_height - 161)]
    shot = os.path.join(SCREENSHOTS, "screen.png")

    def column_runs():
        s.screenshot(shot)
        colours = (screen_pixels(shot)(column, y + SUMMARY_BORDER + row) for row in range(client_height))
        return [(colour, len(list(run))) for colour, run in itertools.groupby(colours)]

    wait_for(lambda: column_runs() == expected, "the summary to be painted")
    pixel = screen_pixels(shot)
    assert pixel(x, y) not in (cyan, grey), "no border around the summary"
    assert pixel(x + width - 1, y + height - 1) not in (cyan, grey), "no border around the summary"

    if DOC_DIR:
        s.screenshot(os.path.join(DOC_DIR, "day-summary.png"), popup)
    press_and_release(s, popup, (200, 150), (200, 150))
    wait_for(lambda: not summaries(s, process), "a click to close the summary")
    s.sync_with(process)
    if DOC_DIR:
        s.screenshot(os.path.join(DOC_DIR, "main-dialog.png"), frame)


def main(tests=None):
    tests = tests or TESTS
    if len(sys.argv) == 2 and sys.argv[1] == "--list":
        print("\n".join(tests))
        return 0
    global DOC_DIR, SCREENSHOTS
    program, screenshots, name = sys.argv[1:4]
    program = os.path.abspath(program)
    DOC_DIR = os.path.join(os.path.dirname(program), "doc")
    SCREENSHOTS = os.path.join(os.path.abspath(screenshots), name)
    function, tray, wm = tests[name]
    return run(name, function, program, SCREENSHOTS, tray=tray, wm=wm)


if __name__ == "__main__":
    sys.exit(main())
