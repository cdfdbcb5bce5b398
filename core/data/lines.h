// Splits a file into lines. Files are written with CR LF; a line ending in LF alone
// is accepted as well (files edited by hand). A CR that is not right before an LF
// stays part of the line, so no text is lost.
//
// Lines are split on the file's bytes: CR and LF never occur inside a code page 932
// character, but the Windows decoder lets a damaged lead byte take the line break
// after it as its trail byte, and every later line would move up by one unnoticed.
// Decoded text is split the same way only when its line breaks are known to be those
// of the bytes.
#pragma once

#include <string_view>

namespace vantrel {

template <typename Char>
class BasicLineReader {
 public:
  using View = std::basic_string_view<Char>;
  explicit BasicLineReader(View text) : text_(text) {}

  // True when no line is left. A final line without a line break is still a line.
  bool AtEnd() const { return pos_ >= text_.size(); }

  // The next line without its line break; false (and line untouched) at the end.
  bool Next(View& line) {
    if (AtEnd()) return false;
    const size_t lf = text_.find(Char('\n'), pos_);
    if (lf == View::npos) {
      line = text_.substr(pos_);
      pos_ = text_.size();
      return true;
    }
    line = text_.substr(pos_, lf - pos_);
    if (!line.empty() && line.back() == Char('\r')) line.remove_suffix(1);
    pos_ = lf + 1;
    return true;
  }

 private:
  View text_;
  size_t pos_ = 0;
};

using LineReader = BasicLineReader<char>;
using TextLineReader = BasicLineReader<char16_t>;

}  // namespace vantrel
