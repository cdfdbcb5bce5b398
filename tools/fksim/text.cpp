#include "tools/fksim/text.h"

#include <algorithm>
#include <charconv>

namespace vantrel::fksim {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool NameMatches(std::string_view name, std::string_view alternative) {
  if (name.empty()) return false;
  bool prefix = !alternative.empty() && alternative.back() == '*';
  if (prefix) alternative.remove_suffix(1);
  std::size_t length = alternative.size();
  if (prefix ? name.size() < length : name.size() != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    char want = alternative[i] == '_' ? ' ' : alternative[i];
    if (name[i] != want) return false;
  }
  return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text) {
  std::vector<std::uint8_t> out;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == ',') {
      if (high >= 0) return std::nullopt;  // a lone digit: "1 B" is not a byte
      continue;
    }
    int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    if (high < 0) {
      high = d;
    } else {
      out.push_back(static_cast<std::uint8_t>(high << 4 | d));
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return out;
}

std::string ToHex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::optional<std::int64_t> ParseInt(std::string_view text, std::int64_t lo, std::int64_t hi) {
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) {
    return std::nullopt;
  }
  return value;
}

bool FrameMatches(const Frame& frame, std::string_view pattern) {
  while (true) {
    std::size_t bar = pattern.find('|');
    std::string_view alternative = pattern.substr(0, bar);
    if (!alternative.empty() &&
        (NameMatches(frame.name, alternative) || NameMatches(frame.alias, alternative))) {
      return true;
    }
    if (bar == std::string_view::npos) return false;
    pattern.remove_prefix(bar + 1);
  }
}

std::int64_t Percentile(std::vector<std::int64_t>& values, int p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  std::size_t rank = (values.size() * static_cast<std::size_t>(p) + 99) / 100;
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
    std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

}  // namespace vantrel::fksim
