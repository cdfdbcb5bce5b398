// The printed listing of a layout: one page per mouse state, each key's label and
// the bodies of its steps. A reference sheet for the user; nothing reads it back.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/table.h"

namespace vantrel::editor {

inline constexpr int kPageLines = 74;  // 10 heading lines and two per key

// True when any step body (steps 1 to 60) of any key in any mouse state is set.
// Labels and counts alone are no data: such a table prints nothing.
bool HasPrintData(const AssignmentTable& table);

// The 74 lines of mouse state m's page, without line breaks: eight empty lines,
// the page number, an empty line, then for each key its label line and its step
// line. The step line lists step 1's body even when empty, then every non-empty
// body of steps 2 to 60 (the count is not consulted, so a body beyond it prints).
std::vector<std::u16string> PageLines(const AssignmentTable& table, int mouse_state);

// The printer chosen in the print dialog. Every call reports failure; after one the
// print-out stops without another call, and destroying the printer releases it
// without withdrawing what was already sent.
class Printer {
 public:
  virtual ~Printer() = default;
  [[nodiscard]] virtual bool StartDocument() = 0;
  // Draws the lines one below the other from the top-left corner of the printable
  // area, in the printer's default font, on the current page.
  [[nodiscard]] virtual bool PrintLines(std::span<const std::u16string> lines) = 0;
  [[nodiscard]] virtual bool EndPage() = 0;
  // Ending right after a page adds no blank sheet.
  [[nodiscard]] virtual bool EndDocument() = 0;
};

// A printer that is a text: each page's lines ended by LF, each page followed by a
// line holding a form feed (U+000C). For printing a layout to a file or a terminal.
class TextPrinter final : public Printer {
 public:
  bool StartDocument() override { return true; }
  bool PrintLines(std::span<const std::u16string> lines) override;
  bool EndPage() override;
  bool EndDocument() override { return true; }
  const std::u16string& Text() const { return text_; }

 private:
  std::u16string text_;
};

// The four pages, mouse states 1 to 4, as one document. False when the printer
// failed; the print-out then ended there, silently.
bool PrintLayout(const AssignmentTable& table, Printer& printer);

// The message shown instead of printing an empty table (an OK-only box).
inline constexpr std::u16string_view kPrintTitle = u"印刷";
std::u16string NoPrintDataText();

// "text", two carriage returns and the line asking for OK: the body of every
// OK-only box of the editor and its dialogs.
std::u16string OkBoxText(std::u16string_view text);

}  // namespace vantrel::editor
