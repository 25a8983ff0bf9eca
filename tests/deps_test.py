"""scripts/deps must cover what this build found, even where a package was
installed by hand: every file the CMake cache points at under /usr, every
pkg-config module the CMake files ask for and every program the tests run
comes from a listed package or from one they depend on."""
import glob, os, re, shutil, subprocess, sys

source, build = sys.argv[1], sys.argv[2]
PROGRAMS = ["Xvfb", "xauth", "trayer", "openbox", "xdotool", "convert",
            "desktop-file-validate", "dpkg-deb", "cmp", "lintian", "appstreamcli",
            "dbus-daemon", "/usr/libexec/at-spi-bus-launcher", "man", "clang-format"]
MODULES = ["Xlib", "gi", "icalendar", "recurring_ical_events", "vobject"]  # Debian's Python modules the tests import



def run(*args):
    return subprocess.run(args, capture_output=True, text=True).stdout

def owner(path):
    # The path itself first (a -dev package's .so link), then what an
    # alternatives link such as wx-config points at.
    for candidate in (path, os.path.realpath(path)):
        found = run("dpkg-query", "-S", candidate).split(":", 1)[0].strip()
        if found:
            return found
    return None

listed = run(os.path.join(source, "scripts/deps"), "--list").split()
closure = set()
for line in run("apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests",
                "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances", *listed).splitlines():
    name = line.split(":", 1)[-1].strip().strip("<>").split(":")[0]
    if name:
        closure.add(name)

# Essential packages are on every Debian system.
closure.update(line.split()[0] for line in
               run("dpkg-query", "-W", "-f=${Package} ${Essential}\n").splitlines()
               if line.endswith(" yes"))

files = {}
cache = open(os.path.join(build, "CMakeCache.txt")).read()
for key, path in re.findall(r"^(\w+):(?:FILEPATH|PATH)=(/usr/\S+)$", cache, re.M):
    # Of CMake's own entries only the compiler and make: it records whichever
    # archivers, linkers and strip it happens to find (llvm-ar beside clang),
    # and on a bare machine binutils, which g++ brings, stand in for them.
    cmake_own = key.startswith("CMAKE_") and key not in ("CMAKE_CXX_COMPILER", "CMAKE_MAKE_PROGRAM")
    if os.path.exists(path) and not cmake_own:
        files[key] = path
cmake_text = "".join(open(f).read() for f in glob.glob(source + "/**/*.cmake", recursive=True)
                     + glob.glob(source + "/**/CMakeLists.txt", recursive=True))
for call in re.findall(r"pkg_check_modules\(([^)]*)\)", cmake_text):
    for module in call.split()[1:]:
        if module not in ("REQUIRED", "IMPORTED_TARGET", "QUIET"):
            pcdir = run("pkg-config", "--variable=pcfiledir", module).strip()
            files["pkg-config " + module] = os.path.join(pcdir, module + ".pc")
for module in MODULES:
    files["python3 " + module] = run("/usr/bin/python3", "-c", f"import {module}; print({module}.__file__)").strip()
files["typelib Atspi"] = next(iter(glob.glob("/usr/lib/*/girepository-1.0/Atspi-2.0.typelib")), "Atspi")
for program in PROGRAMS:
    files[program] = shutil.which(program, path="/usr/bin:/bin") or "/usr/bin/" + program

uncovered = []
for what, path in sorted(files.items()):
    package = owner(path)
    if package not in closure:
        uncovered.append(f"{what} ({path}): package {package or 'none'}")
assert listed and closure, "scripts/deps --list or apt-cache depends gave nothing"
for line in uncovered:
    print("not covered by scripts/deps:", line)
sys.exit(1 if uncovered else 0)
