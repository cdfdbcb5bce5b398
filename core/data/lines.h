// Splits decoded file text into lines. Files are written with CR LF; a line ending
// in LF alone is accepted as well (files edited by hand). A CR that is not right
// before an LF stays part of the line, so no text is lost.
#pragma once

#include <string_view>

namespace vantrel {

class LineReader {
 public:
  explicit LineReader(std::u16string_view text) : text_(text) {}

  // True when no line is left. A final line without a line break is still a line.
  bool AtEnd() const { return pos_ >= text_.size(); }

  // The next line without its line break; false (and line untouched) at the end.
  bool Next(std::u16string_view& line) {
    if (AtEnd()) return false;
    const size_t lf = text_.find(u'\n', pos_);
    if (lf == std::u16string_view::npos) {
      line = text_.substr(pos_);
      pos_ = text_.size();
      return true;
    }
    line = text_.substr(pos_, lf - pos_);
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    pos_ = lf + 1;
    return true;
  }

 private:
  std::u16string_view text_;
  size_t pos_ = 0;
};

}  // namespace vantrel
