// Macro-line reader: any line of Shift-JIS bytes, read as the layout reader does, must
// read without touching memory outside the entry, hold at most 60 steps, and what
// the writer makes of it must read back to the same line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/data/macro.h"
#include "tools/common/iconv_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel;
  static const IconvCodec codec;
  const std::string_view line(reinterpret_cast<const char*>(data), size);

  KeyEntry e;
  const MacroReadResult r = ReadMacroLine(line, codec.Decode(line), codec, e);
  if (r.steps < 0 || r.steps > kMaxSteps) std::abort();
  if (line.empty() != (r.steps == 0)) std::abort();
  if (!r.ok) return 0;

  for (int s = 1; s <= r.steps; ++s) {
    if (e.marker[static_cast<size_t>(s)].size() > 1) std::abort();
    if (e.body[static_cast<size_t>(s)].find(u',') != std::u16string::npos) std::abort();
  }

  // The written form is a fixed point: reading it and writing again changes nothing.
  e.count = static_cast<std::int16_t>(r.steps);
  const std::u16string written = WriteMacroLine(e);
  KeyEntry back;
  back.count = e.count;
  if (!ReadMacroLine(written, back).ok) std::abort();
  if (WriteMacroLine(back) != written) std::abort();
  return 0;
}
