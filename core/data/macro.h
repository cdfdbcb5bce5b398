// The one-line stored form of a key macro: the two-character mode, then for each
// step a comma, the one-character marker and the body. Positions are characters.
#pragma once

#include <string>
#include <string_view>

#include "core/data/table.h"
#include "core/data/text.h"

namespace vantrel {

struct MacroReadResult {
  bool ok = true;  // false: the line holds more steps than the table has room for
  int steps = 0;   // steps the line holds (up to kMaxSteps when ok is false)
};

// Reads a macro line into the mode, markers and bodies of entry; label and count
// are not touched. An empty line stores nothing. Otherwise the mode is characters
// 1-2, character 3 is skipped unchecked, the marker of step 1 is character 4 and
// the bodies run from character 5; a comma closes a step and the character after
// it is the next step's marker (so a comma never belongs to a body). Steps the
// line does not reach are left as they were. A line of more than kMaxSteps steps
// stores the first kMaxSteps and returns ok = false.
MacroReadResult ReadMacroLine(std::u16string_view line, KeyEntry& entry);

// The same from a file's line: its bytes and the text codec decoded them to. The
// steps are found on the bytes: a comma never occurs inside a code page 932
// character, but the Windows decoder lets a damaged lead byte take the comma after
// it, and two steps would become one. Valid text reads exactly as its decoded line;
// in a damaged line every character (a lead byte with the byte after it unless that
// is a comma, or any other byte) counts as one, so the steps come out the same
// whatever the decoder makes of the damage.
MacroReadResult ReadMacroLine(std::string_view bytes, std::u16string_view text,
                              const TextCodec& codec, KeyEntry& entry);

// Appends the stored form of entry: the mode, then "," marker body for steps 1 to
// the count, stopping at the first empty body (and after kMaxSteps steps).
void AppendMacroLine(const KeyEntry& entry, std::u16string& out);
std::u16string WriteMacroLine(const KeyEntry& entry);

}  // namespace vantrel
