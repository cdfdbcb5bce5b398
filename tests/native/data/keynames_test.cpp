#include "core/data/keynames.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "tools/common/iconv_codec.h"

namespace vantrel {
namespace {

int Code(std::u16string_view name) {
  const KeyName k = LookUpKeyName(name);
  return k.kind == KeyName::Kind::kKey ? k.vk_code : -1;
}

TEST(LookUpKeyName, GivesEachWholeNameItsOwnCodeOrClickFlags) {
  for (int i = 0; i < 26; ++i) {
    const std::u16string digit(1, static_cast<char16_t>(u'0' + i % 10));
    EXPECT_EQ(Code(digit), 48 + i % 10);
    EXPECT_EQ(Code(u"ﾃﾝｷｰ" + digit), 96 + i % 10);
    EXPECT_EQ(Code(std::u16string(1, static_cast<char16_t>(u'A' + i))), 65 + i);
    EXPECT_EQ(Code(FromUtf8("F" + std::to_string(i + 1))), i < 24 ? 112 + i : -1);
  }
  const std::pair<std::u16string_view, int> odd[] = {
      {u"ﾃﾝｷｰ＋", 107}, {u"ﾃﾝｷｰEnter", 108}, {u"←", 37},      {u"↑", 38},
      {u"→", 39},       {u"↓", 40},          {u"Windos", 91}, {u"マウスの右ボタン", 93},
      {u"変換", 28},    {u"無変換", 29},     {u"\\", 220},    {u":", 186},
      {u";", 187},      {u"ひらがな", 242},  {u"漢字", 244},  {u"Cancel", 3}};
  for (const auto& [name, code] : odd) EXPECT_EQ(Code(name), code) << ToUtf8(name);
  // Matching is whole and exact: case, width, blanks and half-width katakana count.
  for (std::u16string_view name : {u"", u"a", u"shift", u"F0", u"F01", u"Shift ", u" A", u"ﾃﾝｷｰ+",
                                   u"テンキー0", u"Ａ", u"Windows", u"leftclick", u"ﾃﾝｷｰ", u"AB"}) {
    EXPECT_EQ(LookUpKeyName(name).kind, KeyName::Kind::kNone) << ToUtf8(name);
  }
  std::set<std::u16string_view> names;
  std::set<int> codes;
  for (const KeyNameRow& row : KeyNameTable()) {
    names.insert(row.name);
    codes.insert(row.code);
  }
  // No name or code twice, and no row lost.
  EXPECT_EQ(std::tuple(KeyNameTable().size(), names.size(), codes.size()),
            std::tuple(121u, 121u, 121u));
  // Click names carry the flags that press and release their button, and no key code.
  for (const auto& [name, down, up] :
       {std::tuple{u"LeftClick", 2u, 4u}, {u"RightClick", 8u, 16u}, {u"MiddleClick", 32u, 64u}}) {
    const KeyName k = LookUpKeyName(name);
    EXPECT_EQ(std::tuple(k.kind, k.vk_code, k.mouse_down, k.mouse_up),
              std::tuple(KeyName::Kind::kClick, 0, down, up));
  }
}

}  // namespace
}  // namespace vantrel
