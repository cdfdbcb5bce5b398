#include "core/device/frames.h"

#include <gtest/gtest.h>

#include "rig.h"

namespace vantrel::device {
namespace {
using testing::Hex;

TEST(Frames, ModelIsAWholeStringMatchAndEverythingElseIsAnX8000) {
  EXPECT_EQ(ModelOf(u"6094"), Model::k6094);
  EXPECT_EQ(ModelOf(u"48G9995"), Model::k48G9995);
  for (std::u16string_view other : {u"X8000", u"", u"6094 ", u"48g9995", u"x8000", u"609"}) {
    EXPECT_EQ(ModelOf(other), Model::kX8000);
  }
}

TEST(Frames, LampBitOrdersPerModel) {
  // 29-byte frame: key n at m[(n-1)/8], bit (n-1)%8 from the least significant.
  EXPECT_EQ(Hex(LampFrame29(0x01, AllBut(1))),
            "1B 13 94 00 00 00 00 1B 11 1B 13 1B 13 94 01 00 00 00 1B 11 1B 13 94 FE FF FF FF "
            "1B 11");
  EXPECT_EQ(Hex(LampFrame29(0x01, AllBut(12))).substr(69, 11), "FF F7 FF FF");
  EXPECT_EQ(Hex(LampFrame29(0x01, AllBut(9))).substr(69, 11), "FF FE FF FF");
  EXPECT_EQ(Hex(LampFrame29(0x00, LampMask{1} << 31)).substr(69, 11), "00 00 00 80");
  // 6094: most significant bit first.
  EXPECT_EQ(Hex(LampFrame6094(AllBut(1))), "94 7F FF FF FF");
  EXPECT_EQ(Hex(LampFrame6094(AllBut(8))), "94 FE FF FF FF");
  EXPECT_EQ(Hex(LampFrame6094(AllBut(12))), "94 FF EF FF FF");
  EXPECT_EQ(Hex(LampFrame6094(AllBut(32))), "94 FF FF FF FE");
  EXPECT_EQ(Hex(LampFrame6094(LampMask{1} << 8)), "94 00 80 00 00");
}

TEST(Frames, HoldLampNamesTheKeyOnThe48G9995) {
  EXPECT_EQ(Hex(HoldLamp(Model::k48G9995, 1).bytes),
            "1B 11 1B 13 1B 12 20 1B 14 21 1B 11 1B 11 1B 13 1B 11");
  EXPECT_EQ(Hex(HoldLamp(Model::k48G9995, 32).bytes),
            "1B 11 1B 13 1B 12 20 1B 14 40 1B 11 1B 11 1B 13 1B 11");
  EXPECT_FALSE(HoldLamp(Model::k48G9995, 1).reopen);
  EXPECT_TRUE(HoldLamp(Model::k6094, 1).reopen);
  EXPECT_FALSE(HoldLamp(Model::kX8000, 1).reopen);
}

}  // namespace
}  // namespace vantrel::device
