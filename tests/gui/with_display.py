#!/usr/bin/env python3
"""Runs a command on a private X server (Xvfb, no window manager, no tray
host) in a fresh working directory, and gives its exit code. The server goes
away with the command."""

import subprocess
import sys

from harness import Session


def main():
    with Session(program=None, tray=False) as session:
        return subprocess.run(sys.argv[1:], cwd=session.work, env=session.env()).returncode


if __name__ == "__main__":
    sys.exit(main())
