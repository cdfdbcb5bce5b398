#include "core/shell/resident.h"

#include <algorithm>
#include <utility>

#include "core/data/layout.h"

namespace vantrel::shell {

namespace {

using device::LinkTimer;

constexpr std::u16string_view kHandOverPrefixes[] = {u"Helix Drafting", u"MC/W", u"MICRO CADAM/W"};
constexpr std::uint32_t kRightButtonDown = 0x204;  // WM_RBUTTONDOWN

constexpr std::size_t kRefusedTitleMax = 80;

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

// At most `max` characters of the text, never half a surrogate pair, and "…" when cut.
std::u16string Shortened(std::u16string_view text, std::size_t max) {
  std::size_t n = std::min(text.size(), max);
  if (n < text.size() && IsHighSurrogate(text[n - 1])) --n;
  return std::u16string(text.substr(0, n)) + (n < text.size() ? u"…" : u"");
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
  if (!title.empty()) window = u"「" + Shortened(title, kRefusedTitleMax) + u"」";
  // Never the advice to run Vantrel elevated: it would then play layouts from a folder
  // that the user's other programs can write into windows that Windows protects.
  if (why == device::InputNotices::Refusal::kBlocked) {
    return window +
           u"は Vantrel より高い権限で動いているため、Windows がキー入力を届けません。"
           u"マクロは再生していません。そのプログラムを管理者としてではなく起動すると、"
           u"FK キーが使えます。";
  }
  return window +
         u"がキー入力を受け付けなかったため、マクロを途中で止めました。入力を受け付ける"
         u"ウィンドウを前面にしてから、もう一度 FK キーを押してください。";
}

std::u16string RulesDamagedText(std::u16string_view path, std::size_t lines) {
  return u"ルールファイル " + std::u16string(path) + u" の " +
         Decimal(static_cast<long long>(lines)) +
         u" 行を読み取れませんでした。その行は使わずに残します。";
}

std::u16string RulesUnreadableText(std::u16string_view path) {
  return u"ルールファイル " + std::u16string(path) +
         u" を読み込めませんでした。ルールは使わず、このファイルは書き換えません。";
}

std::u16string RulesNotSavedText(std::u16string_view path) {
  return u"ルールファイル " + std::u16string(path) +
         u" に書き込めませんでした。変更はこの実行中だけ有効です。";
}

std::u16string RuleMadeText(const LayoutRule& rule) {
  return u"「" + rule.pattern + u"」が前面のときは、レイアウト " +
         LayoutDisplayName(rule.layout_path) + u" を使います。";
}

std::u16string RuleTip(const LayoutRule& rule) {
  // The tip holds 127 characters.
  return Shortened(LayoutDisplayName(rule.layout_path), 40) + u"（" + Shortened(rule.pattern, 60) +
         u" のルール）";
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
      link_(table_, settings_.fk_model, ports.device, input, mouse, clipboard, foreground,
            link_timers, *this),
      keeper_(ports.device, link_, settings_, platform, timers),
      layouts_(files, codec) {}

void Resident::Start() {
  if (started_) return;
  started_ = true;
  settings_.com_port = 1;
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
  rules_path_ = working_folder_ + std::u16string(kRulesFileName);
  ReadRules(&notices);
  if (settings_.hand_over_to_cad == 1) timers_.Arm(ShellTimer::kHandOver, kHandOverInterval);
  if (settings_.open_layout_at_start != 0 &&
      LoadLayout(settings_.layout_path) == ReadStatus::kUnreadable) {
    notices.push_back(LayoutUnreadableText(settings_.layout_path));
  }
  platform_.SetCurrentLayoutCaption(u"");
  ShowTray(layout_loaded_ ? TrayIcon::kActive : TrayIcon::kIdle, kTipStartup);
  if (layout_loaded_) platform_.SetCurrentLayoutCaption(LayoutDisplayName(settings_.layout_path));
  for (const std::u16string& notice : notices) platform_.Balloon(kProgramName, notice);
  // The start-up sequence and the refresh follow once the port is open (or once a
  // missing port appears).
  keeper_.Start();
  BuildRecent();
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
  for (LinkTimer id :
       {LinkTimer::kRefresh, LinkTimer::kGather, LinkTimer::kText, LinkTimer::kBurst}) {
    link_timers_.Disarm(id);
  }
  // Whatever way the program ends and whatever window is in front, no key stays down.
  link_.CancelMacro();
  link_.ReleaseHeldKeys(true);
  const bool saved = keep_settings_file_ ||
                     files_.ReplaceAtomically(settings_path_, WriteSettings(settings_, codec_));
  keeper_.Shutdown();
  if (std::exchange(tray_shown_, false)) platform_.RemoveTray();
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

void Resident::OnBytesReceived() {
  if (shut_down_ || !started_ || !keeper_.Playing()) return;
  timers_.Disarm(ShellTimer::kHandOver);
  const std::vector<std::uint8_t> bytes = port_.TakeReceived();
  link_.OnReceive(bytes);
  ReopenForDetectedModel();
  ResumeHandOver();
}

void Resident::OnPortOpened(bool ok) {
  if (shut_down_ || !started_) return;
  keeper_.PortOpened(ok);
}

void Resident::OnPortLost() {
  if (shut_down_ || !started_) return;
  keeper_.PortLost();
  // The port may have gone while a key was arriving, when the ticks were paused.
  ResumeHandOver();
}

void Resident::OnTimer(ShellTimer id) {
  if (shut_down_ || !started_) return;
  if (id == ShellTimer::kHandOver) {
    HandOverTick();
  } else {
    keeper_.Retry();
    ResumeHandOver();
  }
}

void Resident::OnTimer(LinkTimer id) {
  if (shut_down_ || !started_) return;
  if (id == LinkTimer::kRefresh) {
    // A refresh armed before the port was handed over or lost must not reopen it.
    if (keeper_.Playing()) link_.OnTimer(id);
  } else if (id == LinkTimer::kGather) {
    link_.OnTimer(id);
    ReopenForDetectedModel();
    ResumeHandOver();
  } else {
    link_.OnTimer(id);
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
  settings_.layout_path = path;
  // A file that cannot be read leaves the table, the caption and the icon as a
  // missing one does: they must not claim a layout that is not there.
  const ReadStatus read = LoadLayout(path);
  if (read == ReadStatus::kUnreadable) platform_.Balloon(kProgramName, LayoutUnreadableText(path));
  if (read != ReadStatus::kOk) return;
  // The user's choice is in force until another window comes to the front (the menu
  // gives the foreground back to the window it was chosen in).
  in_force_.reset();
  users_choice_ = true;
  platform_.SetCurrentLayoutCaption(captions_[entry - 1]);
  ShowTray(TrayIcon::kActive, kTipChanged);
}

void Resident::OpenEditor() {
  if (shut_down_ || !started_ || editor_open_) return;
  // The editor saves into the user's layout file: it edits the user's layout, never
  // a rule's under that name.
  if (in_force_) BackToUsersLayout();
  link_.CancelMacro();
  link_.ReleaseHeldKeys();
  timers_.Disarm(ShellTimer::kHandOver);
  editor_open_ = true;
  keeper_.Lend();
  platform_.RunEditor({table_, settings_, layout_loaded_, working_folder_, editor_port_,
                       capture_state_, link_.MouseState()});
  editor_open_ = false;
  if (shut_down_) return;
  if (layout_loaded_) platform_.SetCurrentLayoutCaption(LayoutDisplayName(settings_.layout_path));
  keeper_.Return(layout_loaded_);
  ShowTray(layout_loaded_ ? TrayIcon::kActive : TrayIcon::kIdle, kTipChanged);
  ResumeHandOver();
  users_choice_ = false;
  ApplyRules();
}

void Resident::Help() {
  if (!shut_down_) platform_.OpenHelp();
}

void Resident::Exit() {
  // Shut-down lets go of every held key first.
  Shutdown();
}

void Resident::TrayRecreated() {
  if (tray_shown_ && !shut_down_) platform_.ShowTray(tray_icon_, tray_tip_);
}

void Resident::MenuOpen(bool open) {
  menu_open_ = open;
  link_.SetMenuOpen(menu_open_ || rules_open_);
}

void Resident::OnPasteTaken() {
  if (started_ && !shut_down_) link_.PasteTaken();
}

void Resident::ForegroundChanged() {
  if (!started_ || shut_down_) return;
  // Keys kept down behind a window that dropped their release are let go of now.
  if (link_.ForegroundChanged() && keeper_.Playing()) link_.ArmRefresh();
}

void Resident::UserWindowInFront(const WindowIdentity& window) {
  // A program's window keeps being that program's whatever document its title names.
  const bool same = last_window_ && (window.program.empty() || last_window_->program.empty()
                                         ? last_window_->title == window.title
                                         : last_window_->program == window.program);
  if (!same) {
    users_choice_ = false;
    // A layout held by another program a moment ago may be free now; not tried again
    // at every key in the same window.
    layouts_.ForgetFailures();
  }
  last_window_ = window;
  if (!started_ || shut_down_ || editor_open_) return;
  ApplyRules();
}

void Resident::UseLayoutForWindow() {
  if (!started_ || shut_down_) return;
  const bool loaded = in_force_ || layout_loaded_;
  if (!loaded) return platform_.Balloon(kProgramName, kNoLayoutForRuleText);
  if (!last_window_ || (last_window_->program.empty() && last_window_->title.empty())) {
    return platform_.Balloon(kProgramName, kNoWindowForRuleText);
  }
  const bool by_program = !last_window_->program.empty();
  LayoutRule rule{by_program ? LayoutRule::Match::kProgram : LayoutRule::Match::kTitle,
                  by_program ? last_window_->program : last_window_->title,
                  in_force_ ? in_force_->rule.layout_path : settings_.layout_path};
  if (!RuleLine(rule, codec_)) return platform_.Balloon(kProgramName, kRuleNotStorableText);
  ReadRules(nullptr, true);
  RulesFile rules = rules_;
  rules.enabled = true;
  // A rule for the same program or title gets the new layout, in its place.
  const auto same = std::find_if(rules.lines.begin(), rules.lines.end(), [&](const auto& line) {
    return line.rule && line.rule->match == rule.match &&
           (rule.match == LayoutRule::Match::kProgram
                ? Matches(*line.rule, {rule.pattern, {}})
                : line.rule->pattern == rule.pattern);
  });
  if (same == rules.lines.end()) {
    rules.lines.push_back({rule, {}});
  } else if (same->rule->layout_path != rule.layout_path || !rules_.enabled) {
    *same = {rule, {}};
  } else {
    return platform_.Balloon(kProgramName, RuleMadeText(rule));  // in force already
  }
  if (!SaveRules(rules)) return;
  platform_.Balloon(kProgramName, RuleMadeText(rule));
  users_choice_ = false;
  ApplyRules();
}

void Resident::EditRules() {
  if (!started_ || shut_down_ || editor_open_ || rules_open_) return;
  ReadRules(nullptr, true);
  RulesEditor editor(rules_);
  // An FK key would play into the dialog (an Enter could delete a rule), as into the menu.
  rules_open_ = true;
  link_.SetMenuOpen(true);
  platform_.RunRulesDialog(editor);
  rules_open_ = false;
  link_.SetMenuOpen(menu_open_);
  if (shut_down_ || WriteRules(editor.File(), codec_) == WriteRules(rules_, codec_)) return;
  SaveRules(editor.File());
  users_choice_ = false;
  ApplyRules();
}

void Resident::ReadRules(std::vector<std::u16string>* notices, bool retry_held) {
  // The file may be edited by hand while the program runs: read again whenever its
  // stamp moves, before the rules are used or changed, so no edit is written over.
  // Otherwise not (this runs before every key): a missing file stays missing, and a
  // held one is waited on for a moment at each try, so it is tried again only when
  // the user is about to change the rules.
  const std::optional<std::uint64_t> stamp = files_.ChangeStamp(rules_path_);
  if (notices == nullptr && stamp == rules_stamp_ && !(retry_held && keep_rules_file_)) return;
  const FileRead file = files_.Read(rules_path_);
  std::u16string notice;
  // Held by another program, say: the rules known stay in force and the file is not
  // written.
  keep_rules_file_ = file.status == ReadStatus::kUnreadable;
  rules_stamp_ = stamp;
  if (keep_rules_file_) {
    notice = RulesUnreadableText(rules_path_);
  } else if (file.status == ReadStatus::kMissing) {
    rules_ = {};
  } else {
    rules_ = vantrel::ReadRules(file.bytes, codec_);
    if (rules_.damaged > 0) notice = RulesDamagedText(rules_path_, rules_.damaged);
  }
  if (notice.empty() || notice == told_rules_) return;
  told_rules_ = notice;
  if (notices) {
    notices->push_back(notice);
  } else {
    platform_.Balloon(kProgramName, notice);
  }
}

bool Resident::SaveRules(const RulesFile& rules) {
  // A file that could not be read is never written over: its rules would be lost.
  if (keep_rules_file_ || !files_.ReplaceAtomically(rules_path_, WriteRules(rules, codec_))) {
    platform_.Balloon(kProgramName, keep_rules_file_ ? RulesUnreadableText(rules_path_)
                                                     : RulesNotSavedText(rules_path_));
    if (keep_rules_file_) return false;
  }
  rules_ = rules;
  rules_stamp_ = files_.ChangeStamp(rules_path_);
  return true;
}

void Resident::ApplyRules() {
  if (!last_window_ || editor_open_ || users_choice_) return;
  ReadRules(nullptr);
  // A window the device is handed to keeps the layout it was handed over with.
  if (settings_.hand_over_to_cad == 1 && IsHandOverTitle(last_window_->title)) return;
  for (const LayoutRule& rule : rules_.Rules()) {
    if (Matches(rule, *last_window_)) return SwitchTo(rule);
  }
  if (in_force_) BackToUsersLayout();
}

void Resident::SwitchTo(const LayoutRule& rule) {
  // The user's own layout, unsaved changes and all, is not read again from its file.
  const bool users_loaded = in_force_ ? in_force_->users_layout_loaded : layout_loaded_;
  if (users_loaded && rule.layout_path == settings_.layout_path) {
    if (in_force_) BackToUsersLayout();
    return;
  }
  // The same layout stays: nothing read, no lamp relit.
  if (in_force_ && in_force_->rule.layout_path == rule.layout_path &&
      layouts_.Unchanged(rule.layout_path)) {
    if (in_force_->rule.pattern != rule.pattern) ShowTray(TrayIcon::kActive, RuleTip(rule));
    in_force_->rule = rule;
    return;
  }
  ReadStatus status = ReadStatus::kOk;
  const AssignmentTable* table = layouts_.Get(rule.layout_path, status);
  if (!table) {
    if (std::find(told_unreadable_.begin(), told_unreadable_.end(), rule.layout_path) ==
        told_unreadable_.end()) {
      told_unreadable_.push_back(rule.layout_path);
      platform_.Balloon(kProgramName, LayoutUnreadableText(rule.layout_path));
    }
    if (in_force_) BackToUsersLayout();
    return;
  }
  link_.CancelMacro();
  link_.ReleaseHeldKeys();
  if (!in_force_) {
    in_force_ = RuleInForce{rule, std::make_unique<AssignmentTable>(table_), layout_loaded_};
  }
  table_ = *table;
  link_.ClearStatusLabel();
  layout_loaded_ = true;
  in_force_->rule = rule;
  link_.ArmRefresh();
  platform_.SetCurrentLayoutCaption(LayoutDisplayName(rule.layout_path));
  ShowTray(TrayIcon::kActive, RuleTip(rule));
}

void Resident::BackToUsersLayout() {
  link_.CancelMacro();
  link_.ReleaseHeldKeys();
  if (in_force_) {
    table_ = *in_force_->users_table;
    layout_loaded_ = in_force_->users_layout_loaded;
    in_force_.reset();
  }
  link_.ClearStatusLabel();
  link_.ArmRefresh();
  platform_.SetCurrentLayoutCaption(layout_loaded_ ? LayoutDisplayName(settings_.layout_path)
                                                   : std::u16string());
  ShowTray(layout_loaded_ ? TrayIcon::kActive : TrayIcon::kIdle,
           layout_loaded_ ? LayoutDisplayName(settings_.layout_path) : std::u16string(kTipChanged));
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
  settings_.fk_model = model;
  // The port was opened for a model not yet known; the reopen waits until the link
  // has finished with the data in hand.
  model_detected_ = true;
}

void Resident::DeviceFlooding() {
  platform_.Balloon(kProgramName, kFloodingText);
}

void Resident::InputRefused(const device::ForegroundWindow& window,
                            device::InputNotices::Refusal why) {
  platform_.Balloon(kProgramName, InputRefusedText(window.title, why));
}

void Resident::TextNotPasted() {
  platform_.Balloon(kProgramName, kTextNotPastedText);
}

void Resident::ReopenForDetectedModel() {
  if (std::exchange(model_detected_, false)) keeper_.ModelDetected();
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

void Resident::ShowTray(TrayIcon icon, std::u16string_view tip) {
  platform_.ShowTray(icon, tip);
  tray_shown_ = true;
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
    const bool handed_over = keeper_.State() == PortState::kHandedOver;
    if (IsHandOverTitle(platform_.ForegroundTitle())) {
      ShowTray(TrayIcon::kIdle, kTipChanged);
      if (!handed_over) {
        // Keys held by split mode would stay down in the CAD program, which has no
        // way to release them: let go of them with the device, and of the rest of a
        // macro, which was meant for the window before.
        link_.CancelMacro();
        link_.ReleaseHeldKeys();
        keeper_.HandOver();
      }
    } else if (handed_over) {
      if (layout_loaded_) ShowTray(TrayIcon::kActive, kTipChanged);
      keeper_.TakeBack();
    }
  }
  ResumeHandOver();
}

void Resident::ResumeHandOver() {
  if (shut_down_ || editor_open_ || settings_.hand_over_to_cad != 1 || link_.Receiving()) return;
  timers_.Arm(ShellTimer::kHandOver, kHandOverInterval);
}

}  // namespace vantrel::shell
