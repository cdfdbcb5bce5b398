// Does what a user or the shell does to the program's windows, one command-line
// token per event, in order:
//   kd:VK / ku:VK   key down / up through the program's own SendInput class (VK
//                   decimal or 0x..)
//   m:FLAGS         mouse_event flags, likewise
//   w:MS            wait
// and commands that take the following tokens as arguments:
//   post CLASS MSG WPARAM LPARAM   post a message to the first window of that class
//   clip TEXT                      put TEXT on the clipboard
//   focused MSG WPARAM LPARAM      post a message to the control with the keyboard
//                                  focus in the window in front
//   front CLASS TITLE              bring the window of that class and title (* any) to
//                                  the front
//   menus MS                       wait up to MS ms for an open pop-up menu; print
//                                  "menu LEFT TOP RIGHT BOTTOM" for each one open, or
//                                  "none"
//   resources EXE                  print "resources HANDLES GDI USER" of the first
//                                  process of that image name (what the system
//                                  reports; Wine may report 0)
// and for the window of that class and title (* any):
//   wait CLASS TITLE MS            wait up to MS ms for it to exist
//   gone CLASS TITLE MS            wait up to MS ms for it to be gone
//   click CLASS TITLE CAPTION      post BM_CLICK to its control of that caption
//   select CLASS TITLE ENTRY       choose the entry of its combo box, as the user does
//   rect CLASS TITLE               print "rect LEFT TOP RIGHT BOTTOM"
//   client CLASS TITLE             print "client X Y", its client area's top-left on
//                                  the screen
//   texts CLASS TITLE              print "text CAPTION" for each of its controls
//   move CLASS TITLE X Y           move its top-left corner there
// Exit code 0, 2 for a token it does not know or a missing argument, 4 for no such
// window, control or process.
#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The handle, GDI and USER object counts of the process of that image name.
bool PrintResources(const std::wstring& exe) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  DWORD pid = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !pid;
       more = Process32NextW(snapshot, &entry)) {
    if (!lstrcmpiW(entry.szExeFile, exe.c_str())) pid = entry.th32ProcessID;
  }
  CloseHandle(snapshot);
  HANDLE process = pid ? OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid) : nullptr;
  if (!process) return false;
  DWORD handles = 0;
  GetProcessHandleCount(process, &handles);
  std::printf("resources %lu %lu %lu\n", handles, GetGuiResources(process, GR_GDIOBJECTS),
              GetGuiResources(process, GR_USEROBJECTS));
  std::fflush(stdout);
  CloseHandle(process);
  return true;
}

HWND Find(const std::wstring& cls, const std::wstring& title) {
  return FindWindowW(cls.c_str(), title == L"*" ? nullptr : title.c_str());
}

// The first descendant of `parent` whose text is `caption`, or of class `cls`.
HWND Child(HWND parent, const wchar_t* caption, const wchar_t* cls = nullptr) {
  struct Search {
    const wchar_t* caption;
    const wchar_t* cls;
    HWND found;
  } search{caption, cls, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        wchar_t text[256] = L"";
        const bool match =
            s->cls ? GetClassNameW(child, text, 256) && !lstrcmpiW(text, s->cls)
                   : (GetWindowTextW(child, text, 256), s->caption == std::wstring(text));
        if (match) s->found = child;
        return !match;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// One of the commands on a window of class and title; false when it is not there.
bool OnWindow(const std::wstring& verb, wchar_t** arg) {
  if (verb == L"wait" || verb == L"gone") {
    const DWORD start = GetTickCount();
    while (!Find(arg[0], arg[1]) == (verb == L"wait")) {
      if (GetTickCount() - start > Number(arg[2])) return false;
      Sleep(20);
    }
    return true;
  }
  HWND window = Find(arg[0], arg[1]);
  if (!window) return false;
  if (verb == L"click") {
    HWND control = Child(window, arg[2]);
    if (!control) return false;
    // A push button tells its parent as a click does (BM_CLICK can be lost on a
    // message box under Wine); check boxes and options change their state first.
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW) {
      return PostMessageW(GetParent(control), WM_COMMAND,
                          MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                          reinterpret_cast<LPARAM>(control));
    }
    return PostMessageW(control, BM_CLICK, 0, 0);
  }
  if (verb == L"select") {
    HWND list = Child(window, nullptr, L"ComboBox");
    const LRESULT entry = list ? SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(arg[2]))
                               : CB_ERR;
    if (entry == CB_ERR) return false;
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
    // Only the user's choice notifies; the program is told as if it were one.
    return PostMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(list));
  }
  if (verb == L"rect") {
    RECT r;
    GetWindowRect(window, &r);
    std::printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    std::fflush(stdout);
    return true;
  }
  if (verb == L"client") {
    POINT p{0, 0};
    ClientToScreen(window, &p);
    std::printf("client %ld %ld\n", p.x, p.y);
    std::fflush(stdout);
    return true;
  }
  if (verb == L"texts") {
    EnumChildWindows(
        window,
        [](HWND child, LPARAM) -> BOOL {
          wchar_t text[256] = L"";
          char utf8[1024] = "";
          GetWindowTextW(child, text, 256);
          WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
          std::printf("text %s\n", utf8);
          return TRUE;
        },
        0);
    std::fflush(stdout);
    return true;
  }
  // move
  return SetWindowPos(window, nullptr, static_cast<int>(std::wcstol(arg[2], nullptr, 0)),
                      static_cast<int>(std::wcstol(arg[3], nullptr, 0)), 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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
    } else if (token == L"clip" && left >= 1) {
      const std::wstring text = argv[++i];
      const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
      HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
      if (!memory || !OpenClipboard(nullptr)) return 4;
      std::memcpy(GlobalLock(memory), text.c_str(), bytes);
      GlobalUnlock(memory);
      EmptyClipboard();
      SetClipboardData(CF_UNICODETEXT, memory);
      CloseClipboard();
    } else if (token == L"focused" && left >= 3) {
      GUITHREADINFO info{};
      info.cbSize = sizeof info;
      if (!GetGUIThreadInfo(GetWindowThreadProcessId(GetForegroundWindow(), nullptr), &info) ||
          !info.hwndFocus) {
        return 4;
      }
      PostMessageW(info.hwndFocus, Number(argv[i + 1]), Number(argv[i + 2]), Number(argv[i + 3]));
      i += 3;
    } else if (token == L"front" && left >= 2) {
      const std::wstring title = argv[i + 2];
      HWND window = FindWindowW(argv[i + 1], title == L"*" ? nullptr : title.c_str());
      if (!window) return 4;
      SetForegroundWindow(window);
      i += 2;
    } else if ((token == L"wait" || token == L"gone" || token == L"click" || token == L"select" ||
                token == L"move") &&
               left >= 3 + (token == L"move")) {
      if (!OnWindow(token, argv + i + 1)) return 4;
      i += 3 + (token == L"move");
    } else if ((token == L"rect" || token == L"client" || token == L"texts") && left >= 2) {
      if (!OnWindow(token, argv + i + 1)) return 4;
      i += 2;
    } else if (token == L"resources" && left >= 1) {
      if (!PrintResources(argv[++i])) return 4;
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
