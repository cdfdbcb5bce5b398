// The rules file: what is a rule, what is kept as the user wrote it, what is written.
#include "core/data/rules.h"

#include <gtest/gtest.h>

#include "data/greedy_codec.h"

namespace vantrel {
namespace {

const IconvCodec codec;
using Match = LayoutRule::Match;

TEST(RulesFile, ReadsRulesKeepsEveryOtherLineAndWritesThemBackInPlace) {
  // "ポ" is 83 7C in code page 932: its trail byte is "|".
  const std::string file =
      codec.Encode(u"; 図面用\r\nProgram= acad.exe |C:\\fk\\acad.fkl \r\n"
                   u"Title=Viewer | 2|D:\\ポ.fkl\nTitle=|C:\\a.fkl\r\n"
                   u"Program=NOTEPAD.EXE\r\nSwitch=0\r\nTitle=ポ|C:\\b.fkl\r\n") +
      "Program=x\xff.exe|C:\\c.fkl\r\n";
  const RulesFile read = ReadRules(file, codec);
  EXPECT_FALSE(read.enabled);
  EXPECT_EQ(read.damaged, 2u);
  ASSERT_EQ(read.lines.size(), 7u);
  EXPECT_EQ(read.lines[1].rule, (LayoutRule{Match::kProgram, u"acad.exe", u"C:\\fk\\acad.fkl"}));
  EXPECT_EQ(read.lines[2].rule, (LayoutRule{Match::kTitle, u"Viewer | 2", u"D:\\ポ.fkl"}));
  EXPECT_EQ(read.lines[5].rule, (LayoutRule{Match::kTitle, u"ポ", u"C:\\b.fkl"}));
  EXPECT_TRUE(read.Rules().empty());  // set aside
  // Every line the user wrote comes back byte for byte, damaged bytes too; the
  // switch is written first.
  RulesFile on = read;
  on.enabled = true;
  EXPECT_EQ(on.Rules().size(), 4u);
  EXPECT_EQ(WriteRules(on, codec),
            codec.Encode(u"Switch=1\r\n; 図面用\r\nProgram= acad.exe |C:\\fk\\acad.fkl \r\n"
                         u"Title=Viewer | 2|D:\\ポ.fkl\r\nTitle=|C:\\a.fkl\r\n"
                         u"Program=NOTEPAD.EXE\r\nTitle=ポ|C:\\b.fkl\r\n") +
                "Program=x\xff.exe|C:\\c.fkl\r\n");
  // A rule the program makes is written from the rule, if the file can hold it.
  on.lines = {{LayoutRule{Match::kTitle, u"図面 | 1", u"C:\\図.fkl"}, {}},
              {LayoutRule{Match::kProgram, u"x😀.exe", u"C:\\a.fkl"}, {}},
              {LayoutRule{Match::kTitle, u"a", u"C:\\a|b.fkl"}, {}},
              {LayoutRule{Match::kTitle, u"a\r\nProgram=b", u"C:\\a.fkl"}, {}}};
  EXPECT_EQ(WriteRules(on, codec), "Switch=1\r\n" + codec.Encode(u"Title=図面 | 1|C:\\図.fkl\r\n"));
  EXPECT_EQ(ReadRules(WriteRules(on, codec), codec).Rules().front(), *on.lines[0].rule);
}

TEST(RulesFile, ProgramsMatchWhateverTheCaseAndTitlesByTheirStart) {
  const struct {
    LayoutRule rule;
    WindowIdentity window;
    bool matches;
  } cases[] = {
      {{Match::kProgram, u"ACAD.EXE", u"p"}, {u"acad.exe", u"x"}, true},
      {{Match::kProgram, u"ＡＣＡＤ.exe", u"p"}, {u"ａｃａｄ.EXE", u"x"}, true},
      {{Match::kProgram, u"ACAD.EXE", u"p"}, {u"ACAD.EXE.bak", u"ACAD.EXE"}, false},
      {{Match::kProgram, u"", u"p"}, {u"", u""}, false},
      {{Match::kTitle, u"Helix", u"p"}, {u"h.exe", u"Helix - 1"}, true},
      {{Match::kTitle, u"Helix", u"p"}, {u"h.exe", u"helix - 1"}, false},
      {{Match::kTitle, u"Helix", u"p"}, {u"Helix", u"Hel"}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Matches(c.rule, c.window), c.matches) << ToUtf8(c.rule.pattern);
  }
}

}  // namespace
}  // namespace vantrel
