// Rules reader: any bytes must read without crashing; the file as the program writes
// it must read back to the same rules and write again to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/data/rules.h"
#include "tools/common/iconv_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel;
  static const IconvCodec codec;

  const RulesFile read =
      ReadRules(std::string_view(reinterpret_cast<const char*>(data), size), codec);
  const std::string written = WriteRules(read, codec);
  const RulesFile back = ReadRules(written, codec);
  if (back.enabled != read.enabled || back.Rules() != read.Rules() ||
      back.damaged != read.damaged || WriteRules(back, codec) != written) {
    std::abort();
  }
  return 0;
}
