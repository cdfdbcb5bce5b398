"""The Wine rig of the end-to-end suites (standard library only): Vantrel.exe under
Wine in a working folder of its own, fksim playing the FK device on a pty that COM1
maps to, fktarget as the window in front, fkl writing the files the program reads.

A rig holds the prefix lock for its whole life, so no other test maps the prefix's
ports meanwhile, and ends only the processes it started, each by its process group (a
Wine program's loader process is the Windows process itself; Wine's services live in
another group). The suites leave the prefix's Xvfb and wineserver warm for the next
suite; a script run by hand calls stop_at_exit() to end them with it.
"""

import atexit
import fcntl
import os
import shutil
import signal
import subprocess
import sys
import time
import unittest
from pathlib import Path

SKIP = 77  # CTest's SKIP_RETURN_CODE: a program the suite needs is not built
REPO = Path(__file__).resolve().parent.parent.parent
WINE_RUN = REPO / "tests" / "wine" / "wine-run"
PREFIX = Path(os.environ.get("VANTREL_WINEPREFIX", REPO / "build" / "wine-prefix"))
MINGW = Path(os.environ.get("VANTREL_MINGW_BUILD", REPO / "build" / "mingw")).resolve()
NATIVE = Path(os.environ.get("VANTREL_NATIVE_BUILD", REPO / "build" / "native")).resolve()
VANTREL = MINGW / "Vantrel.exe"
FKTARGET = MINGW / "tests" / "wine" / "target" / "fktarget.exe"
FKINJECT = MINGW / "tests" / "wine" / "target" / "fkinject.exe"
FKSIM = NATIVE / "tools" / "fksim" / "fksim"
FKL = NATIVE / "tools" / "fkl" / "fkl"
WORK = REPO / "build" / "wine-e2e"
KEY_EVENTS = ("keydown", "keyup")
VK = {"Shift": 0x10, "Ctrl": 0x11, "Enter": 0x0D, "Esc": 0x1B}
PORTS = (1, 3, 12)  # the COM ports a device can be behind; 12: a USB adapter's number
TRAY_WINDOW = "__winex11_standalone_tray"  # Wine's notification area without a desktop
OPEN = []  # the rigs not closed yet


def keys(script):
    """fktarget's key events for "+Shift +A -A -Shift"."""
    return [("keydown" if s[0] == "+" else "keyup", f"0x{VK.get(s[1:]) or ord(s[1:]):02X}")
            for s in script.split()]


def tap(*vks, ms=60):
    """fkinject tokens: each key pressed and given time to act (a key that comes before
    a submenu is open moves in the parent menu instead)."""
    return [t for vk in vks for t in (f"kd:{vk}", f"ku:{vk}", f"w:{ms}")]


def winpath(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def vantrel_running():
    """Whether a Vantrel.exe of this prefix runs, whether a window message reaches it or
    not (another desktop; a suite of an installer whose prefix is its own)."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            argv0 = Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")[0]
            env = Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if argv0.endswith(b"\\Vantrel.exe") and f"WINEPREFIX={PREFIX}".encode() in env:
            return True
    return False


def wait_for(condition, timeout, what):
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise TimeoutError(f"timed out waiting for {what}")
        time.sleep(0.02)


def holds(path, content):
    """Whether the file holds these bytes; a file being replaced is briefly absent."""
    try:
        return path.read_bytes() == content
    except OSError:
        return False


def kill(proc):
    """Ends a process the rig started and its group."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            if proc.poll() is None:
                os.killpg(proc.pid, sig)
                proc.wait(2)
            break
        except ProcessLookupError:
            break
        except subprocess.TimeoutExpired:
            continue
    for pipe in (proc.stdin, proc.stdout):
        if pipe:
            pipe.close()


def stop_at_exit():
    """For a script run by hand (a benchmark, a screenshot): when it ends, also by Ctrl+C
    or SIGTERM, the rigs still open are closed and the prefix's Xvfb, wineserver and
    Wine's services ended."""
    def stop():
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(sig, signal.SIG_IGN)  # a second Ctrl+C must not cut this short
        while OPEN:
            OPEN[-1].close()
        subprocess.run([WINE_RUN, "--stop"], env={**os.environ, "VANTREL_WINEPREFIX": str(PREFIX)})

    def leave(sig, _):
        sys.exit(128 + sig)  # unwinds through the script's finally blocks, then stop()
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, leave)
    atexit.register(stop)


def main(*programs):
    """unittest.main, or the skip code when a program the suite needs is not built."""
    missing = [str(p) for p in (VANTREL, FKTARGET, FKINJECT, FKSIM, FKL, *programs)
               if not p.exists()]
    if missing:
        print(f"SKIPPED: {', '.join(missing)} not built")
        sys.exit(SKIP)
    unittest.main(module="__main__", argv=[sys.argv[0], "-v"] + sys.argv[1:])


class Suite(unittest.TestCase):
    """Cases that share one program run, in order (test_1_..., test_2_...): the rig
    build/wine-e2e/NAME, then the class's start(), which sets sim and target."""

    NAME, LOCALE = None, None

    @classmethod
    def setUpClass(cls):
        cls.rig = Rig(cls.NAME or cls.__name__, cls.LOCALE)
        cls.addClassCleanup(cls.rig.close)
        cls.start()

    def play(self, key, script, quiet=0.3):
        """Presses a key (an int) or sends hex bytes; asserts the key events that follow."""
        self.sim.press(key) if isinstance(key, int) else self.sim.cmd(f"hex {key}")
        expected = keys(script)
        self.assertEqual(self.target.take(len(expected), quiet=quiet), expected, key)

    def names(self):
        """The names of the frames since the last look."""
        return [name for _, name in self.sim.frames()]


class Sim:
    """fksim's scripted face: one command, one reply (a block for "frames")."""

    def __init__(self, proc):
        self.proc = proc
        first = proc.stdout.readline().split()
        if first[:1] != ["pty"]:
            raise RuntimeError(f"fksim did not start: {first}")

    def cmd(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        reply = self.proc.stdout.readline().rstrip("\n")
        if not reply:
            raise RuntimeError(f"fksim ended on {line!r}")
        if reply.startswith("ok frames "):
            return [self.proc.stdout.readline() for _ in range(int(reply.split()[2]))]
        return reply

    def frame(self, name, ms=3000):
        """(time µs, name, hex bytes) of the next frame matching name, None if none in ms."""
        reply = self.cmd(f"wait-frame {name} {ms}").rstrip().split(" ", 4)
        return (int(reply[2]), reply[4], reply[3]) if reply[:2] == ["ok", "frame"] else None

    def frames(self):
        """[(time µs, name without its alias)] since the last call."""
        return [(int(f[1]), f[3].split(" / ")[0])
                for f in (line.rstrip().split(" ", 3) for line in self.cmd("frames"))]

    def press(self, key):
        assert self.cmd(f"press {key}").startswith("ok press"), key


class Target:
    """fktarget's log, read as (event, detail) pairs past what was taken before."""

    def __init__(self, path):
        self.path, self.taken = path, 0

    def _events(self):  # the log exists: start_target waits for its first line
        text = self.path.read_text(encoding="utf-8", errors="replace")
        lines = text[:text.rfind("\n") + 1].splitlines()[self.taken:]
        return [(line.split(" ", 2) + [""])[1:3] for line in lines]

    def take(self, count, kinds=KEY_EVENTS, timeout=5, quiet=0.3):
        """Waits up to `timeout` s for `count` events of `kinds`, then `quiet` s for
        more; returns those of `kinds` and takes them all."""
        end = time.monotonic() + timeout
        while sum(e in kinds for e, _ in self._events()) < count and time.monotonic() < end:
            time.sleep(0.02)
        time.sleep(quiet)
        events = self._events()
        self.taken += len(events)
        return [(e, d) for e, d in events if e in kinds]


class Rig:
    """A working folder build/wine-e2e/NAME, Vantrel's working directory; COM1, COM3
    and COM12 mapped to the links build/wine-e2e/comN (fksim's pty while a Sim runs
    there, nothing otherwise); the processes started there."""

    def __init__(self, name, locale=None):
        PREFIX.parent.mkdir(parents=True, exist_ok=True)
        self._lock = open(f"{PREFIX}.lock", "w")
        self.procs, self.devices, self.targets = [], [], 0
        OPEN.append(self)
        fcntl.flock(self._lock, fcntl.LOCK_EX)
        self.dir = WORK / name
        shutil.rmtree(self.dir, ignore_errors=True)
        self.dir.mkdir(parents=True)
        # One path per port for every test: the mapping stays as it is.
        env = {k: v for k, v in os.environ.items() if not k.startswith("VANTREL_COM")}
        env.update({f"VANTREL_COM{n}": str(WORK / f"com{n}") for n in PORTS},
                   VANTREL_WINEPREFIX=str(PREFIX), VANTREL_WINE_LOCKED="1")
        if locale:
            env["VANTREL_WINE_LOCALE"] = locale
        try:
            out = subprocess.run([WINE_RUN, "--setup-only"], env=env, check=True, text=True,
                                 stdout=subprocess.PIPE).stdout
        except BaseException:
            self.close()
            raise
        env.update(line.split("=", 1) for line in out.splitlines())
        self.env = env

    def close(self):
        """Ends what was started, last first; the devices last, as one that went
        first would make Vantrel report a lost port."""
        for proc in reversed(self.procs + self.devices):
            kill(proc)
        self._lock.close()
        if self in OPEN:
            OPEN.remove(self)

    def start(self, argv, **kw):
        proc = subprocess.Popen([str(a) for a in argv], env=self.env, start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def wine(self, exe, *args, **kw):
        return self.start([WINE_RUN, exe, *args], **kw)

    def inject(self, *args):
        """Runs fkinject: (exit code, lines it printed)."""
        proc = self.wine(FKINJECT, *args, stdout=subprocess.PIPE, text=True)
        out = proc.communicate(timeout=60)[0]
        return proc.returncode, out.splitlines()

    def origin(self, cls, title):
        """The top-left corner of that window's client area on the screen."""
        rc, lines = self.inject("rect", cls, title)
        assert rc == 0, f"no window {cls} {title}"
        return tuple(map(int, lines[0].split()[5:]))

    def xdo(self, *args):
        """xdotool through the X server, as the user's keyboard and mouse."""
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True)

    def start_sim(self, model="X8000", port=1):
        """fksim playing `model` on a new pty behind COM`port` (one of PORTS)."""
        sim = Sim(self.start([FKSIM, "--script", "--model", model, "--pty-link", WORK / f"com{port}"],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True))
        self.devices.append(self.procs.pop())
        return sim

    def stop_sim(self, sim):
        kill(sim.proc)  # the device goes, its pty and link with it

    def start_vantrel(self):
        return self.wine(VANTREL, cwd=self.dir)

    def close_vantrel(self, app):
        """A close request from outside (WM_CLOSE, as taskkill without /f sends it);
        Vantrel must end by itself with code 0."""
        self.wine("taskkill", "/im", "Vantrel.exe", stdout=subprocess.DEVNULL,
                  stderr=subprocess.DEVNULL).wait(60)
        assert app.wait(20) == 0

    def end_session(self, app):
        """Sign-out: Vantrel must end by itself with code 0, nothing it shows holding it up."""
        self.wine("wineboot", "--end-session", "--force").wait(60)
        assert app.wait(20) == 0

    def start_target(self, title=None):
        """A new fktarget in front (titled `title` when given), once it has the focus."""
        self.targets += 1
        log = self.dir / f"target{self.targets}.log"
        self.wine(FKTARGET, "--log", winpath(log), *(["--title", title] if title else []))
        wait_for(lambda: log.exists() and "ready" in log.read_text(errors="replace"), 30,
                 "fktarget to start")
        return Target(log)

    def settings(self, **values):
        """Writes Vantrel.sys with these values as the program writes it (through fkl),
        plus a line of its own that the program drops when it writes the file; the
        bytes the program should write."""
        path = self.dir / "Vantrel.sys"
        path.write_bytes("".join(f"{k}={v}\r\n" for k, v in values.items()).encode("cp932"))
        subprocess.run([FKL, "settings", path, "--write", path], check=True,
                       stdout=subprocess.DEVNULL)
        written = path.read_bytes()
        path.write_bytes(written + b"Extra=1\r\n")
        return written

    def tray(self, button=3, clicks=1, wait_ms=3000):
        """Clicks Vantrel's icon in Wine's tray window through the X server, as the user
        does (the pointer stays there); fkinject tokens for what menus are open within
        wait_ms."""
        # Wine's tray window, kept from an earlier suite, may lie under a window started
        # since; Windows keeps the notification area above them.
        tray = (TRAY_WINDOW, "*")
        rc, lines = self.inject("wait", *tray, "20000", "topmost", *tray, "rect", *tray)
        assert rc == 0, "no tray window"
        x, y = map(int, lines[0].split()[5:])
        self.xdo("mousemove", x + 10, y + 10, "click", "--repeat", clicks, "--delay", 100, button)
        return ["menus", str(wait_ms)]

    def choose(self, row):
        """Clicks row `row` of the rightmost open pop-up menu through the X server: 0 at
        the top, -1 the last. Rows are as high as those of the tray's menu (the leftmost,
        five items); "ファイル" has its five layouts at the top and the rule commands at
        the foot, below a separator. Not keys: the mouse event of a menu that opened
        under the pointer may be handled after an injected key, and undo the key's
        selection."""
        menus = sorted(tuple(map(int, line.split()[1:])) for line in self.inject("menus", "3000")[1]
                       if line.startswith("menu"))
        assert menus, "no menu open"
        left, top, right, bottom = menus[-1]
        pitch = (menus[0][3] - menus[0][1]) / 5
        y = (top if row >= 0 else bottom) + pitch * (row + 0.5)
        self.xdo("mousemove", (left + right) // 2, int(y), "click", 1)

    def choose_file(self, row):
        """Clicks row `row` of the tray menu's "ファイル" submenu, once it is open."""
        self.choose(1)
        wait_for(lambda: len(self.inject("menus", "100")[1]) == 2, 10, "the submenu")
        self.choose(row)

    def layout(self, name, *keys):
        """Writes layout `name`, keys as fkl's "[M:]K=LINE"; its Windows path."""
        subprocess.run([FKL, "layout", self.dir / name, *keys], check=True)
        return winpath(self.dir / name)

    def past_first_data(self, sim):
        """Waits for the lamps' refresh after start-up, then presses an unassigned key:
        the first data after start-up only identifies the device."""
        assert sim.frame("refresh", 20000), "Vantrel did not start"
        sim.press(3)
        time.sleep(0.3)
