// Code page 932, files and the layout listing, through the real Win32 calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/win32/win32_test_util.h"
#include "win32/clipboard.h"
#include "win32/codec.h"
#include "win32/files.h"
#include "win32/handles.h"

namespace vantrel::win32 {
namespace {

TEST(Codec, JapaneseAndHalfWidthKatakanaRoundTrip) {
  Cp932Codec codec;
  const std::u16string text = u"図面ｱｲｳｴｵﾞﾟ＋→abc 123";
  const std::string bytes = codec.Encode(text);
  // 図 90 7D, 面 96 CA, then one byte per half-width katakana.
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x90\x7D\x96\xCA"));
  EXPECT_EQ(bytes.substr(4, 7), std::string("\xB1\xB2\xB3\xB4\xB5\xDE\xDF"));
  EXPECT_EQ(codec.Decode(bytes), text);

  // Every single-byte katakana is one character: positions stay character positions.
  std::string kana;
  for (int b = 0xA1; b <= 0xDF; ++b) kana.push_back(static_cast<char>(b));
  const std::u16string decoded = codec.Decode(kana);
  ASSERT_EQ(decoded.size(), kana.size());
  EXPECT_EQ(decoded.front(), u'\uFF61');
  EXPECT_EQ(decoded.back(), u'\uFF9F');
}

TEST(Codec, InvalidBytesNeitherCrashNorStopTheConversion) {
  Cp932Codec codec;
  struct Case {
    std::string bytes;
    char16_t last;  // the text after the bad bytes still converts
  };
  for (const Case& c : {Case{std::string("A\x81"), 0},
                        Case{std::string("A\x81\x20"
                                         "B"),
                             u'B'},
                        Case{std::string("A\xFD\xFE\xFF"
                                         "B"),
                             u'B'},
                        Case{std::string("A\x80\xA0"
                                         "B"),
                             u'B'},
                        Case{std::string("A\x81\x7F\x82\xFC\xEF\x40Z"), u'Z'}}) {
    const std::u16string out = codec.Decode(c.bytes);
    ASSERT_GE(out.size(), 2u) << c.bytes.size() << " bytes";
    EXPECT_EQ(out.front(), u'A');
    if (c.last) {
      EXPECT_EQ(out.back(), c.last);
    }
  }
  // No code page 932 form: "?" and the conversion goes on.
  EXPECT_EQ(codec.Encode(u"a\u00E9b"), "a?b");
  EXPECT_EQ(codec.Encode(u"x\xD83D\xDE00y").front(), 'x');
  EXPECT_EQ(codec.Encode(u"x\xD83D\xDE00y").back(), 'y');
  EXPECT_EQ(codec.Encode(u"x\xD800y").back(), 'y');  // lone surrogate
  EXPECT_EQ(codec.Decode(""), u"");
  EXPECT_EQ(codec.Encode(u""), "");
}

TEST(Locale, AnsiCodePageAsRequested) {
  const char* expect = std::getenv("VANTREL_EXPECT_ACP");
  if (!expect) GTEST_SKIP() << "VANTREL_EXPECT_ACP not set";
  EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expect)));
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test::MakeTempDir(L"files"); }
  void TearDown() override { test::RemoveTree(dir_); }
  std::u16string Path(const std::wstring& name) const { return FromWide(dir_ + L"\\" + name); }
  std::vector<std::wstring> Names() const { return test::ListAll(dir_); }

  std::wstring dir_;
  Win32Files files_;
};

TEST_F(FilesTest, ReplaceSwapsContentAndLeavesNoTemporaryFile) {
  const std::u16string target = Path(L"部品.fkl");
  ASSERT_TRUE(files_.ReplaceAtomically(target, "old\r\n"));
  ASSERT_TRUE(files_.ReplaceAtomically(target, std::string("new\r\n\x90\x7D", 7)));
  EXPECT_EQ(files_.ReadAll(target), std::string("new\r\n\x90\x7D", 7));
  EXPECT_EQ(Names(), std::vector<std::wstring>{L"部品.fkl"});
  ASSERT_TRUE(files_.ReplaceAtomically(target, ""));
  EXPECT_EQ(files_.ReadAll(target), std::string());
  EXPECT_TRUE(files_.FileExists(target));
  EXPECT_FALSE(files_.FileExists(FromWide(dir_)));
  EXPECT_FALSE(files_.ReadAll(Path(L"missing.fkl")).has_value());
}

TEST_F(FilesTest, FailedReplaceKeepsTheOldFileWhole) {
  const std::u16string target = Path(L"plate.fkl");
  ASSERT_TRUE(files_.ReplaceAtomically(target, "old content"));
  // The target held open without delete sharing cannot be replaced: the move
  // fails after the temporary file was written.
  {
    UniqueHandle holder(CreateFileW(ToWide(target).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.Valid());
    EXPECT_FALSE(files_.ReplaceAtomically(target, "new content"));
  }
  EXPECT_EQ(files_.ReadAll(target), "old content");
  EXPECT_EQ(Names(), std::vector<std::wstring>{L"plate.fkl"});

  // A folder that does not exist: nothing is created anywhere.
  EXPECT_FALSE(files_.ReplaceAtomically(Path(L"no such folder\\a.fkl"), "x"));
  EXPECT_EQ(Names(), std::vector<std::wstring>{L"plate.fkl"});
}

TEST_F(FilesTest, LayoutListingTakesOrdinaryFkFilesOnly) {
  for (const wchar_t* name : {L"b.fkl", L"a.fkl", L"部品.fkl", L"plate.old.fkl", L"h.fkl", L"s.fkl",
                              L".dot.fkl", L"notes.txt", L"x.fkl.bak"})
    ASSERT_TRUE(files_.ReplaceAtomically(Path(name), "x"));
  ASSERT_TRUE(CreateDirectoryW((dir_ + L"\\folder.fkl").c_str(), nullptr));
  ASSERT_TRUE(SetFileAttributesW((dir_ + L"\\h.fkl").c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(SetFileAttributesW((dir_ + L"\\s.fkl").c_str(), FILE_ATTRIBUTE_SYSTEM));

  std::vector<std::u16string> listed = ListLayoutFiles(FromWide(dir_ + L"\\"));
  EXPECT_EQ(ListLayoutFiles(FromWide(dir_)), listed);  // with or without the "\"
  // The order is the file system's own: the listing keeps it.
  std::vector<std::u16string> raw;
  for (const std::wstring& n : Names()) raw.push_back(FromWide(n));
  std::vector<std::u16string> expected_order;
  for (const std::u16string& n : raw)
    if (std::find(listed.begin(), listed.end(), n) != listed.end()) expected_order.push_back(n);
  EXPECT_EQ(listed, expected_order);

  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed,
            (std::vector<std::u16string>{u"a.fkl", u"b.fkl", u"plate.old.fkl", u"部品.fkl"}));
  EXPECT_TRUE(ListLayoutFiles(Path(L"missing")).empty());
}

TEST(ClipboardTest, UnicodeTextArrivesWhateverTheCodePage) {
  Win32Clipboard clipboard;
  const std::u16string text = u"図面 ｱｲｳ abc";
  ASSERT_EQ(clipboard.SetText(text), device::Clipboard::Result::kOk);
  EXPECT_EQ(test::ClipboardUnicode(), text);
  // The system derives CF_TEXT in its own code page; on a Japanese system it is
  // the Shift-JIS form.
  if (GetACP() == 932) {
    EXPECT_EQ(test::ClipboardAnsi(), Cp932Codec().Encode(text));
  }

  ASSERT_EQ(clipboard.SetText(u""), device::Clipboard::Result::kOk);
  EXPECT_EQ(test::ClipboardUnicode(), u"");
}

}  // namespace
}  // namespace vantrel::win32
