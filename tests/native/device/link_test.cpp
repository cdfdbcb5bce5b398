// One golden table per model: every frame the device link writes, byte for byte, with
// the reopen that follows it; then golden transcripts naming those frames: bytes from
// the device in, frames and input events out.
#include "core/device/link.h"

#include <gtest/gtest.h>

#include "common/fakes.h"
#include "core/device/frames.h"

namespace vantrel::device {
namespace {
using namespace vantrel::testing;

std::string Out(const Frame& f) {
  return Hex(f.bytes) + (f.reopen ? " +reopen" : "") + (f.lamp_state ? " lamps" : "");
}

// The 29-byte frame as the device documentation writes it: mode byte, then the mask.
std::string F29(const char* mode, const std::string& mask) {
  return "1B 13 94 00 00 00 00 1B 11 1B 13 1B 13 94 "s + mode + " 00 00 00 1B 11 1B 13 94 " + mask +
         " 1B 11";
}

TEST(Frames, GoldenPerModelAndLampBitOrders) {
  const std::string lit29 = F29("00", "FF FF FF FF"), off29 = F29("01", "00 00 00 00") + " lamps";
  struct Row {
    Model model;
    std::string refresh, release_reset, hold_key2, lamps_off;
    // The editor's: key 9's lamp alone, its lamps off (both padded to 29 bytes), the
    // wake-up's ticks.
    std::string key9_only, editor_off, wake_up;
  };
  const std::string reset = "1B 13 1B 12 20 " + lit29 + " lamps", g = "1B 11 1B 13 1B 12 ";
  // clang-format off
  const Row rows[] = {
      {Model::kX8000, lit29 + " +reopen lamps", reset, F29("01", "FD FF FF FF") + " lamps", off29,
       F29("00", "00 01 00 00") + " lamps", off29, Repeat("1B 13 1B 13|"s, 3)},
      {Model::k48G9995, reset, reset, g + "20 1B 14 22 1B 11 1B 11 1B 13 1B 11",
       "1B 13 1B 13 1B 14 24 1B 13 1B 14 20 1B 13 1B 18 20 1B 13 1B 18 20 1B 13",
       g + "29 1B 14 28 1B 11" + Repeat(" 00"s, 17),
       g + "20 1B 14 00 1B 11 1B 11 1B 13 1B 11" + Repeat(" 00"s, 11), Repeat("1B 13 1B 13|"s, 3)},
      {Model::k6094, "94 FF FF FF FF +reopen lamps", "94 FF FF FF FF +reopen lamps",
       "94 BF FF FF FF +reopen lamps", "94 00 00 00 00 lamps", "94 00 80" + Repeat(" 00"s, 26) + " lamps",
       "94" + Repeat(" 00"s, 28) + " lamps", "01|06|08 +reopen|"},
  };
  // clang-format on
  EXPECT_EQ(Out(StartupSequence()), "06 1B 13 1B 13 1B 13 1B 18 20");
  EXPECT_EQ(Out(Refresh6094First()), "08");
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.model));
    EXPECT_EQ(Out(Refresh(r.model)), r.refresh);
    EXPECT_EQ(Out(ReleaseReset(r.model)), r.release_reset);
    EXPECT_EQ(Out(HoldLamp(r.model, 2)), r.hold_key2);
    EXPECT_EQ(Out(LampsOff(r.model)), r.lamps_off);
    EXPECT_EQ(Out(KeyLampOnly(r.model, 9)), r.key9_only);
    EXPECT_EQ(Out(EditorLampsOff(r.model)), r.editor_off);
    std::string wake;
    for (int tick = 0; tick < kWakeUp6094Ticks; ++tick) wake += Out(WakeUp(r.model, tick)) + "|";
    EXPECT_EQ(wake, r.wake_up);
  }
  // The 48G9995's key 1 lamp names the key twice, the second time as 2A; the lamp test's
  // code is one byte; the test buttons' frames are the 29-byte ones on every model.
  EXPECT_EQ(Out(KeyLampOnly(Model::k48G9995, 1)).substr(0, 29), g + "21 1B 14 2A");
  EXPECT_EQ(Out(LampTest(34)), g + "20 1B 14 22 1B 11 1B 11 1B 13 1B 11");
  EXPECT_EQ(Out(TestLampsOff()), off29);
  EXPECT_EQ(Out(TestAllLamps()), lit29 + " lamps");
  // Only "6094" and "48G9995", whole and exact, have frames of their own (the rows above).
  for (std::u16string_view other : {u"X8000", u"", u"6094 ", u"48g9995", u"x8000", u"609"})
    EXPECT_EQ(ModelOf(other), Model::kX8000);
  // Key n is bit (n - 1) % 8 of mask byte (n - 1) / 8: from the least significant in the
  // 29-byte frame, from the most significant in the 6094's.
  const struct {
    int key;
    const char *in29, *in6094;
  } bits[] = {{1, "FE FF FF FF", "7F FF FF FF"},
              {12, "FF F7 FF FF", "FF EF FF FF"},
              {32, "FF FF FF 7F", "FF FF FF FE"}};
  for (const auto& b : bits) {
    EXPECT_EQ(Hex(LampFrameX8000(0x01, AllBut(b.key))), F29("01", b.in29));
    EXPECT_EQ(Hex(LampFrame6094(AllBut(b.key))), "94 "s + b.in6094);
  }
}

// A DeviceLink on the shared fakes; it stores a detected model where the link reads
// it, as the shell does, and logs the refusals it is told.
struct Rig : LinkEvents {
  // Playing: past the first data (consumed without a key), with an empty transcript.
  explicit Rig(std::u16string model, bool playing = true) : fk_model(std::move(model)) {
    if (playing) Receive({0x20});
  }
  void ModelDetected(std::u16string_view m) override { fk_model = m; }
  void InputRefused(const ForegroundWindow& w, Refusal why) override {
    t.Add((why == Refusal::kBlocked ? "blocked " : "cut short ") + ToUtf8(w.title));
  }
  void TextNotPasted() override { t.Add("not pasted"); }
  void DeviceFlooding() override { t.Add("flooding"); }
  // Bytes of one receive event, and what the link did since the last look.
  std::string Receive(std::vector<std::uint8_t> bytes) {
    link.OnReceive(bytes);
    return t.Take();
  }
  // What the link did on one call: r.Do(&DeviceLink::PasteTaken).
  template <typename... A>
  std::string Do(void (DeviceLink::*call)(A...), A... args) {
    (link.*call)(args...);
    return t.Take();
  }
  std::string Timer(LinkTimer id) { return Do(&DeviceLink::OnTimer, id); }
  KeyEntry& Set(int mouse, int key, std::u16string_view line) {
    return Assign(table.Entry(mouse, key), line);
  }

  Transcript t;
  AssignmentTable table;
  std::u16string fk_model;
  FakeSerial port{t, true};
  FakeInput input{t};
  FakeMouse mouse;
  FakeClipboard clipboard{t};
  FakeForeground foreground;
  FakeTimers timers{&t};
  DeviceLink link{table, fk_model, port, input, mouse, clipboard, foreground, timers, *this};
};

std::string Tap(int vk) {
  return "key " + std::to_string(vk) + " down\nkey " + std::to_string(vk) + " up\n";
}
// Not a constant: the frame tables are other translation units' statics.
std::string X8000Reset() {
  return Sent(ReleaseReset(Model::kX8000));
}

TEST(DeviceLink, PerModelStartupFirstDataSplitKeysAndLampsOff) {
  // Key 2 as each model sends it.
  for (auto [name, model, key2] :
       {std::tuple{u"X8000", Model::kX8000, std::vector<std::uint8_t>{0x1B, 0x22}},
        {u"48G9995", Model::k48G9995, {0x1B, 0x22}},
        {u"6094", Model::k6094, {0x01}}}) {
    SCOPED_TRACE(ToUtf8(name));
    Rig r(name, false);
    r.link.SendStartupSequence();
    r.link.ArmRefresh();
    r.link.OnTimer(LinkTimer::kRefresh);
    std::string refresh = Sent(Refresh(model));
    if (model == Model::k6094) {
      // Two ticks 50 ms apart. An arming between them (the shell drops a tick while the
      // port is closed) starts over with the 08, which the device must see first.
      const std::string first = Sent(Refresh6094First()) + "arm refresh 50\n";
      r.link.ArmRefresh();
      r.link.OnTimer(LinkTimer::kRefresh);
      r.link.OnTimer(LinkTimer::kRefresh);
      refresh = first + "arm refresh 500\n" + first + refresh;
    }
    EXPECT_EQ(r.Do(&DeviceLink::LampsOff),
              Sent(StartupSequence()) + "arm refresh 500\n" + refresh + Sent(LampsOff(model)));

    // The first data (an empty read is none) is consumed without a key. Then split:
    // each step darkens the key's lamp; the second press relights the lamps, releases in
    // reverse and plays nothing; a third plays again.
    r.Set(1, 2, u"分割,#Shift,#LeftClick");
    r.Receive({});
    EXPECT_EQ(r.Receive(key2), "");
    const std::string hold =
        "key 16 down\n" + Sent(HoldLamp(model, 2)) + "mouse 2\n" + Sent(HoldLamp(model, 2));
    EXPECT_EQ(r.Receive(key2), hold);
    EXPECT_EQ(r.Receive(key2), Sent(ReleaseReset(model)) + "mouse 4\nkey 16 up\n");
    EXPECT_EQ(r.Receive(key2), hold);
  }
}

TEST(DeviceLinkPlayback, AnotherKeyWhileHeldReleasesFirstThenPlays) {
  Rig r(u"X8000");
  r.Set(1, 2, u"分割,#Ctrl+Alt");
  r.Set(1, 3, u"??,#Shift");  // a file's unknown mode word plays as split
  r.Receive({0x1B, 0x22});
  EXPECT_EQ(r.Receive({0x1B, 0x23}), X8000Reset() + "key 18 up\nkey 17 up\nkey 16 down\n" +
                                         Sent(HoldLamp(Model::kX8000, 3)));
  // ReleaseHeldKeys lets go without a frame, and the next press has nothing left to reset.
  r.link.ReleaseHeldKeys();
  EXPECT_EQ(r.Do(&DeviceLink::ReleaseHeldKeys, false), "key 16 up\n");
  r.Set(1, 4, u"結合,#A");
  EXPECT_EQ(r.Receive({0x1B, 0x24}), Tap(65));
  // A split step of nothing but unknown names holds nothing, yet still marks the key.
  r.Set(1, 2, u"分割,#Bogus");
  EXPECT_EQ(r.Receive({0x1B, 0x22}), Sent(HoldLamp(Model::kX8000, 2)));
  EXPECT_EQ(r.Receive({0x1B, 0x22}), X8000Reset());
}

TEST(DeviceLinkPlayback, MouseButtonHeldChoosesThePageAndIsLetGoFirst) {
  Rig r(u"X8000");
  for (int page = 1; page <= 4; ++page) r.Set(page, 1, u"結合,#" + std::u16string(1, u'@' + page));
  for (auto [left, middle, right, out, page] :
       {std::tuple{true, true, true, "mouse 4\n" + Tap(66), 2},  // left wins
        {false, true, true, "mouse 64\n" + Tap(67), 3},
        {false, false, true, "mouse 16\n" + Tap(27) + Tap(68), 4},
        {false, false, false, Tap(65), 1}}) {
    std::tie(r.mouse.left, r.mouse.middle, r.mouse.right) = std::tie(left, middle, right);
    EXPECT_EQ(r.Receive({0x1B, 0x21}), out);
    EXPECT_EQ(r.link.MouseState(), page);
  }
  // An empty page plays nothing; page 1 does not stand in for it.
  r.table.Entry(4, 1).count = 0;
  r.mouse.right = true;
  EXPECT_EQ(r.Receive({0x1B, 0x21}), "mouse 16\n" + Tap(27));
}

// A text step waits until the program in front has taken its text (or a second has
// passed) before the clipboard may change again; presses meanwhile play after it.
TEST(DeviceLinkPlayback, TextStepsWaitForTheirPasteAndPressesQueueBehind) {
  Rig r(u"6094");
  const std::string paste = "mouse 8\nmouse 16\n" + Tap(80) + "arm text 1000\n";
  // Step 3 is counted but absent: an empty marker is a text step with empty text.
  r.Set(1, 1, u"結合,*図面番号,*").count = 3;
  r.Set(1, 2, u"結合,#B");
  r.Set(2, 2, u"結合,#L");
  EXPECT_EQ(r.Receive({0x00}), "clip 図面番号\n" + paste);
  EXPECT_EQ(r.link.StatusLabel(), u"図面番号");
  // Key 2 with the left button held, then without: they wait, each with its own page.
  r.mouse.left = true;
  EXPECT_EQ(r.Receive({0x01}), "");
  r.mouse.left = false;
  EXPECT_EQ(r.Receive({0x01}), "");
  EXPECT_EQ(r.Do(&DeviceLink::PasteTaken), "disarm text\nclip \n" + paste);
  // A window that never asks for the text: the next step a second later.
  EXPECT_EQ(r.Timer(LinkTimer::kText), "clip \n" + paste);
  EXPECT_EQ(r.Do(&DeviceLink::PasteTaken), "disarm text\nmouse 4\n" + Tap(76) + Tap(66));
  EXPECT_EQ(r.Do(&DeviceLink::PasteTaken), "");  // a paste asked for again later is no step's

  // Cancelled while waiting (hand-over, editor, exit): the rest and the queue are dropped.
  r.Receive({0x00});
  r.Receive({0x01});
  r.link.CancelMacro();
  EXPECT_EQ(r.Do(&DeviceLink::PasteTaken), "disarm text\n");
  EXPECT_FALSE(r.link.Busy());

  // The program's own menu is open: a press plays nothing, and a macro waiting for its
  // paste goes on only once the menu has closed.
  r.Receive({0x00});
  r.link.SetMenuOpen(true);
  EXPECT_EQ(r.Receive({0x01}), "");
  EXPECT_EQ(r.Timer(LinkTimer::kText), "");
  EXPECT_EQ(r.Do(&DeviceLink::SetMenuOpen, false), "clip \n" + paste);
  EXPECT_EQ(r.Do(&DeviceLink::PasteTaken), "disarm text\nclip \n" + paste);
  EXPECT_EQ(r.Do(&DeviceLink::PasteTaken), "disarm text\n");  // the press in the menu never plays
}

// Another program holding the clipboard open is waited for briefly; a text that could not
// be set pastes nothing (the clipboard's old content would come out) and is told once.
TEST(DeviceLinkPlayback, AClipboardThatCannotBeSetPastesNothing) {
  Rig r(u"X8000");
  const std::string paste = "mouse 8\nmouse 16\n" + Tap(80) + "arm text 1000\n";
  r.Set(1, 1, u"結合,*図面,#A");
  r.clipboard.open_failures = 2;
  EXPECT_EQ(r.Receive({0x1B, 0x21}), "clip busy\narm text 20\n");
  EXPECT_EQ(r.Timer(LinkTimer::kText), "clip busy\narm text 20\n");
  EXPECT_EQ(r.Timer(LinkTimer::kText), "clip 図面\n" + paste);
  EXPECT_EQ(r.Timer(LinkTimer::kText), Tap(65));

  // Held for good: after 200 ms, no paste keys and one notice; then the next step.
  r.clipboard.open_failures = 99;
  std::string out = r.Receive({0x1B, 0x21});
  for (int i = 1; i < Playback::kClipboardTries; ++i) out += r.Timer(LinkTimer::kText);
  EXPECT_EQ(out, Repeat("clip busy\narm text 20\n"s, 9) + "clip busy\nnot pasted\n" + Tap(65));
  EXPECT_EQ(r.link.StatusLabel(), u"クリップボードのオープンに失敗。");
  r.clipboard.open_failures = 0;
  r.clipboard.result = Clipboard::Result::kSetFailed;
  EXPECT_EQ(r.Receive({0x1B, 0x21}), "clip 図面\n" + Tap(65));  // told already
  // Set, though not closed: the text is there to paste. Success lets a new failure be told.
  r.clipboard.open_failures = 0;
  r.clipboard.result = Clipboard::Result::kCloseFailed;
  EXPECT_EQ(r.Receive({0x1B, 0x21}), "clip 図面\n" + paste);
  EXPECT_EQ(r.link.StatusLabel(), u"クリップボードのクローズに失敗。");
  r.link.PasteTaken();
  r.clipboard.result = Clipboard::Result::kSetFailed;
  r.t.Take();
  EXPECT_EQ(r.Receive({0x1B, 0x21}), "clip 図面\nnot pasted\n" + Tap(65));
}

// Nothing goes into a window that drops it or stays down behind a refusal; one notice a window.
TEST(DeviceLinkPlayback, RefusedInput) {
  Rig r(u"X8000");
  r.Set(1, 1, u"結合,#Shift+A,*B");
  r.Set(1, 2, u"分割,#Ctrl,#Shift+A,#C");
  r.Set(1, 3, u"結合,*図面,#D");
  r.Set(1, 4, u"分割,#Alt");
  r.Set(1, 6, u"結合,#A,#Ctrl+LeftClick");
  const std::string hold2 = Sent(HoldLamp(Model::kX8000, 2)),
                    hold4 = Sent(HoldLamp(Model::kX8000, 4));
  // Known to run with more privileges: the window in front, or the one under the cursor
  // for steps that click or paste.
  enum Blocked { kNone, kFront, kCursor };
  const struct {
    bool alt_held;  // by key 4, before
    Blocked blocked;
    char16_t window;
    int key, accept;  // events the system takes (-1: all)
    std::string out;
  } cases[] = {
      {false, kFront, u'1', 1, -1, "blocked w1\n"},
      // Their release would be dropped as well: held keys stay held.
      {true, kFront, u'2', 1, -1, "blocked w2\n"},
      {false, kFront, u'3', 5, -1, ""},  // a key without steps asks nothing
      {false, kFront, u'1', 1, -1, ""},  // told already
      {false, kCursor, u'a', 6, -1, "blocked ca\n"},
      {false, kCursor, u'b', 3, -1, "blocked cb\n"},
      {false, kCursor, u'c', 4, -1, "key 18 down\n" + hold4},  // keys only
      {false, kNone, u'4', 1, 1,
       "key 16 down\nkey 65 down refused\nkey 16 up refused\ncut short w4\n"},
      {false, kNone, u'5', 2, 2,
       "key 17 down\n" + hold2 + "key 16 down\nkey 65 down refused\nkey 16 up refused\n" +
           X8000Reset() + "key 17 up refused\n" + hold2 + "cut short w5\n"},
      {false, kNone, u'6', 3, 0, "clip 図面\nmouse 8 refused\ncut short w6\n"},
      {true, kNone, u'7', 4, 0, X8000Reset() + "key 18 up refused\n" + hold4 + "cut short w7\n"},
  };
  for (const auto& c : cases) {
    r.foreground.front = r.foreground.under_cursor = {};
    r.input.accept = -1;
    r.link.ReleaseHeldKeys(true);
    if (c.alt_held) r.Receive({0x1B, 0x24});
    r.t.Take();
    const std::u16string name(1, c.window);
    r.foreground.front = {c.window, u"w" + name, c.blocked == kFront};
    r.foreground.under_cursor = {0x100u + c.window, u"c" + name, c.blocked == kCursor};
    r.input.accept = c.accept;
    EXPECT_EQ(r.Receive({0x1B, static_cast<std::uint8_t>(0x20 + c.key)}), c.out);
  }
  // Held keys whose release was refused are let go of once a window that takes input is
  // in front, exactly once; not while the one in front drops input.
  r.input.accept = -1;
  r.foreground.front = {8, u"w8", true};
  r.link.ReleaseHeldKeys();
  EXPECT_FALSE(r.link.ForegroundChanged());
  r.foreground.front = {9, u"w9", false};
  EXPECT_TRUE(r.link.ForegroundChanged());
  EXPECT_FALSE(r.link.ForegroundChanged());
  EXPECT_EQ(r.t.Take(), "key 18 up\n");
  EXPECT_FALSE(r.link.Holding());
}

TEST(DeviceLinkPlayback, UnknownTokensSendNothingAndCountsAreBounded) {
  Rig r(u"X8000");
  // Nothing of an earlier token is repeated for a name the tables lack.
  r.Set(1, 1, u"結合,#Shift+Foo+A,#,#+,#A+,#shift,#Ctrl++B");
  EXPECT_EQ(r.Receive({0x1B, 0x21}), "key 16 down\n" + Tap(65) + "key 16 up\n" + Tap(65) +
                                         "key 17 down\n" + Tap(66) + "key 17 up\n");
  // Counts above 60 play the 60 steps the table holds; negative counts play nothing.
  KeyEntry& e = r.Set(1, 1, u"結合" + Repeat(u",#A"s, 60));
  e.count = 32767;
  EXPECT_EQ(r.Receive({0x1B, 0x21}), Repeat(Tap(65), 60));
  e.count = -1;
  EXPECT_EQ(r.Receive({0x1B, 0x21}), "");

  // A step presses at most 50 tokens. "1" is 49; 51 tokens, the last "2" beyond the limit.
  r.Set(1, 2, u"結合,#" + Repeat(u"1+"s, 50) + u"2");
  EXPECT_EQ(r.Receive({0x1B, 0x22}), Repeat("key 49 down\n"s, 50) + Repeat("key 49 up\n"s, 50));

  // The held list keeps 60; what does not fit is let go at once, so nothing stays down.
  r.Set(1, 3, u"分割,#" + Repeat(u"1+"s, 49) + u"1,#" + Repeat(u"3+"s, 49) + u"3");
  const std::string hold3 = Sent(HoldLamp(Model::kX8000, 3));
  EXPECT_EQ(r.Receive({0x1B, 0x23}), Repeat("key 49 down\n"s, 50) + hold3 +
                                         Repeat("key 51 down\n"s, 50) + Repeat("key 51 up\n"s, 40) +
                                         hold3);
  EXPECT_EQ(r.Do(&DeviceLink::ReleaseHeldKeys, false),
            Repeat("key 51 up\n"s, 10) + Repeat("key 49 up\n"s, 50));
}

TEST(DeviceLinkReceive, FirstDataIsGatheredOverReadsFiftyMillisecondsApartAndNamesTheModel) {
  // Data of 3..31 characters is read again after 50 ms, up to 99 reads in all; one
  // too short to hold an 11th character is not a 48G9995's.
  const std::pair<std::string, std::u16string> cases[] = {
      {"\x03", u"6094"},
      {"\x03\x01\x02\x03", u"6094"},
      {"0123456789~0123456789012345678901", u"48G9995"},
      {"0123456789~", u"48G9995"},
      {"0123456789-0123456789012345678901", u"X8000"},
      {"\xA0", u"X8000"},
      {"ABCDE", u"X8000"},
      {"~~~~~~~~~~", u"X8000"},
      {"\x1B\x21", u""},
      {"\x01\x02\x03\x04", u""}};
  for (const auto& [data, model] : cases) {
    Rig r(u"", false);
    r.Receive({data.begin(), data.end()});
    for (int i = 0; i < 200 && r.link.Receiving(); ++i) r.link.OnTimer(LinkTimer::kGather);
    EXPECT_EQ(r.fk_model, model) << data;
  }

  Rig r(u"", false);
  r.Set(1, 1, u"結合,#A");
  EXPECT_EQ(r.Receive({'0', '1', '2', '3', '4'}), "arm gather 50\n");
  // More data, a key code among it, joins the first data; the next read sees it all.
  EXPECT_EQ(r.Receive({'5', '6', '7', '8', '9', '~', 0x1B, 0x21}), "");
  EXPECT_EQ(r.Timer(LinkTimer::kGather), "arm gather 50\n");
  r.Receive(std::vector<std::uint8_t>(18, '0'));
  EXPECT_EQ(r.Timer(LinkTimer::kGather), "arm gather 50\n");  // 31 characters: still reading
  r.Receive({'8'});
  EXPECT_EQ(r.Timer(LinkTimer::kGather), "");  // 32: done
  EXPECT_EQ(r.fk_model, u"48G9995");
  EXPECT_EQ(r.Receive({0x1B, 0x21}), Tap(65));

  // 99 reads at most: the first, then 98 after a wait each.
  Rig slow(u"X8000", false);
  slow.Receive({'a', 'b', 'c'});
  int waits = 0;
  for (; slow.link.Receiving(); ++waits) slow.link.OnTimer(LinkTimer::kGather);
  EXPECT_EQ(waits, 98);

  // Closing the port ends the gathering: the data is consumed as it stands.
  Rig closed(u"", false);
  EXPECT_EQ(closed.Receive({'A', 'B', 'C'}), "arm gather 50\n");
  closed.link.ResetReceive();
  EXPECT_EQ(closed.Timer(LinkTimer::kGather), "disarm gather\n");  // a stale expiry changes nothing
  EXPECT_EQ(std::tuple(closed.link.Receiving(), closed.link.FirstDataSeen(), closed.fk_model),
            std::tuple(false, true, u"X8000"s));
}

// Noise, or a port that echoes our own frames back, is no storm of macros: past what
// a hand can press nothing plays until the line has been quiet for a while.
TEST(DeviceLinkReceive, ABurstBeyondAHandPlaysNoMoreUntilTheLineIsQuiet) {
  Rig r(u"6094");
  r.Set(1, 1, u"結合,#A");
  EXPECT_EQ(r.Receive(std::vector<std::uint8_t>(5, 0)), Repeat(Tap(65), 5));  // a hand's burst
  EXPECT_EQ(r.Receive(std::vector<std::uint8_t>(2000, 0)), Repeat(Tap(65), 15) + "flooding\n");
  r.Receive({0x00});
  r.link.OnTimer(LinkTimer::kBurst);  // bytes came in that window: still not quiet
  EXPECT_EQ(r.Receive({0x00}), "");
  r.link.OnTimer(LinkTimer::kBurst);
  r.link.OnTimer(LinkTimer::kBurst);
  EXPECT_EQ(r.Receive(std::vector<std::uint8_t>(30, 0)), Repeat(Tap(65), 20));  // told once
}

TEST(DeviceLinkReceive, KeyCodesAreAStream) {
  Rig r(u"X8000");
  for (int k = 1; k <= 32; ++k) r.Set(1, k, u"結合,#" + std::u16string(1, u'A' + (k - 1) % 26));

  // Several codes in one event play once each, in order.
  EXPECT_EQ(r.Receive({0x1B, 0x21, 0x1B, 0x40, 0x1B, 0x22}), Tap(65) + Tap(70) + Tap(66));

  // Bytes that form no code are dropped; a second ESC replaces a waiting one.
  EXPECT_EQ(r.Receive({0x21, 0x1B, 0x41, 0x1B, 0x20, 0x7E, 0x1B, 0x1B, 0x23, 0x00, 0x22}), Tap(67));

  // An ESC split from its code byte waits for it.
  EXPECT_EQ(r.Receive({0x1B, 0x24, 0x1B}), "arm gather 50\n" + Tap(68));
  EXPECT_EQ(r.Receive({0x25}), "disarm gather\n" + Tap(69));

  // A lone ESC whose code byte does not come within 50 ms is dropped; so is one
  // waiting when the port closes.
  for (bool closing : {false, true}) {
    EXPECT_EQ(r.Receive({0x1B}), "arm gather 50\n");
    closing ? r.link.ResetReceive() : r.link.OnTimer(LinkTimer::kGather);
    EXPECT_EQ(r.Receive({0x21}), closing ? "disarm gather\n" : "");
  }

  // The 6094 sends one byte a key: 1B is key 28 there, never a prefix; bytes above 1F
  // are dropped.
  r.fk_model = u"6094";
  EXPECT_EQ(r.Receive({0x00, 0x20, 0x1B, 0x7F, 0xFF, 0x1F}), Tap(65) + Tap(66) + Tap(70));
}

}  // namespace
}  // namespace vantrel::device
