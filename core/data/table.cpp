#include "core/data/table.h"

namespace vantrel {

std::u16string& AssignmentTable::StepData(int m, int k, int field, int step) {
  KeyEntry& e = Entry(m, k);
  if (step < 0 || step > kMaxSteps) return Scratch();
  if (field == 2) return step == 0 ? e.mode : e.body[static_cast<size_t>(step)];
  if (field == 1 && step > 0) return e.marker[static_cast<size_t>(step)];
  return Scratch();
}

const std::u16string& AssignmentTable::StepData(int m, int k, int field, int step) const {
  return const_cast<AssignmentTable*>(this)->StepData(m, k, field, step);
}

void AssignmentTable::Clear() {
  for (KeyEntry& e : entries_) {
    e.label.clear();
    e.count = 0;
    for (auto& s : e.marker) s.clear();
    for (auto& s : e.body) s.clear();
  }
}

}  // namespace vantrel
