// Small text helpers of the scripted face, kept apart so that tests reach them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/fksim/decoder.h"

namespace vantrel::fksim {

// "1B 21 1b22" -> 1B 21 1B 22. Blanks between bytes are optional; nullopt on any
// character that is not a hex digit or an odd count of digits.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text);
// Upper-case hex, no blanks: "1B21".
std::string ToHex(std::span<const std::uint8_t> bytes);
// A decimal integer in lo..hi, the whole token.
std::optional<std::int64_t> ParseInt(std::string_view text, std::int64_t lo, std::int64_t hi);

// Does the frame answer to pattern? The pattern is one or more alternatives joined by
// "|"; in each, "_" stands for a blank and a trailing "*" matches any rest. Both the
// frame's name and its alias are tried: "hold_5", "hold *", "refresh|release-reset".
bool FrameMatches(const Frame& frame, std::string_view pattern);

// Nearest-rank percentile (p in 0..100) of values, which it sorts; 0 when empty.
std::int64_t Percentile(std::vector<std::int64_t>& values, int p);

// Splits on blanks, dropping empty pieces.
std::vector<std::string_view> SplitWords(std::string_view text);

}  // namespace vantrel::fksim
