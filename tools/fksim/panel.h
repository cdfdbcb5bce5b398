// The interactive face: a terminal panel laid out like the device, its lamps and the
// last frames; a typed line is a key number, a shortcut or a script command.
#pragma once

#include <string>
#include <vector>

#include "tools/fksim/script.h"

namespace vantrel::fksim {

enum class Style { kColour, kInverse, kPlain };

// By TERM and NO_COLOR.
Style PickStyle();

class Panel {
 public:
  Panel(Simulator& sim, Script& script, Style style) : sim_(sim), script_(script), style_(style) {}
  void Draw();
  // Handles one typed line; false to quit.
  bool Handle(const std::string& line);

 private:
  std::string Cell(int key, bool lit) const;
  std::string Seconds(std::int64_t t_us) const;

  Simulator& sim_;
  Script& script_;
  Style style_;
  bool hex_view_ = false;
  std::vector<std::string> status_;
};

}  // namespace vantrel::fksim
