// The tray icon's callback, the pop-up menu's commands and the recent layouts.
#include <gtest/gtest.h>

#include "shell/rig.h"

namespace vantrel::shell::testing {
namespace {

TEST(Tray, OnlyARightButtonPressOpensTheMenuAndNamesKeepTheFileNameUpToTheFirstDot) {
  EXPECT_TRUE(TrayMessageOpensMenu(0x204));
  for (std::uint32_t m : {0x200u, 0x201u, 0x202u, 0x203u, 0x205u, 0x206u, 0x207u, 0x209u}) {
    EXPECT_FALSE(TrayMessageOpensMenu(m)) << m;
  }
  EXPECT_EQ(editor::LayoutDisplayName(u"C:\\work\\plate.fkl"), u"plate");
  EXPECT_EQ(editor::LayoutDisplayName(u"C:\\cad.old\\plate.fkl"), u"cad");
  EXPECT_EQ(editor::LayoutDisplayName(u"D:\\fk\\部品図"), u"部品図");
  EXPECT_EQ(editor::LayoutDisplayName(u""), u"");
  EXPECT_EQ(RecentCaption(u"plate.old.fkl"), u"plate");
}

TEST(Recent, TheFirstFiveLayoutsInListingOrderAndARebuiltTrayGetsTheCurrentIconAgain) {
  Rig rig;
  rig.Put(u"C:\\work\\b.fkl", u"");
  rig.platform.layouts = {u"b.fkl", u"a.fkl", u"c.fkl", u"d.fkl", u"e.fkl", u"f.fkl"};
  rig.r().Start();
  EXPECT_NE(rig.t.Take().find("recent [b] [a] [c] [d] [e]\n"), std::string::npos);
  rig.r().ChooseRecent(1);
  rig.t.Take();
  rig.r().TrayRecreated();
  EXPECT_EQ(rig.t.Take(), "tray add active アイコン変更\n");
}

TEST(Recent, ChoosingAnEntryReleasesHeldKeysAndLoadsTheFileThatWasListed) {
  Rig rig;
  rig.platform.layouts = {u"x.fkl", u"plate.old.fkl"};
  rig.PutLayout(u"C:\\work\\plate.old.fkl", u"新", u"B");
  rig.PutLayout(u"C:\\work\\plate.fkl", u"別", u"C");
  rig.StartWithLayout();
  rig.r().table().Entry(2, 5).label = u"古い";
  rig.HoldShift();
  rig.platform.cwd = u"D:\\";  // the editor's file dialogs may have moved it, to a root even
  rig.r().ChooseRecent(2);
  EXPECT_EQ(rig.t.Take(), "key 16 up\nFile0=plate\n" + kIconChanged);
  EXPECT_EQ(rig.r().settings().FkNameT, u"C:\\work\\plate.old.fkl");
  EXPECT_EQ(rig.r().WorkingFolder(), u"D:\\");
  EXPECT_TRUE(rig.r().LayoutLoaded());
  EXPECT_EQ(rig.r().table().Entry(1, 1).label, u"新");
  EXPECT_EQ(rig.r().table().Entry(2, 5).label, u"");  // cleared before the load
  EXPECT_EQ(rig.timers.In("refresh"), 500);
}

TEST(Recent, AMissingFileChangesOnlyTheStartupLayoutPathAndAnEmptyEntryNothing) {
  Rig rig;
  rig.platform.layouts = {u"gone.fkl"};
  rig.r().Start();
  rig.r().table().Entry(1, 1).label = u"そのまま";
  rig.Advance(500);
  rig.r().ChooseRecent(1);
  EXPECT_EQ(rig.t.Take(), "");
  EXPECT_EQ(rig.r().settings().FkNameT, u"C:\\work\\gone.fkl");
  EXPECT_EQ(rig.r().table().Entry(1, 1).label, u"そのまま");
  EXPECT_FALSE(rig.r().LayoutLoaded());
  // The lamps are refreshed all the same.
  EXPECT_EQ(rig.Advance(500), kRefresh);
  rig.r().ChooseRecent(5);
  EXPECT_EQ(rig.r().settings().FkNameT, u"C:\\work\\gone.fkl");
  EXPECT_FALSE(rig.timers.Armed("refresh"));
}

TEST(Editor, HandsThePortOverAndReopensItWithTheChangedSettings) {
  Rig rig;
  rig.StartWithLayout(u"Timer1On=1 *\r\n");
  rig.platform.editor = [&](const EditorSession& editor) {
    EXPECT_FALSE(rig.serial.open);
    EXPECT_FALSE(rig.timers.Armed("handover"));
    EXPECT_EQ(&editor.port, &rig.editor_serial);
    // The main window's timers stay quiet meanwhile.
    EXPECT_EQ(rig.Advance(5000), kLampsOff + "close\neditor\n");
    editor.settings.ComS = 4;
    editor.settings.FkModel = u"6094";
    editor.settings.FkNameT = u"C:\\fk\\new.fkl";
  };
  rig.r().Editor();
  EXPECT_EQ(rig.t.Take(), "File0=new\n" + OpenLines(4, 1024, true, false) + kIconChanged);
  EXPECT_EQ(rig.timers.In("refresh"), 500);
  EXPECT_EQ(rig.timers.In("handover"), 1000);
}

TEST(Editor, WithNoLayoutLoadedShowsTheIdleIconAndLeavesTheLampsUntilAKey) {
  Rig rig;
  rig.r().Start();
  rig.Advance(500);
  rig.r().Editor();
  EXPECT_EQ(rig.t.Take(), kLampsOff + "close\neditor\n" + OpenLines(1, 1024) + kIdleChanged);
  EXPECT_FALSE(rig.timers.Armed("refresh"));
  EXPECT_FALSE(rig.timers.Armed("handover"));
}

TEST(Editor, WhileHandedOverTheLampsAreLeftAlone) {
  Rig rig;
  rig.PutSettings(u"Timer1On=1 *\r\n");
  rig.r().Start();
  rig.platform.title = u"Helix Drafting";
  rig.Advance(1000);
  rig.r().Editor();
  EXPECT_EQ(rig.t.Take(), "editor\n" + OpenLines(1, 1024) + kIdleChanged);
  EXPECT_TRUE(rig.r().WantsPort());
}

}  // namespace
}  // namespace vantrel::shell::testing
