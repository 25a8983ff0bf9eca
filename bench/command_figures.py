#!/usr/bin/env python3
"""Figures of the terminal program, measured in one run:

  - `vobrik --list` of 100 reminders, on a folder and through a running copy,
    against a minimal toolkit-free program that reads and prints the same file
    (build/vobrik_minimal_list): wall time and peak resident set, in paired
    runs (each round runs the three one after another);
  - 50 `--add` started at once, through a running copy and on a folder: the
    time until all have answered, and whether every reminder was kept;
  - a `--list` through the running copy while 100 connections are held open
    and silent, against the same `--list` with none;
  - a `--list` through a copy whose ring waits for an answer, against one
    through an idle copy (paired runs, 49 reminders each), and 50 `--add` at
    once during the ring.

The running copy runs hidden on a private X server with a tray host.
Usage: command_figures.py [--build DIR] [--rounds N]"""

import argparse
import os
import socket
import statistics
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
from harness import Session  # noqa: E402


def reminders(count):
    return b"".join(struct.pack("<i200sBii", 1924984800 + 3600 * i, f"Rappel num\u00e9ro {i}".encode("cp1252"),
                                i % 4 + 1, 7, 0) for i in range(count))


PEAK = None  # build/vobrik_peak_memory, which measures a run from outside Python


def timed(argv, env, cwd):
    """Wall time in ms and peak resident set in MiB of one run."""
    done = subprocess.run([PEAK, *argv], env=env, cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, check=True)
    micros, kib = done.stdout.split(b"\n")[-2].split()
    return int(micros) / 1000, int(kib) / 1024


def median(values):
    return statistics.median(values)


def fifty_adds(s, folder, env):
    start = time.perf_counter()
    adds = [subprocess.Popen([s.program, "--add", f"n{i}", "--at", "2031-03-01 08:00", "--dir", folder],
                             env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE) for i in range(50)]
    codes = [p.wait() for p in adds]
    elapsed = time.perf_counter() - start
    listed = subprocess.run([s.program, "--list", "--tsv", "--dir", folder], env=env,
                            capture_output=True, text=True).stdout.splitlines()
    return elapsed, codes.count(0), len(listed)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--rounds", type=int, default=30)
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    global PEAK
    PEAK = os.path.join(build, "vobrik_peak_memory")
    with Session(os.path.join(build, "vobrik"), tray=True) as s:
        folder = os.path.join(s.root, "folder")
        os.mkdir(folder)
        for place in (s.work, folder):
            with open(os.path.join(place, "ALARMS.VBK"), "wb") as f:
                f.write(reminders(100))
        env = s.env()
        copy = s.start("HIDE")
        s.wait_docked(copy)
        runs = {"floor": [], "folder": [], "copy": []}
        for _ in range(options.rounds):
            runs["floor"].append(timed([os.path.join(build, "vobrik_minimal_list"),
                                        os.path.join(folder, "ALARMS.VBK")], env, folder))
            runs["folder"].append(timed([s.program, "--list", "--dir", folder], env, folder))
            runs["copy"].append(timed([s.program, "--list", "--dir", s.work], env, folder))
        floor_ms, floor_rss = (median([r[i] for r in runs["floor"]]) for i in (0, 1))
        print(f"--list of 100 reminders, median of {options.rounds} paired runs:")
        for name, label in (("floor", "minimal program"), ("folder", "vobrik, on a folder"),
                            ("copy", "vobrik, through the copy")):
            ms, rss = (median([r[i] for r in runs[name]]) for i in (0, 1))
            print(f"  {label:28} {ms:6.2f} ms ({ms / floor_ms:.2f}x)  {rss:5.1f} MiB ({rss / floor_rss:.2f}x)")

        for label, place in (("through the copy", s.work), ("on a folder", folder)):
            with open(os.path.join(place, "ALARMS.VBK"), "wb"):
                pass  # emptied: the copy reads it again before the first add
            elapsed, done, kept = fifty_adds(s, place, env)
            print(f"50 --add at once, {label}: {elapsed:.2f} s, {done} done, {kept} kept")

        lookup = os.path.join(s.runtime, "vobrik", "Vobrik.window")
        alone = [timed([s.program, "--list"], env, folder)[0] for _ in range(options.rounds)]
        idle = []
        for _ in range(100):
            connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            connection.connect(lookup)
            idle.append(connection)
        crowded = [timed([s.program, "--list"], env, folder)[0] for _ in range(options.rounds)]
        for connection in idle:
            connection.close()
        print(f"--list through the copy: {median(alone):.2f} ms alone, {median(crowded):.2f} ms "
              f"beside 100 silent connections ({median(crowded) / median(alone):.2f}x)")
    ring_figures(build, options.rounds)


def ring_figures(build, rounds):
    with Session(os.path.join(build, "vobrik"), tray=True, wm=True) as idle, \
            Session(os.path.join(build, "vobrik"), tray=True, wm=True) as ringing:
        due = struct.pack("<i200sBii", int(time.time()) - 60, b"Sonne", 1, 0, 0)
        for s, due_one in ((idle, b""), (ringing, due)):
            s.write("VOBRIK.INI", b"RESUME=0\r\n")  # no day summary
            s.write("ALARMS.VBK", reminders(49 - len(due_one) // 213) + due_one)
        copies = [idle.start("HIDE"), ringing.start("HIDE")]
        idle.wait_docked(copies[0])
        ringing.ring_dialog(copies[1])
        times = {"idle": [], "ring": []}
        for _ in range(rounds):
            for name, s in (("idle", idle), ("ring", ringing)):
                times[name].append(timed([s.program, "--list"], s.env(), s.work)[0])
        quiet, waiting = median(times["idle"]), median(times["ring"])
        print(f"--list through the copy, median of {rounds} paired runs: {quiet:.2f} ms idle, "
              f"{waiting:.2f} ms while a ring waits ({waiting / quiet:.2f}x)")
        elapsed, done, kept = fifty_adds(ringing, ringing.work, ringing.env())
        print(f"50 --add at once while a ring waits: {elapsed:.2f} s, {done} done, "
              f"{kept - 49} of them kept")


if __name__ == "__main__":
    main()
