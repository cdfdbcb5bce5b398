// Layout reader under three decoders: iconv, and two that read code page 932 as the
// Windows decoder does at its worst (a lead byte takes the byte after it whatever it
// is, a line break or a comma too; or only those). Any bytes must give the same records: the same
// result (records stored, failing line and reason), the same counts, and labels,
// modes, markers and bodies present in the same places with markers and modes of the
// same length. Only the text that damaged bytes decode to may differ.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <tuple>

#include "core/data/layout.h"
#include "tests/native/data/greedy_codec.h"

namespace {

using namespace vantrel;

bool SameShape(const KeyEntry& a, const KeyEntry& b) {
  if (a.count != b.count || a.label.empty() != b.label.empty() || a.mode.size() != b.mode.size())
    return false;
  for (std::size_t s = 1; s <= kMaxSteps; ++s) {
    if (a.marker[s].size() != b.marker[s].size() || a.body[s].empty() != b.body[s].empty())
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const IconvCodec iconv;
  static const testing::GreedyCodec greedy, breaks_only(true);
  static AssignmentTable a, b;  // 650 KB each: kept, and cleared by every read

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const LayoutReadResult ra = ReadLayout(bytes, iconv, a);
  for (const TextCodec* codec : {&greedy, &breaks_only}) {
    const LayoutReadResult rb = ReadLayout(bytes, *codec, b);
    if (std::tie(ra.ok, ra.reason, ra.line, ra.records) !=
        std::tie(rb.ok, rb.reason, rb.line, rb.records))
      std::abort();
    for (int m = 1; m <= kMouseStates; ++m) {
      for (int k = 1; k <= kKeys; ++k) {
        if (!SameShape(a.Entry(m, k), b.Entry(m, k))) std::abort();
      }
    }
  }
  return 0;
}
