// The assignment table: the one in-memory copy of the current layout that
// playback, the editor and the print-out all work on.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vantrel {

inline constexpr int kMouseStates = 4;  // 1 none, 2 left, 3 middle, 4 right button held
inline constexpr int kKeys = 32;
inline constexpr int kMaxSteps = 60;

inline constexpr std::u16string_view kModeJoined = u"結合";
inline constexpr std::u16string_view kModeSplit = u"分割";
inline constexpr char16_t kKeyStepMarker = u'#';
inline constexpr char16_t kTextStepMarker = u'*';

// One (mouse state, key) entry. Index 0 of the steps is unused, as in the stored form.
struct KeyEntry {
  std::u16string label;
  std::int16_t count = 0;
  std::u16string mode;  // "結合" or "分割" (or whatever a file held)
  std::array<std::u16string, kMaxSteps + 1> marker;  // marker[s], s = 1..60
  std::array<std::u16string, kMaxSteps + 1> body;    // body[s], s = 1..60

  friend bool operator==(const KeyEntry&, const KeyEntry&) = default;
};

class AssignmentTable {
 public:
  // Entries (1..4, 1..32) are live; index 0 of either dimension is never used.
  // Out-of-range indices are a programming error and are clamped to entry (0, 0).
  KeyEntry& Entry(int mouse, int key) { return entries_[Index(mouse, key)]; }
  const KeyEntry& Entry(int mouse, int key) const { return entries_[Index(mouse, key)]; }

  // Clearing a layout: labels empty, counts 0, markers and bodies empty. The mode
  // is left as it was; with a count of 0 nothing reads it.
  void Clear();

  friend bool operator==(const AssignmentTable&, const AssignmentTable&) = default;

 private:
  static int Index(int mouse, int key) {
    if (mouse < 0 || mouse > kMouseStates || key < 0 || key > kKeys) return 0;
    return mouse * (kKeys + 1) + key;
  }
  std::array<KeyEntry, (kMouseStates + 1) * (kKeys + 1)> entries_{};
};

}  // namespace vantrel
