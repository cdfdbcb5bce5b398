// Settings reader: any bytes must read without crashing; the written file has
// twelve lines and, once its text has passed through the code page, reads back
// to the same values.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/data/settings.h"
#include "tools/common/iconv_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel;
  static const IconvCodec codec;

  Settings s;
  ReadSettings(std::string_view(reinterpret_cast<const char*>(data), size), codec, s);

  const std::string first = WriteSettings(s, codec);
  if (std::count(first.begin(), first.end(), '\n') != 12) std::abort();
  Settings once;
  ReadSettings(first, codec, once);
  // Numbers survive at once; text may change only where the code page changes it.
  if (once.Form2Top != s.Form2Top || once.Form2Left != s.Form2Left || once.FileOn != s.FileOn ||
      once.Timer1On != s.Timer1On || once.ComS != s.ComS)
    std::abort();
  Settings twice;
  ReadSettings(WriteSettings(once, codec), codec, twice);
  if (!(twice == once)) std::abort();
  return 0;
}
