#!/usr/bin/env python3
"""The tray menu and the device hand-over end to end under Wine: Vantrel.exe on
COM1 with fksim behind it, fktarget windows in front, the menu driven as the
notification area and the keyboard would drive it (fkinject).

    test_tray_e2e.py [-k PATTERN]
"""

import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import rig  # noqa: E402
from vantrel_e2e import (FKINJECT, DeviceCase, run_tests, settings_bytes, typing,  # noqa: E402
                         wait_reopen)

MAIN_CLASS = "VantrelMainWindow"
TARGET_CLASS = "VantrelTarget"
# The notification area calls back with WM_MOUSEMOVE, wParam the icon's id (1) and
# lParam the mouse message over the icon.
CALLBACK, ICON_ID = 0x200, 1
WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK = 0x201, 0x202, 0x203
WM_RBUTTONDOWN, WM_RBUTTONUP = 0x204, 0x205
VK_RETURN, VK_ESCAPE, VK_UP, VK_RIGHT, VK_DOWN = 0x0D, 0x1B, 0x26, 0x27, 0x28
# A menu that has not come up within this long is taken as not opened.
NO_MENU_MS = 700


def tap(*vks):
    return [t for vk in vks for t in (f"kd:{vk:#x}", f"ku:{vk:#x}")]


def inject(wine, *args, timeout=30):
    """Runs fkinject; (exit code, stdout lines)."""
    proc = wine.start_wine(FKINJECT, *args, stdout=subprocess.PIPE, text=True)
    try:
        out, _ = proc.popen.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        raise
    return proc.popen.returncode, out.splitlines()


def open_menu(wine, mouse_message=WM_RBUTTONDOWN, wait_ms=3000):
    """The icon's callback as the notification area sends it; the lines of the
    menus that came up (none: no menu)."""
    rc, lines = inject(wine, "post", MAIN_CLASS, hex(CALLBACK), str(ICON_ID), hex(mouse_message),
                       "menus", str(wait_ms))
    return lines if rc == 0 else []


def submenu_keys(row):
    """The pop-up menu's keys to row `row` (0 = top) of "ファイル" and Enter: the
    current layout's item, then "ファイル", whose submenu opens on its top row."""
    # Each key is given time to act: a key that arrives before the submenu is open
    # moves in the parent menu instead.
    return [t for vk in (VK_DOWN, VK_DOWN, VK_RIGHT, *[VK_DOWN] * row, VK_RETURN)
            for t in (*tap(vk), "w:60")]


class TrayCase(DeviceCase):
    WORK = "tray"

    def inject(self, *args):
        return inject(self.wine, *args)

    def layout(self, name, key):
        return self.write_layout(name, typing(key))

    def start(self, **settings):
        self.write_settings(FkModel="X8000", **settings)
        self.sim = self.start_sim("X8000")
        self.start_target()
        self.app = self.start_vantrel()
        self.past_first_data(self.sim)

    def open_menu(self, mouse_message=WM_RBUTTONDOWN, wait_ms=3000):
        return bool(open_menu(self.wine, mouse_message, wait_ms))

    def to_front(self, title="Vantrel target"):
        self.assertEqual(self.inject("front", TARGET_CLASS, title)[0], 0)


class TrayMenu(TrayCase):
    def test_only_a_right_button_down_opens_the_menu(self):
        self.start(FkNameT=self.layout("a.fkl", "A"), FileOn=1)
        for message in (WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP):
            with self.subTest(message=hex(message)):
                opened = self.open_menu(message, NO_MENU_MS)
                if opened:
                    self.inject(*tap(VK_ESCAPE))
                self.assertFalse(opened)
        self.assertTrue(self.open_menu())
        self.inject(*tap(VK_ESCAPE, VK_ESCAPE))
        # The menu took the foreground; the device still plays into the target.
        self.to_front()
        self.sim.cmd("press 1")
        self.assertIn(ord("A"), self.keys_typed(self.dir / "target1.log", 5))

    def test_recent_layouts_in_listing_order_chosen_by_keyboard_and_played(self):
        # Each layout's key 1 types its own letter. plate.old.fkl is offered as
        # "plate", which names plate.fkl: there is none, so choosing it loads nothing.
        letters = {"z": "Z", "plate.old": "O", "d": "D", "c": "C", "b": "B", "a": "A"}
        for name, key in letters.items():  # created in this order
            self.layout(f"{name}.fkl", key)
        self.layout(".hidden.fkl", "H")
        (self.dir / "folder.fkl").mkdir()
        start = self.layout("start.fkl.txt", "S")  # not a layout name: never listed
        self.start(FkNameT=start, FileOn=1)

        rc, listing = self.inject("list", rig.winpath(self.dir) + "\\*.fkl")
        self.assertEqual(rc, 0)
        files = [line[2:] for line in listing if line.startswith("- ")]
        self.assertEqual(sorted(files), sorted(f"{n}.fkl" for n in letters), listing)
        offered = [f.split(".")[0] for f in files[:5]]  # File1..File5
        self.assertIn("plate", offered, "the listing order leaves plate.old.fkl out")

        playing = "S"
        log = self.dir / "target1.log"
        for row, caption in enumerate(reversed(offered)):  # the submenu shows File5 first
            with self.subTest(row=row, caption=caption):
                self.assertTrue(self.open_menu())
                self.sim.cmd("clear")
                rc, _ = self.inject(*submenu_keys(row))
                chosen = time.monotonic()
                self.assertEqual(rc, 0)
                refresh = self.sim.wait_frame("refresh", 3000)
                self.assertIsNotNone(refresh, "no lamps refresh after the choice")
                # The choice came before fkinject ended: the refresh waits for its timer.
                self.assertGreater(refresh[0] / 1e6 - chosen, 0.25)
                self.to_front()
                wait_reopen()
                if caption != "plate":
                    playing = letters[caption]
                before = len(self.keys_typed(log, 0))
                self.sim.cmd("press 1")
                rig.wait_for(lambda: len(self.keys_typed(log, 0)) > before, 5, "key 1 played")
                self.assertEqual(chr(self.keys_typed(log, 0)[before]), playing)
        last = offered[0]  # the bottom row, chosen last

        # "終了" is the menu's last item.
        self.assertTrue(self.open_menu())
        self.inject(*tap(VK_UP, VK_RETURN))
        self.assertIsNotNone(self.sim.wait_frame("off", 5000))
        self.assertEqual(self.app.wait(20), 0)
        self.assertEqual((self.dir / "Vantrel.sys").read_bytes(), settings_bytes(
            FkNameT=rig.winpath(self.dir / f"{last}.fkl"), FileOn=1, FkModel="X8000"))


class HandOver(TrayCase):
    """MC/W windows in front (the notepad cases of test_shell_e2e.py cover
    "Helix Drafting" and its lower-case form)."""

    def assert_handed_over(self, title):
        log = self.start_target(title)
        self.assertIsNotNone(self.sim.wait_frame("off", 3000), f"{title!r} did not take the device")
        self.sim.frame_names()
        self.sim.cmd("press 2")
        self.assertEqual(self.keys_typed(log, 1.5), [], f"a key played while {title!r} is in front")
        # Lamps off once, however many ticks see it in front.
        self.assertEqual(self.sim.frame_names(), [])

    def assert_taken_back(self, log):
        self.sim.cmd("clear")
        self.to_front()
        self.assertIsNotNone(self.sim.wait_frame("refresh", 4000), "the device was not taken back")
        wait_reopen()
        before = len(self.keys_typed(log, 0))
        self.sim.cmd("press 1")
        rig.wait_for(lambda: ord("A") in self.keys_typed(log, 0)[before:], 5, "key 1 played")

    def test_mcw_windows_take_the_device_and_others_give_it_back(self):
        self.start(FkNameT=self.layout("a.fkl", "A"), FileOn=1, Timer1On=1)
        plain = self.dir / "target1.log"
        for title in ("MC/W 図面", "MC/W", "MICRO CADAM/W 部品"):
            with self.subTest(title=title):
                self.sim.cmd("clear")
                self.assert_handed_over(title)
                self.assert_taken_back(plain)

        for title in ("mc/w 図面", "図面 MC/W", " MC/W"):
            with self.subTest(title=title):
                self.sim.cmd("clear")
                log = self.start_target(title)
                self.assertIsNone(self.sim.wait_frame("off", 2500), f"{title!r} took the device")
                self.sim.cmd("press 1")
                self.assertIn(ord("A"), self.keys_typed(log, 5))

    def test_without_automatic_hand_over_the_device_stays(self):
        self.start(FkNameT=self.layout("a.fkl", "A"), FileOn=1, Timer1On=0)
        log = self.start_target("MC/W 図面")
        self.assertIsNone(self.sim.wait_frame("off", 2500))
        self.sim.cmd("press 1")
        self.assertIn(ord("A"), self.keys_typed(log, 5))


if __name__ == "__main__":
    run_tests(sys.argv[1:], FKINJECT)
