#include "win32/input.h"

#include <windows.h>

namespace vantrel::win32 {
namespace {

bool Down(int vk) {
  return (static_cast<unsigned short>(GetAsyncKeyState(vk)) & 0x8000u) != 0;
}

}  // namespace

int SendInputSink::Key(std::uint8_t vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = 0;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  in.ki.time = 0;
  in.ki.dwExtraInfo = 0;
  return static_cast<int>(SendInput(1, &in, sizeof in));
}

int SendInputSink::Mouse(std::uint32_t flags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = 0;
  in.mi.dy = 0;
  in.mi.mouseData = 0;
  // Without MOUSEEVENTF_MOVE the coordinates are ignored: the event happens where
  // the cursor is. Strip it in case a caller passes it, as the contract says "no move".
  in.mi.dwFlags =
      static_cast<DWORD>(flags) & ~static_cast<DWORD>(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
  in.mi.time = 0;
  in.mi.dwExtraInfo = 0;
  return static_cast<int>(SendInput(1, &in, sizeof in));
}

bool AsyncMouseButtons::LeftDown() const {
  return Down(VK_LBUTTON);
}
bool AsyncMouseButtons::MiddleDown() const {
  return Down(VK_MBUTTON);
}
bool AsyncMouseButtons::RightDown() const {
  return Down(VK_RBUTTON);
}

}  // namespace vantrel::win32
