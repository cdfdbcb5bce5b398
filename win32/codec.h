// Code page 932 on Windows, whatever the system's own ANSI code page is.
#pragma once

#include "core/data/text.h"

namespace vantrel::win32 {

// MultiByteToWideChar/WideCharToMultiByte with code page 932. An invalid byte
// sequence becomes the system's default character (no error flag is passed, so the
// conversion never stops); a character with no code page 932 form becomes "?".
class Cp932Codec final : public TextCodec {
 public:
  std::u16string Decode(std::string_view cp932) const override;
  std::string Encode(std::u16string_view text) const override;
  std::bitset<256> LeadBytes() const override;
};

// UTF-16 as the program keeps it <-> wide strings for the W calls (same bits).
std::wstring ToWide(std::u16string_view text);
std::u16string FromWide(std::wstring_view text);

}  // namespace vantrel::win32
