#!/usr/bin/env python3
"""The real program from a terminal, with and without a running copy, one
behaviour per test.
Usage: cli_test.py PROGRAM SCREENSHOT_DIR TEST_NAME"""

import fcntl
import functools
import os
import re
import signal
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
    steps = [
        (ADD, 0, "1\n", ""),
        (["--add", "Loyer \u20ac \u2713", "--at=2027-02-30 9:05", "--monthly"], 0, "2\n", ""),
        (["--add", "Sport", "--at", "2026-12-31 18:00", "--every", "3"], 0, "3\n", ""),
        (["--add", "Anniversaire", "--at", "2027-03-02 09:06", "--yearly"], 0, "4\n", ""),
        (["--add", "x", "--at", "2040-01-01 10:00"], 1, "", "Cette date ne peut pas"),
        (["--delete", "9"], 1, "", "aucune alarme n'a l'Id 9"),
        (["--delete", "2"], 0, "", ""),  # Ids follow the file, earliest first: the dentist
    ]
    for args, code, out, err in steps:
        done = run(s, *args, XDG_DATA_HOME=data)
        assert done[:2] == (code, out) and err in done[2], (args, done)
    assert run(s, "--list", XDG_DATA_HOME=data) == (0, (
        f"Alarmes de {data}/vobrik/ALARMS.VBK (Vobrik n'est pas lanc\u00e9) :\n"
        "   1  jeudi 31 d\u00e9cembre 2026 18:00  tous les 3 jour(s)  Sport\n"
        "   2  mardi 2 mars 2027 09:05  mensuel  Loyer \u20ac ?\n"
        "   3  mardi 2 mars 2027 09:06  annuel  Anniversaire\n"), "")
    line = run(s, "--list", "--tsv", f"--dir={data}/vobrik")[1].splitlines()[0]
    tsv = re.fullmatch(r"1\t(\d+)\t2026-12-31T18:00:(\d\d)\+01:00\ttous les 3 jour\(s\)\tSport", line)
    assert tsv and int(tsv[1]) == 1798736400 + int(tsv[2]), line
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


@cli_test("BusyCopyRefusesAndSigtermEndsIt")
def test_a_copy_with_a_question_open_refuses_at_once_and_sigterm_ends_it(s):
    s.write("VOBRIK.INI", NO_SUMMARY)
    copy = s.start()
    s.click_dialog_units(started_visible(s, copy), *QUIT_BUTTON)
    wait_for(lambda: s.windows_named("Confirmation", copy), "the quit question")
    code, _, err = run(s, *ADD)
    assert code == 1 and "Vobrik est occup\u00e9" in err and s.read("ALARMS.VBK") is None, err
    copy.send_signal(signal.SIGTERM)  # as a session that ends sends it
    assert s.exit_code(copy) == 0 and s.read("VOBRIK.INI") == NO_SUMMARY


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
