#include "core/data/number.h"

#include <gtest/gtest.h>

#include "tools/common/iconv_codec.h"

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

}  // namespace
}  // namespace vantrel
