// The key-assignment dialog as transcripts: events in, recorded bodies, refusals and
// the strip's geometry out.
#include <gtest/gtest.h>

#include <deque>
#include <sstream>

#include "editor/rig.h"

namespace vantrel::editor::testing {
namespace {

struct FakeDialog : AssignKeyPlatform {
  void Refuse(const Refusal& r) override {
    Log(t, "refuse", r.title, r.text.substr(0, r.text.find(u'\r')));
  }
  std::optional<std::u16string> AskText(SV text) override {
    Log(t, "ask", text);
    if (answers.empty()) return std::nullopt;
    std::optional<std::u16string> a = answers.front();
    answers.pop_front();
    return a;
  }
  void FocusCaptureField() override {}
  void EmptyCaptureField() override {}
  void CloseDialog() override { t.Add("close"); }
  Transcript t;
  std::deque<std::optional<std::u16string>> answers;
};

struct Dialog {
  explicit Dialog(int mouse = 1, std::u16string_view line = u"") : mouse(mouse) {
    Assign(table.Entry(mouse, 3), line).label = u"ラベル";
  }
  // The events, blank-separated, as the dialog's window reports them:
  //   kN/S  key N (a virtual-key code) down, with the modifiers S held
  //         (a sum of 1 Shift, 2 Ctrl, 4 Alt): "k65/3" is A with Shift and Ctrl
  //   uN    key N up              tab   Tab moved the focus past the capture field
  //   mB/S  button B (L, R or M) down with the modifiers S;  bB  button B up
  //   lbl   a click on the label  edN   a click on slot N (its text edited)
  //   txt   "ﾃｷｽﾄ"   mode  "分割"/"結合"   new  "新規"
  // It returns what the dialog did, then each slot's caption followed by "|".
  std::string Run(const std::string& events) {
    if (!d)
      d.emplace(AssignKeyRequest{table.Entry(mouse, 3), 3, mouse, capture, loaded, codec},
                platform);
    std::istringstream in(events);
    for (std::string e; in >> e;) {
      const int n = std::atoi(e.c_str() + (e[0] == 'e' ? 2 : 1)),
                shift = e.find('/') != std::string::npos ? std::atoi(&e[e.find('/') + 1]) : 0;
      if (e == "tab") d->TabCaught();
      if (e[0] == 'b') d->MouseUp(MouseButton(std::string("LRM").find(e[1])));
      if (e == "lbl") d->LabelClick();
      if (e == "txt") d->AddText();
      if (e == "mode") d->SwitchMode();
      if (e == "new") d->Clear();
      if (e[0] == 'k') d->KeyDown(n, shift);
      if (e[0] == 'u') d->KeyUp(n);
      if (e[0] == 'e' && e[1] == 'd') d->EditText(n);
      if (e[0] == 'm' && e[2] == '/')
        d->MouseDown(MouseButton(std::string("LRM").find(e[1])), shift);
    }
    std::string out = platform.t.Take();
    for (int s = 1; s <= d->StepCount(); ++s) out += Str(d->SlotAt(s).caption) + "|";
    return out;
  }
  int mouse;
  AssignmentTable table;
  CaptureState capture;
  bool loaded = false;
  IconvCodec codec;
  FakeDialog platform;
  std::optional<KeyAssignment> d;
};

TEST(AssignKey, CapturesKeysModifiersTabAndClicks) {
  const std::string c2 =
      "refuse 操作エラー [ 分割 ]モードでは{Shift]+,{Ctrl}+,{Alt}+は使用できません\n";
  for (auto [mouse, split, events, expected] :
       std::initializer_list<std::tuple<int, bool, const char*, std::string>>{
           {1, false,
            "k65/3 k65/5 k65/6 k65/7 k244/0 k29/0 k127/0 k135/0 k108/0 k107/0 k20/0 k226/0 k92/0",
            "Shift+Ctrl+A|Shift+Alt+A|Ctrl+Alt+A|Shift+Ctrl+Alt+A|漢字|無変換|F16|F24|ﾃﾝｷｰEnter|"
            "ﾃﾝｷｰ＋|CapsLock|\\|Windos|"},
           // A key or a click with a modifier takes the pending one.
           {1, false, "k17/2 u17 k17/2 k116/2 u17 k229/0 k16/0 k17/2 mL/0 mL/2 u17",
            "Ctrl|Ctrl+F5|Ctrl+LeftClick|"},
           // Shift released first takes the pending modifier; Ctrl's release then records nothing.
           {1, false, "k17/2 k16/3 u16 u17", "Shift|"},
           {2, false, "mR/4 mR/4 mL/0 mM/1",
            "refuse マウス クリック プラス設定エラー "
            "マウスの左ボタンを押した状態での設定はできません。\nAlt+RightClick|Shift+"
            "MiddleClick|"},
           {4, false, "mM/0 mM/0 mR/0",
            "refuse マウス クリック プラス設定エラー "
            "マウスの右ボタンを押した状態での設定はできません。\nMiddleClick|"},
           {1, false, "lbl k65/0 mL/0 bR k65/0 bL k65/0 k188/1",
            "refuse 操作エラー 「,」キーはファイルに保存できないため使用できません\nA|"},
           {1, true, "k65/0 mL/0 mL/0 k16/1 u16 tab k66/1 u16", c2 + c2 + c2 + "B|Shift|Tab|"},
       }) {
    Dialog r(mouse, split ? u"分割,#B" : u"");
    EXPECT_EQ(r.Run(events), expected) << events;
  }
}

TEST(AssignKey, SixtyStepsOnEveryPathAndStateCarriedOver) {
  Dialog r;
  r.Run("k16/0 mL/0 mL/0");  // Shift pending; armed, then a click
  for (int i = 1; i < 60; ++i) r.Run("k65/0");
  const std::string c1 = "refuse 容量オーバー キーの数が60を超えました。\n";
  const std::string all = r.Run("lbl k65/0 u16 tab mL/0 mL/0 bL txt");
  EXPECT_EQ(all.substr(0, all.find("LeftClick")), c1 + c1 + c1 + c1 + c1);
  EXPECT_EQ(r.capture.capture_switch, CaptureSwitch::kOff);  // the box took the release
  // The close box leaves the dialog armed and the modifier pending for the next opening.
  Dialog q;
  q.Run("k17/0 mL/0");
  q.d->CloseBox();
  q.d.reset();
  EXPECT_EQ(q.Run("mR/0 u17"), "close\nRightClick|Ctrl|");
  q.d->Back();  // disarms
  q.d.reset();
  EXPECT_EQ(q.Run("mR/0"), "close\n");
}

TEST(AssignKey, StripGeometryAndScrolling) {
  Dialog r;
  r.Run("k65/3 k244/0");
  EXPECT_EQ(std::tuple(r.d->SlotAt(1).left, r.d->SlotAt(1).width, r.d->SlotAt(2).left,
                       r.d->SlotAt(2).width),
            std::tuple(0L, 1350L, 1450L, 550L));
  EXPECT_EQ(r.d->SlotAt(3).left, 6240 + 2 * 360);  // parked as designed
  r.Run("k65/7 k65/7 k65/7");                      // 1750 + 100 each: the edge passes 5940
  const ScrollBar s = r.d->Scroll();
  const long length = 1450 + 650 + 3 * 1850;
  EXPECT_EQ(std::tuple(s.minimum, s.maximum, s.value),
            std::tuple(0L, length - 6040, length - 6040));
  EXPECT_EQ(r.d->SlotAt(5).left + r.d->SlotAt(5).width + 100, 5940);
  r.d->ScrollTo(300);
  EXPECT_EQ(r.d->SlotAt(1).left, -300);
  // Sixty of the longest names run far beyond 16 bits and stay reachable.
  r.Run("new");
  for (int i = 0; i < 60; ++i) r.Run("k93/7");
  EXPECT_EQ(r.d->SlotAt(60).left + r.d->SlotAt(60).width + 100, 5940);
  r.d->ScrollTo(0);
  EXPECT_EQ(r.d->SlotAt(1).left, 0);
  EXPECT_GT(r.d->Scroll().maximum, 60 * 3000);
}

TEST(AssignKey, OpensEditsSwitchesModesAndSaves) {
  // Split for any mode word but "結合"; a text step shows five characters on yellow.
  // The mode switch goes back to joined, never to split with a text step.
  for (auto [line, split] : {std::pair{u"結合,*A", false}, {u"分割,#A", true}, {u"  ,#A", true}}) {
    Dialog r(1, line);
    r.Run("");
    EXPECT_EQ(r.d->Split(), split);
    EXPECT_EQ(r.d->SlotAt(60).colour, split ? SlotColour::kLightGreen : SlotColour::kButtonFace);
    r.Run("mode");
    EXPECT_FALSE(r.d->Split());
  }
  Dialog r(3, u"結合,#Ctrl+A,*部品図面番号入力");
  EXPECT_EQ(r.Run(""), "Ctrl+A|部品図面番|");
  EXPECT_FALSE(r.d->ModeButtonShown());
  EXPECT_EQ(r.d->Caption(), u"Button 3 (マウスの中央クリック)");
  EXPECT_EQ(r.d->SlotAt(2).colour, SlotColour::kYellow);
  // Edit: the whole text is offered; a longer one keeps the caption's length.
  r.platform.answers = {u"あいうえおかき"};
  EXPECT_EQ(
      r.Run("ed1 ed2 mode"),
      "refuse 操作エラー [ テキスト ] データで無いので編集はできません\nask 部品図面番号入力\n"
      "refuse 操作エラー [ 分割 "
      "]モードでは{Shift]+,{Ctrl}+,{Alt}+は使用できません\nCtrl+A|あいうえお|");
  // A comma or a line break sends the text back to be corrected.
  r.platform.answers = {u"a,b", u"a\r\nb", u"ab"};
  EXPECT_EQ(r.Run("txt"),
            "ask \nrefuse 操作エラー "
            "テキストの「,」（カンマ）はファイルに保存できないため使用できません\nask a,b\n"
            "refuse 操作エラー テキストの改行はファイルに保存できないため使用できません\nask "
            "a|\nb\nCtrl+A|あいうえお|ab|");
  r.d->Save(u"新ラベル");
  EXPECT_EQ(WriteMacroLine(r.table.Entry(3, 3)), u"結合,#Ctrl+A,*あいうえおかき,*ab");
  EXPECT_TRUE(r.loaded);

  // Split with plain keys; "新規" then save writes a count of 0 and leaves the steps.
  Dialog p(1, u"結合,#Shift,#A");
  p.Run("mode");
  EXPECT_EQ(p.Run("txt"), "refuse 操作エラー [ 分割 ]モードでは漢字入力はできません\nShift|A|");
  p.d->Save(u"");
  EXPECT_EQ(WriteMacroLine(p.table.Entry(1, 3)), u"分割,#Shift,#A");
  p.d.reset();
  p.Run("new");
  p.d->Save(u"x");
  EXPECT_EQ(std::pair(p.table.Entry(1, 3).count, p.table.Entry(1, 3).body[2]),
            std::pair(std::int16_t{0}, std::u16string(u"A")));
  // "戻る" after adding steps leaves the table as it was.
  const AssignmentTable before = p.table;
  p.d.reset();
  p.Run("k66/0");
  p.d->Back();
  EXPECT_EQ(p.table, before);
}

}  // namespace
}  // namespace vantrel::editor::testing
