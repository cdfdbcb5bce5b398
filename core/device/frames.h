// The bytes written to the FK device, per model. The device never answers a frame,
// so these are written blind and must match what each model expects byte for byte.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/device/platform.h"

namespace vantrel::device {

// The model behind fk_model. Only "6094" and "48G9995" (exact, whole string) have
// frames of their own; every other value, the empty one included, is driven as an
// "X8000". Key decoding only asks whether the model is the 6094.
enum class Model { k6094, k48G9995, kX8000 };
Model ModelOf(std::u16string_view fk_model);

// The 6094 wants odd parity, and its key 1 is a zero byte, so its zero bytes are
// kept; the others have no parity, and a zero byte from them is noise.
LineSettings LineSettingsFor(Model model);

// 32 lamps, bit (n - 1) for key n; a set bit lights the lamp.
using LampMask = std::uint32_t;
inline constexpr LampMask kAllLamps = 0xFFFFFFFFu;
inline constexpr LampMask AllBut(int key) {
  return key >= 1 && key <= 32 ? kAllLamps & ~(LampMask{1} << (key - 1)) : kAllLamps;
}

// A frame and whether the port is closed and opened again right after writing it
// (the 6094 and the X8000 take some settings only on a fresh opening). A lamp-state
// frame sets all 32 lamps, so a later one makes an unsent earlier one pointless.
struct Frame {
  std::vector<std::uint8_t> bytes;
  bool reopen = false;
  bool lamp_state = false;
  friend bool operator==(const Frame&, const Frame&) = default;
};
void Send(PortOut& port, const Frame& frame);

// The 29-byte lamp frame of the X8000 (also used for the 48G9995): mode byte and the
// mask with key n at byte (n - 1) / 8, bit (n - 1) % 8 from the least significant.
std::vector<std::uint8_t> LampFrameX8000(std::uint8_t mode, LampMask mask);
// The 6094's 5-byte lamp frame: 94 and the mask most significant bit first, key 1 =
// 80 of the first byte.
std::vector<std::uint8_t> LampFrame6094(LampMask mask);

// Sent once after the port is opened at start-up; the same for every model.
Frame StartupSequence();
// The device refresh (all lamps lit). The 6094 takes it in two ticks, 50 ms apart:
// first the byte 08, then the lit mask with a reopen.
Frame Refresh(Model model);
inline constexpr int kRefresh6094Gap = 50;
Frame Refresh6094First();
// All lamps lit again after split-mode keys were released.
Frame ReleaseReset(Model model);
// The lamp of a held split-mode key goes dark.
Frame HoldLamp(Model model, int key);
// All lamps off.
Frame LampsOff(Model model);

// The editor's frames. Its wake-up after loading: one frame, or on the 6094 three
// ticks 50 ms apart (01, 06, then 08 with a reopen); `tick` counts from 0.
inline constexpr int kWakeUp6094Ticks = 3;
Frame WakeUp(Model model, int tick);
// Only key n's lamp lit, so the user sees which physical key is being edited.
Frame KeyLampOnly(Model model, int key);
// Not the main window's lamps-off: on the 48G9995 the editor sends the hold-lamp
// command naming no key (code 00).
Frame EditorLampsOff(Model model);
// The lamp test's frame, the same on every model; the code is written as one byte.
Frame LampTest(int code);
// The editor's "all off" and "all lit" buttons: the 29-byte frame, on every model.
Frame TestLampsOff();
Frame TestAllLamps();

}  // namespace vantrel::device
