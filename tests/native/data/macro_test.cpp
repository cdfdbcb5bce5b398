#include "core/data/macro.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel {
namespace {

KeyEntry Read(std::u16string_view line, MacroReadResult* result = nullptr) {
  KeyEntry e;
  MacroReadResult r = ReadMacroLine(line, e);
  if (result) *result = r;
  return e;
}

TEST(MacroLineReader, SplitsModeMarkersAndBodiesByCharacters) {
  MacroReadResult r;
  KeyEntry e = Read(u"結合,#Shift+Ctrl+A,#Enter,*図面番号", &r);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.steps, 3);
  EXPECT_EQ(e.mode, u"結合");
  EXPECT_EQ(e.marker[1], u"#");
  EXPECT_EQ(e.body[1], u"Shift+Ctrl+A");
  EXPECT_EQ(e.marker[2], u"#");
  EXPECT_EQ(e.body[2], u"Enter");
  EXPECT_EQ(e.marker[3], u"*");
  EXPECT_EQ(e.body[3], u"図面番号");
  EXPECT_EQ(e.marker[4], u"");

  e = Read(u"分割,#Shift");
  EXPECT_EQ(e.mode, u"分割");
  EXPECT_EQ(e.body[1], u"Shift");
}

TEST(MacroLineReader, ThirdCharacterIsSkippedUnchecked) {
  KeyEntry e = Read(u"結合X#A");
  EXPECT_EQ(e.mode, u"結合");
  EXPECT_EQ(e.marker[1], u"#");
  EXPECT_EQ(e.body[1], u"A");
  // A comma at position 3 is not a step separator either.
  e = Read(u",,,*x");
  EXPECT_EQ(e.mode, u",,");
  EXPECT_EQ(e.marker[1], u"*");
  EXPECT_EQ(e.body[1], u"x");
}

TEST(MacroLineReader, CommaAlwaysEndsAStepAndTheNextCharacterIsAMarker) {
  MacroReadResult r;
  KeyEntry e = Read(u"結合,*a,b", &r);
  EXPECT_EQ(r.steps, 2);
  EXPECT_EQ(e.body[1], u"a");
  EXPECT_EQ(e.marker[2], u"b");
  EXPECT_EQ(e.body[2], u"");

  // The marker position takes any character, a comma included.
  e = Read(u"結合,,A,,B");
  EXPECT_EQ(e.marker[1], u",");
  EXPECT_EQ(e.body[1], u"A");
  EXPECT_EQ(e.marker[2], u",");
  EXPECT_EQ(e.body[2], u"B");
}

TEST(MacroLineReader, ShortLinesNeverReadPastTheEnd) {
  struct Case {
    std::u16string_view line;
    std::u16string_view mode;
    std::u16string_view marker1;
    std::u16string_view body1;
    int steps;
  };
  const Case cases[] = {
      {u"結", u"結", u"", u"", 1},           {u"結合", u"結合", u"", u"", 1},
      {u"結合,", u"結合", u"", u"", 1},      {u"結合,#", u"結合", u"#", u"", 1},
      {u"結合,#A,", u"結合", u"#", u"A", 2},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(i++);
    KeyEntry e;
    e.marker[1] = u"old";
    e.body[1] = u"old";
    MacroReadResult r = ReadMacroLine(c.line, e);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.steps, c.steps);
    EXPECT_EQ(e.mode, c.mode);
    EXPECT_EQ(e.marker[1], c.marker1);
    EXPECT_EQ(e.body[1], c.body1);
  }
  // A trailing comma opens a step with no marker and no body.
  KeyEntry e = Read(u"結合,#A,");
  EXPECT_EQ(e.marker[2], u"");
  EXPECT_EQ(e.body[2], u"");
}

TEST(MacroLineReader, EmptyLineAndUnreachedStepsKeepWhatTheEntryHeld) {
  KeyEntry e;
  e.mode = u"分割";
  e.marker[1] = u"#";
  e.body[1] = u"A";
  e.marker[3] = u"*";
  e.body[3] = u"kept";
  MacroReadResult r = ReadMacroLine(u"", e);
  EXPECT_EQ(r.steps, 0);
  EXPECT_EQ(e.mode, u"分割");
  EXPECT_EQ(e.body[1], u"A");

  ReadMacroLine(u"結合,#B,#C", e);
  EXPECT_EQ(e.mode, u"結合");
  EXPECT_EQ(e.body[1], u"B");
  EXPECT_EQ(e.body[2], u"C");
  EXPECT_EQ(e.body[3], u"kept");
}

std::u16string Steps(int n, std::u16string_view tail = u"") {
  std::u16string line = u"結合";
  for (int s = 1; s <= n; ++s) line += u",*" + std::u16string(1, static_cast<char16_t>(u'@' + s));
  return line + std::u16string(tail);
}

TEST(MacroLineReader, HoldsSixtyStepsAndRefusesTheSixtyFirst) {
  MacroReadResult r;
  KeyEntry e = Read(Steps(60), &r);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.steps, 60);
  EXPECT_EQ(e.body[60], std::u16string(1, static_cast<char16_t>(u'@' + 60)));

  e = Read(Steps(61), &r);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.steps, 60);
  EXPECT_EQ(e.body[60], std::u16string(1, static_cast<char16_t>(u'@' + 60)));

  // Even an empty 61st step (a trailing comma) has no place.
  EXPECT_FALSE(ReadMacroLine(Steps(60, u","), e).ok);
}

TEST(MacroLineWriter, WritesStepsUpToTheCountStoppingAtTheFirstEmptyBody) {
  KeyEntry e;
  e.mode = u"結合";
  e.marker[1] = u"#";
  e.body[1] = u"Ctrl+S";
  e.marker[2] = u"*";
  e.body[2] = u"図面";
  e.marker[4] = u"#";
  e.body[4] = u"Enter";
  e.count = 2;
  EXPECT_EQ(WriteMacroLine(e), u"結合,#Ctrl+S,*図面");
  e.count = 1;
  EXPECT_EQ(WriteMacroLine(e), u"結合,#Ctrl+S");
  e.count = 4;  // step 3 is empty: step 4 is never reached
  EXPECT_EQ(WriteMacroLine(e), u"結合,#Ctrl+S,*図面");
  e.count = 0;
  EXPECT_EQ(WriteMacroLine(e), u"結合");
  e.count = -3;
  EXPECT_EQ(WriteMacroLine(e), u"結合");
}

TEST(MacroLineWriter, CountAboveSixtyWritesSixtySteps) {
  KeyEntry e = Read(Steps(60));
  e.count = 32767;
  EXPECT_EQ(WriteMacroLine(e), Steps(60));
}

}  // namespace
}  // namespace vantrel
