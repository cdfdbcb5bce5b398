#include "tools/fksim/protocol.h"

#include <string>

namespace vantrel::fksim {

std::optional<Model> ParseModel(std::string_view name) {
  if (name == "6094") return Model::k6094;
  if (name == "48G9995") return Model::k48G9995;
  if (name == "X8000") return Model::kX8000;
  return std::nullopt;
}

std::string_view ModelName(Model model) {
  switch (model) {
    case Model::k6094:
      return "6094";
    case Model::k48G9995:
      return "48G9995";
    case Model::kX8000:
      return "X8000";
  }
  return "X8000";
}

std::vector<std::uint8_t> EncodeKey(Model model, int key) {
  if (key < 1 || key > kKeys) return {};
  if (model == Model::k6094) return {static_cast<std::uint8_t>(key - 1)};
  return {0x1B, static_cast<std::uint8_t>(0x20 + key)};
}

std::vector<std::uint8_t> IdentData(Model model) {
  // The host tells the two ESC models apart by the 11th character only ("~" or not).
  std::string_view text;
  switch (model) {
    case Model::k6094:
      return {0x03};
    case Model::k48G9995:
      text = "FK48G9995 ~R2.1 32KEY LAMP UNIT ";
      break;
    case Model::kX8000:
      text = "FKX8000-R3.1 32KEY LAMP UNIT V1 ";
      break;
  }
  return {text.begin(), text.end()};
}

Lamps LampsFromLsbFirst(std::span<const std::uint8_t, 4> m) {
  return Lamps{m[0]} | Lamps{m[1]} << 8 | Lamps{m[2]} << 16 | Lamps{m[3]} << 24;
}

Lamps LampsFromMsbFirst(std::span<const std::uint8_t, 4> b) {
  Lamps lamps = 0;
  for (int key = 1; key <= kKeys; ++key) {
    int index = (key - 1) / 8;
    int bit = 7 - (key - 1) % 8;
    if (b[index] >> bit & 1) lamps |= KeyBit(key);
  }
  return lamps;
}

}  // namespace vantrel::fksim
