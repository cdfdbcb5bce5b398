// Does what a user or the shell does to the program's windows, one command-line
// token per event, in order (numbers decimal or 0x..). Exit code 0; 2 for a token it
// does not know or a missing argument; 4 for no such window, control or process.
//   kd:VK ku:VK m:FLAGS w:MS  key down, key up, mouse_event flags (through the program's
//                             own SendInput class); wait
//   post CLASS MSG WP LP      post a message to the first window of that class
//   clip TEXT                 put TEXT on the clipboard
//   menus MS                  wait up to MS for an open pop-up menu; print "menu L T R B"
//                             for each one open, or "none"
//   hold PATH MS              open PATH sharing nothing, print "held", close it after MS
//   mutex NAME MS             create the named mutex, print "held", close it after MS
//   sddl PATH                 print "sddl SDDL" of PATH's owner and DACL
// and on the window of a class and title (* any), CLASS TITLE first:
//   wait MS / gone MS         wait up to MS for it to exist / be gone
//   front                     bring it to the front
//   click CAPTION             click its control of that caption
//   select ENTRY              choose the entry of its combo box, as the user does
//   rect                      print "rect L T R B X Y", X Y its client area's top-left
//   texts                     print "text CAPTION" for each of its controls
//   edit                      print "edit TEXT" of its edit control (by WM_GETTEXT:
//                             another program's edit keeps no caption)
//   resources                 print "resources HANDLES GDI USER" of its process, as the
//                             system reports them (Wine may say 0)
//   move X Y                  move its top-left corner there
//   topmost                   keep it above every other window, as the taskbar is
//   ping MS                   send it WM_NULL again and again for MS; print "ping COUNT
//                             MAX_MS TIMEOUTS" (a thread that waits on a line answers late)
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "win32/input.h"

namespace {

std::uint32_t Number(const std::wstring& text) {
  return static_cast<std::uint32_t>(std::wcstoul(text.c_str(), nullptr, 0));
}

// The visible pop-up menus (window class "#32768") of every program, once one is open
// or MS ms have passed.
void PrintMenus(DWORD milliseconds) {
  std::vector<RECT> menus;
  for (const DWORD start = GetTickCount();; Sleep(20)) {
    EnumWindows(
        [](HWND hwnd, LPARAM found) -> BOOL {
          wchar_t name[16];
          RECT r;
          if (IsWindowVisible(hwnd) && GetClassNameW(hwnd, name, 16) &&
              std::wstring(name) == L"#32768" && GetWindowRect(hwnd, &r)) {
            reinterpret_cast<std::vector<RECT>*>(found)->push_back(r);
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&menus));
    if (!menus.empty() || GetTickCount() - start >= milliseconds) break;
  }
  for (const RECT& r : menus)
    std::printf("menu %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  if (menus.empty()) std::puts("none");
}

bool PrintResources(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (!process) return false;
  DWORD handles = 0;
  GetProcessHandleCount(process, &handles);
  std::printf("resources %lu %lu %lu\n", handles, GetGuiResources(process, GR_GDIOBJECTS),
              GetGuiResources(process, GR_USEROBJECTS));
  CloseHandle(process);
  return true;
}

bool SetClipboard(const std::wstring& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory || !OpenClipboard(nullptr)) return false;
  std::memcpy(GlobalLock(memory), text.c_str(), bytes);
  GlobalUnlock(memory);
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, memory);
  return CloseClipboard(), true;
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

// One command on its arguments; false when its window, control or process is not there.
bool Run(const std::wstring& verb, wchar_t** arg) {
  if (verb == L"post") {
    HWND window = FindWindowW(arg[0], nullptr);
    return window && PostMessageW(window, Number(arg[1]), Number(arg[2]), Number(arg[3]));
  }
  if (verb == L"clip") return SetClipboard(arg[0]);
  if (verb == L"menus") return PrintMenus(Number(arg[0])), true;
  if (verb == L"hold" || verb == L"mutex") {
    HANDLE file = verb == L"mutex"
                      ? CreateMutexW(nullptr, FALSE, arg[0])
                      : CreateFileW(arg[0], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!file || file == INVALID_HANDLE_VALUE) return false;
    std::puts("held");
    std::fflush(stdout);
    Sleep(Number(arg[1]));
    return CloseHandle(file), true;
  }
  if (verb == L"sddl") {
    constexpr SECURITY_INFORMATION kWhat = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    GetFileSecurityW(arg[0], kWhat, nullptr, 0, &size);
    std::vector<std::byte> descriptor(size);
    wchar_t* text = nullptr;
    if (!size || !GetFileSecurityW(arg[0], kWhat, descriptor.data(), size, &size) ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                              kWhat, &text, nullptr)) {
      return false;
    }
    std::printf("sddl %ls\n", text);
    return LocalFree(text), true;
  }
  const wchar_t* title = std::wstring(arg[1]) == L"*" ? nullptr : arg[1];
  if (verb == L"wait" || verb == L"gone") {
    for (const DWORD start = GetTickCount(); !FindWindowW(arg[0], title) == (verb == L"wait");
         Sleep(20)) {
      if (GetTickCount() - start > Number(arg[2])) return false;
    }
    return true;
  }
  HWND window = FindWindowW(arg[0], title);
  if (!window) return false;
  if (verb == L"front") return SetForegroundWindow(window), true;
  if (verb == L"resources") return PrintResources(window);
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
    POINT client{0, 0};
    GetWindowRect(window, &r);
    ClientToScreen(window, &client);
    std::printf("rect %ld %ld %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom, client.x,
                client.y);
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
    return true;
  }
  if (verb == L"edit") {
    HWND edit = Child(window, nullptr, L"Edit");
    if (!edit) return false;
    wchar_t text[4096] = L"";
    char utf8[16384] = "";
    SendMessageW(edit, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    // Standard output writes "\n" as CR LF already.
    std::wstring lines = text;
    for (std::size_t at; (at = lines.find(L"\r\n")) != std::wstring::npos;) lines.erase(at, 1);
    WideCharToMultiByte(CP_UTF8, 0, lines.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("edit %s\n", utf8);
    return true;
  }
  if (verb == L"ping") {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(Number(arg[2]));
    long count = 0, timeouts = 0;
    double max_ms = 0;
    for (; Clock::now() < end; ++count, Sleep(10)) {
      const Clock::time_point before = Clock::now();
      DWORD_PTR result = 0;
      if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result)) ++timeouts;
      max_ms = std::max(max_ms,
                        std::chrono::duration<double, std::milli>(Clock::now() - before).count());
    }
    std::printf("ping %ld %.1f %ld\n", count, max_ms, timeouts);
    return true;
  }
  if (verb == L"topmost") {
    return SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  // move
  return SetWindowPos(window, nullptr, static_cast<int>(std::wcstol(arg[2], nullptr, 0)),
                      static_cast<int>(std::wcstol(arg[3], nullptr, 0)), 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  static const std::map<std::wstring, int> kArguments = {
      {L"post", 4},  {L"clip", 1},  {L"menus", 1},  {L"resources", 2}, {L"wait", 3},
      {L"gone", 3},  {L"front", 2}, {L"click", 3},  {L"select", 3},    {L"rect", 2},
      {L"texts", 2}, {L"move", 4},  {L"ping", 3},   {L"edit", 2},      {L"hold", 2},
      {L"mutex", 2}, {L"sddl", 1},  {L"topmost", 2}};
  vantrel::win32::SendInputSink input;
  for (int i = 1; i < argc; ++i) {
    const std::wstring token = argv[i];
    const std::uint32_t value = Number(token.substr(token.find(L':') + 1));
    if (token.starts_with(L"kd:") || token.starts_with(L"ku:")) {
      input.Key(static_cast<std::uint8_t>(value), token[1] == L'u');
    } else if (token.starts_with(L"m:")) {
      input.Mouse(value);
    } else if (token.starts_with(L"w:")) {
      Sleep(value);
    } else {
      const auto arguments = kArguments.find(token);
      if (arguments == kArguments.end() || argc - i - 1 < arguments->second) return 2;
      if (!Run(token, argv + i + 1)) return 4;
      i += arguments->second;
    }
  }
  return 0;
}
