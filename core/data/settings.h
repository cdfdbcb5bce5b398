// The seven settings kept in "Vantrel.sys", and its reader and writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/data/text.h"

namespace vantrel {

inline constexpr std::u16string_view kSettingsFileName = u"Vantrel.sys";

struct Settings {
  std::u16string FkNameT;     // start-up (current) layout path
  std::int16_t Form2Top = 0;  // editor window position, twips
  std::int16_t Form2Left = 0;
  std::int16_t FileOn = 0;    // non-zero: load FkNameT at start-up
  std::int16_t Timer1On = 0;  // 1: hand the device over to the CAD program
  std::int16_t ComS = 1;      // COM port number
  std::u16string FkModel;     // "6094", "48G9995", "X8000" or "" (not yet known)

  friend bool operator==(const Settings&, const Settings&) = default;
};

// Reads a settings file's bytes into s; keys missing from the file keep their value.
// Each line belongs to the first key name it contains (in the order of the struct);
// its value is the text between the first "=" and the next blank (to the end of the
// line when no blank follows). Numbers are rounded, halves to even; text that is
// not a number gives 0; a number outside the 16-bit range is ignored, so the key
// keeps its earlier value. The last line of a key wins. FkNameT as written, with
// its fixed comment, is read whole even when the path holds blanks.
void ReadSettings(std::string_view bytes, const TextCodec& codec, Settings& s);
// The file's bytes as written at shut-down: the banner and seven commented lines.
// A value too long for its column is still followed by one blank.
std::string WriteSettings(const Settings& s, const TextCodec& codec);

}  // namespace vantrel
