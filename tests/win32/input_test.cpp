// Synthetic input: what the sink pressed, and only that, is let go of when the program fails.
#include "win32/input.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "win32/window.h"

namespace vantrel::win32 {
namespace {

// One event as the sink hands it to SendInput.
struct Sent {
  DWORD type;    // INPUT_KEYBOARD or INPUT_MOUSE
  WORD key = 0;  // of a keyboard event
  DWORD flags;   // KEYEVENTF_* or MOUSEEVENTF_*
  friend bool operator==(const Sent&, const Sent&) = default;
};
std::vector<Sent> g_sent;
bool g_accept = true;
SendInputSink* g_sink = nullptr;

struct Thrower final : Window {
  Thrower() { CreateWindowOf(nullptr, {L"VantrelTestThrower"}, 0, L"", 0, {}, HWND_MESSAGE); }
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_APP) throw std::runtime_error("handler failed");
    return Default(message, wparam, lparam);
  }
};

UINT WINAPI FakeSendInput(UINT, LPINPUT in, int) {
  const bool key = in->type == INPUT_KEYBOARD;
  g_sent.push_back({in->type, key ? in->ki.wVk : WORD{0}, key ? in->ki.dwFlags : in->mi.dwFlags});
  return g_accept ? 1 : 0;
}

// The crash path: whatever playback's own record says, the sink lets go of exactly what
// it pressed and the system took, and a handler that throws calls for it.
TEST(Input, WhatThePlaybackPressedIsLetGoOfWhenAHandlerFails) {
  SendInputSink sink(FakeSendInput);
  g_sink = &sink;
  sink.Key(VK_SHIFT, false);
  sink.Key('A', false);
  sink.Key('A', true);
  for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP})
    sink.Mouse(flags);
  g_accept = false;  // refused: a press that never went down, a release that left it down
  sink.Key(VK_CONTROL, false);
  sink.Key(VK_SHIFT, true);
  g_accept = true;
  g_sent.clear();
  SetFailureHandler([]() noexcept { g_sink->ReleaseEverythingDown(); });
  Thrower window;
  SendMessageW(window.hwnd(), WM_APP, 0, 0);
  SetFailureHandler(nullptr);
  EXPECT_EQ(g_sent, (std::vector<Sent>{
                        {.type = INPUT_MOUSE, .flags = MOUSEEVENTF_LEFTUP},
                        {.type = INPUT_KEYBOARD, .key = VK_SHIFT, .flags = KEYEVENTF_KEYUP}}));
  sink.ReleaseEverythingDown();
  EXPECT_EQ(g_sent.size(), 2u);
}

}  // namespace
}  // namespace vantrel::win32
