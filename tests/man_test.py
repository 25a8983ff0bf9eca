#!/usr/bin/env python3
"""The help shows the table of commands; each manual page, English and French,
as man shows it, and the bash completion name every option of `vobrik --help`
and no other, and the completion offers what each option's value names: files
for FICHIER (blanks and all), folders for DOSSIER, the keys of the folder the
line names for ID. Usage: man_test.py SOURCE_DIR PROGRAM"""
import atexit, os, re, shutil, subprocess, sys, tempfile

source, program = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
work = tempfile.mkdtemp()
atexit.register(shutil.rmtree, work)
env = dict(os.environ, LANG="C.UTF-8", MANWIDTH="200", PATH=os.path.dirname(program) + ":/usr/bin:/bin",
           XDG_RUNTIME_DIR=work, XDG_DATA_HOME=os.path.join(work, "data"), HOME=work)
helped = subprocess.run([program, "--help"], capture_output=True, text=True, env=env).stdout
options = set(re.findall(r"--[a-z][a-z-]+", helped))
values = dict(re.findall(r"^\s+(?:-\w, )?(--[a-z-]+) ([A-ZÉ|-]+)\s", helped, re.M))
failures = []
for page in ("vobrik.1", "vobrik.fr.1"):
    shown = subprocess.run(["man", "--warnings", "-l", os.path.join(source, "resources", page)],
                           capture_output=True, text=True, env=env)
    named = set(re.findall(r"--[a-z][a-z-]+", shown.stdout))
    if shown.returncode != 0 or shown.stderr or named != options:
        failures.append(f"{page}: {shown.stderr.strip()} missing {sorted(options - named)}, "
                        f"unknown {sorted(named - options)}")


def complete(*words):
    script = 'source "$0"; COMP_WORDS=(vobrik "$@"); COMP_CWORD=$#; _vobrik; printf "%s\\n" "${COMPREPLY[@]}"'
    done = subprocess.run(["bash", "-c", script, os.path.join(source, "resources", "vobrik.bash-completion"),
                           *words], capture_output=True, text=True, env=env, cwd=work)
    return [line for line in done.stdout.split("\n") if line]


offered = set(complete("")) - {"HIDE"}
if offered != options or complete("--ex") != ["--export-ics"]:
    failures.append(f"completion: missing {sorted(options - offered)}, unknown {sorted(offered - options)}")
folder = os.path.join(work, "Mes rappels")
os.mkdir(folder)
open(os.path.join(work, "Mon agenda.ics"), "w").close()
key = subprocess.run([program, "--add", "x", "--in", "1h", "--dir", folder], capture_output=True,
                     text=True, env=env).stdout.strip()
expected = {"FICHIER": (["Mon"], "Mon agenda.ics"), "DOSSIER": (["Mes"], "Mes rappels"),
            "ID": ([""], key)}
for option, value in sorted(values.items()):
    if value not in expected:
        continue
    start, wanted = expected[value]
    lines = [["--dir", "Mes rappels", option, *start], ["--dir", "=", "Mes rappels", option, *start]]
    for line in lines + ([[option, *start]] if value != "ID" else []):
        if wanted not in complete(*line):
            failures.append(f"completion of {' '.join(line)}: {complete(*line)}, not {wanted!r}")
print("\n".join(failures))
print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)
