// The resident shell's life: start-up, single instance and shut-down, the tray icon's
// callback, the pop-up menu's commands and the recent layouts.
#include <gtest/gtest.h>

#include "shell/rig.h"

namespace vantrel::shell::testing {
namespace {

TEST(Startup, WithoutSettingsOpensCom1AndSendsTheSequenceOnceThenRefreshes) {
  Rig rig;
  EXPECT_EQ(rig.Do(&Resident::Start), "current \ntray idle Quillbox\n" + OpenAsked(1, 2048) +
                                          "list C:\\work\\\nrecent [] [] [] [] []\n" + Opened(1) +
                                          kStartupFrame);
  EXPECT_EQ(rig.timers.In("refresh"), 500);
  EXPECT_EQ(rig.Advance(10500), kRefresh);
}

TEST(Startup, AnyNonZeroFileOnLoadsTheLayoutButOnlyTimer1OnOneStartsTheHandOver) {
  Rig rig;
  rig.PutSettings(u"FkNameT=D:\\fk\\plate.fkl *\r\nFileOn=2 *\r\nTimer1On=2 *\r\n");
  rig.PutLayout(u"D:\\fk\\plate.fkl", u"部品", u"A");
  rig.r().Start();
  EXPECT_FALSE(rig.timers.Armed("handover"));
  EXPECT_TRUE(rig.Take().starts_with("current \ntray active Quillbox\ncurrent plate\n"));
  rig.Receive({0x1B, 0x21});  // the first data, after which the ticks would resume
  EXPECT_FALSE(rig.timers.Armed("handover"));

  // A missing layout: idle, and its path kept for the next run.
  Rig on;
  on.PutSettings(u"FkNameT=D:\\fk\\gone.fkl *\r\nFileOn=1 *\r\nTimer1On=1 *\r\n");
  EXPECT_TRUE(on.Do(&Resident::Start).starts_with("current \ntray idle Quillbox\nopen COM1"));
  EXPECT_EQ(on.r().settings().layout_path, u"D:\\fk\\gone.fkl");
  EXPECT_EQ(on.timers.In("handover"), 1000);
}

TEST(Startup, KeysRefusedByTheWindowInFrontAreToldInABalloonNamingIt) {
  Rig rig;
  rig.StartWithLayout();
  rig.foreground.front = {7, u"cmd", true};
  EXPECT_EQ(rig.Receive({0x1B, 0x21}),
            "balloon Vantrel 「cmd」は Vantrel より高い権限で動いているため、Windows がキー入力を"
            "届けません。マクロは再生していません。そのプログラムを管理者としてではなく起動すると、"
            "FK キーが使えます。\n");
  // The advice must fit the balloon: a long title is cut, never inside a surrogate pair.
  EXPECT_TRUE(InputRefusedText(std::u16string(79, u'a') + u"\U00020BB7",
                               device::InputNotices::Refusal::kCutShort)
                  .ends_with(u"a…」がキー入力を受け付けなかったため、マクロを途中で止めました。"
                             u"入力を受け付けるウィンドウを前面にしてから、もう一度 FK キーを"
                             u"押してください。"));
}

// A file that exists but cannot be read (held by a sync tool, a placeholder, denied):
// the program runs on defaults and never writes its defaults over the user's settings.
TEST(Startup, FilesThatCannotBeReadAreToldAndTheSettingsNeverWrittenOver) {
  Rig rig;
  rig.PutSettings(u"ComS=3 *\r\n");
  rig.files.unreadable.insert(u"C:\\work\\Vantrel.sys");
  rig.platform.last_run_notice = u"前回の通知";
  EXPECT_NE(rig.Do(&Resident::Start)
                .find("tray idle Quillbox\nballoon Vantrel 前回の通知\n"
                      "balloon Vantrel 設定ファイル C:\\work\\Vantrel.sys を読み込めません"
                      "でした。既定の設定で動作し、終了時もこのファイルは書き換えません。\n" +
                      OpenAsked(1, 2048)),
            std::string::npos);
  EXPECT_EQ(rig.Do(&Resident::Shutdown), kLampsOff + "close\ntray removed\nquit\n");  // not saved

  // A start-up layout that cannot be read is no loaded layout.
  Rig held;
  held.PutSettings(u"FkNameT=C:\\fk\\a.fkl *\r\nFileOn=1 *\r\n");
  held.files.unreadable.insert(u"C:\\fk\\a.fkl");
  EXPECT_TRUE(held.Do(&Resident::Start)
                  .starts_with("current \ntray idle Quillbox\nballoon Vantrel " +
                               ToUtf8(LayoutUnreadableText(u"C:\\fk\\a.fkl")) + "\n"));
}

// Split mode's keys are never let go of into a window that drops input (their release
// would be lost and the key stay down for the session): they stay held, lamp dark, until a
// window that takes input comes to the front; the exit lets go whatever is in front.
TEST(Playback, KeysHeldBehindAWindowThatDropsInputAreLetGoOfOnceOneThatTakesItIsInFront) {
  Rig rig;
  rig.StartWithLayout();
  rig.HoldShift();
  rig.foreground.front = {7, u"管理者: cmd", true};
  EXPECT_EQ(rig.Receive({0x1B, 0x21}).find("key"), std::string::npos);
  EXPECT_EQ(rig.Do(&Resident::ForegroundChanged), "");
  rig.foreground.front = {8, u"メモ帳", false};
  rig.r().ForegroundChanged();
  EXPECT_EQ(rig.Do(&Resident::ForegroundChanged), "key 16 up\n");
  EXPECT_EQ(rig.Advance(500), kRefresh);

  rig.HoldShift();
  rig.foreground.front = {7, u"管理者: cmd", true};
  EXPECT_EQ(rig.Do(&Resident::Exit).substr(0, 10), "key 16 up\n");
}

// Text steps wait for their paste across the shell; the tray menu, a hand-over and the
// exit stop what waits.
TEST(Playback, TextStepsWaitForThePasteAndNothingPlaysIntoTheMenu) {
  Rig rig;
  rig.StartWithLayout(u"Timer1On=1 *\r\nFkModel=X8000 *\r\n");
  Assign(rig.r().table().Entry(1, 3), u"結合,*AB,*CD");
  const std::string paste = "mouse 8\nmouse 16\nkey 80 down\nkey 80 up\n";
  EXPECT_EQ(rig.Receive({0x1B, 0x23}), "clip AB\n" + paste);
  EXPECT_EQ(rig.Do(&Resident::OnPasteTaken), "clip CD\n" + paste);
  rig.r().MenuOpen(true);
  EXPECT_EQ(rig.Receive({0x1B, 0x21}) + rig.Advance(1000), "");
  rig.r().MenuOpen(false);
  EXPECT_EQ(rig.Receive({0x1B, 0x21}), kKeyA);
  // The editor opens while a macro waits: nothing of it plays into the editor.
  rig.Receive({0x1B, 0x23});
  rig.platform.editor = [&](const EditorSession&) {
    rig.r().OnPasteTaken();
    EXPECT_EQ(rig.Advance(2000).find("clip"), std::string::npos);
  };
  rig.r().OpenEditor();
  rig.platform.editor = nullptr;
  // The CAD program comes to the front while a macro waits: the rest is not for it.
  rig.Advance(1000);
  rig.Receive({0x1B, 0x23});
  rig.platform.title = u"MC/W";
  const std::string handed = rig.Advance(std::max(0L, rig.timers.In("handover")));
  rig.r().OnPasteTaken();
  EXPECT_EQ((handed + rig.Advance(2000)).find("clip"), std::string::npos);
  EXPECT_FALSE(rig.timers.Armed("text"));
}

TEST(SecondInstance, ShowsTheMessageAndEndsWithoutTouchingAnything) {
  Rig rig;
  rig.platform.another_instance = true;
  rig.PutSettings(u"ComS=2 *\r\n");
  EXPECT_EQ(rig.Do(&Resident::Start), "message Vantrel が既に起動しています\nquit\n");
  EXPECT_EQ(rig.files.reads, 0);
  rig.r().Shutdown();
  EXPECT_EQ(rig.Do(&Resident::Exit), "");
}

// A close from outside: no exit command ran ReleaseHeldKeys first.
TEST(Shutdown, ReleasesHeldKeysWritesSettingsThenPutsTheLampsOutClosesAndRemovesTheIcon) {
  Rig rig;
  rig.StartWithLayout(u"ComS=3 *\r\nFkModel=X8000 *\r\n");
  rig.r().settings().editor_top = -120;
  rig.HoldShift();
  EXPECT_EQ(rig.Do(&Resident::Shutdown),
            "key 16 up\nsave C:\\work\\Vantrel.sys\n" + kLampsOff + "close\ntray removed\nquit\n");
  EXPECT_EQ(rig.files.files.at(u"C:\\work\\Vantrel.sys"),
            WriteSettings({u"C:\\work\\a.fkl", -120, 0, 1, 0, 3, u"X8000"}, rig.codec));
  // Runs once, whatever else asks for it afterwards.
  rig.r().Shutdown();
  rig.r().Exit();
  EXPECT_EQ(rig.Advance(5000) + rig.Receive({0x1B, 0x21}), "");
  EXPECT_TRUE(rig.timers.due.empty());
}

TEST(Shutdown, UnwritableSettingsAreReportedAfterTheDeviceAndIconAreReleased) {
  Rig rig;
  rig.files.read_only = true;
  rig.Do(&Resident::Start);
  EXPECT_EQ(rig.Do(&Resident::Shutdown),
            "save failed C:\\work\\Vantrel.sys\n" + kLampsOff +
                "close\ntray removed\n"
                "error 設定ファイル C:\\work\\Vantrel.sys を保存できませんでした。\n"
                "quit\n");
  // At the end of the session a message box would hold up the sign-out.
  Rig ending;
  ending.files.read_only = true;
  ending.Do(&Resident::Start);
  EXPECT_NE(ending.Do(&Resident::EndSession)
                .find("keep 前回の終了時、設定ファイル C:\\work\\Vantrel.sys を保存でき"
                      "ませんでした。\nquit\n"),
            std::string::npos);
}

TEST(Tray, OnlyARightButtonPressOpensTheMenuAndNamesKeepTheFileNameUpToTheFirstDot) {
  for (std::uint32_t m : {0x200u, 0x201u, 0x202u, 0x203u, 0x204u, 0x205u, 0x206u, 0x209u})
    EXPECT_EQ(TrayMessageOpensMenu(m), m == 0x204) << m;
  EXPECT_EQ(LayoutDisplayName(u"C:\\work\\plate.fkl"), u"plate");
  EXPECT_EQ(LayoutDisplayName(u"C:\\cad.old\\plate.fkl"), u"cad");
  EXPECT_EQ(LayoutDisplayName(u"D:\\fk\\部品図"), u"部品図");
  EXPECT_EQ(LayoutDisplayName(u""), u"");
  EXPECT_EQ(RecentCaption(u"plate.old.fkl"), u"plate");
}

TEST(Recent, TheFirstFiveInListingOrderAndChoosingOneReleasesHeldKeysAndLoadsTheFileListed) {
  Rig rig;
  rig.platform.layouts = {u"x.fkl", u"plate.old.fkl", u"c.fkl", u"d.fkl", u"e.fkl", u"f.fkl"};
  rig.PutLayout(u"C:\\work\\plate.old.fkl", u"新", u"B");
  rig.PutLayout(u"C:\\work\\plate.fkl", u"別", u"C");
  EXPECT_NE(rig.StartWithLayout().find("recent [x] [plate] [c] [d] [e]\n"), std::string::npos);
  rig.r().table().Entry(2, 5).label = u"古い";
  rig.HoldShift();
  rig.platform.cwd = u"D:\\";  // the editor's file dialogs may have moved it, to a root even
  EXPECT_EQ(rig.Do(&Resident::ChooseRecent, 2), "key 16 up\ncurrent plate\n" + kIconChanged);
  EXPECT_EQ(rig.r().settings().layout_path, u"C:\\work\\plate.old.fkl");
  EXPECT_EQ(rig.r().WorkingFolder(), u"D:\\");
  EXPECT_EQ(rig.r().table().Entry(1, 1).label, u"新");
  EXPECT_EQ(rig.r().table().Entry(2, 5).label, u"");  // cleared before the load
  EXPECT_EQ(rig.timers.In("refresh"), 500);
  // A rebuilt tray gets the current icon again.
  EXPECT_EQ(rig.Do(&Resident::TrayRecreated), kIconChanged);
  // The settings stay where they were read.
  EXPECT_NE(rig.Do(&Resident::Shutdown).find("save C:\\work\\Vantrel.sys\n"), std::string::npos);
}

TEST(Recent, AMissingFileChangesOnlyTheStartupLayoutPathAndAnEmptyEntryNothing) {
  Rig rig;
  rig.platform.layouts = {u"gone.fkl", u"held.fkl"};
  rig.files.unreadable.insert(u"C:\\work\\held.fkl");
  rig.r().Start();
  rig.r().table().Entry(1, 1).label = u"そのまま";
  rig.Advance(500);
  EXPECT_EQ(rig.Do(&Resident::ChooseRecent, 1), "");
  EXPECT_EQ(rig.r().settings().layout_path, u"C:\\work\\gone.fkl");
  EXPECT_EQ(rig.r().table().Entry(1, 1).label, u"そのまま");
  // The lamps are refreshed all the same.
  EXPECT_EQ(rig.Advance(500), kRefresh);
  rig.r().ChooseRecent(5);
  EXPECT_EQ(rig.r().settings().layout_path, u"C:\\work\\gone.fkl");
  EXPECT_FALSE(rig.timers.Armed("refresh"));
  // One that cannot be read is told, and changes nothing more.
  EXPECT_EQ(rig.Do(&Resident::ChooseRecent, 2),
            "balloon Vantrel レイアウトファイル C:\\work\\held.fkl を読み込めませんでした。\n");
  EXPECT_EQ(rig.r().table().Entry(1, 1).label, u"そのまま");
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
    editor.settings.com_port = 4;
    editor.settings.fk_model = u"6094";
    editor.settings.layout_path = u"C:\\fk\\new.fkl";
  };
  EXPECT_EQ(rig.Do(&Resident::OpenEditor),
            "current new\n" + OpenAsked(4, 1024, true) + kIconChanged + Opened(4));
  EXPECT_EQ(rig.timers.In("refresh"), 500);
  EXPECT_EQ(rig.timers.In("handover"), 1000);
}

}  // namespace
}  // namespace vantrel::shell::testing
