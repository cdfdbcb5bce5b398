// What the transcript tests share: a fake writes one line per event into a
// Transcript, and the test compares the lines taken since the last look.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <utility>

namespace vantrel::testing {

// "1B 13 94": bytes as the device documentation writes them.
inline std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  for (std::uint8_t b : bytes) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%s%02X", out.empty() ? "" : " ", b);
    out += buf;
  }
  return out;
}

struct Transcript {
  std::string text;
  void Add(const std::string& line) { text += line + "\n"; }
  std::string Take() { return std::exchange(text, {}); }
};

}  // namespace vantrel::testing
