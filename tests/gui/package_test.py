#!/usr/bin/env python3
"""Builds the Debian package, checks it as the distribution would (lintian, the
software-centre metadata), installs it with apt on this machine, starts the
installed program from its desktop and autostart entries' commands on a private
X server, and purges the package again.
Usage: package_test.py BUILD_DIR SCREENSHOT_DIR"""

import glob
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import traceback

from harness import Session, wait_for

SKIPPED = 77
# Another apt or dpkg at work on the machine is waited for, not failed on.
APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=300"]


def run(*argv, **kwargs):
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, **kwargs)


def exec_line(entry):
    with open(entry, encoding="utf-8") as f:
        for line in f:
            if line.startswith("Exec="):
                return shlex.split(line[len("Exec="):].strip())
    raise AssertionError(f"{entry} has no Exec line")


def check_installed_program(screenshots):
    for entry in ("/usr/share/applications/vobrik.desktop", "/etc/xdg/autostart/vobrik.desktop"):
        run("desktop-file-validate", entry)
    run("appstreamcli", "validate", "--no-net", "/usr/share/metainfo/org.vobrik.vobrik.metainfo.xml")
    # lintian has checked the copyright file and the manual pages.
    for path in ("/usr/share/vobrik/FETES.TXT", "/usr/share/vobrik/DRING.WAV", "/usr/libexec/vobrik/vobrik-ics",
                 "/usr/share/man/fr/man1/vobrik.1.gz", "/usr/share/bash-completion/completions/vobrik",
                 "/usr/share/icons/hicolor/scalable/apps/vobrik.svg"):
        assert os.path.isfile(path), f"{path} was not installed"
    # Sharp at every size: each rendering is as large as its folder says.
    for size in (16, 32, 48, 64, 128, 256):
        shown = subprocess.run(["/usr/bin/identify", "-format", "%wx%h",
                                f"/usr/share/icons/hicolor/{size}x{size}/apps/vobrik.png"],
                               capture_output=True, text=True, check=True).stdout
        assert shown == f"{size}x{size}", (size, shown)

    # From the menu: the frame shows, the icon docks, the data directory is made.
    command = exec_line("/usr/share/applications/vobrik.desktop")
    program = shutil.which(command[0], path="/usr/bin")
    assert program, f"{command[0]} is not installed in /usr/bin"
    with Session(program, wm=True, screenshots=os.path.join(screenshots, "menu")) as s:
        process = s.start(*command[1:])
        frame = s.frame(process)
        wait_for(lambda: s.x.viewable(frame), "the frame to show")
        s.wait_docked(process)
        data = os.path.join(s.root, ".local", "share", "vobrik")
        assert os.path.isdir(data), "the data directory was not created"
        assert os.readlink(f"/proc/{process.pid}/cwd") == data, "the program does not work in it"

    # From the session's autostart: hidden in the tray, in XDG_DATA_HOME.
    command = exec_line("/etc/xdg/autostart/vobrik.desktop")
    with Session(shutil.which(command[0], path="/usr/bin"),
                 screenshots=os.path.join(screenshots, "autostart")) as s:
        data_home = os.path.join(s.root, "data")
        process = s._spawn([s.program, *command[1:]], cwd="/",
                           env=s.env(XDG_DATA_HOME=data_home))
        s.wait_docked(process)
        s.sync_with(process)
        assert not any(s.x.viewable(w) for w in s.windows_named("Vobrik", process)), \
            "the autostart entry did not start hidden"
        assert os.path.isdir(os.path.join(data_home, "vobrik")), "XDG_DATA_HOME was not used"


def main():
    build, screenshots = sys.argv[1:3]
    if os.geteuid() != 0:
        print("skipped: installing a package needs root")
        return SKIPPED
    out = tempfile.mkdtemp(prefix="vobrik-package-")
    installed = False
    try:
        run("cpack", "-G", "DEB", "-B", out, cwd=build)
        package = glob.glob(os.path.join(out, "vobrik_*.deb"))[0]
        lintian = subprocess.run(["lintian", "--fail-on", "error,warning", package],
                                 capture_output=True, text=True)
        assert lintian.returncode == 0, f"lintian rejects the package:\n{lintian.stdout}"
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        run(*APT, "install", "--no-install-recommends", package, env=env)
        installed = True
        check_installed_program(screenshots)
    except Exception:
        traceback.print_exc()
        print("FAILED Package.InstalledProgramStartsFromItsDesktopEntries")
        return 1
    finally:
        if installed:
            subprocess.run([*APT, "purge", "vobrik"], stdout=subprocess.DEVNULL,
                           env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        shutil.rmtree(out, ignore_errors=True)
    print("passed Package.InstalledProgramStartsFromItsDesktopEntries")
    return 0


if __name__ == "__main__":
    sys.exit(main())
