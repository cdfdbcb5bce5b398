// The resident program's main window logic: start-up, the device port and its
// hand-over, the tray icon and pop-up menu commands, and shut-down. The Win32
// main window forwards its events here and implements ShellPlatform.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/data/files.h"
#include "core/data/settings.h"
#include "core/data/table.h"
#include "core/data/text.h"
#include "core/device/link.h"
#include "core/device/platform.h"

namespace vantrel::shell {

enum class TrayIcon { kIdle, kActive };            // PIC: white panel, PIC1: green panel
enum class TrayMode { kAdd = 0, kModify = 1, kDelete = 2 };

inline constexpr std::u16string_view kTipStartup = u"Quillbox";
inline constexpr std::u16string_view kTipChanged = u"アイコン変更";
inline constexpr std::u16string_view kSecondInstanceText = u"Vantrel が既に起動しています";
inline constexpr std::u16string_view kProgramName = u"Vantrel";

// Everything the shell asks of the operating system beyond the device.
class ShellPlatform {
 public:
  virtual ~ShellPlatform() = default;
  // Single instance: true when another copy already holds the named mutex
  // "Test Mutex"; otherwise creates it and keeps it for the life of the process.
  virtual bool AnotherInstanceRunning() = 0;
  virtual void ShowSecondInstanceMessage() = 0;  // OK only, no icon, caption "Vantrel"
  virtual std::u16string CurrentDirectory() = 0;  // without the trailing "\"
  // "*.fkl" in dir (ends with "\"): ordinary files in file-system order, names only.
  virtual std::vector<std::u16string> ListLayouts(std::u16string_view dir) = 0;
  // Title of the window in front, "" when there is none.
  virtual std::u16string ForegroundTitle() = 0;
  // Lets queued window messages run once (the hand-over tick does this).
  virtual void PumpMessagesOnce() = 0;
  virtual void SetTray(TrayIcon icon, std::u16string_view tip, TrayMode mode) = 0;
  // A notification balloon from the tray icon; never blocks.
  virtual void Balloon(std::u16string_view title, std::u16string_view text) = 0;
  // A blocking message box for a failure the user must know about.
  virtual void ShowError(std::u16string_view text) = 0;
  virtual void SetCurrentLayoutCaption(std::u16string_view caption) = 0;  // File0
  virtual void SetRecentCaptions(const std::array<std::u16string, 5>& captions) = 0;  // File1..5
  virtual void OpenHelp() = 0;  // "Vantrel.chm"
  // Shows the editor modally; returns when it closes.
  virtual void RunEditor() = 0;
  // Ends the process's message loop (after shut-down has run).
  virtual void Quit() = 0;
};

}  // namespace vantrel::shell
