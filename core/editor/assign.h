// The key-assignment dialog's logic: the working step list of one key and mouse
// state, shown as a strip of slots; the mode switch; text steps; saving into the
// table; and the capture of key presses, bare modifiers, Tab and background clicks
// as key steps. The Win32 dialog forwards its events here and, after each one,
// shows what this says: every slot's place, caption and colour, the scroll bar and
// the mode button. Places are in twips.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/data/table.h"
#include "core/data/text.h"

namespace vantrel::editor {

// Whether key presses in the capture field are recorded: a background click turns
// it on, a click in the label box off. Unset at first, which records.
enum class CaptureSwitch { kUnset, kOn, kOff };

// Belongs to the program, not to one opening of the dialog: it carries over from
// one key's dialog to the next.
struct CaptureState {
  CaptureSwitch capture_switch = CaptureSwitch::kUnset;
  bool mouse_armed = false;       // a background press arms; the next one is a click step
  bool modifier_pending = false;  // Shift, Ctrl or Alt went down and no step took it yet
};

// The shift state that comes with key and mouse events.
enum ShiftState : int { kShiftHeld = 1, kCtrlHeld = 2, kAltHeld = 4 };
enum class MouseButton { kLeft, kRight, kMiddle };

// The prefix for a shift state ("Shift+Ctrl+" ...; empty for none), and the name
// the capture field records for a virtual-key code (empty: nothing recorded; the
// modifiers have none). Several codes share a name.
std::u16string_view ModifierPrefix(int shift_state);
std::u16string_view CapturedKeyName(int code);

// Twips along the strip. Sixty steps of the longest names run to about 200,000
// twips, beyond 16 bits.
using StripTwips = long;
static_assert(sizeof(StripTwips) >= 4);

inline constexpr StripTwips kStripView = 5940;  // the strip's visible width
inline constexpr StripTwips kSlotTop = 480;
inline constexpr StripTwips kSlotHeight = 255;
inline constexpr StripTwips kSlotGap = 100;
// The scroll bar: its arrows move the strip by the small step, a click beside the
// thumb by the large one.
inline constexpr StripTwips kScrollSmallStep = 100;
inline constexpr StripTwips kScrollLargeStep = 200;

enum class SlotColour { kButtonFace, kYellow, kLightGreen };  // key step, text step, split mode

struct Slot {
  StripTwips left = 0;
  StripTwips top = 0;
  StripTwips width = 0;
  std::u16string caption;
  SlotColour colour = SlotColour::kButtonFace;
};

struct ScrollBar {
  StripTwips minimum = kStripView;
  StripTwips maximum = kStripView;  // equal: nothing to scroll
  StripTwips value = kStripView;
};

// What a refusal says, in an OK-only box without an icon.
struct Refusal {
  std::u16string_view title;
  std::u16string text;
};

// What the dialog asks of the window.
class AssignKeyPlatform {
 public:
  virtual ~AssignKeyPlatform() = default;
  virtual void Refuse(const Refusal& refusal) = 0;
  // The text input dialog, modally, starting from `text`; nothing when left
  // without a text.
  virtual std::optional<std::u16string> AskText(std::u16string_view text) = 0;
  virtual void FocusCaptureField() = 0;
  virtual void EmptyCaptureField() = 0;
  virtual void CloseDialog() = 0;
};

// One opening of the dialog for (mouse_state, key), working on `entry`.
struct AssignKeyRequest {
  KeyEntry& entry;
  int key = 1;
  int mouse_state = 1;
  CaptureState& capture;
  bool& layout_loaded;  // set once the dialog saved into the table
  const TextCodec& codec;
};

class KeyAssignment {
 public:
  static constexpr int kSlots = kMaxSteps;

  // Builds the strip from the table entry.
  KeyAssignment(const AssignKeyRequest& request, AssignKeyPlatform& platform);
  KeyAssignment(const KeyAssignment&) = delete;
  KeyAssignment& operator=(const KeyAssignment&) = delete;
  ~KeyAssignment() = default;

  std::u16string Caption() const;
  const std::u16string& Label() const { return request_.entry.label; }
  // The mode can be switched only for the page without a mouse button held.
  bool ModeButtonShown() const { return request_.mouse_state == 1; }
  // Offers the other mode: "分割" while joined, "結合" while split.
  std::u16string_view ModeCaption() const;
  bool Split() const { return split_; }
  const Slot& SlotAt(int s) const { return slots_[Index(s)]; }  // 1..60
  const ScrollBar& Scroll() const { return scroll_; }
  int StepCount() const { return count_; }
  bool Closed() const { return closed_; }

  // The buttons.
  void AddText();                        // "ﾃｷｽﾄ"
  void SwitchMode();                     // "分割" / "結合"
  void Clear();                          // "新規"
  void Save(std::u16string_view label);  // "保存": into the table, and closes
  void Back();                           // "戻る"
  void CloseBox();                       // the close box: as "戻る", still armed
  void EditText(int s);                  // a click on slot s
  void ScrollTo(StripTwips value);       // the scroll bar moved

  // Capture. KeyDown and KeyUp say whether the key was taken (the field must not
  // process it).
  bool KeyDown(int code, int shift_state);
  bool KeyUp(int code);
  void TabCaught();  // the focus reached the catcher after the capture field
  void MouseDown(MouseButton button, int shift_state);
  // A button released: the click of the press on the background it ends, if any.
  void MouseUp(MouseButton button);
  void LabelClick();

 private:
  struct StepRecord {
    bool text = false;
    std::u16string full_text;
  };

  static std::size_t Index(int s) {
    return static_cast<std::size_t>(s >= 1 && s <= kSlots ? s - 1 : 0);
  }
  // Adds `caption` as the next step's slot; refuses the 61st step.
  bool Append(std::u16string_view caption);
  StripTwips Width(std::u16string_view caption) const;
  void ShiftStrip(StripTwips by);
  void ClearStrip();
  void LineUpSlots(StripTwips from);
  void Paint(SlotColour colour);
  void Refuse(const Refusal& refusal);
  // The text input dialog until it hands back a text the layout file can hold, or
  // nothing.
  std::optional<std::u16string> AskStorableText(std::u16string text);

  AssignKeyRequest request_;
  AssignKeyPlatform& platform_;
  std::array<Slot, kSlots> slots_;
  std::array<StepRecord, kSlots> records_;
  ScrollBar scroll_;
  int count_ = 0;
  StripTwips edge_ = 0;    // where the next slot begins
  StripTwips width_ = 0;   // width of the last slot placed
  StripTwips length_ = 0;  // every slot with its gap, however scrolled
  bool split_ = false;
  bool closed_ = false;
  std::optional<MouseButton> pressed_;  // on the background, its release still to come
};

}  // namespace vantrel::editor
