#include "core/data/layout.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "core/data/macro.h"
#include "tools/common/iconv_codec.h"
#include "tools/common/posix_files.h"

namespace vantrel {
namespace {

const IconvCodec codec;

// Every entry that differs from a fresh one, as "m.k label/count/mode,marker body,...;"
// up to its last step holding anything.
std::u16string Dump(const AssignmentTable& t) {
  std::u16string out;
  for (int m = 1; m <= kMouseStates; ++m) {
    for (int k = 1; k <= kKeys; ++k) {
      const KeyEntry& e = t.Entry(m, k);
      if (e == KeyEntry{}) continue;
      int last = kMaxSteps;
      while (last > 0 && e.marker[last].empty() && e.body[last].empty()) --last;
      out += FromUtf8(std::to_string(m) + "." + std::to_string(k) + " ") + e.label + u"/" +
             FromUtf8(std::to_string(e.count)) + u"/" + e.mode;
      for (int s = 1; s <= last; ++s) out += u"," + e.marker[s] + e.body[s];
      out += u";";
    }
  }
  return out;
}

void Set(AssignmentTable& t, int m, int k, std::u16string_view label, int count,
         std::u16string_view line) {
  KeyEntry& e = t.Entry(m, k) = KeyEntry{};
  e.label = label;
  e.count = static_cast<std::int16_t>(count);
  ReadMacroLine(line, e);
}

AssignmentTable Sample() {
  AssignmentTable t;
  Set(t, 1, 1, u"部品図", 3, u"結合,#Ctrl+S,#Enter,*図面");
  Set(t, 1, 32, u"Shift", 1, u"分割,#Shift");
  Set(t, 2, 7, u"", 2, u"結合,#Ctrl+ﾃﾝｷｰ＋,*寸法 線");
  Set(t, 4, 32, u"label, with comma", 1, u"結合,#F24");
  return t;
}

TEST(Layout, WritesEveryRecordInPlaceAndReadsItBack) {
  AssignmentTable t = Sample();
  Set(t, 3, 1, u"名前だけ", 2, u"結合,#,#A");  // no step 1 body: three empty lines
  Set(t, 3, 2, u"k", 3, u"結合,#A,#,#C");      // the count stays when the steps stop early
  // Stray indices share the unused entry 0.0, which is never written.
  for (auto [m, k] : {std::pair{5, 1}, {1, 33}, {0, 0}, {-1, 1}}) t.Entry(m, k).label = u"stray";
  const auto blank = [](int records) {
    std::u16string s;
    while (records-- > 0) s += u"\r\n\r\n\r\n";
    return s;
  };
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
       u"1.1 \uFFFD/1/結\uFFFD,#\uFFFD\uFFFD\uFFFD;1.2 \uFFFD/0/;"}};
  for (const auto& [bytes, reason, line, records, dump] : cases) {
    AssignmentTable t;
    const LayoutReadResult r = ReadLayout(bytes, codec, t);
    EXPECT_EQ(std::tuple(r.ok, r.reason, r.line, r.records),
              std::tuple(reason == LayoutError::kNone, reason, line, records))
        << bytes;
    EXPECT_EQ(Dump(t), dump) << bytes;
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

  ASSERT_TRUE(SaveLayoutFile(files, path("plate.fkl"), codec, Sample()));
  EXPECT_EQ(files.ReadAll(path("plate.fkl")), WriteLayout(Sample(), codec));
  EXPECT_EQ(files.ReadAll(path("link.fkl")), "old");  // renamed over, not rewritten in place
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
