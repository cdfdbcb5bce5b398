// Layout reader under iconv and under decoders that, as the Windows one does, let a
// lead byte take the byte after it (any byte, or only a CR, LF or comma): any bytes
// give the same result (records, failing line, reason), the same counts, and labels,
// modes, markers and bodies in the same places, modes and markers of the same length.
#include <cstdint>
#include <cstdlib>
#include <tuple>

#include "core/data/layout.h"
#include "tests/native/data/greedy_codec.h"

namespace {

using namespace vantrel;

bool SameShape(const KeyEntry& a, const KeyEntry& b) {
  bool same =
      a.count == b.count && a.label.empty() == b.label.empty() && a.mode.size() == b.mode.size();
  for (std::size_t s = 1; s <= kMaxSteps; ++s)
    same =
        same && a.marker[s].size() == b.marker[s].size() && a.body[s].empty() == b.body[s].empty();
  return same;
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
    for (int m = 1; m <= kMouseStates; ++m)
      for (int k = 1; k <= kKeys; ++k)
        if (!SameShape(a.Entry(m, k), b.Entry(m, k))) std::abort();
  }
  return 0;
}
