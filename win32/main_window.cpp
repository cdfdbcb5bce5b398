#include "win32/main_window.h"

#include <dwmapi.h>
#include <sddl.h>

#include <string_view>

#include "win32/help.h"
#include "win32/rules_window.h"
#include "win32/system_dll.h"
#include "win32/resource.h"

namespace vantrel::win32 {

namespace {

constexpr wchar_t kMutexName[] = L"Test Mutex";
// How long a copy's window is looked for when "Test Mutex" is taken: 3 s.
constexpr int kLookForCopyTries = 30;
constexpr DWORD kLookForCopyInterval = 100;
constexpr int kRecentEntries = 5;
// Messages of the serial layer, posted from its reader thread.
constexpr UINT kSerialData = WM_APP + 1;
constexpr UINT kPortLost = WM_APP + 2;
constexpr UINT kPortOpened = WM_APP + 5;
// Posted once a program has taken the text of a paste, after it has let go of the
// clipboard (playback must not run inside its GetClipboardData).
constexpr UINT kPasteTaken = WM_APP + 3;
// Posted when the pop-up menu has closed: after the command chosen in it, if any.
constexpr UINT kMenuClosed = WM_APP + 4;
// The hand-over tick lets what is queued run, not what that queues in turn.
constexpr int kPumpLimit = 64;
// Where a notice waits for the next start when none can be shown (the session ends).
constexpr wchar_t kNoticeKey[] = L"Software\\Vantrel";
constexpr wchar_t kNoticeValue[] = L"Notice";

// Cloaked windows (another virtual desktop's, a suspended app's) are not on screen.
// dwmapi is not one of the system's known DLLs: loaded from System32 only.
bool Cloaked(HWND window) {
  using Query = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
  static const auto query = SystemFunction<Query>(L"dwmapi.dll", "DwmGetWindowAttribute");
  DWORD cloaked = 0;
  return query && SUCCEEDED(query(window, DWMWA_CLOAKED, &cloaked, sizeof cloaked)) && cloaked;
}

// A window of the user's work is one the task switcher lists: visible and not
// cloaked, top-level, not a tool window, and unowned or marked as an application
// window. Taskbars, notification areas and their overflow windows, of whatever
// shell, are not; clicking the tray icon makes them the foreground window, but keys
// are never meant for them. The taskbars of Explorer are named as well, in case a
// version draws one without those styles.
bool IsUserWindow(HWND window) {
  if (!window || !IsWindow(window) || !IsWindowVisible(window)) return false;
  if (GetAncestor(window, GA_ROOT) != window || window == GetShellWindow()) return false;
  const auto ex = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  if (ex & WS_EX_TOOLWINDOW) return false;
  if (!(ex & WS_EX_APPWINDOW) && (GetWindow(window, GW_OWNER) || (ex & WS_EX_NOACTIVATE))) {
    return false;
  }
  wchar_t name[64];
  if (GetClassNameW(window, name, 64)) {
    const std::wstring_view cls(name);
    if (cls == L"Shell_TrayWnd" || cls == L"Shell_SecondaryTrayWnd" ||
        cls == L"NotifyIconOverflowWindow" || cls == L"TopLevelWindowForOverflowXamlIsland") {
      return false;
    }
  }
  return !Cloaked(window);
}

// The file name of the program a process runs; "" when it cannot be told.
std::u16string ProgramOf(DWORD process_id) {
  // Limited query rights suffice for the image name, of an elevated program too.
  const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  wchar_t path[MAX_PATH * 4];
  DWORD size = MAX_PATH * 4;
  if (!process || !QueryFullProcessImageNameW(process.Get(), 0, path, &size)) return {};
  const std::wstring_view image(path, size);
  return FromWide(image.substr(image.find_last_of(L'\\') + 1));
}

bool OwnedByThisProcess(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process == GetCurrentProcessId();
}

MainWindow* g_foreground_watcher = nullptr;

void CALLBACK OnForegroundChanged(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD,
                                  DWORD) {
  if (object == OBJID_WINDOW && g_foreground_watcher) {
    g_foreground_watcher->ForegroundChanged(window);
  }
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {}

MainWindow::~MainWindow() {
  // Destroyed while its members live: WM_RENDERALLFORMATS needs the clipboard's text.
  if (hwnd()) DestroyWindow(hwnd());
  if (foreground_hook_) UnhookWinEvent(foreground_hook_);
  if (g_foreground_watcher == this) g_foreground_watcher = nullptr;
  resident_.reset();
  serial_.reset();
}

bool MainWindow::Create() {
  const WindowClass cls{kClassName, LoadIconW(instance_, MAKEINTRESOURCEW(IDI_IDLE))};
  // Top-level but never shown; a tool window stays out of the task switcher even so.
  // Titled once start-up has found no running copy: the title marks a running copy.
  if (!CreateWindowOf(instance_, cls, WS_EX_TOOLWINDOW, L"", WS_OVERLAPPEDWINDOW,
                      {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT}, nullptr)) {
    return false;
  }
  taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");
  clipboard_.SetOwner(hwnd());
  timers_.Attach(hwnd());
  BuildMenu();
  // Out of context: the callback runs on this thread from its message loop.
  g_foreground_watcher = this;
  foreground_hook_ = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                     OnForegroundChanged, 0, 0, WINEVENT_OUTOFCONTEXT);
  tray_ = std::make_unique<Tray>(instance_, hwnd());
  serial_ = std::make_unique<SerialPort>(hwnd(),
                                         SerialPort::Messages{kSerialData, kPortLost, kPortOpened});
  resident_ = std::make_unique<shell::Resident>(*this, shell::ShellPorts{*serial_, editor_serial_},
                                                input_, mouse_, clipboard_, foreground_, *this,
                                                *this, files_, codec_);
  return true;
}

void MainWindow::Start() {
  resident_->Start();
  // The window in front at start-up gets its layout as any later one does.
  ForegroundChanged(GetForegroundWindow());
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_RENDERFORMAT:
      if (clipboard_.Render(static_cast<UINT>(wparam)) && RequestedByPasteTarget()) {
        PostMessageW(hwnd(), kPasteTaken, 0, 0);
      }
      return 0;
    case WM_RENDERALLFORMATS:
      clipboard_.RenderAll();
      return 0;
    case WM_DESTROYCLIPBOARD:
      clipboard_.Emptied();
      return 0;
    default:
      break;
  }
  if (!resident_) return Default(message, wparam, lparam);
  if (taskbar_created_ != 0 && message == taskbar_created_) {
    resident_->TrayRecreated();
    return 0;
  }
  switch (message) {
    case WM_TIMER:
      TimerFired(wparam);
      return 0;
    case Tray::kCallbackMessage:
      if (!shell::TrayMessageOpensMenu(static_cast<std::uint32_t>(lparam))) return 0;
      // The editor and the rules are modal: the menu's commands wait until they close.
      if (editor_window_) {
        SetForegroundWindow(editor_window_->hwnd());
      } else if (rules_open_) {
        SetForegroundWindow(FindWindowW(kRulesClassName, nullptr));
      } else {
        ShowMenu();
      }
      return 0;
    case WM_COMMAND:
      if (HIWORD(wparam) == 0) Command(LOWORD(wparam));
      return 0;
    case WM_CLOSE:
      // The editor goes first: it closes its port and stores its place, which the
      // settings written at shut-down then hold.
      if (editor_window_) editor_window_->Close();
      resident_->Shutdown();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The window is not destroyed when the session ends: shut down here.
      if (wparam) {
        if (editor_window_) editor_window_->Close();
        resident_->EndSession();
      }
      return 0;
    case kSerialData:
      if (!serial_->Current(wparam)) return 0;
      {
        // A key is played into the window in front: the user's window, most likely. Its
        // layout is settled first: the foreground event is delivered through this
        // thread's queue too, and may come after a key pressed right after the change.
        const HWND front = GetForegroundWindow();
        NoteForeground(front);
        if (front && front == user_window_) TellUserWindow(front);
      }
      resident_->OnBytesReceived();
      return 0;
    case kPortOpened:
      if (const std::optional<bool> opened = serial_->OpenResult(wparam, lparam)) {
        resident_->OnPortOpened(*opened);
      }
      return 0;
    case kPasteTaken:
      resident_->OnPasteTaken();
      return 0;
    case kMenuClosed:
      resident_->MenuOpen(false);
      return 0;
    case kPortLost:
      // A notice of an opening since closed is stale.
      if (serial_->Current(wparam) && serial_->Lost()) resident_->OnPortLost();
      return 0;
    default:
      return Default(message, wparam, lparam);
  }
}

void MainWindow::BuildMenu() {
  menu_.reset(CreatePopupMenu());
  files_menu_ = CreatePopupMenu();
  AppendMenuW(menu_.get(), MF_STRING, IDM_CURRENT, L"");
  for (int entry = kRecentEntries; entry >= 1; --entry) {
    AppendMenuW(files_menu_, MF_STRING, IDM_RECENT1 + entry - 1, L"");
  }
  AppendMenuW(files_menu_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(files_menu_, MF_STRING, IDM_USE_FOR_WINDOW, L"このウィンドウで使う");
  AppendMenuW(files_menu_, MF_STRING, IDM_RULES, L"レイアウト切替...");
  AppendMenuW(menu_.get(), MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(files_menu_),
              L"ファイル");
  AppendMenuW(menu_.get(), MF_STRING, IDM_EDITOR, L"エディタ");
  AppendMenuW(menu_.get(), MF_STRING, IDM_HELP, L"ヘルプ");
  AppendMenuW(menu_.get(), MF_STRING, IDM_END, L"終了");
}

void MainWindow::ShowMenu() {
  POINT at{};
  GetCursorPos(&at);
  // A click on the icon brings the window that shows it to the front, whatever shell
  // draws it (a taskbar, a tray window of its own): the window in front now, under the
  // cursor, is that one, and the user's window is the one before it.
  const HWND front = GetForegroundWindow();
  tray_host_ = nullptr;
  if (front && GetAncestor(WindowFromPoint(at), GA_ROOT) == front) {
    tray_host_ = front;
    if (user_window_ == front) {
      user_window_ = previous_user_window_;
      // The tray's window was taken for the user's as it came to the front: the rules
      // and "このウィンドウで使う" are for the window before it.
      if (user_window_ && IsWindow(user_window_)) {
        TellUserWindow(user_window_);
      }
    }
  } else {
    NoteForeground(front);
  }
  // Without the foreground the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(hwnd());
  menu_open_ = true;
  // The menu's own loop dispatches the serial port's messages and playback's timers:
  // nothing may play into the menu (an Enter in a macro would choose a command).
  resident_->MenuOpen(true);
  TrackPopupMenu(menu_.get(), 0, at.x, at.y, 0, hwnd(), nullptr);
  menu_open_ = false;
  PostMessageW(hwnd(), WM_NULL, 0, 0);
  // The next FK key belongs to the user's window, not to this hidden one.
  GiveForegroundBack();
  PostMessageW(hwnd(), kMenuClosed, 0, 0);
}

void MainWindow::NoteForeground(HWND window) {
  if (window == user_window_ || !IsUserWindow(window) || OwnedByThisProcess(window)) return;
  previous_user_window_ = user_window_;
  user_window_ = window;
}

void MainWindow::ForegroundChanged(HWND window) {
  NoteForeground(window);
  if (!resident_) return;
  resident_->ForegroundChanged();
  if (window && window == user_window_) TellUserWindow(window);
  // Help closing, or any window of ours that the system activates in passing,
  // hands the foreground on to this hidden window.
  if (window == hwnd() && !menu_open_) GiveForegroundBack();
}

void MainWindow::TellUserWindow(HWND window) {
  WindowIdentity identity;
  wchar_t title[256];
  const int n = GetWindowTextW(window, title, 256);
  if (n > 0) identity.title = FromWide(std::wstring_view(title, static_cast<std::size_t>(n)));
  // Asked once per window, not at every key: a key waits on it. A window that still
  // belongs to the same process id is that process's, whose name has not changed. The
  // title is read every time (the document shown may change).
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  if (window != identified_window_ || process_id != identified_process_) {
    identified_window_ = window;
    identified_process_ = process_id;
    identified_program_ = ProgramOf(process_id);
  }
  identity.program = identified_program_;
  resident_->UserWindowInFront(identity);
}

void MainWindow::GiveForegroundBack() {
  // Only from this program's own windows and the one its icon was clicked in: a
  // window the user went to stays in front.
  const HWND front = GetForegroundWindow();
  if (front && front != tray_host_ && !OwnedByThisProcess(front)) return;
  if (user_window_ && IsWindow(user_window_)) SetForegroundWindow(user_window_);
}

void MainWindow::Command(UINT id) {
  if (id >= IDM_RECENT1 && id < IDM_RECENT1 + kRecentEntries) {
    resident_->ChooseRecent(static_cast<int>(id - IDM_RECENT1) + 1);
  } else if (id == IDM_EDITOR) {
    resident_->OpenEditor();
  } else if (id == IDM_USE_FOR_WINDOW) {
    resident_->UseLayoutForWindow();
  } else if (id == IDM_RULES) {
    resident_->EditRules();
  } else if (id == IDM_HELP) {
    resident_->Help();
  } else if (id == IDM_END) {
    resident_->Exit();
  }
  // IDM_CURRENT only shows the current layout.
}

void MainWindow::SetItemCaption(HMENU menu, UINT id, std::u16string_view caption) {
  std::wstring text = ToWide(caption);
  MENUITEMINFOW item{};
  item.cbSize = sizeof item;
  item.fMask = MIIM_STRING;
  item.dwTypeData = text.data();
  SetMenuItemInfoW(menu, id, FALSE, &item);
}

void MainWindow::KeepNoticeForNextStart(std::u16string_view text) {
  const std::wstring value = ToWide(text);
  RegSetKeyValueW(HKEY_CURRENT_USER, kNoticeKey, kNoticeValue, REG_SZ, value.c_str(),
                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::u16string MainWindow::TakeNoticeFromLastRun() {
  wchar_t text[1024];
  DWORD size = sizeof text;
  const bool read = RegGetValueW(HKEY_CURRENT_USER, kNoticeKey, kNoticeValue, RRF_RT_REG_SZ,
                                 nullptr, text, &size) == ERROR_SUCCESS;
  // Taken once, whether or not it could be read.
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kNoticeKey, kNoticeValue);
  return read ? FromWide(text) : std::u16string{};
}

bool MainWindow::AnotherInstanceRunning() {
  // This user's own copy holds our own name, which nothing else has reason to use.
  const std::wstring own_name = InstanceNameOfThisUser();
  if (!own_name.empty()) {
    HANDLE own = CreateMutexW(nullptr, FALSE, own_name.c_str());
    if (!own || GetLastError() == ERROR_ALREADY_EXISTS) {
      if (own) CloseHandle(own);
      return true;
    }
    own_mutex_.Reset(own);
  }
  // "Test Mutex" is a name sample code uses too, and any program may hold it or an
  // object of that name that denies us: taken, it only says that a copy may run. A
  // copy of another account, or of an earlier release, is then told by its window.
  // Taken as well when it cannot be made: denied, or an object of another kind.
  bool taken = true;
  if (HANDLE existing = OpenMutexW(SYNCHRONIZE, FALSE, kMutexName)) {
    CloseHandle(existing);
  } else if (GetLastError() != ERROR_ACCESS_DENIED) {
    if (HANDLE created = CreateMutexW(nullptr, FALSE, kMutexName)) {
      // Two copies started at once both miss the open; the later creation tells.
      taken = GetLastError() == ERROR_ALREADY_EXISTS;
      mutex_.Reset(created);
    }
  }
  if (taken && RunningCopyShowsUp()) return true;
  // Marks this window as a running copy's, for a copy started later to find.
  SetWindowTextW(hwnd(), kTitle);
  return false;
}

std::wstring MainWindow::InstanceNameOfThisUser() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  const UniqueHandle owned(token);
  alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return {};
  LPWSTR sid = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) return {};
  std::wstring name = L"Local\\Vantrel.Instance.";
  name += sid;
  LocalFree(sid);
  return name;
}

bool MainWindow::RunningCopyShowsUp() {
  // A copy started just before this one may not have its window yet.
  for (int tries = 0; tries < kLookForCopyTries; ++tries) {
    for (HWND found = nullptr;
         (found = FindWindowExW(nullptr, found, kClassName, kTitle)) != nullptr;) {
      if (found != hwnd()) return true;
    }
    Sleep(kLookForCopyInterval);
  }
  return false;
}

void MainWindow::ShowSecondInstanceMessage() {
  MessageBoxW(nullptr, ToWide(shell::kSecondInstanceText).c_str(), kTitle, MB_OK);
}

std::u16string MainWindow::CurrentDirectory() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring dir(size, L'\0');
  const DWORD n = GetCurrentDirectoryW(size, dir.data());
  return n == 0 || n >= size ? std::u16string{} : FromWide(std::wstring_view(dir.data(), n));
}

std::vector<std::u16string> MainWindow::ListLayouts(std::u16string_view dir) {
  return ListLayoutFiles(dir);
}

std::u16string MainWindow::ForegroundTitle() {
  HWND front = GetForegroundWindow();
  if (!front) return {};
  wchar_t title[128];
  const int n = GetWindowTextW(front, title, 128);
  return n > 0 ? FromWide(std::wstring_view(title, static_cast<std::size_t>(n))) : std::u16string{};
}

void MainWindow::PumpMessagesOnce() {
  MSG msg;
  for (int i = 0; i < kPumpLimit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the main loop to see
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void MainWindow::ShowTray(shell::TrayIcon icon, std::u16string_view tip) {
  tray_->Show(icon, tip);
}

void MainWindow::RemoveTray() {
  tray_->Remove();
}

void MainWindow::Balloon(std::u16string_view title, std::u16string_view text) {
  tray_->Balloon(title, text);
}

void MainWindow::ShowError(std::u16string_view text) {
  MessageBoxW(nullptr, ToWide(text).c_str(), kTitle, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void MainWindow::SetCurrentLayoutCaption(std::u16string_view caption) {
  SetItemCaption(menu_.get(), IDM_CURRENT, caption);
}

void MainWindow::SetRecentCaptions(const std::array<std::u16string, 5>& captions) {
  for (int entry = 1; entry <= kRecentEntries; ++entry) {
    SetItemCaption(menu_.get(), IDM_RECENT1 + entry - 1, captions[entry - 1]);
  }
}

void MainWindow::OpenHelp() {
  ShowHelp(hwnd());
}

void MainWindow::RunEditor(const editor::EditorSession& session) {
  try {
    EditorWindow window(instance_, hwnd(), session, editor_serial_, files_, codec_);
    editor_window_ = &window;
    window.Run();
  } catch (...) {
    // An editor that could not be shown leaves the shell as a closed one does.
  }
  editor_window_ = nullptr;
  editor_serial_.Close();
  // Keys are for the user's window again, not for the one the editor leaves in front.
  GiveForegroundBack();
}

void MainWindow::RunRulesDialog(shell::RulesEditor& rules) {
  rules_open_ = true;
  ShowRulesDialog(instance_, hwnd(), rules);
  rules_open_ = false;
  GiveForegroundBack();
}

void MainWindow::Quit() {
  // The last text pasted stays on the clipboard after the program, as text copied does.
  clipboard_.RenderAll();
  PostQuitMessage(0);
}

// Win32 timer ids: the shell's timers in the first slots, the link's after them.
void MainWindow::Arm(shell::ShellTimer id, int milliseconds) {
  ArmSlot(static_cast<std::size_t>(id), milliseconds);
}

void MainWindow::Disarm(shell::ShellTimer id) {
  DisarmSlot(static_cast<std::size_t>(id));
}

void MainWindow::Arm(device::LinkTimer id, int milliseconds) {
  ArmSlot(kShellTimers + static_cast<std::size_t>(id), milliseconds);
}

void MainWindow::Disarm(device::LinkTimer id) {
  DisarmSlot(kShellTimers + static_cast<std::size_t>(id));
}

void MainWindow::ArmSlot(std::size_t slot, int milliseconds) {
  timers_.Arm(slot, milliseconds);
}

void MainWindow::DisarmSlot(std::size_t slot) {
  timers_.Disarm(slot);
}

void MainWindow::TimerFired(UINT_PTR id) {
  const std::optional<std::size_t> slot = timers_.Fired(id);
  if (!slot) return;
  if (*slot < kShellTimers) {
    resident_->OnTimer(static_cast<shell::ShellTimer>(*slot));
  } else {
    resident_->OnTimer(static_cast<device::LinkTimer>(*slot - kShellTimers));
  }
}

}  // namespace vantrel::win32
