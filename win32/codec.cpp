#include "win32/codec.h"

#include <windows.h>

#include <algorithm>

namespace vantrel::win32 {
namespace {

constexpr UINT kCp932 = 932;
// The conversion calls take int lengths; longer input goes in pieces.
constexpr std::size_t kPiece = 1u << 24;

// Length of a piece of at most kPiece bytes that does not split a double-byte
// character (walks lead bytes from the start of the piece).
std::size_t PieceLength(std::string_view bytes) {
  if (bytes.size() <= kPiece) return bytes.size();
  std::size_t i = 0;
  while (i < kPiece) {
    const bool lead = IsDBCSLeadByteEx(kCp932, static_cast<BYTE>(bytes[i])) != 0;
    if (lead && i + 2 > kPiece) break;
    i += lead ? 2 : 1;
  }
  return i;
}

}  // namespace

std::u16string Cp932Codec::Decode(std::string_view cp932) const {
  std::u16string out;
  while (!cp932.empty()) {
    const std::size_t n = PieceLength(cp932);
    const int in_len = static_cast<int>(n);
    const int need = MultiByteToWideChar(kCp932, 0, cp932.data(), in_len, nullptr, 0);
    if (need > 0) {
      const std::size_t at = out.size();
      out.resize(at + static_cast<std::size_t>(need));
      const int got = MultiByteToWideChar(kCp932, 0, cp932.data(), in_len,
                                          reinterpret_cast<wchar_t*>(out.data() + at), need);
      out.resize(at + static_cast<std::size_t>(std::max(got, 0)));
    }
    cp932.remove_prefix(n);
  }
  return out;
}

std::string Cp932Codec::Encode(std::u16string_view text) const {
  std::string out;
  while (!text.empty()) {
    std::size_t n = std::min(text.size(), kPiece);
    // Keep a surrogate pair together.
    if (n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    const auto* in = reinterpret_cast<const wchar_t*>(text.data());
    const int in_len = static_cast<int>(n);
    // No best-fit: a character without a code page 932 form is "?", not a look-alike.
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int need = WideCharToMultiByte(kCp932, flags, in, in_len, nullptr, 0, "?", nullptr);
    if (need > 0) {
      const std::size_t at = out.size();
      out.resize(at + static_cast<std::size_t>(need));
      const int got =
          WideCharToMultiByte(kCp932, flags, in, in_len, out.data() + at, need, "?", nullptr);
      out.resize(at + static_cast<std::size_t>(std::max(got, 0)));
    }
    text.remove_prefix(n);
  }
  return out;
}

std::bitset<256> Cp932Codec::LeadBytes() const {
  static const std::bitset<256> lead = [] {
    std::bitset<256> bytes;
    for (std::size_t b = 0; b < bytes.size(); ++b)
      bytes[b] = IsDBCSLeadByteEx(kCp932, static_cast<BYTE>(b)) != 0;
    return bytes;
  }();
  return lead;
}

std::wstring ToWide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string FromWide(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

}  // namespace vantrel::win32
