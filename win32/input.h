// Synthetic input with SendInput and the physical mouse buttons.
#pragma once

#include "core/device/platform.h"

namespace vantrel::win32 {

// One SendInput call per event, in call order: the same events keybd_event(vk, 0,
// 0 or KEYEVENTF_KEYUP, 0) and mouse_event(flags, 0, 0, 0, 0) produce (scan code 0,
// no move, at the current cursor position, no extra information). Each returns
// SendInput's count of events inserted.
class SendInputSink final : public device::InputSink {
 public:
  int Key(std::uint8_t vk, bool up) override;
  int Mouse(std::uint32_t flags) override;
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
