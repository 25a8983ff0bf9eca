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


def check_image(data):
    if len(data) == 0 or len(data) % RECORD:
        return None, f"length {len(data)} is not a whole number of records"
    count = len(data) // RECORD
    generation = struct.unpack_from("<i", data, 0)[0]
    if count != generation % 7 + 1:
        return None, f"generation {generation} should have {generation % 7 + 1} records, has {count}"
    for i in range(count):
        record = data[i * RECORD:(i + 1) * RECORD]
        when, = struct.unpack_from("<i", record, 0)
        message = record[4:204].split(b"\0", 1)[0]
        if when != generation or message != f"gen {generation} rec {i}".encode():
            return None, f"record {i} does not belong to generation {generation}"
    return generation, None


def main():
    saver, kills = sys.argv[1], int(sys.argv[2])
    rng = random.Random(20261206)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "ALARMS.VBK")
        last = -1
        for kill in range(kills):
            child = subprocess.Popen([saver, path])
            # Wait until the saver has written at least once more, then kill at
            # a random moment within its next saves.
            deadline = time.monotonic() + 10
            while True:
                try:
                    with open(path, "rb") as f:
                        generation, _ = check_image(f.read())
                except FileNotFoundError:
                    generation = None
                if generation is not None and generation > last:
                    break
                if child.poll() is not None or time.monotonic() > deadline:
                    child.kill()
                    child.wait()
                    print(f"saver stopped making progress before kill {kill}")
                    return 1
            time.sleep(rng.uniform(0, 0.004))
            child.send_signal(signal.SIGKILL)
            child.wait()
            with open(path, "rb") as f:
                generation, problem = check_image(f.read())
            if problem:
                print(f"after kill {kill}: {problem}")
                return 1
            if generation < last:
                print(f"after kill {kill}: generation went back from {last} to {generation}")
                return 1
            last = generation
            leftovers = [n for n in os.listdir(folder) if n not in ("ALARMS.VBK", "ALARMS.VBK.tmp")]
            if leftovers:
                print(f"unexpected files: {leftovers}")
                return 1
        print(f"{kills} kills, every file a whole image; last generation {last}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
