// Plays FK keys' macros as synthetic input, and keeps the keys that split-mode
// steps hold down until the next FK key press (or ReleaseHeldKeys) releases them.
//
// A macro runs until its next text step has been pasted: the program in front reads
// the clipboard only when it handles the paste, so the next text must not replace the
// clipboard before then. Playback waits for the host's word that the text was taken
// (PasteTaken) or for kPasteWait, whichever comes first; presses that arrive meanwhile
// are played after it, in order.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/keynames.h"
#include "core/data/table.h"
#include "core/device/platform.h"

namespace vantrel::device {

// What playback tells its owner about input that did not reach the window in front.
class InputNotices {
 public:
  enum class Refusal {
    kBlocked,   // the window was more privileged: the macro was not played
    kCutShort,  // the system refused an event: the rest was not played, held keys let go
  };
  virtual ~InputNotices() = default;
  // Once per window, whatever the refusal.
  virtual void InputRefused(const ForegroundWindow& window, Refusal why) = 0;
  // A text step was not pasted because the clipboard could not be set; told once
  // until a text step succeeds again.
  virtual void TextNotPasted() = 0;
};

class Playback {
 public:
  static constexpr int kMaxStepEntries = 50;  // tokens of one key step
  static constexpr int kMaxHeld = 60;
  // How long a text step waits for the program in front to take its text: a window
  // where P is not "paste" never asks.
  static constexpr int kPasteWait = 1000;
  // A clipboard another program holds open is tried again this often, this many times.
  static constexpr int kClipboardRetry = 20;
  static constexpr int kClipboardTries = 10;
  // Presses waiting behind a macro; one beyond is dropped.
  static constexpr std::size_t kMaxQueued = 64;

  Playback(const AssignmentTable& table, const std::u16string& fk_model, PortOut& port,
           InputSink& input, MouseButtons& mouse, Clipboard& clipboard, ForegroundCheck& foreground,
           Timers<LinkTimer>& timers, InputNotices& notices);

  // An FK key arrived: the page is chosen by the mouse buttons now. It plays at once,
  // or after the macro in progress; while the tray menu is open it plays nothing.
  void Play(int key);
  // kText expired: the paste's wait is over, or the clipboard is tried again.
  void OnTextTimer();
  // The program in front took the text of the step played last.
  void PasteTaken();
  // The rest of the macro in progress and the presses queued behind it are dropped;
  // held keys stay held (ReleaseHeldKeys lets go of them).
  void CancelMacro();
  // While the program's own menu is open nothing is played into it: presses are
  // dropped, and a macro in progress goes on once the menu has closed.
  void SetMenuOpen(bool open);

  // Releases everything held, last pressed first; writes no frame. While the window
  // in front drops our input, the keys stay held and are let go of as soon as a
  // window that takes input comes to the front (ForegroundChanged), unless `force`.
  void ReleaseHeldKeys(bool force = false);
  // A window came to the front: keys whose release was held back or refused are let
  // go of now if it takes input. True when all were: the lamps may be relit.
  bool ForegroundChanged();

  std::int16_t MouseState() const { return mouse_state_; }
  bool Holding() const { return keys_held_; }
  int HeldCount() const { return static_cast<int>(held_.size()); }
  // A macro is waiting for a paste, or presses are queued behind one.
  bool Busy() const { return macro_.has_value() || !queued_.empty(); }
  const std::u16string& StatusLabel() const { return status_label_; }
  void ClearStatusLabel() { status_label_.clear(); }

 private:
  // A pressed key (its virtual-key code) or mouse button (its release flags).
  struct Pressed {
    bool click;
    std::uint32_t code;
  };
  struct Press {
    std::int16_t key;
    std::int16_t page;
  };
  // The macro being played: its entry and the next step to play.
  struct Macro {
    std::int16_t page;
    std::int16_t key;
    int count;
    int next;
  };
  enum class Wait { kNone, kClipboard, kPaste };

  std::int16_t PageOfButtons() const;
  // Plays the macro in progress to its end or its next wait, then what queued behind it.
  void Drive();
  // The start of one press: the page's button let go, held keys released, the macro
  // set going when there is one to play.
  void Start(Press press);
  // The first `count` steps click or paste: they act on the window under the cursor.
  static bool ClicksUnderCursor(const KeyEntry& entry, int count);
  // Plays steps until the macro ends or waits.
  void Continue();
  void Finish();
  void WaitFor(Wait what, int milliseconds);
  void SelectMouseState(std::int16_t page);
  // Lets go of what split mode holds, relighting the lamps; keys whose release the
  // system refused stay held, their lamp dark.
  void LetGoOfHeld();
  // Releases the held list; what the system refuses stays in it.
  void ReleaseHeld();
  // Sends one event; false when it was not inserted. Once an event has been
  // refused, presses are not even sent (releases still are).
  bool Key(std::uint8_t vk, bool up);
  bool Mouse(std::uint32_t flags);
  bool Inserted(int count);
  void Notify(const ForegroundWindow& window, InputNotices::Refusal why);
  void KeyStep(std::u16string_view body, bool joined);
  // False when the macro must wait before its next step.
  bool TextStep(std::u16string_view body);
  void PressToken(std::u16string_view token, std::vector<Pressed>& step);
  bool Release(const Pressed& p);
  // Releases list[from..end) from the last entry down.
  void ReleaseFrom(const std::vector<Pressed>& list, std::size_t from);

  const AssignmentTable& table_;
  const std::u16string& fk_model_;
  PortOut& port_;
  InputSink& input_;
  MouseButtons& mouse_;
  Clipboard& clipboard_;
  ForegroundCheck& foreground_;
  Timers<LinkTimer>& timers_;
  InputNotices& notices_;

  std::int16_t current_key_ = 0;
  std::int16_t mouse_state_ = 0;
  bool keys_held_ = false;
  std::int16_t holding_key_ = 0;
  std::vector<Pressed> held_;
  // Held keys a press or the shell meant to let go of, kept because the window in
  // front would have dropped their release.
  bool release_owed_ = false;
  std::u16string status_label_;

  std::optional<Macro> macro_;
  std::deque<Press> queued_;
  Wait wait_ = Wait::kNone;
  int clipboard_tries_ = 0;
  bool menu_open_ = false;
  bool text_failure_told_ = false;
  bool refused_ = false;  // during one macro
  // The windows already told about, the latest last; a window handle may be reused
  // long after, so only the most recent are kept.
  static constexpr std::size_t kMaxWarned = 64;
  std::vector<std::uint64_t> warned_;
};

}  // namespace vantrel::device
