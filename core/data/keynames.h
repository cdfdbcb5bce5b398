// Key names of a key step and the codes playback sends for them. The names are the
// ones the key-assignment dialog writes; they are matched whole and exactly (case,
// width and the half-width katakana of "ﾃﾝｷｰ" included).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vantrel {

struct KeyName {
  enum class Kind { kNone, kKey, kClick };
  Kind kind = Kind::kNone;
  std::uint8_t vk_code = 0;      // kKey: the virtual-key code
  std::uint32_t mouse_down = 0;  // kClick: mouse_event flags that press the button
  std::uint32_t mouse_up = 0;    // kClick: mouse_event flags that release it
};

// The lookup of one token of a key-step body. A token in no table (or an empty
// one) yields kind kNone and no code.
KeyName LookUpKeyName(std::u16string_view token);

// Every key name with its virtual-key code, in table order (the click names are
// not in it). One row per name; several names never share a code.
struct KeyNameRow {
  std::u16string_view name;
  std::uint8_t code;
};
std::span<const KeyNameRow> KeyNameTable();

}  // namespace vantrel
