#include "core/data/number.h"

namespace vantrel {
namespace {

template <typename Char>
bool IsDigit(Char c) {
  return c >= '0' && c <= '9';
}

template <typename Char>
std::optional<std::int16_t> Parse(std::basic_string_view<Char> text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';

  // The magnitude is kept exact: more than five significant digits cannot fit, so
  // the digits are only counted from then on and no overflow can occur.
  std::int32_t magnitude = 0;
  bool too_long = false;
  bool any_digit = false;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    any_digit = true;
    if (magnitude >= 10000) too_long = true;
    if (!too_long) magnitude = magnitude * 10 + (text[i] - '0');
  }

  int first_fraction_digit = 0;  // 0..9
  bool rest_nonzero = false;     // any non-zero digit after the first fraction digit
  if (i < text.size() && text[i] == '.') {
    ++i;
    bool first = true;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      any_digit = true;
      if (first) {
        first_fraction_digit = text[i] - '0';
        first = false;
      } else if (text[i] != '0') {
        rest_nonzero = true;
      }
    }
  }
  if (!any_digit) return std::int16_t{0};
  if (too_long) return std::nullopt;

  const bool round_up = first_fraction_digit > 5 ||
                        (first_fraction_digit == 5 && (rest_nonzero || magnitude % 2 == 1));
  if (round_up) ++magnitude;
  const std::int32_t value = negative ? -magnitude : magnitude;
  if (value < -32768 || value > 32767) return std::nullopt;
  return static_cast<std::int16_t>(value);
}

}  // namespace

std::optional<std::int16_t> ParseLeadingInt16(std::u16string_view text) {
  return Parse(text);
}

std::optional<std::int16_t> ParseLeadingInt16(std::string_view bytes) {
  return Parse(bytes);
}

}  // namespace vantrel
