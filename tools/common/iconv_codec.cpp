#include "tools/common/iconv_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace vantrel {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// One iconv descriptor per conversion call: cheap enough for line-sized input and
// free of shared state, so the codec can be used from any thread.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts as much as possible; returns false at an invalid or incomplete
  // sequence, with in/left pointing at it.
  bool Run(const char*& in, size_t& in_left, std::string& out) {
    char buf[1024];
    while (in_left > 0) {
      char* o = buf;
      size_t o_left = sizeof buf;
      size_t r = iconv(cd_, const_cast<char**>(&in), &in_left, &o, &o_left);
      out.append(buf, static_cast<size_t>(o - buf));
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return false;
      }
    }
    return true;
  }

 private:
  iconv_t cd_;
};

std::u16string Utf16FromBytes(const std::string& le) {
  std::u16string s(le.size() / 2, u'\0');
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<char16_t>(static_cast<unsigned char>(le[2 * i]) |
                                 (static_cast<unsigned char>(le[2 * i + 1]) << 8));
  return s;
}

std::string BytesFromUtf16(std::u16string_view s) {
  std::string le(s.size() * 2, '\0');
  for (size_t i = 0; i < s.size(); ++i) {
    le[2 * i] = static_cast<char>(s[i] & 0xFF);
    le[2 * i + 1] = static_cast<char>(s[i] >> 8);
  }
  return le;
}

// Converts to UTF-16; a byte that starts no valid sequence becomes U+FFFD and the
// conversion goes on after it.
std::u16string DecodeToUtf16(const char* from, std::string_view bytes) {
  Iconv cv("UTF-16LE", from);
  std::u16string result;
  const char* in = bytes.data();
  size_t left = bytes.size();
  std::string chunk;
  while (true) {
    chunk.clear();
    bool ok = cv.Run(in, left, chunk);
    result += Utf16FromBytes(chunk);
    if (ok) break;
    result += kReplacement;
    ++in;
    --left;
  }
  return result;
}

}  // namespace

std::u16string IconvCodec::Decode(std::string_view cp932) const {
  return DecodeToUtf16("CP932", cp932);
}

std::string IconvCodec::Encode(std::u16string_view text) const {
  Iconv cv("CP932", "UTF-16LE");
  std::string le = BytesFromUtf16(text);
  std::string result;
  const char* in = le.data();
  size_t left = le.size();
  while (true) {
    bool ok = cv.Run(in, left, result);
    if (ok) break;
    result += '?';  // no code page 932 form: one "?" per UTF-16 unit
    in += 2;
    left = left >= 2 ? left - 2 : 0;
  }
  return result;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  return DecodeToUtf16("UTF-8", text);
}

}  // namespace vantrel
