// The queue towards a line that stops draining: what is left, and in which order.
#include "core/device/write_queue.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace vantrel::device {
namespace {

// Operations "F600" (a frame of 600 bytes), "L29" (a lamp state), "R" (a reopen), "P"
// (one entry written to the line), in order; then everything popped. Entries popped
// are written the same way, a reopen as "+R" after its entry, and "!" when a push
// said that something was dropped.
std::string Queued(const std::string& ops) {
  WriteQueue q;
  std::istringstream in(ops);
  std::string out;
  const auto pop = [&] {
    const auto e = q.Pop();
    if (e) {
      out +=
          (e->bytes.empty() ? "" : (e->lamp_state ? "L" : "F") + std::to_string(e->bytes.size())) +
          (e->reopen ? "+R " : " ");
    }
    return e.has_value();
  };
  for (std::string op; in >> op;) {
    if (op == "P") {
      pop();
    } else if (op == "R") {
      q.Reopen();
    } else if (!q.Push(std::vector<std::uint8_t>(std::stoul(op.substr(1)), 0), op[0] == 'L')) {
      out += "! ";
    }
  }
  while (pop()) {
  }
  return out;
}

TEST(WriteQueue, ABackedUpLineDropsStaleLampStatesButNeverFramesOrTheirOrder) {
  const struct {
    const char* ops;
    const char* after;
  } rows[] = {
      {"F10 L29 F20 L29 R", "F10 L29 F20 L29+R "},      // not backed up: all kept
      {"F600 L29 F20 L29", "! F600 F20 L29 "},          // a later lamp state wins
      {"F600 L29 R L29", "! F600+R L29 "},              // its reopen moves forward
      {"L600 R F5 L29", "! +R F5 L29 "},                // first in line: the reopen stays
      {"F65000 F600 L29", "! F65000 L29 "},             // past the cap nothing more
      {"F600 F601 L29 F3", "F600 F601 L29 F3 "},        // frames never give way
      {"F65000 P L29 F20 L29", "F65000 L29 F20 L29 "},  // what went out no longer counts
  };
  for (const auto& r : rows) EXPECT_EQ(Queued(r.ops), r.after) << r.ops;
}

}  // namespace
}  // namespace vantrel::device
