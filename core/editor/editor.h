// The layout editor window's logic: the key grid that lights a key's lamp and
// opens the key-assignment dialog, the mouse-state page, the device settings, the
// file commands, the lamp test and the print-out. The Win32 editor window
// forwards its events here and implements EditorPlatform; it is shown modally by
// the shell's RunEditor, and everything runs on the window's thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/files.h"
#include "core/data/layout.h"
#include "core/data/text.h"
#include "core/device/frames.h"
#include "core/device/platform.h"
#include "core/editor/form_places.h"
#include "core/editor/printout.h"
#include "core/editor/session.h"

namespace vantrel::editor {

// The editor's timers: the device wake-up after loading, and the lamp test.
enum class EditorTimer { kWakeUp, kLampTest };

inline constexpr int kWakeUpDelay = 50;  // after loading, and between the 6094's bytes
inline constexpr int kLampTestInterval = 500;
inline constexpr int kLampTestStart = 32;  // the first tick writes 33
inline constexpr int kEditorInBufferSize = 1024;

// The model options in the selector's order (their indices).
enum class ModelOption { kX8000 = 0, k48G9995 = 1, k6094 = 2 };
// The mouse-state options are indices 0 to 3: "無", "左", "中央", "右", for
// mouse states 1 to 4; this one means none is selected.
inline constexpr int kNoMouseOption = -1;

inline constexpr std::u16string_view kClearTitle = u"消去確認";
std::u16string ClearQuestionText();
inline constexpr std::u16string_view kOpenTitle = u"開く";
inline constexpr std::u16string_view kSaveTitle = u"保存";
// Why a layout could not be opened: which file, which line, what was wrong.
std::u16string OpenFailedText(std::u16string_view path, const LayoutReadResult& result);
std::u16string SaveFailedText(std::u16string_view path);
std::u16string OverwriteQuestionText(std::u16string_view path);
// The status line while lamp frames cannot reach the device.
std::u16string PortUnavailableStatus(int com_port);
std::u16string PortLostStatus(int com_port);

// The key-assignment dialog's caption: "Button 9 (マウスのクリック無)" and so on by
// mouse state 1 to 4.
std::u16string AssignKeyCaption(int key, int mouse_state);

// The port list: "COM1" to "COM9", then every higher port present (and the
// configured one, present or not), in ascending order.
std::vector<std::u16string> PortListEntries(const std::vector<int>& present, int com_port);
// The port number an entry of the list stands for; 1 for anything but "COMn".
int PortNumberOf(std::u16string_view entry);
// The path with ".fkl" added when its file name has no extension.
std::u16string WithLayoutExtension(std::u16string_view path);

// Where a window of `size` goes when its stored place lies off every monitor: into
// `area` (the nearest monitor's work area), as near to `where` as it fits, its
// top-left corner in view when it is the larger. Any one unit for all three.
WindowPosition MoveInto(WindowPosition where, Twips size, Twips area);

// Everything the editor window does on screen or asks of the user.
class EditorPlatform {
 public:
  virtual ~EditorPlatform() = default;

  // What the window shows.
  virtual void PlaceWindow(WindowPosition where) = 0;
  virtual void SetLayoutName(std::u16string_view name) = 0;
  // Fills the port list and selects entry `selected` (-1: none) without raising a
  // selection event: only the user's own choices come back, as ChoosePort.
  virtual void SetPortList(const std::vector<std::u16string>& entries, int selected) = 0;
  // Selections made here raise no click event either.
  virtual void SelectModel(ModelOption option) = 0;
  virtual void SelectMouseState(int option) = 0;  // 0..3, or kNoMouseOption
  virtual void SetChecks(bool open_at_startup, bool auto_hand_over) = 0;
  // Key button's background: kKeyHighlight while on, the button face otherwise.
  virtual void HighlightKey(int key, bool on) = 0;
  virtual void ShowLampTestCode(int code) = 0;  // in decimal
  // One line in the window saying why the lamps do not follow (not a message box).
  virtual void ShowPortStatus(std::u16string_view text) = 0;

  // The COM port numbers present on the machine, in any order.
  virtual std::vector<int> PresentComPorts() = 0;
  // Message boxes: OK only, no icon; OK and Cancel, true for OK.
  virtual void ShowMessage(std::u16string_view title, std::u16string_view text) = 0;
  virtual bool Confirm(std::u16string_view title, std::u16string_view text) = 0;
  // The file dialogs with the layout filter, opening in `folder`; nothing when
  // cancelled. Open accepts only existing files in existing folders. Save accepts
  // only existing folders, adds kLayoutExtension to a name typed without one and
  // asks before overwriting an existing file. Neither keeps the process's working
  // directory: the folder of a chosen file becomes it.
  virtual std::optional<std::u16string> ChooseLayoutToOpen(std::u16string_view folder) = 0;
  virtual std::optional<std::u16string> ChooseLayoutToSave(std::u16string_view folder) = 0;
  // The print dialog (no printing to a file, no selection); nothing when cancelled.
  virtual std::unique_ptr<Printer> ChoosePrinter() = 0;
  // The key-assignment dialog, shown modally; returns when it closes, however it
  // was closed. The editor's timers keep running meanwhile.
  virtual void AssignKey(const AssignKeyRequest& request) = 0;
  virtual void OpenHelp() = 0;  // kHelpFile, owned by the editor window
};

class LayoutEditor {
 public:
  LayoutEditor(const EditorSession& session, EditorPlatform& platform,
               device::Timers<EditorTimer>& timers, const FileSystem& files,
               const TextCodec& codec);
  LayoutEditor(const LayoutEditor&) = delete;
  LayoutEditor& operator=(const LayoutEditor&) = delete;
  ~LayoutEditor() = default;

  // The window was created: fills its controls and opens the editor's port; the
  // device wake-up follows once it is open.
  void Load();
  // The result of the port's opening.
  void OnPortOpened(bool ok);
  void OnTimer(EditorTimer id);
  // The port went away (a write or a reopening failed, the device was pulled).
  void OnPortLost();

  // Key button 1..32: lights its lamp, opens the key-assignment dialog for the
  // current page and darkens the lamps when the dialog closes.
  void PressKey(int key);
  void ChooseMouseState(int option);  // 0..3
  void ChooseModel(ModelOption option);
  // The user chose an entry of the port list (never a selection made by Load).
  void ChoosePort(std::u16string_view entry);
  void SetOpenAtStartup(bool ticked);
  void SetAutoHandOver(bool ticked);

  // The menu.
  void NewLayout();
  void OpenLayout();
  void SaveLayout();
  void SaveLayoutAs();
  void Print();
  void Help();

  void StartLampTest();
  void StopLampTest();
  void TestLampsOff();  // every lamp dark
  void TestAllLamps();  // every lamp lit

  // The window is closing, however: closes the port and stores the window's
  // top-left corner (clamped to what the settings can hold), which it returns.
  // Never refused; every later event is ignored.
  WindowPosition Close(WindowPosition where);

  int MouseState() const { return mouse_state_; }
  int LampTestCode() const { return lamp_test_code_; }
  bool Closed() const { return closed_; }

 private:
  device::Model Model() const { return device::ModelOf(session_.settings.fk_model); }
  void SelectModel(ModelOption option);
  void OpenPort();
  void WakeUpTick();
  void LampTestTick();
  // Writes a frame while the port is open; frames are skipped once it is not.
  void Send(const device::Frame& frame);
  void PortTrouble(std::u16string_view status);
  bool WriteLayoutTo(std::u16string_view path);

  EditorSession session_;
  EditorPlatform& platform_;
  device::Timers<EditorTimer>& timers_;
  const FileSystem& files_;
  const TextCodec& codec_;

  int mouse_state_ = 0;
  int lamp_test_code_ = 0;
  int wake_up_phase_ = 0;  // the 6094 takes its wake-up in three ticks
  // Save writes layout_path without a dialog only while the table is the layout the
  // window has shown under that name (or was emptied by New after it); after a
  // failed Open it holds something else, and Save asks where to write.
  bool save_in_place_ = false;
  bool port_trouble_shown_ = false;
  bool window_loaded_ = false;
  bool closed_ = false;
};

}  // namespace vantrel::editor
