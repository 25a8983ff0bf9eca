#!/usr/bin/env python3
"""Figures of the running program beside a minimal wxWidgets program that only
shows a tray icon, measured in one run on private X servers with a tray host
and a window manager:

  - time from launch to the tray icon being docked, and memory once docked and
    idle (resident set and private dirty pages), each program started both as
    the first GTK 3 client of a fresh X server (as at log-in, when GTK still
    has to choose its visuals) and as a later client of a server where another
    GTK 3 program has run; medians and ranges over several launches;
  - private dirty pages of Vobrik, started hidden as the first client, after
    its day summary and its first ring, both answered, against its own figure
    at idle;
  - CPU wake-ups while idle: context switches of all threads, over a period
    (5 minutes unless --idle says otherwise), the programs idling side by side.

The minimal program runs as a plain wx program would, and once more with GTK's
OpenGL disabled, for reference.

Usage: shell_figures.py [--build DIR] [--launches N] [--idle SECONDS]"""

import argparse
import glob
import os
import signal
import statistics
import struct
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
from harness import Session, wait_for  # noqa: E402

MIB = 1024.0
SUMMARY_TITLE = "R\u00e9sum\u00e9 du jour"


def memory(pid):
    figures = {}
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("Rss", "Private_Dirty"):
                figures[key] = int(rest.split()[0]) / MIB
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


def settle(process):
    """Waits until the program's memory has stopped moving after its start."""
    last = None
    for _ in range(20):
        time.sleep(0.5)
        now = memory(process.pid)["Private_Dirty"]
        if now == last:
            return
        last = now


def home_of(session, name, files=None):
    # Each program gets its own runtime and working directories, so that two
    # copies of Vobrik do not meet as a first and a second copy.
    home = os.path.join(session.root, name.replace(" ", "-"))
    os.makedirs(os.path.join(home, "work"), exist_ok=True)
    os.makedirs(os.path.join(home, "runtime"), mode=0o700, exist_ok=True)
    for file, data in (files or {}).items():
        with open(os.path.join(home, "work", file), "wb") as f:
            f.write(data)
    return home


def launch(session, name, argv, env, files=None):
    """Starts a program and gives it and the seconds it took to dock."""
    home = home_of(session, name, files)
    start = time.monotonic()
    process = session._spawn(argv, cwd=os.path.join(home, "work"),
                             env=session.env(**env, XDG_RUNTIME_DIR=os.path.join(home, "runtime")))
    # Polled finer than the harness does: the figures are tenths of a second.
    end = start + 20
    while session.tray_icon(process) is None:
        assert time.monotonic() < end and process.poll() is None, f"{name} did not dock"
        time.sleep(0.005)
    return process, time.monotonic() - start


def stop(session, process):
    process.terminate()
    process.wait(timeout=20)


def gl_cache_set(session):
    """Whether a GTK 3 program has left its choice of visuals on the server."""
    return bool(session.x.property_longs(session.x.root, "GDK_VISUALS"))


def measure_launch(session, name, argv, env, files):
    process, seconds = launch(session, name, argv, env, files)
    settle(process)
    figures = memory(process.pid)
    stop(session, process)
    return {"docked": seconds * 1000, **figures}


def measure_after_use(session, argv):
    """Private dirty once the summary shown at start is closed and the ring
    that the next 30-second tick brings is answered."""
    due = int(time.time()) - 3600
    files = {"ALARMS.VBK": struct.pack("<i200sBii", due, b"bench", 1, 0, 0),
             "VOBRIK.INI": b"HIDE=1\r\nRESUME=1\r\nPOSX=100\r\nPOSY=100\r\nPOSH=200\r\nPOSW=400\r\n"}
    process, _ = launch(session, "vobrik used", argv, {}, files)
    popup = wait_for(lambda: next(iter(session.windows_named(SUMMARY_TITLE, process)), None),
                     "the day summary")
    wait_for(lambda: session.x.viewable(popup), "the day summary to show")
    session.xdotool("mousemove", "--window", str(popup), "50", "60", "click", "1")
    wait_for(lambda: not session.windows_named(SUMMARY_TITLE, process), "the summary to close")
    wait_for(lambda: any(session.x.viewable(w)
                         for w in session.windows_named(session.RING_TITLE, process)),
             "the ring at the next tick", timeout=45)
    session.answer_ring(process, "Escape")
    settle(process)
    used = memory(process.pid)["Private_Dirty"]
    stop(session, process)
    return used


def spread(values, unit, digits):
    if len(values) == 1:
        return f"{values[0]:.{digits}f} {unit}"
    return (f"{statistics.median(values):.{digits}f} {unit} "
            f"({min(values):.{digits}f}-{max(values):.{digits}f})")


def print_table(title, results, programs):
    print(f"\n{title}")
    print(f"{'':24} {'docked after':>22} {'private dirty':>24} {'RSS':>24}")
    for name in programs:
        rows = results[name]
        print(f"{name:24} {spread([r['docked'] for r in rows], 'ms', 0):>22} "
              f"{spread([r['Private_Dirty'] for r in rows], 'MiB', 1):>24} "
              f"{spread([r['Rss'] for r in rows], 'MiB', 1):>24}")


def idle_wakeups(session, programs, seconds):
    """Lines of wake-ups a minute of the programs idling side by side."""
    running = {name: launch(session, name, *program)[0] for name, program in programs.items()}
    for process in running.values():
        settle(process)
    before = {name: switches(p.pid) for name, p in running.items()}
    started = time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - started
    lines = [f"\nwake-ups over {elapsed:.0f} s idle, side by side"]
    for name, process in running.items():
        wakeups = switches(process.pid) - before[name]
        lines.append(f"{name:24} {wakeups:6d} ({wakeups * 60 / elapsed:.1f} a minute)")
        stop(session, process)
    return lines


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(here, "..", "build"))
    parser.add_argument("--launches", type=int, default=5)
    parser.add_argument("--idle", type=int, default=300)
    args = parser.parse_args()
    # Stopped from outside, the sessions still stop what they started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    vobrik = os.path.abspath(os.path.join(args.build, "vobrik"))
    minimal = os.path.abspath(os.path.join(args.build, "vobrik_minimal_tray"))
    # Vobrik without its day summary at start: the figures at idle are of
    # the icon and the frame alone.
    quiet = {"VOBRIK.INI": b"RESUME=0\r\n"}
    programs = {
        "vobrik HIDE": ([vobrik, "HIDE"], {}, quiet),
        "vobrik shown": ([vobrik], {}, quiet),
        "minimal tray": ([minimal], {}, {}),
        "minimal, GDK_GL=disable": ([minimal], {"GDK_GL": "disable"}, {}),
    }

    first = {name: [] for name in programs}
    later = {name: [] for name in programs}
    for _ in range(args.launches):
        for name, program in programs.items():
            with Session(program=None, tray=True, wm=True) as session:
                assert not gl_cache_set(session)
                first[name].append(measure_launch(session, name, *program))
    with Session(program=None, tray=True, wm=True) as session:
        measure_launch(session, "warm-up", [minimal], {}, {})
        assert gl_cache_set(session)
        for _ in range(args.launches):
            for name, program in programs.items():
                later[name].append(measure_launch(session, name, *program))
    with Session(program=None, tray=True, wm=True) as session:
        used = measure_after_use(session, [vobrik, "HIDE"])
        wakeups = idle_wakeups(session, programs, args.idle)

    print_table("first GTK client of a fresh X server", first, programs)
    print_table("later GTK client", later, programs)
    print(f"(median and range of {args.launches} launches)")
    def median(name, key):
        return statistics.median(r[key] for r in first[name])
    print(f"\nvobrik HIDE against the minimal tray, first client: private dirty "
          f"{median('vobrik HIDE', 'Private_Dirty') / median('minimal tray', 'Private_Dirty'):.2f}x, "
          f"docked after {median('vobrik HIDE', 'docked') / median('minimal tray', 'docked'):.2f}x")
    idle = median("vobrik HIDE", "Private_Dirty")
    print(f"vobrik HIDE, first client: private dirty {used:.1f} MiB after its day summary and "
          f"a ring, {used / idle:.2f}x its {idle:.1f} MiB at idle")
    print("\n".join(wakeups))


if __name__ == "__main__":
    main()
