// The layout rules kept in "Vantrel.rules" beside the settings file: which layout
// a program, or a window whose title begins a certain way, brings to the keys.
//
// The file is code page 932 with CR LF line ends, one rule a line, in order:
//   Switch=1                          the rules are in force (0: set aside)
//   Program=ACAD.EXE|C:\fk\acad.fkl   a program, by its executable's file name
//   Title=Drawing Viewer|D:\view.fkl  a window whose title begins so
// The layout path follows the last "|" (no Windows path holds one, a title may).
// Any other line is the user's: kept, byte for byte and in its place, whenever the
// program writes the file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/text.h"

namespace vantrel {

inline constexpr std::u16string_view kRulesFileName = u"Vantrel.rules";

struct LayoutRule {
  enum class Match { kProgram, kTitle };
  Match match = Match::kProgram;
  std::u16string pattern;  // an executable's file name, or the start of a title
  std::u16string layout_path;

  friend bool operator==(const LayoutRule&, const LayoutRule&) = default;
};

// The window a rule is matched against.
struct WindowIdentity {
  std::u16string program;  // the executable's file name ("ACAD.EXE"), "" when unknown
  std::u16string title;
};

// A program matches its file name whatever the case of the Latin letters; a title
// matches when it begins with the pattern, exactly.
bool Matches(const LayoutRule& rule, const WindowIdentity& window);

struct RulesFile {
  // Every line in order: a rule, or a line the program keeps as it found it.
  struct Line {
    std::optional<LayoutRule> rule;
    // The line's bytes as read, without the line break; written back as they are.
    // Empty for a rule the program made: that is written from the rule.
    std::string bytes;
  };
  bool enabled = true;
  std::vector<Line> lines;
  // Lines that name a rule but lack its program or title, or its layout: kept, not
  // used, and told to the user once.
  std::size_t damaged = 0;

  // The rules in force, in order: none while set aside.
  std::vector<LayoutRule> Rules() const;
  // The position of the n-th rule among the lines.
  std::optional<std::size_t> LineOfRule(std::size_t n) const;
};

RulesFile ReadRules(std::string_view bytes, const TextCodec& codec);
// "Switch=" first, then every line in order. A rule the program made is written only
// when RuleLine can write it.
std::string WriteRules(const RulesFile& rules, const TextCodec& codec);
// The rule as its line; nothing when code page 932 cannot hold its text, or it
// holds a line break, or its pattern holds a "|" where it would be misread.
std::optional<std::string> RuleLine(const LayoutRule& rule, const TextCodec& codec);

}  // namespace vantrel
