#include "core/shell/resident.h"

#include <algorithm>
#include <utility>

#include "core/data/layout.h"
#include "core/editor/editor.h"

namespace vantrel::shell {

namespace {

using device::LinkTimer;

constexpr std::u16string_view kHandOverPrefixes[] = {u"Helix Drafting", u"MC/W", u"MICRO CADAM/W"};
constexpr std::uint32_t kRightButtonDown = 0x204;  // WM_RBUTTONDOWN

std::u16string Decimal(int n) {
  std::u16string out;
  for (char c : std::to_string(n)) out.push_back(static_cast<char16_t>(c));
  return out;
}

std::u16string PortName(int com_port) {
  return u"COM" + Decimal(com_port);
}

constexpr std::size_t kRefusedTitleMax = 80;

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

std::u16string RecentCaption(std::u16string_view file_name) {
  return std::u16string(file_name.substr(0, file_name.find(u'.')));
}

bool IsHandOverTitle(std::u16string_view title) {
  return std::any_of(std::begin(kHandOverPrefixes), std::end(kHandOverPrefixes),
                     [&](std::u16string_view prefix) { return title.starts_with(prefix); });
}

bool TrayMessageOpensMenu(std::uint32_t mouse_message) {
  return mouse_message == kRightButtonDown;
}

std::u16string PortUnavailableText(int com_port) {
  return PortName(com_port) + u" を開けません。FK キーボードの接続を待っています。";
}

std::u16string PortLostText(int com_port) {
  return PortName(com_port) + u" との接続が切れました。FK キーボードの接続を待っています。";
}

std::u16string SettingsNotSavedText(std::u16string_view path) {
  return u"設定ファイル " + std::u16string(path) + u" を保存できませんでした。";
}

std::u16string SettingsUnreadableText(std::u16string_view path) {
  return u"設定ファイル " + std::u16string(path) +
         u" を読み込めませんでした。既定の設定で動作し、終了時もこのファイルは書き換えません。";
}

std::u16string LayoutUnreadableText(std::u16string_view path) {
  return u"レイアウトファイル " + std::u16string(path) + u" を読み込めませんでした。";
}

std::u16string InputRefusedText(std::u16string_view title, device::InputNotices::Refusal why) {
  // The instruction at the end must survive the balloon's 255 characters.
  std::u16string window = u"前面のウィンドウ";
  if (!title.empty()) {
    std::size_t n = std::min(title.size(), kRefusedTitleMax);
    if (n < title.size() && IsHighSurrogate(title[n - 1])) --n;
    window = u"「" + std::u16string(title.substr(0, n)) + (n < title.size() ? u"…」" : u"」");
  }
  if (why == device::InputNotices::Refusal::kBlocked) {
    return window +
           u"は管理者として実行されているため、キー入力を送れません。マクロは再生していません。"
           u"Vantrel も管理者として実行してください。";
  }
  return window +
         u"がキー入力を受け付けなかったため、マクロを途中で止めました。管理者として実行されている"
         u"ウィンドウなら、Vantrel も管理者として実行してください。";
}

Resident::Resident(ShellPlatform& platform, ShellPorts ports, device::InputSink& input,
                   device::MouseButtons& mouse, device::Clipboard& clipboard,
                   device::ForegroundCheck& foreground, device::Timers<ShellTimer>& timers,
                   device::Timers<device::LinkTimer>& link_timers, const FileSystem& files,
                   const TextCodec& codec)
    : platform_(platform),
      port_(ports.device),
      editor_port_(ports.editor),
      timers_(timers),
      link_timers_(link_timers),
      files_(files),
      codec_(codec),
      link_(table_, settings_.FkModel, ports.device, input, mouse, clipboard, foreground,
            link_timers, *this) {}

void Resident::Start() {
  if (started_) return;
  started_ = true;
  settings_.ComS = 1;
  timers_.Disarm(ShellTimer::kHandOver);
  if (platform_.AnotherInstanceRunning()) {
    already_running_ = true;
    platform_.ShowSecondInstanceMessage();
    Shutdown();
    return;
  }
  TakeWorkingFolder();
  // Told once the tray icon is there to tell them.
  std::vector<std::u16string> notices;
  if (std::u16string last = platform_.TakeNoticeFromLastRun(); !last.empty()) {
    notices.push_back(std::move(last));
  }
  settings_path_ = working_folder_ + std::u16string(kSettingsFileName);
  const FileRead settings = files_.Read(settings_path_);
  if (settings.ok()) {
    ReadSettings(settings.bytes, codec_, settings_);
  } else if (settings.status == ReadStatus::kUnreadable) {
    // Held by another program, not yet downloaded, denied: running on the defaults is
    // better than not running, but writing them over the user's file is not.
    keep_settings_file_ = true;
    notices.push_back(SettingsUnreadableText(settings_path_));
  }
  if (settings_.Timer1On == 1) timers_.Arm(ShellTimer::kHandOver, kHandOverInterval);
  if (settings_.FileOn != 0 && LoadLayout(settings_.FkNameT) == ReadStatus::kUnreadable) {
    notices.push_back(LayoutUnreadableText(settings_.FkNameT));
  }
  platform_.SetCurrentLayoutCaption(u"");
  Tray(layout_loaded_ ? TrayIcon::kActive : TrayIcon::kIdle, kTipStartup, TrayMode::kAdd);
  if (layout_loaded_)
    platform_.SetCurrentLayoutCaption(editor::LayoutDisplayName(settings_.FkNameT));
  for (const std::u16string& notice : notices) platform_.Balloon(kProgramName, notice);
  port_wanted_ = true;
  const bool open = TakePort(kStartupBufferSize);
  BuildRecent();
  // A port that is missing now gets the sequence when it appears (Reconnect).
  if (open) {
    link_.SendStartupSequence();
    link_.ArmRefresh();
  }
}

void Resident::Shutdown() {
  if (shut_down_) return;
  shut_down_ = true;
  if (!started_ || already_running_) {
    platform_.Quit();
    return;
  }
  // Nothing may fire while an error box below runs its own message loop.
  for (ShellTimer id : {ShellTimer::kHandOver, ShellTimer::kReconnect}) timers_.Disarm(id);
  for (LinkTimer id : {LinkTimer::kRefresh, LinkTimer::kGather, LinkTimer::kText}) {
    link_timers_.Disarm(id);
  }
  // Whatever way the program ends and whatever window is in front, no key stays down.
  link_.CancelMacro();
  link_.ReleaseHeldKeys(true);
  const bool saved = keep_settings_file_ ||
                     files_.ReplaceAtomically(settings_path_, WriteSettings(settings_, codec_));
  if (port_wanted_) ReleasePort();
  if (tray_added_) Tray(tray_icon_, tray_tip_, TrayMode::kDelete);
  if (!saved) {
    const std::u16string text = SettingsNotSavedText(settings_path_);
    // A message box would hold up the sign-out: the next start tells it instead.
    if (ending_session_) {
      platform_.KeepNoticeForNextStart(u"前回の終了時、" + text);
    } else {
      // Told last, so the device and the tray are free while the box waits.
      platform_.ShowError(text);
    }
  }
  platform_.Quit();
}

void Resident::EndSession() {
  ending_session_ = true;
  Shutdown();
}

void Resident::OnComm() {
  if (shut_down_ || !started_ || !port_.PortOpen()) return;
  timers_.Disarm(ShellTimer::kHandOver);
  const std::vector<std::uint8_t> bytes = port_.Input();
  link_.OnReceive(bytes);
  CheckPortStillOpen(true);
  ReopenForDetectedModel();
  ResumeHandOver();
}

void Resident::OnPortLost() {
  if (shut_down_ || !started_ || editor_open_ || !port_wanted_ || outage_) return;
  device::ClosePort(port_);
  link_.ResetReceive();
  // The device that would release the held keys with its next press is gone.
  link_.ReleaseHeldKeys();
  StartOutage(true);
  // The port may have gone while a key was arriving, when the ticks were paused.
  ResumeHandOver();
}

void Resident::OnTimer(ShellTimer id) {
  if (shut_down_ || !started_) return;
  if (id == ShellTimer::kHandOver) {
    HandOverTick();
  } else {
    Reconnect();
  }
}

void Resident::OnTimer(LinkTimer id) {
  if (shut_down_ || !started_) return;
  if (id == LinkTimer::kRefresh) {
    // A refresh armed before the port was handed over or lost must not reopen it.
    if (!port_.PortOpen()) return;
    link_.OnTimer(id);
    CheckPortStillOpen(true);
  } else if (id == LinkTimer::kText) {
    link_.OnTimer(id);
  } else {
    const bool was_open = port_.PortOpen();
    link_.OnTimer(id);
    CheckPortStillOpen(was_open);
    ReopenForDetectedModel();
    ResumeHandOver();
  }
}

void Resident::ChooseRecent(int entry) {
  if (shut_down_ || !started_ || entry < 1 || entry > static_cast<int>(recent_.size())) return;
  // An empty entry names no file: choosing it must not replace the start-up layout.
  const std::u16string path = recent_[entry - 1];
  if (path.empty()) return;
  link_.CancelMacro();
  link_.ReleaseHeldKeys();
  link_.ArmRefresh();
  TakeWorkingFolder();
  // The file that was listed, even when its name has more than one "." or the
  // working folder has moved since.
  settings_.FkNameT = path;
  // A file that cannot be read leaves the table, the caption and the icon as a
  // missing one does: they must not claim a layout that is not there.
  const ReadStatus read = LoadLayout(path);
  if (read == ReadStatus::kUnreadable) platform_.Balloon(kProgramName, LayoutUnreadableText(path));
  if (read != ReadStatus::kOk) return;
  platform_.SetCurrentLayoutCaption(captions_[entry - 1]);
  Tray(TrayIcon::kActive, kTipChanged, TrayMode::kModify);
}

void Resident::Editor() {
  if (shut_down_ || !started_ || editor_open_) return;
  link_.CancelMacro();
  link_.ReleaseHeldKeys();
  timers_.Disarm(ShellTimer::kHandOver);
  timers_.Disarm(ShellTimer::kReconnect);
  editor_open_ = true;
  ReleasePort();
  platform_.RunEditor(
      {table_, settings_, layout_loaded_, working_folder_, editor_port_, capture_state_,
       link_.MouseState()});
  editor_open_ = false;
  if (shut_down_) return;
  if (layout_loaded_)
    platform_.SetCurrentLayoutCaption(editor::LayoutDisplayName(settings_.FkNameT));
  port_wanted_ = true;
  const bool open = TakePort(kReopenBufferSize);
  if (layout_loaded_) {
    Tray(TrayIcon::kActive, kTipChanged, TrayMode::kModify);
    if (open) link_.ArmRefresh();
  } else {
    Tray(TrayIcon::kIdle, kTipChanged, TrayMode::kModify);
  }
  ResumeHandOver();
}

void Resident::Help() {
  if (!shut_down_) platform_.OpenHelp();
}

void Resident::Exit() {
  // Shut-down lets go of every held key first.
  Shutdown();
}

void Resident::TrayRecreated() {
  if (tray_added_ && !shut_down_) platform_.SetTray(tray_icon_, tray_tip_, TrayMode::kAdd);
}

void Resident::MenuOpen(bool open) {
  link_.SetMenuOpen(open);
}

void Resident::OnPasteTaken() {
  if (started_ && !shut_down_) link_.PasteTaken();
}

void Resident::ForegroundChanged() {
  if (!started_ || shut_down_) return;
  // Keys kept down behind a window that dropped their release are let go of now.
  if (link_.ForegroundChanged() && port_.PortOpen()) link_.ArmRefresh();
}

bool Resident::OpenDevicePort(int in_buffer_size) {
  const bool is_6094 = settings_.FkModel == u"6094";
  opened_as_6094_ = is_6094;
  in_buffer_size_ = in_buffer_size;
  reopen_for_model_ = false;
  // The line settings only take effect at an opening.
  device::ClosePort(port_);
  port_.SetCommPort(settings_.ComS);
  port_.SetSettings(is_6094 ? "9600,o,8,1" : "9600,n,8,1");
  port_.SetInBufferSize(in_buffer_size);
  port_.SetRThreshold(1);
  port_.SetInputLen(0);
  port_.SetNullDiscard(!is_6094);
  return port_.SetPortOpen(true);
}

void Resident::TakeWorkingFolder() {
  working_folder_ = platform_.CurrentDirectory();
  // A drive's root already ends with its separator.
  if (working_folder_.empty() || working_folder_.back() != u'\\') working_folder_.push_back(u'\\');
}

void Resident::ClearLayout() {
  table_.Clear();
  layout_loaded_ = false;
  link_.ClearStatusLabel();
}

ReadStatus Resident::LoadLayout(std::u16string_view path) {
  const FileRead file = files_.Read(path);
  if (!file.ok()) return file.status;
  ClearLayout();
  // A load abandoned part-way keeps what was read, and counts as loaded, as a
  // complete load would: the user sees the keys that did load.
  static_cast<void>(ReadLayoutRecords(file.bytes, codec_, table_));
  layout_loaded_ = true;
  return ReadStatus::kOk;
}

void Resident::ModelDetected(std::u16string_view model) {
  settings_.FkModel = model;
  // The port was opened for a model not yet known; the reopen waits until the link
  // has finished with the data in hand.
  reopen_for_model_ = (model == u"6094") != opened_as_6094_;
}

void Resident::InputRefused(const device::ForegroundWindow& window,
                            device::InputNotices::Refusal why) {
  platform_.Balloon(kProgramName, InputRefusedText(window.title, why));
}

void Resident::TextNotPasted() {
  platform_.Balloon(kProgramName, kTextNotPastedText);
}

void Resident::ReopenForDetectedModel() {
  if (!std::exchange(reopen_for_model_, false) || !port_.PortOpen()) return;
  if (TakePort(in_buffer_size_)) link_.ArmRefresh();
}

void Resident::BuildRecent() {
  recent_.fill(u"");
  captions_.fill(u"");
  const std::vector<std::u16string> names = platform_.ListLayouts(working_folder_);
  const std::size_t n = std::min(names.size(), recent_.size());
  for (std::size_t i = 0; i < n; ++i) {
    recent_[i] = working_folder_ + names[i];
    captions_[i] = RecentCaption(names[i]);
  }
  platform_.SetRecentCaptions(captions_);
}

void Resident::Tray(TrayIcon icon, std::u16string_view tip, TrayMode mode) {
  platform_.SetTray(icon, tip, mode);
  tray_added_ = mode != TrayMode::kDelete;
  tray_icon_ = icon;
  tray_tip_ = tip;
}

void Resident::HandOverTick() {
  if (editor_open_ || in_tick_) return;
  in_tick_ = true;
  platform_.PumpMessagesOnce();
  in_tick_ = false;
  if (shut_down_) return;
  // A key still arriving keeps the port until it is played; the next tick decides.
  if (!link_.Receiving()) {
    if (IsHandOverTitle(platform_.ForegroundTitle())) {
      Tray(TrayIcon::kIdle, kTipChanged, TrayMode::kModify);
      if (port_wanted_) {
        // Keys held by split mode would stay down in the CAD program, which has no
        // way to release them: let go of them with the device, and of the rest of a
        // macro, which was meant for the window before.
        link_.CancelMacro();
        link_.ReleaseHeldKeys();
        ReleasePort();
        timers_.Disarm(ShellTimer::kReconnect);
        port_wanted_ = false;
      }
    } else if (!port_wanted_) {
      if (layout_loaded_) Tray(TrayIcon::kActive, kTipChanged, TrayMode::kModify);
      port_wanted_ = true;
      if (TakePort(kReopenBufferSize)) link_.ArmRefresh();
    }
  }
  ResumeHandOver();
}

void Resident::ResumeHandOver() {
  if (shut_down_ || editor_open_ || settings_.Timer1On != 1 || link_.Receiving()) return;
  timers_.Arm(ShellTimer::kHandOver, kHandOverInterval);
}

void Resident::ReleasePort() {
  if (port_.PortOpen()) {
    link_.LampsOff();
    device::ClosePort(port_);
  }
  link_.ResetReceive();
}

bool Resident::TakePort(int in_buffer_size) {
  if (OpenDevicePort(in_buffer_size)) {
    outage_ = false;
    timers_.Disarm(ShellTimer::kReconnect);
    return true;
  }
  StartOutage(false);
  return false;
}

void Resident::StartOutage(bool lost) {
  if (!outage_) {
    outage_ = true;
    platform_.Balloon(kProgramName,
                      lost ? PortLostText(settings_.ComS) : PortUnavailableText(settings_.ComS));
  }
  timers_.Arm(ShellTimer::kReconnect, kReconnectInterval);
}

void Resident::Reconnect() {
  if (editor_open_ || !port_wanted_ || port_.PortOpen()) return;
  // The device may have been unplugged or never set up: start it as at start-up.
  if (TakePort(kReopenBufferSize)) {
    link_.SendStartupSequence();
    link_.ArmRefresh();
  }
  ResumeHandOver();
}

void Resident::CheckPortStillOpen(bool was_open) {
  if (was_open && !port_.PortOpen()) OnPortLost();
}

}  // namespace vantrel::shell
