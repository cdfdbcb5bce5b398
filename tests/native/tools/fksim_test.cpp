#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/device/frames.h"
#include "tools/fksim/decoder.h"
#include "tools/fksim/protocol.h"
#include "tools/fksim/text.h"

namespace vantrel::fksim {
namespace {

std::vector<std::uint8_t> Hex(std::string_view text) {
  return ParseHexBytes(text).value();
}

std::vector<std::uint8_t> Frame29(std::uint8_t mode, std::string_view mask) {
  auto out = Hex("1B 13 94 00 00 00 00 1B 11 1B 13 1B 13 94");
  out.push_back(mode);
  for (auto part : {Hex("00 00 00 1B 11 1B 13 94"), Hex(mask), Hex("1B 11")}) {
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> bytes) {
  bytes.resize(29, 0);
  return bytes;
}

std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// "name" or "name / alias" for each frame, after a final pause.
std::vector<std::string> Names(FrameDecoder& d, const std::vector<std::uint8_t>& bytes,
                               std::size_t chunk = 0) {
  std::vector<Frame> frames;
  if (chunk == 0) chunk = bytes.size();
  for (std::size_t i = 0; i < bytes.size(); i += chunk) {
    std::span<const std::uint8_t> part(bytes.data() + i, std::min(chunk, bytes.size() - i));
    d.Feed(part, static_cast<std::int64_t>(i), frames);
  }
  d.Flush(frames);
  std::vector<std::string> names;
  for (const auto& f : frames) names.push_back(f.alias.empty() ? f.name : f.name + " / " + f.alias);
  return names;
}

std::vector<std::string> Names(const std::vector<std::uint8_t>& bytes, std::size_t chunk = 0) {
  FrameDecoder d;
  return Names(d, bytes, chunk);
}

using V = std::vector<std::string>;

TEST(FksimProtocol, KeyCodesPerModel) {
  EXPECT_EQ(EncodeKey(Model::k6094, 1), Hex("00"));
  EXPECT_EQ(EncodeKey(Model::k6094, 32), Hex("1F"));
  EXPECT_EQ(EncodeKey(Model::kX8000, 1), Hex("1B 21"));
  EXPECT_EQ(EncodeKey(Model::k48G9995, 32), Hex("1B 40"));
  EXPECT_TRUE(EncodeKey(Model::kX8000, 0).empty());
  EXPECT_TRUE(EncodeKey(Model::k6094, 33).empty());
}

TEST(FksimProtocol, IdentificationDataIsWhatTheHostDetectsEachModelBy) {
  EXPECT_EQ(IdentData(Model::k6094), Hex("03"));
  for (Model m : {Model::k48G9995, Model::kX8000}) {
    auto id = IdentData(m);
    ASSERT_EQ(id.size(), 32u);
    for (auto c : id) EXPECT_TRUE(c >= 0x20 && c < 0x7F);
    EXPECT_EQ(id[10] == '~', m == Model::k48G9995);
  }
}

TEST(FksimProtocol, MaskBitOrders) {
  std::uint8_t lsb[4] = {0xFE, 0xF7, 0xFF, 0x7F};
  EXPECT_EQ(LampsFromLsbFirst(lsb), kAllLit & ~KeyBit(1) & ~KeyBit(12) & ~KeyBit(32));
  std::uint8_t msb[4] = {0x7F, 0xEF, 0xFF, 0xFE};
  EXPECT_EQ(LampsFromMsbFirst(msb), kAllLit & ~KeyBit(1) & ~KeyBit(12) & ~KeyBit(32));
  std::uint8_t key9[4] = {0x00, 0x80, 0x00, 0x00};
  EXPECT_EQ(LampsFromMsbFirst(key9), KeyBit(9));
}

TEST(FksimDecoder, X8000MainWindowFrames) {
  FrameDecoder d;
  EXPECT_EQ(Names(d, Hex("06 1B 13 1B 13 1B 13 1B 18 20")), V{"startup"});
  EXPECT_EQ(d.lamps(), 0u);
  EXPECT_EQ(Names(d, Frame29(0, "FF FF FF FF")), V{"refresh"});
  EXPECT_EQ(d.lamps(), kAllLit);
  EXPECT_EQ(Names(d, Frame29(1, "FF FE FF FF")), V{"hold 9"});
  EXPECT_EQ(d.lamps(), kAllLit & ~KeyBit(9));
  EXPECT_EQ(Names(d, Cat({Hex("1B 13 1B 12 20"), Frame29(0, "FF FF FF FF")})),
            (V{"reset-prefix", "release-reset / refresh"}));
  EXPECT_EQ(Names(d, Frame29(1, "00 00 00 00")), V{"off"});
  EXPECT_EQ(d.lamps(), 0u);
}

TEST(FksimDecoder, G9995MainWindowFrames) {
  FrameDecoder d;
  auto hold = [](std::string_view k) {
    return Hex("1B 11 1B 13 1B 12 20 1B 14 " + std::string(k) + " 1B 11 1B 11 1B 13 1B 11");
  };
  EXPECT_EQ(Names(d, hold("21")), V{"hold 1 / lamp-test 33"});
  EXPECT_EQ(d.lamps(), kAllLit & ~KeyBit(1));
  EXPECT_EQ(Names(d, hold("40")), V{"hold 32 / lamp-test 64"});
  EXPECT_EQ(d.lamps(), kAllLit & ~KeyBit(32));
  EXPECT_EQ(Names(d, Cat({Hex("1B 13 1B 12 20"), Frame29(0, "FF FF FF FF")})),
            (V{"reset-prefix", "release-reset / refresh"}));
  EXPECT_EQ(d.lamps(), kAllLit);
  EXPECT_EQ(
      Names(d, Hex("1B 13 1B 13 1B 14 24 1B 13 1B 14 20 1B 13 1B 18 20 1B 13 1B 18 20 1B 13")),
      V{"off"});
  EXPECT_EQ(d.lamps(), 0u);
  // A lamp-test code outside the key range leaves the lamps alone.
  EXPECT_EQ(Names(d, hold("80")), V{"lamp-test 128"});
  EXPECT_EQ(d.lamps(), 0u);
}

TEST(FksimDecoder, Model6094FramesAreMsbFirstAndRefreshFollows08) {
  FrameDecoder d;
  EXPECT_EQ(Names(d, Hex("08")), V{"refresh-08"});
  EXPECT_EQ(Names(d, Hex("94 FF FF FF FF")), V{"refresh"});
  EXPECT_EQ(Names(d, Hex("94 7F FF FF FF")), V{"hold 1"});
  EXPECT_EQ(Names(d, Hex("94 FF EF FF FF")), V{"hold 12"});
  EXPECT_EQ(d.lamps(), kAllLit & ~KeyBit(12));
  EXPECT_EQ(Names(d, Hex("94 FF FF FF FE")), V{"hold 32"});
  EXPECT_EQ(Names(d, Hex("94 FF FF FF FF")), V{"release-reset"});
  EXPECT_EQ(Names(d, Hex("94 00 00 00 00")), V{"off"});
}

TEST(FksimDecoder, EditorKeyFramesLightOnlyThatKeyAndSwallowThePadding) {
  FrameDecoder d;
  EXPECT_EQ(Names(d, Padded(Hex("94 00 80 00 00"))), V{"editor-key 9"});
  EXPECT_EQ(d.lamps(), KeyBit(9));
  EXPECT_EQ(Names(d, Frame29(0, "00 00 00 80")), V{"editor-key 32"});
  EXPECT_EQ(d.lamps(), KeyBit(32));
  EXPECT_EQ(Names(d, Padded(Hex("1B 11 1B 13 1B 12 29 1B 14 28 1B 11"))), V{"editor-key 9"});
  // Key 1 of the 48G9995 carries B = 2A, not 20.
  EXPECT_EQ(Names(d, Padded(Hex("1B 11 1B 13 1B 12 21 1B 14 2A 1B 11"))), V{"editor-key 1"});
  EXPECT_EQ(d.lamps(), KeyBit(1));
  EXPECT_EQ(Names(d, Padded(Hex("1B 11 1B 13 1B 12 40 1B 14 3F 1B 11"))), V{"editor-key 32"});
  // The editor's 48G9995 lamps-off frame is the 18-byte shape with code 00.
  EXPECT_EQ(Names(d, Padded(Hex("1B 11 1B 13 1B 12 20 1B 14 00 1B 11 1B 11 1B 13 1B 11"))),
            V{"off / lamp-test 0"});
  EXPECT_EQ(d.lamps(), 0u);
}

TEST(FksimDecoder, WakeUpsAreToldApartFromTheLongerFramesTheyBegin) {
  EXPECT_EQ(Names(Hex("1B 13 1B 13")), V{"wake"});
  // Joined with the 48G9995 lamps-off frame, which starts with the same four bytes.
  EXPECT_EQ(Names(Cat({Hex("1B 13 1B 13"),
                       Hex("1B 13 1B 13 1B 14 24 1B 13 1B 14 20 1B 13 1B 18 20 1B 13 1B 18 20 "
                           "1B 13")})),
            (V{"wake", "off"}));
  EXPECT_EQ(Names(Cat({Hex("1B 13 1B 13"), Frame29(0, "01 00 00 00")})),
            (V{"wake", "editor-key 1"}));
  FrameDecoder d;
  EXPECT_EQ(Names(d, Hex("01")), V{"wake-01"});
  EXPECT_EQ(Names(d, Hex("06")), V{"wake-06"});
  EXPECT_EQ(Names(d, Hex("08")), V{"wake-08 / wake"});
}

TEST(FksimDecoder, SplitAndJoinedArrivalGiveTheSameFrames) {
  auto stream = Cat({Hex("06 1B 13 1B 13 1B 13 1B 18 20"), Frame29(0, "FF FF FF FF"),
                     Frame29(1, "FF FF F7 FF"), Hex("1B 13 1B 12 20"), Frame29(0, "FF FF FF FF"),
                     Hex("1B 13 1B 13"), Padded(Hex("1B 11 1B 13 1B 12 29 1B 14 28 1B 11")),
                     Hex("1B 11 1B 13 1B 12 20 1B 14 21 1B 11 1B 11 1B 13 1B 11")});
  V want{"startup",
         "refresh",
         "hold 20",
         "reset-prefix",
         "release-reset / refresh",
         "wake",
         "editor-key 9",
         "hold 1 / lamp-test 33"};
  EXPECT_EQ(Names(stream), want);
  EXPECT_EQ(Names(stream, 1), want);
  EXPECT_EQ(Names(stream, 7), want);
}

TEST(FksimDecoder, FrameTimeIsTheArrivalOfItsLastByte) {
  FrameDecoder d;
  std::vector<Frame> frames;
  auto f = Frame29(1, "FE FF FF FF");
  d.Feed(std::span(f).first(10), 100, frames);
  d.Feed(std::span(f).subspan(10), 250, frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].t_us, 250);
  EXPECT_EQ(frames[0].bytes, f);
}

TEST(FksimDecoder, GarbageIsReportedAndTheNextFrameStillDecodes) {
  EXPECT_EQ(Names(Cat({Hex("FF 1B 99 7E"), Frame29(1, "FE FF FF FF")})), (V{"unknown", "hold 1"}));
  // A lone ESC, then a frame starting with ESC.
  EXPECT_EQ(Names(Cat({Hex("1B"), Hex("1B 13 1B 12 20")})), (V{"unknown", "reset-prefix"}));
  // A frame cut short, then a whole one.
  auto cut = Frame29(0, "FF FF FF FF");
  cut.resize(20);
  EXPECT_EQ(Names(Cat({cut, Hex("06 1B 13 1B 13 1B 13 1B 18 20")})).back(), "startup");
  // A partial frame at a pause is flushed as unknown, not held forever.
  FrameDecoder d;
  std::vector<Frame> frames;
  d.Feed(Hex("1B 13 94 00"), 1, frames);
  EXPECT_TRUE(frames.empty());
  EXPECT_TRUE(d.HasPending());
  d.Flush(frames);
  EXPECT_FALSE(d.HasPending());
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].name, "unknown");
}

TEST(FksimDecoder, RandomNoiseNeverStopsLaterFramesForLong) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::uint8_t> noise(rng() % 40);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    auto names = Names(Cat({noise, Hex("06 1B 13 1B 13 1B 13 1B 18 20"), Frame29(1, "FE FF FF FF"),
                            Frame29(1, "FF FF FF 7F")}),
                       1 + rng() % 5);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "hold 32") << "round " << round;
  }
}

TEST(FksimText, HexParsingAndFrameNamePatterns) {
  EXPECT_EQ(ParseHexBytes("1b 21 1B22"), Hex("1B 21 1B 22"));
  EXPECT_FALSE(ParseHexBytes("1 B"));
  EXPECT_FALSE(ParseHexBytes("1B2"));
  EXPECT_FALSE(ParseHexBytes("GG"));
  Frame f{"hold 5", "lamp-test 37", {}, 0, {}};
  EXPECT_TRUE(FrameMatches(f, "hold 5"));
  EXPECT_TRUE(FrameMatches(f, "hold_5"));
  EXPECT_TRUE(FrameMatches(f, "hold*"));
  EXPECT_TRUE(FrameMatches(f, "off|lamp-test_37"));
  EXPECT_FALSE(FrameMatches(f, "hold_50"));
  EXPECT_FALSE(FrameMatches(f, "hold"));
  EXPECT_FALSE(FrameMatches(f, "|"));
  Frame no_alias{"off", "", {}, 0, {}};
  EXPECT_TRUE(FrameMatches(no_alias, "*"));
  EXPECT_FALSE(FrameMatches(no_alias, "wake|"));
}

TEST(FksimText, PercentilesUseNearestRank) {
  std::vector<std::int64_t> v;
  for (int i = 100; i >= 1; --i) v.push_back(i);
  EXPECT_EQ(Percentile(v, 50), 50);
  EXPECT_EQ(Percentile(v, 99), 99);
  EXPECT_EQ(Percentile(v, 100), 100);
  EXPECT_EQ(Percentile(v, 0), 1);
  std::vector<std::int64_t> empty;
  EXPECT_EQ(Percentile(empty, 50), 0);
}

// The simulator must name every frame the program's own encoder writes, so that a
// mismatch on either side shows up here rather than as a silent Wine test timeout.
namespace core = vantrel::device;

std::vector<std::string> CoreNames(FrameDecoder& d, std::initializer_list<core::Frame> frames) {
  std::vector<std::uint8_t> bytes;
  for (const auto& f : frames) bytes.insert(bytes.end(), f.bytes.begin(), f.bytes.end());
  return Names(d, bytes);
}

TEST(FksimDecoder, NamesEveryFrameTheProgramWrites) {
  using core::Model;
  FrameDecoder d;
  EXPECT_EQ(CoreNames(d, {core::StartupSequence()}), V{"startup"});
  EXPECT_EQ(CoreNames(d, {core::Refresh(Model::kX8000)}), V{"refresh"});
  EXPECT_EQ(CoreNames(d, {core::Refresh(Model::k48G9995)}),
            (V{"reset-prefix", "release-reset / refresh"}));
  EXPECT_EQ(CoreNames(d, {core::Refresh6094First(), core::Refresh(Model::k6094)}),
            (V{"refresh-08", "refresh"}));
  for (Model m : {Model::k6094, Model::k48G9995, Model::kX8000}) {
    SCOPED_TRACE(static_cast<int>(m));
    EXPECT_EQ(CoreNames(d, {core::ReleaseReset(m)}).back().substr(0, 13), "release-reset");
    EXPECT_EQ(d.lamps(), kAllLit);
    for (int key = 1; key <= kKeys; ++key) {
      auto names = CoreNames(d, {core::HoldLamp(m, key)});
      ASSERT_EQ(names.size(), 1u);
      EXPECT_EQ(names[0].substr(0, names[0].find(" / ")), "hold " + std::to_string(key));
      EXPECT_EQ(d.lamps(), kAllLit & ~KeyBit(key));
    }
    EXPECT_EQ(CoreNames(d, {core::LampsOff(m)}), V{"off"});
    EXPECT_EQ(d.lamps(), 0u);
  }
}

}  // namespace
}  // namespace vantrel::fksim
