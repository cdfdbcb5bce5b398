#include "core/device/playback.h"

#include <algorithm>

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
                   ForegroundCheck& foreground, InputNotices& notices)
    : table_(table),
      fk_model_(fk_model),
      port_(port),
      input_(input),
      mouse_(mouse),
      clipboard_(clipboard),
      foreground_(foreground),
      notices_(notices) {
  held_.reserve(kMaxHeld);
}

void Playback::Play(int key) {
  current_key_ = static_cast<std::int16_t>(key);
  refused_ = false;
  const std::int16_t page = PageOfButtons();
  const KeyEntry& entry = table_.Entry(page, current_key_);
  // Counts come from layout files unchecked; the table holds at most 60 steps.
  const int count = std::min<int>(entry.count, kMaxSteps);
  const bool only_releases = held_flag_ != 0 && holding_key_ == current_key_;

  if (count > 0 && !only_releases) {
    const ForegroundWindow front = foreground_.Front();
    if (front.blocked) {
      // The system would drop every event: press nothing, and let go of what an
      // earlier key holds, as this press would have.
      mouse_state_ = page;
      LetGoOfHeld();
      Notify(front, InputNotices::Refusal::kBlocked);
      return;
    }
  }

  SelectMouseState(page);
  LetGoOfHeld();
  if (!only_releases) {
    for (int s = 1; s <= count && !refused_; ++s) {
      const auto i = static_cast<std::size_t>(s);
      if (entry.marker[i] == std::u16string_view(&kKeyStepMarker, 1)) {
        KeyStep(entry.body[i], entry.mode == kModeJoined);
      } else {
        TextStep(entry.body[i]);
      }
    }
  }
  if (refused_) {
    // No key of the steps played so far may stay down behind the refusal.
    LetGoOfHeld();
    Notify(foreground_.Front(), InputNotices::Refusal::kCutShort);
  }
}

void Playback::ReleaseHeldKeys() {
  if (held_flag_ == 1) ReleaseFrom(held_, 0);
  held_.clear();
  held_flag_ = 0;
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
  if (held_flag_ != 0) {
    Send(port_, ReleaseReset(ModelOf(fk_model_)));
    held_flag_ = 0;
    ReleaseFrom(held_, 0);
  }
  held_.clear();
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
  held_flag_ = 1;
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

void Playback::TextStep(std::u16string_view body) {
  switch (clipboard_.SetText(body)) {
    case Clipboard::Result::kUnlockFailed:
      status_label_ = u"メモリのロック解除に失敗。";
      break;
    case Clipboard::Result::kOpenFailed:
      status_label_ = u"クリップボードのオープンに失敗。";
      break;
    case Clipboard::Result::kSetFailed:
      // The clipboard still holds older text; the paste below brings that back.
      status_label_ = u"クリップボードへの設定に失敗。";
      break;
    case Clipboard::Result::kCloseFailed:
      status_label_ = u"クリップボードのクローズに失敗。";
      break;
    case Clipboard::Result::kOk:
      status_label_ = body;
      break;
  }
  // The paste goes through the context menu of the window under the cursor: the right
  // click opens it and P picks its paste item.
  if (Mouse(kRightDown)) Mouse(kRightUp);
  if (Key(kVkP, false)) Key(kVkP, true);
}

void Playback::Release(const Pressed& p) {
  if (p.click) {
    Mouse(p.code);
  } else {
    Key(static_cast<std::uint8_t>(p.code), true);
  }
}

void Playback::ReleaseFrom(const std::vector<Pressed>& list, std::size_t from) {
  for (std::size_t i = list.size(); i > from; --i) Release(list[i - 1]);
}

}  // namespace vantrel::device
