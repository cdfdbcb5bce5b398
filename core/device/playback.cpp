#include "core/device/playback.h"

#include <algorithm>
#include <utility>

#include "core/device/frames.h"

namespace vantrel::device {
namespace {
constexpr std::uint8_t kVkEsc = 27;
constexpr std::uint8_t kVkP = 80;
constexpr std::uint32_t kLeftUp = 4, kRightDown = 8, kRightUp = 16, kMiddleUp = 64;
constexpr std::uint32_t kButtonDowns = 2 | 8 | 32;
}  // namespace

Playback::Playback(const AssignmentTable& table, const std::u16string& fk_model, PortOut& port,
                   InputSink& input, MouseButtons& mouse, Clipboard& clipboard,
                   ForegroundCheck& foreground, Timers<LinkTimer>& timers, InputNotices& notices)
    : table_(table),
      fk_model_(fk_model),
      port_(port),
      input_(input),
      mouse_(mouse),
      clipboard_(clipboard),
      foreground_(foreground),
      timers_(timers),
      notices_(notices) {
  held_.reserve(kMaxHeld);
}

void Playback::Play(int key) {
  if (menu_open_) return;
  // The page is the one of the moment of the press, even when it plays later.
  if (queued_.size() < kMaxQueued) {
    queued_.push_back({static_cast<std::int16_t>(key), PageOfButtons()});
  }
  Drive();
}

void Playback::OnTextTimer() {
  if (std::exchange(wait_, Wait::kNone) != Wait::kNone) Drive();
}

void Playback::PasteTaken() {
  if (wait_ != Wait::kPaste) return;
  timers_.Disarm(LinkTimer::kText);
  wait_ = Wait::kNone;
  Drive();
}

void Playback::CancelMacro() {
  if (wait_ != Wait::kNone) timers_.Disarm(LinkTimer::kText);
  wait_ = Wait::kNone;
  macro_.reset();
  queued_.clear();
  clipboard_tries_ = 0;
}

void Playback::SetMenuOpen(bool open) {
  menu_open_ = open;
  if (!open) Drive();
}

void Playback::ReleaseHeldKeys(bool force) {
  if (keys_held_ && !force && foreground_.Front().blocked) {
    release_owed_ = true;
    return;
  }
  ReleaseHeld();
}

bool Playback::ForegroundChanged() {
  if (!release_owed_ || !keys_held_ || foreground_.Front().blocked) return false;
  ReleaseHeld();
  return !keys_held_;
}

void Playback::Drive() {
  while (!menu_open_ && wait_ == Wait::kNone) {
    if (macro_) {
      Continue();
      continue;
    }
    if (queued_.empty()) return;
    const Press press = queued_.front();
    queued_.pop_front();
    Start(press);
  }
}

void Playback::Start(Press press) {
  current_key_ = press.key;
  refused_ = false;
  const KeyEntry& entry = table_.Entry(press.page, press.key);
  // Counts come from layout files unchecked; the table holds at most 60 steps.
  const int count = std::min<int>(entry.count, kMaxSteps);
  const bool only_releases = keys_held_ && holding_key_ == press.key;

  if ((count > 0 && !only_releases) || keys_held_) {
    ForegroundWindow target = foreground_.Front();
    if (!target.blocked && !only_releases && ClicksUnderCursor(entry, count)) {
      target = foreground_.UnderCursor();
    }
    if (target.blocked) {
      // The system would drop every event, the releases of held keys too: press
      // nothing, and keep those keys held until a window that takes input is in front.
      mouse_state_ = press.page;
      if (keys_held_) release_owed_ = true;
      Notify(target, InputNotices::Refusal::kBlocked);
      return;
    }
  }

  SelectMouseState(press.page);
  LetGoOfHeld();
  if (refused_) {
    Notify(foreground_.Front(), InputNotices::Refusal::kCutShort);
  } else if (!only_releases && count > 0) {
    macro_ = Macro{press.page, press.key, count, 1};
  }
}

bool Playback::ClicksUnderCursor(const KeyEntry& entry, int count) {
  for (int s = 1; s <= count; ++s) {
    const auto i = static_cast<std::size_t>(s);
    // A text step pastes with a right click.
    if (entry.marker[i] != std::u16string_view(&kKeyStepMarker, 1)) return true;
    const std::u16string_view body = entry.body[i];
    for (std::size_t start = 0; start <= body.size();) {
      const std::size_t plus = std::min(body.find(u'+', start), body.size());
      if (LookUpKeyName(body.substr(start, plus - start)).kind == KeyName::Kind::kClick) {
        return true;
      }
      start = plus + 1;
    }
  }
  return false;
}

void Playback::Continue() {
  Macro& m = *macro_;
  const KeyEntry& entry = table_.Entry(m.page, m.key);
  while (m.next <= m.count && !refused_) {
    const auto s = static_cast<std::size_t>(m.next++);
    if (entry.marker[s] == std::u16string_view(&kKeyStepMarker, 1)) {
      KeyStep(entry.body[s], entry.mode == kModeJoined);
    } else if (!TextStep(entry.body[s])) {
      return;
    }
  }
  Finish();
}

void Playback::Finish() {
  macro_.reset();
  if (refused_) {
    // No key of the steps played so far may stay down behind the refusal.
    LetGoOfHeld();
    Notify(foreground_.Front(), InputNotices::Refusal::kCutShort);
  }
}

void Playback::WaitFor(Wait what, int milliseconds) {
  wait_ = what;
  timers_.Arm(LinkTimer::kText, milliseconds);
}

std::int16_t Playback::PageOfButtons() const {
  if (mouse_.LeftDown()) return 2;
  if (mouse_.MiddleDown()) return 3;
  if (mouse_.RightDown()) return 4;
  return 1;
}

void Playback::SelectMouseState(std::int16_t page) {
  mouse_state_ = page;
  // A held button is let go first, so the macro's own clicks start from a clean state.
  if (page == 2) {
    Mouse(kLeftUp);
  } else if (page == 3) {
    Mouse(kMiddleUp);
  } else if (page == 4) {
    Mouse(kRightUp);
    // Closes the context menu the right button may have opened.
    if (Key(kVkEsc, false)) Key(kVkEsc, true);
  }
}

void Playback::LetGoOfHeld() {
  if (!keys_held_) {
    held_.clear();
    return;
  }
  const Model model = ModelOf(fk_model_);
  Send(port_, ReleaseReset(model));
  ReleaseHeld();
  // Down still, as far as the system is concerned: the lamp says so.
  if (keys_held_) Send(port_, HoldLamp(model, holding_key_));
}

void Playback::ReleaseHeld() {
  std::vector<Pressed> kept;
  for (std::size_t i = held_.size(); i > 0; --i) {
    if (!Release(held_[i - 1])) kept.insert(kept.begin(), held_[i - 1]);
  }
  held_ = std::move(kept);
  release_owed_ = !held_.empty();
  keys_held_ = release_owed_;
}

bool Playback::Key(std::uint8_t vk, bool up) {
  if (refused_ && !up) return false;
  return Inserted(input_.Key(vk, up));
}

bool Playback::Mouse(std::uint32_t flags) {
  if (refused_ && (flags & kButtonDowns) != 0) return false;
  return Inserted(input_.Mouse(flags));
}

bool Playback::Inserted(int count) {
  if (count < 1) refused_ = true;
  return count >= 1;
}

void Playback::Notify(const ForegroundWindow& window, InputNotices::Refusal why) {
  if (std::find(warned_.begin(), warned_.end(), window.id) != warned_.end()) return;
  if (warned_.size() == kMaxWarned) warned_.erase(warned_.begin());
  warned_.push_back(window.id);
  notices_.InputRefused(window, why);
}

void Playback::KeyStep(std::u16string_view body, bool joined) {
  std::vector<Pressed> step;
  step.reserve(kMaxStepEntries);
  int tokens = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t plus = body.find(u'+', start);
    const std::u16string_view token = body.substr(start, plus - start);
    if (++tokens <= kMaxStepEntries) PressToken(token, step);
    if (plus == std::u16string_view::npos) break;
    start = plus + 1;
  }

  if (joined || refused_) {
    ReleaseFrom(step, 0);
    return;
  }
  // Whatever does not fit the held list is let go now rather than left down untracked.
  const std::size_t fit = std::min(step.size(), static_cast<std::size_t>(kMaxHeld) - held_.size());
  held_.insert(held_.end(), step.begin(), step.begin() + static_cast<std::ptrdiff_t>(fit));
  ReleaseFrom(step, fit);
  keys_held_ = true;
  holding_key_ = current_key_;
  Send(port_, HoldLamp(ModelOf(fk_model_), current_key_));
}

void Playback::PressToken(std::u16string_view token, std::vector<Pressed>& step) {
  const KeyName name = LookUpKeyName(token);
  switch (name.kind) {
    case KeyName::Kind::kKey:
      if (Key(name.vk_code, false)) step.push_back({false, name.vk_code});
      break;
    case KeyName::Kind::kClick:
      if (Mouse(name.mouse_down)) step.push_back({true, name.mouse_up});
      break;
    case KeyName::Kind::kNone:
      break;  // a name the dialog never writes: nothing to press
  }
}

bool Playback::TextStep(std::u16string_view body) {
  const Clipboard::Result result = clipboard_.OfferText(body);
  if (result == Clipboard::Result::kOpenFailed && ++clipboard_tries_ < kClipboardTries) {
    --macro_->next;  // the same step once more
    WaitFor(Wait::kClipboard, kClipboardRetry);
    return false;
  }
  clipboard_tries_ = 0;
  switch (result) {
    case Clipboard::Result::kUnlockFailed:
      status_label_ = u"メモリのロック解除に失敗。";
      break;
    case Clipboard::Result::kOpenFailed:
      status_label_ = u"クリップボードのオープンに失敗。";
      break;
    case Clipboard::Result::kSetFailed:
      status_label_ = u"クリップボードへの設定に失敗。";
      break;
    case Clipboard::Result::kCloseFailed:
      status_label_ = u"クリップボードのクローズに失敗。";
      break;
    case Clipboard::Result::kOk:
      status_label_ = body;
      break;
  }
  // A clipboard that was not set still holds what it held before, perhaps a password:
  // the paste would bring that into the window. (One that did not close holds the text.)
  if (result != Clipboard::Result::kOk && result != Clipboard::Result::kCloseFailed) {
    if (!std::exchange(text_failure_told_, true)) notices_.TextNotPasted();
    return true;
  }
  text_failure_told_ = false;
  // The paste goes through the context menu of the window under the cursor: the right
  // click opens it and P picks its paste item.
  if (Mouse(kRightDown)) Mouse(kRightUp);
  if (Key(kVkP, false)) Key(kVkP, true);
  if (refused_) return true;
  WaitFor(Wait::kPaste, kPasteWait);
  return false;
}

bool Playback::Release(const Pressed& p) {
  return p.click ? Mouse(p.code) : Key(static_cast<std::uint8_t>(p.code), true);
}

void Playback::ReleaseFrom(const std::vector<Pressed>& list, std::size_t from) {
  for (std::size_t i = list.size(); i > from; --i) Release(list[i - 1]);
}

}  // namespace vantrel::device
