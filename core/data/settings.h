// The seven settings kept in "Vantrel.sys", and its reader and writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/data/text.h"

namespace vantrel {

inline constexpr std::u16string_view kSettingsFileName = u"Vantrel.sys";

// Each member is stored under the key named beside it; the keys are the file's own.
struct Settings {
  std::u16string layout_path;             // FkNameT: the start-up (current) layout
  std::int16_t editor_top = 0;            // Form2Top: the editor window's place, twips
  std::int16_t editor_left = 0;           // Form2Left
  std::int16_t open_layout_at_start = 0;  // FileOn: non-zero loads layout_path at start-up
  std::int16_t hand_over_to_cad = 0;      // Timer1On: 1 hands the device to the CAD program
  std::int16_t com_port = 1;              // ComS
  std::u16string fk_model;  // FkModel: "6094", "48G9995", "X8000" or "" (not yet known)

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
