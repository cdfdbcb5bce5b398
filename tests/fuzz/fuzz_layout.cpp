// Layout reader: any bytes must read without crashing and report a sensible result,
// and the table they leave must be written as 384 lines that read back completely
// and write again to the same bytes. The one table that writing does not keep is a
// key with a first step but a count of 0 or less: its macro line holds only the
// mode, so it comes back without steps and is written as an empty record next
// time; such tables get one more round before the bytes must settle.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/data/layout.h"
#include "tools/common/iconv_codec.h"

namespace {

using namespace vantrel;

bool LosesStepsOnWriting(const AssignmentTable& t) {
  for (int m = 1; m <= kMouseStates; ++m)
    for (int k = 1; k <= kKeys; ++k)
      if (!t.Entry(m, k).body[1].empty() && t.Entry(m, k).count <= 0) return true;
  return false;
}

// Reads a file the writer made and writes it again.
std::string Rewrite(const std::string& written, const TextCodec& codec, AssignmentTable& t) {
  if (std::count(written.begin(), written.end(), '\n') != kLayoutLines) std::abort();
  const LayoutReadResult r = ReadLayout(written, codec, t);
  if (!r.ok || r.records != kLayoutRecords) std::abort();
  return WriteLayout(t, codec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const IconvCodec codec;
  static AssignmentTable table;  // 650 KB: kept, and cleared by every read

  const LayoutReadResult r =
      ReadLayout(std::string_view(reinterpret_cast<const char*>(data), size), codec, table);
  if (r.records < 0 || r.records > kLayoutRecords) std::abort();
  if (r.ok != (r.reason == LayoutError::kNone)) std::abort();
  if (!r.ok && (r.line < 1 || r.line > 3 * r.records + 3)) std::abort();

  std::string written = WriteLayout(table, codec);
  if (LosesStepsOnWriting(table)) written = Rewrite(written, codec, table);
  if (Rewrite(written, codec, table) != written) std::abort();
  return 0;
}
