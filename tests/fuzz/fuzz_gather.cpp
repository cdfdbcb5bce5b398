// Arbitrary bytes in arbitrary receive events, with timer expiries, mouse buttons,
// pastes taken, macros cancelled, ReleaseHeldKeys, port closings and lamp commands in
// between, against a fuzzed assignment table. Checks: only codes of the key-name table (and Esc, P)
// are sent; nothing is let go that is not down; what split mode holds is exactly what is down, and
// ReleaseHeldKeys lets all of it go; every frame has the length of a known frame; and the keys
// decoded do not depend on how the bytes were cut into reads.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdlib>
#include <numeric>
#include <utility>
#include <vector>

#include "core/data/keynames.h"
#include "core/device/link.h"
#include "core/device/receiver.h"

namespace {
using namespace vantrel;
using namespace vantrel::device;

void Check(bool ok) {
  if (!ok) std::abort();
}

// Every interface the link talks to. `down` counts keys by code and mouse buttons by
// their press flag plus 256.
struct Host : PortOut,
              InputSink,
              MouseButtons,
              Clipboard,
              Timers<LinkTimer>,
              LinkEvents,
              ForegroundCheck {
  explicit Host(std::u16string& model) : model(model) {}
  void Write(std::span<const std::uint8_t> bytes) override {
    constexpr std::array<std::size_t, 7> kFrameLengths{1, 5, 10, 18, 24, 29, 34};
    Check(std::ranges::find(kFrameLengths, bytes.size()) != kFrameLengths.end());
  }
  void Reopen() override {}
  int Key(std::uint8_t vk, bool up) override {
    static const std::bitset<256> named = [] {
      std::bitset<256> codes;
      for (const KeyNameRow& r : KeyNameTable()) codes.set(r.code);
      return codes.set(27).set(80);
    }();
    Check(named[vk]);
    Check(!up || down[vk] > 0);
    down[vk] += up ? -1 : 1;
    return 1;
  }
  int Mouse(std::uint32_t flags) override {
    Check(flags == 2 || flags == 4 || flags == 8 || flags == 16 || flags == 32 || flags == 64);
    // A release may come without a press: the physical button is let go before a
    // macro plays.
    int& n = down[256 + ((flags & (4 | 16 | 64)) ? flags / 2 : flags)];
    n = (flags & (4 | 16 | 64)) ? (n > 0 ? n - 1 : 0) : n + 1;
    return 1;
  }
  int Down() const { return std::accumulate(down.begin(), down.end(), 0); }
  bool LeftDown() const override { return button[0]; }
  bool MiddleDown() const override { return button[1]; }
  bool RightDown() const override { return button[2]; }
  Result OfferText(std::u16string_view) override { return clip; }
  void Arm(LinkTimer id, int ms) override {
    Check(ms == 50 || (id == LinkTimer::kRefresh && ms == 500) ||
          (id == LinkTimer::kBurst && ms == DeviceLink::kBurstWindow) ||
          (id == LinkTimer::kText &&
           (ms == Playback::kPasteWait || ms == Playback::kClipboardRetry)));
    armed[static_cast<int>(id)] = true;
  }
  void Disarm(LinkTimer id) override { armed[static_cast<int>(id)] = false; }
  void ModelDetected(std::u16string_view m) override {
    Check(model.empty());
    model = m;
  }
  ForegroundWindow Front() override { return {}; }
  ForegroundWindow UnderCursor() override { return {}; }
  void InputRefused(const ForegroundWindow&, Refusal) override { Check(false); }
  void TextNotPasted() override {}
  void DeviceFlooding() override {}

  std::u16string& model;
  std::array<int, 512> down{};
  bool button[3] = {}, armed[kLinkTimerCount] = {};
  Result clip = Result::kOk;
};

const std::u16string kTokens[] = {
    u"Shift",      u"Ctrl", u"Alt", u"A",     u"ﾃﾝｷｰ＋", u"F24",         u"Windos", u"LeftClick",
    u"RightClick", u"Esc",  u"",    u"Bogus", u"a",      u"MiddleClick", u"P",      u"CapsLock"};
const std::u16string kModels[] = {u"", u"6094", u"48G9995", u"X8000", u"x8000"};
const std::u16string kModes[] = {u"結合", u"分割", u""};
const std::u16string kMarkers[] = {u"#", u"*", u""};

// The same bytes cut differently into two receivers, without timer expiries between.
void CheckCutting(FuzzedDataProvider& in) {
  std::u16string models[2] = {in.PickValueInArray(kModels), models[0]};
  Host clocks[2] = {Host(models[0]), Host(models[1])};
  Receiver cut(models[0], clocks[0]), whole(models[1], clocks[1]);
  const std::uint8_t first = 0x20;
  for (Receiver* r : {&cut, &whole}) r->Receive({&first, 1});
  for (int i : {0, 1})
    if (std::u16string m = (i ? whole : cut).TakeDetectedModel(); !m.empty()) models[i] = m;
  std::vector<std::uint8_t> all;
  std::vector<int> keys;
  while (in.remaining_bytes() > 0) {
    const auto chunk = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 6));
    for (int k : cut.Receive(chunk)) keys.push_back(k);
    all.insert(all.end(), chunk.begin(), chunk.end());
  }
  Check(keys == whole.Receive(all) && cut.Waiting() == whole.Waiting());
  for (int k : keys) Check(k >= 1 && k <= 32);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  if (in.ConsumeIntegralInRange(0, 7) == 0) return CheckCutting(in), 0;

  // One table cleared per input, as the program clears it per layout: building 20,000
  // strings each time cost more than the rest of the input.
  static AssignmentTable table;
  table.Clear();
  std::u16string model = in.PickValueInArray(kModels);
  for (int i = in.ConsumeIntegralInRange(0, 12); i > 0; --i) {
    KeyEntry& e = table.Entry(in.ConsumeIntegralInRange(1, 4), in.ConsumeIntegralInRange(1, 32));
    e.mode = in.PickValueInArray(kModes);
    e.count = in.ConsumeIntegralInRange<std::int16_t>(-2, 70);
    for (std::size_t s = 1, steps = in.ConsumeIntegralInRange(0, kMaxSteps); s <= steps; ++s) {
      e.marker[s] = in.PickValueInArray(kMarkers);
      for (int t = in.ConsumeIntegralInRange(0, in.ConsumeBool() ? 4 : 70); t > 0; --t)
        e.body[s] += in.PickValueInArray(kTokens) + (t > 1 ? u"+" : u"");
    }
  }
  Host host(model);
  DeviceLink link(table, model, host, host, host, host, host, host, host);
  while (in.remaining_bytes() > 0) {
    switch (in.ConsumeIntegralInRange(0, 11)) {
      case 4:
      case 5:
        // A timer expires only while armed.
        if (const int t = in.ConsumeIntegralInRange<int>(0, kLinkTimerCount - 1); std::exchange(host.armed[t], false))
          link.OnTimer(static_cast<LinkTimer>(t));
        break;
      case 10:
        link.PasteTaken();
        break;
      case 11:
        link.CancelMacro();
        Check(!link.Busy());
        break;
      case 6:
        for (bool& b : host.button) b = in.ConsumeBool();
        host.clip = static_cast<Clipboard::Result>(in.ConsumeIntegralInRange(0, 4));
        break;
      case 7:
        link.ReleaseHeldKeys();
        Check(host.Down() == 0);
        break;
      case 8:
        link.ResetReceive();
        Check(!link.Receiving());
        break;
      case 9:
        link.LampsOff();
        link.ArmRefresh();
        break;
      default:
        link.OnReceive(in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 8)));
    }
    Check(link.Receiving() == host.armed[static_cast<int>(LinkTimer::kGather)]);
    Check(host.Down() == (link.Holding() ? link.HeldCount() : 0) && link.HeldCount() <= 60);
  }
  link.CancelMacro();
  link.ReleaseHeldKeys();
  Check(host.Down() == 0);
  return 0;
}
