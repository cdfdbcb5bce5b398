// The print-out's pages on enhanced metafiles standing in for a printer's.
#include "win32/printer.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel::win32 {
namespace {

// A piece of text as drawn on a page.
struct Drawn {
  LONG x, y;
  std::u16string text;
  friend bool operator==(const Drawn&, const Drawn&) = default;
};

// A printer stand-in: each page an enhanced metafile, of which the text drawn is kept;
// the calls, in order; page `refuse` (from 1) is refused.
struct MetafilePages final : PageDevice {
  explicit MetafilePages(int refuse = 0) : refuse(refuse) {}
  bool StartDocument() override { return calls += "doc ", true; }
  HDC StartPage() override {
    calls += "page ";
    if (++started == refuse) return nullptr;
    dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    // A printer's DC comes with its font; Wine's metafile DC measures none until given one.
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    TEXTMETRICW font;
    if (GetTextMetricsW(dc, &font)) height = font.tmHeight;
    return dc;
  }
  bool EndPage() override {
    calls += "end-page ";
    HENHMETAFILE page = CloseEnhMetaFile(dc);
    EnumEnhMetaFile(nullptr, page, &Record, &pages.emplace_back(), nullptr);
    DeleteEnhMetaFile(page);
    return page != nullptr;
  }
  bool EndDocument() override { return calls += "end", true; }
  static int CALLBACK Record(HDC, HANDLETABLE*, const ENHMETARECORD* r, int, LPARAM page) {
    const auto* t = reinterpret_cast<const EMREXTTEXTOUTW*>(r);
    const auto* text = reinterpret_cast<const BYTE*>(r) + t->emrtext.offString;
    if (r->iType == EMR_EXTTEXTOUTW)
      reinterpret_cast<std::vector<Drawn>*>(page)->push_back(
          {t->emrtext.ptlReference.x, t->emrtext.ptlReference.y,
           std::u16string(reinterpret_cast<const char16_t*>(text), t->emrtext.nChars)});
    return 1;
  }
  std::vector<std::vector<Drawn>> pages;
  std::string calls;
  int refuse, started = 0;
  HDC dc = nullptr;
  LONG height = 0;  // of the font's characters
};

TEST(Printer, FourPagesOfLinesFromTheTopLeftInOrderAndAFailureEndsThere) {
  AssignmentTable table;
  table.Entry(1, 3) = {u"図面", 2, u"結合", {}, {u"", u"Ctrl+S", u"部品"}};
  table.Entry(4, 7).body[1] = u"Enter";
  auto pages = std::make_unique<MetafilePages>(), refusing = std::make_unique<MetafilePages>(2);
  const MetafilePages &out = *pages, &refused = *refusing;
  GdiPrinter printer(std::move(pages)), failing(std::move(refusing));
  ASSERT_TRUE(editor::PrintLayout(table, printer));
  EXPECT_EQ(out.calls, "doc page end-page page end-page page end-page page end-page end");
  ASSERT_EQ(out.pages.size(), 4u);
  EXPECT_GT(out.height, 0);
  for (int m = 1; m <= 4; ++m) {
    // Every line that has text, at the left edge, a line's height below the last.
    const std::vector<std::u16string> lines = editor::PageLines(table, m);
    const std::vector<Drawn>& page = out.pages[m - 1];
    ASSERT_GE(page.size(), 2u);
    const LONG step = (page[1].y - page[0].y) / 2;  // lines 9 and 11
    EXPECT_GE(step, out.height) << "lines overlap";
    std::vector<Drawn> expected;
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (!lines[i].empty())
        expected.push_back({.x = 0, .y = static_cast<LONG>(i) * step, .text = lines[i]});
    EXPECT_EQ(page, expected) << "page " << m;
  }
  EXPECT_FALSE(editor::PrintLayout(table, failing));
  EXPECT_EQ(refused.calls, "doc page end-page page ");
}

}  // namespace
}  // namespace vantrel::win32
