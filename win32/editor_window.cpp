#include "win32/editor_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <utility>

#include "win32/assign_key_window.h"
#include "win32/codec.h"
#include "win32/controls.h"
#include "win32/files.h"
#include "win32/help.h"
#include "win32/modal.h"
#include "win32/printer.h"
#include "win32/resource.h"
#include "win32/twips.h"

namespace vantrel::win32 {
namespace {

using editor::ControlKind;
using editor::EditorControl;

// A fixed frame: the layout is designed for one size.
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;
// A taskbar button of its own, though the hidden main window owns it.
constexpr DWORD kExStyle = WS_EX_APPWINDOW;

// Menu commands, control ids (kControlBase + EditorControl) and key buttons
// (kKeyBase + key).
enum MenuCommand : UINT { kNew = 100, kOpen, kSave, kSaveAs, kPrint, kHelp };
constexpr UINT kControlBase = 1000;
constexpr UINT kKeyBase = 2000;
constexpr UINT kStatusId = 3000;
// Messages of the editor's port, posted from its line thread.
constexpr UINT kPortData = WM_APP + 1;
constexpr UINT kPortLost = WM_APP + 2;
constexpr UINT kPortOpened = WM_APP + 3;
// The port list drops down this far below its box.
constexpr int kDropDownTwips = 3000;

const editor::Twips kFrame = [] {
  for (const editor::Control& c : editor::kEditorControls) {
    if (c.id == EditorControl::kKeyFrame) return c.place;
  }
  return editor::Twips{};
}();

// Beyond the right edge of the client area: there as designed, never seen.
bool Unseen(const editor::Control& c) {
  return !c.in_frame && c.place.left >= editor::kEditorClient.width;
}

}  // namespace

EditorWindow::EditorWindow(HINSTANCE instance, HWND owner, const editor::EditorSession& session,
                           SerialPort& port, const FileSystem& files, const TextCodec& codec)
    : instance_(instance),
      owner_(owner),
      port_(port),
      editor_(session, *this, *this, files, codec) {}

EditorWindow::~EditorWindow() {
  // However the loop ended; the base's destructor would no longer reach OnMessage.
  Close();
  port_.SetNotify(nullptr, {});
}

void EditorWindow::Run() {
  if (!Create()) return;
  RunModal(*this, owner_);
}

bool EditorWindow::Create() {
  INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&common);
  const WindowClass cls{kClassName, LoadIconW(instance_, MAKEINTRESOURCEW(IDI_IDLE)),
                        LoadCursorW(nullptr, IDC_ARROW), GetSysColorBrush(COLOR_BTNFACE)};
  if (!CreateWindowOf(instance_, cls, kExStyle, ToWide(editor::kEditorTitle).c_str(), kStyle,
                      {0, 0, 0, 0}, owner_)) {
    return false;
  }
  timers_.Attach(hwnd());
  BuildMenu();
  CreateControls();
  Layout(WindowDpi(hwnd()));
  port_.SetNotify(hwnd(), {kPortData, kPortLost, kPortOpened});
  editor_.Load();
  return true;
}

void EditorWindow::Close() {
  // WM_DESTROY tells the editor.
  if (hwnd()) EndModal(hwnd(), owner_);
}

void EditorWindow::BuildMenu() {
  UniqueMenu bar(CreateMenu());
  UniqueMenu file(CreatePopupMenu());
  if (!bar || !file) return;
  const std::pair<UINT, std::u16string_view> items[] = {{kNew, editor::kNewItem},
                                                        {kOpen, editor::kOpenItem},
                                                        {kSave, editor::kSaveItem},
                                                        {kSaveAs, editor::kSaveAsItem},
                                                        {kPrint, editor::kPrintItem}};
  for (const auto& [id, caption] : items) {
    AppendMenuW(file.get(), MF_STRING, id, ToWide(caption).c_str());
  }
  if (!AppendMenuW(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(file.get()),
                   ToWide(editor::kFileMenu).c_str())) {
    return;
  }
  static_cast<void>(file.release());  // the bar has it now
  AppendMenuW(bar.get(), MF_STRING, kHelp, ToWide(editor::kHelpMenu).c_str());
  if (SetMenu(hwnd(), bar.get())) static_cast<void>(bar.release());  // the window has it now
}

HWND EditorWindow::CreateControl(const wchar_t* cls, std::u16string_view caption, DWORD style,
                                 UINT id, DWORD ex_style) {
  return CreateWindowExW(ex_style, cls, ToWide(caption).c_str(), WS_CHILD | WS_VISIBLE | style, 0,
                         0, 0, 0, hwnd(), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                         instance_, nullptr);
}

void EditorWindow::CreateControls() {
  tips_ = CreateToolTips(instance_, hwnd());
  // Creation order is the tab order: the settings, the mouse-state row, the keys,
  // then the controls nobody sees. An option follows another of its group; every
  // other control starts a group of its own.
  bool after_option = false;
  for (const editor::Control& c : editor::kEditorControls) {
    const bool option = c.kind == ControlKind::kOption;
    const DWORD group = option && after_option ? 0 : WS_GROUP;
    const DWORD tab = Unseen(c) || c.kind == ControlKind::kLabel || c.kind == ControlKind::kFrame ||
                              (option && after_option)
                          ? 0
                          : WS_TABSTOP;
    after_option = option;
    const UINT id = kControlBase + static_cast<UINT>(c.id);
    HWND control = nullptr;
    switch (c.kind) {
      case ControlKind::kLabel:
        control =
            CreateControl(L"STATIC", c.caption, SS_LEFT | SS_NOPREFIX | SS_NOTIFY | group, id);
        break;
      case ControlKind::kCheckBox:
        control = CreateControl(L"BUTTON", c.caption, BS_AUTOCHECKBOX | group | tab, id);
        break;
      case ControlKind::kDropDownList:
        control =
            CreateControl(WC_COMBOBOXW, c.caption, CBS_DROPDOWNLIST | WS_VSCROLL | group | tab, id);
        break;
      case ControlKind::kOption:
        control = CreateControl(L"BUTTON", c.caption, BS_AUTORADIOBUTTON | group | tab, id);
        break;
      case ControlKind::kFrame:
        control = CreateControl(L"BUTTON", c.caption, BS_GROUPBOX | group, id);
        break;
      case ControlKind::kButton:
        control = CreateControl(L"BUTTON", c.caption, BS_PUSHBUTTON | group | tab, id);
        break;
      case ControlKind::kTextBox:
        control = CreateControl(L"EDIT", c.caption, ES_AUTOHSCROLL | ES_READONLY | group | tab, id,
                                WS_EX_CLIENTEDGE);
        break;
    }
    controls_[static_cast<std::size_t>(c.id)] = control;
    if (!c.tip.empty()) AddTip(control, c.tip);
    if (c.id != EditorControl::kMouseRight) continue;
    // Owner-drawn, so that a key's button can turn yellow while its dialog is up.
    for (int key = 1; key <= kKeys; ++key) {
      keys_[key - 1] =
          CreateControl(L"BUTTON", FromWide(std::to_wstring(key)),
                        BS_OWNERDRAW | WS_TABSTOP | (key == 1 ? WS_GROUP : 0), kKeyBase + key);
    }
    after_option = false;
  }
}

void EditorWindow::AddTip(HWND control, std::u16string_view tip) {
  AddToolTip(tips_, hwnd(), control, tip);
}

void EditorWindow::Layout(UINT dpi) {
  dpi_ = dpi;
  const POINT frame{kFrame.left, kFrame.top};
  for (const editor::Control& c : editor::kEditorControls) {
    RECT r = PixelRect(c.place, dpi, c.in_frame ? frame : POINT{0, 0});
    // A drop-down list's height includes its list.
    if (c.kind == ControlKind::kDropDownList) r.bottom += ToPixels(kDropDownTwips, dpi);
    MoveWindow(Control(c.id), r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
  }
  for (int key = 1; key <= kKeys; ++key) {
    const RECT r = PixelRect(editor::KeyButtonPlace(key), dpi, frame);
    MoveWindow(keys_[key - 1], r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
  }
  // The controls let go of the old font only once they have the new one.
  UniqueFont font = MessageFont(dpi);
  SetFontOfChildren(hwnd(), font.get());
  if (tips_) SendMessageW(tips_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
  font_ = std::move(font);

  SIZE client{ToPixels(editor::kEditorClient.width, dpi),
              ToPixels(editor::kEditorClient.height, dpi)};
  if (status_) {
    SendMessageW(status_, WM_SIZE, 0, 0);
    RECT bar{};
    GetWindowRect(status_, &bar);
    client.cy += bar.bottom - bar.top;
  }
  const SIZE outer = FrameSize(client, kStyle, kExStyle, true, dpi);
  SetWindowPos(hwnd(), nullptr, 0, 0, outer.cx, outer.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (status_) SendMessageW(status_, WM_SIZE, 0, 0);
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT EditorWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_DRAWITEM:
      DrawKey(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_TIMER:
      TimerFired(wparam);
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DESTROY: {
      // However the window goes (its owner may take it along), the port is closed
      // and the place stored.
      RECT at{};
      GetWindowRect(hwnd(), &at);
      editor_.Close(DesktopTwips({at.left, at.top}));
      return 0;
    }
    case WM_DPICHANGED: {
      MoveToSuggestedCorner(hwnd(), lparam);
      Layout(HIWORD(wparam));
      return 0;
    }
    case kPortData:
      // FK keys do nothing while the editor is open.
      static_cast<void>(port_.TakeReceived());
      return 0;
    case kPortLost:
      // A notice of an opening since closed is stale.
      if (port_.Current(wparam) && port_.Lost()) editor_.OnPortLost();
      return 0;
    case kPortOpened:
      if (const std::optional<bool> opened = port_.OpenResult(wparam, lparam)) {
        editor_.OnPortOpened(*opened);
      }
      return 0;
    default:
      return Default(message, wparam, lparam);
  }
}

void EditorWindow::Command(UINT id, UINT code) {
  switch (id) {
    case kNew:
      return editor_.NewLayout();
    case kOpen:
      return editor_.OpenLayout();
    case kSave:
      return editor_.SaveLayout();
    case kSaveAs:
      return editor_.SaveLayoutAs();
    case kPrint:
      return editor_.Print();
    case kHelp:
      return editor_.Help();
    default:
      break;
  }
  if (id > kKeyBase && id <= kKeyBase + kKeys) {
    if (code == BN_CLICKED) editor_.PressKey(static_cast<int>(id - kKeyBase));
    return;
  }
  if (id < kControlBase || id >= kControlBase + kControlCount) return;
  const auto which = static_cast<EditorControl>(id - kControlBase);
  const auto ticked = [&] {
    return SendMessageW(Control(which), BM_GETCHECK, 0, 0) == BST_CHECKED;
  };
  if (which == EditorControl::kPortList) {
    if (code != CBN_SELCHANGE) return;
    const LRESULT entry = SendMessageW(Control(which), CB_GETCURSEL, 0, 0);
    const LRESULT length = SendMessageW(Control(which), CB_GETLBTEXTLEN, entry, 0);
    if (entry == CB_ERR || length == CB_ERR) return;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(Control(which), CB_GETLBTEXT, entry, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return editor_.ChoosePort(FromWide(text));
  }
  if (code != BN_CLICKED) return;
  switch (which) {
    case EditorControl::kOpenAtStartup:
      return editor_.SetOpenAtStartup(ticked());
    case EditorControl::kAutoHandOver:
      return editor_.SetAutoHandOver(ticked());
    case EditorControl::kModelX8000:
      return editor_.ChooseModel(editor::ModelOption::kX8000);
    case EditorControl::kModel48G9995:
      return editor_.ChooseModel(editor::ModelOption::k48G9995);
    case EditorControl::kModel6094:
      return editor_.ChooseModel(editor::ModelOption::k6094);
    case EditorControl::kMouseNone:
    case EditorControl::kMouseLeft:
    case EditorControl::kMouseMiddle:
    case EditorControl::kMouseRight:
      return editor_.ChooseMouseState(static_cast<int>(which) -
                                      static_cast<int>(EditorControl::kMouseNone));
    case EditorControl::kLampTestStart:
      return editor_.StartLampTest();
    case EditorControl::kLampTestStop:
      return editor_.StopLampTest();
    case EditorControl::kTestAllLamps:
      return editor_.TestAllLamps();
    case EditorControl::kTestLampsOff:
      return editor_.TestLampsOff();
    default:
      return;
  }
}

void EditorWindow::DrawKey(const DRAWITEMSTRUCT& item) {
  const UINT key = item.CtlID - kKeyBase;
  if (item.CtlType != ODT_BUTTON || key < 1 || key > static_cast<UINT>(kKeys)) return;
  const auto& yellow = editor::kKeyHighlight;
  DrawColouredButton(
      item,
      highlighted_[key - 1] ? RGB(yellow[0], yellow[1], yellow[2]) : GetSysColor(COLOR_BTNFACE),
      font_.get());
}

void EditorWindow::PlaceWindow(editor::WindowPosition where) {
  MoveOntoScreen(hwnd(), DesktopPixels(where));
  // A monitor of another DPI: the system may have said so with WM_DPICHANGED already.
  if (WindowDpi(hwnd()) != dpi_) Layout(WindowDpi(hwnd()));
}

void EditorWindow::SetLayoutName(std::u16string_view name) {
  SetWindowTextW(Control(EditorControl::kFileName), ToWide(name).c_str());
}

void EditorWindow::SetPortList(const std::vector<std::u16string>& entries, int selected) {
  const HWND list = Control(EditorControl::kPortList);
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  for (const std::u16string& entry : entries) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(entry).c_str()));
  }
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void EditorWindow::SelectModel(editor::ModelOption option) {
  const int chosen = static_cast<int>(option);
  for (int i = 0; i < 3; ++i) {
    const auto which = static_cast<EditorControl>(static_cast<int>(EditorControl::kModelX8000) + i);
    SendMessageW(Control(which), BM_SETCHECK, i == chosen ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

void EditorWindow::SelectMouseState(int option) {
  for (int i = 0; i < kMouseStates; ++i) {
    const auto which = static_cast<EditorControl>(static_cast<int>(EditorControl::kMouseNone) + i);
    SendMessageW(Control(which), BM_SETCHECK, i == option ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

void EditorWindow::SetChecks(bool open_at_startup, bool auto_hand_over) {
  SendMessageW(Control(EditorControl::kOpenAtStartup), BM_SETCHECK,
               open_at_startup ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(Control(EditorControl::kAutoHandOver), BM_SETCHECK,
               auto_hand_over ? BST_CHECKED : BST_UNCHECKED, 0);
}

void EditorWindow::HighlightKey(int key, bool on) {
  if (key < 1 || key > kKeys) return;
  highlighted_[key - 1] = on;
  InvalidateRect(keys_[key - 1], nullptr, TRUE);
  UpdateWindow(keys_[key - 1]);
}

void EditorWindow::ShowLampTestCode(int code) {
  SetWindowTextW(Control(EditorControl::kLampTestCode), std::to_wstring(code).c_str());
}

void EditorWindow::ShowPortStatus(std::u16string_view text) {
  if (status_) {
    SetWindowTextW(status_, ToWide(text).c_str());
    return;
  }
  // A line below the designed area, so the layout above stays as it is.
  status_ = CreateWindowExW(0, STATUSCLASSNAMEW, ToWide(text).c_str(), WS_CHILD | WS_VISIBLE, 0, 0,
                            0, 0, hwnd(), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kStatusId)),
                            instance_, nullptr);
  Layout(dpi_);
}

std::vector<int> EditorWindow::PresentComPorts() {
  return win32::PresentComPorts();
}

void EditorWindow::ShowMessage(std::u16string_view title, std::u16string_view text) {
  MessageBoxW(hwnd(), ToWide(text).c_str(), ToWide(title).c_str(), MB_OK);
}

bool EditorWindow::Confirm(std::u16string_view title, std::u16string_view text) {
  return MessageBoxW(hwnd(), ToWide(text).c_str(), ToWide(title).c_str(), MB_OKCANCEL) == IDOK;
}

std::optional<std::u16string> EditorWindow::ChooseLayoutToOpen(std::u16string_view folder) {
  return ChooseLayout(false, folder);
}

std::optional<std::u16string> EditorWindow::ChooseLayoutToSave(std::u16string_view folder) {
  return ChooseLayout(true, folder);
}

std::optional<std::u16string> EditorWindow::ChooseLayout(bool save, std::u16string_view folder) {
  // Name and pattern, each ended by a NUL, and a NUL after the last.
  const std::wstring filter =
      ToWide(editor::kLayoutFilterName) + L'\0' + ToWide(editor::kLayoutFilterPattern) + L'\0';
  const std::wstring dir = ToWide(folder), extension = ToWide(editor::kLayoutExtension);
  std::wstring path(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = hwnd();
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrInitialDir = dir.c_str();
  // Neither keeps the working directory (no OFN_NOCHANGEDIR): the folder of the chosen
  // file becomes it. Open: only existing files in existing folders. Save As: only
  // existing folders, asking before an existing file is replaced.
  if (save) {
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  } else {
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  }
  path.resize(path.find(L'\0'));
  return FromWide(path);
}

std::unique_ptr<editor::Printer> EditorWindow::ChoosePrinter() {
  return win32::ChoosePrinter(hwnd());
}

void EditorWindow::AssignKey(const editor::AssignKeyRequest& request) {
  ShowAssignKeyDialog(instance_, hwnd(), request);
}

void EditorWindow::OpenHelp() {
  ShowHelp(hwnd());
}

void EditorWindow::Arm(editor::EditorTimer id, int milliseconds) {
  timers_.Arm(static_cast<std::size_t>(id), milliseconds);
}

void EditorWindow::Disarm(editor::EditorTimer id) {
  if (hwnd()) timers_.Disarm(static_cast<std::size_t>(id));
}

void EditorWindow::TimerFired(UINT_PTR id) {
  if (const std::optional<std::size_t> slot = timers_.Fired(id)) {
    editor_.OnTimer(static_cast<editor::EditorTimer>(*slot));
  }
}

}  // namespace vantrel::win32
