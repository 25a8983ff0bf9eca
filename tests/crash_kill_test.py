#!/usr/bin/env python3
"""Kills a process that saves the reminder file in a loop, at random moments,
and checks after every kill that the file is one whole image, never a mix or a
partial write, and never older than what was seen before."""
import os
import random
import signal
import struct
import subprocess
import sys
import tempfile
import time

RECORD = 213


def generation_of(data):
    """The generation of a whole image (see SaveLoop.cpp), or None."""
    count = len(data) // RECORD
    if not data or len(data) % RECORD:
        return None
    generation = struct.unpack_from("<i", data, 0)[0]
    records = [(when, message.split(b"\0")[0])
               for when, message in (struct.unpack_from("<i200s", data, i * RECORD) for i in range(count))]
    whole = count == generation % 7 + 1 and records == [
        (generation, f"gen {generation} rec {i}".encode()) for i in range(count)]
    return generation if whole else None


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def main():
    saver, kills = sys.argv[1], int(sys.argv[2])
    rng = random.Random(20261206)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "ALARMS.VBK")
        last = -1
        for kill in range(kills):
            child = subprocess.Popen([saver, path])
            # Once the saver has written at least once more, kill it at a random
            # moment within its next saves.
            deadline = time.monotonic() + 10
            while (generation_of(read(path)) or -1) <= last:
                if child.poll() is not None or time.monotonic() > deadline:
                    child.kill()
                    sys.exit(f"the saver stopped making progress before kill {kill}")
            time.sleep(rng.uniform(0, 0.004))
            child.send_signal(signal.SIGKILL)
            child.wait()
            generation = generation_of(read(path))
            if generation is None or generation < last:
                sys.exit(f"after kill {kill}: not a whole image newer than {last}: {read(path)[:80]}")
            last = generation
            leftovers = set(os.listdir(folder)) - {"ALARMS.VBK", "ALARMS.VBK.tmp"}
            if leftovers:
                sys.exit(f"unexpected files: {leftovers}")
        print(f"{kills} kills, every file a whole image; last generation {last}")


if __name__ == "__main__":
    main()
