#include "core/data/keynames.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vantrel {
namespace {

int Code(std::u16string_view name) {
  const KeyName k = LookUpKeyName(name);
  return k.kind == KeyName::Kind::kKey ? k.vk_code : -1;
}

TEST(LookUpKeyName, RangesAndTheCodesThatDifferFromTheUsKeyboard) {
  EXPECT_EQ(Code(u"0"), 48);
  EXPECT_EQ(Code(u"9"), 57);
  EXPECT_EQ(Code(u"A"), 65);
  EXPECT_EQ(Code(u"Z"), 90);
  EXPECT_EQ(Code(u"ﾃﾝｷｰ0"), 96);
  EXPECT_EQ(Code(u"ﾃﾝｷｰ9"), 105);
  EXPECT_EQ(Code(u"F1"), 112);
  EXPECT_EQ(Code(u"F24"), 135);
  EXPECT_EQ(Code(u"Cancel"), 3);
  EXPECT_EQ(Code(u"CapsLock"), 240);
  EXPECT_EQ(Code(u"\\"), 220);
  EXPECT_EQ(Code(u";"), 187);
  EXPECT_EQ(Code(u":"), 186);
  EXPECT_EQ(Code(u"ﾃﾝｷｰEnter"), 108);
  EXPECT_EQ(Code(u"ﾃﾝｷｰ＋"), 107);  // full-width plus
  EXPECT_EQ(Code(u"変換"), 28);
  EXPECT_EQ(Code(u"無変換"), 29);
  EXPECT_EQ(Code(u"Windos"), 91);
  EXPECT_EQ(Code(u"マウスの右ボタン"), 93);
  EXPECT_EQ(Code(u"←"), 37);
  EXPECT_EQ(Code(u"↓"), 40);
  EXPECT_EQ(Code(u"ひらがな"), 242);
  EXPECT_EQ(Code(u"漢字"), 244);
}

TEST(LookUpKeyName, MatchesWholeNamesExactly) {
  for (std::u16string_view name :
       {u"", u"a", u"shift", u"F0", u"F25", u"F01", u"Shift ", u" A", u"ﾃﾝｷｰ+", u"テンキー0", u"Ａ",
        u"Windows", u"leftclick", u"ﾃﾝｷｰ", u"AB"}) {
    EXPECT_EQ(LookUpKeyName(name).kind, KeyName::Kind::kNone) << std::string(name.begin(), name.end());
  }
}

TEST(LookUpKeyName, ClickNamesCarryPressAndReleaseFlagsAndNoKeyCode) {
  const KeyName left = LookUpKeyName(u"LeftClick");
  EXPECT_EQ(left.kind, KeyName::Kind::kClick);
  EXPECT_EQ(left.mouse_down, 2u);
  EXPECT_EQ(left.mouse_up, 4u);
  EXPECT_EQ(left.vk_code, 0);
  EXPECT_EQ(LookUpKeyName(u"RightClick").mouse_down, 8u);
  EXPECT_EQ(LookUpKeyName(u"RightClick").mouse_up, 16u);
  EXPECT_EQ(LookUpKeyName(u"MiddleClick").mouse_down, 32u);
  EXPECT_EQ(LookUpKeyName(u"MiddleClick").mouse_up, 64u);
}

TEST(LookUpKeyName, TableHasOneRowPerNameAndCode) {
  std::set<std::u16string_view> names;
  std::set<int> codes;
  for (const KeyNameRow& row : KeyNameTable()) {
    names.insert(row.name);
    codes.insert(row.code);
    EXPECT_EQ(Code(row.name), row.code);
  }
  EXPECT_EQ(names.size(), KeyNameTable().size());
  EXPECT_EQ(codes.size(), KeyNameTable().size());
  EXPECT_EQ(KeyNameTable().size(), 10u + 26u + 10u + 24u + 51u);
}

}  // namespace
}  // namespace vantrel
