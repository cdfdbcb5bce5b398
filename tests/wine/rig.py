"""The Wine test rig for end-to-end tests (standard library only).

    from rig import WineRig, Pty
    with Pty() as pty, WineRig(ports={1: pty.path}) as wine:
        target = wine.start_target("/tmp/t.log")       # fktarget.exe in front
        app = wine.start_wine(mingw / "Vantrel.exe")   # a Windows program
        sim = wine.start_native([fksim, "--script"])   # a native program
        wine.screenshot("/tmp/shot.png")

The prefix is prepared by `wine-run --setup-only` (the same code wine-run uses).
The rig holds the prefix lock for its whole life, so no other test maps the
prefix's ports meanwhile, and it ends only the processes it started, each by its
process group (a Wine program's loader process is the Windows process itself;
the programs it starts stay in its group; Wine's services live in another one).
"""

import fcntl
import os
import select
import signal
import subprocess
import time
import tty
from pathlib import Path

# Exit code of a test that cannot run here (CTest's SKIP_RETURN_CODE).
SKIP = 77

HERE = Path(__file__).resolve().parent
REPO = HERE.parent.parent
WINE_RUN = HERE / "wine-run"
# The two builds an end-to-end test needs (overridable for private build folders).
MINGW = Path(os.environ.get("VANTREL_MINGW_BUILD", REPO / "build" / "mingw")).resolve()
NATIVE = Path(os.environ.get("VANTREL_NATIVE_BUILD", REPO / "build" / "native")).resolve()
FKTARGET = MINGW / "tests" / "wine" / "target" / "fktarget.exe"
FKSIM = NATIVE / "tools" / "fksim" / "fksim"


class Pty:
    """A pseudo-terminal: Wine opens `path` as a COM port; the test plays the
    device on the master side. The rig keeps a slave descriptor open, so the pty
    outlives a close and reopen of the port by the program."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        self.path = os.ttyname(self.slave)

    def write(self, data: bytes):
        os.write(self.master, data)

    def read(self, timeout: float) -> bytes:
        """What arrives within `timeout` seconds of the first byte (b"" if none)."""
        ready, _, _ = select.select([self.master], [], [], timeout)
        return os.read(self.master, 65536) if ready else b""

    def read_exactly(self, n: int, timeout: float) -> bytes:
        got = b""
        end = time.monotonic() + timeout
        while len(got) < n:
            left = end - time.monotonic()
            if left <= 0:
                break
            ready, _, _ = select.select([self.master], [], [], left)
            if ready:
                got += os.read(self.master, n - len(got))
        return got

    def hangup(self):
        """The device goes away: the program's side of the line is dead."""
        if self.master >= 0:
            os.close(self.master)
            self.master = -1

    def close(self):
        self.hangup()
        if self.slave >= 0:
            os.close(self.slave)
            self.slave = -1

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Proc:
    """A process the rig started, in a process group of its own."""

    def __init__(self, popen: subprocess.Popen, name: str):
        self.popen = popen
        self.name = name

    @property
    def pid(self):
        return self.popen.pid

    def wait(self, timeout=None):
        return self.popen.wait(timeout)

    def running(self):
        return self.popen.poll() is None

    def kill(self, grace: float = 2.0):
        """Ends the process and whatever it started in its group: TERM, then KILL."""
        if self.popen.poll() is not None:
            return self.popen.returncode
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(self.popen.pid, sig)
            except ProcessLookupError:
                break
            try:
                return self.popen.wait(grace)
            except subprocess.TimeoutExpired:
                continue
        return self.popen.wait()


class WineRig:
    def __init__(self, ports=None, locale=None, prefix=None):
        """ports: {n: unix path} for COMn (the others map to missing paths);
        locale: e.g. "ja_JP.UTF-8" for a Japanese Wine (ANSI code page 932)."""
        self.ports = dict(ports or {})
        self.locale = locale
        self.prefix = Path(prefix or os.environ.get("VANTREL_WINEPREFIX",
                                                    REPO / "build" / "wine-prefix"))
        self.procs = []
        self._lock = None
        self.env = None

    # -- set-up -----------------------------------------------------------
    def __enter__(self):
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        self._lock = open(str(self.prefix) + ".lock", "w")
        fcntl.flock(self._lock, fcntl.LOCK_EX)
        try:
            self.map_ports(self.ports)
        except BaseException:
            self._release()
            raise
        return self

    def map_ports(self, ports):
        """Maps COMn to the given paths (all others to missing paths) now."""
        self.ports = dict(ports)
        env = {k: v for k, v in os.environ.items() if not k.startswith("VANTREL_COM")}
        env.update(VANTREL_WINEPREFIX=str(self.prefix), VANTREL_WINE_LOCKED="1",
                   VANTREL_WINE_QUIET="1")
        for n, path in self.ports.items():
            env[f"VANTREL_COM{n}"] = str(path)
        if self.locale:
            env["VANTREL_WINE_LOCALE"] = self.locale
        out = subprocess.run([str(WINE_RUN), "--setup-only"], env=env, check=True,
                             stdout=subprocess.PIPE, text=True, pass_fds=()).stdout
        for line in out.splitlines():
            key, _, value = line.partition("=")
            env[key] = value
        env.setdefault("WINEDEBUG", "-all")
        self.env = env

    def __exit__(self, *exc):
        for proc in reversed(self.procs):
            proc.kill()
        self._release()

    def _release(self):
        if self._lock:
            fcntl.flock(self._lock, fcntl.LOCK_UN)
            self._lock.close()
            self._lock = None

    # -- processes --------------------------------------------------------
    def _start(self, argv, name, **kw):
        popen = subprocess.Popen([str(a) for a in argv], env=kw.pop("env", self.env),
                                 start_new_session=True, **kw)
        proc = Proc(popen, name)
        self.procs.append(proc)
        return proc

    def start_wine(self, exe, *args, cwd=None, **kw):
        """Starts a Windows program through wine-run (exit code = the program's)."""
        return self._start([WINE_RUN, exe, *args], Path(exe).name, cwd=cwd, **kw)

    def run_wine(self, exe, *args, timeout=60, **kw):
        """Runs a Windows program to its end; returns its exit code."""
        proc = self.start_wine(exe, *args, **kw)
        try:
            return proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            raise

    def start_native(self, argv, **kw):
        """Starts a native program (fksim...) with the rig's environment."""
        return self._start(argv, Path(argv[0]).name, **kw)

    # -- the target window ------------------------------------------------
    def start_target(self, log_path, topmost=True, timeout=30, title=None):
        """Starts fktarget.exe logging to `log_path` (a unix path), its window titled
        `title` when given, and waits until the window is up and has the focus."""
        log_path = Path(log_path)
        if log_path.exists():
            log_path.unlink()
        args = ["--log", winpath(log_path)] + (["--topmost"] if topmost else [])
        args += ["--title", title] if title is not None else []
        proc = self.start_wine(FKTARGET, *args)
        wait_for(lambda: "ready" in read_log(log_path), timeout, f"{FKTARGET.name} to start")
        return proc

    def screenshot(self, path):
        """The whole (virtual) screen as an image file (png by extension)."""
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", str(path)],
                       check=True, env=self.env)


def winpath(path) -> str:
    """The Windows form of an absolute unix path (through drive Z:)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def read_log(path) -> str:
    try:
        return Path(path).read_text(encoding="utf-8", errors="replace")
    except FileNotFoundError:
        return ""


def log_events(path):
    """fktarget's log as (milliseconds, event, detail) tuples."""
    events = []
    for line in read_log(path).splitlines():
        parts = line.split(" ", 2)
        if len(parts) >= 2 and parts[0].isdigit():
            events.append((int(parts[0]), parts[1], parts[2] if len(parts) > 2 else ""))
    return events


def wait_for(condition, timeout, what="condition", interval=0.02):
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise TimeoutError(f"timed out waiting for {what}")
        time.sleep(interval)
