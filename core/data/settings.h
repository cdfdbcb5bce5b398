// The seven settings kept in "Vantrel.sys", and its reader and writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/data/text.h"

namespace vantrel {

inline constexpr std::u16string_view kSettingsFileName = u"Vantrel.sys";

struct Settings {
  std::u16string FkNameT;      // start-up (current) layout path
  std::int16_t Form2Top = 0;   // editor window position, twips
  std::int16_t Form2Left = 0;
  std::int16_t FileOn = 0;     // non-zero: load FkNameT at start-up
  std::int16_t Timer1On = 0;   // 1: hand the device over to the CAD program
  std::int16_t ComS = 1;       // COM port number
  std::u16string FkModel;      // "6094", "48G9995", "X8000" or "" (not yet known)

  friend bool operator==(const Settings&, const Settings&) = default;
};

// Reads a settings file's bytes into s; keys missing from the file keep their value.
void ReadSettings(std::string_view bytes, const TextCodec& codec, Settings& s);
// The file's bytes as written at shut-down: the banner and seven commented lines.
std::string WriteSettings(const Settings& s, const TextCodec& codec);

}  // namespace vantrel
