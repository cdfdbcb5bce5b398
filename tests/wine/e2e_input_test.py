#!/usr/bin/env python3
"""Proof that the rig works: input injected with SendInput and text put on the
clipboard reach fktarget, the window in front, in order.

    e2e_input_test.py [--locale ja_JP.UTF-8] [--screenshot FILE]
"""

import argparse
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import rig  # noqa: E402

FKINJECT = rig.MINGW / "tests" / "wine" / "target" / "fkinject.exe"
LOCALE = None
SHOT = None


class InjectedInput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = Path(rig.REPO / "build" / "wine-e2e")
        cls.tmp.mkdir(parents=True, exist_ok=True)
        cls.wine = rig.WineRig(locale=LOCALE).__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.wine.__exit__(None, None, None)

    def setUp(self):
        self.log = self.tmp / f"target-{self._testMethodName}.log"
        self.target = self.wine.start_target(self.log)

    def tearDown(self):
        if SHOT:
            self.wine.screenshot(SHOT)
        self.target.kill()

    def inject(self, *tokens):
        self.assertEqual(self.wine.run_wine(FKINJECT, *tokens, timeout=60), 0)

    def events(self, until, kinds=None):
        rig.wait_for(lambda: until(rig.log_events(self.log)), 10, f"events in {self.log}")
        return [(e, d) for _, e, d in rig.log_events(self.log) if kinds is None or e in kinds]

    def test_chord_arrives_in_order(self):
        # Shift+Ctrl+A, as a joined key step plays it.
        self.inject("kd:16", "kd:17", "kd:65", "ku:65", "ku:17", "ku:16")
        keys = self.events(lambda ev: sum(e == "keyup" for _, e, _ in ev) >= 3,
                           {"keydown", "keyup"})
        self.assertEqual(keys, [("keydown", "0x10"), ("keydown", "0x11"), ("keydown", "0x41"),
                                ("keyup", "0x41"), ("keyup", "0x11"), ("keyup", "0x10")])

    def test_typed_text_and_clicks(self):
        self.inject("kd:16", "kd:65", "ku:65", "ku:16", "kd:66", "ku:66", "m:2", "m:4")
        got = self.events(lambda ev: any(e == "lbuttonup" for _, e, _ in ev),
                          {"keydown", "keyup", "lbuttondown", "lbuttonup"})
        self.assertEqual(got[-2:], [("lbuttondown", ""), ("lbuttonup", "")])
        self.assertIn(("keydown", "0x42"), got)

    def test_paste_through_the_context_menu(self):
        # A text step: clipboard, right click, P.
        text = "図面 ｱｲｳ abc"
        self.inject("c:" + text.encode().hex(), "m:8", "m:16", "kd:80", "ku:80")
        got = self.events(lambda ev: any(e == "text" for _, e, _ in ev),
                          {"paste", "text", "menu-chosen"})
        self.assertEqual(got[0], ("menu-chosen", "paste"))
        self.assertEqual(got[1], ("paste", text))
        self.assertEqual(got[2], ("text", text))


def main():
    global LOCALE, SHOT
    ap = argparse.ArgumentParser()
    ap.add_argument("--locale")
    ap.add_argument("--screenshot")
    args, rest = ap.parse_known_args()
    LOCALE, SHOT = args.locale, args.screenshot
    missing = [str(exe) for exe in (rig.FKTARGET, FKINJECT) if not exe.exists()]
    if missing:
        print(f"SKIPPED: {', '.join(missing)} not built; build the mingw preset first")
        sys.exit(rig.SKIP)
    unittest.main(argv=[sys.argv[0], "-v"] + rest)


if __name__ == "__main__":
    main()
