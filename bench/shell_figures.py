#!/usr/bin/env python3
"""Figures of the running program beside a minimal wxWidgets program that only
shows a tray icon, measured in one run on a private X server with a tray host:

  - time from launch to the tray icon being docked (median of several launches),
    for Vobrik started hidden (HIDE) and shown;
  - memory once docked and idle: resident set (RSS) and private dirty pages;
  - CPU wake-ups while idle: context switches of all threads, over a period
    (5 minutes unless --idle says otherwise), both programs idling side by side.

Usage: shell_figures.py [--build DIR] [--launches N] [--idle SECONDS]"""

import argparse
import glob
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
from harness import Session, wait_for  # noqa: E402


def memory(pid):
    figures = {}
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("Rss", "Private_Dirty"):
                figures[key] = int(rest.split()[0])
    return figures


def switches(pid):
    total = 0
    for status in glob.glob(f"/proc/{pid}/task/*/status"):
        try:
            with open(status) as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                        total += int(line.split()[1])
        except FileNotFoundError:
            pass  # a thread that has just ended
    return total


def launch(session, name, argv):
    # Each program gets its own runtime and working directories, so that two
    # copies of Vobrik do not meet as a first and a second copy.
    home = os.path.join(session.root, name.replace(" ", "-"))
    os.makedirs(os.path.join(home, "work"), exist_ok=True)
    os.makedirs(os.path.join(home, "runtime"), mode=0o700, exist_ok=True)
    start = time.monotonic()
    process = session._spawn(argv, cwd=os.path.join(home, "work"),
                             env=session.env(GDK_BACKEND="x11",
                                             XDG_RUNTIME_DIR=os.path.join(home, "runtime")))
    session.wait_docked(process)
    return process, time.monotonic() - start


def stop(session, process):
    process.terminate()
    process.wait(timeout=20)
    wait_for(lambda: session.tray_icon(process) is None, "the icon to go")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(here, "..", "build"))
    parser.add_argument("--launches", type=int, default=7)
    parser.add_argument("--idle", type=int, default=300)
    args = parser.parse_args()
    programs = {
        "vobrik HIDE": [os.path.abspath(os.path.join(args.build, "vobrik")), "HIDE"],
        "vobrik shown": [os.path.abspath(os.path.join(args.build, "vobrik"))],
        "minimal tray": [os.path.abspath(os.path.join(args.build, "vobrik_minimal_tray"))],
    }

    with Session(program=None, tray=True) as session:
        docking = {name: [] for name in programs}
        for _ in range(args.launches):
            for name, argv in programs.items():
                process, seconds = launch(session, name, argv)
                docking[name].append(seconds)
                stop(session, process)

        running = {name: launch(session, name, argv)[0] for name, argv in programs.items()}
        time.sleep(2)  # let both finish their start-up work before measuring them idle
        before = {name: switches(p.pid) for name, p in running.items()}
        mem = {name: memory(p.pid) for name, p in running.items()}
        started = time.monotonic()
        time.sleep(args.idle)
        elapsed = time.monotonic() - started
        after = {name: switches(p.pid) for name, p in running.items()}

        print(f"{'':14} {'docked after':>13} {'RSS':>9} {'private dirty':>14} "
              f"{'wake-ups':>9} {'per minute':>11}")
        for name in programs:
            wakeups = after[name] - before[name]
            print(f"{name:14} {statistics.median(docking[name]) * 1000:10.0f} ms "
                  f"{mem[name]['Rss'] / 1024:6.1f} MB {mem[name]['Private_Dirty'] / 1024:11.1f} MB "
                  f"{wakeups:9d} {wakeups * 60 / elapsed:11.1f}")
        print(f"(median of {args.launches} launches; wake-ups over {elapsed:.0f} s idle)")


if __name__ == "__main__":
    main()
