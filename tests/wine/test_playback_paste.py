#!/usr/bin/env python3
"""Text steps end to end: the text arrives in the window in front through the
clipboard, a right click and P, whatever the Wine locale's code page.

    test_playback_paste.py [--locale ja_JP.UTF-8] [unittest args]
"""

import argparse
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from test_playback_common import REOPEN_GAP, PlaybackSession, vk  # noqa: E402
from vantrel_e2e import run_tests  # noqa: E402

LOCALE = None
PASTE_EVENTS = ("menu-chosen", "paste", "keydown", "keyup")
KEYS = {
    (1, 1): ("結合", ["#B"]),
    (1, 7): ("結合", ["*図面番号"]),
    # Half-width katakana and ASCII, then a key step after the paste.
    (1, 8): ("結合", ["*ｱｲｳ abc", "#Enter"]),
}


class Paste(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = PlaybackSession("X8000", KEYS, locale=LOCALE,
                                name=f"paste-{LOCALE or 'default'}").__enter__()
        cls.sim = cls.s.sim
        if cls.sim.wait_frame("refresh", 20000) is None:
            raise AssertionError("Vantrel did not start")
        time.sleep(REOPEN_GAP)
        # The first data is consumed; a played key shows it is past.
        mark = cls.s.mark()
        cls.sim.press(1)
        cls.s.settle(mark, quiet=0.3)
        cls.sim.press(1)
        cls.s.wait_events(mark, lambda ev: ("keyup", vk(0x42)) in ev)

    @classmethod
    def tearDownClass(cls):
        cls.s.__exit__(None, None, None)

    def paste(self, key, until):
        mark = self.s.mark()
        self.sim.press(key)
        self.s.wait_events(mark, until, PASTE_EVENTS)
        return self.s.settle(mark, PASTE_EVENTS, quiet=0.2)

    def test_japanese_text(self):
        got = self.paste(7, lambda ev: any(e == "paste" for e, _ in ev))
        # The P chooses the menu item, so only its release reaches the window.
        self.assertEqual(got, [("menu-chosen", "paste"), ("paste", "図面番号"), ("keyup", vk(0x50))])

    def test_text_then_key_step(self):
        got = self.paste(8, lambda ev: ("keyup", vk(0x0D)) in ev)
        self.assertEqual(got, [("menu-chosen", "paste"), ("paste", "ｱｲｳ abc"), ("keyup", vk(0x50)),
                               ("keydown", vk(0x0D)), ("keyup", vk(0x0D))])


def main():
    global LOCALE
    ap = argparse.ArgumentParser()
    ap.add_argument("--locale")
    args, rest = ap.parse_known_args()
    LOCALE = args.locale
    run_tests(rest)


if __name__ == "__main__":
    main()
