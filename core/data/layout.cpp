#include "core/data/layout.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/data/lines.h"
#include "core/data/macro.h"
#include "core/data/number.h"

namespace vantrel {
namespace {

LayoutReadResult Fail(LayoutError reason, int line, int records) {
  return LayoutReadResult{false, reason, line, records};
}

}  // namespace

std::string WriteLayout(const AssignmentTable& table, const TextCodec& codec) {
  // Built whole and encoded once: one conversion instead of 384.
  std::u16string text;
  text.reserve(4096);
  for (int m = 1; m <= kMouseStates; ++m) {
    for (int k = 1; k <= kKeys; ++k) {
      const KeyEntry& e = table.Entry(m, k);
      if (e.body[1].empty()) {
        text += u"\r\n\r\n\r\n";
        continue;
      }
      text += e.label;
      text += u"\r\n";
      text += Decimal(e.count);
      text += u"\r\n";
      AppendMacroLine(e, text);
      text += u"\r\n";
    }
  }
  return codec.Encode(text);
}

LayoutReadResult ReadLayoutRecords(std::string_view bytes, const TextCodec& codec,
                                   AssignmentTable& table) {
  // Lines and steps are split on the bytes (see LineReader). The file is decoded at
  // once when that keeps every line break, as it does for any valid file; each line
  // is decoded alone when a damaged lead byte took a line break with it.
  const std::u16string text = codec.Decode(bytes);
  const bool breaks_kept =
      std::count(text.begin(), text.end(), u'\n') == std::count(bytes.begin(), bytes.end(), '\n');
  LineReader lines(bytes);
  TextLineReader text_lines(breaks_kept ? std::u16string_view(text) : std::u16string_view());
  std::string_view line;
  std::u16string_view line_text;
  std::u16string decoded;
  // The next line's bytes and text; false at the end of the file.
  const auto next = [&] {
    if (!lines.Next(line)) return false;
    if (!text_lines.Next(line_text)) line_text = decoded = codec.Decode(line);
    return true;
  };
  int line_no = 0;
  int records = 0;
  for (int m = 1; m <= kMouseStates; ++m) {
    for (int k = 1; k <= kKeys; ++k) {
      if (lines.AtEnd()) return LayoutReadResult{true, LayoutError::kNone, 0, records};
      KeyEntry& e = table.Entry(m, k);

      next();
      ++line_no;
      e.label.assign(line_text);

      if (!next()) return Fail(LayoutError::kTruncatedRecord, line_no + 1, records);
      ++line_no;
      const std::optional<std::int16_t> count = ParseLeadingInt16(line);
      if (!count) return Fail(LayoutError::kCountOutOfRange, line_no, records);
      e.count = *count;

      if (!next()) return Fail(LayoutError::kTruncatedRecord, line_no + 1, records);
      ++line_no;
      if (!ReadMacroLine(line, line_text, codec, e).ok)
        return Fail(LayoutError::kTooManySteps, line_no, records);
      ++records;
    }
  }
  return LayoutReadResult{true, LayoutError::kNone, 0, records};
}

LayoutReadResult ReadLayout(std::string_view bytes, const TextCodec& codec,
                            AssignmentTable& table) {
  table.Clear();
  return ReadLayoutRecords(bytes, codec, table);
}

LayoutReadResult LoadLayoutRecords(const FileSystem& fs, std::u16string_view path,
                                   const TextCodec& codec, AssignmentTable& table) {
  const std::optional<std::string> bytes = fs.ReadAll(path);
  if (!bytes) return Fail(LayoutError::kCannotOpen, 0, 0);
  return ReadLayoutRecords(*bytes, codec, table);
}

LayoutReadResult LoadLayoutFile(const FileSystem& fs, std::u16string_view path,
                                const TextCodec& codec, AssignmentTable& table) {
  const std::optional<std::string> bytes = fs.ReadAll(path);
  if (!bytes) return Fail(LayoutError::kCannotOpen, 0, 0);
  return ReadLayout(*bytes, codec, table);
}

bool SaveLayoutFile(const FileSystem& fs, std::u16string_view path, const TextCodec& codec,
                    const AssignmentTable& table) {
  return fs.ReplaceAtomically(path, WriteLayout(table, codec));
}

std::u16string LayoutDisplayName(std::u16string_view path) {
  std::u16string name;
  for (char16_t c : path) {
    if (c == u'\\') {
      name.clear();
    } else if (c == u'.') {
      break;
    } else {
      name.push_back(c);
    }
  }
  return name;
}

}  // namespace vantrel
