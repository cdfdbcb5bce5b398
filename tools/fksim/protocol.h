// What the simulated FK device sends: key codes and identification data per model,
// and the two lamp-mask byte orders of the frames it receives.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vantrel::fksim {

enum class Model { k6094, k48G9995, kX8000 };

// "6094", "48G9995" or "X8000"; anything else is not a model.
std::optional<Model> ParseModel(std::string_view name);
std::string_view ModelName(Model model);

inline constexpr int kKeys = 32;
// Lamp states: bit n-1 set = key n lit.
using Lamps = std::uint32_t;
inline constexpr Lamps kAllLit = 0xFFFFFFFFu;

inline Lamps KeyBit(int key) {
  return Lamps{1} << (key - 1);
}

// The bytes key n (1..32) sends; empty for a key number out of range.
std::vector<std::uint8_t> EncodeKey(Model model, int key);
// The identification data the device sends when asked (the host's "first data").
std::vector<std::uint8_t> IdentData(Model model);

// Mask bytes m0..m3 of the 29-byte frame: key n in m((n-1)/8), bit (n-1)%8 from the LSB.
Lamps LampsFromLsbFirst(std::span<const std::uint8_t, 4> m);
// Mask bytes b1..b4 of the 6094 frame: key n in b(1+(n-1)/8), bit 7-(n-1)%8.
Lamps LampsFromMsbFirst(std::span<const std::uint8_t, 4> b);

}  // namespace vantrel::fksim
