// Synthetic input: what the sink pressed, and only that, is let go of when the program fails.
#include "win32/input.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "win32/window.h"

namespace vantrel::win32 {
namespace {

// The crash path: whatever playback's own record says, the sink lets go of exactly what
// it pressed and the system took, and a handler that throws calls for it.
std::vector<std::string> g_sent;
bool g_accept = true;

UINT WINAPI FakeSendInput(UINT, LPINPUT in, int) {
  g_sent.push_back(in->type == INPUT_MOUSE ? "mouse " + std::to_string(in->mi.dwFlags)
                                           : "key " + std::to_string(in->ki.wVk) +
                                                 (in->ki.dwFlags & KEYEVENTF_KEYUP ? " up" : ""));
  return g_accept ? 1 : 0;
}

struct Thrower final : Window {
  Thrower() { CreateWindowOf(nullptr, {L"VantrelTestThrower"}, 0, L"", 0, {}, HWND_MESSAGE); }
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_APP) throw std::runtime_error("handler failed");
    return Default(message, wparam, lparam);
  }
};
SendInputSink* g_sink = nullptr;

TEST(Input, WhatThePlaybackPressedIsLetGoOfWhenAHandlerFails) {
  SendInputSink sink(FakeSendInput);
  g_sink = &sink;
  for (int vk : {16, 65}) sink.Key(static_cast<std::uint8_t>(vk), false);
  sink.Key(65, true);
  for (std::uint32_t flags : {2u, 8u, 16u}) sink.Mouse(flags);
  g_accept = false;  // refused: a press that never went down, a release that left it down
  sink.Key(17, false);
  sink.Key(16, true);
  g_accept = true;
  g_sent.clear();
  SetFailureHandler([]() noexcept { g_sink->ReleaseEverythingDown(); });
  Thrower window;
  SendMessageW(window.hwnd(), WM_APP, 0, 0);
  SetFailureHandler(nullptr);
  EXPECT_EQ(g_sent, (std::vector<std::string>{"mouse 4", "key 16 up"}));
  sink.ReleaseEverythingDown();
  EXPECT_EQ(g_sent.size(), 2u);
}

}  // namespace
}  // namespace vantrel::win32
