// The resident program's main window logic: start-up, the device port and its
// hand-over, the tray icon and pop-up menu commands, and shut-down. The Win32
// main window forwards its events here and implements ShellPlatform.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/files.h"
#include "core/data/rules.h"
#include "core/data/settings.h"
#include "core/data/table.h"
#include "core/data/text.h"
#include "core/device/link.h"
#include "core/device/platform.h"
#include "core/editor/session.h"
#include "core/shell/layout_rules.h"
#include "core/shell/port_keeper.h"

namespace vantrel::shell {

enum class TrayIcon { kIdle, kActive };  // a white panel: no layout; a green one: a layout loaded

inline constexpr std::u16string_view kTipStartup = u"Quillbox";
inline constexpr std::u16string_view kTipChanged = u"アイコン変更";
inline constexpr std::u16string_view kSecondInstanceText = u"Vantrel が既に起動しています";
inline constexpr std::u16string_view kProgramName = u"Vantrel";

// The hand-over check runs once a second while the hand-over is on.
inline constexpr int kHandOverInterval = 1000;

// The shell's timers: the hand-over check, and the retry of a port that is missing
// or was lost.
enum class ShellTimer { kHandOver, kReconnect };

// Everything the shell asks of the operating system beyond the device.
class ShellPlatform {
 public:
  virtual ~ShellPlatform() = default;
  // Single instance: true when another copy already holds the named mutex
  // "Test Mutex"; otherwise creates it and keeps it for the life of the process.
  virtual bool AnotherInstanceRunning() = 0;
  virtual void ShowSecondInstanceMessage() = 0;   // OK only, no icon, caption "Vantrel"
  virtual std::u16string CurrentDirectory() = 0;  // without the trailing "\"
  // "*.fkl" in dir (ends with "\"): ordinary files in file-system order, names only.
  virtual std::vector<std::u16string> ListLayouts(std::u16string_view dir) = 0;
  // Title of the window in front, "" when there is none.
  virtual std::u16string ForegroundTitle() = 0;
  // Lets queued window messages run once (the hand-over tick does this).
  virtual void PumpMessagesOnce() = 0;
  // Shows the icon with its tip, or changes the one shown; shows it again after the
  // taskbar was re-created.
  virtual void ShowTray(TrayIcon icon, std::u16string_view tip) = 0;
  virtual void RemoveTray() = 0;
  // A notification balloon from the tray icon; never blocks.
  virtual void Balloon(std::u16string_view title, std::u16string_view text) = 0;
  // A blocking message box for a failure the user must know about.
  virtual void ShowError(std::u16string_view text) = 0;
  // A notice for the next start, when no window may be shown now (the session is
  // ending); the next start takes it (once) and shows it.
  virtual void KeepNoticeForNextStart(std::u16string_view text) = 0;
  virtual std::u16string TakeNoticeFromLastRun() = 0;
  // The menu's first entry (the current layout) and its five recent ones.
  virtual void SetCurrentLayoutCaption(std::u16string_view caption) = 0;
  virtual void SetRecentCaptions(const std::array<std::u16string, 5>& captions) = 0;
  virtual void OpenHelp() = 0;  // "Vantrel.chm"
  // Shows the editor modally; returns when it closes.
  virtual void RunEditor(const editor::EditorSession& session) = 0;
  // Shows the rules dialog modally on the rules given; returns when it closes.
  virtual void RunRulesDialog(RulesEditor& rules) = 0;
  // Ends the process's message loop (after shut-down has run).
  virtual void Quit() = 0;
};

// The caption of a recent-layout entry: the file name up to its first ".".
std::u16string RecentCaption(std::u16string_view file_name);
// True when the title begins with one of the CAD program's window-title prefixes.
bool IsHandOverTitle(std::u16string_view title);
// The tray callback: which mouse message over the icon opens the pop-up menu.
bool TrayMessageOpensMenu(std::uint32_t mouse_message);

std::u16string SettingsNotSavedText(std::u16string_view path);
std::u16string SettingsUnreadableText(std::u16string_view path);
std::u16string LayoutUnreadableText(std::u16string_view path);
inline constexpr std::u16string_view kFloodingText =
    u"FK キーボードのポートから、手では押せない速さでデータが届いています。キーの再生を"
    u"止めています。ポートにつながっている機器と COM ポートの設定を確認してください。";
inline constexpr std::u16string_view kTextNotPastedText =
    u"クリップボードを他のプログラムが使用中のため、テキストを貼り付けませんでした。";
std::u16string RulesDamagedText(std::u16string_view path, std::size_t lines);
std::u16string RulesUnreadableText(std::u16string_view path);
std::u16string RulesNotSavedText(std::u16string_view path);
std::u16string RuleMadeText(const LayoutRule& rule);
// The tip while a rule's layout is in force: the layout, and the rule that chose it.
std::u16string RuleTip(const LayoutRule& rule);
inline constexpr std::u16string_view kNoLayoutForRuleText =
    u"レイアウトが読み込まれていないため、ルールを作れません。先に「ファイル」から"
    u"レイアウトを選んでください。";
inline constexpr std::u16string_view kNoWindowForRuleText =
    u"ルールを作るウィンドウがありません。使いたいプログラムを前面にしてから選んでください。";
inline constexpr std::u16string_view kRuleNotStorableText =
    u"このウィンドウのプログラム名かレイアウトのパスに、ルールファイルに書けない文字が"
    u"あるため、ルールを作れません。";
// The balloon when the window in front did not take the input, naming the window.
std::u16string InputRefusedText(std::u16string_view title, device::InputNotices::Refusal why);

// The ports the shell drives: the device port it plays through, and the editor's
// own, which it only hands to the editor.
struct ShellPorts {
  device::DevicePort& device;
  device::DevicePort& editor;
};

class Resident final : private device::LinkEvents {
 public:
  Resident(ShellPlatform& platform, ShellPorts ports, device::InputSink& input,
           device::MouseButtons& mouse, device::Clipboard& clipboard,
           device::ForegroundCheck& foreground, device::Timers<ShellTimer>& timers,
           device::Timers<device::LinkTimer>& link_timers, const FileSystem& files,
           const TextCodec& codec);
  Resident(const Resident&) = delete;
  Resident& operator=(const Resident&) = delete;
  ~Resident() override = default;

  // The main window was created: every start-up step, or the second-instance path.
  void Start();
  // The main window is asked to close, for whatever reason. Runs once; a second
  // instance ends without touching anything.
  void Shutdown();
  // The session ends: shut-down, with nothing shown that would hold up the sign-out.
  void EndSession();

  // Events of the device port: the result of an opening, data waiting, and the port
  // gone from under us.
  void OnPortOpened(bool ok);
  void OnBytesReceived();
  void OnPortLost();
  // A one-shot timer of the shell's, or of its device link's, expired.
  void OnTimer(ShellTimer id);
  void OnTimer(device::LinkTimer id);

  // Pop-up menu commands.
  void ChooseRecent(int entry);  // 1 to 5, the newest first
  void OpenEditor();
  void Help();
  void Exit();
  // The shell's notification area was rebuilt (Explorer restarted): add the icon again.
  void TrayRecreated();
  // The pop-up menu opened or closed: FK keys must not play into it.
  void MenuOpen(bool open);

  // The program in front took the text a text step put on the clipboard.
  void OnPasteTaken();
  // Another window came to the front.
  void ForegroundChanged();
  // The window in front is one of the user's work (not ours, not the taskbar, not a
  // menu): the rules choose the layout for it. Told after ForegroundChanged().
  void UserWindowInFront(const WindowIdentity& window);
  // The "ファイル" submenu's rule commands: the layout in force for the user's last
  // window in front, and the rules dialog.
  void UseLayoutForWindow();
  void EditRules();

  Settings& settings() { return settings_; }
  AssignmentTable& table() { return table_; }
  device::DeviceLink& link() { return link_; }
  const std::u16string& WorkingFolder() const { return working_folder_; }
  PortState Port() const { return keeper_.State(); }

 private:
  void TakeWorkingFolder();
  // Empties the table and the status label; no layout is loaded then.
  void ClearLayout();
  // Reads the layout file and, when it could be read, clears the table and loads it.
  ReadStatus LoadLayout(std::u16string_view path);
  void ModelDetected(std::u16string_view model) override;
  void InputRefused(const device::ForegroundWindow& window,
                    device::InputNotices::Refusal why) override;
  void TextNotPasted() override;
  void DeviceFlooding() override;
  // Reopens the port with the line settings of a model that detection has just named.
  void ReopenForDetectedModel();
  void BuildRecent();
  void ShowTray(TrayIcon icon, std::u16string_view tip);
  void HandOverTick();
  void ResumeHandOver();
  // Reads the rules file when it has changed since it was last read or written (at
  // start-up always; when it was held, also with `retry_held`); what is wrong with it
  // is told once, into `notices` when given.
  void ReadRules(std::vector<std::u16string>* notices, bool retry_held = false);
  // Writes the rules and makes them the ones in force; false (and told) when the
  // file cannot be written.
  bool SaveRules(const RulesFile& rules);
  // The first rule matching the user's last window chooses the layout; none brings
  // back the user's own.
  void ApplyRules();
  void SwitchTo(const LayoutRule& rule);
  void BackToUsersLayout();

  ShellPlatform& platform_;
  device::DevicePort& port_;
  device::DevicePort& editor_port_;
  device::Timers<ShellTimer>& timers_;
  device::Timers<device::LinkTimer>& link_timers_;
  const FileSystem& files_;
  const TextCodec& codec_;

  Settings settings_;
  AssignmentTable table_;
  device::DeviceLink link_;
  PortKeeper keeper_;

  std::u16string working_folder_;
  // Where the settings were read at start-up and are written at shut-down, wherever
  // the working folder has moved since.
  std::u16string settings_path_;
  // The settings file exists but could not be read: it is never written over.
  bool keep_settings_file_ = false;
  bool ending_session_ = false;
  bool layout_loaded_ = false;
  editor::CaptureState capture_state_;
  bool already_running_ = false;
  std::array<std::u16string, 5> recent_;    // the files listed, with their folder
  std::array<std::u16string, 5> captions_;  // as the menu shows them
  TrayIcon tray_icon_ = TrayIcon::kIdle;
  std::u16string tray_tip_;
  bool tray_shown_ = false;

  bool started_ = false;
  bool shut_down_ = false;
  bool editor_open_ = false;
  bool in_tick_ = false;
  // Detection named the model: the port may want its line settings.
  bool model_detected_ = false;

  // Layout rules. While a rule's layout is in force, the table the user chose (with
  // whatever the editor changed and did not save) waits in in_force_.
  RulesFile rules_;
  std::u16string rules_path_;
  bool keep_rules_file_ = false;  // it exists but could not be read: never written
  std::optional<std::uint64_t> rules_stamp_;  // of the file as last read or written
  std::u16string told_rules_;                 // the last notice about the file
  bool rules_open_ = false;       // the rules dialog is up
  bool menu_open_ = false;
  LayoutCache layouts_;
  struct RuleInForce {
    LayoutRule rule;
    std::unique_ptr<AssignmentTable> users_table;
    bool users_layout_loaded = false;
  };
  std::optional<RuleInForce> in_force_;
  std::optional<WindowIdentity> last_window_;
  // A layout chosen from the menu holds for the window it was chosen in, over its rule.
  bool users_choice_ = false;
  std::vector<std::u16string> told_unreadable_;  // rule layouts told once each
};

}  // namespace vantrel::shell
