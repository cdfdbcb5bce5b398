// Times key events at the receiving window, and sends the floor to compare with.
//   keystamp.exe window LOG   a topmost window in front that stamps every key message
//                             with QueryPerformanceCounter and appends
//                             "<µs> <down|up> <vk hex>" lines to LOG once input has
//                             been quiet for 200 ms (no file write between events)
//   keystamp.exe send STEPS   STEPS chords Ctrl+Shift+F into the window in front, one
//                             SendInput per event from a thread with a hidden window,
//                             as the program plays a joined step
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr UINT_PTR kFlushTimer = 1;

struct Stamp {
  LONGLONG ticks;
  bool up;
  WPARAM vk;
};

HANDLE g_log = INVALID_HANDLE_VALUE;
LARGE_INTEGER g_frequency;
std::vector<Stamp> g_stamps;

void Flush() {
  std::string text;
  for (const Stamp& s : g_stamps) {
    const LONGLONG f = g_frequency.QuadPart;
    char line[64];
    std::snprintf(line, sizeof line, "%lld %s 0x%02X\n",
                  s.ticks / f * 1000000 + s.ticks % f * 1000000 / f, s.up ? "up" : "down",
                  static_cast<unsigned>(s.vk));
    text += line;
  }
  g_stamps.clear();
  DWORD written;
  WriteFile(g_log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    g_stamps.push_back({now.QuadPart, msg == WM_KEYUP || msg == WM_SYSKEYUP, wp});
    SetTimer(hwnd, kFlushTimer, 200, nullptr);
    return 0;
  }
  if (msg == WM_TIMER) {
    KillTimer(hwnd, kFlushTimer);
    Flush();
    return 0;
  }
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

int Window(const wchar_t* log) {
  g_log = CreateFileW(log, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (g_log == INVALID_HANDLE_VALUE) return 3;
  QueryPerformanceFrequency(&g_frequency);
  g_stamps.reserve(4096);
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VantrelKeyStamp";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"keystamp", WS_OVERLAPPEDWINDOW,
                              100, 100, 320, 200, nullptr, nullptr, wc.hInstance, nullptr);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd);
  SetFocus(hwnd);
  DWORD written;
  WriteFile(g_log, "ready\n", 6, &written, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

void Key(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof in);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc == 3 ? argv[1] : L"";
  if (mode == L"window") return Window(argv[2]);
  if (mode != L"send") return 2;
  // From a thread that owns a hidden window, as the program plays from its main window's.
  CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  for (long step = std::wcstol(argv[2], nullptr, 10); step > 0; --step) {
    for (WORD vk : {WORD{VK_CONTROL}, WORD{VK_SHIFT}, WORD{'F'}}) Key(vk, false);
    for (WORD vk : {WORD{'F'}, WORD{VK_SHIFT}, WORD{VK_CONTROL}}) Key(vk, true);
  }
  return 0;
}
