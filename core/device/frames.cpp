#include "core/device/frames.h"

namespace vantrel::device {
namespace {
using Bytes = std::vector<std::uint8_t>;

Bytes Join(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// Precedes the 29-byte all-lit frame on the 48G9995 (and for a release reset on the
// X8000 as well).
const Bytes kLitPrefix = {0x1B, 0x13, 0x1B, 0x12, 0x20};

// The editor's key and lamps-off frames are padded with zero bytes to the length of
// the longest, the 29-byte frame.
Bytes Padded(Bytes bytes) {
  if (bytes.size() < 29) bytes.resize(29, 0x00);
  return bytes;
}
}  // namespace

LineSettings LineSettingsFor(Model model) {
  const bool is_6094 = model == Model::k6094;
  return {is_6094, is_6094};
}

Model ModelOf(std::u16string_view fk_model) {
  if (fk_model == u"6094") return Model::k6094;
  if (fk_model == u"48G9995") return Model::k48G9995;
  return Model::kX8000;
}

void Send(PortOut& port, const Frame& frame) {
  if (frame.lamp_state) {
    port.WriteLampState(frame.bytes);
  } else {
    port.Write(frame.bytes);
  }
  if (frame.reopen) port.Reopen();
}

Bytes LampFrameX8000(std::uint8_t mode, LampMask mask) {
  auto m = [mask](int i) { return static_cast<std::uint8_t>(mask >> (8 * i)); };
  return {0x1B, 0x13, 0x94, 0x00, 0x00, 0x00, 0x00, 0x1B, 0x11, 0x1B, 0x13, 0x1B, 0x13, 0x94, mode,
          0x00, 0x00, 0x00, 0x1B, 0x11, 0x1B, 0x13, 0x94, m(0), m(1), m(2), m(3), 0x1B, 0x11};
}

Bytes LampFrame6094(LampMask mask) {
  Bytes out = {0x94, 0, 0, 0, 0};
  for (std::size_t key = 1; key <= 32; ++key) {
    if (mask & (LampMask{1} << (key - 1))) {
      out[1 + (key - 1) / 8] |= static_cast<std::uint8_t>(0x80 >> ((key - 1) % 8));
    }
  }
  return out;
}

Frame StartupSequence() {
  return {{0x06, 0x1B, 0x13, 0x1B, 0x13, 0x1B, 0x13, 0x1B, 0x18, 0x20}, false};
}

Frame Refresh6094First() {
  return {{0x08}, false};
}

Frame Refresh(Model model) {
  switch (model) {
    case Model::k6094:
      return {LampFrame6094(kAllLamps), true, true};
    case Model::k48G9995:
      return {Join(kLitPrefix, LampFrameX8000(0x00, kAllLamps)), false, true};
    case Model::kX8000:
      break;
  }
  return {LampFrameX8000(0x00, kAllLamps), true, true};
}

Frame ReleaseReset(Model model) {
  if (model == Model::k6094) return {LampFrame6094(kAllLamps), true, true};
  return {Join(kLitPrefix, LampFrameX8000(0x00, kAllLamps)), false, true};
}

Frame HoldLamp(Model model, int key) {
  switch (model) {
    case Model::k6094:
      return {LampFrame6094(AllBut(key)), true, true};
    case Model::k48G9995:
      return {
          {0x1B, 0x11, 0x1B, 0x13, 0x1B, 0x12, 0x20, 0x1B, 0x14,
           static_cast<std::uint8_t>(0x20 + key), 0x1B, 0x11, 0x1B, 0x11, 0x1B, 0x13, 0x1B, 0x11},
          false};
    case Model::kX8000:
      break;
  }
  return {LampFrameX8000(0x01, AllBut(key)), false, true};
}

Frame LampsOff(Model model) {
  switch (model) {
    case Model::k6094:
      return {LampFrame6094(0), false, true};
    case Model::k48G9995:
      return {{0x1B, 0x13, 0x1B, 0x13, 0x1B, 0x14, 0x24, 0x1B, 0x13, 0x1B, 0x14, 0x20,
               0x1B, 0x13, 0x1B, 0x18, 0x20, 0x1B, 0x13, 0x1B, 0x18, 0x20, 0x1B, 0x13},
              false};
    case Model::kX8000:
      break;
  }
  return {LampFrameX8000(0x01, 0), false, true};
}

Frame WakeUp(Model model, int tick) {
  if (model != Model::k6094) return {{0x1B, 0x13, 0x1B, 0x13}};
  if (tick < kWakeUp6094Ticks - 1) return {{static_cast<std::uint8_t>(tick == 0 ? 0x01 : 0x06)}};
  // The 6094 takes its settings only on a fresh opening.
  return {{0x08}, true};
}

Frame KeyLampOnly(Model model, int key) {
  const LampMask only = LampMask{1} << (key - 1);
  switch (model) {
    case Model::k6094:
      return {Padded(LampFrame6094(only)), false, true};
    case Model::k48G9995: {
      const auto a = static_cast<std::uint8_t>(0x20 + key);
      // Key 1's second code is 2A where the pattern would give 20.
      const auto b = static_cast<std::uint8_t>(key == 1 ? 0x2A : 0x1F + key);
      return {Padded({0x1B, 0x11, 0x1B, 0x13, 0x1B, 0x12, a, 0x1B, 0x14, b, 0x1B, 0x11})};
    }
    case Model::kX8000:
      break;
  }
  return {LampFrameX8000(0x00, only), false, true};
}

Frame EditorLampsOff(Model model) {
  switch (model) {
    case Model::k6094:
      return {Padded(LampFrame6094(0)), false, true};
    case Model::k48G9995:
      return {Padded({0x1B, 0x11, 0x1B, 0x13, 0x1B, 0x12, 0x20, 0x1B, 0x14, 0x00, 0x1B, 0x11, 0x1B,
                      0x11, 0x1B, 0x13, 0x1B, 0x11})};
    case Model::kX8000:
      break;
  }
  return {LampFrameX8000(0x01, 0), false, true};
}

Frame LampTest(int code) {
  return {{0x1B, 0x11, 0x1B, 0x13, 0x1B, 0x12, 0x20, 0x1B, 0x14, static_cast<std::uint8_t>(code),
           0x1B, 0x11, 0x1B, 0x11, 0x1B, 0x13, 0x1B, 0x11}};
}

Frame TestLampsOff() {
  return {LampFrameX8000(0x01, 0), false, true};
}

Frame TestAllLamps() {
  return {LampFrameX8000(0x00, kAllLamps), false, true};
}

}  // namespace vantrel::device
