// The layout editor window ("Button Editor Ve1.2"), shown modally over the hidden
// main window: the key grid, the mouse-state page, the device settings and the File
// menu as real controls with their captions and tool tips. editor::LayoutEditor
// decides everything; this window shows what it asks, hands it the user's events,
// runs its timers and passes on its port's notices.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "core/data/table.h"
#include "core/editor/editor.h"
#include "win32/handles.h"
#include "win32/one_shot_timers.h"
#include "win32/serial.h"
#include "win32/window.h"

namespace vantrel::win32 {

class EditorWindow final : public Window,
                           public editor::EditorPlatform,
                           public device::Timers<editor::EditorTimer> {
 public:
  static constexpr const wchar_t* kClassName = L"VantrelEditorWindow";

  // `port` is the session's port: the window takes its notices.
  EditorWindow(HINSTANCE instance, HWND owner, const editor::EditorSession& session,
               SerialPort& port, const FileSystem& files, const TextCodec& codec);
  ~EditorWindow() override;
  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // Creates and loads the window, shows it modally and returns once it has closed.
  void Run();
  // Closes the window as its close box does; also while one of its dialogs is up
  // (the session is ending), which then goes with it.
  void Close();

  // editor::EditorPlatform
  void PlaceWindow(editor::WindowPosition where) override;
  void SetLayoutName(std::u16string_view name) override;
  void SetPortList(const std::vector<std::u16string>& entries, int selected) override;
  void SelectModel(editor::ModelOption option) override;
  void SelectMouseState(int option) override;
  void SetChecks(bool open_at_startup, bool auto_hand_over) override;
  void HighlightKey(int key, bool on) override;
  void ShowLampTestCode(int code) override;
  void ShowPortStatus(std::u16string_view text) override;
  std::vector<int> PresentComPorts() override;
  void ShowMessage(std::u16string_view title, std::u16string_view text) override;
  bool Confirm(std::u16string_view title, std::u16string_view text) override;
  std::optional<std::u16string> ChooseLayoutToOpen(std::u16string_view folder) override;
  std::optional<std::u16string> ChooseLayoutToSave(std::u16string_view folder) override;
  std::unique_ptr<editor::Printer> ChoosePrinter() override;
  void AssignKey(const editor::AssignKeyRequest& request) override;
  void OpenHelp() override;

  // The editor's timers: one-shot; the window kills a timer as it fires.
  void Arm(editor::EditorTimer id, int milliseconds) override;
  void Disarm(editor::EditorTimer id) override;

 private:
  static constexpr std::size_t kControlCount =
      static_cast<std::size_t>(editor::EditorControl::kLampTestCode) + 1;

  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool Create();
  void BuildMenu();
  void CreateControls();
  HWND CreateControl(const wchar_t* cls, std::u16string_view caption, DWORD style, UINT id,
                     DWORD ex_style = 0);
  void AddTip(HWND control, std::u16string_view tip);
  // Places every control and sizes the window for `dpi`.
  void Layout(UINT dpi);
  void Command(UINT id, UINT code);
  void DrawKey(const DRAWITEMSTRUCT& item);
  void TimerFired(UINT_PTR id);
  std::optional<std::u16string> ChooseLayout(bool save, std::u16string_view folder);
  HWND Control(editor::EditorControl which) const {
    return controls_[static_cast<std::size_t>(which)];
  }

  HINSTANCE instance_;
  HWND owner_;
  SerialPort& port_;
  editor::LayoutEditor editor_;
  std::array<HWND, kControlCount> controls_{};
  std::array<HWND, kKeys> keys_{};
  std::array<bool, kKeys> highlighted_{};
  HWND tips_ = nullptr;    // owned by this window, destroyed with it
  HWND status_ = nullptr;  // the line saying why the lamps do not follow, once needed
  UniqueFont font_;
  UINT dpi_ = 0;
  OneShotTimers<2> timers_;  // the wake-up and the lamp test
};

}  // namespace vantrel::win32
