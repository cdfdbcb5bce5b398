// Who has the device port: the hand-over to the CAD program and back, and a port
// that is missing or disappears.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "shell/rig.h"

namespace vantrel::shell::testing {
namespace {

constexpr char16_t kLayoutSettings[] =
    u"FkNameT=C:\\work\\a.fkl *\r\nFileOn=1 *\r\nTimer1On=1 *\r\nFkModel=X8000 *\r\n";

// Started with the hand-over on, a layout playing "A" on key 1, the first data
// consumed and the start-up refresh done.
void StartPlaying(Rig& rig, std::u16string_view settings = kLayoutSettings) {
  rig.PutSettings(settings);
  rig.PutLayout(u"C:\\work\\a.fkl", u"", u"A");
  rig.r().Start();
  rig.Receive({0x1B, 0x21});
  rig.Advance(500);
  rig.t.Take();
}

// Key 2 holds Shift in split mode, and is pressed.
void HoldShiftWithKey2(Rig& rig) {
  KeyEntry& e = rig.r().table().Entry(1, 2);
  e.mode = u"分割";
  e.count = 1;
  e.marker[1] = u"#";
  e.body[1] = u"Shift";
  rig.Receive({0x1B, 0x22});
  rig.t.Take();
}

// Runs the clock to the next hand-over tick, and through it.
void Tick(Rig& rig) {
  ASSERT_TRUE(rig.timers.Armed("handover"));
  rig.Advance(rig.timers.In("handover"));
}

TEST(HandOver, TitlePrefixesAreCaseSensitiveAndAtTheStart) {
  for (const char16_t* title : {u"Helix Drafting", u"Helix Drafting - 部品.dwg", u"MC/W",
                                u"MC/W 図面", u"MICRO CADAM/W", u"MICRO CADAM/W V5"}) {
    EXPECT_TRUE(IsHandOverTitle(title)) << ToUtf8(title);
  }
  for (const char16_t* title : {u"helix drafting", u"mc/w", u"Micro Cadam/W", u"メモ帳 - MC/W",
                                u" MC/W", u"MC/", u"Helix", u""}) {
    EXPECT_FALSE(IsHandOverTitle(title)) << ToUtf8(title);
  }
}

TEST(HandOver, TheCadWindowGetsThePortOnceAndTheIconEveryTick) {
  Rig rig;
  StartPlaying(rig);
  rig.platform.title = u"MC/W 図面";
  Tick(rig);
  EXPECT_EQ(rig.t.Take(),
            std::string("tray modify idle アイコン変更\n") + kX8000LampsOff + "\nclose\n");
  EXPECT_FALSE(rig.r().WantsPort());
  Tick(rig);
  Tick(rig);
  EXPECT_EQ(rig.t.Take(), "tray modify idle アイコン変更\ntray modify idle アイコン変更\n");
  EXPECT_EQ(rig.timers.In("handover"), 1000);
}

TEST(HandOver, KeysHeldBySplitModeAreReleasedBeforeTheCadProgramGetsTheDevice) {
  Rig rig;
  StartPlaying(rig);
  HoldShiftWithKey2(rig);
  rig.platform.title = u"MC/W 図面";
  Tick(rig);
  EXPECT_EQ(rig.t.Take(), std::string("tray modify idle アイコン変更\nkey 16 up\n") +
                              kX8000LampsOff + "\nclose\n");
}

TEST(HandOver, AnotherWindowTakesThePortBackAndRefreshesTheLamps) {
  Rig rig;
  StartPlaying(rig);
  rig.platform.title = u"MICRO CADAM/W";
  Tick(rig);
  rig.t.Take();
  rig.platform.title = u"";  // no window in front counts as another window
  Tick(rig);
  EXPECT_EQ(rig.t.Take(), "tray modify active アイコン変更\n" + OpenLines(1, 1024));
  EXPECT_TRUE(rig.r().WantsPort());
  rig.Advance(500);
  EXPECT_EQ(rig.t.Take(), std::string(kX8000Refresh) + "\n");
  rig.Receive({0x1B, 0x21});
  EXPECT_EQ(rig.t.Take(), "key 65 down\nkey 65 up\n");
  rig.Advance(3000);  // held, nothing more to do
  EXPECT_EQ(rig.t.Take(), "");
}

TEST(HandOver, WithoutALayoutTheIdleIconStaysOnTakingBack) {
  Rig rig;
  rig.PutSettings(u"Timer1On=1 *\r\n");
  rig.r().Start();
  rig.platform.title = u"MC/W";
  Tick(rig);
  rig.platform.title = u"メモ帳";
  rig.t.Take();
  Tick(rig);
  EXPECT_EQ(rig.t.Take(), OpenLines(1, 1024));
}

TEST(HandOver, OffUnlessTimer1OnIsOne) {
  Rig rig;
  StartPlaying(rig, u"Timer1On=0 *\r\nFkModel=X8000 *\r\n");
  rig.platform.title = u"MC/W";
  rig.Advance(10000);
  EXPECT_EQ(rig.t.Take(), "");
  EXPECT_TRUE(rig.serial.open);
}

TEST(HandOver, AFailedTakeBackRetriesEverySecondAndTellsTheUserOnce) {
  Rig rig;
  StartPlaying(rig);
  rig.platform.title = u"MC/W";
  Tick(rig);
  rig.platform.title = u"メモ帳";
  rig.serial.present = false;  // the CAD program still has it
  rig.t.Take();
  Tick(rig);
  std::string t = rig.t.Take();
  EXPECT_NE(t.find("open failed COM1\nballoon Vantrel: COM1 を開けません。"), std::string::npos)
      << t;
  rig.Advance(3000);
  t = rig.t.Take();
  EXPECT_EQ(t.find("balloon"), std::string::npos);
  EXPECT_NE(t.find("open failed COM1\n"), std::string::npos);
  rig.serial.present = true;
  rig.Advance(1000);
  EXPECT_EQ(rig.t.Take(), OpenLines(1, 1024) + kStartupFrame + "\n");
  rig.Advance(500);
  EXPECT_EQ(rig.t.Take(), std::string(kX8000Refresh) + "\n");
}

TEST(HandOver, TicksLetMessagesRunButNeverCloseThePortInTheMiddleOfAKey) {
  Rig rig;
  StartPlaying(rig);
  int pumps = 0;
  rig.platform.pump = [&] {
    if (++pumps == 1) rig.Receive({0x1B});  // an ESC whose code byte is still on the line
  };
  rig.platform.title = u"MC/W";
  Tick(rig);
  EXPECT_TRUE(rig.serial.open);
  EXPECT_FALSE(rig.timers.Armed("handover"));
  rig.Receive({0x21});
  EXPECT_EQ(rig.t.Take(), "key 65 down\nkey 65 up\n");
  EXPECT_EQ(rig.timers.In("handover"), 1000);
  Tick(rig);
  EXPECT_FALSE(rig.serial.open);
  EXPECT_EQ(pumps, 2);
}

TEST(HandOver, TicksStartAgainWheneverTheShellStopsWaiting) {
  const std::function<void(Rig&)> interruptions[] = {
      [](Rig& rig) { rig.Advance(50); },  // a lone ESC times out
      [](Rig& rig) { rig.r().OnPortLost(); },
      [](Rig& rig) {
        rig.serial.present = false;
        rig.r().OnPortLost();
        rig.serial.present = true;
        rig.timers.Disarm(ShellTimer::kHandOver);  // a retry alone must bring them back
        rig.Advance(1000);
      },
  };
  for (const auto& interrupt : interruptions) {
    Rig rig;
    StartPlaying(rig);
    rig.Receive({0x1B});
    EXPECT_FALSE(rig.timers.Armed("handover"));
    interrupt(rig);
    EXPECT_EQ(rig.timers.In("handover"), 1000);
  }
  // The same while the first data is still being gathered.
  Rig rig;
  rig.PutSettings(u"Timer1On=1 *\r\n");
  rig.r().Start();
  rig.Receive({'A', 'B', 'C'});
  EXPECT_FALSE(rig.timers.Armed("handover"));
  rig.r().OnPortLost();
  EXPECT_EQ(rig.timers.In("handover"), 1000);
}

TEST(Detection, ADetected6094GetsItsLineSettingsAtOnceAndKey1Plays) {
  Rig rig;
  rig.StartWithLayout();
  rig.Receive({0x03});
  EXPECT_EQ(rig.t.Take(), "close\n" + OpenLines(1, 2048, "9600,o,8,1", false));
  EXPECT_EQ(rig.r().settings().FkModel, u"6094");
  rig.Advance(550);
  EXPECT_EQ(rig.t.Take(), "port 08\nport 94 FF FF FF FF\nreopen\n");
  rig.Receive({0x00});
  EXPECT_EQ(rig.t.Take(), "key 65 down\nkey 65 up\n");
  // Another model keeps the settings the port has.
  Rig x;
  x.r().Start();
  x.t.Take();
  x.Receive({'I', 'D', '0', '1', '2', '3', '4', '5', '6', '7', '~', '1', '2', '3', '4', '5',
             '6', '7', '8', '9', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '1'});
  EXPECT_EQ(x.r().settings().FkModel, u"48G9995");
  EXPECT_EQ(x.t.Take(), "");
}

TEST(Outage, APortMissingAtStartupIsWaitedForAndThenStartedAsUsual) {
  Rig rig;
  rig.serial.present = false;
  rig.PutSettings(u"ComS=3 *\r\nFkModel=X8000 *\r\n");
  rig.r().Start();
  EXPECT_EQ(rig.t.Take(),
            "File0=\ntray add idle Quillbox\n"
            "CommPort=3\nSettings=9600,n,8,1\nInBufferSize=2048\nRThreshold=1\nInputLen=0\n"
            "NullDiscard=1\nopen failed COM3\n"
            "balloon Vantrel: COM3 を開けません。FK キーボードの接続を待っています。\n"
            "list C:\\work\\\nrecent [] [] [] [] []\n");
  EXPECT_FALSE(rig.timers.Armed("refresh"));
  rig.Advance(5000);
  const std::string waiting = rig.t.Take();
  EXPECT_EQ(waiting.find("balloon"), std::string::npos);
  EXPECT_EQ(waiting.find("WRITE"), std::string::npos);
  EXPECT_EQ(std::count(waiting.begin(), waiting.end(), '\n'), 5 * 7);  // one try a second
  rig.serial.present = true;
  rig.Advance(1000);
  EXPECT_EQ(rig.t.Take(), OpenLines(3, 1024) + kStartupFrame + "\n");
  rig.Advance(500);
  EXPECT_EQ(rig.t.Take(), std::string(kX8000Refresh) + "\n");
  EXPECT_FALSE(rig.timers.Armed("reconnect"));
}

TEST(Outage, ALostPortReleasesHeldKeysAndComesBackWithTheLampsRefreshed) {
  Rig rig;
  StartPlaying(rig, u"FkNameT=C:\\work\\a.fkl *\r\nFileOn=1 *\r\nFkModel=X8000 *\r\n");
  HoldShiftWithKey2(rig);
  rig.serial.present = false;
  rig.r().OnPortLost();
  EXPECT_EQ(rig.t.Take(),
            "close\nkey 16 up\n"
            "balloon Vantrel: COM1 との接続が切れました。FK キーボードの接続を待っています。\n");
  rig.r().OnPortLost();  // the serial layer may say it twice
  rig.Advance(2000);
  EXPECT_EQ(rig.t.Take().find("balloon"), std::string::npos);
  rig.serial.present = true;
  rig.Advance(1000);
  EXPECT_EQ(rig.t.Take(), OpenLines(1, 1024) + kStartupFrame + "\n");
  rig.Advance(500);
  rig.t.Take();
  rig.Receive({0x1B, 0x21});
  EXPECT_EQ(rig.t.Take(), "key 65 down\nkey 65 up\n");
  // A later outage is told again.
  rig.serial.present = false;
  rig.r().OnPortLost();
  EXPECT_NE(rig.t.Take().find("balloon"), std::string::npos);
}

TEST(Outage, APortThatFailsToReopenAfterARefreshCountsAsLost) {
  Rig rig;
  rig.r().Start();
  rig.serial.present = false;
  rig.t.Take();
  rig.Advance(500);
  EXPECT_NE(rig.t.Take().find("reopen\nballoon Vantrel: COM1 との接続が切れました。"),
            std::string::npos);
  EXPECT_EQ(rig.timers.In("reconnect"), 1000);
}

TEST(Outage, TheHandOverStopsTheRetriesAndTheCadProgramKeepsThePort) {
  Rig rig;
  rig.serial.present = false;
  rig.PutSettings(u"Timer1On=1 *\r\n");
  rig.r().Start();
  rig.platform.title = u"MC/W";
  rig.Advance(1000);
  rig.t.Take();
  rig.serial.present = true;
  rig.Advance(5000);
  EXPECT_EQ(rig.t.Take().find("open"), std::string::npos);
  EXPECT_FALSE(rig.serial.open);
}

TEST(Outage, AnEditorClosingOnAMissingPortWaitsForIt) {
  Rig rig;
  rig.r().Start();
  rig.Advance(500);
  rig.platform.editor = [&](const EditorSession&) { rig.serial.present = false; };
  rig.r().Editor();
  EXPECT_NE(rig.t.Take().find("open failed COM1\nballoon Vantrel: COM1 を開けません。"),
            std::string::npos);
  rig.serial.present = true;
  rig.Advance(1000);
  EXPECT_TRUE(rig.serial.open);
}

TEST(Outage, ShutdownDuringAnOutageWritesNothingToThePort) {
  Rig rig;
  rig.serial.present = false;
  rig.r().Start();
  rig.t.Take();
  rig.r().Shutdown();
  EXPECT_EQ(rig.t.Take(), "save C:\\work\\Vantrel.sys\ntray delete idle Quillbox\nquit\n");
  EXPECT_TRUE(rig.timers.due.empty());
}

}  // namespace
}  // namespace vantrel::shell::testing
