#!/usr/bin/env python3
"""Layouts that follow the window in front, end to end under Wine: a rule made from the
tray menu with real clicks, kept in Vantrel.rules, in force for its program only, also
after a restart, and the rules dialog.

Wine (8.0) raises no EVENT_SYSTEM_FOREGROUND when the window in front changes: Vantrel
settles the window in front as a key arrives all the same, which is what these cases
show when they change windows.
"""

import rig

WM_CLOSE = 0x10
RULES_WINDOW = ("VantrelRulesWindow", "レイアウト切替")


class Rules(rig.Suite):
    """Wine's notepad and fktarget; key 6 types U from the user's layout user.fkl and R
    from rule.fkl. The "ファイル" submenu lists rule.fkl at row 4, user.fkl at row 3."""

    LOCALE = "ja_JP.UTF-8"

    @classmethod
    def start(cls):
        r = cls.rig
        cls.rule = r.layout("rule.fkl", "6=結合,#R")
        r.settings(FkNameT=r.layout("user.fkl", "6=結合,#U"), FileOn=1, FkModel="X8000")
        cls.sim = r.start_sim()
        r.wine("notepad")
        assert r.inject("wait", "Notepad", "*", "20000")[0] == 0, "notepad did not start"
        cls.target, cls.app = r.start_target(), r.start_vantrel()  # fktarget in front
        r.past_first_data(cls.sim)

    def file_menu(self, row):
        # The balloon that told the rule made may lie over the icon and take a click.
        if self.rig.inject(*self.rig.tray())[1][:1] == ["none"]:
            self.rig.inject(*self.rig.tray())
        self.rig.choose_file(row)

    def in_front(self, cls, letter):
        """Key 6 pressed with that window in front types `letter`."""
        self.assertEqual(self.rig.inject("front", cls, "*")[0], 0)
        if cls != "Notepad":
            return self.play(6, f"+{letter} -{letter}")
        self.rig.inject("front", cls, "*", "kd:0x11", "kd:0x41", "ku:0x41", "ku:0x11",
                        "kd:0x2E", "ku:0x2E")  # Ctrl+A, Delete
        self.sim.press(6)
        text = lambda: self.rig.inject("edit", cls, "*")[1]  # noqa: E731
        try:
            rig.wait_for(lambda: text() == [f"edit {letter.lower()}"], 10, "the key in notepad")
        except TimeoutError:
            self.fail(f"notepad holds {text()}, not {letter.lower()!r}")

    def test_1_a_rule_for_the_program_in_front_is_made_from_the_tray(self):
        self.play(6, "+U -U")
        self.file_menu(4)  # rule.fkl
        self.play(6, "+R -R")
        self.file_menu(-2)  # "このウィンドウで使う"
        path = self.rig.dir / "Vantrel.rules"
        stored = f"Switch=1\r\nProgram=fktarget.exe|{self.rule}\r\n".encode("cp932")
        rig.wait_for(lambda: rig.holds(path, stored), 10, "the rule stored")
        # A layout chosen from the tray holds for the window it was chosen in, although
        # the menu gives that window the foreground back; another program ends it.
        self.file_menu(3)  # user.fkl
        self.play(6, "+U -U")
        self.in_front("Notepad", "U")
        self.in_front("VantrelTarget", "R")
        self.in_front("Notepad", "U")

    def test_2_after_a_restart_the_rule_holds_for_its_program_only(self):
        self.rig.close_vantrel(self.app)
        self.sim.cmd("clear")
        Rules.app = self.rig.start_vantrel()
        self.rig.past_first_data(self.sim)
        self.in_front("VantrelTarget", "R")
        self.in_front("Notepad", "U")
        self.in_front("VantrelTarget", "R")

    def test_3_the_rules_dialog_lists_the_rule_and_deletes_it(self):
        self.file_menu(-1)  # "レイアウト切替..."
        rc, lines = self.rig.inject("wait", *RULES_WINDOW, "10000", "texts", *RULES_WINDOW)
        self.assertEqual(rc, 0, "no rules dialog")
        # The list box has no caption; its one row, the rule, is chosen: 削除 takes it.
        self.assertEqual([line[len("text "):] for line in lines],
                         ["", "上へ", "下へ", "削除", "ウィンドウに合わせてレイアウトを切り替える", "閉じる"])
        self.rig.inject("click", *RULES_WINDOW, "削除", "w:300",
                        "post", RULES_WINDOW[0], str(WM_CLOSE), "0", "0")
        self.assertEqual(self.rig.inject("gone", *RULES_WINDOW, "10000")[0], 0)
        rig.wait_for(lambda: rig.holds(self.rig.dir / "Vantrel.rules", b"Switch=1\r\n"), 10,
                     "the rule deleted")
        self.play(6, "+U -U")  # the user's layout at once, in the window the rule was for


if __name__ == "__main__":
    rig.main()
