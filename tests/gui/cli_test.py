#!/usr/bin/env python3
"""The real program from a terminal, with and without a running copy, one
behaviour per test.
Usage: cli_test.py PROGRAM SCREENSHOT_DIR TEST_NAME"""

import fcntl
import functools
import os
import socket
import subprocess
import sys

from harness import DEADLINE, wait_for
from shell_test import (NO_SUMMARY, QUIT_BUTTON, gui_test, main, records, started_hidden,
                        started_visible)

TESTS = {}  # name: (function, tray host, window manager)
cli_test = functools.partial(gui_test, table=TESTS)


ADD = ["--add", "Dentiste \u00e0 10h \u2713", "--at", "2027-01-05 10:00"]


def run(s, *args, **env):
    done = subprocess.run([s.program, *args], env=s.env(**env), cwd=s.work,
                          capture_output=True, timeout=DEADLINE)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


def messages(data):
    return sorted(r[1].rstrip(b"\0").decode("cp1252") for r in records(data or b""))


@cli_test("HelpAndVersion")
def test_help_and_version_print_and_touch_nothing(s):
    copy = s.start("HIDE")
    started_hidden(s, copy)
    for args, text in [(["--help"], "Utilisation : vobrik"), (["-h"], "--add MESSAGE"),
                       (["--version"], "vobrik "), (["-V"], "vobrik ")]:
        code, out, err = run(s, *args, DISPLAY="")
        assert (code, err) == (0, "") and text in out, (args, code, out, err)
    assert not any(s.x.viewable(w) for w in s.windows_named("Vobrik", copy)), "the copy showed"


@cli_test("UsageErrors")
def test_usage_errors_exit_2_with_a_french_hint(s):
    for args in (["--bogus"], ["-hide", "HIDE"], ["--add", "x"], ["--list", "--every", "3"]):
        code, out, err = run(s, *args)
        assert code == 2 and out == "" and err.startswith("vobrik : "), (args, code, out, err)
        assert err.endswith("Essayez \u00ab vobrik --help \u00bb pour plus d'informations.\n")
    assert not s.windows_named("Vobrik"), "a usage error started the window program"


@cli_test("FolderWithoutACopy")
def test_commands_work_on_the_folder_without_a_copy(s):
    data = os.path.join(s.root, "data")
    assert run(s, *ADD, XDG_DATA_HOME=data) == (0, "1\n", "")
    assert run(s, "--add", "Loyer", "--at=2027-02-30 09:05", "--monthly",
               XDG_DATA_HOME=data)[:2] == (0, "2\n")
    code, out, _ = run(s, "--list", XDG_DATA_HOME=data)
    assert code == 0 and f"{data}/vobrik/ALARMS.VBK (Vobrik n'est pas lanc\u00e9)" in out, out
    fields = run(s, "--list", "--tsv", f"--dir={data}/vobrik")[1].splitlines()[0].split("\t")
    assert fields[2].endswith("+01:00") and fields[3:] == ["une fois", "Dentiste \u00e0 10h ?"]
    assert run(s, "--delete", "1", "--dir", f"{data}/vobrik") == (0, "", "")
    assert run(s, "--delete", "7", XDG_DATA_HOME=data)[0] == 1
    assert run(s, "--add", "x", "--at", "2040-01-01 10:00", XDG_DATA_HOME=data)[0] == 1
    os.mkdir(s.path("ALARMS.VBK"))  # a reminder file that cannot be read
    code, _, err = run(s, "--list", "--dir", ".")
    assert code == 1 and "impossible de lire" in err, err


@cli_test("CommandsGoToTheRunningCopy")
def test_commands_go_to_the_running_copy(s):
    copy = s.start("HIDE")
    started_hidden(s, copy)
    assert run(s, *ADD, XDG_DATA_HOME=s.root) == (0, "1\n", "")
    assert messages(s.read("ALARMS.VBK")) == ["Dentiste \u00e0 10h ?"]
    code, out, _ = run(s, "--list")
    assert code == 0 and "(Vobrik lanc\u00e9)" in out and "Dentiste" in out, out
    code, _, err = run(s, "--list", "--dir", s.root)
    assert code == 1 and "Vobrik est lanc\u00e9 sur" in err, err
    assert run(s, "--delete", "1", "--dir", ".") == (0, "", "")
    assert s.read("ALARMS.VBK") == b"" and copy.poll() is None


@cli_test("BusyCopyRefuses")
def test_a_copy_with_a_question_open_refuses_at_once(s):
    copy = s.start()
    s.click_dialog_units(started_visible(s, copy), *QUIT_BUTTON)
    wait_for(lambda: s.windows_named("Confirmation", copy), "the quit question")
    code, _, err = run(s, *ADD)
    assert code == 1 and "Vobrik est occup\u00e9" in err and s.read("ALARMS.VBK") is None, err


@cli_test("CalendarFilesThroughTheRunningCopy")
def test_calendar_files_go_through_the_running_copy(s):
    copy = s.start("HIDE")
    started_hidden(s, copy)
    text = "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:Caf\u00e9\r\nDTSTART:20300101T090000Z\r\n"
    for name, data in (("in.ics", text + "END:VEVENT\r\nEND:VCALENDAR\r\n"), ("cut.ics", text)):
        with open(s.path(name), "w", encoding="utf-8", newline="") as f:
            f.write(data)
    imported = "1 alarme import\u00e9e, 0 \u00e9v\u00e9nement ignor\u00e9\n"
    assert run(s, "--import-ics", "in.ics") == (0, imported, "")
    assert messages(s.read("ALARMS.VBK")) == ["Caf\u00e9"]
    code, out, err = run(s, "--export-ics", "-")
    event = "\nSUMMARY:Caf\u00e9\r\nDTSTART;TZID=Europe/Paris:20300101T100000\r\n"
    assert code == 0 and event in out, err
    code, _, err = run(s, "--import-ics", "cut.ics")
    assert code == 1 and "incomplet" in err and messages(s.read("ALARMS.VBK")) == ["Caf\u00e9"], err
    assert copy.poll() is None


def tip_width(s, copy):
    """Hovers the tray icon and gives the width of the tip GTK shows under it."""
    x, y, w, h = s.x.geometry(s.wait_docked(copy))
    s.xdotool("mousemove", "0", "400", "mousemove", str(x + w // 2), str(y + h // 2))
    tip = wait_for(lambda: next((t for t, _ in s.x.tree() if s.pid_of(t) == copy.pid and
                                 s.x.viewable(t) and s.x.geometry(t)[1] > y + h), None), "the tip")
    width = s.x.geometry(tip)[2]
    s.xdotool("mousemove", "0", "400")
    wait_for(lambda: not s.x.viewable(tip), "the tip to go")
    return width


@cli_test("TrayTipFollowsACommand")
def test_tray_tip_follows_a_command_at_once(s):
    """The tip's text cannot be read back from an XEmbed tray: its width shows
    it changed from "Aucune alarme" to the reminder's line."""
    s.write("VOBRIK.INI", NO_SUMMARY)  # no summary under the tray
    copy = s.start("HIDE")
    started_hidden(s, copy)
    empty = tip_width(s, copy)
    assert run(s, *ADD)[0] == 0
    assert tip_width(s, copy) > empty + 100


def fifty_adds(s, **env):
    adds = [subprocess.Popen([s.program, "--add", f"n{i}", "--at", "2027-03-01 08:00", "--dir", "."],
                             env=s.env(**env), cwd=s.work, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE) for i in range(50)]
    results = [(*p.communicate(timeout=DEADLINE), p.returncode) for p in adds]
    assert all(r[2] == 0 for r in results), results
    assert sorted(int(r[0]) for r in results) == list(range(1, 51)), "Ids given twice"
    wanted = sorted(f"n{i}" for i in range(50))
    assert messages(s.read("ALARMS.VBK")) == wanted
    listed = run(s, "--list", "--tsv", "--dir", ".")[1].splitlines()
    assert sorted(line.split("\t")[4] for line in listed) == wanted


@cli_test("FiftyAddsToTheRunningCopy")
def test_fifty_adds_at_once_against_a_running_copy(s):
    copy = s.start("HIDE")
    started_hidden(s, copy)
    fifty_adds(s)
    assert copy.poll() is None


@cli_test("FiftyAddsWithoutACopy")
def test_fifty_adds_at_once_without_a_copy(s):
    fifty_adds(s, DISPLAY="")


@cli_test("CopyStartedDuringACommandWaits")
def test_a_copy_started_during_a_command_waits_for_its_lock(s):
    """A command holds the lock and answers no lookup; the copy asks twice, so
    it has found the lock taken at least once, and starts once it is free."""
    os.mkdir(os.path.join(s.runtime, "vobrik"), 0o700)
    with open(os.path.join(s.runtime, "vobrik", "VobrikMutex.lock"), "w") as lock, \
            socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as lookup:
        fcntl.flock(lock, fcntl.LOCK_EX)
        lookup.bind(os.path.join(s.runtime, "vobrik", "Vobrik.window"))
        lookup.listen(4)
        lookup.settimeout(DEADLINE)
        copy = s.start("HIDE")
        for _ in range(2):
            lookup.accept()[0].close()
        os.unlink(os.path.join(s.runtime, "vobrik", "Vobrik.window"))
    started_hidden(s, copy)
    assert not s.windows_named("Erreur"), "the copy gave up on the lock"


if __name__ == "__main__":
    sys.exit(main(TESTS))
