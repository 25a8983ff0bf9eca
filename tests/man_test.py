#!/usr/bin/env python3
"""Each manual page, English and French, as man shows it, names every option of
`vobrik --help`, and no other. Usage: man_test.py SOURCE_DIR PROGRAM"""
import os, re, subprocess, sys

source, program = sys.argv[1], sys.argv[2]
env = dict(os.environ, LANG="C.UTF-8", MANWIDTH="200")
helped = set(re.findall(r"--[a-z][a-z-]+", subprocess.run([program, "--help"], capture_output=True,
                                                             text=True, env=env).stdout))
failed = 0
for page in ("vobrik.1", "vobrik.fr.1"):
    shown = subprocess.run(["man", "--warnings", "-l", os.path.join(source, "resources", page)],
                           capture_output=True, text=True, env=env)
    named = set(re.findall(r"--[a-z][a-z-]+", shown.stdout))
    if shown.returncode != 0 or shown.stderr or named != helped:
        print(f"{page}: {shown.stderr.strip()} missing {sorted(helped - named)}, "
              f"unknown {sorted(named - helped)}")
        failed += 1
print(f"{2 - failed} passed, {failed} failed")
sys.exit(1 if failed else 0)
