#!/usr/bin/env python3
"""Key press to playback end to end for one device model, where the real line, input
and clipboard take part: Vantrel.exe under Wine with fksim on COM1 and fktarget in
front. One program run serves the cases, in order. The frames' bytes and the
playback logic are the native tests'; here fksim names the frames.

    test_playback.py --model 6094|48G9995|X8000 [--locale ja_JP.UTF-8] [unittest args]
"""

import argparse
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import rig  # noqa: E402
from rig import keys  # noqa: E402

MODEL, LOCALE = "X8000", None
LAYOUT = ("1=結合,#C", "5=結合,#Shift+Ctrl+A", "6=結合,#B", "7=結合,*図面 ｱｲｳ abc,#Enter",
          "9=分割,#Shift,#Ctrl", "32=結合,#D",
          # Key 6 with the left, middle and right mouse button held.
          "2:6=結合,#L", "3:6=結合,#M", "4:6=結合,#R")
# The frames of the lamps' refresh and of the release of split mode's keys.
REFRESH = {"6094": ["refresh-08", "refresh"], "48G9995": ["reset-prefix", "release-reset"],
           "X8000": ["refresh"]}
RELEASE = {"6094": ["release-reset"], "48G9995": ["reset-prefix", "release-reset"],
           "X8000": ["reset-prefix", "release-reset"]}
LIT, DARK = "1" * 32, "0" * 32


class Playback(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.rig = rig.Rig(f"playback-{MODEL}", LOCALE)
        try:
            cls.saved = cls.rig.settings(FkNameT=cls.rig.layout("keys.fkl", *LAYOUT), FileOn=1,
                                         FkModel=MODEL)
            cls.sim = cls.rig.start_sim(MODEL)
            cls.target = cls.rig.start_target()
            cls.app = cls.rig.start_vantrel()
        except BaseException:
            cls.rig.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.rig.close()

    def play(self, key, script, quiet=0.3):
        """Presses a key (an int) or sends hex bytes; asserts the key events that follow."""
        if isinstance(key, int):
            self.sim.press(key)
        else:
            self.sim.send(key)
        expected = keys(script)
        self.assertEqual(self.target.take(len(expected), quiet=quiet), expected, key)

    def test_1_startup_sequence_then_the_refresh_half_a_second_later(self):
        refreshed = self.sim.frame("refresh", 20000)
        got = self.sim.frames()
        self.assertTrue(refreshed, f"no refresh: {got}, Vantrel ended: {self.app.poll()}")
        self.assertEqual([name for _, name in got], ["startup"] + REFRESH[MODEL])
        self.assertTrue(400 < (got[1][0] - got[0][0]) / 1000 < 1500, got)
        if MODEL == "6094":
            self.assertGreaterEqual((got[2][0] - got[1][0]) / 1000, 40, "08 and mask too close")
        self.assertEqual(self.sim.lamps(), LIT)

    def test_2_keys_after_the_first_data(self):
        self.play(6, "", quiet=0.5)  # the first data only identifies the device
        self.play(1, "+C -C")  # a zero byte on the 6094: its line must keep zero bytes
        self.play(32, "+D -D")
        self.play(5, "+Shift +Ctrl +A -A -Ctrl -Shift")
        if MODEL != "6094":
            self.play("1B0021", "+C -C")  # the other lines drop them, even inside a code

    def test_3_split_mode_holds_its_keys_with_the_lamp_dark(self):
        self.sim.cmd("clear")
        self.play(9, "+Shift +Ctrl")
        self.assertTrue(self.sim.frame("hold_9"))
        self.assertEqual(self.sim.lamps(), LIT[:8] + "0" + LIT[9:])
        self.play(9, "-Ctrl -Shift")
        self.assertTrue(self.sim.frame("release-reset"))
        self.assertEqual([name for _, name in self.sim.frames()],
                         ["hold 9"] * 2 + RELEASE[MODEL], "one hold lamp per step")
        self.assertEqual(self.sim.lamps(), LIT)
        # Another key while held releases first, then plays; on the 6094 it comes as
        # the port reopens after the hold lamp, and must not be lost.
        for _ in range(5 if MODEL == "6094" else 1):
            self.sim.press(9)
            self.play(6, "+Shift +Ctrl -Ctrl -Shift +B -B")
            self.assertTrue(self.sim.frame("release-reset"))

    def test_4_the_mouse_button_held_picks_the_page(self):
        kinds = ("lbuttonup", "mbuttonup", "rbuttonup") + rig.KEY_EVENTS
        for flags, up, page in ((2, "lbuttonup", "L"), (32, "mbuttonup", "M"),
                                (8, "rbuttonup", "R")):
            self.assertEqual(self.rig.inject(f"m:{flags}")[0], 0)  # the button goes down, stays
            self.sim.press(6)
            # Let go first; the right button's menu is closed with Esc.
            expected = [(up, "")] + keys("-Esc" if page == "R" else "") + keys(f"+{page} -{page}")
            self.assertEqual(self.target.take(len(expected), kinds), expected)
        self.play(6, "+B -B")

    def test_5_text_is_pasted_in_every_locale(self):
        # Through the clipboard, a right click and P (only its release reaches the
        # window: the P chooses the menu item).
        self.sim.press(7)
        expected = [("menu-chosen", "paste"), ("paste", "図面 ｱｲｳ abc")] + keys("-P +Enter -Enter")
        self.assertEqual(self.target.take(5, ("menu-chosen", "paste") + rig.KEY_EVENTS), expected)

    def test_9_close_releases_held_keys_puts_the_lamps_out_and_saves(self):
        self.play(9, "+Shift +Ctrl")
        self.rig.close_vantrel(self.app)
        self.assertEqual(self.target.take(2), keys("-Ctrl -Shift"))
        self.assertTrue(self.sim.frame("off", 1000))
        self.assertEqual(self.sim.lamps(), DARK)
        self.assertEqual((self.rig.dir / "Vantrel.sys").read_bytes(), self.saved)


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--model", choices=("6094", "48G9995", "X8000"), default=MODEL)
    ap.add_argument("--locale")
    args, sys.argv[1:] = ap.parse_known_args()
    MODEL, LOCALE = args.model, args.locale
    rig.main()
