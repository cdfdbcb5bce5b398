#include "core/editor/assign.h"

#include <algorithm>

#include "core/data/keynames.h"
#include "core/editor/editor.h"
#include "core/editor/printout.h"

namespace vantrel::editor {
namespace {

constexpr std::u16string_view kOperationError = u"操作エラー";
constexpr std::u16string_view kOverCapacity = u"容量オーバー";
constexpr std::u16string_view kClickError = u"マウス クリック プラス設定エラー";

Refusal NotTextStep() {
  return {kOperationError, OkBoxText(u"[ テキスト ] データで無いので編集はできません")};
}
// Also what a key or click recorded in split mode gets.
Refusal NoModifiersInSplitMode() {
  return {kOperationError, OkBoxText(u"[ 分割 ]モードでは{Shift]+,{Ctrl}+,{Alt}+は使用できません")};
}
Refusal NoTextInSplitMode() {
  return {kOperationError, OkBoxText(u"[ 分割 ]モードでは漢字入力はできません")};
}
Refusal TooManySteps() {
  return {kOverCapacity, OkBoxText(u"キーの数が60を超えました。")};
}
Refusal ButtonAlreadyHeld(MouseButton button) {
  constexpr std::u16string_view kNames[] = {u"左", u"右", u"中央"};
  return {kClickError, OkBoxText(u"マウスの" + std::u16string(kNames[static_cast<int>(button)]) +
                                 u"ボタンを押した状態での設定はできません。")};
}
// A comma ends a step in the layout file and a line break ends the record: a step
// holding either would come back as other steps.
Refusal Unstorable(std::u16string_view what) {
  return {kOperationError,
          OkBoxText(std::u16string(what) + u"はファイルに保存できないため使用できません")};
}

std::optional<Refusal> UnstorableText(std::u16string_view text) {
  if (text.find(u',') != std::u16string_view::npos) return Unstorable(u"テキストの「,」（カンマ）");
  if (text.find_first_of(u"\r\n") != std::u16string_view::npos)
    return Unstorable(u"テキストの改行");
  return std::nullopt;
}

bool IsModifier(int code) {
  return code == 16 || code == 17 || code == 18;
}

std::u16string_view BareModifier(int code) {
  constexpr std::u16string_view kNames[] = {u"Shift", u"Ctrl", u"Alt"};
  return kNames[code - 16];
}

}  // namespace

std::u16string_view ModifierPrefix(int shift_state) {
  const bool shift = shift_state & kShiftHeld, ctrl = shift_state & kCtrlHeld,
             alt = shift_state & kAltHeld;
  if (shift && ctrl && alt) return u"Shift+Ctrl+Alt+";
  if (shift && alt) return u"Shift+Alt+";
  if (shift && ctrl) return u"Shift+Ctrl+";
  if (ctrl && alt) return u"Ctrl+Alt+";
  if (shift) return u"Shift+";
  if (ctrl) return u"Ctrl+";
  if (alt) return u"Alt+";
  return u"";
}

std::u16string_view CapturedKeyName(int code) {
  // Letters, digits, keypad digits and F1..F24 come from the playback table; it has
  // one row per name, so the codes that share a name are added here.
  switch (code) {
    case 1:
      return u"LeftClick";
    case 2:
      return u"RightClick";
    case 4:
      return u"MiddleClick";
    case 20:
      return u"CapsLock";
    case 92:
      return u"Windos";
    case 226:
      return u"\\";
    case 16:
    case 17:
    case 18:
      return u"";
    default:
      break;
  }
  for (const KeyNameRow& row : KeyNameTable()) {
    if (row.code == code) return row.name;
  }
  return u"";
}

KeyAssignment::KeyAssignment(const AssignKeyRequest& request, AssignKeyPlatform& platform)
    : request_(request), platform_(platform) {
  // The design places every slot off the client area until it holds a step.
  LineUpSlots(6240);
  const KeyEntry& entry = request_.entry;
  const int steps = std::clamp<int>(entry.count, 0, kSlots);
  if (steps > 0 && entry.mode != kModeJoined) {
    split_ = true;
    Paint(SlotColour::kLightGreen);
  }
  for (int s = 1; s <= steps; ++s) {
    std::u16string_view body = entry.body[s];
    if (entry.marker[s] != std::u16string_view(&kKeyStepMarker, 1)) {
      records_[Index(s)] = {true, std::u16string(body)};
      slots_[Index(s)].colour = SlotColour::kYellow;
      body = body.substr(0, 5);
    }
    Append(body);
  }
}

std::u16string KeyAssignment::Caption() const {
  return AssignKeyCaption(request_.key, request_.mouse_state);
}

std::u16string_view KeyAssignment::ModeCaption() const {
  return split_ ? kModeJoined : kModeSplit;
}

StripTwips KeyAssignment::Width(std::u16string_view caption) const {
  StripTwips width = 150;
  for (char16_t c : caption) {
    width += request_.codec.Encode(std::u16string_view(&c, 1)).size() >= 2 ? 200 : 100;
  }
  return width;
}

bool KeyAssignment::Append(std::u16string_view caption) {
  if (count_ >= kSlots) {
    Refuse(TooManySteps());
    return false;
  }
  Slot& slot = slots_[Index(++count_)];
  width_ = Width(caption);
  length_ += kSlotGap + width_;
  slot.left = edge_;
  slot.top = kSlotTop;
  slot.width = width_;
  slot.caption = caption;
  edge_ += kSlotGap + width_;
  if (edge_ >= kStripView) {
    // The strip's end stays in view; the thumb goes with it.
    scroll_ = {0, length_ - (kStripView + kSlotGap), length_ - (kStripView + kSlotGap)};
    ShiftStrip(edge_ - kStripView);
  }
  return true;
}

void KeyAssignment::ShiftStrip(StripTwips by) {
  for (int s = 1; s <= count_; ++s) slots_[Index(s)].left -= by;
  edge_ -= by;
}

void KeyAssignment::ScrollTo(StripTwips value) {
  if (closed_) return;
  scroll_.value = std::clamp(value, scroll_.minimum, scroll_.maximum);
  if (count_ > 0 && edge_ + width_ >= kStripView) ShiftStrip(scroll_.value + slots_[0].left);
}

void KeyAssignment::LineUpSlots(StripTwips from) {
  for (int s = 1; s <= kSlots; ++s) {
    const StripTwips column = (s - 1) % 30;
    slots_[Index(s)] = {from + 360 * column, s <= 30 ? kSlotTop : 840, 375, Decimal(s),
                        slots_[Index(s)].colour};
  }
}

void KeyAssignment::Paint(SlotColour colour) {
  for (Slot& slot : slots_) slot.colour = colour;
}

void KeyAssignment::ClearStrip() {
  CaptureState& capture = request_.capture;
  capture.mouse_armed = false;
  capture.modifier_pending = false;
  edge_ = width_ = length_ = 0;
  count_ = 0;
  scroll_ = {};
  LineUpSlots(6000);
  Paint(SlotColour::kButtonFace);
  records_ = {};
  split_ = false;
}

void KeyAssignment::Refuse(const Refusal& refusal) {
  // The box takes the release of a press that raised it; a later release is no click.
  pressed_.reset();
  platform_.Refuse(refusal);
}

std::optional<std::u16string> KeyAssignment::AskStorableText(std::u16string text) {
  for (;;) {
    std::optional<std::u16string> got = platform_.AskText(text);
    if (!got || closed_) return std::nullopt;
    const std::optional<Refusal> refusal = UnstorableText(*got);
    if (!refusal) return got;
    // Back to the text, for the user to correct.
    Refuse(*refusal);
    text = std::move(*got);
  }
}

void KeyAssignment::AddText() {
  if (closed_) return;
  if (split_) return Refuse(NoTextInSplitMode());
  if (count_ >= kSlots) return Refuse(TooManySteps());
  request_.capture.mouse_armed = false;
  const std::optional<std::u16string> text = AskStorableText(u"");
  if (!text) return;
  const int s = count_ + 1;
  records_[Index(s)] = {true, *text};
  slots_[Index(s)].colour = SlotColour::kYellow;
  Append(std::u16string_view(*text).substr(0, 5));
}

void KeyAssignment::EditText(int s) {
  if (closed_ || s < 1 || s > kSlots) return;
  if (!records_[Index(s)].text) return Refuse(NotTextStep());
  request_.capture.mouse_armed = false;
  const std::size_t shown = slots_[Index(s)].caption.size();
  const std::optional<std::u16string> text = AskStorableText(records_[Index(s)].full_text);
  if (!text) return;
  records_[Index(s)].full_text = *text;
  slots_[Index(s)].caption = text->substr(0, shown);
}

void KeyAssignment::SwitchMode() {
  if (closed_) return;
  if (split_) {
    Paint(SlotColour::kButtonFace);
    split_ = false;
    return;
  }
  for (int s = 1; s <= count_; ++s) {
    if (records_[Index(s)].text || slots_[Index(s)].caption.find(u'+') != std::u16string::npos) {
      return Refuse(NoModifiersInSplitMode());
    }
  }
  Paint(SlotColour::kLightGreen);
  split_ = true;
}

void KeyAssignment::Clear() {
  if (closed_) return;
  ClearStrip();
  platform_.FocusCaptureField();
}

void KeyAssignment::Save(std::u16string_view label) {
  if (closed_) return;
  KeyEntry& entry = request_.entry;
  entry.label = label;
  entry.count = static_cast<std::int16_t>(count_);
  entry.mode = split_ ? kModeSplit : kModeJoined;
  for (int s = 1; s <= count_; ++s) {
    const StepRecord& record = records_[Index(s)];
    entry.marker[s] = record.text ? kTextStepMarker : kKeyStepMarker;
    entry.body[s] = record.text ? record.full_text : slots_[Index(s)].caption;
  }
  request_.layout_loaded = true;
  Back();
}

void KeyAssignment::Back() {
  if (closed_) return;
  request_.capture.mouse_armed = false;
  CloseBox();
}

void KeyAssignment::CloseBox() {
  if (closed_) return;
  closed_ = true;
  platform_.CloseDialog();
}

bool KeyAssignment::KeyDown(int code, int shift_state) {
  if (closed_) return false;
  // Before anything else, even while capture is off and for a lone modifier.
  if (count_ >= kSlots) {
    Refuse(TooManySteps());
    return false;
  }
  CaptureState& capture = request_.capture;
  if (capture.capture_switch == CaptureSwitch::kOff) return false;
  if (IsModifier(code)) {
    capture.modifier_pending = true;
    return false;
  }
  const std::u16string_view name = CapturedKeyName(code);
  if (name.empty()) return false;
  const std::u16string_view prefix = ModifierPrefix(shift_state);
  if (!prefix.empty()) capture.modifier_pending = false;
  if (split_) {
    Refuse(NoModifiersInSplitMode());
    return false;
  }
  if (name == u",") {
    Refuse(Unstorable(u"「,」キー"));
    return true;
  }
  return Append(std::u16string(prefix) + std::u16string(name));
}

bool KeyAssignment::KeyUp(int code) {
  CaptureState& capture = request_.capture;
  if (closed_ || !capture.modifier_pending || !IsModifier(code)) return false;
  capture.modifier_pending = false;
  Append(BareModifier(code));
  return true;
}

void KeyAssignment::TabCaught() {
  if (closed_) return;
  // Off the catcher before a refusal's box: the focus coming back to it afterwards
  // would record Tab again, and again.
  platform_.FocusCaptureField();
  Append(u"Tab");
}

void KeyAssignment::MouseDown(MouseButton button, int shift_state) {
  if (closed_) return;
  pressed_ = button;
  platform_.FocusCaptureField();
  CaptureState& capture = request_.capture;
  if (!capture.mouse_armed) {
    capture.mouse_armed = true;
    return;
  }
  constexpr int kHeldBy[] = {2, 4, 3};  // the page whose button it is
  constexpr std::u16string_view kNames[] = {u"LeftClick", u"RightClick", u"MiddleClick"};
  const int b = static_cast<int>(button);
  if (request_.mouse_state == kHeldBy[b]) return Refuse(ButtonAlreadyHeld(button));
  const std::u16string_view prefix = ModifierPrefix(shift_state);
  if (!prefix.empty()) capture.modifier_pending = false;
  if (split_) return Refuse(NoModifiersInSplitMode());
  if (Append(std::u16string(prefix) + std::u16string(kNames[b]))) platform_.FocusCaptureField();
}

void KeyAssignment::MouseUp(MouseButton button) {
  if (closed_ || pressed_ != button) return;
  pressed_.reset();
  request_.capture.capture_switch = CaptureSwitch::kOn;
  platform_.EmptyCaptureField();
}

void KeyAssignment::LabelClick() {
  if (closed_) return;
  request_.capture.capture_switch = CaptureSwitch::kOff;
  request_.capture.mouse_armed = false;
  platform_.EmptyCaptureField();
}

}  // namespace vantrel::editor
