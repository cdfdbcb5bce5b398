// A DeviceLink wired to fakes that write everything it does into one transcript, one
// event per line: "port 1B 13", "reopen", "key 16 down", "mouse 4", "clip 図面",
// "arm gather 50", "disarm gather".
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/transcript.h"
#include "core/data/table.h"
#include "core/device/link.h"
#include "core/device/platform.h"
#include "tools/common/iconv_codec.h"

namespace vantrel::device::testing {

using vantrel::testing::Hex;
using vantrel::testing::Transcript;

struct FakePort : PortOut {
  explicit FakePort(Transcript& t) : t(t) {}
  void Write(std::span<const std::uint8_t> bytes) override { t.Add("port " + Hex(bytes)); }
  void Reopen() override { t.Add("reopen"); }
  Transcript& t;
};

struct FakeInput : InputSink {
  explicit FakeInput(Transcript& t) : t(t) {}
  void Key(std::uint8_t vk, bool up) override {
    t.Add("key " + std::to_string(vk) + (up ? " up" : " down"));
  }
  void Mouse(std::uint32_t flags) override { t.Add("mouse " + std::to_string(flags)); }
  Transcript& t;
};

struct FakeMouse : MouseButtons {
  bool left = false, middle = false, right = false;
  bool LeftDown() const override { return left; }
  bool MiddleDown() const override { return middle; }
  bool RightDown() const override { return right; }
};

struct FakeClipboard : Clipboard {
  explicit FakeClipboard(Transcript& t) : t(t) {}
  Result SetText(std::u16string_view text) override {
    t.Add("clip " + ToUtf8(text));
    return result;
  }
  Transcript& t;
  Result result = Result::kOk;
};

struct FakeTimers : Timers {
  explicit FakeTimers(Transcript& t) : t(t) {}
  static const char* Name(TimerId id) {
    switch (id) {
      case TimerId::kHandOver:
        return "handover";
      case TimerId::kRefresh:
        return "refresh";
      case TimerId::kGather:
        return "gather";
      case TimerId::kReconnect:
        return "reconnect";
    }
    return "?";
  }
  void Arm(TimerId id, int ms) override {
    t.Add(std::string("arm ") + Name(id) + " " + std::to_string(ms));
  }
  void Disarm(TimerId id) override { t.Add(std::string("disarm ") + Name(id)); }
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
  FakePort port{t};
  FakeInput input{t};
  FakeMouse mouse;
  FakeClipboard clipboard{t};
  FakeTimers timers{t};
  DeviceLink link{table, fk_model, port, input, mouse, clipboard, timers};
};

}  // namespace vantrel::device::testing
