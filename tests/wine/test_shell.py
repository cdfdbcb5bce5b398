#!/usr/bin/env python3
"""The resident program end to end under Wine, where the real shell, windows and port
take part: a second copy, the session's end, the tray menu, the hand-over to the CAD
program by window title and a port that comes and goes. Vantrel.exe on COM1 with
fksim (X8000) behind it, fktarget windows in front, each test in a folder of its own.

    test_shell.py [unittest args]
"""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import rig  # noqa: E402
from rig import keys  # noqa: E402

# The notification area calls the main window back with WM_MOUSEMOVE, wParam the
# icon's id (1) and lParam the mouse message over the icon.
WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP = (
    0x201, 0x202, 0x203, 0x204, 0x205)
VK_RETURN, VK_ESCAPE, VK_UP, VK_RIGHT, VK_DOWN = 0x0D, 0x1B, 0x26, 0x27, 0x28


def icon(message, wait_ms):
    """fkinject tokens: the icon's callback, then what menus are open within wait_ms."""
    return ["post", "VantrelMainWindow", "0x200", "1", hex(message), "menus", str(wait_ms)]


def tap(*vks):
    """fkinject tokens: each key pressed and given time to act (a key that comes before
    a submenu is open moves in the parent menu instead)."""
    return [t for vk in vks for t in (f"kd:{vk}", f"ku:{vk}", "w:60")]


class Shell(unittest.TestCase):
    def setUp(self):
        self.rig = rig.Rig(f"shell/{self._testMethodName}")
        self.addCleanup(self.rig.close)

    def start(self, fkl="a.fkl", **settings):
        """Vantrel with layout `fkl` (by default key 1 types A, key 2 holds Shift), the
        device and a target in front, past the first data; (sim, target, app, bytes
        the settings file should end with)."""
        r = self.rig
        if fkl == "a.fkl":
            r.layout(fkl, "1=結合,#A", "2=分割,#Shift")
        saved = r.settings(FkNameT=rig.winpath(r.dir / fkl), FileOn=1, FkModel="X8000", **settings)
        sim, target, app = r.start_sim(), r.start_target(), r.start_vantrel()
        r.past_first_data(sim)
        return sim, target, app, saved

    def test_second_copy_leaves_the_first_alone_and_the_session_end_shuts_down(self):
        sim, target, app, saved = self.start()
        untouched = (self.rig.dir / "Vantrel.sys").read_bytes()
        sim.cmd("clear")
        second = self.rig.start_vantrel()
        # Its message box gets OK as soon as it is up; then the copy ends.
        rig.wait_for(lambda: self.rig.inject("post", "#32770", "0x111", "1", "0")[0] == 0, 20,
                     "the second copy's message")
        self.assertEqual(second.wait(20), 0)
        self.assertEqual(sim.frames(), [])
        self.assertEqual((self.rig.dir / "Vantrel.sys").read_bytes(), untouched)
        # The first copy still plays; its key is held as the session ends.
        self.rig.inject("front", "VantrelTarget", "*")
        sim.press(2)
        self.assertEqual(target.take(1), keys("+Shift"))
        self.rig.wine("wineboot", "--end-session", "--force").wait(60)
        self.assertTrue(sim.frame("off", 5000))
        self.assertEqual(app.wait(20), 0)
        self.assertEqual((self.rig.dir / "Vantrel.sys").read_bytes(), saved)

    def test_tray_menu_opens_on_the_right_button_chooses_layouts_and_exits(self):
        # Wine lists a folder sorted by name: the submenu shows e (File5) at the top
        # and a (File1) at the bottom. The start-up layout is not a .fkl name.
        for letter in "abcde":
            self.rig.layout(f"{letter}.fkl", f"1=結合,#{letter.upper()}")
        self.rig.layout("start.fkl.txt", "1=結合,#S")
        sim, target, app, _ = self.start("start.fkl.txt")
        rc, lines = self.rig.inject(*icon(WM_LBUTTONDOWN, 500), *icon(WM_LBUTTONUP, 500),
                                    *icon(WM_LBUTTONDBLCLK, 500), *icon(WM_RBUTTONUP, 500),
                                    *icon(WM_RBUTTONDOWN, 3000), *tap(VK_ESCAPE))
        self.assertEqual([line.split()[0] for line in lines], ["none"] * 4 + ["menu"], lines)

        for row, letter in ((4, "A"), (1, "D")):
            self.assertEqual(self.rig.inject(*icon(WM_RBUTTONDOWN, 3000))[1][0].split()[0], "menu")
            sim.cmd("clear")
            # The rows only once the submenu is open: on a loaded machine a key sent
            # before would move in the parent menu instead.
            self.rig.inject(*tap(VK_DOWN, VK_DOWN, VK_RIGHT))
            rig.wait_for(lambda: len(self.rig.inject("menus", "100")[1]) == 2, 10, "the submenu")
            self.rig.inject(*tap(*[VK_DOWN] * row, VK_RETURN))
            chosen = time.monotonic()
            refresh = sim.frame("refresh")
            self.assertTrue(refresh, "no lamps refresh after the choice")
            self.assertGreater(refresh[0] / 1e6 - chosen, 0.25, "the refresh waits for its timer")
            self.rig.inject("front", "VantrelTarget", "Vantrel target")
            sim.press(1)
            self.assertEqual(target.take(2), keys(f"+{letter} -{letter}"), row)

        # "終了" is the menu's last item.
        self.rig.inject(*icon(WM_RBUTTONDOWN, 3000), *tap(VK_UP, VK_RETURN))
        self.assertTrue(sim.frame("off", 5000))
        self.assertEqual(app.wait(20), 0)
        written = (self.rig.dir / "Vantrel.sys").read_bytes()
        self.assertEqual(written, self.rig.settings(FkNameT=rig.winpath(self.rig.dir / "d.fkl"),
                                                    FileOn=1, FkModel="X8000"))

    def test_hand_over_to_the_cad_program_by_window_title(self):
        sim, plain, _, _ = self.start(Timer1On=1)
        # Near misses: a prefix one character short, in lower case, not at the start.
        for title, cad in (("Helix Drafting 図面", True), ("MC/W", True),
                           ("MICRO CADAM/W 部品", True), ("Helix Draftin", False), ("MC/", False),
                           ("MICRO CADAM/", False), ("helix Drafting", False), (" MC/W", False)):
            with self.subTest(title=title):
                sim.cmd("clear")
                target = self.rig.start_target(title)
                if not cad:
                    self.assertIsNone(sim.frame("off", 1500), "took the device")
                    sim.press(1)
                    self.assertEqual(target.take(2), keys("+A -A"))
                    continue
                self.assertTrue(sim.frame("off"), "did not take the device")
                self.rig.inject("front", "VantrelTarget", "Vantrel target")
                self.assertTrue(sim.frame("refresh", 4000), "the device was not taken back")
                self.assertEqual([name for _, name in sim.frames()], ["off", "refresh"])
                sim.press(1)
                self.assertEqual(plain.take(2), keys("+A -A"))

    def test_port_missing_at_start_up_then_lost_and_back(self):
        r = self.rig
        r.settings(FkNameT=r.layout("a.fkl", "1=結合,#A"), FileOn=1, FkModel="X8000")
        target, app = r.start_target(), r.start_vantrel()
        time.sleep(1.5)
        self.assertIsNone(app.poll())
        appeared = time.monotonic()
        sim = r.start_sim()
        self.assertTrue(sim.frame("startup"))
        sim.press(3)  # the first data
        time.sleep(0.2)
        sim.press(1)
        self.assertEqual(target.take(2, timeout=2, quiet=0), keys("+A -A"))
        self.assertLess(time.monotonic() - appeared, 2.5)  # retried every second

        r.stop_sim(sim)
        time.sleep(1.5)
        self.assertIsNone(app.poll())
        sim = r.start_sim()
        r.past_first_data(sim)
        sim.press(1)
        self.assertEqual(target.take(2), keys("+A -A"))


if __name__ == "__main__":
    rig.main()
