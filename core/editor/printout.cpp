#include "core/editor/printout.h"

#include <utility>

namespace vantrel::editor {
namespace {

constexpr std::u16string_view kIndent = u"               ";  // 15 blanks

std::u16string TwoDigits(int n) {
  return {static_cast<char16_t>(u'0' + n / 10), static_cast<char16_t>(u'0' + n % 10)};
}

}  // namespace

bool HasPrintData(const AssignmentTable& table) {
  for (int m = 1; m <= kMouseStates; ++m) {
    for (int k = 1; k <= kKeys; ++k) {
      const KeyEntry& e = table.Entry(m, k);
      for (int s = 1; s <= kMaxSteps; ++s) {
        if (!e.body[s].empty()) return true;
      }
    }
  }
  return false;
}

std::vector<std::u16string> PageLines(const AssignmentTable& table, int mouse_state) {
  std::vector<std::u16string> lines(8);
  // A number prints with a blank for its sign before it and a blank after it.
  lines.push_back(std::u16string(kIndent) + u"ページ " + u' ' +
                  static_cast<char16_t>(u'0' + mouse_state) + u' ');
  lines.emplace_back();
  for (int k = 1; k <= kKeys; ++k) {
    const KeyEntry& e = table.Entry(mouse_state, k);
    lines.push_back(std::u16string(kIndent) + u"ボタン" + TwoDigits(k) + u"名称 = " + e.label);
    std::u16string steps = std::u16string(kIndent) + u"設定     項目 = " + e.body[1];
    for (int s = 2; s <= kMaxSteps; ++s) {
      if (!e.body[s].empty()) steps += u" , " + e.body[s];
    }
    lines.push_back(std::move(steps));
  }
  return lines;
}

bool TextPrinter::PrintLines(std::span<const std::u16string> lines) {
  for (const std::u16string& line : lines) text_ += line + u'\n';
  return true;
}

bool TextPrinter::EndPage() {
  text_ += u"\f\n";
  return true;
}

bool PrintLayout(const AssignmentTable& table, Printer& printer) {
  if (!printer.StartDocument()) return false;
  for (int m = 1; m <= kMouseStates; ++m) {
    if (!printer.PrintLines(PageLines(table, m)) || !printer.EndPage()) return false;
  }
  return printer.EndDocument();
}

std::u16string OkBoxText(std::u16string_view text) {
  return std::u16string(text) + u"\r\r　　　　OKボタンを押してください。";
}

std::u16string NoPrintDataText() {
  return OkBoxText(u"設定されたデータがありません。");
}

}  // namespace vantrel::editor
