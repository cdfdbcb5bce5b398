#!/usr/bin/env python3
"""The layout editor end to end under Wine (Japanese locale), where the real windows,
dialogs, menus and ports take part: opened from the tray menu, driven by its controls'
captions and its menus' access keys, with fksim behind COM1, COM3 or COM12.

    test_editor.py [unittest args]
"""

import time
import unittest

import rig
from rig import tap

EDITOR = ["VantrelEditorWindow", "Button Editor Ve1.2"]
ASSIGN = ["VantrelAssignKeyWindow", "Button {} (マウスのクリック無)"]
ASSIGN_9 = [ASSIGN[0], ASSIGN[1].format(9)]
WM_CLOSE = 0x10
VK_MENU = 0x12


def menu(letter):
    """fkinject tokens: the editor's File menu item with that access key (Alt+F, letter)."""
    return ["front", *EDITOR, f"kd:{VK_MENU}", "kd:0x46", "ku:0x46", f"ku:{VK_MENU}", "w:300",
            *tap(ord(letter))]


def close(window):
    return ["post", window[0], hex(WM_CLOSE), "0", "0", "gone", *window, "5000"]


class Editor(unittest.TestCase):
    def start(self, name, model, port=1):
        """Vantrel on COM`port` with layout a.fkl loaded and fksim playing `model` there;
        (rig, sim, app). The rig holds the prefix until the test's end."""
        r = rig.Rig(f"editor/{name}", locale="ja_JP.UTF-8")
        self.addCleanup(r.close)
        r.settings(FkNameT=r.layout("a.fkl", "1=結合,#A", "5=結合" + ",#A" * 60), FileOn=1,
                   FkModel=model, ComS=port)
        sim, app = r.start_sim(model, port), r.start_vantrel()
        self.assertTrue(sim.frame("refresh", 20000), "Vantrel did not start")
        return r, sim, app

    def open_editor(self, r):
        r.tray()
        r.choose(2)  # "エディタ"
        self.assertEqual(r.inject("wait", *EDITOR, "10000")[0], 0, "the editor did not open")

    def test_model_port_place_and_new_layout_then_logoff(self):
        r, sim, app = self.start("session", "X8000", 12)  # a USB adapter's port number
        com3 = r.start_sim("6094", 3)
        self.open_editor(r)
        self.assertTrue(sim.frame("wake"))
        # The key's lamp while its dialog is up, the lamps off once it is closed; the
        # model applies to the next frame, the port once the editor has closed.
        r.inject("click", *EDITOR, "6094 020", "w:300", "click", *EDITOR, "9", "wait", *ASSIGN_9,
                 "5000", *close(ASSIGN_9))
        self.assertTrue(sim.frame("editor-key_9")[2].startswith("940080"))
        self.assertTrue(sim.frame("off")[2].startswith("9400000000"))
        r.inject("select", *EDITOR, "COM3", "move", *EDITOR, "200", "150", "w:300", *close(EDITOR))
        self.assertTrue(com3.frame("refresh"), "the shell did not take COM3")
        sim.cmd("clear")

        self.open_editor(r)  # where it was closed, waking the 6094 on COM3
        times = [com3.frame(name) for name in ("wake-01", "wake-06", "wake-08")]
        self.assertTrue(all(times), (times, com3.cmd("frames")))
        for before, after in zip(times, times[1:]):
            self.assertGreater(after[0] - before[0], 40000, "50 ms between the bytes")
        self.assertEqual(r.inject("rect", *EDITOR)[1][0].split()[1:3], ["200", "150"])
        r.inject("move", *EDITOR, "240", "180", *menu("N"), "wait", "#32770", "消去確認", "5000",
                 "click", "#32770", "消去確認", "OK", "gone", "#32770", "消去確認", "5000",
                 *menu("S"), "click", *EDITOR, "自動切換")
        layout = r.dir / "a.fkl"
        rig.wait_for(lambda: rig.holds(layout, b"\r\n" * 384), 5, "384 empty lines")

        r.end_session(app)  # the editor open: it closes first, so its new place is stored too
        written = (r.dir / "Vantrel.sys").read_bytes()
        self.assertEqual(sim.frames(), [])
        self.assertEqual(written, r.settings(FkNameT=rig.winpath(layout), Form2Top=180 * 15,
                                             Form2Left=240 * 15, FileOn=1, Timer1On=1, ComS=3,
                                             FkModel="6094"))

    def test_record_keys_clicks_and_text_then_play_them(self):
        r, sim, app = self.start("record", "X8000")
        self.open_editor(r)

        def dialog(key):
            window = [ASSIGN[0], ASSIGN[1].format(key)]
            self.assertEqual(r.inject("click", *EDITOR, str(key), "wait", *window, "5000")[0], 0)
            rig.wait_for(lambda: r.inject("texts", *window)[1][-1:] == ["text ダミー"], 5,
                         "the dialog's controls")
            x, y = r.origin(*window)
            return window, (x + 30, y + 26)  # the background between label and slots

        def xdo(*args):
            r.xdo(*args)
            time.sleep(0.2)

        a3, (x, y) = dialog(3)
        xdo("mousemove", x, y, "click", 1)  # arms, switches capture on, focuses the field
        xdo("key", "shift+ctrl+a")
        xdo("key", "Control_L")
        r.inject("kd:9", "kd:9", "ku:9")  # held: its repeat records nothing
        # Xvfb's keymap has no key the program reads as 漢字 (244).
        r.inject("kd:244", "ku:244")
        xdo("key", "Henkan_Mode")
        r.inject("click", *a3, "ﾃｷｽﾄ", "wait", "VantrelTextInputWindow", "テキスト入力", "5000")
        # Typed as a paste: Wine reads no Japanese from Xvfb's keyboard without an
        # input method.
        r.inject("clip", "部品図")
        xdo("key", "ctrl+v")
        xdo("key", "Return", "BackSpace", "Tab", "shift+Tab", "shift+Tab", "shift+Tab", "space")
        r.inject("gone", "VantrelTextInputWindow", "テキスト入力", "5000")  # 保存 by keys
        xdo("click", 1)  # after the text dialog a press arms again
        xdo("keydown", "Alt_L", "click", 3, "keyup", "Alt_L")
        # Split mode refused with a "+" step: the message box comes.
        self.assertEqual(r.inject("click", *a3, "分割", "wait", "#32770", "操作エラー", "5000")[0], 0)
        r.inject("click", "#32770", "操作エラー", "OK", "gone", "#32770", "操作エラー", "5000",
                 "click", *a3, "保存", "gone", *a3, "5000")

        a4, (x, y) = dialog(4)
        xdo("mousemove", x, y, "click", 1)
        r.inject("kd:16", "ku:16", "kd:65", "kd:65", "ku:65")  # A held: its repeat records nothing
        r.inject("click", *a4, "分割", "w:300")
        self.assertIn("text 結合", r.inject("texts", *a4)[1])  # no message: split mode on
        r.inject("click", *a4, "保存", "gone", *a4, "5000")
        a5, (x, y) = dialog(5)  # sixty steps: Tab is refused once, not again and again
        xdo("mousemove", x, y, "click", 1, "key", "Tab")
        c1 = ["#32770", "容量オーバー"]
        r.inject("wait", *c1, "5000", "click", *c1, "OK", "gone", *c1, "5000", "w:1000", "gone",
                 *c1, "0", *close(a5), *menu("S"), "w:500", *close(EDITOR))  # else nothing saved

        lines = (r.dir / "a.fkl").read_bytes().decode("cp932").split("\r\n")
        self.assertIn("結合,#Shift+Ctrl+A,#Ctrl,#Tab,#漢字,#変換,*部品図,#Alt+RightClick", lines)
        self.assertIn("分割,#Shift,#A", lines)
        target = r.start_target()
        sim.press(2)  # unassigned: at most the first data after start-up
        time.sleep(0.5)
        sim.press(3)
        kinds = rig.KEY_EVENTS + ("paste", "syskeydown")
        expected = rig.keys("+Shift +Ctrl +A -A -Ctrl -Shift +Ctrl -Ctrl") + [
            ("keydown", "0x09"), ("keyup", "0x09"), ("keydown", "0xF4"), ("keyup", "0xF4"),
            ("keydown", "0x1C"), ("keyup", "0x1C"), ("paste", "部品図"), ("keyup", "0x50"),
            ("syskeydown", "0x12")]
        self.assertEqual(target.take(len(expected), kinds), expected)
        r.close_vantrel(app)


if __name__ == "__main__":
    rig.main()
