#!/usr/bin/env python3
"""The resident program end to end under Wine: Vantrel.exe on COM1, fksim playing
the FK device on a pty behind it, fktarget as the window in front.

    test_shell_e2e.py [-k PATTERN]
"""

import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import rig  # noqa: E402

VANTREL = rig.MINGW / "Vantrel.exe"
FKINJECT = rig.MINGW / "tests" / "wine" / "target" / "fkinject.exe"
WORK = rig.REPO / "build" / "wine-e2e" / "shell"
VK_A, VK_B, VK_RETURN = 0x41, 0x42, 0x0D


def settings_bytes(FkNameT="", Form2Top=0, Form2Left=0, FileOn=0, Timer1On=0, ComS=1,
                   FkModel=""):
    """Vantrel.sys as the program lays it out."""
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


def layout_bytes(*keys):
    """A layout whose keys 1, 2, ... (no mouse button held) each type one key."""
    records = "".join(f"K{n}\r\n1\r\n結合,#{key}\r\n" for n, key in enumerate(keys, 1))
    return records.encode("cp932")


def settle():
    """After a refresh frame the program closes and reopens the port; a key pressed
    meanwhile is lost (as on the device's own line), so wait for the reopening."""
    time.sleep(0.3)


class Sim:
    """fksim in its scripted face, on a pty behind a fixed link path."""

    def __init__(self, wine, model, link):
        self.proc = wine.start_native([rig.FKSIM, "--script", "--model", model, "--pty-link", link],
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.greeting = self.proc.popen.stdout.readline().strip()

    def cmd(self, line):
        self.proc.popen.stdin.write(line + "\n")
        self.proc.popen.stdin.flush()
        reply = self.proc.popen.stdout.readline().strip()
        parts = reply.split()
        if len(parts) >= 3 and parts[0] == "ok" and parts[1] in ("frames", "bytes"):
            return [reply] + [self.proc.popen.stdout.readline().strip()
                              for _ in range(int(parts[2]))]
        return reply

    def frame(self, name, ms):
        """(time in µs, name) of the next frame matching name, or None."""
        reply = self.cmd(f"wait-frame {name} {ms}")
        if not reply.startswith("ok frame"):
            return None
        parts = reply.split()
        return int(parts[2]), " ".join(parts[4:])

    def frame_names(self):
        return [" ".join(line.split()[3:]) for line in self.cmd("frames")[1:]]

    def stop(self):
        self.proc.kill()


class Shell(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wine = rig.WineRig().__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.wine.__exit__(None, None, None)

    def setUp(self):
        self.dir = WORK / self._testMethodName
        self.dir.mkdir(parents=True, exist_ok=True)
        for f in self.dir.iterdir():
            f.unlink()
        self.link = self.dir / "com1"
        self.wine.map_ports({1: self.link})
        self.log = self.dir / "target.log"
        self.sims = []
        self.apps = []

    def tearDown(self):
        for app in self.apps:
            app.kill()
        for sim in self.sims:
            sim.stop()

    # -- helpers ----------------------------------------------------------
    def sim(self, model="X8000"):
        sim = Sim(self.wine, model, self.link)
        self.sims.append(sim)
        return sim

    def settings(self, **values):
        (self.dir / "Vantrel.sys").write_bytes(settings_bytes(**values))

    def layout(self, name, *keys):
        path = self.dir / name
        path.write_bytes(layout_bytes(*keys))
        return rig.winpath(path)

    def start(self):
        app = self.wine.start_wine(VANTREL, cwd=self.dir)
        self.apps.append(app)
        return app

    def close(self, app):
        """A close request from outside, as taskkill without /f sends it."""
        self.wine.run_wine("taskkill", "/im", "Vantrel.exe", timeout=60,
                           stdout=subprocess.DEVNULL)
        self.assertEqual(app.wait(20), 0)

    def target(self):
        proc = self.wine.start_target(self.log)
        self.apps.append(proc)
        return proc

    def keys_typed(self, timeout=5):
        """The virtual keys fktarget has seen go down so far (after waiting for some)."""
        def downs():
            return [int(d, 16) for _, e, d in rig.log_events(self.log) if e == "keydown"]
        try:
            rig.wait_for(downs, timeout, "a key in the target window")
        except TimeoutError:
            pass
        return downs()

    def start_playing(self, model="X8000"):
        """Vantrel with a layout (key 1 types A, key 2 types B), its device and the
        target in front, the first data already consumed."""
        fkl = self.layout("a.fkl", "A", "B")
        self.settings(FkNameT=fkl, FileOn=1, FkModel=model)
        sim = self.sim(model)
        self.target()
        app = self.start()
        self.assertIsNotNone(sim.frame("refresh", 20000))
        settle()
        sim.cmd("press 3")  # the first data after start-up only identifies
        time.sleep(0.3)
        return sim, app, fkl

    # -- tests ------------------------------------------------------------
    def test_startup_frames_refresh_and_shutdown_per_model(self):
        for model in ("6094", "48G9995", "X8000"):
            with self.subTest(model=model):
                try:
                    self.check_one_model(model)
                finally:
                    self.tearDown()
                    self.apps, self.sims = [], []
                    if self.log.exists():
                        self.log.unlink()

    def check_one_model(self, model):
        sim, app, fkl = self.start_playing(model)
        names = sim.frame_names()
        self.assertEqual(names.count("startup"), 1, names)
        self.assertNotIn("off", names)
        # Key 1 is a zero byte on the 6094: it must survive the line settings.
        sim.cmd("press 1")
        self.assertIn(VK_A, self.keys_typed())
        self.close(app)
        self.assertIsNotNone(sim.frame("off", 5000))
        self.assertEqual((self.dir / "Vantrel.sys").read_bytes(),
                         settings_bytes(FkNameT=fkl, FileOn=1, FkModel=model))

    def hold_shift(self, settings_tail=b""):
        """Vantrel with key 1 a split-mode Shift, pressed: Shift is held down now."""
        fkl = self.layout("s.fkl", "A")
        (self.dir / "s.fkl").write_bytes("K1\r\n1\r\n分割,#Shift\r\n".encode("cp932"))
        (self.dir / "Vantrel.sys").write_bytes(
            settings_bytes(FkNameT=fkl, FileOn=1, FkModel="X8000") + settings_tail)
        sim = self.sim()
        self.target()
        app = self.start()
        self.assertIsNotNone(sim.frame("refresh", 20000))
        settle()
        sim.cmd("press 3")
        time.sleep(0.3)
        sim.cmd("press 1")
        self.assertIsNotNone(sim.frame("hold_1", 3000))
        self.assertIn(0x10, self.keys_typed())
        return sim, app, fkl

    def test_close_from_outside_releases_held_keys(self):
        sim, app, _ = self.hold_shift()
        self.close(app)
        self.assertIsNotNone(sim.frame("off", 5000))
        rig.wait_for(lambda: any(e == "keyup" and d == "0x10"
                                 for _, e, d in rig.log_events(self.log)), 5, "Shift up")

    def test_session_end_releases_the_device_and_saves_settings(self):
        # A line the program does not write: the saved file must lose it.
        sim, app, fkl = self.hold_shift(b"Extra=1\r\n")
        self.wine.run_wine("wineboot", "--end-session", "--force", timeout=60)
        self.assertIsNotNone(sim.frame("off", 5000))
        self.assertEqual(app.wait(20), 0)
        self.assertEqual((self.dir / "Vantrel.sys").read_bytes(),
                         settings_bytes(FkNameT=fkl, FileOn=1, FkModel="X8000"))

    def test_refresh_follows_startup_by_about_half_a_second(self):
        self.settings(FkModel="X8000")
        sim = self.sim()
        self.start()
        startup = sim.frame("startup", 20000)
        refresh = sim.frame("refresh", 3000)
        self.assertIsNotNone(startup)
        self.assertIsNotNone(refresh)
        self.assertGreater(refresh[0] - startup[0], 400_000)
        self.assertLess(refresh[0] - startup[0], 1_500_000)

    def test_second_instance_shows_the_message_and_leaves_the_first_alone(self):
        sim, first, _ = self.start_playing()
        sim.cmd("clear")
        second = self.start()
        rig.wait_for(lambda: '"Vantrel"' in subprocess.run(
            ["xwininfo", "-root", "-tree", "-display", self.wine.env["DISPLAY"]],
            stdout=subprocess.PIPE, text=True).stdout, 20, "the second instance's message")
        time.sleep(0.5)
        # OK on the message box, which has the focus.
        self.wine.run_wine(FKINJECT, f"kd:{VK_RETURN}", f"ku:{VK_RETURN}", timeout=60)
        self.assertEqual(second.wait(20), 0)
        self.assertEqual((self.dir / "Vantrel.sys").read_bytes(), settings_bytes(
            FkNameT=rig.winpath(self.dir / "a.fkl"), FileOn=1, FkModel="X8000"))
        self.assertEqual(sim.frame_names(), [])
        self.assertTrue(first.running())
        self.target()
        sim.cmd("press 2")
        self.assertIn(VK_B, self.keys_typed())

    def test_port_missing_at_startup_plays_keys_soon_after_it_appears(self):
        fkl = self.layout("a.fkl", "A")
        self.settings(FkNameT=fkl, FileOn=1, FkModel="X8000")
        self.target()
        app = self.start()
        time.sleep(3)
        self.assertTrue(app.running())
        appeared = time.monotonic()
        sim = self.sim()
        self.assertIsNotNone(sim.frame("startup", 3000))
        sim.cmd("press 3")  # first data, before the refresh reopens the port
        time.sleep(0.2)
        sim.cmd("press 1")
        self.assertIn(VK_A, self.keys_typed(timeout=2))
        self.assertLess(time.monotonic() - appeared, 2.5)

    def test_a_lost_port_is_taken_again_when_the_device_comes_back(self):
        sim, app, _ = self.start_playing()
        sim.stop()
        time.sleep(2)
        self.assertTrue(app.running())
        sim = self.sim()
        self.assertIsNotNone(sim.frame("startup", 3000))
        self.assertIsNotNone(sim.frame("refresh", 2000))
        settle()
        sim.cmd("press 1")
        self.assertIn(VK_A, self.keys_typed())

    def test_hand_over_to_a_cad_window_and_back(self):
        fkl = self.layout("a.fkl", "A")
        self.settings(FkNameT=fkl, FileOn=1, Timer1On=1, FkModel="X8000")
        sim = self.sim()
        self.target()
        self.start()
        self.assertIsNotNone(sim.frame("refresh", 20000))
        # Not the CAD program: lower case.
        other = self.dir / "helix drafting.txt"
        other.write_bytes(b"")
        pad = self.wine.start_wine("notepad", rig.winpath(other))
        self.assertIsNone(sim.frame("off", 3000))
        pad.kill()
        # Wine's notepad titles its window with the file's name first.
        cad = self.dir / "Helix Drafting.txt"
        cad.write_bytes(b"")
        pad = self.wine.start_wine("notepad", rig.winpath(cad))
        self.assertIsNotNone(sim.frame("off", 3000))
        sim.cmd("clear")
        time.sleep(2.5)
        self.assertEqual(sim.frame_names(), [])  # lamps off once, port closed
        pad.kill()
        self.assertIsNotNone(sim.frame("refresh", 4000))
        self.target()  # the focus does not come back by itself when notepad goes
        settle()
        sim.cmd("press 3")  # the first data after start-up only identifies
        time.sleep(0.3)
        sim.cmd("press 1")
        self.assertIn(VK_A, self.keys_typed())


def main():
    missing = [str(p) for p in (VANTREL, rig.FKTARGET, FKINJECT, rig.FKSIM) if not p.exists()]
    if missing:
        print(f"SKIPPED: {', '.join(missing)} not built")
        sys.exit(rig.SKIP)
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[1:])


if __name__ == "__main__":
    main()
