#include "core/data/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/data/macro.h"
#include "data/data_support.h"
#include "tools/common/iconv_codec.h"

namespace vantrel {
namespace {

const IconvCodec codec;

std::string Sjis(std::u16string_view text) {
  return codec.Encode(text);
}

void SetKey(AssignmentTable& t, int m, int k, std::u16string_view label, int count,
            std::u16string_view line) {
  t.KeyLabel(m, k) = label;
  t.StepCount(m, k) = static_cast<std::int16_t>(count);
  ReadMacroLine(line, t.Entry(m, k));
}

// A table whose keys all keep the editor's invariants (count = steps present).
AssignmentTable Sample() {
  AssignmentTable t;
  SetKey(t, 1, 1, u"部品図", 3, u"結合,#Ctrl+S,#Enter,*図面");
  SetKey(t, 1, 32, u"Shift", 1, u"分割,#Shift");
  SetKey(t, 2, 7, u"", 2, u"結合,#Ctrl+ﾃﾝｷｰ＋,*寸法 線");
  SetKey(t, 4, 32, u"label, with comma", 1, u"結合,#F24");
  return t;
}

TEST(LayoutWriter, AlwaysWrites384LinesAndPlacesRecordsByPosition) {
  AssignmentTable t;
  EXPECT_EQ(WriteLayout(t, codec), [] {
    std::string s;
    for (int i = 0; i < kLayoutLines; ++i) s += "\r\n";
    return s;
  }());

  SetKey(t, 1, 5, u"部品図", 1, u"結合,#A");
  SetKey(t, 3, 7, u"x", 1, u"分割,#B");
  const std::vector<std::string> lines = testing::CrLfLines(WriteLayout(t, codec));
  ASSERT_EQ(lines.size(), 384u);
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t no = i + 1;
    if (no == 13) {
      EXPECT_EQ(lines[i], Sjis(u"部品図"));
    } else if (no == 14) {
      EXPECT_EQ(lines[i], "1");
    } else if (no == 15) {
      EXPECT_EQ(lines[i], "\x8c\x8b\x8d\x87,#A");  // 結合 in Shift-JIS
    } else if (no >= 211 && no <= 213) {           // record (3 - 1) * 32 + 7 = 71
      EXPECT_EQ(lines[i], no == 211 ? "x" : no == 212 ? "1" : Sjis(u"分割,#B"));
    } else {
      EXPECT_EQ(lines[i], "") << "line " << no;
    }
  }
}

TEST(LayoutWriter, KeyWithoutStepOneBodyIsAnEmptyRecordAndLosesLabelAndCount) {
  AssignmentTable t;
  t.KeyLabel(1, 1) = u"名前だけ";
  t.StepCount(1, 1) = 2;
  t.StepData(1, 1, 2, 0) = u"結合";
  t.StepData(1, 1, 1, 2) = u"#";
  t.StepData(1, 1, 2, 2) = u"A";
  const std::string bytes = WriteLayout(t, codec);
  EXPECT_EQ(bytes.substr(0, 6), "\r\n\r\n\r\n");

  AssignmentTable back;
  ASSERT_TRUE(ReadLayout(bytes, codec, back).ok);
  EXPECT_EQ(back.KeyLabel(1, 1), u"");
  EXPECT_EQ(back.StepCount(1, 1), 0);
}

TEST(LayoutWriter, CountLineKeepsTheCountWhenStepsStopEarly) {
  AssignmentTable t;
  SetKey(t, 1, 1, u"k", 3, u"結合,#A,#B,#C");
  t.StepData(1, 1, 2, 2).clear();
  const std::vector<std::string> lines = testing::CrLfLines(WriteLayout(t, codec));
  EXPECT_EQ(lines[1], "3");
  EXPECT_EQ(lines[2], Sjis(u"結合,#A"));

  AssignmentTable back;
  ReadLayout(WriteLayout(t, codec), codec, back);
  EXPECT_EQ(back.StepCount(1, 1), 3);
  EXPECT_EQ(back.StepData(1, 1, 2, 2), u"");
  EXPECT_EQ(back.StepData(1, 1, 2, 3), u"");
}

TEST(LayoutReader, ShortFilesFillTheirKeysAndLeaveTheRestCleared) {
  AssignmentTable t = Sample();
  LayoutReadResult r = ReadLayout("", codec, t);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.records, 0);
  AssignmentTable cleared = Sample();
  cleared.Clear();  // modes are not cleared: nothing reads them with a count of 0
  EXPECT_EQ(t, cleared);

  t = Sample();
  const std::string two = Sjis(u"一\r\n1\r\n結合,#A\r\n二\r\n2\r\n分割,#B,*テキスト\r\n");
  r = ReadLayout(two, codec, t);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.records, 2);
  EXPECT_EQ(t.KeyLabel(1, 1), u"一");
  EXPECT_EQ(t.StepData(1, 2, 2, 2), u"テキスト");
  EXPECT_EQ(t.KeyLabel(1, 32), u"");  // held "Shift" before the read
  EXPECT_EQ(t.StepCount(4, 32), 0);
  EXPECT_EQ(t.StepData(2, 7, 2, 1), u"");
}

TEST(LayoutReader, TruncatedRecordFailsAtTheMissingLineKeepingEarlierKeys) {
  AssignmentTable t;
  std::string bytes = Sjis(u"一\r\n1\r\n結合,#A\r\n二\r\n2\r\n");
  LayoutReadResult r = ReadLayout(bytes, codec, t);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.reason, LayoutError::kTruncatedRecord);
  EXPECT_EQ(r.line, 6);
  EXPECT_EQ(r.records, 1);
  EXPECT_EQ(t.StepData(1, 1, 2, 1), u"A");
  EXPECT_EQ(t.KeyLabel(1, 2), u"二");  // stored before the failing line
  EXPECT_EQ(t.StepCount(1, 2), 2);

  r = ReadLayout("a\r\n", codec, t);
  EXPECT_EQ(r.reason, LayoutError::kTruncatedRecord);
  EXPECT_EQ(r.line, 2);
  EXPECT_EQ(t.KeyLabel(1, 1), u"a");

  // End of file is tested only before a record: a stray empty line after the
  // last record starts a record that cannot be completed.
  r = ReadLayout("a\r\n1\r\nxx,#A\r\n\r\n", codec, t);
  EXPECT_EQ(r.reason, LayoutError::kTruncatedRecord);
  EXPECT_EQ(r.line, 5);
}

TEST(LayoutReader, CountLineTakesTheLeadingNumber) {
  struct Case {
    const char* line;
    std::int16_t count;
  };
  const Case cases[] = {{"7", 7},     {"  7", 7},       {"7abc", 7},        {"", 0},
                        {"abc", 0},   {"-5", -5},       {"+4", 4},          {"1.5", 2},
                        {"2.5", 2},   {"3.5", 4},       {"2.51", 3},        {"-2.5", -2},
                        {"0099", 99}, {"32767", 32767}, {"-32768", -32768}, {"-32768.5", -32768},
                        {"\t8", 8},   {".5", 0},        {"1e3", 1},         {"- 3", 0},
                        {"12 34", 12}};
  for (const Case& c : cases) {
    AssignmentTable t;
    LayoutReadResult r = ReadLayout(std::string("k\r\n") + c.line + "\r\n\r\n", codec, t);
    EXPECT_TRUE(r.ok) << c.line;
    EXPECT_EQ(t.StepCount(1, 1), c.count) << c.line;
  }
}

TEST(LayoutReader, CountOutsideSixteenBitsFailsAtTheCountLine) {
  for (const char* line : {"32768", "-32769", "32767.5", "100000", "99999999999999999999"}) {
    AssignmentTable t;
    LayoutReadResult r =
        ReadLayout(std::string("a\r\n1\r\nxx,#A\r\nb\r\n") + line + "\r\nxx,#B\r\n", codec, t);
    EXPECT_FALSE(r.ok) << line;
    EXPECT_EQ(r.reason, LayoutError::kCountOutOfRange) << line;
    EXPECT_EQ(r.line, 5) << line;
    EXPECT_EQ(t.KeyLabel(1, 2), u"b");
    EXPECT_EQ(t.StepCount(1, 2), 0);
    EXPECT_EQ(t.StepData(1, 2, 2, 1), u"");
  }
}

TEST(LayoutReader, MacroLineOfSixtyOneStepsFailsAfterStoringSixty) {
  std::string line = "xx";
  for (int s = 1; s <= 61; ++s) line += ",*" + std::to_string(s);
  AssignmentTable t;
  LayoutReadResult r = ReadLayout("a\r\n61\r\n" + line + "\r\n", codec, t);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.reason, LayoutError::kTooManySteps);
  EXPECT_EQ(r.line, 3);
  EXPECT_EQ(r.records, 0);
  EXPECT_EQ(t.StepCount(1, 1), 61);
  EXPECT_EQ(t.StepData(1, 1, 2, 60), u"60");
}

TEST(LayoutReader, EmptyMacroLineStoresLabelAndCountOnly) {
  AssignmentTable t;
  ReadLayout("only label\r\n3\r\n\r\n", codec, t);
  EXPECT_EQ(t.KeyLabel(1, 1), u"only label");
  EXPECT_EQ(t.StepCount(1, 1), 3);
  EXPECT_EQ(t.StepData(1, 1, 1, 1), u"");
}

TEST(LayoutReader, AcceptsLfLineEndsAndKeepsLoneCarriageReturns) {
  const AssignmentTable sample = Sample();
  std::string crlf = WriteLayout(sample, codec);
  std::string lf;
  for (char c : crlf)
    if (c != '\r') lf += c;
  AssignmentTable t;
  EXPECT_TRUE(ReadLayout(lf, codec, t).ok);
  EXPECT_EQ(t, sample);

  // A CR inside a line, or doubled before the line end, is text.
  t = AssignmentTable{};
  ASSERT_TRUE(ReadLayout("a\rb\r\r\n1\r\nxx,*c\rd\n", codec, t).ok);
  EXPECT_EQ(t.KeyLabel(1, 1), u"a\rb\r");
  EXPECT_EQ(t.StepData(1, 1, 2, 1), u"c\rd");
  EXPECT_EQ(WriteLayout(t, codec).substr(0, 18), "a\rb\r\r\n1\r\nxx,*c\rd\r\n");

  // The last line needs no line end.
  t = AssignmentTable{};
  ASSERT_TRUE(ReadLayout("a\r\n1\r\nxx,#A", codec, t).ok);
  EXPECT_EQ(t.StepData(1, 1, 2, 1), u"A");
}

TEST(LayoutReader, InvalidShiftJisNeverCrashesAndNeverSplitsLines) {
  // Lead bytes without a trail byte, right before the line ends and at the end.
  const std::string bytes = "\x81\r\n1\x82\r\n\x8c\x8b\x8d,#\xff\xfe\x80\r\n\x81";
  AssignmentTable t;
  LayoutReadResult r = ReadLayout(bytes, codec, t);
  EXPECT_EQ(r.reason, LayoutError::kTruncatedRecord);
  EXPECT_EQ(r.line, 5);
  EXPECT_EQ(t.StepCount(1, 1), 1);
  EXPECT_EQ(t.StepData(1, 1, 1, 1), u"#");
}

TEST(LayoutReader, RecordsOnlyReadingLeavesUntouchedKeysAsTheyWere) {
  AssignmentTable t = Sample();
  ASSERT_TRUE(ReadLayoutRecords("x\r\n1\r\nxx,#A\r\n", codec, t).ok);
  EXPECT_EQ(t.KeyLabel(1, 1), u"x");
  EXPECT_EQ(t.StepData(1, 1, 2, 2), u"Enter");  // the line holds one step only
  EXPECT_EQ(t.KeyLabel(1, 32), u"Shift");
}

TEST(Layout, WrittenFileReadsBackAndRewritesByteForByte) {
  const AssignmentTable sample = Sample();
  const std::string first = WriteLayout(sample, codec);
  AssignmentTable t;
  ASSERT_TRUE(ReadLayout(first, codec, t).ok);
  EXPECT_EQ(t, sample);
  EXPECT_EQ(WriteLayout(t, codec), first);

  // Reading the same file twice after a clear gives the same table.
  AssignmentTable again = Sample();
  ReadLayout(first, codec, again);
  ReadLayout(first, codec, again);
  EXPECT_EQ(again, t);
}

TEST(LayoutFiles, LoadAndSaveGoThroughTheFileSystem) {
  testing::MemoryFiles fs;
  const AssignmentTable sample = Sample();
  ASSERT_TRUE(SaveLayoutFile(fs, u"C:\\fk\\plate.fkl", codec, sample));
  EXPECT_EQ(fs.files[u"C:\\fk\\plate.fkl"], WriteLayout(sample, codec));

  AssignmentTable t = Sample();
  t.KeyLabel(3, 3) = u"stale";
  LayoutReadResult r = LoadLayoutFile(fs, u"C:\\fk\\plate.fkl", codec, t);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(t, sample);

  // Missing file: failure, and the table is left alone (it is not even cleared).
  r = LoadLayoutFile(fs, u"C:\\fk\\missing.fkl", codec, t);
  EXPECT_EQ(r.reason, LayoutError::kCannotOpen);
  EXPECT_EQ(t, sample);
  r = LoadLayoutRecords(fs, u"C:\\fk\\missing.fkl", codec, t);
  EXPECT_EQ(r.reason, LayoutError::kCannotOpen);

  fs.read_only = true;
  EXPECT_FALSE(SaveLayoutFile(fs, u"C:\\fk\\other.fkl", codec, sample));
}

}  // namespace
}  // namespace vantrel
