// The window in front for end-to-end tests: an edit control with the focus that
// logs every key and mouse-button message it receives, and the text of every
// paste, as UTF-8 lines "<ms since start> <event> <detail>" to the file given.
// Its context menu has one item, "&Paste", so a right click and the key P paste
// the clipboard, as the program's text steps expect of the window in front.
// --title names the window, so a test can put a window of a given title in front.
//   fktarget.exe --log FILE [--topmost] [--title TEXT]
#include <windows.h>

#include <string>

namespace {

constexpr UINT kPasteItem = 1;

HANDLE g_log = INVALID_HANDLE_VALUE;
HWND g_edit = nullptr;
WNDPROC g_edit_proc = nullptr;
DWORD g_start = 0;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

void Log(const std::string& event, const std::wstring& detail = L"") {
  std::string line = std::to_string(GetTickCount() - g_start);
  line += ' ';
  line += event;
  if (!detail.empty()) {
    line += ' ';
    line += Utf8(detail);
  }
  line += '\n';
  DWORD written;
  WriteFile(g_log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::wstring Hex(WPARAM vk) {
  wchar_t buf[16];
  wsprintfW(buf, L"0x%02X", static_cast<unsigned>(vk));
  return buf;
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"<clipboard busy>";
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
      text = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return text;
}

std::wstring EditText() {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(g_edit)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(g_edit, text.data(), static_cast<int>(text.size()))));
  return text;
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_KEYDOWN:
      Log("keydown", Hex(wp));
      break;
    case WM_KEYUP:
      Log("keyup", Hex(wp));
      break;
    case WM_SYSKEYDOWN:
      Log("syskeydown", Hex(wp));
      break;
    case WM_SYSKEYUP:
      Log("syskeyup", Hex(wp));
      break;
    case WM_LBUTTONDOWN:
      Log("lbuttondown");
      break;
    case WM_LBUTTONUP:
      Log("lbuttonup");
      break;
    case WM_MBUTTONDOWN:
      Log("mbuttondown");
      break;
    case WM_MBUTTONUP:
      Log("mbuttonup");
      break;
    case WM_RBUTTONDOWN:
      Log("rbuttondown");
      break;
    case WM_RBUTTONUP:
      Log("rbuttonup");
      break;
    case WM_PASTE: {
      Log("paste", ClipboardText());
      const LRESULT r = CallWindowProcW(g_edit_proc, hwnd, msg, wp, lp);
      Log("text", EditText());
      return r;
    }
    case WM_CONTEXTMENU: {
      HMENU menu = CreatePopupMenu();
      AppendMenuW(menu, MF_STRING, kPasteItem, L"&Paste");
      POINT at;
      GetCursorPos(&at);
      Log("menu");
      const UINT chosen = static_cast<UINT>(
          TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr));
      DestroyMenu(menu);
      Log("menu-chosen", chosen == kPasteItem ? L"paste" : L"none");
      if (chosen == kPasteItem) SendMessageW(hwnd, WM_PASTE, 0, 0);
      return 0;
    }
  }
  return CallWindowProcW(g_edit_proc, hwnd, msg, wp, lp);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      if (g_edit) MoveWindow(g_edit, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return 0;
    case WM_SETFOCUS:
      if (g_edit) SetFocus(g_edit);
      return 0;
    case WM_ACTIVATE:
      Log(LOWORD(wp) == WA_INACTIVE ? "inactive" : "active");
      break;
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
  bool topmost = false;
  std::wstring title = L"Vantrel target";
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--log" && i + 1 < argc) log_path = argv[++i];
    if (a == L"--topmost") topmost = true;
    if (a == L"--title" && i + 1 < argc) title = argv[++i];
  }
  if (!log_path) return 2;
  g_log = CreateFileW(log_path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (g_log == INVALID_HANDLE_VALUE) return 3;

  WNDCLASSW wc{};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"VantrelTarget";
  RegisterClassW(&wc);
  HWND hwnd =
      CreateWindowExW(topmost ? WS_EX_TOPMOST : 0, wc.lpszClassName, title.c_str(),
                      WS_OVERLAPPEDWINDOW, 100, 100, 640, 400, nullptr, nullptr, instance, nullptr);
  g_edit = CreateWindowExW(
      WS_EX_CLIENTEDGE, L"EDIT", L"",
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 0, 0, 640,
      400, hwnd, nullptr, instance, nullptr);
  g_edit_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(g_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  SetForegroundWindow(hwnd);
  SetFocus(g_edit);
  // Clicks are sent at the cursor: put it over the edit control.
  RECT r;
  GetWindowRect(g_edit, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Log("ready");

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  CloseHandle(g_log);
  return 0;
}
