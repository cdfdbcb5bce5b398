#include "core/data/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/data_support.h"
#include "tools/common/iconv_codec.h"

namespace vantrel {
namespace {

const IconvCodec codec;

Settings Read(std::u16string_view text, Settings s = {}) {
  ReadSettings(codec.Encode(text), codec, s);
  return s;
}

TEST(SettingsWriter, WritesTheBannerAndSevenLinesByteForByte) {
  Settings s;
  s.FkNameT = u"C:\\fk\\plate.fkl";
  s.Form2Top = -120;
  s.Form2Left = 0;
  s.FileOn = 1;
  s.Timer1On = 0;
  s.ComS = 3;
  s.FkModel = u"";
  const std::string bytes = WriteSettings(s, codec);
  ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  const std::vector<std::string> lines = testing::CrLfLines(bytes);
  ASSERT_EQ(lines.size(), 12u);

  const std::string stars(82, '*');
  const std::string frame = "*" + std::string(80, ' ') + "*";
  EXPECT_EQ(lines[0], stars);
  EXPECT_EQ(lines[1], frame);
  // "*  MCADAM Helix 用 FK流用プログラム  設定値", 38 blanks, "*": 82 bytes.
  EXPECT_EQ(lines[2],
            "*  MCADAM Helix \x97\x70 FK\x97\xac\x97\x70\x83\x76\x83\x8d\x83\x4f\x83\x89\x83\x80"
            "  \x90\xdd\x92\xe8\x92\x6c" +
                std::string(38, ' ') + "*");
  EXPECT_EQ(lines[2].size(), 82u);
  EXPECT_EQ(lines[3], frame);
  EXPECT_EQ(lines[4], stars);
  EXPECT_EQ(lines[5], codec.Encode(u"FkNameT=C:\\fk\\plate.fkl    * 起動時使用ファイル"));
  EXPECT_EQ(lines[6],
            "Form2Top=-120" + std::string(14, ' ') + codec.Encode(u"* エディタ画面の上下位置"));
  EXPECT_EQ(lines[7],
            "Form2Left=0" + std::string(16, ' ') + codec.Encode(u"* エディタ画面の左右位置"));
  EXPECT_EQ(lines[8],
            "FileOn=1" + std::string(19, ' ') + codec.Encode(u"* 起動時上記のファイルを開く設定"));
  EXPECT_EQ(lines[9], "Timer1On=0" + std::string(17, ' ') +
                          codec.Encode(u"* MICRO CADAM Helix 用に自動切換設定"));
  // "* 通信ポート" in Shift-JIS.
  EXPECT_EQ(lines[10],
            "ComS=3" + std::string(21, ' ') + "* \x92\xca\x90\x4d\x83\x7c\x81\x5b\x83\x67");
  EXPECT_EQ(lines[11], "FkModel=" + std::string(19, ' ') + codec.Encode(u"* キーボードの種類"));
}

TEST(SettingsWriter, OverlongModelKeepsABlankBeforeTheComment) {
  Settings s;
  s.FkModel = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  EXPECT_EQ(testing::CrLfLines(WriteSettings(s, codec))[11].substr(0, 36),
            "FkModel=ABCDEFGHIJKLMNOPQRSTUVWXYZ *");
  Settings back;
  ReadSettings(WriteSettings(s, codec), codec, back);
  EXPECT_EQ(back.FkModel, s.FkModel);
}

TEST(Settings, WrittenValuesReadBack) {
  Settings s;
  s.FkNameT = u"D:\\レイアウト\\部品図.fkl";
  s.Form2Top = -120;
  s.Form2Left = 4560;
  s.FileOn = 1;
  s.Timer1On = 1;
  s.ComS = 9;
  s.FkModel = u"X8000";
  Settings back;
  ReadSettings(WriteSettings(s, codec), codec, back);
  EXPECT_EQ(back, s);

  // Empty values are read back empty, and the banner and comments never set anything.
  Settings defaults;
  Settings other = s;
  ReadSettings(WriteSettings(defaults, codec), codec, other);
  EXPECT_EQ(other, defaults);
}

TEST(SettingsReader, LayoutPathWithBlanksSurvivesItsOwnLine) {
  Settings s;
  s.FkNameT = u"C:\\Program Files\\FK 配置\\a b.fkl";
  Settings back;
  ReadSettings(WriteSettings(s, codec), codec, back);
  EXPECT_EQ(back.FkNameT, s.FkNameT);
  // Without the written comment the value still ends at the first blank.
  EXPECT_EQ(Read(u"FkNameT=C:\\Program Files\\a.fkl").FkNameT, u"C:\\Program");
}

TEST(SettingsReader, NumbersRoundHalvesToEvenAndNonNumbersGiveZero) {
  struct Case {
    std::u16string_view value;
    std::int16_t expected;
  };
  const Case cases[] = {{u"1.5", 2}, {u"2.5", 2}, {u"2.6", 3}, {u"abc", 0}, {u"-120", -120},
                        {u"7x", 7},  {u"", 0},    {u"0.5", 0}, {u"-0.5", 0}};
  for (const Case& c : cases) {
    Settings s;
    s.FileOn = 99;
    EXPECT_EQ(Read(u"FileOn=" + std::u16string(c.value) + u"   * x", s).FileOn, c.expected)
        << ToUtf8(c.value);
  }
}

TEST(SettingsReader, OutOfRangeNumberLeavesTheKeyAsItWas) {
  Settings s;
  s.ComS = 4;
  EXPECT_EQ(Read(u"ComS=3 \r\nComS=70000 \r\n", s).ComS, 3);
  EXPECT_EQ(Read(u"Form2Top=-32769 \r\n", s).Form2Top, 0);
  EXPECT_EQ(Read(u"Form2Top=-32768 \r\n", s).Form2Top, -32768);
}

TEST(SettingsReader, KeyIsTheFirstNameContainedAndTheLastLineWins) {
  Settings s = Read(
      u"ComS=2 first\r\n"
      u"# note: ComS=5 anywhere in the line\r\n"
      u"Form2Top=7 ComS=3\r\n"     // Form2Top comes first in the key order
      u"ComS=3 FkNameT=x.fkl\r\n"  // FkNameT comes first; its value is after the first =
      u"FkModel=6094 * キーボードの種類\r\n"
      u"Timer1On=1\r\n"          // no blank after the value: the rest of the line
      u"comS=8 Unknown=1\r\n");  // matched case-sensitively: no key
  EXPECT_EQ(s.ComS, 5);
  EXPECT_EQ(s.Form2Top, 7);
  EXPECT_EQ(s.FkNameT, u"3");
  EXPECT_EQ(s.FkModel, u"6094");
  EXPECT_EQ(s.Timer1On, 1);
}

TEST(SettingsReader, LineWithoutEqualsTakesTheTextBeforeTheFirstBlank) {
  Settings s;
  s.ComS = 4;
  s.FkModel = u"6094";
  s = Read(u"* ComS is the port\r\nFkModel\r\n", s);
  EXPECT_EQ(s.ComS, 0);  // "*" is not a number
  EXPECT_EQ(s.FkModel, u"FkModel");
}

TEST(SettingsReader, OrderAndLineEndsDoNotMatter) {
  Settings s =
      Read(u"FkModel=48G9995 \nComS=2 \n\n* comment\nFkNameT=a.fkl \nFileOn=1 \r\nForm2Left=-5 \n");
  EXPECT_EQ(s.FkModel, u"48G9995");
  EXPECT_EQ(s.ComS, 2);
  EXPECT_EQ(s.FkNameT, u"a.fkl");
  EXPECT_EQ(s.FileOn, 1);
  EXPECT_EQ(s.Form2Left, -5);
  EXPECT_EQ(s.Form2Top, 0);
}

TEST(SettingsReader, InvalidBytesNeverCrash) {
  Settings s;
  ReadSettings("FkModel=\x81\xff\x80 \r\nComS=\x82", codec, s);
  EXPECT_EQ(s.FkModel.size(), 3u);
  EXPECT_EQ(s.ComS, 0);
}

}  // namespace
}  // namespace vantrel
