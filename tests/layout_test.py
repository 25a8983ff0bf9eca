#!/usr/bin/env python3
"""The program's folders depend downwards only, and only the wx folders use the
toolkit, and no source file outgrows 500 lines: prints each file or include
that breaks a rule. Every use points down
the ranks (or from a wx folder to its own), so no two folders can use each
other, directly or around a circle. Usage: layout_test.py SOURCE_DIR"""
import re
import sys
from pathlib import Path

# Lower ranks first. A wx subfolder may use its own folder and what lies below;
# nothing outside a wx folder uses one. Folders of one rank never meet.
RANKS = {"platform": 0, "core": 1, "calendar": 2, "dialogs": 3, "summary": 3, "cli": 4, "app": 5}
TOOLKIT = re.compile(r'#\s*include\s*<(wx|gtk|gdk|glib|gio|X11)\b')
LOCAL = re.compile(r'#\s*include\s*"(\w+(?:/wx)?)/\w+\.h"')


def allowed(user, used):
    base, used_base = user.split("/")[0], used.split("/")[0]
    if used == base:
        return True
    return RANKS[used_base] < RANKS[base] and (user.endswith("/wx") or not used.endswith("/wx"))


def main(root):
    problems = []
    for source in sorted(p for p in root.rglob("*") if p.suffix in (".cpp", ".h")):
        folder, name = source.parent.relative_to(root).as_posix(), source.relative_to(root)
        if folder.split("/")[0] not in RANKS:
            continue
        text = source.read_text(encoding="latin-1")
        if text.count("\n") > 500:
            problems.append(f"{name}: {text.count(chr(10))} lines, more than 500")
        if not folder.endswith("/wx") and TOOLKIT.search(text):
            problems.append(f"{name}: toolkit header outside a wx folder")
        for used in set(LOCAL.findall(text)) - {folder}:
            if used.split("/")[0] in RANKS and not allowed(folder, used):
                problems.append(f"{name}: {folder} uses {used}, which is not below it")
    print("\n".join(problems) or "folders depend downwards only")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1])))
