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
    const std::bitset<256> lead = iconv_.LeadBytes();
    std::u16string out;
    size_t done = 0;
    for (size_t i = 0; i < bytes.size();) {
      const bool is_lead = lead[static_cast<unsigned char>(bytes[i])];
      const bool before_break =
          i + 1 < bytes.size() &&
          (bytes[i + 1] == '\r' || bytes[i + 1] == '\n' || bytes[i + 1] == ',');
      if (!is_lead || (breaks_only_ && !before_break)) {
        i += is_lead ? 2 : 1;  // left to iconv
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
  bool breaks_only_;
  IconvCodec iconv_;
};

}  // namespace vantrel::testing
