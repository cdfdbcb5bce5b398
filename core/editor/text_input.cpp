#include "core/editor/text_input.h"

namespace vantrel::editor {

TextInput::TextInput(std::u16string_view text, WindowPosition editor)
    : place_{editor.top + 1590, editor.left + 3810}, text_(text) {}

void TextInput::Edit(std::u16string_view text) {
  if (!closed_) text_ = text;
}

void TextInput::Clear() {
  if (!closed_) text_.clear();
}

void TextInput::Save() {
  if (closed_) return;
  // No trimming: blanks, commas and line breaks are the user's text.
  if (!text_.empty()) result_ = text_;
  closed_ = true;
}

void TextInput::Back() {
  closed_ = true;
}

}  // namespace vantrel::editor
