// Layouts that follow the window in front.
#include <gtest/gtest.h>

#include "shell/rig.h"

namespace vantrel::shell::testing {
namespace {

struct RulesRig : Rig {
  // a.fkl (key 1 "A") is the user's; acad.fkl plays "C", view.fkl "V".
  explicit RulesRig(std::u16string_view rules, std::u16string_view settings = u"") {
    PutLayout(u"C:\\fk\\acad.fkl", u"", u"C");
    PutLayout(u"C:\\fk\\view.fkl", u"", u"V");
    files.files[std::u16string(kRules)] = codec.Encode(rules);
    platform.layouts = {u"a.fkl"};
    StartWithLayout(settings);
  }
  std::string Front(std::u16string_view program, std::u16string_view title) {
    r().ForegroundChanged();
    r().UserWindowInFront({std::u16string(program), std::u16string(title)});
    return Take();
  }
  std::string Key1() { return Receive({0x1B, 0x21}); }

  static constexpr std::u16string_view kRules = u"C:\\work\\Vantrel.rules";
};

constexpr std::u16string_view kTwoRules =
    u"; 図面\r\nProgram=ACAD.EXE|C:\\fk\\acad.fkl\r\nTitle=Viewer|C:\\fk\\view.fkl\r\n"
    u"Program=view.exe|C:\\fk\\acad.fkl\r\n";

TEST(Rules, TheFirstMatchingRuleChoosesTheLayoutAndNoneBringsTheUsersBack) {
  RulesRig rig(kTwoRules);
  rig.r().table().Entry(2, 5).label = u"未保存";
  rig.HoldShift();
  const std::string to_acad = "current acad\ntray active acad（ACAD.EXE のルール）\n";
  EXPECT_EQ(rig.Front(u"acad.exe", u"Drawing1"), "key 16 up\n" + to_acad);
  EXPECT_EQ(rig.Advance(500), kRefresh);
  EXPECT_EQ(rig.Key1(), "key 67 down\nkey 67 up\n");
  // The same layout stays: nothing read, nothing relit, and the user's edits survive.
  const int reads = rig.files.reads;
  EXPECT_EQ(rig.Front(u"view.exe", u"図"), "tray active acad（view.exe のルール）\n");
  EXPECT_EQ(rig.Front(u"notepad.exe", u"無題"), "current a\ntray active a\n");
  EXPECT_EQ(rig.Advance(500), kRefresh);
  EXPECT_EQ(rig.r().table().Entry(2, 5).label, u"未保存");
  EXPECT_EQ(rig.Front(u"ACAD.EXE", u"Drawing2"), to_acad);
  EXPECT_EQ(rig.files.reads, reads);
  // A layout changed on disk is read again.
  rig.PutLayout(u"C:\\fk\\acad.fkl", u"", u"D");
  EXPECT_EQ(rig.Front(u"calc.exe", u"電卓"), "current a\ntray active a\n");
  EXPECT_EQ(rig.Front(u"acad.exe", u"Drawing2"), to_acad);
  EXPECT_EQ(rig.Key1(), "key 68 down\nkey 68 up\n");
  // Our own windows and the taskbar are not told.
  rig.r().ForegroundChanged();
  EXPECT_EQ(rig.Key1(), "key 68 down\nkey 68 up\n");
  // The user's choice from the tray is in force until the next window comes.
  EXPECT_EQ(rig.Do(&Resident::ChooseRecent, 1), "current a\n" + kIconChanged);
  EXPECT_EQ(rig.Front(u"acad.exe", u"Drawing3"), "");  // given back by the menu
  EXPECT_EQ(rig.Key1(), kKeyA);
  EXPECT_EQ(rig.Front(u"view.exe", u"x"), "current acad\ntray active acad（view.exe のルール）\n");
  // A hand edit of the file while the program runs is read at the next window.
  rig.files.files[std::u16string(RulesRig::kRules)] = "Program=calc.exe|C:\\fk\\view.fkl\r\n";
  EXPECT_EQ(rig.Front(u"calc.exe", u""), "current view\ntray active view（calc.exe のルール）\n");
}

TEST(Rules, MadeFromTheMenuEditedInTheDialogAndStoredWithTheUsersOwnLines) {
  RulesRig rig(u"; 図面\r\nProgram=NOTEPAD|\r\nProgram=ACAD.EXE|C:\\fk\\acad.fkl\r\n"
               u"Title=MC/W|C:\\fk\\view.fkl\r\n",
               u"Timer1On=1 *\r\n");
  // The CAD program that gets the device keeps the layout it was handed over with.
  EXPECT_EQ(rig.Front(u"mcad.exe", u"MC/W 1"), "");
  // A window whose program cannot be told gets a rule by its title.
  rig.Front(u"", u"無題 - メモ帳");
  EXPECT_EQ(rig.Do(&Resident::UseLayoutForWindow),
            "save C:\\work\\Vantrel.rules\nballoon Vantrel 「無題 - メモ帳」が前面のときは、"
            "レイアウト a を使います。\n");
  rig.Front(u"notepad.exe", u"無題");
  rig.r().UseLayoutForWindow();
  // The rule in force for this program already: nothing to store.
  rig.Front(u"acad.exe", u"");
  EXPECT_EQ(rig.Do(&Resident::UseLayoutForWindow),
            "balloon Vantrel 「acad.exe」が前面のときは、レイアウト acad を使います。\n");
  // The editor edits the user's layout; closing it brings the rules back.
  rig.platform.editor = [&](const EditorSession& session) {
    EXPECT_EQ(session.table.Entry(1, 1).body[1], u"A");
  };
  EXPECT_NE(rig.Do(&Resident::OpenEditor).find("current a\n"), std::string::npos);
  EXPECT_EQ(rig.Key1(), "key 67 down\nkey 67 up\n");
  // The dialog moves and deletes rules, never the user's lines; set aside, the rules
  // give the user's layout back at once.
  rig.platform.rules_dialog = [&](RulesEditor& editor) {
    rig.r().MenuOpen(false);  // the menu's close is told while the dialog is up
    EXPECT_EQ(rig.Key1(), "rules dialog\n");
    EXPECT_EQ(editor.Rows()[0], u"ACAD.EXE → acad");
    EXPECT_TRUE(editor.MoveDown(0) && editor.Delete(3));
    EXPECT_FALSE(editor.MoveUp(0) || editor.MoveDown(2) || editor.Delete(3));
    editor.SetEnabled(false);
  };
  EXPECT_EQ(rig.Do(&Resident::EditRules), "save C:\\work\\Vantrel.rules\ncurrent a\ntray active a\n");
  EXPECT_EQ(rig.files.files[std::u16string(RulesRig::kRules)],
            rig.codec.Encode(u"Switch=0\r\n; 図面\r\nProgram=NOTEPAD|\r\n"
                             u"Title=MC/W|C:\\fk\\view.fkl\r\nProgram=ACAD.EXE|C:\\fk\\acad.fkl\r\n"
                             u"Title=無題 - メモ帳|C:\\work\\a.fkl\r\n"));
}

TEST(Rules, AFileThatCannotBeReadIsNeverWrittenAndDamagedLinesAreToldOnce) {
  Rig held;
  held.files.unreadable.insert(std::u16string(RulesRig::kRules));
  EXPECT_NE(held.StartWithLayout().find(ToUtf8(RulesUnreadableText(RulesRig::kRules))),
            std::string::npos);
  held.r().UserWindowInFront({u"notepad.exe", u""});
  EXPECT_EQ(held.Do(&Resident::UseLayoutForWindow),
            "balloon Vantrel " + ToUtf8(RulesUnreadableText(RulesRig::kRules)) + "\n");
  // Neither a held rules file nor a held layout is tried again at every key (each try
  // waits on the holder); the layout is, once another window has come.
  int reads = held.files.reads;
  held.r().UserWindowInFront({u"notepad.exe", u""});
  EXPECT_EQ(held.files.reads, reads);
  RulesRig layout_held(kTwoRules);
  layout_held.files.unreadable.insert(u"C:\\fk\\acad.fkl");
  EXPECT_EQ(layout_held.Front(u"acad.exe", u""),
            "balloon Vantrel " + ToUtf8(LayoutUnreadableText(u"C:\\fk\\acad.fkl")) + "\n");
  reads = layout_held.files.reads;
  layout_held.Front(u"acad.exe", u"");
  EXPECT_EQ(layout_held.files.reads, reads);
  layout_held.Front(u"notepad.exe", u"");
  layout_held.Front(u"acad.exe", u"");
  EXPECT_EQ(layout_held.files.reads, reads + 1);
  Rig damaged;
  damaged.files.files[std::u16string(RulesRig::kRules)] = "Title=|a\r\nProgram=b|\r\n";
  EXPECT_NE(damaged.StartWithLayout().find(ToUtf8(RulesDamagedText(RulesRig::kRules, 2))),
            std::string::npos);
}

}  // namespace
}  // namespace vantrel::shell::testing
