// One golden table per model: every frame the device link writes, byte for byte,
// with the reopen that follows it. The link's transcripts name these frames.
#include "core/device/frames.h"

#include <gtest/gtest.h>

#include "common/fakes.h"

namespace vantrel::device {
namespace {
using testing::Hex;

std::string Out(const Frame& f) {
  return Hex(f.bytes) + (f.reopen ? " +reopen" : "") + (f.lamp_state ? " lamps" : "");
}

const std::string kLit29 =
    "1B 13 94 00 00 00 00 1B 11 1B 13 1B 13 94 00 00 00 00 1B 11 1B 13 94 FF FF FF FF 1B 11";
const std::string kHold29Key2 =
    "1B 13 94 00 00 00 00 1B 11 1B 13 1B 13 94 01 00 00 00 1B 11 1B 13 94 FD FF FF FF 1B 11";
const std::string kOff29 =
    "1B 13 94 00 00 00 00 1B 11 1B 13 1B 13 94 01 00 00 00 1B 11 1B 13 94 00 00 00 00 1B 11";

TEST(Frames, GoldenPerModel) {
  struct Row {
    Model model;
    std::string refresh, release_reset, hold_key2, lamps_off;
  };
  const Row rows[] = {
      {Model::kX8000, kLit29 + " +reopen lamps", "1B 13 1B 12 20 " + kLit29 + " lamps",
       kHold29Key2 + " lamps", kOff29 + " lamps"},
      {Model::k48G9995, "1B 13 1B 12 20 " + kLit29 + " lamps",
       "1B 13 1B 12 20 " + kLit29 + " lamps",
       "1B 11 1B 13 1B 12 20 1B 14 22 1B 11 1B 11 1B 13 1B 11",
       "1B 13 1B 13 1B 14 24 1B 13 1B 14 20 1B 13 1B 18 20 1B 13 1B 18 20 1B 13"},
      {Model::k6094, "94 FF FF FF FF +reopen lamps", "94 FF FF FF FF +reopen lamps",
       "94 BF FF FF FF +reopen lamps", "94 00 00 00 00 lamps"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.model));
    EXPECT_EQ(Out(StartupSequence()), "06 1B 13 1B 13 1B 13 1B 18 20");
    EXPECT_EQ(Out(Refresh(r.model)), r.refresh);
    EXPECT_EQ(Out(ReleaseReset(r.model)), r.release_reset);
    EXPECT_EQ(Out(HoldLamp(r.model, 2)), r.hold_key2);
    EXPECT_EQ(Out(LampsOff(r.model)), r.lamps_off);
  }
  EXPECT_EQ(Out(Refresh6094First()), "08");
  // The 48G9995 names the key in its hold frame: 21 for key 1 to 40 for key 32.
  EXPECT_EQ(Hex(HoldLamp(Model::k48G9995, 1).bytes).substr(27, 2), "21");
  EXPECT_EQ(Hex(HoldLamp(Model::k48G9995, 32).bytes).substr(27, 2), "40");
}

TEST(Frames, ModelIsAWholeStringMatchAndLampBitOrders) {
  EXPECT_EQ(ModelOf(u"6094"), Model::k6094);
  EXPECT_EQ(ModelOf(u"48G9995"), Model::k48G9995);
  for (std::u16string_view other : {u"X8000", u"", u"6094 ", u"48g9995", u"x8000", u"609"}) {
    EXPECT_EQ(ModelOf(other), Model::kX8000);
  }
  // 29-byte frame: key n at m[(n-1)/8], bit (n-1)%8 from the least significant.
  EXPECT_EQ(Hex(LampFrame29(0x01, AllBut(1))).substr(69, 11), "FE FF FF FF");
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

}  // namespace
}  // namespace vantrel::device
