// The assignment table: the one in-memory copy of the current layout that
// playback, the editor and the print-out all work on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace vantrel {

inline constexpr int kMouseStates = 4;  // 1 none, 2 left, 3 middle, 4 right button held
inline constexpr int kKeys = 32;
inline constexpr int kMaxSteps = 60;

inline constexpr std::u16string_view kModeJoined = u"結合";
inline constexpr std::u16string_view kModeSplit = u"分割";
inline constexpr char16_t kKeyStepMarker = u'#';
inline constexpr char16_t kTextStepMarker = u'*';

// The markers or the bodies of one entry's steps, indexed like an array of
// kMaxSteps + 1 strings. A table holds 20,000 of these strings and every layout
// read starts by clearing it, so each array remembers how far the strings handed
// out for change reach and Clear empties only those: every way to change a string
// (the non-const operator[], fill, the constructor) moves that mark, and nothing
// past it can hold text. A string reference taken before a Clear must not be
// written through after it.
class StepStrings {
 public:
  static constexpr std::size_t kSize = kMaxSteps + 1;

  StepStrings() = default;
  // Strings from index 0 on, as an array's initialiser would give them.
  StepStrings(std::initializer_list<std::u16string> strings);

  std::u16string& operator[](std::size_t s) {
    if (s >= reach_) reach_ = static_cast<std::uint8_t>(s + 1);
    return strings_[s];
  }
  const std::u16string& operator[](std::size_t s) const { return strings_[s]; }
  void fill(const std::u16string& value) {
    strings_.fill(value);
    reach_ = kSize;
  }
  // Read-only walks; changing goes through operator[] so the mark sees it.
  auto begin() const { return strings_.begin(); }
  auto end() const { return strings_.end(); }
  static constexpr std::size_t size() { return kSize; }

  void Clear();

  // Content only: the mark says where text may be, not what the steps are.
  friend bool operator==(const StepStrings& a, const StepStrings& b) {
    return a.strings_ == b.strings_;
  }

 private:
  std::uint8_t reach_ = 0;  // strings_[reach_..] are all empty
  std::array<std::u16string, kSize> strings_{};
};

// One (mouse state, key) entry. Index 0 of the steps is unused, as in the stored form.
struct KeyEntry {
  std::u16string label;
  std::int16_t count = 0;
  std::u16string mode;  // "結合" or "分割" (or whatever a file held)
  StepStrings marker;   // marker[s], s = 1..60
  StepStrings body;     // body[s], s = 1..60

  friend bool operator==(const KeyEntry&, const KeyEntry&) = default;
};

class AssignmentTable {
 public:
  // Entries (1..4, 1..32) are live; index 0 of either dimension is never used.
  // Out-of-range indices are a programming error and are clamped to entry (0, 0).
  KeyEntry& Entry(int mouse, int key) { return entries_[Index(mouse, key)]; }
  const KeyEntry& Entry(int mouse, int key) const { return entries_[Index(mouse, key)]; }

  // Clearing a layout: labels empty, counts 0, markers and bodies empty. The mode
  // is left as it was; with a count of 0 nothing reads it. Costs what the steps
  // written since the last Clear reach, not the whole table.
  void Clear();

  friend bool operator==(const AssignmentTable&, const AssignmentTable&) = default;

 private:
  static int Index(int mouse, int key) {
    if (mouse < 0 || mouse > kMouseStates || key < 0 || key > kKeys) return 0;
    return mouse * (kKeys + 1) + key;
  }
  std::array<KeyEntry, std::size_t{kMouseStates + 1} * (kKeys + 1)> entries_{};
};

}  // namespace vantrel
