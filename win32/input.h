// Synthetic input with SendInput and the physical mouse buttons.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include "core/device/platform.h"

namespace vantrel::win32 {

// One SendInput call per event, in call order: the same events keybd_event(vk, 0,
// 0 or KEYEVENTF_KEYUP, 0) and mouse_event(flags, 0, 0, 0, 0) produce (scan code 0,
// no move, at the current cursor position, no extra information). Each returns
// SendInput's count of events inserted.
//
// The sink is the only place that presses keys, so it keeps a fixed record of what
// it has pressed and not yet released: when the program fails where its own record
// of held keys is out of reach (a crash on any thread, an exception out of a window
// procedure in the middle of a chord), exactly those are let go of.
class SendInputSink final : public device::InputSink {
 public:
  using SendFunction = UINT(WINAPI*)(UINT, LPINPUT, int);
  explicit SendInputSink(SendFunction send = SendInput) : send_(send) {}

  int Key(std::uint8_t vk, bool up) override;
  int Mouse(std::uint32_t flags) override;
  // Releases every key and mouse button this sink pressed and has not released.
  // Safe from any thread; allocates nothing.
  void ReleaseEverythingDown() noexcept;

 private:
  int Send(INPUT& in) noexcept { return static_cast<int>(send_(1, &in, sizeof in)); }

  SendFunction send_;
  std::array<std::atomic<bool>, 256> keys_down_{};
  std::array<std::atomic<bool>, 3> buttons_down_{};  // left, right, middle
};

// The window in front or under the cursor, and whether its process is known to run
// at a higher integrity level than ours: the system then drops our synthetic input,
// and SendInput need not say so. A process whose level cannot be read (it refuses
// us the query: a password manager or an anti-cheat client protecting itself, a
// program of another account) is not counted as higher; whether it took the input is
// then read from SendInput's count.
class ForegroundIntegrity final : public device::ForegroundCheck {
 public:
  ForegroundIntegrity();
  device::ForegroundWindow Front() override;
  device::ForegroundWindow UnderCursor() override;

 private:
  device::ForegroundWindow Describe(HWND window) const;

  std::optional<std::uint32_t> own_level_;  // unknown: no level compares above it
};

// GetAsyncKeyState on VK_LBUTTON/VK_MBUTTON/VK_RBUTTON, most significant bit: the
// button is down now. Physical buttons: a swapped-button setting is not applied.
class AsyncMouseButtons final : public device::MouseButtons {
 public:
  bool LeftDown() const override;
  bool MiddleDown() const override;
  bool RightDown() const override;
};

}  // namespace vantrel::win32
