// Splits a file's bytes into lines. Files are written with CR LF; a line ending in LF
// alone is accepted as well (files edited by hand). A CR that is not right before an
// LF stays part of the line, so no text is lost.
//
// Lines are split before they are decoded: CR and LF never occur inside a code page
// 932 character, but the Windows decoder lets a damaged lead byte take the line break
// after it as its trail byte, and every later line would move up by one unnoticed.
#pragma once

#include <string_view>

namespace vantrel {

class LineReader {
 public:
  explicit LineReader(std::string_view bytes) : bytes_(bytes) {}

  // True when no line is left. A final line without a line break is still a line.
  bool AtEnd() const { return pos_ >= bytes_.size(); }

  // The next line without its line break; false (and line untouched) at the end.
  bool Next(std::string_view& line) {
    if (AtEnd()) return false;
    const size_t lf = bytes_.find('\n', pos_);
    if (lf == std::string_view::npos) {
      line = bytes_.substr(pos_);
      pos_ = bytes_.size();
      return true;
    }
    line = bytes_.substr(pos_, lf - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = lf + 1;
    return true;
  }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

}  // namespace vantrel
