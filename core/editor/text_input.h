// The text input dialog: where the user types the text of a text step, new or
// edited. It hands the text back exactly as typed, or nothing; what becomes of it
// is the key-assignment dialog's business.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/editor/form_places.h"

namespace vantrel::editor {

class TextInput {
 public:
  // text: what the box starts with ("" for a new step, the step's whole text to
  // edit one); editor: the editor window's top-left corner.
  TextInput(std::u16string_view text, WindowPosition editor);

  // Where the dialog opens: below the key-assignment dialog, which opens at the
  // editor's top with the same left edge.
  WindowPosition Place() const { return place_; }
  // What the box shows.
  const std::u16string& Text() const { return text_; }
  bool Closed() const { return closed_; }
  // The text handed back once closed; nothing when the dialog was left without
  // saving, or saved with an empty box.
  const std::optional<std::u16string>& Result() const { return result_; }

  // The user changed the box.
  void Edit(std::u16string_view text);
  // "新規": empties the box.
  void Clear();
  // "保存": hands the text back unless the box is empty, and closes.
  void Save();
  // "戻る" or the close box: closes without handing anything back.
  void Back();

 private:
  WindowPosition place_;
  std::u16string text_;
  bool closed_ = false;
  std::optional<std::u16string> result_;
};

}  // namespace vantrel::editor
