#!/usr/bin/env python3
"""The real program from a terminal, with and without a running copy, one
behaviour per test.
Usage: cli_test.py PROGRAM SCREENSHOT_DIR TEST_NAME"""

import fcntl
import functools
import json
import os
import re
import signal
import socket
import stat
import subprocess
import sys
import time

from harness import DEADLINE, faketime, wait_for
from shell_test import (NO_SUMMARY, alarm, gui_test, main, records, started_hidden,
                        started_visible)

TESTS = {}  # name: (function, tray host, window manager)
cli_test = functools.partial(gui_test, table=TESTS)


ADD = ["--add", "Dentiste \u00e0 10h \u2713", "--at", "2031-01-07 10:00"]


def run(s, *args, input=None, **env):
    done = subprocess.run([s.program, *args], env=s.env(**env), cwd=s.work, input=input,
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
    code, out, err = run(s, "-hide", "HIDE")
    assert (code, out) == (2, "") and err.endswith("Essayez \u00ab vobrik --help \u00bb pour plus d'informations.\n")
    # A command loads no toolkit, through the copy or on a folder.
    for folder in ([], ["--dir", s.root]):
        loaded = run(s, "--list", *folder, LD_DEBUG="files")[2]
        assert "calling init" in loaded and not re.search(r"lib(gtk|gdk|X11|wx)", loaded), loaded


def at_once(s, *commands, **env):
    """Starts the commands together; each must succeed. Gives their outputs."""
    started = [subprocess.Popen([s.program, *c], env=s.env(**env), cwd=s.work, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE) for c in commands]
    done = [(*p.communicate(timeout=DEADLINE), p.returncode) for p in started]
    assert all(d[2] == 0 for d in done), done
    return [d[0].decode().strip() for d in done]


def adds_and_deletes(s, name, count, **env):
    """count adds at once, then deletes at once by the keys in capitals, half
    then the rest: each applied once, none lost, a deleted key then names
    nothing. Of reminders at one minute, --next names what --list shows first."""
    keys = at_once(s, *(["--add", f"{name}{i}", "--at", "2031-03-01 08:00", "--dir", "."] for i in range(count)), **env)
    assert len(set(keys)) == count and all(re.fullmatch(r"[0-9a-f]{8}", k) for k in keys), keys
    first = run(s, "--list", "--tsv", "--dir", ".", **env)[1].splitlines()[0].split("\t")[-1]
    assert run(s, "--next", "--dir", ".", **env)[1].endswith(f" {first}\n"), first
    for done in (count // 2, count):
        at_once(s, *(["--delete", key.upper(), "--dir", "."] for key in keys[done - count // 2:done]), **env)
        kept = [f"{name}{i}" for i in range(done, count)]
        assert sorted(m for m in messages(s.read("ALARMS.VBK")) if m.startswith(name)) == sorted(kept)
        listed = run(s, "--list", "--tsv", "--dir", ".", **env)[1].splitlines()
        assert sorted(m for m in (line.split("\t")[4] for line in listed) if m.startswith(name)) == sorted(kept)
    code, _, err = run(s, "--delete", keys[0], "--dir", ".", **env)
    assert code == 1 and f"aucune alarme n'a l'identifiant {keys[0]}" in err, err


@cli_test("FolderWithoutACopy")
def test_commands_work_on_the_folder_without_a_copy(s):
    data = os.path.join(s.root, "data")
    steps = [
        (ADD, 0, ""),
        (["--add", "Loyer \u20ac \u2713", "--at=28/02/2027 9:05", "--monthly"], 0, ""),
        (["--add", "Sport", "--at", "2026-12-31 18:00", "--every", "3"], 0, ""),
        (["--add", "Anniversaire", "--at", "2027-03-02 09:06", "--yearly"], 0, ""),
        (["--add", "x", "--at", "2040-01-01 10:00"], 1, "Cette date ne peut pas"),
    ]
    keys = []
    for args, code, err in steps:
        done = run(s, *args, XDG_DATA_HOME=data, **faketime("@2026-12-01 12:00:00"))
        assert done[0] == code and err in done[2], (args, done)
        keys.append(done[1].strip())
    assert run(s, "--delete", keys[0], XDG_DATA_HOME=data) == (0, "", "")
    assert run(s, "--list", XDG_DATA_HOME=data) == (0, (
        f"Alarmes de {data}/vobrik/ALARMS.VBK (Vobrik n'est pas lanc\u00e9) :\n"
        f"{keys[2]}  jeudi 31 d\u00e9cembre 2026 18:00  tous les 3 jour(s)  Sport\n"
        f"{keys[1]}  dimanche 28 f\u00e9vrier 2027 09:05  mensuel  Loyer \u20ac ?\n"
        f"{keys[3]}  mardi 2 mars 2027 09:06  annuel  Anniversaire\n"), "")
    listed = json.loads(run(s, "--list", "--json", XDG_DATA_HOME=data)[1])
    assert [(r["id"], r["kind"], r["interval"], r["message"]) for r in listed] == [
        (keys[2], "days", 3, "Sport"), (keys[1], "monthly", 0, "Loyer \u20ac ?"),
        (keys[3], "yearly", 0, "Anniversaire")], listed
    assert json.loads(run(s, "--next", "--json", XDG_DATA_HOME=data)[1]) == listed[0]
    assert run(s, "--next", XDG_DATA_HOME=data) == (
        0, "jeudi 31 d\u00e9cembre 2026 \u00e0 18:00 \u2014 Sport\n", "")
    # Due at second 0 of the typed minute.
    line = run(s, "--list", "--tsv", f"--dir={data}/vobrik")[1].splitlines()[0]
    assert line == f"{keys[2]}\t1798736400\t2026-12-31T18:00:00+01:00\ttous les 3 jour(s)\tSport"
    os.mkdir(s.path("ALARMS.VBK"))  # a reminder file that cannot be read, a mistyped folder
    for folder, said in ((".", "impossible de lire"), ("absent", "absent n'existe pas")):
        code, _, err = run(s, "--list", "--dir", folder)
        assert code == 1 and said in err, err
    assert run(s, *ADD, "--dir", "absent")[0] == 1 and not os.path.exists(s.path("absent"))
    os.rmdir(s.path("ALARMS.VBK"))
    os.symlink("ALARMS.VBK", s.path("ALARMS.VBK"))  # a loop of links
    code, out, err = run(s, "--list", "--dir", ".")
    assert (code, out) == (1, "") and "lien symbolique en boucle" in err, err
    # The first calendar of a brand-new account makes its folder.
    fresh = {"XDG_DATA_HOME": os.path.join(s.root, "fresh")}
    ics = b"BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20310101T080000Z\nSUMMARY:Neuf\nEND:VEVENT\nEND:VCALENDAR\n"
    assert run(s, "--import-ics", "-", input=ics, **fresh)[0] == 0 and "Neuf" in run(s, "--list", **fresh)[1]


@cli_test("DatesAUserMeans")
def test_dates_are_read_as_a_user_means_them(s):
    """At 22:00 on the eve of the spring change in Paris."""
    now = faketime("@2031-03-29 22:00:17")
    table = [  # the date options, and the local time added or the refusal
        (["--at", "23:30"], "2031-03-29T23:30:00+01:00"),
        (["--at", "21:00"], "2031-03-30T21:00:00+02:00"),
        (["--at", "22:00"], "2031-03-30T22:00:00+02:00"),  # this very minute: tomorrow
        (["--at", "30/03/31 03:00"], "2031-03-30T03:00:00+02:00"),
        (["--in", "1j2h"], "2031-03-31T01:00:00+02:00"),
        (["--at", "2031-10-26 02:30"], "2031-10-26T02:30:00+02:00"),  # the first of two
        (["--at", "demain 02:30"], "02:30 n'existe pas ce jour-l\u00e0 (changement d'heure) : 01:59 ou 03:00"),
        (["--at", "2031-03-29 21:59"], "cette date est pass\u00e9e"),
    ]
    for args, wanted in table:
        code, out, err = run(s, "--add", "m", *args, "--dir", ".", **now)
        if code == 0:
            listed = run(s, "--list", "--tsv", "--dir", ".")[1]
            assert [l.split("\t")[2] for l in listed.splitlines()] == [wanted], (args, listed)
            # The date understood, said on the error output.
            said = re.match(r"\u00ab m \u00bb : \w+ (\d+) \w+ (\d{4}) \u00e0 (\d\d:\d\d)\n", err)
            assert said and (said[2], int(said[1]), said[3]) == (wanted[:4], int(wanted[8:10]), wanted[11:16]), err
            assert run(s, "--delete", out.strip(), "--dir", ".")[0] == 0
        else:
            assert (code, out, err) == (1, "", f"vobrik : {wanted}\n"), (args, code, err)
    assert run(s, "--next", "--dir", ".") == (1, "", ""), "no reminder: nothing, exit 1"
    assert "arrive deux fois" in run(s, "--add", "m", "--at", "2031-10-26 02:30", **now)[2]


@cli_test("CommandsGoToTheRunningCopy", wm=True)
def test_commands_go_to_the_running_copy(s):
    s.write("VOBRIK.INI", NO_SUMMARY)
    copy = s.start()
    frame = started_visible(s, copy)
    # Silent connections cost the window nothing: a command, a key go through.
    idle = [socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) for _ in range(30)]
    for connection in idle:
        connection.connect(os.path.join(s.runtime, "vobrik", "Vobrik.window"))
    assert run(s, *ADD, XDG_DATA_HOME=s.root)[0] == 0
    s.wait_active(frame)
    s.key("Escape")
    wait_for(lambda: not s.x.viewable(frame), "Escape to hide the frame")
    code, out, _ = run(s, "--list")
    assert code == 0 and "(Vobrik lanc\u00e9)" in out and "Dentiste" in out, out
    assert copy.poll() is None
    # Killed outright, the copy leaves its socket behind: a command works on
    # the folder, and the next copy answers in its place.
    copy.kill()
    copy.wait()
    assert "(Vobrik n'est pas lanc\u00e9)" in run(s, "--list")[1]
    s.start("HIDE")
    wait_for(lambda: "(Vobrik lanc\u00e9)" in run(s, "--list")[1], "the next copy to answer")


def mode(path):
    return stat.S_IMODE(os.lstat(path).st_mode)


@cli_test("PrivateAndWhole")
def test_reminders_stay_private_and_damage_is_kept(s):
    os.umask(0o022)
    data = os.path.join(s.root, "data")
    add = ["--add", "Banque", "--at", "2030-01-01 10:00"]
    assert run(s, *add, XDG_DATA_HOME=data)[0] == 0
    folder = os.path.join(data, "vobrik")
    assert [mode(folder), mode(folder + "/ALARMS.VBK")] == [0o700, 0o600]
    os.chmod(folder + "/ALARMS.VBK", 0o640)  # shared on purpose: it stays so
    assert run(s, *add, "--dir", folder)[0] == 0 and mode(folder + "/ALARMS.VBK") == 0o640
    assert run(s, "--export-ics", "out.ics", "--dir", folder)[0] == 0 and mode(s.path("out.ics")) == 0o644

    # A failed write says so; a change already made stays made.
    with open("/dev/full", "w") as full:
        for args in (["--list"], add):
            done = subprocess.run([s.program, *args, "--dir", folder], stdout=full, env=s.env(),
                                  stderr=subprocess.PIPE, timeout=DEADLINE)
            assert done.returncode == 1 and b"plus de place" in done.stderr, done
    assert len(messages(open(folder + "/ALARMS.VBK", "rb").read())) == 3

    # A folder its own user cannot read is an error for every command, named
    # with its cause, and keeps its mode.
    if os.geteuid() == 0:
        os.chmod(s.root, 0o711)
        other = os.path.join(s.root, "autre")
        os.makedirs(other + "/vobrik")
        for path in (other, other + "/vobrik"):
            os.chown(path, 54321, 54321)
        os.chmod(other + "/vobrik", 0)
        for args in (["--list"], ["--next", "--json"], ["--export-ics", "-"], add):
            done = subprocess.run([s.program, *args], user=54321, group=54321, cwd="/", capture_output=True,
                                  env=s.env(XDG_DATA_HOME=other, XDG_RUNTIME_DIR="", HOME=other))
            said = f"le dossier {other}/vobrik n'est pas accessible : permission refus\u00e9e"
            assert done.returncode == 1 and not done.stdout and said in done.stderr.decode(), done
        assert mode(other + "/vobrik") == 0


@cli_test("SharedFolderIsNotTurnedAgainstItsUser")
def test_a_folder_shared_with_a_group_is_not_turned_against_its_user(s):
    """Another member plants links to the user's files in a 2770 folder of a group."""
    if os.geteuid() != 0:
        return print("skipped: only root makes the users")
    user, member, group = 54321, 54323, 54322  # of no name
    os.chmod(s.root, 0o711)
    home, shared = os.path.join(s.root, "home"), os.path.join(s.root, "shared")
    for folder, mode, owner in ((home, 0o700, user), (shared, 0o2770, group)):
        os.mkdir(folder)
        os.chmod(folder, mode)
        os.chown(folder, user, owner)
    open(home + "/.bashrc", "w").write("# mine\n")
    as_user = lambda *args: subprocess.run([s.program, *args, "--dir", shared], user=user, group=user,
                                           extra_groups=[group], cwd=home, capture_output=True, text=True,
                                           env=s.env(HOME=home, XDG_RUNTIME_DIR=""), timeout=DEADLINE)
    as_member = lambda do, data=None: subprocess.run(["sh", "-c", do], user=member, group=group, cwd=shared,
                                                     input=data, check=True, env={"TZ": "Europe/Paris"})
    as_member(f"ln -s {home}/.bashrc ALARMS.VBK")
    done = as_user("--add", "Banque", "--at", "2030-01-01 10:00")
    assert done.returncode == 1 and "non suivi dans un dossier que d'autres" in done.stderr, done
    damaged = alarm(1924984800, "Gard\u00e9e") + b"\x01"
    as_member("rm ALARMS.VBK; cat > ALARMS.VBK; chmod 660 ALARMS.VBK; for s in $(seq 0 9); do ln -s "
              f"{home}/.bash_profile ALARMS.VBK.endommage-$(date -d @$(($(date +%s)+s)) +%Y%m%d-%H%M%S); done", damaged)
    done = as_user("--add", "Banque", "--at", "2030-01-01 10:00")
    aside = re.search(r"gard\u00e9 tel quel dans (\S+ALARMS\.VBK\.endommage-\d{8}-\d{6}-\d+)", done.stderr)
    assert done.returncode == 0 and aside and open(aside[1], "rb").read() == damaged, done
    assert not os.path.lexists(home + "/.bash_profile") and open(home + "/.bashrc").read() == "# mine\n"
    assert messages(open(shared + "/ALARMS.VBK", "rb").read()) == ["Banque", "Gard\u00e9e"]


@cli_test("PlantedRuntimeFolderIsPassedBy")
def test_a_runtime_folder_others_can_write_is_passed_by(s):
    """A runtime folder open to all, and one another user planted, are passed by."""
    shared = os.path.join(s.root, "run")
    os.makedirs(os.path.join(shared, "vobrik"))
    os.chmod(os.path.join(shared, "vobrik"), 0o777)
    planted = os.path.join(s.root, f"vobrik-{os.geteuid()}")
    os.mkdir(planted, 0o700)
    os.chown(planted, 54321, 54321)
    env = {"XDG_RUNTIME_DIR": shared, "TMPDIR": s.root}
    copy = s.start("HIDE", **env)
    s.wait_docked(copy)
    assert not s.windows_named("Erreur"), "an unsafe folder stopped the program"
    code, out, err = run(s, "--list", **env)
    assert code == 0 and "(Vobrik lanc\u00e9)" in out and f"{planted} appartient \u00e0 54321" in err
    assert os.listdir(os.path.join(shared, "vobrik")) == [] and os.listdir(planted) == []


@cli_test("DoorsStayOpenWhileAWindowWaits", wm=True)
def test_commands_are_answered_while_a_ring_waits(s):
    s.write("VOBRIK.INI", NO_SUMMARY)
    s.write("ALARMS.VBK", alarm(int(time.time()) - 60, "Sonne"))
    copy = s.start()
    started_visible(s, copy)
    s.ring_dialog(copy)
    # Deleted from the terminal while it rings: the answer does not bring it back.
    key = next(line.split("\t")[0] for line in run(s, "--list", "--tsv")[1].splitlines() if "Sonne" in line)
    assert run(s, "--delete", key)[0] == 0
    s.answer_ring(copy, "alt+r")
    s.sync_with(copy)
    assert "Sonne" not in run(s, "--list")[1] and "Sonne" not in messages(s.read("ALARMS.VBK"))
    copy.send_signal(signal.SIGTERM)  # as a session that ends sends it
    assert s.exit_code(copy) == 0 and s.read("VOBRIK.INI") == NO_SUMMARY


@cli_test("FullDiskRingsAndAnswers", wm=True)
def test_a_full_disk_does_not_silence_vobrik(s):
    if os.geteuid() != 0:
        print("skipped: only root may mount the small file system")
        return
    disk = os.path.join(s.root, "disk")
    os.mkdir(disk)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k,mode=0700", "tmpfs", disk], check=True)
    try:
        due = alarm(int(time.time()) - 60, "Plein")
        for name, data in (("ALARMS.VBK", due), ("VOBRIK.INI", NO_SUMMARY)):
            open(os.path.join(disk, name), "wb").write(data)
        subprocess.run(["dd", "if=/dev/zero", f"of={disk}/fill", "bs=4k"], stderr=subprocess.DEVNULL)
        copy = s.start(cwd=disk)
        s.ring_dialog(copy)
        code, out, _ = run(s, "--list", "--dir", disk)
        assert code == 0 and "(Vobrik lanc\u00e9)" in out and "Plein" in out, out
        code, _, err = run(s, *ADD, "--dir", disk)
        assert code == 1 and "impossible d'enregistrer" in err and s.read(os.path.join(disk, "ALARMS.VBK")) == due, err
        os.unlink(disk + "/fill")  # refused is never applied later
        assert run(s, "--add", "Ensuite", "--at", "2031-01-01 10:00", "--dir", disk)[0] == 0
        assert messages(s.read(os.path.join(disk, "ALARMS.VBK"))) == ["Ensuite", "Plein"]
        copy.kill()
        copy.wait()
    finally:
        subprocess.run(["umount", "-l", disk])


@cli_test("CalendarFilesThroughTheRunningCopy")
def test_calendar_files_go_through_the_running_copy(s):
    copy = s.start("HIDE")
    started_hidden(s, copy)
    calendar = ("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:Caf\u00e9\r\n"
                "DTSTART:20300101T090000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n").encode()
    imported = "1 alarme import\u00e9e, 0 \u00e9v\u00e9nement ignor\u00e9\n"
    assert run(s, "--import-ics", "-", input=calendar) == (0, imported, "")
    assert run(s, "--import-ics", "-", input=b"END:VEVENT\n")[2].startswith("vobrik : entr\u00e9e standard : ")
    assert messages(s.read("ALARMS.VBK")) == ["Caf\u00e9"]
    code, out, err = run(s, "--export-ics", "-")
    event = "\nSUMMARY:Caf\u00e9\r\nDTSTART;TZID=Europe/Paris:20300101T100000\r\n"
    assert code == 0 and event in out, err
    # An answer of any size arrives whole: 100 reminders of 199 euro signs.
    s.write("ALARMS.VBK", b"".join(alarm(1924984800 + i, "\u20ac" * 199) for i in range(100)))
    code, out, err = run(s, "--export-ics", "-")
    assert code == 0 and out.count("BEGIN:VEVENT") == 100 and len(out) > 65536, (code, err)


@cli_test("FiftyAddsWithoutAndThroughACopy")
def test_fifty_adds_at_once_without_and_through_a_copy(s):
    adds_and_deletes(s, "n", 50, DISPLAY="")
    copy = s.start("HIDE")
    started_hidden(s, copy)
    # The guard file removed (a cleanup), commands from a bare environment
    # still find the copy, and no two write the folder.
    os.unlink(s.path("VOBRIK.LCK"))
    bare = {"XDG_RUNTIME_DIR": "", "DISPLAY": ""}
    assert "(Vobrik lanc\u00e9)" in run(s, "--list", "--dir", ".", **bare)[1]
    adds_and_deletes(s, "c", 50, **bare)
    assert copy.poll() is None


@cli_test("StoppedCopyAndRestoreInPlace")
def test_a_stopped_copy_is_a_timeout_and_a_restore_in_place_is_waited_for(s):
    copy = s.start("HIDE")
    started_hidden(s, copy)
    copy.send_signal(signal.SIGSTOP)
    code, _, err = run(s, "--add", "Perdu", "--at", "2031-01-01 10:00", "--timeout", "1")
    copy.send_signal(signal.SIGCONT)
    assert code == 3 and "n'a pas \u00e9t\u00e9 faite" in err and "Perdu" not in run(s, "--list")[1], err
    # A backup copied over the file: truncated, then written while a command waits.
    backup = alarm(1924984800, "Sauvegarde")
    with open(s.path("ALARMS.VBK"), "wb") as restore:
        command = subprocess.Popen([s.program, *ADD], env=s.env(), cwd=s.work, stdout=subprocess.DEVNULL)
        fds = lambda: (os.path.realpath(f"/proc/{copy.pid}/fd/{fd}") for fd in os.listdir(f"/proc/{copy.pid}/fd"))
        wait_for(lambda: os.path.realpath(s.path("ALARMS.VBK")) in fds(), "the copy to meet the file being written")
        restore.write(backup)
    assert command.wait(DEADLINE) == 0
    assert messages(s.read("ALARMS.VBK")) == ["Dentiste \u00e0 10h ?", "Sauvegarde"]


@cli_test("CopyWaitsForItsLocks", wm=True)
def test_a_copy_waits_for_its_locks_and_gives_up_on_a_silent_one(s):
    """A copy asks one holding the session's lock twice, then gives up; then waits for the folder."""
    folder = os.path.join(s.runtime, "vobrik")
    os.mkdir(folder, 0o700)
    guard = os.open(s.work, os.O_RDONLY)  # the folder's guard, as a command holds it
    with open(os.path.join(folder, "VobrikMutex.lock"), "w") as lock, \
            socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as lookup:
        fcntl.flock(lock, fcntl.LOCK_EX)
        fcntl.flock(guard, fcntl.LOCK_EX)
        lookup.bind(os.path.join(folder, "Vobrik.window"))
        lookup.listen(4)
        lookup.settimeout(DEADLINE)
        copy = s.start("HIDE")
        for _ in range(2):
            lookup.accept()[0].close()
        os.unlink(os.path.join(folder, "Vobrik.window"))
        s.wait_active(s.window_named("Erreur", copy))
        s.key("Return")
        assert s.exit_code(copy) == 0
        fcntl.flock(lock, fcntl.LOCK_UN)
        copy = s.start("HIDE")

        held = ["flock", "-n", os.path.join(folder, "VobrikMutex.lock"), "true"]
        wait_for(lambda: subprocess.run(held).returncode == 1, "the copy to take the session's lock")
    os.close(guard)
    started_hidden(s, copy)
    assert re.fullmatch(r"@vobrik-[0-9a-f]{32}", s.read("VOBRIK.LCK").decode())


if __name__ == "__main__":
    sys.exit(main(TESTS))
