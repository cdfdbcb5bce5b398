// Plays one FK key's macro as synthetic input, and keeps the keys that split-mode
// steps hold down until the next FK key press (or ReleaseHeldKeys) releases them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/keynames.h"
#include "core/data/table.h"
#include "core/device/platform.h"

namespace vantrel::device {

// What playback tells its owner about input that the window in front did not take.
class InputNotices {
 public:
  enum class Refusal {
    kBlocked,   // the window was more privileged: the macro was not played
    kCutShort,  // the system refused an event: the rest was not played, held keys let go
  };
  virtual ~InputNotices() = default;
  // Once per window, whatever the refusal.
  virtual void InputRefused(const ForegroundWindow& window, Refusal why) = 0;
};

class Playback {
 public:
  static constexpr int kMaxStepEntries = 50;  // tokens of one key step
  static constexpr int kMaxHeld = 60;

  Playback(const AssignmentTable& table, const std::u16string& fk_model, PortOut& port,
           InputSink& input, MouseButtons& mouse, Clipboard& clipboard, ForegroundCheck& foreground,
           InputNotices& notices);

  // An FK key arrived: choose the page by the mouse buttons, release what an earlier
  // split-mode key holds, and play the steps (a second press of the holding key
  // only releases). Nothing is played into a window that is more privileged than
  // this program, and nothing more is pressed once the system refuses an event.
  void Play(int key);
  // Releases everything held, last pressed first; writes no frame.
  void ReleaseHeldKeys();

  std::int16_t CurrentKey() const { return current_key_; }
  std::int16_t MouseState() const { return mouse_state_; }
  bool Holding() const { return held_flag_ != 0; }
  int HeldCount() const { return static_cast<int>(held_.size()); }
  const std::u16string& StatusLabel() const { return status_label_; }
  void ClearStatusLabel() { status_label_.clear(); }

 private:
  // A pressed key (its virtual-key code) or mouse button (its release flags).
  struct Pressed {
    bool click;
    std::uint32_t code;
  };

  std::int16_t PageOfButtons() const;
  void SelectMouseState(std::int16_t page);
  // Lets go of what split mode holds, relighting the lamps when it held anything.
  void LetGoOfHeld();
  // Sends one event; false when it was not inserted. Once an event has been
  // refused, presses are not even sent (releases still are).
  bool Key(std::uint8_t vk, bool up);
  bool Mouse(std::uint32_t flags);
  bool Inserted(int count);
  void Notify(const ForegroundWindow& window, InputNotices::Refusal why);
  void KeyStep(std::u16string_view body, bool joined);
  void TextStep(std::u16string_view body);
  void PressToken(std::u16string_view token, std::vector<Pressed>& step);
  void Release(const Pressed& p);
  // Releases list[from..end) from the last entry down.
  void ReleaseFrom(const std::vector<Pressed>& list, std::size_t from);

  const AssignmentTable& table_;
  const std::u16string& fk_model_;
  PortOut& port_;
  InputSink& input_;
  MouseButtons& mouse_;
  Clipboard& clipboard_;
  ForegroundCheck& foreground_;
  InputNotices& notices_;

  std::int16_t current_key_ = 0;
  std::int16_t mouse_state_ = 0;
  std::int16_t held_flag_ = 0;
  std::int16_t holding_key_ = 0;
  std::vector<Pressed> held_;
  std::u16string status_label_;
  bool refused_ = false;  // during one Play
  // The windows already told about, the latest last; a window handle may be reused
  // long after, so only the most recent are kept.
  static constexpr std::size_t kMaxWarned = 64;
  std::vector<std::uint64_t> warned_;
};

}  // namespace vantrel::device
