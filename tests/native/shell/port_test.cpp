// Who has the device port: the hand-over to the CAD program and back, and a port
// that is missing or disappears.
#include <gtest/gtest.h>

#include <algorithm>

#include "shell/rig.h"

namespace vantrel::shell::testing {
namespace {

constexpr char16_t kHandOverOn[] = u"Timer1On=1 *\r\nFkModel=X8000 *\r\n";

// Runs the clock to the next hand-over tick, and through it.
std::string Tick(Rig& rig) {
  EXPECT_TRUE(rig.timers.Armed("handover"));
  return rig.Advance(std::max(0L, rig.timers.In("handover")));
}

// The balloon while the port is missing.
std::string Missing(int com) {
  return "balloon Vantrel " + ToUtf8(PortUnavailableText(com)) + "\n";
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

TEST(HandOver, TheCadWindowGetsThePortOnceWithHeldKeysLetGoAndAnotherWindowTakesItBack) {
  Rig rig;
  rig.StartWithLayout(kHandOverOn);
  rig.HoldShift();
  rig.platform.title = u"MC/W 図面";
  EXPECT_EQ(Tick(rig), kIdleChanged + "key 16 up\n" + kLampsOff + "close\n");
  rig.platform.title = u"";  // no window in front counts as another window
  EXPECT_EQ(Tick(rig), kIconChanged + OpenLines(1, 1024));
  EXPECT_EQ(rig.Advance(500), kRefresh);
  EXPECT_EQ(rig.Receive({0x1B, 0x21}), kKeyA);
  EXPECT_EQ(rig.Advance(3000), "");  // the port kept, nothing more to do
}

TEST(HandOver, AFailedTakeBackRetriesEverySecondTellsTheUserOnceAndStopsForTheCadProgram) {
  Rig rig;
  rig.PutSettings(kHandOverOn);
  rig.r().Start();
  rig.platform.title = u"MC/W";
  Tick(rig);
  rig.platform.title = u"メモ帳";
  rig.serial.present = false;  // the CAD program still has it
  const std::string failed = OpenLines(1, 1024, false, false);
  EXPECT_EQ(Tick(rig),
            failed + "balloon Vantrel COM1 を開けません。FK キーボードの接続を待っています。\n");
  EXPECT_EQ(rig.Advance(3000), Repeat(failed, 3));
  // The CAD program in front again: no more retries, and it keeps the port; a tick a second.
  rig.platform.title = u"MC/W";
  rig.Advance(1000);
  rig.serial.present = true;
  EXPECT_EQ(rig.Advance(5000), Repeat(kIdleChanged, 5));
  // The editor leaves the lamps alone while handed over; without a layout, no refresh.
  EXPECT_EQ(rig.Do(&Resident::OpenEditor),
            "editor\n" + OpenAsked(1, 1024) + kIdleChanged + Opened(1));
  EXPECT_EQ(Tick(rig), kIdleChanged + kLampsOff + "close\n");  // handed over again
  // Without a layout the idle icon stays when the port is taken back.
  rig.platform.title = u"メモ帳";
  EXPECT_EQ(Tick(rig), OpenLines(1, 1024));
}

TEST(HandOver, TicksLetMessagesRunButNeverCloseThePortInTheMiddleOfAKey) {
  Rig rig;
  rig.StartWithLayout(kHandOverOn);
  int pumps = 0;
  rig.platform.pump = [&] {
    if (++pumps == 1) rig.Receive({0x1B});  // an ESC whose code byte is still on the line
  };
  rig.platform.title = u"MC/W";
  EXPECT_EQ(Tick(rig), "");
  EXPECT_FALSE(rig.timers.Armed("handover"));
  EXPECT_EQ(rig.Receive({0x21}), kKeyA);
  EXPECT_EQ(Tick(rig), kIdleChanged + kLampsOff + "close\n");
  EXPECT_EQ(pumps, 2);
}

TEST(HandOver, TicksStartAgainWheneverTheShellStopsWaiting) {
  const std::pair<bool, std::function<void(Rig&)>> cases[] = {
      {false, [](Rig& rig) { rig.Advance(50); }},  // a lone ESC times out
      {false, [](Rig& rig) { rig.r().OnPortLost(); }},
      {false,
       [](Rig& rig) {
         rig.serial.present = false;
         rig.r().OnPortLost();
         rig.serial.present = true;
         rig.timers.Disarm(ShellTimer::kHandOver);  // a retry alone must bring them back
         rig.Advance(1000);
       }},
      {true, [](Rig& rig) { rig.r().OnPortLost(); }},  // while the first data is gathered
  };
  for (const auto& [gathering, interrupt] : cases) {
    Rig rig;
    rig.StartWithLayout(kHandOverOn, !gathering);
    rig.Receive(gathering ? std::vector<std::uint8_t>{'A', 'B', 'C'}
                          : std::vector<std::uint8_t>{0x1B});
    EXPECT_FALSE(rig.timers.Armed("handover"));
    interrupt(rig);
    EXPECT_EQ(rig.timers.In("handover"), 1000);
  }
}

// Detection reopens the port only when the model named needs other line settings.
TEST(Detection, ADetected6094GetsItsLineSettingsAtOnceAndKey1Plays) {
  Rig rig;
  rig.StartWithLayout(u"", false);
  EXPECT_EQ(rig.Receive({0x03}), "close\n" + OpenLines(1, 2048, true));
  EXPECT_EQ(rig.Advance(550), "port 08\nport 94 FF FF FF FF\nreopen\n");
  EXPECT_EQ(rig.Receive({0x00}), kKeyA);
  // Noise beyond what a hand can press stops playing, and the user is told why.
  EXPECT_EQ(rig.Receive(std::vector<std::uint8_t>(25, 0)),
            Repeat(kKeyA, 19) + "balloon Vantrel " + Str(kFloodingText) + "\n");
  Rig x;
  x.Do(&Resident::Start);
  std::vector<std::uint8_t> id(32, '0');
  id[10] = '~';
  EXPECT_EQ(x.Receive(id), "");
  EXPECT_EQ(x.r().settings().fk_model, u"48G9995");
}

TEST(Outage, AMissingOrLostPortIsWaitedForWithTheUserToldOnceAndThenStartedAsUsual) {
  Rig rig;
  rig.serial.present = false;
  rig.PutSettings(u"ComS=3 *\r\nFkModel=48G9995 *\r\n");
  EXPECT_EQ(rig.Do(&Resident::Start), "current \ntray idle Quillbox\n" + OpenAsked(3, 2048) +
                                          "list C:\\work\\\nrecent [] [] [] [] []\n" +
                                          Opened(3, false) + Missing(3));
  EXPECT_FALSE(rig.timers.Armed("refresh"));
  EXPECT_EQ(rig.Advance(5000), Repeat(OpenLines(3, 1024, false, false), 5));  // once a second
  rig.serial.present = true;
  const std::string back =
      OpenLines(3, 1024) + kStartupFrame + Sent(Refresh(device::Model::k48G9995));
  EXPECT_EQ(rig.Advance(1500), back);
  EXPECT_FALSE(rig.timers.Armed("reconnect"));

  // Lost under a held key: the key is let go and the user told once.
  rig.Receive({0x1B, 0x21});  // the first data
  rig.HoldShift();
  rig.serial.present = false;
  EXPECT_EQ(rig.Do(&Resident::OnPortLost),
            "close\nkey 16 up\n"
            "balloon Vantrel COM3 との接続が切れました。FK キーボードの接続を待っています。\n");
  rig.r().OnPortLost();  // the serial layer may say it twice
  EXPECT_EQ(rig.Advance(2000), Repeat(OpenLines(3, 1024, false, false), 2));
  rig.serial.present = true;
  EXPECT_EQ(rig.Advance(1500), back);
  // A device started anew sends its identification first: that plays no key.
  Assign(rig.r().table().Entry(1, 1), u"結合,#A");
  EXPECT_EQ(rig.Receive({0x1B, 0x21}), "");
  EXPECT_EQ(rig.Receive({0x1B, 0x21}), kKeyA);
  // An editor closing on a missing port: a later outage is told again, and waited for.
  rig.platform.editor = [&](const EditorSession&) { rig.serial.present = false; };
  EXPECT_EQ(rig.Do(&Resident::OpenEditor), Sent(LampsOff(device::Model::k48G9995)) +
                                               "close\neditor\n" + OpenAsked(3, 1024) +
                                               kIdleChanged + Opened(3, false) + Missing(3));
  rig.serial.present = true;
  EXPECT_EQ(rig.Advance(1000), OpenLines(3, 1024) + kStartupFrame);
}

TEST(Outage, APortThatFailsToReopenAfterARefreshCountsAsLostAndShutdownLeavesItAlone) {
  Rig rig;
  rig.Do(&Resident::Start);
  rig.serial.present = false;
  EXPECT_EQ(rig.Advance(500),
            kRefresh + "lost\nclose\nballoon Vantrel " + ToUtf8(PortLostText(1)) + "\n");
  EXPECT_EQ(rig.timers.In("reconnect"), 1000);
  rig.r().Shutdown();  // nothing written to the port
  EXPECT_EQ(rig.Take(), "save C:\\work\\Vantrel.sys\ntray removed\nquit\n");
  EXPECT_TRUE(rig.timers.due.empty());
}

}  // namespace
}  // namespace vantrel::shell::testing
