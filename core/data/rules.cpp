#include "core/data/rules.h"

#include <bitset>

#include "core/data/lines.h"

namespace vantrel {
namespace {

constexpr std::string_view kSwitch = "Switch=";
constexpr std::string_view kProgram = "Program=";
constexpr std::string_view kTitle = "Title=";

char16_t FoldLatin(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - u'a' + u'A');
  if (c >= u'ａ' && c <= u'ｚ') return static_cast<char16_t>(c - u'ａ' + u'Ａ');
  return c;
}

bool SameProgram(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldLatin(a[i]) != FoldLatin(b[i])) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return line;
}

std::string_view TrimmedBothEnds(std::string_view text) {
  text = Trimmed(text);
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

// The last "|" that is a character of its own: the trail byte of a double-byte
// character may be the same byte ("ポ" is 83 7C).
std::size_t LastBar(std::string_view line, const std::bitset<256>& lead) {
  std::size_t bar = std::string_view::npos;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if (lead[byte]) {
      ++i;
    } else if (byte == '|') {
      bar = i;
    }
  }
  return bar;
}

}  // namespace

bool Matches(const LayoutRule& rule, const WindowIdentity& window) {
  if (rule.pattern.empty()) return false;
  if (rule.match == LayoutRule::Match::kProgram) return SameProgram(rule.pattern, window.program);
  return window.title.starts_with(rule.pattern);
}

std::vector<LayoutRule> RulesFile::Rules() const {
  std::vector<LayoutRule> rules;
  if (!enabled) return rules;
  for (const Line& line : lines) {
    if (line.rule) rules.push_back(*line.rule);
  }
  return rules;
}

std::optional<std::size_t> RulesFile::LineOfRule(std::size_t n) const {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rule && n-- == 0) return i;
  }
  return std::nullopt;
}

RulesFile ReadRules(std::string_view bytes, const TextCodec& codec) {
  RulesFile file;
  const std::bitset<256> lead = codec.LeadBytes();
  LineReader reader(bytes);
  for (std::string_view line; reader.Next(line);) {
    if (line.starts_with(kSwitch)) {
      // Written first by the program; the last one read wins, as in the settings.
      file.enabled = Trimmed(line.substr(kSwitch.size())) != "0";
      continue;
    }
    const bool program = line.starts_with(kProgram);
    if (!program && !line.starts_with(kTitle)) {
      file.lines.push_back({std::nullopt, std::string(line)});
      continue;
    }
    const std::string_view body = line.substr(program ? kProgram.size() : kTitle.size());
    const std::size_t bar = LastBar(body, lead);
    LayoutRule rule{program ? LayoutRule::Match::kProgram : LayoutRule::Match::kTitle, {}, {}};
    if (bar != std::string_view::npos) {
      rule.pattern =
          codec.Decode(program ? TrimmedBothEnds(body.substr(0, bar)) : body.substr(0, bar));
      rule.layout_path = codec.Decode(TrimmedBothEnds(body.substr(bar + 1)));
    }
    if (rule.pattern.empty() || rule.layout_path.empty()) {
      ++file.damaged;
      file.lines.push_back({std::nullopt, std::string(line)});
    } else {
      file.lines.push_back({std::move(rule), std::string(line)});
    }
  }
  return file;
}

std::optional<std::string> RuleLine(const LayoutRule& rule, const TextCodec& codec) {
  if (rule.pattern.empty() || rule.layout_path.empty()) return std::nullopt;
  if (rule.pattern.find_first_of(u"\r\n") != std::u16string::npos) return std::nullopt;
  // The path follows the last "|": a title may hold one, a path must not.
  if (rule.layout_path.find_first_of(u"\r\n|") != std::u16string::npos) return std::nullopt;
  const std::string pattern = codec.Encode(rule.pattern);
  const std::string path = codec.Encode(rule.layout_path);
  if (codec.Decode(pattern) != rule.pattern || codec.Decode(path) != rule.layout_path) {
    return std::nullopt;
  }
  const bool program = rule.match == LayoutRule::Match::kProgram;
  std::string line(program ? kProgram : kTitle);
  return line.append(pattern).append(1, '|').append(path);
}

std::string WriteRules(const RulesFile& rules, const TextCodec& codec) {
  std::string out(kSwitch);
  out.append(rules.enabled ? "1" : "0").append("\r\n");
  for (const RulesFile::Line& line : rules.lines) {
    if (!line.bytes.empty() || !line.rule) {
      out.append(line.bytes).append("\r\n");
    } else if (const std::optional<std::string> text = RuleLine(*line.rule, codec)) {
      out.append(*text).append("\r\n");
    }
  }
  return out;
}

}  // namespace vantrel
