// Start-up, single instance and shut-down of the resident shell.
#include <gtest/gtest.h>

#include "shell/rig.h"

namespace vantrel::shell::testing {
namespace {

TEST(Startup, WithoutSettingsOpensCom1AndSendsTheSequenceOnceThenRefreshes) {
  Rig rig;
  rig.r().Start();
  EXPECT_EQ(rig.t.Take(),
            "File0=\n"
            "tray add idle Quillbox\n" +
                OpenLines(1, 2048) +
                "list C:\\work\\\n"
                "recent [] [] [] [] []\n" +
                kStartupFrame + "\n");
  EXPECT_FALSE(rig.timers.Armed("handover"));
  EXPECT_EQ(rig.timers.In("refresh"), 500);
  rig.Advance(499);
  EXPECT_EQ(rig.t.Take(), "");
  rig.Advance(1);
  EXPECT_EQ(rig.t.Take(), std::string(kX8000Refresh) + "\n");
  rig.Advance(10000);
  EXPECT_EQ(rig.t.Take(), "");
  EXPECT_TRUE(rig.r().WantsPort());
  EXPECT_FALSE(rig.r().LayoutLoaded());
}

TEST(Startup, LineSettingsFollowTheModel) {
  struct Case {
    const char16_t* model;
    const char* settings;
    bool null_discard;
  };
  for (const Case& c : {Case{u"6094", "9600,o,8,1", false}, Case{u"48G9995", "9600,n,8,1", true},
                        Case{u"X8000", "9600,n,8,1", true}, Case{u"", "9600,n,8,1", true}}) {
    Rig rig;
    rig.PutSettings(u"ComS=3 *\r\nFkModel=" + std::u16string(c.model) + u" *\r\n");
    rig.r().Start();
    EXPECT_NE(rig.t.Take().find(OpenLines(3, 2048, c.settings, c.null_discard)), std::string::npos)
        << ToUtf8(c.model);
  }
}

TEST(Startup, AnyNonZeroFileOnLoadsTheLayoutButOnlyTimer1OnOneStartsTheHandOver) {
  Rig rig;
  rig.PutSettings(u"FkNameT=D:\\fk\\plate.fkl *\r\nFileOn=2 *\r\nTimer1On=2 *\r\n");
  rig.PutLayout(u"D:\\fk\\plate.fkl", u"部品", u"A");
  rig.r().Start();
  const std::string t = rig.t.Take();
  EXPECT_NE(t.find("File0=\ntray add active Quillbox\nFile0=plate\n"), std::string::npos) << t;
  EXPECT_TRUE(rig.r().LayoutLoaded());
  EXPECT_EQ(rig.r().table().Entry(1, 1).label, u"部品");
  EXPECT_FALSE(rig.timers.Armed("handover"));

  Rig on;
  on.PutSettings(u"Timer1On=1 *\r\n");
  on.r().Start();
  EXPECT_EQ(on.timers.In("handover"), 1000);
}

TEST(Startup, AMissingStartupLayoutStartsIdleAndKeepsItsPathForTheNextRun) {
  Rig rig;
  rig.PutSettings(u"FkNameT=D:\\fk\\gone.fkl *\r\nFileOn=1 *\r\n");
  rig.r().Start();
  EXPECT_NE(rig.t.Take().find("File0=\ntray add idle Quillbox\nCommPort=1"), std::string::npos);
  EXPECT_FALSE(rig.r().LayoutLoaded());
  EXPECT_EQ(rig.r().settings().FkNameT, u"D:\\fk\\gone.fkl");
}

TEST(Startup, KeysPlayAfterTheFirstDataIsConsumed) {
  Rig rig;
  rig.PutSettings(u"FkNameT=C:\\work\\a.fkl *\r\nFileOn=1 *\r\nFkModel=X8000 *\r\n");
  rig.PutLayout(u"C:\\work\\a.fkl", u"", u"A");
  rig.r().Start();
  rig.t.Take();
  rig.Receive({0x1B, 0x21});
  EXPECT_EQ(rig.t.Take(), "");
  rig.Receive({0x1B, 0x21});
  EXPECT_EQ(rig.t.Take(), "key 65 down\nkey 65 up\n");
}

TEST(Startup, KeysRefusedByTheWindowInFrontAreToldInABalloonNamingIt) {
  Rig rig;
  rig.StartWithLayout(u"FkModel=X8000 *\r\n");
  rig.Receive({0x1B, 0x21});
  rig.foreground.front = {7, u"cmd", true};
  rig.Receive({0x1B, 0x21});
  EXPECT_EQ(rig.t.Take(),
            "balloon Vantrel: 「cmd」は管理者として実行されているため、キー入力を送れません。"
            "マクロは再生していません。Vantrel も管理者として実行してください。\n");
  // The advice must fit the balloon: a long title is cut, never inside a surrogate pair.
  EXPECT_TRUE(InputRefusedText(std::u16string(79, u'a') + u"\U00020BB7",
                               device::InputNotices::Refusal::kCutShort)
                  .ends_with(u"a…」がキー入力を受け付けなかったため、マクロを途中で止めました。"
                             u"管理者として実行されているウィンドウなら、Vantrel も管理者として"
                             u"実行してください。"));
}

TEST(SecondInstance, ShowsTheMessageAndEndsWithoutTouchingAnything) {
  Rig rig;
  rig.platform.another_instance = true;
  rig.PutSettings(u"ComS=2 *\r\n");
  rig.r().Start();
  EXPECT_EQ(rig.t.Take(), "message Vantrel が既に起動しています\nquit\n");
  EXPECT_EQ(rig.files.reads, 0);
  EXPECT_TRUE(rig.r().AlreadyRunning());
  rig.r().Shutdown();
  rig.r().Exit();
  EXPECT_EQ(rig.t.Take(), "");
  EXPECT_EQ(rig.files.files.at(u"C:\\work\\Vantrel.sys"), rig.codec.Encode(u"ComS=2 *\r\n"));
  EXPECT_TRUE(rig.timers.due.empty());
}

TEST(Shutdown, WritesSettingsThenPutsTheLampsOutClosesAndRemovesTheIcon) {
  Rig rig;
  rig.PutSettings(u"FkNameT=C:\\work\\a.fkl *\r\nFileOn=1 *\r\nComS=3 *\r\nFkModel=X8000 *\r\n");
  rig.PutLayout(u"C:\\work\\a.fkl", u"", u"A");
  rig.r().Start();
  rig.r().settings().Form2Top = -120;
  rig.t.Take();
  rig.r().Shutdown();
  EXPECT_EQ(rig.t.Take(), std::string("save C:\\work\\Vantrel.sys\n") + kX8000LampsOff +
                              "\nclose\ntray delete active Quillbox\nquit\n");
  Settings expected;
  expected.FkNameT = u"C:\\work\\a.fkl";
  expected.FileOn = 1;
  expected.ComS = 3;
  expected.FkModel = u"X8000";
  expected.Form2Top = -120;
  const std::string written = rig.files.files.at(u"C:\\work\\Vantrel.sys");
  EXPECT_EQ(written, WriteSettings(expected, rig.codec));
  EXPECT_NE(written.find("ComS=3                     * "), std::string::npos);
  // Runs once, whatever else asks for it afterwards.
  rig.r().Shutdown();
  rig.r().Exit();
  rig.Advance(5000);
  rig.Receive({0x1B, 0x21});
  EXPECT_EQ(rig.t.Take(), "");
  EXPECT_TRUE(rig.timers.due.empty());
}

TEST(Shutdown, ReleasesKeysThatSplitModeHolds) {
  Rig rig;
  rig.PutSettings(u"FkNameT=C:\\work\\a.fkl *\r\nFileOn=1 *\r\nFkModel=X8000 *\r\n");
  rig.Put(u"C:\\work\\a.fkl", u"\r\n1\r\n分割,#Shift\r\n");
  rig.r().Start();
  rig.Receive({0x1B, 0x21});
  rig.Receive({0x1B, 0x21});
  EXPECT_NE(rig.t.Take().find("key 16 down\n"), std::string::npos);
  rig.r().Shutdown();  // a close from outside: no exit command ran ReleaseHeldKeys first
  EXPECT_EQ(rig.t.Take().rfind("key 16 up\nsave ", 0), 0u);
}

TEST(Shutdown, WhileHandedOverLeavesTheClosedPortAlone) {
  Rig rig;
  rig.PutSettings(u"Timer1On=1 *\r\n");
  rig.r().Start();
  rig.platform.title = u"MC/W 図面";
  rig.Advance(1000);
  ASSERT_FALSE(rig.r().WantsPort());
  rig.t.Take();
  rig.r().Exit();
  EXPECT_EQ(rig.t.Take(), "save C:\\work\\Vantrel.sys\ntray delete idle アイコン変更\nquit\n");
}

TEST(Shutdown, UnwritableSettingsAreReportedAfterTheDeviceAndIconAreReleased) {
  Rig rig;
  rig.files.read_only = true;
  rig.r().Start();
  rig.t.Take();
  rig.r().Shutdown();
  EXPECT_EQ(rig.t.Take(), std::string("save failed C:\\work\\Vantrel.sys\n") + kX8000LampsOff +
                              "\nclose\ntray delete idle Quillbox\n"
                              "error 設定ファイル C:\\work\\Vantrel.sys を保存できませんでした。\n"
                              "quit\n");
}

TEST(Startup, WorkDirAtADriveRootHasOneSeparator) {
  Rig rig;
  rig.platform.cwd = u"D:\\";
  rig.r().Start();
  EXPECT_EQ(rig.r().WorkingFolder(), u"D:\\");
}

}  // namespace
}  // namespace vantrel::shell::testing
