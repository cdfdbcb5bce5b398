// Golden transcripts: bytes from the device in, frames and input events out.
#include "core/device/link.h"

#include "core/device/frames.h"

#include <gtest/gtest.h>

#include <string>

#include "rig.h"

namespace vantrel::device {
namespace {
using testing::Rig;

// What the port sees for a frame: its bytes, then the reopen it asks for.
std::string Sent(const Frame& f) {
  return "port " + testing::Hex(f.bytes) + "\n" + (f.reopen ? "reopen\n" : "");
}

// Key 2 of each model as the device sends it.
struct ModelCase {
  std::u16string name;
  Model model;
  std::initializer_list<std::uint8_t> key2;
};
const ModelCase kModels[] = {
    {u"X8000", Model::kX8000, {0x1B, 0x22}},
    {u"48G9995", Model::k48G9995, {0x1B, 0x22}},
    {u"6094", Model::k6094, {0x01}},
};

TEST(DeviceLinkFrames, StartupRefreshAndLampsOffPerModel) {
  for (const ModelCase& m : kModels) {
    Rig r(m.name);
    r.link.SendStartupSequence();
    r.link.ArmRefresh();
    r.link.OnTimer(LinkTimer::kRefresh);
    if (m.model == Model::k6094) {
      // The 6094 refresh takes two ticks 50 ms apart, and starts over on the next arming.
      r.link.OnTimer(LinkTimer::kRefresh);
      r.link.ArmRefresh();
      EXPECT_EQ(r.t.Take(), Sent(StartupSequence()) + "arm refresh 500\n" +
                                Sent(Refresh6094First()) + "arm refresh 50\n" +
                                Sent(Refresh(m.model)) + "arm refresh 500\n");
      r.link.OnTimer(LinkTimer::kRefresh);
      EXPECT_EQ(r.t.Take(), Sent(Refresh6094First()) + "arm refresh 50\n");
      r.link.OnTimer(LinkTimer::kRefresh);
      EXPECT_EQ(r.t.Take(), Sent(Refresh(m.model)));
    } else {
      EXPECT_EQ(r.t.Take(), Sent(StartupSequence()) + "arm refresh 500\n" + Sent(Refresh(m.model)));
    }
    r.link.LampsOff();
    EXPECT_EQ(r.t.Take(), Sent(LampsOff(m.model)));
  }
  // Any other model string is driven as an X8000.
  Rig other(u"x8000");
  other.link.OnTimer(LinkTimer::kRefresh);
  EXPECT_EQ(other.t.Take(), Sent(Refresh(Model::kX8000)));
}

TEST(DeviceLinkPlayback, JoinedChordsAndClicksPerModel) {
  for (const ModelCase& m : kModels) {
    Rig r(m.name);
    r.SkipFirstData();
    r.Set(1, 2, u"結合", {u"#Shift+Ctrl+A", u"#Shift+LeftClick", u"#Ctrl+ﾃﾝｷｰ＋"});
    r.Receive(m.key2);
    EXPECT_EQ(r.t.Take(),
              "key 16 down\nkey 17 down\nkey 65 down\nkey 65 up\nkey 17 up\nkey 16 up\n"
              "key 16 down\nmouse 2\nmouse 4\nkey 16 up\n"
              "key 17 down\nkey 107 down\nkey 107 up\nkey 17 up\n");
    EXPECT_EQ(r.link.CurrentKey(), 2);
    EXPECT_EQ(r.link.MouseState(), 1);
    EXPECT_FALSE(r.link.Holding());
  }
}

TEST(DeviceLinkPlayback, SplitKeyHoldsUntilPressedAgainPerModel) {
  for (const ModelCase& m : kModels) {
    Rig r(m.name);
    r.SkipFirstData();
    r.Set(1, 2, u"分割", {u"#Shift", u"#LeftClick"});
    r.Receive(m.key2);
    // Each split step darkens the key's lamp.
    const std::string hold = Sent(HoldLamp(m.model, 2));
    EXPECT_EQ(r.t.Take(), "key 16 down\n" + hold + "mouse 2\n" + hold);
    EXPECT_TRUE(r.link.Holding());
    EXPECT_EQ(r.link.HeldCount(), 2);
    // The second press relights the lamps and releases in reverse, and plays nothing.
    r.Receive(m.key2);
    EXPECT_EQ(r.t.Take(), Sent(ReleaseReset(m.model)) + "mouse 4\nkey 16 up\n");
    EXPECT_FALSE(r.link.Holding());
    // A third press plays it again.
    r.Receive(m.key2);
    EXPECT_EQ(r.t.Take(), "key 16 down\n" + hold + "mouse 2\n" + hold);
  }
}

TEST(DeviceLinkPlayback, AnotherKeyWhileHeldReleasesFirstThenPlays) {
  Rig r(u"X8000");
  r.SkipFirstData();
  r.Set(1, 2, u"分割", {u"#Ctrl+Alt"});
  r.Set(1, 3, u"分割", {u"#Shift"});
  r.Receive({0x1B, 0x22});
  r.t.Take();
  r.Receive({0x1B, 0x23});
  EXPECT_EQ(r.t.Take(), Sent(ReleaseReset(Model::kX8000)) + "key 18 up\nkey 17 up\nkey 16 down\n" +
                            Sent(HoldLamp(Model::kX8000, 3)));
  // ReleaseHeldKeys lets go without a frame, and the next press has nothing left to reset.
  r.link.ReleaseHeldKeys();
  r.link.ReleaseHeldKeys();
  EXPECT_EQ(r.t.Take(), "key 16 up\n");
  r.Set(1, 4, u"結合", {u"#A"});
  r.Receive({0x1B, 0x24});
  EXPECT_EQ(r.t.Take(), "key 65 down\nkey 65 up\n");
}

TEST(DeviceLinkPlayback, MouseButtonHeldChoosesThePageAndIsLetGoFirst) {
  Rig r(u"X8000");
  r.SkipFirstData();
  r.Set(1, 1, u"結合", {u"#A"});
  r.Set(2, 1, u"結合", {u"#B"});
  r.Set(3, 1, u"結合", {u"#C"});
  r.Set(4, 1, u"結合", {u"#D"});

  r.mouse.left = r.mouse.middle = r.mouse.right = true;  // left wins
  r.Receive({0x1B, 0x21});
  EXPECT_EQ(r.t.Take(), "mouse 4\nkey 66 down\nkey 66 up\n");
  EXPECT_EQ(r.link.MouseState(), 2);

  r.mouse.left = false;
  r.Receive({0x1B, 0x21});
  EXPECT_EQ(r.t.Take(), "mouse 64\nkey 67 down\nkey 67 up\n");
  EXPECT_EQ(r.link.MouseState(), 3);

  r.mouse.middle = false;
  r.Receive({0x1B, 0x21});
  EXPECT_EQ(r.t.Take(), "mouse 16\nkey 27 down\nkey 27 up\nkey 68 down\nkey 68 up\n");
  EXPECT_EQ(r.link.MouseState(), 4);

  // An empty page plays nothing; page 1 does not stand in for it.
  r.table.Entry(4, 1).count = 0;
  r.Receive({0x1B, 0x21});
  EXPECT_EQ(r.t.Take(), "mouse 16\nkey 27 down\nkey 27 up\n");
}

TEST(DeviceLinkPlayback, TextStepsPasteInEveryCaseAndReportInTheStatusLabel) {
  Rig r(u"6094");
  r.SkipFirstData();
  // Step 3 is counted but absent: an empty marker is a text step with empty text.
  r.Set(1, 1, u"分割", {u"*図面番号", u"*"});
  r.table.Entry(1, 1).count = 3;
  r.Receive({0x00});
  const std::string paste = "mouse 8\nmouse 16\nkey 80 down\nkey 80 up\n";
  EXPECT_EQ(r.t.Take(), "clip 図面番号\n" + paste + "clip \n" + paste + "clip \n" + paste);
  EXPECT_EQ(r.link.StatusLabel(), u"");
  EXPECT_FALSE(r.link.Holding());  // split mode concerns key steps only

  const std::pair<Clipboard::Result, std::u16string> failures[] = {
      {Clipboard::Result::kUnlockFailed, u"メモリのロック解除に失敗。"},
      {Clipboard::Result::kOpenFailed, u"クリップボードのオープンに失敗。"},
      {Clipboard::Result::kCloseFailed, u"クリップボードのクローズに失敗。"},
      {Clipboard::Result::kSetFailed, u"クリップボードへの設定に失敗。"},
      {Clipboard::Result::kOk, u"図面"},
  };
  r.Set(1, 1, u"結合", {u"*図面"});
  for (const auto& [result, label] : failures) {
    r.clipboard.result = result;
    r.Receive({0x00});
    EXPECT_EQ(r.t.Take(), "clip 図面\n" + paste);
    EXPECT_EQ(r.link.StatusLabel(), label);
  }
}

TEST(DeviceLinkPlayback, UnknownAndEmptyTokensSendNothing) {
  Rig r(u"X8000");
  r.SkipFirstData();
  // Nothing of an earlier token is repeated for a name the tables lack.
  r.Set(1, 1, u"結合", {u"#Shift+Foo+A", u"#", u"#+", u"#A+", u"#shift", u"#Ctrl++B"});
  r.Receive({0x1B, 0x21});
  EXPECT_EQ(r.t.Take(),
            "key 16 down\nkey 65 down\nkey 65 up\nkey 16 up\n"
            "key 65 down\nkey 65 up\n"
            "key 17 down\nkey 66 down\nkey 66 up\nkey 17 up\n");
  // A split step of nothing but unknown names holds nothing, yet still marks the key.
  r.Set(1, 2, u"分割", {u"#Bogus"});
  r.Receive({0x1B, 0x22});
  EXPECT_EQ(r.t.Take(), Sent(HoldLamp(Model::kX8000, 2)));
  EXPECT_EQ(r.link.HeldCount(), 0);
  r.Receive({0x1B, 0x22});
  EXPECT_EQ(r.t.Take(), Sent(ReleaseReset(Model::kX8000)));
}

// Nothing goes into a window that drops it or stays down behind a refusal; one notice a window.
TEST(DeviceLinkPlayback, RefusedInput) {
  Rig r(u"X8000");
  r.SkipFirstData();
  r.Set(1, 1, u"結合", {u"#Shift+A", u"*B"});
  r.Set(1, 2, u"分割", {u"#Ctrl", u"#Shift+A", u"#C"});
  r.Set(1, 3, u"結合", {u"*図面", u"#D"});
  r.Set(1, 4, u"分割", {u"#Alt"});
  const std::string reset = Sent(ReleaseReset(Model::kX8000));
  const struct {
    bool alt_held, blocked;  // alt_held: by key 4, before
    char16_t window;
    int key, accept;  // events the system takes (-1: all)
    std::string out;
  } cases[] = {
      {false, true, u'1', 1, -1, "blocked w1\n"},
      {true, true, u'2', 1, -1, reset + "key 18 up\nblocked w2\n"},
      {false, true, u'3', 5, -1, ""},  // a key without steps asks nothing
      {false, true, u'1', 1, -1, ""},  // told already
      {false, false, u'4', 1, 1,
       "key 16 down\nkey 65 down refused\nkey 16 up refused\ncut short w4\n"},
      {false, false, u'5', 2, 2,
       "key 17 down\n" + Sent(HoldLamp(Model::kX8000, 2)) +
           "key 16 down\nkey 65 down refused\nkey 16 up refused\n" + reset +
           "key 17 up refused\ncut short w5\n"},
      {false, false, u'6', 3, 0, "clip 図面\nmouse 8 refused\ncut short w6\n"},
      {true, false, u'7', 4, 0, reset + "key 18 up refused\ncut short w7\n"},
  };
  for (const auto& c : cases) {
    r.foreground.front = {};
    r.input.accept = -1;
    if (c.alt_held) r.Receive({0x1B, 0x24});
    r.t.Take();
    r.foreground.front = {c.window, u"w" + std::u16string(1, c.window), c.blocked};
    r.input.accept = c.accept;
    r.Receive({0x1B, static_cast<std::uint8_t>(0x20 + c.key)});
    EXPECT_EQ(r.t.Take(), c.out);
  }
}

std::string Presses(int n, int vk, const char* dir) {
  std::string out;
  for (int i = 0; i < n; ++i) out += "key " + std::to_string(vk) + " " + dir + "\n";
  return out;
}

TEST(DeviceLinkPlayback, CountsTokensAndHeldKeysAreBounded) {
  Rig r(u"X8000");
  r.SkipFirstData();

  // Counts above 60 play the 60 steps the table holds; negative counts play nothing.
  KeyEntry& e = r.table.Entry(1, 1);
  e.mode = u"結合";
  for (int s = 1; s <= kMaxSteps; ++s) {
    e.marker[static_cast<size_t>(s)] = u"#";
    e.body[static_cast<size_t>(s)] = u"A";
  }
  e.count = 32767;
  r.Receive({0x1B, 0x21});
  std::string sixty;
  for (int i = 0; i < 60; ++i) sixty += "key 65 down\nkey 65 up\n";
  EXPECT_EQ(r.t.Take(), sixty);
  e.count = -1;
  r.Receive({0x1B, 0x21});
  EXPECT_EQ(r.t.Take(), "");

  // A step presses at most 50 tokens. "1" is 49; 51 tokens, the last "2" beyond the limit.
  std::u16string step = u"#";
  for (int i = 0; i < 50; ++i) step += u"1+";
  step += u"2";
  r.Set(1, 2, u"結合", {step});
  r.Receive({0x1B, 0x22});
  EXPECT_EQ(r.t.Take(), Presses(50, 49, "down") + Presses(50, 49, "up"));

  // The held list keeps 60; what does not fit is let go at once, so nothing stays down.
  std::u16string fifty = u"#";
  for (int i = 0; i < 49; ++i) fifty += u"1+";
  fifty += u"1";
  std::u16string fifty_b = fifty;
  for (auto& c : fifty_b) c = c == u'1' ? u'3' : c;
  r.Set(1, 3, u"分割", {fifty, fifty_b});
  r.Receive({0x1B, 0x23});
  const std::string hold3 = Sent(HoldLamp(Model::kX8000, 3));
  EXPECT_EQ(r.t.Take(), Presses(50, 49, "down") + hold3 + Presses(50, 51, "down") +
                            Presses(40, 51, "up") + hold3);
  EXPECT_EQ(r.link.HeldCount(), 60);
  r.link.ReleaseHeldKeys();
  EXPECT_EQ(r.t.Take(), Presses(10, 51, "up") + Presses(50, 49, "up"));
}

TEST(DeviceLinkReceive, FirstDataIsConsumedWithoutAKey) {
  for (const ModelCase& m : kModels) {
    Rig r(m.name);
    r.Set(1, 2, u"結合", {u"#A"});
    EXPECT_FALSE(r.link.FirstDataSeen());
    r.Receive({});  // an empty read is no data
    EXPECT_FALSE(r.link.FirstDataSeen());
    r.Receive(m.key2);
    EXPECT_TRUE(r.link.FirstDataSeen());
    EXPECT_EQ(r.t.Take(), "");
    EXPECT_EQ(r.fk_model, m.name);  // a configured model is kept
    r.Receive(m.key2);
    EXPECT_EQ(r.t.Take(), "key 65 down\nkey 65 up\n");
  }
}

TEST(DeviceLinkReceive, FirstDataNamesAnUnknownModel) {
  auto detect = [](std::string data) {
    Rig r(u"");
    r.link.OnReceive(std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
    // Data of 3..31 characters is read again after 50 ms, up to 99 reads in all.
    for (int i = 0; i < 200 && r.link.Receiving(); ++i) r.link.OnTimer(LinkTimer::kGather);
    return std::string(r.fk_model.begin(), r.fk_model.end());
  };
  EXPECT_EQ(detect("\x03"), "6094");
  EXPECT_EQ(detect("\x03\x01\x02\x03"), "6094");
  EXPECT_EQ(detect("0123456789~0123456789012345678901"), "48G9995");
  EXPECT_EQ(detect("0123456789~"), "48G9995");
  EXPECT_EQ(detect("0123456789-0123456789012345678901"), "X8000");
  EXPECT_EQ(detect("\xA0"), "X8000");
  // Too short to hold an 11th character: not a 48G9995.
  EXPECT_EQ(detect("ABCDE"), "X8000");
  EXPECT_EQ(detect("~~~~~~~~~~"), "X8000");
  EXPECT_EQ(detect("\x1B\x21"), "");
  EXPECT_EQ(detect("\x01\x02\x03\x04"), "");
}

TEST(DeviceLinkReceive, FirstDataGathersOverReadsFiftyMillisecondsApart) {
  Rig r(u"");
  r.Set(1, 1, u"結合", {u"#A"});
  r.Receive({'0', '1', '2', '3', '4'});
  EXPECT_EQ(r.t.Take(), "arm gather 50\n");
  EXPECT_TRUE(r.link.Receiving());
  EXPECT_FALSE(r.link.FirstDataSeen());
  // More data, a key code among it, joins the first data; the next read sees it all.
  r.Receive({'5', '6', '7', '8', '9', '~', 0x1B, 0x21});
  EXPECT_EQ(r.t.Take(), "");
  r.link.OnTimer(LinkTimer::kGather);
  EXPECT_EQ(r.t.Take(), "arm gather 50\n");
  r.Receive(
      {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '1', '2', '3', '4', '5', '6', '7'});
  r.link.OnTimer(LinkTimer::kGather);  // 31 characters: still reading
  EXPECT_EQ(r.t.Take(), "arm gather 50\n");
  r.Receive({'8'});
  r.link.OnTimer(LinkTimer::kGather);  // 32: done
  EXPECT_EQ(r.t.Take(), "");
  EXPECT_FALSE(r.link.Receiving());
  EXPECT_EQ(r.fk_model, u"48G9995");
  r.Receive({0x1B, 0x21});
  EXPECT_EQ(r.t.Take(), "key 65 down\nkey 65 up\n");

  // 99 reads at most: the first, then 98 after a wait each.
  Rig slow(u"X8000");
  slow.Receive({'a', 'b', 'c'});
  int waits = 0;
  while (slow.link.Receiving()) {
    slow.link.OnTimer(LinkTimer::kGather);
    ++waits;
  }
  EXPECT_EQ(waits, 98);
  EXPECT_TRUE(slow.link.FirstDataSeen());
}

TEST(DeviceLinkReceive, KeyCodesAreAStream) {
  Rig r(u"X8000");
  r.SkipFirstData();
  for (int k = 1; k <= 32; ++k)
    r.Set(1, k, u"結合", {u"#" + std::u16string(1, u'A' + (k - 1) % 26)});

  // Several codes in one event play once each, in order.
  r.Receive({0x1B, 0x21, 0x1B, 0x40, 0x1B, 0x22});
  EXPECT_EQ(r.t.Take(), "key 65 down\nkey 65 up\nkey 70 down\nkey 70 up\nkey 66 down\nkey 66 up\n");
  EXPECT_EQ(r.link.CurrentKey(), 2);

  // Bytes that form no code are dropped; a second ESC replaces a waiting one.
  r.Receive({0x21, 0x1B, 0x41, 0x1B, 0x20, 0x7E, 0x1B, 0x1B, 0x23, 0x00, 0x22});
  EXPECT_EQ(r.t.Take(), "key 67 down\nkey 67 up\n");

  // An ESC split from its code byte waits for it.
  r.Receive({0x1B, 0x24, 0x1B});
  EXPECT_EQ(r.t.Take(), "arm gather 50\nkey 68 down\nkey 68 up\n");
  EXPECT_TRUE(r.link.Receiving());
  r.Receive({0x25});
  EXPECT_EQ(r.t.Take(), "disarm gather\nkey 69 down\nkey 69 up\n");
  EXPECT_FALSE(r.link.Receiving());

  // A lone ESC whose code byte does not come within 50 ms is dropped.
  r.Receive({0x1B});
  r.link.OnTimer(LinkTimer::kGather);
  EXPECT_FALSE(r.link.Receiving());
  r.Receive({0x21});
  EXPECT_EQ(r.t.Take(), "arm gather 50\n");

  // Closing the port drops a waiting ESC.
  r.Receive({0x1B});
  r.link.ResetReceive();
  EXPECT_FALSE(r.link.Receiving());
  r.Receive({0x21});
  EXPECT_EQ(r.t.Take(), "arm gather 50\ndisarm gather\n");
}

TEST(DeviceLinkReceive, The6094SendsOneByteAKey) {
  Rig r(u"6094");
  r.SkipFirstData();
  r.Set(1, 1, u"結合", {u"#A"});
  r.Set(1, 28, u"結合", {u"#B"});
  r.Set(1, 32, u"結合", {u"#C"});
  // 1B is key 28 here, never a prefix; bytes above 1F are dropped.
  r.Receive({0x00, 0x20, 0x1B, 0x7F, 0xFF, 0x1F});
  EXPECT_EQ(r.t.Take(), "key 65 down\nkey 65 up\nkey 66 down\nkey 66 up\nkey 67 down\nkey 67 up\n");
  EXPECT_FALSE(r.link.Receiving());
}

TEST(DeviceLinkReceive, ClosingThePortEndsFirstDataGathering) {
  Rig r(u"");
  r.Receive({'A', 'B', 'C'});
  r.link.ResetReceive();
  EXPECT_EQ(r.t.Take(), "arm gather 50\ndisarm gather\n");
  EXPECT_FALSE(r.link.Receiving());
  EXPECT_TRUE(r.link.FirstDataSeen());
  EXPECT_EQ(r.fk_model, u"X8000");
  // A stale expiry afterwards changes nothing.
  r.link.OnTimer(LinkTimer::kGather);
  EXPECT_EQ(r.t.Take(), "");
}

}  // namespace
}  // namespace vantrel::device
