#include "tools/common/iconv_codec.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace vantrel {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// An iconv descriptor kept per thread and direction: opening one costs more than
// converting a line, and the readers convert line by line.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // One iconv call; false (with the state reset and errno kept) at an invalid or
  // incomplete sequence, in then pointing at it.
  bool Convert(const char** in, size_t* in_left, char** out, size_t* out_left) {
    if (iconv(cd_, const_cast<char**>(in), in_left, out, out_left) != static_cast<size_t>(-1))
      return true;
    const int error = errno;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    errno = error;
    return false;
  }

  // Converts as much as possible; returns false at an invalid or incomplete
  // sequence, with in/in_left pointing at it. The state is reset either way.
  bool Run(const char*& in, size_t& in_left, std::string& out) {
    char buf[1024];
    bool ok = true;
    while (in_left > 0) {
      char* o = buf;
      size_t o_left = sizeof buf;
      size_t r = iconv(cd_, const_cast<char**>(&in), &in_left, &o, &o_left);
      out.append(buf, static_cast<size_t>(o - buf));
      if (r == static_cast<size_t>(-1) && errno != E2BIG) {
        ok = false;
        break;
      }
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return ok;
  }

 private:
  iconv_t cd_;
};

// Decodes through the platform's wchar_t (one code point; glibc converts to it in
// one step, to UTF-16 in two). A byte that starts no valid sequence becomes U+FFFD
// and the conversion goes on after it. Every input byte gives at most one code
// point, so the output never outgrows a buffer of the input's length.
std::u16string Decode(Iconv& cv, std::string_view bytes) {
  // Kept per thread: the readers decode line by line, and a fresh buffer each time
  // cost more than the conversion.
  thread_local std::wstring wide;
  if (wide.size() < bytes.size()) wide.resize(bytes.size());
  const char* in = bytes.data();
  size_t in_left = bytes.size();
  char* out = reinterpret_cast<char*>(wide.data());
  size_t out_left = bytes.size() * sizeof(wchar_t);
  while (in_left > 0) {
    if (cv.Convert(&in, &in_left, &out, &out_left)) continue;
    const wchar_t replacement = kReplacement;
    std::memcpy(out, &replacement, sizeof replacement);
    out += sizeof replacement;
    out_left -= sizeof replacement;
    ++in;
    --in_left;
  }
  const std::wstring_view decoded(wide.data(), bytes.size() - out_left / sizeof(wchar_t));

  // Code page 932 lies in the Basic Multilingual Plane: narrowed in one pass then.
  if (std::all_of(decoded.begin(), decoded.end(),
                  [](wchar_t w) { return static_cast<char32_t>(w) < 0x10000; }))
    return std::u16string(decoded.begin(), decoded.end());
  std::u16string result;
  result.reserve(decoded.size());
  for (const wchar_t w : decoded) {
    const auto c = static_cast<char32_t>(w);
    if (c < 0x10000) {
      result += static_cast<char16_t>(c);
    } else {
      result += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      result += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return result;
}

}  // namespace

std::u16string IconvCodec::Decode(std::string_view cp932) const {
  thread_local Iconv cv("WCHAR_T", "CP932");
  return vantrel::Decode(cv, cp932);
}

std::string IconvCodec::Encode(std::u16string_view text) const {
  thread_local Iconv cv("CP932", "WCHAR_T");
  // One wchar_t per UTF-16 unit: a lone or paired surrogate has no cp932 form
  // either way and becomes "?".
  std::string wide(text.size() * sizeof(wchar_t), '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t w = text[i];
    std::memcpy(wide.data() + i * sizeof(wchar_t), &w, sizeof w);
  }
  std::string result;
  const char* in = wide.data();
  size_t left = wide.size();
  while (!cv.Run(in, left, result)) {
    result += '?';  // no code page 932 form: one "?" per UTF-16 unit
    in += sizeof(wchar_t);
    left = left >= sizeof(wchar_t) ? left - sizeof(wchar_t) : 0;
  }
  return result;
}

std::bitset<256> IconvCodec::LeadBytes() const {
  // Alone, a lead byte is an incomplete sequence to iconv; any other byte converts or
  // is invalid.
  static const std::bitset<256> lead = [] {
    Iconv cv("WCHAR_T", "CP932");
    std::bitset<256> bytes;
    for (std::size_t b = 0; b < bytes.size(); ++b) {
      const char one = static_cast<char>(b);
      const char* in = &one;
      std::size_t in_left = 1;
      wchar_t w;
      char* out = reinterpret_cast<char*>(&w);
      std::size_t out_left = sizeof w;
      bytes[b] = !cv.Convert(&in, &in_left, &out, &out_left) && errno == EINVAL;
    }
    return bytes;
  }();
  return lead;
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
  thread_local Iconv cv("WCHAR_T", "UTF-8");
  return Decode(cv, text);
}

}  // namespace vantrel
