#!/usr/bin/python3
"""Stress of one reminder folder with the window program running, for the
figures README gives: for a while, at once,

  - commands add reminders, some of them killed (SIGKILL) at a random moment;
  - commands delete reminders that were added;
  - another program rewrites the file, in place (opened, truncated, written in
    two pieces) or by rename, adding reminders of its own, some of them due;
  - the window rings the due ones and a user answers "Valider";
  - the window program itself is killed (SIGKILL) and started again.

Then every acknowledged reminder must be there once, every refused or deleted
one and every answered ring gone: lost, doubled, resurrected and refused but
applied are counted. Usage: stress.py [--build DIR] [--seconds N] [--rewrites 0] [--kills 0]"""

import argparse
import ctypes
import itertools
import os
import random
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
from harness import Session  # noqa: E402

RECORD = 213
LIBC = ctypes.CDLL(None, use_errno=True)
AT_FDCWD, RENAME_EXCHANGE = -100, 2


def messages(data):
    return [data[i + 4:i + 204].split(b"\0")[0].decode("cp1252") for i in range(0, len(data) - RECORD + 1, RECORD)]


def record(when, message):
    return struct.pack("<i200sBii", when, message.encode(), 1, 0, 0)


class Stress:
    def __init__(self, s, seconds):
        self.s, self.path, self.end = s, s.path("ALARMS.VBK"), time.monotonic() + seconds
        self.lock, self.rng = threading.Lock(), random.Random(32)
        self.added, self.refused, self.killed, self.deleted, self.outside, self.rings = {}, [], [], [], [], []
        self.own_races = self.commands = self.rewrites = self.answered = self.copies = 0
        # Not counted: what a rewrite replaced unread (its own race), and what a
        # delete did or not when the window was killed before it answered.
        self.clobbered = set()
        self.reasons = {}
        self.pending = set()  # acknowledged adds to delete

    def running(self):
        return time.monotonic() < self.end

    def command(self, *args, kill=None):
        p = subprocess.Popen([self.s.program, *args, "--dir", self.s.work, "--timeout", "60"], env=self.s.env(),
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if kill is not None:
            time.sleep(kill)
            p.kill()
        out, err = p.communicate()
        with self.lock:
            self.commands += 1
            if p.returncode not in (0, -9):
                self.reasons[err.decode().split(" : ")[-1].strip()[:60]] = 1 + self.reasons.get(
                    err.decode().split(" : ")[-1].strip()[:60], 0)
        # The window killed while it worked on the command: done or not, as it says.
        return (None if b"avant de r\xc3\xa9pondre" in err else p.returncode), out.decode().strip()

    def adder(self, name):
        for n in itertools.count():
            if not self.running():
                return
            message = f"{name}-{n}"
            kill = self.rng.uniform(0, 0.02) if self.rng.random() < 0.1 else None
            code, key = self.command("--add", message, "--at", "2031-03-01 08:00", kill=kill)
            with self.lock:
                if code is None or kill is not None and code < 0:
                    self.killed.append(message)
                elif code == 0:
                    self.added[message] = key
                    self.pending.add(message)
                else:
                    self.refused.append(message)

    def deleter(self, name):
        while self.running():
            with self.lock:
                choices = sorted(m for m in self.pending if m.startswith(name + "-"))
            if len(choices) < 5:
                # Killed adds that were applied all the same are deleted too,
                # by the keys the list shows.
                for line in self.command("--list", "--tsv")[1].splitlines():
                    key, message = line.split("\t")[0], line.split("\t")[-1]
                    with self.lock:
                        if message in self.killed and message not in self.added:
                            self.added[message] = key
                            self.pending.add(message)
                time.sleep(0.01)
                continue
            message = self.rng.choice(choices)
            code = self.command("--delete", self.added[message])[0]
            with self.lock:
                self.pending.discard(message)
                if code == 0:
                    self.deleted.append(message)
                elif code is None:  # the window was killed: deleted or not, as it says
                    self.clobbered.add(message)

    def rewriter(self):
        for n in itertools.count():
            if not self.running():
                return
            # One in sixteen adds a reminder that rings at once, one in 64 one
            # for later; the others write the file as it is.
            due, later = n % 16 == 0, n % 64 == 1
            if len(open(self.path, "rb").read()) >= 80 * RECORD:
                due = later = False  # past the table's 100, a reminder would never ring
            message = f"{'r' if due else 'o'}{n}"
            extra = record(int(time.time()) - 5 if due else 1924984800, message) if due or later else b""
            if self.rng.random() < 0.9:
                # As cp or an editor: the file is open for writing while it is read and written.
                with open(self.path, "r+b") as f:
                    current = open(self.path, "rb").read()
                    f.truncate(0)
                    f.write(current[:len(current) // 2])
                    f.flush()
                    time.sleep(0.005)
                    f.write(current[len(current) // 2:] + extra)
                    f.flush()
                    ours = os.fstat(f.fileno()).st_ino == os.stat(self.path).st_ino
            else:
                # As a synchronising tool: a new file renamed over the old one.
                # Exchanged rather than renamed, to see what it replaced: a
                # change Vobrik made since the read is the tool's loss.
                current = open(self.path, "rb").read()
                with open(self.path + ".sync", "wb") as f:
                    f.write(current + extra)
                LIBC.renameat2(AT_FDCWD, (self.path + ".sync").encode(), AT_FDCWD, self.path.encode(), RENAME_EXCHANGE)
                replaced = open(self.path + ".sync", "rb").read()
                ours = replaced == current
                if not ours:
                    with self.lock:
                        brought = set(messages(replaced)) ^ set(messages(current))
                        self.clobbered |= brought
                        # Deleted ones it brought back are deleted again: the table stays under 100.
                        self.pending |= {m for m in brought if m in self.added}
            with self.lock:
                self.rewrites += 1
                if not ours:  # Vobrik replaced the file first: this write went nowhere
                    self.own_races += 1
                elif due or later:
                    (self.rings if due else self.outside).append(message)
            time.sleep(0.05)

    def ringing(self, copy):
        # A window of a killed copy may go between the two calls.
        try:
            return any(self.s.x.viewable(d) for d in self.s.windows_named(self.s.RING_TITLE, copy[0]))
        except Exception:
            return False

    def answerer(self, copy):
        def drained():
            return not self.ringing(copy) and not any(m.startswith("r") for m in messages(open(self.path, "rb").read()))
        while self.running() or (time.monotonic() < self.end + 120 and not drained()):
            if self.ringing(copy):
                try:  # as a user would: once the dialog has the focus and takes keys
                    self.s.answer_ring(copy[0], "alt+v")
                    self.answered += 1
                except Exception:  # killed meanwhile: the next copy rings again
                    pass
            time.sleep(0.05)

    def killer(self, copy):
        while self.running():
            time.sleep(self.rng.uniform(8, 15))
            copy[0].kill()
            copy[0].wait()
            copy[0] = self.s.start("HIDE")
            self.copies += 1



def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--seconds", type=float, default=60)
    # Without the other program, or without the window kills: to tell causes apart.
    parser.add_argument("--rewrites", type=int, choices=(0, 1), default=1)
    parser.add_argument("--kills", type=int, choices=(0, 1), default=1)
    options = parser.parse_args()
    with Session(os.path.abspath(os.path.join(options.build, "vobrik")), tray=True, wm=True) as s:
        s.write("VOBRIK.INI", b"RESUME=0\r\n")
        s.write("ALARMS.VBK", b"")
        copy = [s.start("HIDE")]
        s.wait_docked(copy[0])
        stress = Stress(s, options.seconds)
        # The table stays under its 100: as many deleters as adders.
        threads = [threading.Thread(target=stress.adder, args=(f"a{i}",)) for i in range(3)]
        threads += [threading.Thread(target=stress.deleter, args=(f"a{i}",)) for i in range(3)]
        threads += [threading.Thread(target=f) for f in (stress.rewriter,) * options.rewrites]
        threads += [threading.Thread(target=f, args=(copy,)) for f in (stress.answerer,) + (stress.killer,) * options.kills]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        final = messages(open(s.path("ALARMS.VBK"), "rb").read())
    count = {m: final.count(m) for m in set(final)}
    kept = [m for m in list(stress.added) + stress.outside if m not in stress.deleted]
    lost = [m for m in kept if count.get(m, 0) == 0 and m not in stress.clobbered]
    doubled = [m for m in count if count[m] > 1]
    resurrected = [m for m in stress.deleted + stress.rings if count.get(m, 0) and m not in stress.clobbered]
    applied = [m for m in stress.refused if count.get(m, 0)]
    print(f"{options.seconds:.0f} s: {stress.commands} commands ({len(stress.added)} adds acknowledged, "
          f"{len(stress.refused)} refused, {len(stress.killed)} killed, {len(stress.deleted)} deletes), "
          f"{stress.rewrites} outside rewrites ({len(stress.outside)} reminders, {len(stress.rings)} due, "
          f"{stress.own_races} lost by the rewriter's own race, {len(stress.clobbered)} reminders it "
          f"clobbered), {stress.answered} rings answered, "
          f"{stress.copies} window kills")
    print(f"lost {len(lost)}, doubled {len(doubled)}, resurrected {len(resurrected)}, "
          f"refused but applied {len(applied)}")
    print("refused:", "; ".join(f"{n} \u00ab {why} \u00bb" for why, n in sorted(stress.reasons.items())))
    for name, found in (("lost", lost), ("doubled", doubled), ("resurrected", resurrected), ("applied", applied)):
        if found:
            print(f"  {name}: {sorted(found)[:20]}")
    return 1 if lost or doubled or resurrected or applied else 0


if __name__ == "__main__":
    sys.exit(main())
