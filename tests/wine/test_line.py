#!/usr/bin/env python3
"""What only a real window system and a real line show: the window in front gets the
keys again after the tray menu, a 6094 found by detection gets its line settings at
once, and a line that stops draining never blocks the window.

    test_line.py [unittest args]
"""

import os
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import rig  # noqa: E402
from rig import keys  # noqa: E402

FKPING = rig.MINGW / "tests" / "wine" / "target" / "fkping.exe"
WM_RBUTTONDOWN, VK_ESCAPE, VK_RETURN, VK_DOWN, VK_RIGHT = 0x204, 0x1B, 0x0D, 0x28, 0x27


def menu_then(*vks):
    """fkinject tokens: the tray icon's right button, the menu open, then the keys."""
    taps = [t for vk in vks for t in (f"kd:{vk}", f"ku:{vk}", "w:150")]
    return ["post", "VantrelMainWindow", "0x200", "1", hex(WM_RBUTTONDOWN), "menus", "3000", *taps]


class Line(unittest.TestCase):
    def setUp(self):
        self.rig = rig.Rig(f"line/{self._testMethodName}")
        self.addCleanup(self.rig.close)

    def start(self, model="X8000", **settings):
        r = self.rig
        r.settings(FkNameT=r.layout("a.fkl", "1=結合,#A", "2=分割,#Shift"), FileOn=1, **settings)
        return r.start_sim(model), r.start_target(), r.start_vantrel()

    def test_the_window_in_front_gets_the_keys_after_the_tray_menu(self):
        self.rig.layout("b.fkl", "1=結合,#B")
        sim, target, _ = self.start(FkModel="X8000")
        self.rig.past_first_data(sim)
        # Dismissed, then a recent layout chosen: "ファイル" lists five entries, the
        # empty ones first, then b.fkl and a.fkl.
        for tokens, letter in ((menu_then(VK_ESCAPE), "A"),
                               (menu_then(VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_DOWN,
                                          VK_RETURN), "B")):
            self.rig.inject(*tokens)
            time.sleep(0.7)
            sim.press(1)
            self.assertEqual(target.take(2), keys(f"+{letter} -{letter}"))

    def test_a_6094_found_by_detection_plays_key_1_at_once(self):
        sim, target, _ = self.start("6094")
        self.assertTrue(sim.frame("refresh", 20000), "Vantrel did not start")
        sim.cmd("ident")  # the first data names the model
        self.assertTrue(sim.frame("refresh", 3000), "no refresh in the 6094's own frames")
        sim.press(1)  # a zero byte, which the line settings of other models drop
        self.assertEqual(target.take(2), keys("+A -A"))

    def test_a_line_that_stops_draining_never_blocks_the_window(self):
        sim, target, app = self.start(FkModel="X8000")
        self.rig.past_first_data(sim)
        sim.cmd("reading off")
        sim.frames()
        # Fill the line towards the device until it takes no more.
        fd = os.open(rig.WORK / "com1", os.O_WRONLY | os.O_NONBLOCK | os.O_NOCTTY)
        try:
            while True:
                os.write(fd, b"\0" * 4096)
        except BlockingIOError:
            pass
        finally:
            os.close(fd)
        ping = self.rig.wine(FKPING, "VantrelMainWindow", "4000", stdout=subprocess.PIPE,
                             text=True)
        time.sleep(0.5)
        for _ in range(2):  # each press writes a lamp frame the line cannot take now
            sim.press(2)
            sim.press(2)
        self.assertEqual(target.take(4), keys("+Shift -Shift +Shift -Shift"))
        _, count, max_ms, timeouts = ping.communicate(timeout=60)[0].split()
        self.assertEqual(timeouts, "0")
        self.assertLess(float(max_ms), 100, f"{count} pings")
        sim.cmd("reading on")
        sim.frame("release-reset", 5000)
        sim.frame("release-reset", 5000)
        names = [n for _, n in sim.frames() if n != "unknown"]
        self.assertEqual(names, ["hold 2", "reset-prefix", "release-reset"] * 2)
        self.assertIsNone(app.poll())


if __name__ == "__main__":
    rig.main()
