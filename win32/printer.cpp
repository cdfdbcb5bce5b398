#include "win32/printer.h"

#include <commdlg.h>

#include <utility>

#include "core/editor/form_places.h"
#include "win32/codec.h"

namespace vantrel::win32 {
namespace {

// A printer's device context with its spooled document. A document left open by a
// failure is ended, not aborted: what reached the spooler is printed.
class SpooledDocument final : public PageDevice {
 public:
  explicit SpooledDocument(UniqueDc dc) : dc_(std::move(dc)) {}
  ~SpooledDocument() override {
    if (open_) ::EndDoc(dc_.get());
  }
  SpooledDocument(const SpooledDocument&) = delete;
  SpooledDocument& operator=(const SpooledDocument&) = delete;

  bool StartDocument() override {
    const std::wstring name = ToWide(editor::kEditorTitle);
    DOCINFOW doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = name.c_str();
    open_ = ::StartDocW(dc_.get(), &doc) > 0;
    return open_;
  }
  HDC StartPage() override { return ::StartPage(dc_.get()) > 0 ? dc_.get() : nullptr; }
  bool EndPage() override { return ::EndPage(dc_.get()) > 0; }
  bool EndDocument() override {
    open_ = false;
    return ::EndDoc(dc_.get()) > 0;
  }

 private:
  UniqueDc dc_;
  bool open_ = false;
};

}  // namespace

bool DrawLines(HDC dc, std::span<const std::u16string> lines, int first) {
  TEXTMETRICW metrics{};
  if (!GetTextMetricsW(dc, &metrics)) return false;
  const int step = metrics.tmHeight + metrics.tmExternalLeading;
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  SetBkMode(dc, TRANSPARENT);
  int y = first * step;
  for (const std::u16string& line : lines) {
    const std::wstring text = ToWide(line);
    if (!text.empty() && !TextOutW(dc, 0, y, text.c_str(), static_cast<int>(text.size()))) {
      return false;
    }
    y += step;
  }
  return true;
}

bool GdiPrinter::PrintLines(std::span<const std::u16string> lines) {
  if (!page_) {
    page_ = device_->StartPage();
    next_line_ = 0;
    if (!page_) return false;
  }
  if (!DrawLines(page_, lines, next_line_)) return false;
  next_line_ += static_cast<int>(lines.size());
  return true;
}

bool GdiPrinter::EndPage() {
  // A page with no lines is still a page.
  if (!page_ && !device_->StartPage()) return false;
  page_ = nullptr;
  return device_->EndPage();
}

std::unique_ptr<editor::Printer> ChoosePrinter(HWND owner) {
  PRINTDLGW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.Flags = PD_RETURNDC | PD_DISABLEPRINTTOFILE | PD_NOSELECTION;
  const bool chosen = PrintDlgW(&dialog);
  const GlobalBlock mode(dialog.hDevMode), names(dialog.hDevNames);
  UniqueDc dc(dialog.hDC);
  if (!chosen || !dc) return nullptr;
  return std::make_unique<GdiPrinter>(std::make_unique<SpooledDocument>(std::move(dc)));
}

}  // namespace vantrel::win32
