// Arbitrary bytes in arbitrary receive events, with timer expiries, mouse buttons,
// ReleaseHeldKeys and port closings in between, against a fuzzed assignment table.
//
// Checks: nothing crashes; only codes of the key-name table (and Esc, P) are sent;
// no key is released that is not down; whatever split mode holds is exactly what is
// down, and ReleaseHeldKeys lets all of it go; every frame has the length of a known frame;
// and the keys decoded do not depend on how the bytes were cut into events.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "core/data/keynames.h"
#include "core/data/table.h"
#include "core/device/link.h"
#include "core/device/receiver.h"

namespace {
using namespace vantrel;
using namespace vantrel::device;

void Check(bool ok) {
  if (!ok) std::abort();
}

struct Port : PortOut {
  void Write(std::span<const std::uint8_t> bytes) override {
    static const std::set<std::size_t> kLengths = {1, 5, 10, 18, 24, 29, 34};
    Check(kLengths.count(bytes.size()) == 1);
  }
  void Reopen() override {}
};

struct Sink : InputSink {
  std::map<int, int> keys_down;
  std::map<std::uint32_t, int> buttons_down;  // by press flags
  int Key(std::uint8_t vk, bool up) override {
    static const std::set<int> kCodes = [] {
      std::set<int> s = {27, 80};
      for (const KeyNameRow& row : KeyNameTable()) s.insert(row.code);
      return s;
    }();
    Check(kCodes.count(vk) == 1);
    int& n = keys_down[vk];
    if (up) {
      Check(n > 0);
      --n;
    } else {
      ++n;
    }
    return 1;
  }
  int Mouse(std::uint32_t flags) override {
    switch (flags) {
      case 2:
      case 8:
      case 32:
        ++buttons_down[flags];
        break;
      case 4:
      case 16:
      case 64: {
        // The physical button is let go before a macro plays: a release without press.
        int& n = buttons_down[flags / 2];
        if (n > 0) --n;
        break;
      }
      default:
        Check(false);
    }
    return 1;
  }
  int Down() const {
    int total = 0;
    for (const auto& [k, n] : keys_down) total += n;
    for (const auto& [k, n] : buttons_down) total += n;
    return total;
  }
};

struct Buttons : MouseButtons {
  bool left = false, middle = false, right = false;
  bool LeftDown() const override { return left; }
  bool MiddleDown() const override { return middle; }
  bool RightDown() const override { return right; }
};

struct Clip : Clipboard {
  Result result = Result::kOk;
  Result SetText(std::u16string_view) override { return result; }
};

struct Clock : Timers<LinkTimer> {
  bool gather = false, refresh = false;
  void Arm(LinkTimer id, int ms) override {
    Check(ms == 50 || (id == LinkTimer::kRefresh && ms == 500));
    (id == LinkTimer::kGather ? gather : refresh) = true;
  }
  void Disarm(LinkTimer id) override { (id == LinkTimer::kGather ? gather : refresh) = false; }
};

struct ModelStore : LinkEvents, ForegroundCheck {
  explicit ModelStore(std::u16string& model) : model(model) {}
  void ModelDetected(std::u16string_view m) override {
    Check(model.empty());
    model = m;
  }
  ForegroundWindow Front() override { return {}; }  // never a window that refuses input
  void InputRefused(const ForegroundWindow&, Refusal) override { Check(false); }
  std::u16string& model;
};

const std::u16string kTokens[] = {u"Shift",      u"Ctrl",        u"Alt",    u"A",
                                  u"ﾃﾝｷｰ＋",     u"F24",         u"Windos", u"LeftClick",
                                  u"RightClick", u"MiddleClick", u"",       u"Bogus",
                                  u"a",          u"CapsLock",    u"Esc",    u"P"};
const std::u16string kModels[] = {u"", u"6094", u"48G9995", u"X8000", u"x8000"};
const std::u16string kModes[] = {u"結合", u"分割", u""};
const std::u16string kMarkers[] = {u"#", u"*", u""};

void FillTable(FuzzedDataProvider& in, AssignmentTable& table) {
  const int entries = in.ConsumeIntegralInRange(0, 12);
  for (int i = 0; i < entries; ++i) {
    KeyEntry& e = table.Entry(in.ConsumeIntegralInRange(1, 4), in.ConsumeIntegralInRange(1, 32));
    e.mode = in.PickValueInArray(kModes);
    e.count = in.ConsumeIntegralInRange<std::int16_t>(-2, 70);
    const int steps = in.ConsumeIntegralInRange(0, kMaxSteps);
    for (int s = 1; s <= steps; ++s) {
      e.marker[static_cast<size_t>(s)] = in.PickValueInArray(kMarkers);
      std::u16string& body = e.body[static_cast<size_t>(s)];
      const int tokens = in.ConsumeIntegralInRange(0, in.ConsumeBool() ? 4 : 70);
      for (int t = 0; t < tokens; ++t) {
        if (t > 0) body += u'+';
        body += in.PickValueInArray(kTokens);
      }
    }
  }
}

// Feeds the same bytes cut differently to two receivers; without timer expiries in
// between, both must decode the same keys.
void CheckCutting(FuzzedDataProvider& in) {
  std::u16string model = in.PickValueInArray(kModels);
  std::u16string model_whole = model;
  Clock clock, clock_whole;
  Receiver cut(model, clock), whole(model_whole, clock_whole);
  const std::uint8_t first = 0x20;
  cut.Receive({&first, 1});
  whole.Receive({&first, 1});
  if (std::u16string m = cut.TakeDetectedModel(); !m.empty()) model = m;
  if (std::u16string m = whole.TakeDetectedModel(); !m.empty()) model_whole = m;
  std::vector<std::uint8_t> all;
  std::vector<int> keys;
  while (in.remaining_bytes() > 0) {
    auto chunk = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 6));
    for (int k : cut.Receive(chunk)) keys.push_back(k);
    all.insert(all.end(), chunk.begin(), chunk.end());
  }
  const std::vector<int> keys_whole = whole.Receive(all);
  Check(keys == keys_whole);
  for (int k : keys) Check(k >= 1 && k <= 32);
  Check(cut.Waiting() == whole.Waiting());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  if (in.ConsumeIntegralInRange(0, 7) == 0) {
    CheckCutting(in);
    return 0;
  }

  AssignmentTable table;
  std::u16string fk_model = in.PickValueInArray(kModels);
  FillTable(in, table);
  Port port;
  Sink sink;
  Buttons buttons;
  Clip clip;
  Clock clock;
  ModelStore events(fk_model);
  DeviceLink link(table, fk_model, port, sink, buttons, clip, events, clock, events);

  while (in.remaining_bytes() > 0) {
    switch (in.ConsumeIntegralInRange(0, 9)) {
      case 0:
      case 1:
      case 2:
      case 3: {
        const auto bytes = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 8));
        link.OnReceive(bytes);
        break;
      }
      case 4:
        if (clock.gather) {
          clock.gather = false;
          link.OnTimer(LinkTimer::kGather);
        }
        break;
      case 5:
        if (clock.refresh) {
          clock.refresh = false;
          link.OnTimer(LinkTimer::kRefresh);
        }
        break;
      case 6:
        buttons.left = in.ConsumeBool();
        buttons.middle = in.ConsumeBool();
        buttons.right = in.ConsumeBool();
        clip.result = static_cast<Clipboard::Result>(in.ConsumeIntegralInRange(0, 4));
        break;
      case 7:
        link.ReleaseHeldKeys();
        Check(sink.Down() == 0);
        break;
      case 8:
        link.ResetReceive();
        Check(!link.Receiving());
        break;
      case 9:
        link.LampsOff();
        link.ArmRefresh();
        break;
    }
    Check(link.Receiving() == clock.gather);
    Check(sink.Down() == (link.Holding() ? link.HeldCount() : 0));
    Check(link.HeldCount() <= 60);
  }
  link.ReleaseHeldKeys();
  Check(sink.Down() == 0);
  return 0;
}
