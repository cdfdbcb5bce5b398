#include "core/data/table.h"

#include <algorithm>

namespace vantrel {

StepStrings::StepStrings(std::initializer_list<std::u16string> strings) {
  // More strings than steps is a programming error; the extra ones are dropped.
  const std::size_t n = std::min(strings.size(), kSize);
  std::copy_n(strings.begin(), n, strings_.begin());
  reach_ = static_cast<std::uint8_t>(n);
}

void StepStrings::Clear() {
  for (std::size_t s = 0; s < reach_; ++s) strings_[s].clear();
  reach_ = 0;
}

void AssignmentTable::Clear() {
  for (KeyEntry& e : entries_) {
    e.label.clear();
    e.count = 0;
    e.marker.Clear();
    e.body.Clear();
  }
}

}  // namespace vantrel
