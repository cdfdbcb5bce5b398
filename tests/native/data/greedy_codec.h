// Code page 932 read as the Windows decoder reads it at its worst: a lead byte takes
// the byte after it whatever that is (a CR, an LF or a comma too), and a pair that is
// no character gives one U+30FB, the system's default character. With breaks_only,
// only a CR, LF or comma is taken so; other damage decodes as iconv decodes it (one
// character a byte), so a line may come out as long as its characters are many.
#pragma once

#include <algorithm>

#include "tools/common/iconv_codec.h"

namespace vantrel::testing {

class GreedyCodec final : public TextCodec {
 public:
  explicit GreedyCodec(bool breaks_only = false) : breaks_only_(breaks_only) {}
  std::u16string Decode(std::string_view bytes) const override {
    const std::bitset<256> leads = iconv_.LeadBytes();
    std::u16string out;
    size_t done = 0;  // bytes[done, i) are left to iconv
    for (size_t i = 0; i < bytes.size();) {
      const bool lead = leads[static_cast<unsigned char>(bytes[i])];
      const char next = i + 1 < bytes.size() ? bytes[i + 1] : 'x';
      if (!lead || (breaks_only_ && next != '\r' && next != '\n' && next != ',')) {
        i += lead ? 2 : 1;
        continue;
      }
      const std::u16string pair = iconv_.Decode(bytes.substr(i, 2));
      out += iconv_.Decode(bytes.substr(done, i - done)) + (pair.size() == 1 ? pair : u"\u30FB");
      i = done = std::min(i + 2, bytes.size());
    }
    return out + iconv_.Decode(bytes.substr(done));
  }
  std::string Encode(std::u16string_view text) const override { return iconv_.Encode(text); }
  std::bitset<256> LeadBytes() const override { return iconv_.LeadBytes(); }

 private:
  bool breaks_only_;
  IconvCodec iconv_;
};

}  // namespace vantrel::testing
