#include "core/data/macro.h"

#include <algorithm>
#include <bitset>

namespace vantrel {
namespace {

// Bytes of the character that begins at bytes[i]: a lead byte takes the byte after
// it, unless that is a comma (never a trail byte) or there is none.
size_t CharacterBytes(std::string_view bytes, size_t i, const std::bitset<256>& lead) {
  const bool pair =
      lead[static_cast<unsigned char>(bytes[i])] && i + 1 < bytes.size() && bytes[i + 1] != ',';
  return pair ? 2 : 1;
}

// True when text holds one character for each character of bytes, with its commas in
// the same places: the steps of the text are then those of the bytes.
bool SameShape(std::string_view bytes, std::u16string_view text, const std::bitset<256>& lead) {
  size_t c = 0;
  for (size_t i = 0; i < bytes.size(); i += CharacterBytes(bytes, i, lead), ++c) {
    if (c == text.size() || (text[c] == u',') != (bytes[i] == ',')) return false;
  }
  return c == text.size();
}

// The line with one character for each character of the mode, the skipped one and
// each marker, decoded alone (U+FFFD when it gives none), and each body decoded whole
// between its commas.
std::u16string ShapedText(std::string_view bytes, const TextCodec& codec,
                          const std::bitset<256>& lead) {
  std::u16string text;
  size_t i = 0;
  const auto one_character = [&] {
    const size_t n = CharacterBytes(bytes, i, lead);
    const std::u16string c = codec.Decode(bytes.substr(i, n));
    text += c.empty() ? u'\uFFFD' : c[0];
    i += n;
  };
  while (i < bytes.size() && text.size() < 4) one_character();  // mode, skipped, first marker
  while (i < bytes.size()) {
    const size_t comma = std::min(bytes.find(',', i), bytes.size());
    text += codec.Decode(bytes.substr(i, comma - i));
    if (comma == bytes.size()) break;
    text += u',';
    i = comma + 1;
    if (i < bytes.size()) one_character();  // the next marker, a comma too
  }
  return text;
}

}  // namespace

MacroReadResult ReadMacroLine(std::u16string_view line, KeyEntry& entry) {
  MacroReadResult result;
  if (line.empty()) return result;

  entry.mode.assign(line.substr(0, 2));
  // Step 1 exists as soon as the line does, even when the line ends before its
  // marker (a line holding only a mode gives step 1 an empty marker and body).
  int step = 1;
  entry.marker[1].assign(line.size() > 3 ? line.substr(3, 1) : std::u16string_view{});
  size_t body_start = std::min<size_t>(4, line.size());
  while (true) {
    const size_t comma = line.find(u',', body_start);
    const size_t body_end = comma == std::u16string_view::npos ? line.size() : comma;
    entry.body[static_cast<size_t>(step)].assign(line.substr(body_start, body_end - body_start));
    if (comma == std::u16string_view::npos) break;
    if (step == kMaxSteps) {
      result.steps = step;
      result.ok = false;  // the next marker has no place in the table
      return result;
    }
    ++step;
    // The character after the comma is the marker, whatever it is (a comma too).
    const size_t marker_pos = comma + 1;
    std::u16string& marker = entry.marker[static_cast<size_t>(step)];
    if (marker_pos < line.size()) {
      marker.assign(1, line[marker_pos]);
    } else {
      marker.clear();
    }
    body_start = std::min(marker_pos + 1, line.size());
  }
  result.steps = step;
  return result;
}

MacroReadResult ReadMacroLine(std::string_view bytes, std::u16string_view text,
                              const TextCodec& codec, KeyEntry& entry) {
  const std::bitset<256> lead = codec.LeadBytes();
  if (SameShape(bytes, text, lead)) return ReadMacroLine(text, entry);
  return ReadMacroLine(ShapedText(bytes, codec, lead), entry);
}

void AppendMacroLine(const KeyEntry& entry, std::u16string& out) {
  out += entry.mode;
  const int last = std::min<int>(entry.count, kMaxSteps);
  for (int s = 1; s <= last; ++s) {
    const auto i = static_cast<size_t>(s);
    if (entry.body[i].empty()) break;
    out += u',';
    out += entry.marker[i];
    out += entry.body[i];
  }
}

std::u16string WriteMacroLine(const KeyEntry& entry) {
  std::u16string out;
  AppendMacroLine(entry, out);
  return out;
}

}  // namespace vantrel
