#include "core/data/macro.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tools/common/iconv_codec.h"

namespace vantrel {
namespace {

// The mode, then "|" marker body for steps 1 to last.
std::u16string Dump(const KeyEntry& e, int last) {
  std::u16string out = e.mode;
  for (int s = 1; s <= last; ++s) out += u"|" + e.marker[s] + e.body[s];
  return out;
}

// "結合" and n text steps "*A", "*B", ... (step 60 is "*|").
std::u16string Steps(int n) {
  std::u16string line = u"結合";
  for (int s = 1; s <= n; ++s) line += {u',', u'*', static_cast<char16_t>(u'@' + s)};
  return line;
}

TEST(MacroLineReader, SplitsByCharacterPositionAndCommasLeavingTheRestAlone) {
  // The line, the steps read and the entry from its mode to one step past the last
  // read; every step held "oold" before.
  const std::tuple<std::u16string_view, int, std::u16string_view> cases[] = {
      {u"結合,#Shift+Ctrl+A,#Enter,*図面番号", 3, u"結合|#Shift+Ctrl+A|#Enter|*図面番号|oold"},
      {u"分割,#Shift", 1, u"分割|#Shift|oold"},
      {u"結合X#A", 1, u"結合|#A|oold"},  // character 3 is skipped unchecked, even a comma
      {u",,,*x", 1, u",,|*x|oold"},
      {u"結合,*a,b", 2, u"結合|*a|b|oold"},  // the character after a comma is a marker
      {u"結合,,A,,B", 2, u"結合|,A|,B|oold"},
      {u"", 0, u"MM|oold"},
      {u"結", 1, u"結||oold"},  // step 1 exists as soon as the line does
      {u"結合,", 1, u"結合||oold"},
      {u"結合,#", 1, u"結合|#|oold"},
      {u"結合,#A,", 2, u"結合|#A||oold"}};
  for (const auto& [line, steps, dump] : cases) {
    KeyEntry e;
    e.mode = u"MM";
    e.marker.fill(u"o");
    e.body.fill(u"old");
    const MacroReadResult r = ReadMacroLine(line, e);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.steps, steps) << ToUtf8(line);
    EXPECT_EQ(Dump(e, steps + 1), dump);
  }
}

TEST(MacroLineReader, HoldsSixtyStepsAndRefusesMore) {
  for (const std::u16string& line : {Steps(60), Steps(61), Steps(60) + u","}) {
    KeyEntry e;
    const MacroReadResult r = ReadMacroLine(line, e);
    EXPECT_EQ(r.ok, line == Steps(60));
    EXPECT_EQ(r.steps, 60);
    EXPECT_EQ(e.marker[60] + e.body[60], u"*|");
  }
}

TEST(MacroLineWriter, WritesStepsUpToTheCountStoppingAtTheFirstEmptyBody) {
  KeyEntry e;
  ASSERT_TRUE(ReadMacroLine(u"結合,#A,*図,#,#D", e).ok);
  const std::pair<int, std::u16string_view> cases[] = {
      {2, u"結合,#A,*図"}, {1, u"結合,#A"}, {5, u"結合,#A,*図"}, {0, u"結合"}, {-3, u"結合"}};
  for (const auto& [count, line] : cases) {
    e.count = static_cast<std::int16_t>(count);
    EXPECT_EQ(WriteMacroLine(e), line) << count;
  }
  ASSERT_TRUE(ReadMacroLine(Steps(60), e).ok);
  e.count = 32767;
  EXPECT_EQ(WriteMacroLine(e), Steps(60));
}

}  // namespace
}  // namespace vantrel
