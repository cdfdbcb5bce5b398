// The print-out on a printer: the printer chosen in the print dialog, its document
// and pages, and the lines drawn in the printer's default font from the top-left
// corner of the printable area.
#pragma once

#include <windows.h>

#include <memory>
#include <span>
#include <string>

#include "core/editor/printout.h"
#include "win32/handles.h"

namespace vantrel::win32 {

// Where pages go: a printer's spooled document, or a stand-in for it.
class PageDevice {
 public:
  virtual ~PageDevice() = default;
  virtual bool StartDocument() = 0;
  // The device context to draw the new page on; null when the page was refused.
  virtual HDC StartPage() = 0;
  virtual bool EndPage() = 0;
  virtual bool EndDocument() = 0;
};

// editor::Printer on a page device: a page is started by its first lines.
class GdiPrinter final : public editor::Printer {
 public:
  explicit GdiPrinter(std::unique_ptr<PageDevice> device) : device_(std::move(device)) {}
  bool StartDocument() override { return device_->StartDocument(); }
  bool PrintLines(std::span<const std::u16string> lines) override;
  bool EndPage() override;
  bool EndDocument() override { return device_->EndDocument(); }

 private:
  std::unique_ptr<PageDevice> device_;
  HDC page_ = nullptr;  // while a page is open
  int next_line_ = 0;   // of the open page
};

// Draws the lines one below the other, the first at line `first` of the page, in
// the device context's current font; false when the device refused one.
bool DrawLines(HDC dc, std::span<const std::u16string> lines, int first);

// The print dialog over `owner` (no printing to a file, no selection); the printer
// chosen, or null when the dialog was cancelled or no printer could be had.
std::unique_ptr<editor::Printer> ChoosePrinter(HWND owner);

}  // namespace vantrel::win32
