// The assignment table, the macro line and the layout file.
#include "core/data/layout.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "common/fakes.h"
#include "data/greedy_codec.h"
#include "tools/common/posix_files.h"

namespace vantrel {
namespace {

using namespace vantrel::testing;
const IconvCodec codec;

TEST(AssignmentTable, ClearEmptiesEveryStepHoweverWrittenOrLookedAtAndKeepsTheModes) {
  AssignmentTable t, expected;
  expected.Entry(1, 1).mode = u"分割";
  for (int round = 0; round < 2; ++round) {
    t.Entry(4, 32).body[60] = u"stale";
    t.Entry(1, 1) = {u"label", 3, u"分割", {u"#"}, {u"", u"A", u"B"}};
    t.Entry(2, 5).marker.fill(u"*");
    t.Clear();
    EXPECT_TRUE(t.Entry(2, 1).body[60].empty() && t == expected) << "round " << round;
  }
}

// The mode, then "," marker body for steps 1 to last.
std::u16string Dump(const KeyEntry& e, int last) {
  std::u16string out = e.mode;
  for (int s = 1; s <= last; ++s) out += u"," + e.marker[s] + e.body[s];
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
      {u"結合,#Shift+Ctrl+A,#Enter,*図面番号", 3, u"結合,#Shift+Ctrl+A,#Enter,*図面番号,oold"},
      {u"分割,#Shift", 1, u"分割,#Shift,oold"},
      {u"結合X#A", 1, u"結合,#A,oold"},  // character 3 is skipped unchecked, even a comma
      {u",,,*x", 1, u",,,*x,oold"},
      {u"結合,*a,b", 2, u"結合,*a,b,oold"},  // the character after a comma is a marker
      {u"結合,,A,,B", 2, u"結合,,A,,B,oold"},
      {u"", 0, u"MM,oold"},
      {u"結", 1, u"結,,oold"},  // step 1 exists as soon as the line does
      {u"結合,", 1, u"結合,,oold"},
      {u"結合,#", 1, u"結合,#,oold"},
      {u"結合,#A,", 2, u"結合,#A,,oold"}};
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

// Every entry that differs from a fresh one, as "m.k label/count/" and its dump up to its
// last step holding anything, then ";".
std::u16string Dump(const AssignmentTable& t) {
  std::u16string out;
  for (int m = 1; m <= kMouseStates; ++m) {
    for (int k = 1; k <= kKeys; ++k) {
      const KeyEntry& e = t.Entry(m, k);
      if (e == KeyEntry{}) continue;
      int last = kMaxSteps;
      while (last > 0 && e.marker[last].empty() && e.body[last].empty()) --last;
      out += FromUtf8(std::to_string(m) + "." + std::to_string(k) + " ") + e.label + u"/" +
             FromUtf8(std::to_string(e.count)) + u"/" + Dump(e, last) + u";";
    }
  }
  return out;
}

AssignmentTable Sample() {
  AssignmentTable t;
  Assign(t.Entry(1, 1), u"結合,#Ctrl+S,#Enter,*図面").label = u"部品図";
  Assign(t.Entry(1, 32), u"分割,#Shift").label = u"Shift";
  Assign(t.Entry(2, 7), u"結合,#Ctrl+ﾃﾝｷｰ＋,*寸法 線");
  Assign(t.Entry(4, 32), u"結合,#F24").label = u"label, with comma";
  return t;
}

TEST(Layout, WritesEveryRecordInPlaceAndReadsItBack) {
  AssignmentTable t = Sample();
  Assign(t.Entry(3, 1), u"結合,#,#A").label = u"名前だけ";  // no step 1 body: three empty lines
  Assign(t.Entry(3, 2), u"結合,#A,#,#C").label = u"k";      // the count stays when steps stop early
  // Stray indices share the unused entry 0.0, which is never written.
  for (auto [m, k] : {std::pair{5, 1}, {1, 33}, {0, 0}, {-1, 1}}) t.Entry(m, k).label = u"stray";
  const auto blank = [](int records) { return Repeat(u"\r\n\r\n\r\n"s, records); };
  const std::string bytes = WriteLayout(t, codec);
  EXPECT_EQ(bytes, codec.Encode(u"部品図\r\n3\r\n結合,#Ctrl+S,#Enter,*図面\r\n" + blank(30) +
                                u"Shift\r\n1\r\n分割,#Shift\r\n" + blank(6) +
                                u"\r\n2\r\n結合,#Ctrl+ﾃﾝｷｰ＋,*寸法 線\r\n" + blank(26) +
                                u"k\r\n3\r\n結合,#A\r\n" + blank(61) +
                                u"label, with comma\r\n1\r\n結合,#F24\r\n"));

  AssignmentTable back;
  ASSERT_EQ(ReadLayout(bytes, codec, back).records, 128);
  EXPECT_EQ(WriteLayout(back, codec), bytes);
}

TEST(LayoutReader, StopsAtTheFailingLineKeepingWhatCameBefore) {
  // The file, how reading ends (error, line, records stored) and what it stored.
  const std::tuple<std::string, LayoutError, int, int, std::u16string> cases[] = {
      {"", LayoutError::kNone, 0, 0, u""},
      // LF alone ends a line too; any other CR is text; the last line needs no line end.
      {"a\rb\r\r\n1\nxx,*c\rd\ne\r\n2.5\r\n\r\nf\n-1\nxx,#A", LayoutError::kNone, 0, 3,
       u"1.1 a\rb\r/1/xx,*c\rd;1.2 e/2/;1.3 f/-1/xx,#A;"},
      {"a\r\n", LayoutError::kTruncatedRecord, 2, 0, u"1.1 a/0/;"},
      {codec.Encode(u"一\r\n1\r\n結合,#A\r\n二\r\n2\r\n"), LayoutError::kTruncatedRecord, 6, 1,
       u"1.1 一/1/結合,#A;1.2 二/2/;"},
      // Only a record's first line may be missing: a stray empty line starts a record.
      {"a\r\n1\r\nxx,#A\r\n\r\n", LayoutError::kTruncatedRecord, 5, 1, u"1.1 a/1/xx,#A;"},
      {"a\r\n1\r\nxx,#A\r\nb\r\n32768\r\nxx,#B\r\n", LayoutError::kCountOutOfRange, 5, 1,
       u"1.1 a/1/xx,#A;1.2 b/0/;"},
      // 61 steps, each a comma for a marker and no body; the first 60 are stored.
      {"a\r\n61\r\nxx" + std::string(121, ',') + "\r\n", LayoutError::kTooManySteps, 3, 0,
       FromUtf8("1.1 a/61/xx" + std::string(120, ',') + ";")},
      // Invalid bytes, lead bytes before a line end among them, split no line.
      {"\x81\r\n1\x82\r\n\x8c\x8b\x8d,#\xff\xfe\x80\r\n\x81", LayoutError::kTruncatedRecord, 5, 1,
       u"1.1 \uFFFD/1/結\uFFFD,#\uFFFD\uFFFD\uFFFD;1.2 \uFFFD/0/;"},
      // Nor line breaks alone, nor commas; a damaged pair counts as one character.
      {"x\x81\n2\n\x8c\x8b\x8d\x87,#A\x81,#B\ny\n1\n\x81\x7f\x81\x7f,A,B", LayoutError::kNone, 0, 2,
       u"1.1 x\uFFFD/2/結合,#A\uFFFD,#B;1.2 y/1/\uFFFD\uFFFD,A,B;"}};
  // The Windows decoder lets a lead byte take whatever byte follows: the same records.
  const testing::GreedyCodec greedy;
  const TextCodec* const codecs[] = {&codec, &greedy};
  for (const auto& [bytes, reason, line, records, dump] : cases) {
    for (const TextCodec* c : codecs) {
      AssignmentTable t;
      const LayoutReadResult r = ReadLayout(bytes, *c, t);
      EXPECT_EQ(std::tuple(r.ok, r.reason, r.line, r.records),
                std::tuple(reason == LayoutError::kNone, reason, line, records))
          << bytes;
      std::u16string got = Dump(t);
      std::replace(got.begin(), got.end(), u'\u30FB', u'\uFFFD');  // its replacement character
      EXPECT_EQ(got, dump) << bytes;
    }
  }
}

TEST(LayoutFiles, SaveReplacesTheFileWholeAndAFailedLoadLeavesTheTableAlone) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("vantrel-layout-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "folder");
  const auto path = [&](const char* name) { return FromUtf8((dir / name).string()); };
  std::ofstream(dir / "plate.fkl") << "old";
  fs::create_hard_link(dir / "plate.fkl", dir / "link.fkl");
  const PosixFiles files;

  fs::permissions(dir / "plate.fkl", fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(SaveLayoutFile(files, path("plate.fkl"), codec, Sample()));
  EXPECT_EQ(files.ReadAll(path("plate.fkl")), WriteLayout(Sample(), codec));
  EXPECT_EQ(files.ReadAll(path("link.fkl")), "old");  // renamed over, not rewritten in place
  // The mode is kept; a read-only file is not replaced.
  EXPECT_EQ(fs::status(dir / "plate.fkl").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(dir / "link.fkl", fs::perms::owner_read);
  EXPECT_FALSE(SaveLayoutFile(files, path("link.fkl"), codec, Sample()));
  EXPECT_FALSE(SaveLayoutFile(files, path("folder"), codec, Sample()));
  // No temporary file is left, not even by the failed save.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);

  // Loading records over a table keeps what the file does not reach; loading a layout
  // clears everything but the modes first, once the file is open.
  AssignmentTable t = Sample();
  std::ofstream(dir / "short.fkl") << "x\r\n1\r\nxx,#A\r\n";
  ASSERT_TRUE(LoadLayoutRecords(files, path("short.fkl"), codec, t).ok);
  EXPECT_EQ(Dump(t),
            u"1.1 x/1/xx,#A,#Enter,*図面;1.32 Shift/1/分割,#Shift;"
            u"2.7 /2/結合,#Ctrl+ﾃﾝｷｰ＋,*寸法 線;4.32 label, with comma/1/結合,#F24;");
  ASSERT_TRUE(LoadLayoutFile(files, path("short.fkl"), codec, t).ok);
  const std::u16string loaded = u"1.1 x/1/xx,#A;1.32 /0/分割;2.7 /0/結合;4.32 /0/結合;";
  EXPECT_EQ(Dump(t), loaded);
  EXPECT_EQ(LoadLayoutFile(files, path("missing.fkl"), codec, t).reason, LayoutError::kCannotOpen);
  EXPECT_EQ(LoadLayoutRecords(files, path("folder"), codec, t).reason, LayoutError::kCannotOpen);
  EXPECT_EQ(Dump(t), loaded);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vantrel
