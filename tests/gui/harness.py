"""A private X session for one GUI test: Xvfb on a free display, a tray host
(trayer) and, where focus matters, a window manager (openbox); a fresh working
directory and runtime directory; helpers that drive the program with xdotool
and wait on conditions with a deadline. Everything started is stopped again,
whatever happens."""

import glob
import os
import select
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import traceback

import xlib

DEADLINE = 20.0  # seconds for any one condition
# Everything a session starts is killed with the test, even by ctest's SIGKILL.
DIE_WITH_TEST = ["setpriv", "--pdeathsig", "KILL"]
POLL = 0.05


class TimedOut(AssertionError):
    pass


def faketime(clock):
    """The environment that runs the program on a faked clock (libfaketime):
    "@2026-05-05 09:00:00" starts it at that date, "+0 x20" makes it run
    twenty times as fast, timers and timeouts included."""
    library = next(iter(glob.glob("/usr/lib/*/faketime/libfaketime.so.1")), None)
    assert library, "libfaketime is not installed (scripts/deps)"
    return {"LD_PRELOAD": library, "FAKETIME": clock}


def wait_for(condition, what, timeout=DEADLINE):
    """The condition's first true value; past the timeout, TimedOut (None if what is None)."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            if what is None:
                return None
            raise TimedOut(f"timed out waiting for {what}")
        time.sleep(POLL)


def run(name, function, program, screenshots, tray=True, wm=False):
    """Runs one test in a session of its own and says how it went; 0 when it
    passed."""
    try:
        with Session(program, tray=tray, wm=wm, screenshots=screenshots) as session:
            function(session)
    except Exception:  # a failed check or a broken session alike
        traceback.print_exc()
        print(f"FAILED {name}")
        return 1
    print(f"passed {name}")
    return 0


class Session:
    def __init__(self, program, tray=True, wm=False, screenshots=None):
        self.program = program
        self.screenshots = screenshots
        self.processes, self.logs, self.x = [], [], None
        self.root = tempfile.mkdtemp(prefix="vobrik-gui-")
        self.work = os.path.join(self.root, "work")
        self.runtime = os.path.join(self.root, "runtime")
        os.mkdir(self.work)
        os.mkdir(self.runtime, 0o700)
        # ALSA's default device writes what it is given to a file and plays
        # nothing: the tests are silent on any machine, and can read the ring.
        self.played = os.path.join(self.root, "played.raw")
        self.alsa_config = os.path.join(self.root, "asound.conf")
        with open(self.alsa_config, "w") as f:
            f.write('pcm.!default {\n type file\n slave.pcm { type null }\n format raw\n'
                    f' file "{self.played}"\n}}\n')
        try:
            self._start_display()
            if wm:
                self._start_window_manager()
            if tray:
                self.start_tray()
        except BaseException:
            self.close()
            raise

    # -- processes ---------------------------------------------------------

    def _log(self, name):
        path = os.path.join(self.root, f"{len(self.logs)}-{name}.log")
        self.logs.append(path)
        return open(path, "wb")

    def _spawn(self, argv, stdout=None, **kwargs):
        """Starts argv in a process group of its own; its output, or its error
        output alone when stdout is given, goes to a log of the session."""
        with self._log(os.path.basename(argv[0])) as log:
            process = subprocess.Popen(DIE_WITH_TEST + argv, env=kwargs.pop("env", self.env()),
                                       stdin=subprocess.DEVNULL, stdout=stdout or log, stderr=log,
                                       start_new_session=True, **kwargs)
        self.processes.append(process)
        return process

    def _start_display(self):
        xvfb = self._spawn(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24",
                            "-nolisten", "tcp", "-noreset"], stdout=subprocess.PIPE)
        ready = select.select([xvfb.stdout], [], [], DEADLINE)[0]
        number = xvfb.stdout.readline().decode().strip() if ready else ""
        if not number:
            raise TimedOut("Xvfb did not give its display number")
        self.display = ":" + number
        self.x = xlib.Display(self.display)

    def _start_window_manager(self):
        """Openbox can read requests while it starts and leave them unanswered
        until another one comes (the tray's panel and a ring dialog then never
        show): a window of ours is mapped again until it takes it, and only
        then do other clients start."""
        self._spawn(["openbox", "--sm-disable"])
        probe = self.x.new_window()

        def taken():
            self.x.map(probe)
            return wait_for(lambda: probe in self.x.property_longs(self.x.root, "_NET_CLIENT_LIST"),
                            None, timeout=0.5)
        wait_for(taken, "the window manager to take a window")
        self.x.destroy(probe)

    def start_tray(self):
        tray = self._spawn(["trayer", "--edge", "top", "--align", "right",
                            "--widthtype", "request", "--height", "32", "--SetDockType", "true"])
        wait_for(lambda: self.x.selection_owner("_NET_SYSTEM_TRAY_S0"), "the tray host")
        return tray

    def env(self, **extra):
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.root,
            "DISPLAY": getattr(self, "display", ""),
            "XDG_RUNTIME_DIR": self.runtime,
            "TZ": "Europe/Paris",
            "LANG": "C.UTF-8",
            "NO_AT_BRIDGE": "1",
            "ALSA_CONFIG_PATH": self.alsa_config,
        }
        env.update(extra)
        return env

    def start(self, *args, cwd=None, **env):
        return self._spawn([self.program, *args], cwd=cwd or self.work, env=self.env(**env))

    def close(self):
        if self.x is not None:
            self.x.close()
            self.x = None
        for process in reversed(self.processes):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    os.killpg(process.pid, signal.SIGKILL)
                    process.wait()
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, kind, value, traceback):
        if kind is not None:
            self.report()
        self.close()

    def report(self):
        """On failure: the logs, and a screenshot in the build directory."""
        if self.screenshots and self.x is not None:
            try:
                self.screenshot(os.path.join(self.screenshots, "failure.png"))
            except (subprocess.SubprocessError, OSError):
                pass  # the logs below say more
        for path in self.logs:
            with open(path, "rb") as f:
                text = f.read().decode("utf-8", "replace").strip()
            if text:
                print(f"--- {os.path.basename(path)}\n{text}")

    # -- files -------------------------------------------------------------

    def path(self, name):
        return os.path.join(self.work, name)  # an absolute name stays as it is

    def read(self, name):
        try:
            with open(self.path(name), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    # -- windows -----------------------------------------------------------

    def pid_of(self, window):
        pid = self.x.property_longs(window, "_NET_WM_PID")
        return pid[0] if pid else None

    def windows_named(self, name, process=None):
        return [window for window, _ in self.x.tree() if self.x.name(window) == name
                and (process is None or self.pid_of(window) == process.pid)]

    def window_named(self, title, process=None):
        """The first window with this title, once there is one."""
        return wait_for(lambda: next(iter(self.windows_named(title, process)), None), f'"{title}"')

    def frame(self, process):
        return self.window_named("Vobrik", process)

    def shown(self, title, process):
        """The first window with this title, once it shows."""
        window = self.window_named(title, process)
        wait_for(lambda: self.x.viewable(window), f'"{title}" to show')
        return window

    def tray_icon(self, process):
        """The program's icon docked in the tray host, or None."""
        panels = [w for w, _ in self.x.tree() if self.x.name(w) == "panel"]
        for window, ancestors in self.x.tree():
            if (set(ancestors) & set(panels) and self.pid_of(window) == process.pid
                    and self.x.viewable(window) and self.x.geometry(window)[2] > 1):
                return window
        return None

    def wait_docked(self, process):
        return wait_for(lambda: self.tray_icon(process), "the tray icon to dock")

    def press_tray(self, process, button):
        x, y, width, height = self.x.geometry(self.wait_docked(process))
        self.xdotool("mousemove", str(x + width // 2), str(y + height // 2),
                     "mousedown", str(button), "mouseup", str(button))

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env(), check=True, timeout=DEADLINE,
                       stdout=subprocess.DEVNULL)

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    def click_dialog_units(self, window, x, y, width=403, height=145):
        """Clicks at (x, y) in the dialog units of a dialog that fills window."""
        _, _, w, h = self.x.geometry(window)
        self.xdotool("mousemove", "--window", str(window), str(round(x * w / width)),
                     str(round(y * h / height)), "click", "1")

    def screenshot(self, path, window=None):
        """Saves the screen, or one window as the screen shows it, as PNG."""
        os.makedirs(os.path.dirname(path), exist_ok=True)
        target = "root" if window is None else str(window)
        subprocess.run(["import", "-display", self.display, "-window", target, path],
                       check=True, timeout=DEADLINE, stdout=subprocess.DEVNULL)

    def wait_active(self, window):
        wait_for(lambda: self.x.active_window() == window, "the window to have the focus")

    # -- the ring dialog ----------------------------------------------------

    RING_TITLE = "Alarme ..."
    # The ring dialog drops every key and click for at least this long after
    # it is set up, which comes before it shows.
    RING_GUARD = 1.0

    def ring_dialog(self, process, previous=None):
        """The ring dialog once it shows (another one than previous), and the
        moment it was first seen showing."""
        def shown():
            for window in self.windows_named(self.RING_TITLE, process):
                if window != previous and self.x.viewable(window):
                    return window
            return None
        return wait_for(shown, "the ring dialog"), time.monotonic()

    def wait_ring_guard(self, seen):
        """Until the guard of a ring dialog seen at seen opens, if no input came."""
        wait_for(lambda: time.monotonic() >= seen + self.RING_GUARD, "the guard to open")

    def answer_ring(self, process, key, previous=None):
        """Waits for the ring dialog, presses key once it takes input, and
        waits for it to close. Gives the dialog's window."""
        dialog, seen = self.ring_dialog(process, previous)
        self.wait_active(dialog)
        self.wait_ring_guard(seen)

        # Input that reached the dialog as it was set up, such as the release
        # of the key that answered the one before, keeps the guard closed for
        # half a second more; a press it drops is made again.
        def answered():
            self.key(key)
            return wait_for(lambda: not self.x.viewable(dialog), None, timeout=1.0)

        wait_for(answered, "the ring dialog to take the answer")
        return dialog

    def sync_with(self, process):
        """Returns once the program's message loop has run past everything it
        had been asked to do before: it answers its lookup socket only from
        that loop."""
        path = os.path.join(self.runtime, "vobrik", "Vobrik.window")
        wait_for(lambda: os.path.exists(path), "the program to answer lookups")
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(DEADLINE)
            s.connect(path)
            s.sendall(b"ping\n")
            while s.recv(64):
                pass
        self.x.sync()

    def exit_code(self, process):
        return process.wait(timeout=DEADLINE)  # past it, TimeoutExpired fails the test
