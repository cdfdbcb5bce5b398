// Code page 932 read as the Windows decoder reads it at its worst: a lead byte takes
// the byte after it whatever that is (a CR, an LF or a comma too), and a pair that is
// no character gives one U+30FB, the system's default character.
#pragma once

#include <algorithm>

#include "tools/common/iconv_codec.h"

namespace vantrel::testing {

class GreedyCodec final : public TextCodec {
 public:
  std::u16string Decode(std::string_view bytes) const override {
    const std::bitset<256> lead = iconv_.LeadBytes();
    std::u16string out;
    size_t done = 0;
    for (size_t i = 0; i < bytes.size();) {
      if (!lead[static_cast<unsigned char>(bytes[i])]) {
        ++i;
        continue;
      }
      out += iconv_.Decode(bytes.substr(done, i - done));
      const std::u16string pair = iconv_.Decode(bytes.substr(i, 2));
      out += pair.size() == 1 ? pair[0] : u'\u30FB';
      i = done = std::min(i + 2, bytes.size());
    }
    return out + iconv_.Decode(bytes.substr(done));
  }
  std::string Encode(std::u16string_view text) const override { return iconv_.Encode(text); }
  std::bitset<256> LeadBytes() const override { return iconv_.LeadBytes(); }

 private:
  IconvCodec iconv_;
};

}  // namespace vantrel::testing
