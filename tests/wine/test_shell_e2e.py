#!/usr/bin/env python3
"""The resident program end to end under Wine: Vantrel.exe on COM1, fksim playing
the FK device on a pty behind it, fktarget as the window in front.

    test_shell_e2e.py [-k PATTERN]
"""

import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import rig  # noqa: E402
from vantrel_e2e import (FKINJECT, DeviceCase, run_tests, settings_bytes, typing,  # noqa: E402
                         wait_reopen)

VK_A, VK_B, VK_RETURN = 0x41, 0x42, 0x0D


class Shell(DeviceCase):
    WORK = "shell"

    def start_playing(self, model="X8000"):
        """Vantrel with a layout (key 1 types A, key 2 types B), its device and the
        target in front, the first data already consumed."""
        fkl = self.write_layout("a.fkl", typing("A", "B"))
        self.write_settings(FkNameT=fkl, FileOn=1, FkModel=model)
        sim = self.start_sim(model)
        log = self.start_target()
        app = self.start_vantrel()
        self.past_first_data(sim)
        return sim, app, fkl, log

    # -- tests ------------------------------------------------------------
    def test_startup_frames_refresh_and_shutdown_per_model(self):
        for model in ("6094", "48G9995", "X8000"):
            with self.subTest(model=model):
                try:
                    self.check_one_model(model)
                finally:
                    self.tearDown()

    def check_one_model(self, model):
        sim, app, fkl, log = self.start_playing(model)
        names = sim.frame_names()
        self.assertEqual(names.count("startup"), 1, names)
        self.assertNotIn("off", names)
        # Key 1 is a zero byte on the 6094: it must survive the line settings.
        sim.cmd("press 1")
        self.assertIn(VK_A, self.keys_typed(log))
        self.close_vantrel(app)
        self.assertIsNotNone(sim.wait_frame("off", 5000))
        self.assertEqual((self.dir / "Vantrel.sys").read_bytes(),
                         settings_bytes(FkNameT=fkl, FileOn=1, FkModel=model))

    def hold_shift(self, settings_tail=b""):
        """Vantrel with key 1 a split-mode Shift, pressed: Shift is held down now."""
        fkl = self.write_layout("s.fkl", {(1, 1): ("分割", ["#Shift"])})
        (self.dir / "Vantrel.sys").write_bytes(
            settings_bytes(FkNameT=fkl, FileOn=1, FkModel="X8000") + settings_tail)
        sim = self.start_sim()
        log = self.start_target()
        app = self.start_vantrel()
        self.past_first_data(sim)
        sim.cmd("press 1")
        self.assertIsNotNone(sim.wait_frame("hold_1", 3000))
        self.assertIn(0x10, self.keys_typed(log))
        return sim, app, fkl, log

    def test_close_from_outside_releases_held_keys(self):
        sim, app, _, log = self.hold_shift()
        self.close_vantrel(app)
        self.assertIsNotNone(sim.wait_frame("off", 5000))
        rig.wait_for(lambda: any(e == "keyup" and d == "0x10"
                                 for _, e, d in rig.log_events(log)), 5, "Shift up")

    def test_session_end_releases_the_device_and_saves_settings(self):
        # A line the program does not write: the saved file must lose it.
        sim, app, fkl, _ = self.hold_shift(b"Extra=1\r\n")
        self.wine.run_wine("wineboot", "--end-session", "--force", timeout=60)
        self.assertIsNotNone(sim.wait_frame("off", 5000))
        self.assertEqual(app.wait(20), 0)
        self.assertEqual((self.dir / "Vantrel.sys").read_bytes(),
                         settings_bytes(FkNameT=fkl, FileOn=1, FkModel="X8000"))

    def test_refresh_follows_startup_by_about_half_a_second(self):
        self.write_settings(FkModel="X8000")
        sim = self.start_sim()
        self.start_vantrel()
        startup = sim.wait_frame("startup", 20000)
        refresh = sim.wait_frame("refresh", 3000)
        self.assertIsNotNone(startup)
        self.assertIsNotNone(refresh)
        self.assertGreater(refresh[0] - startup[0], 400_000)
        self.assertLess(refresh[0] - startup[0], 1_500_000)

    def test_second_instance_shows_the_message_and_leaves_the_first_alone(self):
        sim, first, _, _ = self.start_playing()
        sim.cmd("clear")
        second = self.start_vantrel()
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
        log = self.start_target()
        sim.cmd("press 2")
        self.assertIn(VK_B, self.keys_typed(log))

    def test_port_missing_at_startup_plays_keys_soon_after_it_appears(self):
        fkl = self.write_layout("a.fkl", typing("A"))
        self.write_settings(FkNameT=fkl, FileOn=1, FkModel="X8000")
        log = self.start_target()
        app = self.start_vantrel()
        time.sleep(3)
        self.assertTrue(app.running())
        appeared = time.monotonic()
        sim = self.start_sim()
        self.assertIsNotNone(sim.wait_frame("startup", 3000))
        sim.cmd("press 3")  # first data, before the refresh reopens the port
        time.sleep(0.2)
        sim.cmd("press 1")
        self.assertIn(VK_A, self.keys_typed(log, timeout=2))
        self.assertLess(time.monotonic() - appeared, 2.5)

    def test_a_lost_port_is_taken_again_when_the_device_comes_back(self):
        sim, app, _, log = self.start_playing()
        sim.stop()
        time.sleep(2)
        self.assertTrue(app.running())
        sim = self.start_sim()
        self.assertIsNotNone(sim.wait_frame("startup", 3000))
        self.assertIsNotNone(sim.wait_frame("refresh", 2000))
        wait_reopen()
        sim.cmd("press 1")
        self.assertIn(VK_A, self.keys_typed(log))

    def test_hand_over_to_a_cad_window_and_back(self):
        fkl = self.write_layout("a.fkl", typing("A"))
        self.write_settings(FkNameT=fkl, FileOn=1, Timer1On=1, FkModel="X8000")
        sim = self.start_sim()
        self.start_target()
        self.start_vantrel()
        self.assertIsNotNone(sim.wait_frame("refresh", 20000))
        # Not the CAD program: lower case.
        other = self.dir / "helix drafting.txt"
        other.write_bytes(b"")
        pad = self.wine.start_wine("notepad", rig.winpath(other))
        self.assertIsNone(sim.wait_frame("off", 3000))
        pad.kill()
        # Wine's notepad titles its window with the file's name first.
        cad = self.dir / "Helix Drafting.txt"
        cad.write_bytes(b"")
        pad = self.wine.start_wine("notepad", rig.winpath(cad))
        self.assertIsNotNone(sim.wait_frame("off", 3000))
        sim.cmd("clear")
        time.sleep(2.5)
        self.assertEqual(sim.frame_names(), [])  # lamps off once, port closed
        pad.kill()
        self.assertIsNotNone(sim.wait_frame("refresh", 4000))
        log = self.start_target()  # the focus does not come back by itself when notepad goes
        wait_reopen()
        sim.cmd("press 3")  # the first data after start-up only identifies
        time.sleep(0.3)
        sim.cmd("press 1")
        self.assertIn(VK_A, self.keys_typed(log))


if __name__ == "__main__":
    run_tests(sys.argv[1:], FKINJECT)
