// Code page 932 through iconv, for the native build (tools and tests).
#pragma once

#include "core/data/text.h"

namespace vantrel {

class IconvCodec final : public TextCodec {
 public:
  std::u16string Decode(std::string_view cp932) const override;
  std::string Encode(std::u16string_view text) const override;
  std::bitset<256> LeadBytes() const override;
};

// UTF-16 <-> UTF-8 for terminals and paths on POSIX systems.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace vantrel
