// The window in front for end-to-end tests, on top of the others: an edit control with
// the focus that logs the key and button messages the tests look for, and the text of
// every paste, as UTF-8 lines "<ms since start> <event> <detail>" to the file given.
// Its context menu has one item, "&Paste", so a right click and the key P paste the
// clipboard, as the program's text steps expect of the window in front.
//   fktarget.exe --log FILE [--title TEXT]
#include <windows.h>

#include <string>

namespace {

constexpr UINT kPasteItem = 1;

HANDLE g_log = INVALID_HANDLE_VALUE;
HWND g_edit = nullptr;
WNDPROC g_edit_proc = nullptr;
DWORD g_start = 0;

void Log(const char* event, const std::wstring& detail = L"") {
  char utf8[4096];
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, detail.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  const std::string line = std::to_string(GetTickCount() - g_start) + ' ' + event +
                           (n > 1 ? ' ' + std::string(utf8, n - 1) : "") + '\n';
  DWORD written;
  WriteFile(g_log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::wstring ClipboardText() {
  if (!OpenClipboard(nullptr)) return L"<clipboard busy>";
  const HANDLE h = GetClipboardData(CF_UNICODETEXT);
  const auto* p = h ? static_cast<const wchar_t*>(GlobalLock(h)) : nullptr;
  const std::wstring text = p ? p : L"";
  if (p) GlobalUnlock(h);
  CloseClipboard();
  return text;
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  static const struct {
    UINT msg;
    const char* event;
  } kLogged[] = {{WM_KEYDOWN, "keydown"},       {WM_KEYUP, "keyup"},
                 {WM_SYSKEYDOWN, "syskeydown"}, {WM_LBUTTONUP, "lbuttonup"},
                 {WM_MBUTTONUP, "mbuttonup"},   {WM_RBUTTONUP, "rbuttonup"}};
  for (const auto& logged : kLogged) {
    if (msg != logged.msg) continue;
    wchar_t vk[16] = L"";
    if (msg <= WM_SYSKEYUP) wsprintfW(vk, L"0x%02X", static_cast<unsigned>(wp));
    Log(logged.event, vk);
  }
  if (msg == WM_PASTE) Log("paste", ClipboardText());
  if (msg == WM_CONTEXTMENU) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, kPasteItem, L"&Paste");
    POINT at;
    GetCursorPos(&at);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr));
    DestroyMenu(menu);
    Log("menu-chosen", chosen == kPasteItem ? L"paste" : L"none");
    if (chosen == kPasteItem) SendMessageW(hwnd, WM_PASTE, 0, 0);
    return 0;
  }
  return CallWindowProcW(g_edit_proc, hwnd, msg, wp, lp);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETFOCUS:
      if (g_edit) SetFocus(g_edit);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  g_start = GetTickCount();
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const wchar_t* log_path = nullptr;
  std::wstring title = L"Vantrel target";
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--log" && i + 1 < argc) log_path = argv[++i];
    if (a == L"--title" && i + 1 < argc) title = argv[++i];
  }
  if (!log_path) return 2;
  g_log = CreateFileW(log_path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (g_log == INVALID_HANDLE_VALUE) return 3;

  WNDCLASSW wc{};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"VantrelTarget";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                              100, 100, 640, 400, nullptr, nullptr, instance, nullptr);
  g_edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0,
                           0, 640, 400, hwnd, nullptr, instance, nullptr);
  g_edit_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(g_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
  ShowWindow(hwnd, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd);
  SetFocus(g_edit);
  // Clicks are sent at the cursor: put it over the edit control.
  RECT r;
  GetWindowRect(g_edit, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Log("ready");

  for (MSG msg; GetMessageW(&msg, nullptr, 0, 0) > 0;) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  CloseHandle(g_log);
  return 0;
}
