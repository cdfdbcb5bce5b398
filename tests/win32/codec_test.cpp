// Code page 932 through the system's own conversion, whatever the system's code page.
#include "win32/codec.h"

#include <gtest/gtest.h>

#include "core/data/layout.h"

namespace vantrel::win32 {
namespace {

TEST(Codec, ConvertsBothWaysAndGoesOnPastWhatItCannotConvert) {
  const Cp932Codec codec;
  // Half-width katakana are one byte and one character each.
  const std::u16string text = u"図面＋→ｱｲｳﾞﾟ abc";
  const std::string bytes = "\x90\x7D\x96\xCA\x81\x7B\x81\xA8\xB1\xB2\xB3\xDE\xDF abc";
  EXPECT_EQ(codec.Encode(text), bytes);
  EXPECT_EQ(codec.Decode(bytes), text);
  // A lead byte without its trail byte, bytes no character has, no code page 932 form.
  for (const std::string damaged : {"A\x81 Z", "A\xFD\xFE\xFFZ", "A\x81\x7F\x82\xFC\xEF\x40Z"}) {
    const std::u16string decoded = codec.Decode(damaged);
    EXPECT_TRUE(decoded.front() == u'A' && decoded.back() == u'Z') << damaged;
  }
  EXPECT_EQ(codec.Decode("A\x81").front(), u'A');
  EXPECT_EQ(codec.Encode(u"a\u00E9b"), "a?b");  // not a look-alike
  for (const std::u16string surrogates : {u"x\xD800y", u"x\xD83D\xDE00y"})
    EXPECT_EQ(codec.Encode(surrogates).back(), 'y');
  // A damaged lead byte may take the line break or comma after it here; the layout
  // reader splits before decoding, so no record moves and no step is lost.
  AssignmentTable t;
  const LayoutReadResult r = ReadLayout("x\x81\n2\nxx,#A\x81,#B\n", codec, t);
  EXPECT_TRUE(r.ok && r.records == 1 && t.Entry(1, 1).count == 2 && t.Entry(1, 1).body[2] == u"B");
}

}  // namespace
}  // namespace vantrel::win32
