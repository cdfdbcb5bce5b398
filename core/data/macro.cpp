#include "core/data/macro.h"

#include <algorithm>

namespace vantrel {

MacroReadResult ReadMacroLine(std::u16string_view line, KeyEntry& entry) {
  MacroReadResult result;
  if (line.empty()) return result;

  entry.mode.assign(line.substr(0, 2));
  // Step 1 exists as soon as the line does, even when the line ends before its
  // marker (a line holding only a mode gives step 1 an empty marker and body).
  int step = 1;
  entry.marker[1].assign(line.size() > 3 ? line.substr(3, 1) : std::u16string_view{});
  size_t body_start = std::min<size_t>(4, line.size());
  while (true) {
    const size_t comma = line.find(u',', body_start);
    const size_t body_end = comma == std::u16string_view::npos ? line.size() : comma;
    entry.body[static_cast<size_t>(step)].assign(line.substr(body_start, body_end - body_start));
    if (comma == std::u16string_view::npos) break;
    if (step == kMaxSteps) {
      result.steps = step;
      result.ok = false;  // the next marker has no place in the table
      return result;
    }
    ++step;
    // The character after the comma is the marker, whatever it is (a comma too).
    const size_t marker_pos = comma + 1;
    entry.marker[static_cast<size_t>(step)].assign(
        marker_pos < line.size() ? line.substr(marker_pos, 1) : std::u16string_view{});
    body_start = std::min(marker_pos + 1, line.size());
  }
  result.steps = step;
  return result;
}

void AppendMacroLine(const KeyEntry& entry, std::u16string& out) {
  out += entry.mode;
  const int last = std::min<int>(entry.count, kMaxSteps);
  for (int s = 1; s <= last; ++s) {
    const auto i = static_cast<size_t>(s);
    if (entry.body[i].empty()) break;
    out += u',';
    out += entry.marker[i];
    out += entry.body[i];
  }
}

std::u16string WriteMacroLine(const KeyEntry& entry) {
  std::u16string out;
  AppendMacroLine(entry, out);
  return out;
}

}  // namespace vantrel
