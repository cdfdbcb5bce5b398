// A DeviceLink wired to the shared fakes, everything it does in one transcript.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/fakes.h"
#include "core/data/table.h"
#include "core/device/link.h"
#include "core/device/platform.h"
#include "tools/common/iconv_codec.h"

namespace vantrel::device::testing {

using vantrel::testing::FakeClipboard;
using vantrel::testing::FakeInput;
using vantrel::testing::FakeMouse;
using vantrel::testing::FakeSerial;
using vantrel::testing::FakeTimers;
using vantrel::testing::Hex;
using vantrel::testing::Transcript;

// Stores the detected model where the link reads it, as the shell does.
struct ModelStore : LinkEvents {
  ModelStore(std::u16string& model, Transcript& t) : model(model), t(t) {}
  void ModelDetected(std::u16string_view m) override { model = m; }
  void InputRefused(const ForegroundWindow& w, Refusal why) override {
    t.Add((why == Refusal::kBlocked ? "blocked " : "cut short ") + ToUtf8(w.title));
  }
  std::u16string& model;
  Transcript& t;
};

struct Rig {
  explicit Rig(std::u16string model) : fk_model(std::move(model)) {}

  void Receive(std::initializer_list<std::uint8_t> bytes) {
    std::vector<std::uint8_t> v(bytes);
    link.OnReceive(v);
  }
  // Gets past the first data (consumed without a key), leaving an empty transcript.
  void SkipFirstData() {
    Receive({0x20});
    t.Take();
  }
  void Set(int mouse, int key, std::u16string mode, std::initializer_list<std::u16string> steps) {
    KeyEntry& e = table.Entry(mouse, key);
    e.mode = std::move(mode);
    e.count = 0;
    for (const std::u16string& step : steps) {
      ++e.count;
      e.marker[static_cast<size_t>(e.count)] = step.substr(0, 1);
      e.body[static_cast<size_t>(e.count)] = step.substr(1);
    }
  }

  Transcript t;
  AssignmentTable table;
  std::u16string fk_model;
  FakeSerial port{t, true};
  FakeInput input{t};
  FakeMouse mouse;
  FakeClipboard clipboard{t};
  vantrel::testing::FakeForeground foreground;
  FakeTimers timers{&t};
  ModelStore events{fk_model, t};
  DeviceLink link{table, fk_model, port, input, mouse, clipboard, foreground, timers, events};
};

}  // namespace vantrel::device::testing
