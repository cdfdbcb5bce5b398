#include "tools/fksim/panel.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "tools/fksim/text.h"

namespace vantrel::fksim {

Style PickStyle() {
  const char* term = std::getenv("TERM");
  if (term == nullptr || std::string_view(term).empty() || std::string_view(term) == "dumb") {
    return Style::kPlain;
  }
  return std::getenv("NO_COLOR") != nullptr ? Style::kInverse : Style::kColour;
}

void Panel::Draw() {
  std::string s = "\x1b[H\x1b[2J";
  Lamps lamps = sim_.lamps();
  s += "fksim  model " + std::string(ModelName(sim_.model())) + "  line " + sim_.port().path() +
       "  lit " + std::to_string(std::popcount(lamps)) + "/32\r\n\r\n";
  static constexpr int kRows[][2] = {{1, 4}, {5, 10}, {11, 16}, {17, 22}, {23, 28}, {29, 32}};
  for (const auto& row : kRows) {
    int width = row[1] - row[0] + 1;
    s += std::string(2 + static_cast<std::size_t>((6 - width) * 5 / 2), ' ');
    for (int key = row[0]; key <= row[1]; ++key) s += Cell(key, (lamps & KeyBit(key)) != 0) + " ";
    s += "\r\n";
  }
  s += "\r\nframes:\r\n";
  const auto& frames = sim_.frames();
  for (std::size_t i = frames.end() - std::min<std::size_t>(frames.end() - frames.begin(), 5);
       i < frames.end(); ++i) {
    const Frame& f = frames.at(i);
    s += "  " + Seconds(f.t_us) + "  " + f.name + (f.alias.empty() ? "" : " / " + f.alias) + "\r\n";
  }
  if (hex_view_) {
    s += "received bytes:\r\n";
    const auto& chunks = sim_.chunks();
    for (std::size_t i = chunks.end() - std::min<std::size_t>(chunks.end() - chunks.begin(), 8);
         i < chunks.end(); ++i) {
      std::string hex = ToHex(chunks.at(i).bytes);
      std::string spaced;
      for (std::size_t j = 0; j < hex.size() && j < 2 * 24; j += 2)
        spaced += hex.substr(j, 2) + " ";
      if (hex.size() > 2 * 24) spaced += "...";
      s += "  " + Seconds(chunks.at(i).t_us) + "  " + spaced + "\r\n";
    }
  }
  s += "\r\nN+Enter: press key N   x: hex view   i: ident   q: quit   help: script commands\r\n";
  for (const std::string& l : status_) s += l + "\r\n";
  s += "> ";
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fflush(stdout);
}

bool Panel::Handle(const std::string& line) {
  std::vector<std::string_view> w = SplitWords(line);
  std::string reply;
  bool quit = false;
  if (w.size() == 1 && ParseInt(w[0], 1, kKeys)) {
    reply = script_.Execute("press " + std::string(w[0]), quit);
  } else if (w.size() == 1 && w[0] == "x") {
    hex_view_ = !hex_view_;
  } else if (w.size() == 1 && w[0] == "i") {
    reply = script_.Execute("ident", quit);
  } else if (w.size() == 1 && w[0] == "q") {
    return false;
  } else {
    reply = script_.Execute(line, quit);
  }
  status_.clear();
  std::size_t start = 0;
  while (start < reply.size() && status_.size() < 12) {
    std::size_t nl = reply.find('\n', start);
    status_.push_back(reply.substr(start, nl - start));
    start = nl == std::string::npos ? reply.size() : nl + 1;
  }
  return !quit;
}

std::string Panel::Cell(int key, bool lit) const {
  // Built by appending: GCC 12 at -O2 warns falsely (-Wrestrict) on "a" + string.
  std::string number = key < 10 ? " " : "";
  number += std::to_string(key);
  switch (style_) {
    case Style::kColour:
      return lit ? "\x1b[30;43m[" + number + "]\x1b[0m" : "[" + number + "]";
    case Style::kInverse:
      return lit ? "\x1b[7m[" + number + "]\x1b[0m" : "[" + number + "]";
    case Style::kPlain:
      break;
  }
  return lit ? "*" + number + "*" : "[" + number + "]";
}

std::string Panel::Seconds(std::int64_t t_us) const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%9.3fs", static_cast<double>(t_us - sim_.start()) / 1e6);
  return buf;
}

}  // namespace vantrel::fksim
