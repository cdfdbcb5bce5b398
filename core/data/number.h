// Numbers as the data files hold them: the count line of a layout record and the
// numeric values of the settings file.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrel {

// The number a text begins with, as a 16-bit integer: leading blanks (space, tab)
// are skipped, then an optional sign, decimal digits and an optional fraction
// ("7", "-120", "1.5", ".5"); reading stops at the first character that cannot
// continue the number. The fraction is rounded to the nearest integer, halves to
// the even neighbour. A text that does not begin with a number gives 0.
// Returns nothing when the rounded value lies outside -32768..32767.
// Only plain decimals are numbers: "1e3" reads as 1, "&H10" as 0.
std::optional<std::int16_t> ParseLeadingInt16(std::u16string_view text);
// The same from code page 932 bytes: blanks, signs, digits and the point are single
// bytes, and reading stops at the first byte of anything else, so the bytes give what
// their decoded text would.
std::optional<std::int16_t> ParseLeadingInt16(std::string_view bytes);

}  // namespace vantrel
