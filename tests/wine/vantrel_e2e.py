"""What the Wine end-to-end suites share (standard library only): the programs they
run, fksim's scripted face, the files Vantrel.exe reads, and a test case that gives
each test a working folder of its own with COM1 mapped to fksim's pty.

    class Shell(vantrel_e2e.DeviceCase):
        WORK = "shell"                          # build/wine-e2e/shell/<test>

        def test_key(self):
            self.write_settings(FkNameT=self.write_layout("a.fkl", typing("A")),
                                FileOn=1, FkModel="X8000")
            sim = self.start_sim("X8000")
            log = self.start_target()
            self.start_vantrel()
            self.past_first_data(sim)
            sim.press(1)
            self.assertIn(0x41, self.keys_typed(log))

    if __name__ == "__main__":
        vantrel_e2e.run_tests(sys.argv[1:], vantrel_e2e.FKINJECT)

The Wine rig itself is rig.py's; the programs come from the builds it names.
"""

import shutil
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import rig  # noqa: E402

VANTREL = rig.MINGW / "Vantrel.exe"
FKINJECT = rig.MINGW / "tests" / "wine" / "target" / "fkinject.exe"
# Working folders of the suites; build/ keeps them out of the source tree.
WORK = rig.REPO / "build" / "wine-e2e"


def missing_programs(*extra):
    """The programs every suite needs (and `extra`) that are not built."""
    return [str(p) for p in (VANTREL, rig.FKTARGET, rig.FKSIM, *extra) if not p.exists()]


def run_tests(args, *extra):
    """unittest.main on the running script's cases with `args`; the exit code that
    CTest takes for a skip when a program they need is not built."""
    missing = missing_programs(*extra)
    if missing:
        print(f"SKIPPED: {', '.join(missing)} not built")
        sys.exit(rig.SKIP)
    unittest.main(module="__main__", argv=[sys.argv[0], "-v"] + list(args))


# -- files the program reads ------------------------------------------------

def settings_bytes(FkNameT="", Form2Top=0, Form2Left=0, FileOn=0, Timer1On=0, ComS=1,
                   FkModel=""):
    """Vantrel.sys exactly as the program writes it, so a test can also compare the
    file it saves with this."""
    stars = "*" * 82
    blank = "*" + " " * 80 + "*"
    lines = [stars, blank, "*  MCADAM Helix 用 FK流用プログラム  設定値" + " " * 38 + "*", blank,
             stars,
             f"FkNameT={FkNameT}    * 起動時使用ファイル",
             f"Form2Top={Form2Top:<18}* エディタ画面の上下位置",
             f"Form2Left={Form2Left:<17}* エディタ画面の左右位置",
             f"FileOn={FileOn:<20}* 起動時上記のファイルを開く設定",
             f"Timer1On={Timer1On:<18}* MICRO CADAM Helix 用に自動切換設定",
             f"ComS={ComS:<22}* 通信ポート",
             f"FkModel={FkModel:<19}* キーボードの種類"]
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def layout_bytes(keys) -> bytes:
    """A .fkl as the program writes it: keys maps (mouse state, key) to (mode,
    [steps]), a step "#keys" or "*text"; every other key is an empty record."""
    lines = []
    for mouse in range(1, 5):
        for key in range(1, 33):
            entry = keys.get((mouse, key))
            if entry is None:
                lines += ["", "", ""]
                continue
            mode, steps = entry
            lines += [f"key{key}", str(len(steps)), mode + "".join("," + s for s in steps)]
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def typing(*names):
    """Layout keys for layout_bytes: keys 1, 2, ... (no mouse button held) each type
    one key, e.g. typing("A", "B")."""
    return {(1, n): ("結合", [f"#{name}"]) for n, name in enumerate(names, 1)}


# -- fksim ------------------------------------------------------------------

class Sim:
    """fksim's scripted face: one command, one reply ("frames", "bytes" and "help"
    add the lines they announce)."""

    def __init__(self, proc):
        self.proc = proc
        first = proc.popen.stdout.readline().split()
        if not first or first[0] != "pty":
            raise RuntimeError(f"fksim did not start: {first}")
        self.pty = first[1]

    @classmethod
    def start(cls, wine, model, link=None):
        """fksim playing `model` on a new pty, reachable through the symlink `link`
        when given (a path a COM port can be mapped to before the pty exists)."""
        argv = [rig.FKSIM, "--script", "--model", model] + (["--pty-link", link] if link else [])
        proc = wine.start_native(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                 bufsize=1)
        try:
            return cls(proc)
        except BaseException:
            proc.kill()
            raise

    def cmd(self, line: str):
        out = self.proc.popen.stdout
        self.proc.popen.stdin.write(line + "\n")
        self.proc.popen.stdin.flush()
        reply = out.readline().rstrip("\n")
        if not reply:
            raise RuntimeError(f"fksim ended on {line!r}")
        words = reply.split()
        if len(words) == 3 and words[0] == "ok" and words[1] in ("frames", "bytes", "help"):
            return [reply] + [out.readline().rstrip("\n") for _ in range(int(words[2]))]
        return reply

    def wait_frame(self, name: str, ms: int = 5000):
        """(time µs, hex, name) of the next frame matching name, or None on timeout."""
        reply = self.cmd(f"wait-frame {name} {ms}")
        if not reply.startswith("ok frame "):
            return None
        _, _, t, hexs, *names = reply.split(" ")
        return int(t), hexs, " ".join(names)

    def frames(self):
        """[(time µs, hex, name)] since the last call."""
        out = []
        for line in self.cmd("frames")[1:]:
            _, t, hexs, *names = line.split(" ")
            out.append((int(t), hexs, " ".join(names)))
        return out

    def frame_names(self):
        """The names of the frames since the last call of this or frames()."""
        return [name for _, _, name in self.frames()]

    def press(self, key: int) -> int:
        """Presses key 1..32; the time (µs) it was written. Fails when the write did
        (use cmd("press N") where nobody may be reading the line)."""
        reply = self.cmd(f"press {key}").split()
        assert reply[:2] == ["ok", "press"], reply
        return int(reply[3])

    def send(self, data: bytes):
        reply = self.cmd("hex " + data.hex())
        assert reply == f"ok hex {len(data)}", reply

    def lamps(self) -> str:
        """32 digits, key 1 first: 1 lit, 0 dark."""
        return self.cmd("lamps").split()[2]

    def stop(self):
        """The device goes away (its pty and link with it)."""
        self.proc.kill()


# -- Vantrel ----------------------------------------------------------------

def request_close(wine):
    """Asks Vantrel.exe to close: WM_CLOSE, as taskkill without /f sends it."""
    wine.run_wine("taskkill", "/im", "Vantrel.exe", timeout=60, stdout=subprocess.DEVNULL,
                  stderr=subprocess.DEVNULL)


def wait_reopen():
    """After a refresh frame the program closes and reopens the port; a key pressed
    meanwhile is lost (as on the device's own line), so wait for the reopening."""
    time.sleep(0.3)


class DeviceCase(unittest.TestCase):
    """One Wine rig for the class. Each test works in a fresh folder
    build/wine-e2e/<WORK>/<test>, Vantrel's working directory, with COM1 mapped to
    the link "com1" in it (start_sim's pty); what it started is ended after it,
    the devices last: one that went first would make Vantrel report a lost port."""

    WORK = "e2e"

    @classmethod
    def setUpClass(cls):
        cls.wine = rig.WineRig().__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.wine.__exit__(None, None, None)

    def setUp(self):
        self.dir = WORK / self.WORK / self._testMethodName
        shutil.rmtree(self.dir, ignore_errors=True)
        self.dir.mkdir(parents=True)
        self.link = self.dir / "com1"
        self.wine.map_ports({1: self.link})
        self.procs = []
        self.sims = []
        self.targets = 0

    def tearDown(self):
        """Ends what the test started, last first (may be called early)."""
        while self.procs:
            self.procs.pop().kill()
        while self.sims:
            self.sims.pop().stop()

    # -- processes ----------------------------------------------------------
    def start_sim(self, model="X8000") -> Sim:
        sim = Sim.start(self.wine, model, self.link)
        self.sims.append(sim)
        return sim

    def start_vantrel(self):
        app = self.wine.start_wine(VANTREL, cwd=self.dir)
        self.procs.append(app)
        return app

    def start_target(self, title=None):
        """A new fktarget in front (titled `title` when given); returns its log."""
        self.targets += 1
        log = self.dir / f"target{self.targets}.log"
        self.procs.append(self.wine.start_target(log, title=title))
        return log

    def close_vantrel(self, app):
        """A close request from outside; Vantrel must end by itself with code 0."""
        request_close(self.wine)
        self.assertEqual(app.wait(20), 0)

    # -- files --------------------------------------------------------------
    def write_settings(self, **values):
        (self.dir / "Vantrel.sys").write_bytes(settings_bytes(**values))

    def write_layout(self, name, keys):
        """Writes layout_bytes(keys) to `name` in the folder; its Windows path."""
        path = self.dir / name
        path.write_bytes(layout_bytes(keys))
        return rig.winpath(path)

    # -- the device and the target -------------------------------------------
    def past_first_data(self, sim):
        """Waits for the lamps' refresh after start-up and the port's reopening, then
        presses a key: the first data after start-up only identifies the device."""
        self.assertIsNotNone(sim.wait_frame("refresh", 20000))
        wait_reopen()
        sim.cmd("press 3")
        time.sleep(0.3)

    def keys_typed(self, log, timeout=5):
        """The virtual keys the target of `log` has seen go down, after waiting up to
        `timeout` seconds for a first one."""
        def downs():
            return [int(d, 16) for _, e, d in rig.log_events(log) if e == "keydown"]
        try:
            rig.wait_for(downs, timeout, "a key in the target window")
        except TimeoutError:
            pass
        return downs()
