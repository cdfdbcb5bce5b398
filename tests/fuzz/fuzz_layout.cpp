// Layout reader: any bytes must read without crashing, report a sensible result,
// and the table they leave must be written as 384 lines that read back completely.
// Writing is not lossless for every table (a key with an empty first body loses its
// label, a count of 0 writes no steps), but after two rounds it must be stable.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/data/layout.h"
#include "tools/common/iconv_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel;
  static const IconvCodec codec;
  static AssignmentTable table;  // 650 KB: kept, and cleared by every read

  const LayoutReadResult r =
      ReadLayout(std::string_view(reinterpret_cast<const char*>(data), size), codec, table);
  if (r.records < 0 || r.records > kLayoutRecords) std::abort();
  if (r.ok != (r.reason == LayoutError::kNone)) std::abort();
  if (!r.ok && (r.line < 1 || r.line > 3 * r.records + 3)) std::abort();

  std::string written = WriteLayout(table, codec);
  for (int round = 0; round < 2; ++round) {
    if (std::count(written.begin(), written.end(), '\n') != kLayoutLines) std::abort();
    const LayoutReadResult again = ReadLayout(written, codec, table);
    if (!again.ok || again.records != kLayoutRecords) std::abort();
    std::string rewritten = WriteLayout(table, codec);
    if (round == 1 && rewritten != written) std::abort();
    written = std::move(rewritten);
  }
  return 0;
}
