// One-shot timers on a window for the core's timer ids. Each arming gets a Win32
// timer id of its own, so a WM_TIMER still queued for a timer since killed or armed
// again is told apart by its id alone: no clock is compared (under load Wine's
// GetTickCount64 can lag the timer that just fired, and a deadline check then
// throws away the one message that would have come).
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <optional>

namespace vantrel::win32 {

template <std::size_t N>
class OneShotTimers {
 public:
  void Attach(HWND hwnd) { hwnd_ = hwnd; }

  void Arm(std::size_t slot, int milliseconds) {
    if (slot >= N) return;  // a programming error; never a write past the slots
    if (live_[slot] != 0) KillTimer(hwnd_, live_[slot]);
    live_[slot] = kFirstId + N * generation_++ + slot;
    SetTimer(hwnd_, live_[slot], static_cast<UINT>(milliseconds), nullptr);
    Trace(L"arm", slot, milliseconds);
  }

  void Disarm(std::size_t slot) {
    if (slot >= N || live_[slot] == 0) return;
    KillTimer(hwnd_, live_[slot]);
    live_[slot] = 0;
    Trace(L"disarm", slot, 0);
  }

  // WM_TIMER with this id arrived: the slot whose timer it is, now disarmed, or
  // nothing for a message left over from an earlier arming.
  std::optional<std::size_t> Fired(UINT_PTR id) {
    KillTimer(hwnd_, id);  // one-shot; a window timer would repeat
    if (id < kFirstId) return std::nullopt;
    const std::size_t slot = (id - kFirstId) % N;
    if (live_[slot] != id) {
      Trace(L"stale", slot, 0);
      return std::nullopt;
    }
    live_[slot] = 0;
    Trace(L"fire", slot, 0);
    return slot;
  }

 private:
  static constexpr UINT_PTR kFirstId = 0x100;

  // Seen with a debugger or DebugView (under Wine: WINEDEBUG=+debugstr).
  static void Trace(const wchar_t* what, std::size_t slot, int milliseconds) {
    wchar_t line[64];
    std::swprintf(line, 64, L"Vantrel timer %ls %zu %d\n", what, slot, milliseconds);
    OutputDebugStringW(line);
  }

  HWND hwnd_ = nullptr;
  std::array<UINT_PTR, N> live_{};
  UINT_PTR generation_ = 0;
};

}  // namespace vantrel::win32
