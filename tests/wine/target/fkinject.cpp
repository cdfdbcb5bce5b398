// Does what a user or the shell does to the program's windows, one command-line
// token per event, in order:
//   kd:VK / ku:VK   key down / up through the program's own SendInput class (VK
//                   decimal or 0x..)
//   m:FLAGS         mouse_event flags, likewise
//   w:MS            wait
// and commands that take the following tokens as arguments:
//   post CLASS MSG WPARAM LPARAM   post a message to the first window of that class
//   front CLASS TITLE              bring the window of that class and title (* any) to
//                                  the front
//   menus MS                       wait up to MS ms for an open pop-up menu; print
//                                  "menu LEFT TOP RIGHT BOTTOM" for each one open, or
//                                  "none"
// Exit code 0, 2 for a token it does not know or a missing argument, 4 for no such
// window.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "win32/input.h"

namespace {

std::uint32_t Number(const std::wstring& text) {
  return static_cast<std::uint32_t>(std::wcstoul(text.c_str(), nullptr, 0));
}

// The visible pop-up menus (window class "#32768") of every program.
std::vector<RECT> OpenMenus() {
  std::vector<RECT> menus;
  EnumWindows(
      [](HWND hwnd, LPARAM found) -> BOOL {
        wchar_t name[16];
        if (IsWindowVisible(hwnd) && GetClassNameW(hwnd, name, 16) &&
            std::wstring(name) == L"#32768") {
          RECT r;
          GetWindowRect(hwnd, &r);
          reinterpret_cast<std::vector<RECT>*>(found)->push_back(r);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&menus));
  return menus;
}

void PrintMenus(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  std::vector<RECT> menus = OpenMenus();
  while (menus.empty() && GetTickCount() - start < milliseconds) {
    Sleep(20);
    menus = OpenMenus();
  }
  for (const RECT& r : menus)
    std::printf("menu %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  if (menus.empty()) std::puts("none");
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  vantrel::win32::SendInputSink input;
  for (int i = 1; i < argc; ++i) {
    const std::wstring token = argv[i];
    const int left = argc - i - 1;
    if (token == L"post" && left >= 4) {
      HWND window = FindWindowW(argv[i + 1], nullptr);
      if (!window) return 4;
      PostMessageW(window, Number(argv[i + 2]), Number(argv[i + 3]), Number(argv[i + 4]));
      i += 4;
    } else if (token == L"front" && left >= 2) {
      const std::wstring title = argv[i + 2];
      HWND window = FindWindowW(argv[i + 1], title == L"*" ? nullptr : title.c_str());
      if (!window) return 4;
      SetForegroundWindow(window);
      i += 2;
    } else if (token == L"menus" && left >= 1) {
      PrintMenus(Number(argv[++i]));
    } else if (token.rfind(L"kd:", 0) == 0 || token.rfind(L"ku:", 0) == 0) {
      input.Key(static_cast<std::uint8_t>(Number(token.substr(3))), token[1] == L'u');
    } else if (token.rfind(L"m:", 0) == 0) {
      input.Mouse(Number(token.substr(2)));
    } else if (token.rfind(L"w:", 0) == 0) {
      Sleep(Number(token.substr(2)));
    } else {
      return 2;
    }
  }
  return 0;
}
