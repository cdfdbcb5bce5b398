#include "core/data/table.h"

namespace vantrel {

void AssignmentTable::Clear() {
  for (KeyEntry& e : entries_) {
    e.label.clear();
    e.count = 0;
    for (auto& s : e.marker) s.clear();
    for (auto& s : e.body) s.clear();
  }
}

}  // namespace vantrel
