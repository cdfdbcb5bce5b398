// Text crosses into the program as Shift-JIS (code page 932) and is Unicode inside.
// Every character of code page 932 lies in the Basic Multilingual Plane, so one
// char16_t is one character: positions in a decoded line are character positions.
#pragma once

#include <bitset>
#include <string>
#include <string_view>

namespace vantrel {

// A number in decimal digits ("-120"), for texts and file lines.
inline std::u16string Decimal(long long n) {
  std::u16string out;
  for (char c : std::to_string(n)) out.push_back(static_cast<char16_t>(c));
  return out;
}

// Converts between code page 932 bytes and UTF-16. Implemented by the platform:
// MultiByteToWideChar/WideCharToMultiByte on Windows, iconv("CP932") natively.
//
// Invalid input never stops a conversion: a byte sequence that is not valid
// code page 932 becomes one replacement character per offending byte (U+FFFD
// natively, the system's default character on Windows), and a character with
// no code page 932 form is written as "?".
class TextCodec {
 public:
  virtual ~TextCodec() = default;
  virtual std::u16string Decode(std::string_view cp932) const = 0;
  virtual std::string Encode(std::u16string_view text) const = 0;
  // The bytes that begin a double-byte character (IsDBCSLeadByteEx on Windows). The
  // readers find where the characters of a damaged line begin with them, whatever a
  // decoder makes of the damage.
  virtual std::bitset<256> LeadBytes() const = 0;
};

}  // namespace vantrel
