// Numbers as the settings and layout files hold them, and the settings file.
#include "core/data/settings.h"

#include <gtest/gtest.h>

#include "core/data/number.h"
#include "data/greedy_codec.h"

namespace vantrel {
namespace {

TEST(ParseLeadingInt16, ReadsTheLeadingDecimalRoundingHalvesToEvenWithinSixteenBits) {
  const std::pair<std::u16string_view, int> cases[] = {
      {u"7", 7},    {u"  7", 7},   {u"\t8", 8},      {u"7abc", 7}, {u"12 34", 12}, {u"", 0},
      {u"abc", 0},  {u"- 3", 0},   {u".", 0},        {u"1e3", 1},  {u"&H10", 0},   {u"-5", -5},
      {u"+4", 4},   {u"0099", 99}, {u"0000012", 12}, {u"1.5", 2},  {u"2.5", 2},    {u"3.5", 4},
      {u"2.50", 2}, {u"2.51", 3},  {u"2.500001", 3}, {u"2.49", 2}, {u"-2.5", -2},  {u"-3.5", -4},
      {u".5", 0},   {u"-0.5", 0},  {u"0.6", 1}};
  const std::pair<std::u16string_view, int> edges[] = {
      {u"32767", 32767},   {u"32766.5", 32766},   {u"-32767", -32767},
      {u"-32768", -32768}, {u"-32768.5", -32768}, {u"-32767.5", -32768}};
  for (const auto& [text, n] : cases) EXPECT_EQ(ParseLeadingInt16(text), n) << ToUtf8(text);
  for (const auto& [text, n] : edges) EXPECT_EQ(ParseLeadingInt16(text), n) << ToUtf8(text);
  for (std::u16string_view text :
       {u"32767.5", u"32768", u"-32769", u"100000", u"99999999999999999999"}) {
    EXPECT_EQ(ParseLeadingInt16(text), std::nullopt) << ToUtf8(text);
  }
}

const IconvCodec codec;

Settings Read(std::u16string_view text, Settings s = {}) {
  ReadSettings(codec.Encode(text), codec, s);
  return s;
}

TEST(SettingsWriter, WritesTheBannerAndSevenAlignedLinesThatReadBackWhole) {
  const std::u16string stars(82, u'*');
  const std::u16string frame = u"*" + std::u16string(80, u' ') + u"*\r\n";
  EXPECT_EQ(WriteSettings({u"C:\\fk\\plate.fkl", -120, 0, 1, 0, 3, u""}, codec),
            codec.Encode(stars + u"\r\n" + frame + u"*  MCADAM Helix 用 FK流用プログラム  設定値" +
                         std::u16string(38, u' ') + u"*\r\n" + frame + stars +
                         u"\r\n"
                         u"FkNameT=C:\\fk\\plate.fkl    * 起動時使用ファイル\r\n"
                         u"Form2Top=-120              * エディタ画面の上下位置\r\n"
                         u"Form2Left=0                * エディタ画面の左右位置\r\n"
                         u"FileOn=1                   * 起動時上記のファイルを開く設定\r\n"
                         u"Timer1On=0                 * MICRO CADAM Helix 用に自動切換設定\r\n"
                         u"ComS=3                     * 通信ポート\r\n"
                         u"FkModel=                   * キーボードの種類\r\n"));
  // A value too long for its column still gets a blank before the comment.
  EXPECT_TRUE(WriteSettings({u"", 0, 0, 0, 0, 1, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"}, codec)
                  .ends_with(codec.Encode(
                      u"\r\nFkModel=ABCDEFGHIJKLMNOPQRSTUVWXYZ * キーボードの種類\r\n")));
  // Written values read back whole.
  const Settings s{u"C:\\Program Files\\FK 配置\\a b.fkl", -32768, 4560, 1, 1, 9,
                   u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"};
  EXPECT_EQ(Read(codec.Decode(WriteSettings(s, codec))), s);
  // Empty values read back empty; the banner and the comments set nothing.
  EXPECT_EQ(Read(codec.Decode(WriteSettings({}, codec)), s), Settings{});
}

TEST(SettingsReader, EachLineBelongsToTheFirstKeyItNamesAndTheLastLineWins) {
  const Settings before{u"keep", 0, 11, 0, 0, 4, u"6094"};
  EXPECT_EQ(Read(u"ComS=2 first\r\n"
                 u"# note: ComS=5 anywhere in the line\r\n"
                 u"Form2Top=7 ComS=3\r\n"       // Form2Top comes before ComS
                 u"ComS=3 FkNameT=x.fkl\r\n"    // FkNameT comes first; its value follows the =
                 u"FkModel=48G9995 ComS=1\r\n"  // FkModel comes last
                 u"Timer1On=1\r\n"              // no blank after the value: the rest of the line
                 u"comS=8 Unknown=1\r\n"        // names are matched case-sensitively
                 u"Form2Left=70000 \r\n"        // out of range: the key keeps its value
                 u"FileOn=2.5 \n",              // LF alone ends a line too
                 before),
            (Settings{u"3", 7, 11, 2, 1, 48, u"6094"}));
  // Without "=" the value is the text before the first blank; without the written
  // comment a path ends at its first blank.
  EXPECT_EQ(Read(u"* ComS is the port\r\nFkModel\r\nFkNameT=C:\\Program Files\\a.fkl", before),
            (Settings{u"C:\\Program", 0, 11, 0, 0, 0, u"FkModel"}));
  // A damaged lead byte does not take the line break after it with it on Windows.
  Settings damaged;
  ReadSettings("FkModel=X\x81\nComS=3 \n", testing::GreedyCodec(), damaged);
  EXPECT_EQ(damaged, (Settings{u"", 0, 0, 0, 0, 3, u"X\uFFFD"}));
}

}  // namespace
}  // namespace vantrel
