// The program's hidden main window. It owns the tray icon, the pop-up menu, the
// timers and the serial port through which the FK device is played, and forwards
// every event to the shell logic (shell::Resident).
//
// It is a real top-level window, never shown, so that a close request from outside
// (taskkill without /f) and the end-of-session messages reach it.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "core/shell/resident.h"
#include "win32/clipboard.h"
#include "win32/codec.h"
#include "win32/editor_window.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/input.h"
#include "win32/one_shot_timers.h"
#include "win32/serial.h"
#include "win32/tray.h"
#include "win32/window.h"

namespace vantrel::win32 {

class MainWindow final : public Window,
                         public shell::ShellPlatform,
                         public device::Timers<shell::ShellTimer>,
                         public device::Timers<device::LinkTimer> {
 public:
  static constexpr const wchar_t* kClassName = L"VantrelMainWindow";
  static constexpr const wchar_t* kTitle = L"Vantrel";

  explicit MainWindow(HINSTANCE instance);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the hidden window and everything it owns; false when the window
  // cannot be created.
  bool Create();
  // The window's load event: start-up.
  void Start();
  // A window came to the front (the system's foreground event).
  void ForegroundChanged(HWND window);
  // For the crash handlers, from any thread: every key and button playback pressed
  // and has not released is let go of.
  void ReleaseEverythingDown() noexcept { input_.ReleaseEverythingDown(); }

  // shell::ShellPlatform
  bool AnotherInstanceRunning() override;
  void ShowSecondInstanceMessage() override;
  std::u16string CurrentDirectory() override;
  std::vector<std::u16string> ListLayouts(std::u16string_view dir) override;
  std::u16string ForegroundTitle() override;
  void PumpMessagesOnce() override;
  void ShowTray(shell::TrayIcon icon, std::u16string_view tip) override;
  void RemoveTray() override;
  void Balloon(std::u16string_view title, std::u16string_view text) override;
  void ShowError(std::u16string_view text) override;
  void KeepNoticeForNextStart(std::u16string_view text) override;
  std::u16string TakeNoticeFromLastRun() override;
  void SetCurrentLayoutCaption(std::u16string_view caption) override;
  void SetRecentCaptions(const std::array<std::u16string, 5>& captions) override;
  void OpenHelp() override;
  void RunEditor(const editor::EditorSession& session) override;
  void RunRulesDialog(shell::RulesEditor& rules) override;
  void Quit() override;

  // The shell's and the device link's timers: one-shot; the window kills a timer as
  // it fires.
  void Arm(shell::ShellTimer id, int milliseconds) override;
  void Disarm(shell::ShellTimer id) override;
  void Arm(device::LinkTimer id, int milliseconds) override;
  void Disarm(device::LinkTimer id) override;

 private:
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void BuildMenu();
  void ShowMenu();
  void NoteForeground(HWND window);
  void GiveForegroundBack();
  // Tells the shell that this window of the user's is in front, for the layout rules.
  void TellUserWindow(HWND window);
  void Command(UINT id);
  void SetItemCaption(HMENU menu, UINT id, std::u16string_view caption);
  void ArmSlot(std::size_t slot, int milliseconds);
  void DisarmSlot(std::size_t slot);
  void TimerFired(UINT_PTR id);
  // The name of the single-instance mutex that is this user's alone; empty when the
  // user cannot be told.
  static std::wstring InstanceNameOfThisUser();
  // A running copy's main window (class and title) exists or appears within 3 s.
  bool RunningCopyShowsUp();

  struct MenuDestroyer {
    void operator()(HMENU m) const { DestroyMenu(m); }
  };

  HINSTANCE instance_;
  UINT taskbar_created_ = 0;
  UniqueHandle mutex_;      // "Test Mutex", kept for the life of the process
  UniqueHandle own_mutex_;  // this user's own instance name, likewise
  std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer> menu_;  // the tray's pop-up menu
  HMENU files_menu_ = nullptr;  // "ファイル", owned by menu_
  bool menu_open_ = false;
  // The last window in front that is the user's (one the task switcher lists) and not
  // this program's: the window the FK keys are for, given the foreground back when
  // ours let go of it.
  HWND user_window_ = nullptr;
  HWND previous_user_window_ = nullptr;  // the one before it
  HWND tray_host_ = nullptr;             // the window the icon was last clicked in
  HWINEVENTHOOK foreground_hook_ = nullptr;
  HWND identified_window_ = nullptr;  // the last window told, its process and program
  DWORD identified_process_ = 0;
  std::u16string identified_program_;

  // The shell's timers first, then the link's.
  static constexpr std::size_t kShellTimers =
      static_cast<std::size_t>(shell::ShellTimer::kReconnect) + 1;
  static constexpr std::size_t kLinkTimers = device::kLinkTimerCount;
  OneShotTimers<kShellTimers + kLinkTimers> timers_;

  std::unique_ptr<Tray> tray_;
  std::unique_ptr<SerialPort> serial_;
  SerialPort editor_serial_;               // the editor's own port: no receive handler
  EditorWindow* editor_window_ = nullptr;  // while the editor is open
  bool rules_open_ = false;                // while the rules dialog is open
  SendInputSink input_;
  ForegroundIntegrity foreground_;
  AsyncMouseButtons mouse_;
  Win32Clipboard clipboard_;
  Win32Files files_;
  Cp932Codec codec_;
  std::unique_ptr<shell::Resident> resident_;
};

}  // namespace vantrel::win32
