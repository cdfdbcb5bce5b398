#!/usr/bin/env python3
"""The resident program end to end under Wine, where the real line, input, clipboard,
shell and windows take part: Vantrel.exe with fksim behind COM1 and fktarget windows in
front, each class one program run with its cases in order. The frames' bytes and the
logic are the native tests'; here fksim names the frames.

    test_resident.py [--model 6094|48G9995|X8000] [--locale ja_JP.UTF-8] [unittest args]
"""

import argparse
import os
import subprocess
import sys
import time

import rig
from rig import keys, tap

VK_ESCAPE = 0x1B
MODEL = "X8000"
LAYOUT = ("1=結合,#C", "5=結合,#Shift+Ctrl+A", "6=結合,#B", "7=結合,*図面 ｱｲｳ abc,#Enter",
          "9=分割,#Shift,#Ctrl",
          # Key 6 with the left, middle and right mouse button held.
          "2:6=結合,#L", "3:6=結合,#M", "4:6=結合,#R")
# The frames of the lamps' refresh.
REFRESH = {"6094": ["refresh-08", "refresh"], "48G9995": ["reset-prefix", "release-reset"],
           "X8000": ["refresh"]}


class Playback(rig.Suite):
    """Key press to playback for one device model (--model), text in a locale."""

    @classmethod
    def start(cls):
        r = cls.rig
        cls.saved = r.settings(FkNameT=r.layout("keys.fkl", *LAYOUT), FileOn=1, FkModel=MODEL)
        cls.sim, cls.target, cls.app = r.start_sim(MODEL), r.start_target(), r.start_vantrel()

    def test_1_startup_sequence_then_the_refresh_half_a_second_later(self):
        refreshed = self.sim.frame("refresh", 20000)
        got = self.sim.frames()
        self.assertTrue(refreshed, f"no refresh: {got}, Vantrel ended: {self.app.poll()}")
        self.assertEqual([name for _, name in got], ["startup"] + REFRESH[MODEL])
        self.assertTrue(400 < (got[1][0] - got[0][0]) / 1000 < 1500, got)
        if MODEL == "6094":
            self.assertGreaterEqual((got[2][0] - got[1][0]) / 1000, 40, "08 and mask too close")

    def test_2_keys_after_the_first_data(self):
        self.play(6, "", quiet=0.5)  # the first data only identifies the device
        self.play(1, "+C -C")  # a zero byte on the 6094: its line must keep zero bytes
        self.play(5, "+Shift +Ctrl +A -A -Ctrl -Shift")
        if MODEL != "6094":
            self.play("1B0021", "+C -C")  # the other lines drop them, even inside a code

    def test_3_split_mode_holds_its_keys_and_darkens_the_lamp_per_step(self):
        self.sim.cmd("clear")
        self.play(9, "+Shift +Ctrl")
        self.assertTrue(self.sim.frame("hold_9"))
        self.play(9, "-Ctrl -Shift")
        self.assertTrue(self.sim.frame("release-reset"))
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
        self.assertEqual((self.rig.dir / "Vantrel.sys").read_bytes(), self.saved)


class Paste(rig.Suite):
    """Macros of several text steps into Wine's notepad (Japanese locale), whose edit
    pastes from its context menu with P like any window: each step pastes its own text,
    although the program in front reads the clipboard only when it gets to the paste."""

    LOCALE = "ja_JP.UTF-8"

    @classmethod
    def start(cls):
        r = cls.rig
        r.settings(FkNameT=r.layout("paste.fkl", "5=結合,*AAA,*BBB", "6=結合,*PQ,#Enter,*RS",
                                    "7=結合,*図面,*部品"), FileOn=1, FkModel="X8000")
        cls.sim = r.start_sim()
        r.wine("notepad")
        assert r.inject("wait", "Notepad", "*", "20000")[0] == 0, "notepad did not start"
        x, y = r.origin("Notepad", "*")
        r.xdo("mousemove", x + 100, y + 60)  # the paste's right click goes where the pointer is
        cls.app = r.start_vantrel()
        r.past_first_data(cls.sim)

    def text(self):
        return "\n".join(self.rig.inject("edit", "Notepad", "*")[1])[len("edit "):]

    def test_each_text_step_pastes_its_own_text(self):
        typed = ""
        for key, text in ((5, "AAABBB"), (6, "PQ\nRS"), (7, "図面部品")):
            typed += text
            self.sim.press(key)
            try:
                rig.wait_for(lambda: self.text() == typed, 15, typed)
            except TimeoutError:
                self.fail(f"notepad holds {self.text()!r}, not {typed!r}")


class Tray(rig.Suite):
    """Layouts a to e (key 1 types the letter, key 2 holds Shift), start-up layout
    start.fkl.txt (key 1 types S, key 4 Esc), the hand-over on; an X8000 past its first
    data."""

    @classmethod
    def start(cls):
        r = cls.rig
        for letter in "abcde":
            r.layout(f"{letter}.fkl", f"1=結合,#{letter.upper()}", "2=分割,#Shift")
        r.settings(FkNameT=r.layout("start.fkl.txt", "1=結合,#S", "4=結合,#Esc"), FileOn=1,
                   FkModel="X8000", Timer1On=1)
        # Another program holds the single-instance name, as sample code does: Vantrel
        # starts all the same (the whole suite runs on it), and a second copy still refuses.
        squatter = r.wine(rig.FKINJECT, "mutex", "Test Mutex", "3600000", stdout=subprocess.PIPE)
        assert squatter.stdout.readline().strip() == b"held"
        cls.sim, cls.target, cls.app = r.start_sim(), r.start_target(), r.start_vantrel()
        r.past_first_data(cls.sim)

    def test_1_a_second_copy_leaves_the_first_alone(self):
        untouched = (self.rig.dir / "Vantrel.sys").read_bytes()
        self.sim.cmd("clear")
        second = self.rig.start_vantrel()
        # Its message box gets OK as soon as it is up; then the copy ends.
        rig.wait_for(lambda: self.rig.inject("post", "#32770", "0x111", "1", "0")[0] == 0, 20,
                     "the second copy's message")
        self.assertEqual(second.wait(20), 0)
        self.assertEqual(self.sim.frames(), [])
        self.assertEqual((self.rig.dir / "Vantrel.sys").read_bytes(), untouched)
        self.rig.inject("front", "VantrelTarget", "*")

    def test_2_the_menu_opens_on_the_right_button_and_the_keys_go_back_in_front(self):
        # Real clicks on the icon: the left button's click and double click open no menu,
        # the right button's does; the window the icon is in is not the user's.
        quiet = [self.rig.inject(*self.rig.tray(1, clicks, 500))[1][0] for clicks in (1, 2)]
        opened = self.rig.inject(*self.rig.tray())[1]
        self.sim.press(4)  # plays nothing into the menu: its Esc would close it
        time.sleep(0.5)
        lines = opened + self.rig.inject("menus", "100", *tap(VK_ESCAPE))[1]
        self.assertEqual([line.split()[0] for line in quiet + lines], ["none"] * 2 + ["menu"] * 2)
        time.sleep(0.7)
        self.play(1, "+S -S")
        # Wine lists a folder sorted by name: the submenu shows e (File5) at the top and a
        # (File1) at the bottom, no start.fkl.txt.
        for row, letter in ((4, "A"), (1, "D")):
            self.assertEqual(self.rig.inject(*self.rig.tray())[1][0].split()[0], "menu")
            self.sim.cmd("clear")
            self.rig.choose_file(row)
            chosen = time.monotonic()
            refresh = self.sim.frame("refresh", 10000)  # the tray may be slow under load
            if not refresh:  # whether the menu stayed open or the window stopped answering
                self.fail(f"no lamps refresh after the choice: {self.rig.inject('menus', '100')[1]}"
                          f" {self.rig.inject('ping', 'VantrelMainWindow', '*', '500')[1]}")
            self.assertGreater(refresh[0] / 1e6 - chosen, 0.25, "the refresh waits for its timer")
            self.play(1, f"+{letter} -{letter}")

    def test_3_a_line_that_stops_draining_never_blocks_the_window(self):
        sim = self.sim
        sim.cmd("reading off")
        sim.frames()
        # Fill the line towards the device until it takes no more.
        flags = os.O_WRONLY | os.O_NONBLOCK | os.O_NOCTTY
        with open(os.open(rig.WORK / "com1", flags), "wb", buffering=0) as line:
            while line.write(b"\0" * 4096):  # None once it would block
                pass
        ping = self.rig.wine(rig.FKINJECT, "ping", "VantrelMainWindow", "*", "4000",
                             stdout=subprocess.PIPE, text=True)
        time.sleep(0.5)
        for _ in range(4):  # each press writes a lamp frame the line cannot take now
            sim.press(2)
        self.assertEqual(self.target.take(4), keys("+Shift -Shift +Shift -Shift"))
        _, count, max_ms, timeouts = ping.communicate(timeout=60)[0].split()
        self.assertEqual(timeouts, "0")
        self.assertLess(float(max_ms), 100, f"{count} pings")
        sim.cmd("reading on")
        sim.frame("release-reset", 5000)
        sim.frame("release-reset", 5000)
        names = [n for _, n in sim.frames() if n != "unknown"]
        self.assertEqual(names, ["hold 2", "reset-prefix", "release-reset"] * 2)

    def test_4_the_cad_program_in_front_gets_the_device(self):
        for title in ("MC/W", "Helix Drafting 図面"):  # a whole prefix, a longer title
            with self.subTest(title=title):
                self.sim.cmd("clear")
                self.rig.start_target(title)
                self.assertTrue(self.sim.frame("off"), "did not take the device")
                self.rig.inject("front", "VantrelTarget", "Vantrel target")
                self.assertTrue(self.sim.frame("refresh", 4000), "the device was not taken back")
                self.assertEqual(self.names(), ["off", "refresh"])
                self.play(1, "+D -D")

    def test_9_exit_from_the_menu_puts_the_lamps_out_and_saves(self):
        self.rig.tray()
        self.rig.choose(4)  # "終了"
        self.assertTrue(self.sim.frame("off", 5000))
        self.assertEqual(self.app.wait(20), 0)
        self.assertEqual((self.rig.dir / "Vantrel.sys").read_bytes(),
                         self.rig.settings(FkNameT=rig.winpath(self.rig.dir / "d.fkl"), FileOn=1,
                                           FkModel="X8000", Timer1On=1))


class Settings(rig.Suite):
    """Vantrel.sys held by another program, as a backup or sync tool holds it, while
    Vantrel starts; then read-only when the session ends."""

    @classmethod
    def start(cls):
        r = cls.rig
        cls.path = r.dir / "Vantrel.sys"
        r.settings(FkNameT=r.layout("a.fkl", "1=結合,#A"), FileOn=1, FkModel="X8000", ComS=3)
        cls.before = cls.path.read_bytes()
        holder = r.wine(rig.FKINJECT, "hold", rig.winpath(cls.path), "3000", stdout=subprocess.PIPE,
                        text=True)
        assert holder.stdout.readline().strip() == "held"
        cls.app = r.start_vantrel()
        assert holder.wait(30) == 0

    def end_session(self, app):
        self.assertEqual(self.rig.inject("wait", "VantrelMainWindow", "*", "20000")[0], 0)
        time.sleep(1)  # its start-up done: the window exists before its message loop runs
        self.rig.end_session(app)

    def notice(self):
        return self.rig.wine("reg", "query", r"HKCU\Software\Vantrel", "/v", "Notice",
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).wait(30) == 0

    def test_1_a_file_it_could_not_read_is_never_written_over(self):
        self.end_session(self.app)
        self.assertEqual(self.path.read_bytes(), self.before)

    def test_2_settings_not_saved_at_the_end_of_a_session_are_told_at_the_next_start(self):
        self.path.chmod(0o444)
        self.end_session(self.rig.start_vantrel())
        self.assertTrue(self.notice())
        self.assertEqual(self.path.read_bytes(), self.before)
        self.path.chmod(0o644)
        app = self.rig.start_vantrel()
        rig.wait_for(lambda: not self.notice(), 20, "the notice to be taken")
        self.rig.close_vantrel(app)


class Outage(rig.Suite):
    """No model set and no device at start-up; a 6094 comes, goes and comes back."""

    @classmethod
    def start(cls):
        cls.rig.settings(FkNameT=cls.rig.layout("a.fkl", "1=結合,#A"), FileOn=1)
        cls.target, cls.app = cls.rig.start_target(), cls.rig.start_vantrel()

    def test_1_a_missing_port_is_retried_and_a_6094_found_plays_at_once(self):
        time.sleep(1.5)
        self.assertIsNone(self.app.poll())
        appeared = time.monotonic()
        sim = Outage.sim = self.rig.start_sim("6094")
        self.assertTrue(sim.frame("startup"))
        self.assertLess(time.monotonic() - appeared, 2)  # retried every second
        self.assertTrue(sim.frame("refresh"), "Vantrel did not start")
        sim.cmd("ident")  # the first data names the model
        self.assertTrue(sim.frame("refresh", 3000), "no refresh in the 6094's own frames")
        self.play(1, "+A -A")  # a zero byte, which the line settings of other models drop

    def test_2_a_lost_port_comes_back_a_second_later(self):
        self.rig.stop_sim(self.sim)
        lost = time.monotonic()  # seen at once: the read fails
        time.sleep(0.3)
        self.assertIsNone(self.app.poll())
        sim = Outage.sim = self.rig.start_sim("6094")
        self.assertTrue(sim.frame("startup"))
        self.assertLess(time.monotonic() - lost, 2)  # the first retry, a second after the loss
        self.rig.past_first_data(sim)
        self.play(1, "+A -A")


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--model", choices=("6094", "48G9995", "X8000"), default=MODEL)
    ap.add_argument("--locale")
    args, sys.argv[1:] = ap.parse_known_args()
    MODEL = args.model
    Playback.NAME, Playback.LOCALE = f"playback-{MODEL}", args.locale
    rig.main()
