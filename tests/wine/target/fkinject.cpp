// Sends synthetic input through the program's own input and clipboard classes,
// one command-line token per event, in order:
//   kd:VK / ku:VK   key down / up (VK decimal or 0x..)    m:FLAGS  mouse_event flags
//   c:HEX           text onto the clipboard, given as the hex digits of its UTF-8
//                   form (command lines are not safe for it under every locale)
//   w:MS            wait
// and commands that take the following tokens as arguments, for what a user or the
// shell does to windows of other programs:
//   post CLASS MSG WPARAM LPARAM   post a message to the first window of that class
//   front CLASS TITLE              bring the window of that class and title (* any) to
//                                  the front
//   menus MS                       wait up to MS ms for an open pop-up menu; print
//                                  "menu LEFT TOP RIGHT BOTTOM" for each one open
//   list PATTERN                   print the names FindFirstFile gives, in its order,
//                                  each with "d" (folder), "h" (hidden) or "-"
// Exit code 0, 2 for a token it does not know or a missing argument, 4 for no such
// window or no menu.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "win32/clipboard.h"
#include "win32/input.h"

namespace {

constexpr int kBadToken = 2;
constexpr int kNotFound = 4;

std::uint32_t Number(const std::wstring& text) {
  return static_cast<std::uint32_t>(std::wcstoul(text.c_str(), nullptr, 0));
}

void PrintUtf8(const std::wstring& text) {
  std::string out(static_cast<std::size_t>(text.size()) * 4 + 1, '\0');
  out.resize(static_cast<std::size_t>(
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                          static_cast<int>(out.size()), nullptr, nullptr)));
  std::fputs(out.c_str(), stdout);
  std::fputc('\n', stdout);
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

int WaitForMenus(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  std::vector<RECT> menus = OpenMenus();
  while (menus.empty() && GetTickCount() - start < milliseconds) {
    Sleep(20);
    menus = OpenMenus();
  }
  for (const RECT& r : menus)
    std::printf("menu %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  return menus.empty() ? kNotFound : 0;
}

void List(const std::wstring& pattern) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const wchar_t* kind = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? L"d "
                          : (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)  ? L"h "
                                                                              : L"- ";
    PrintUtf8(kind + std::wstring(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  vantrel::win32::SendInputSink input;
  vantrel::win32::Win32Clipboard clipboard;
  for (int i = 1; i < argc; ++i) {
    const std::wstring token = argv[i];
    const int left = argc - i - 1;
    if (token == L"post" && left >= 4) {
      HWND window = FindWindowW(argv[i + 1], nullptr);
      if (!window) return kNotFound;
      PostMessageW(window, Number(argv[i + 2]), Number(argv[i + 3]), Number(argv[i + 4]));
      i += 4;
      continue;
    }
    if (token == L"front" && left >= 2) {
      const std::wstring title = argv[i + 2];
      HWND window = FindWindowW(argv[i + 1], title == L"*" ? nullptr : title.c_str());
      if (!window) return kNotFound;
      SetForegroundWindow(window);
      i += 2;
      continue;
    }
    if (token == L"menus" && left >= 1) {
      const int result = WaitForMenus(Number(argv[i + 1]));
      if (result != 0) return result;
      i += 1;
      continue;
    }
    if (token == L"list" && left >= 1) {
      List(argv[i + 1]);
      i += 1;
      continue;
    }
    const std::wstring value = token.substr(token.find(L':') + 1);
    const auto number = Number(value);
    if (token.rfind(L"kd:", 0) == 0) {
      input.Key(static_cast<std::uint8_t>(number), false);
    } else if (token.rfind(L"ku:", 0) == 0) {
      input.Key(static_cast<std::uint8_t>(number), true);
    } else if (token.rfind(L"m:", 0) == 0) {
      input.Mouse(number);
    } else if (token.rfind(L"c:", 0) == 0) {
      std::string utf8;
      for (std::size_t at = 0; at + 1 < value.size(); at += 2)
        utf8.push_back(static_cast<char>(std::wcstoul(value.substr(at, 2).c_str(), nullptr, 16)));
      std::wstring text(utf8.size(), L'\0');
      text.resize(static_cast<std::size_t>(
          MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                              static_cast<int>(text.size()))));
      if (clipboard.SetText(std::u16string(text.begin(), text.end())) !=
          vantrel::device::Clipboard::Result::kOk)
        return 3;
    } else if (token.rfind(L"w:", 0) == 0) {
      Sleep(number);
    } else {
      return kBadToken;
    }
  }
  return 0;
}
