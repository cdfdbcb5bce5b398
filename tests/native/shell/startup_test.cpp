// Start-up, single instance and shut-down of the resident shell.
#include <gtest/gtest.h>

#include "shell/rig.h"

namespace vantrel::shell::testing {
namespace {

TEST(Startup, WithoutSettingsOpensCom1AndSendsTheSequenceOnceThenRefreshes) {
  Rig rig;
  rig.r().Start();
  EXPECT_EQ(rig.t.Take(), "File0=\ntray add idle Quillbox\n" + OpenLines(1, 2048) +
                              "list C:\\work\\\nrecent [] [] [] [] []\n" + kStartupFrame);
  EXPECT_FALSE(rig.timers.Armed("handover"));
  EXPECT_EQ(rig.timers.In("refresh"), 500);
  EXPECT_EQ(rig.Advance(499), "");
  EXPECT_EQ(rig.Advance(10001), kRefresh);
  EXPECT_TRUE(rig.r().WantsPort());
  EXPECT_FALSE(rig.r().LayoutLoaded());
}

TEST(Startup, LineSettingsFollowTheModel) {
  for (auto [model, is_6094] :
       {std::pair{u"6094", true}, {u"48G9995", false}, {u"X8000", false}, {u"", false}}) {
    Rig rig;
    rig.PutSettings(u"ComS=3 *\r\nFkModel=" + std::u16string(model) + u" *\r\n");
    rig.r().Start();
    EXPECT_NE(rig.t.Take().find(OpenLines(3, 2048, is_6094, !is_6094)), std::string::npos)
        << ToUtf8(model);
  }
}

TEST(Startup, AnyNonZeroFileOnLoadsTheLayoutButOnlyTimer1OnOneStartsTheHandOver) {
  Rig rig;
  rig.PutSettings(u"FkNameT=D:\\fk\\plate.fkl *\r\nFileOn=2 *\r\nTimer1On=2 *\r\n");
  rig.PutLayout(u"D:\\fk\\plate.fkl", u"部品", u"A");
  rig.r().Start();
  const std::string t = rig.t.Take();
  rig.Receive({0x1B, 0x21});  // the first data, after which the ticks would resume
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

TEST(Startup, KeysRefusedByTheWindowInFrontAreToldInABalloonNamingIt) {
  Rig rig;
  rig.StartWithLayout();
  rig.foreground.front = {7, u"cmd", true};
  EXPECT_EQ(rig.Receive({0x1B, 0x21}),
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

// A close from outside: no exit command ran ReleaseHeldKeys first.
TEST(Shutdown, ReleasesHeldKeysWritesSettingsThenPutsTheLampsOutClosesAndRemovesTheIcon) {
  Rig rig;
  rig.StartWithLayout(u"ComS=3 *\r\nFkModel=X8000 *\r\n");
  rig.r().settings().Form2Top = -120;
  rig.HoldShift();
  rig.r().Shutdown();
  EXPECT_EQ(rig.t.Take(), "key 16 up\nsave C:\\work\\Vantrel.sys\n" + kLampsOff +
                              "close\ntray delete active Quillbox\nquit\n");
  const std::string written = rig.files.files.at(u"C:\\work\\Vantrel.sys");
  EXPECT_EQ(written, WriteSettings({u"C:\\work\\a.fkl", -120, 0, 1, 0, 3, u"X8000"}, rig.codec));
  EXPECT_NE(written.find("ComS=3                     * "), std::string::npos);
  // Runs once, whatever else asks for it afterwards.
  rig.r().Shutdown();
  rig.r().Exit();
  EXPECT_EQ(rig.Advance(5000) + rig.Receive({0x1B, 0x21}), "");
  EXPECT_TRUE(rig.timers.due.empty());
}

TEST(Shutdown, WhileHandedOverLeavesTheClosedPortAlone) {
  Rig rig;
  rig.PutSettings(u"Timer1On=1 *\r\n");
  rig.r().Start();
  rig.platform.title = u"MC/W 図面";
  rig.Advance(1000);
  ASSERT_FALSE(rig.r().WantsPort());
  rig.r().Exit();
  EXPECT_EQ(rig.t.Take(), "save C:\\work\\Vantrel.sys\ntray delete idle アイコン変更\nquit\n");
}

TEST(Shutdown, UnwritableSettingsAreReportedAfterTheDeviceAndIconAreReleased) {
  Rig rig;
  rig.files.read_only = true;
  rig.r().Start();
  rig.t.Take();
  rig.r().Shutdown();
  EXPECT_EQ(rig.t.Take(), "save failed C:\\work\\Vantrel.sys\n" + kLampsOff +
                              "close\ntray delete idle Quillbox\n"
                              "error 設定ファイル C:\\work\\Vantrel.sys を保存できませんでした。\n"
                              "quit\n");
}

}  // namespace
}  // namespace vantrel::shell::testing
