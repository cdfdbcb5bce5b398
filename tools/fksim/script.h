// The scripted face: one command line in, one reply line (or block) out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/fksim/simulator.h"

namespace vantrel::fksim {

// What --help and the "help" command print.
extern const std::string_view kUsage;

class Script {
 public:
  explicit Script(Simulator& sim) : sim_(sim) {}
  // The reply to one line, "" for blank and comment lines; sets quit on "quit".
  std::string Execute(std::string_view line, bool& quit);

 private:
  // Index of the first frame at or after from that matches pattern, or end().
  std::size_t Find(std::size_t from, std::string_view pattern) const;
  // Waits for a frame matching pattern at index from or later; its index or end().
  std::size_t WaitFrame(std::size_t from, std::string_view pattern, std::int64_t deadline);
  std::string Roundtrip(const std::vector<std::string_view>& w);

  Simulator& sim_;
  std::size_t wait_cursor_ = 0;
  std::size_t list_cursor_ = 0;
  std::size_t bytes_cursor_ = 0;
};

}  // namespace vantrel::fksim
