// Settings reader: any bytes must read without crashing, and what the writer makes
// of the values must read back and write again to the same twelve lines (text that
// the code page cannot hold changes on the first writing only).
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

  const std::string written = WriteSettings(s, codec);
  if (std::count(written.begin(), written.end(), '\n') != 12) std::abort();
  Settings back;
  ReadSettings(written, codec, back);
  if (back.editor_top != s.editor_top || back.editor_left != s.editor_left ||
      back.open_layout_at_start != s.open_layout_at_start ||
      back.hand_over_to_cad != s.hand_over_to_cad || back.com_port != s.com_port)
    std::abort();
  if (WriteSettings(back, codec) != written) std::abort();
  return 0;
}
