// fkl: inspects and rewrites layout (.fkl) and settings files the way the program
// reads and writes them.
//
//   fkl dump FILE                  readable listing of the keys that hold anything
//   fkl check FILE                 exit 0 when the file reads completely
//   fkl roundtrip IN OUT           read IN, write it to OUT as the program writes
//   fkl settings IN [--write OUT]  the seven settings; optionally written to OUT
//   fkl layout OUT [[M:]K=LINE...]  a layout whose key K (of mouse state M, default 1)
//                                  holds the macro line LINE, e.g. 5=結合,#Ctrl+S,*図面
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/layout.h"
#include "core/data/macro.h"
#include "core/data/settings.h"
#include "core/editor/printout.h"
#include "tools/common/iconv_codec.h"
#include "tools/common/posix_files.h"

namespace vantrel {
namespace {

constexpr const char* kUsage =
    "usage: fkl dump FILE\n"
    "       fkl check FILE\n"
    "       fkl roundtrip IN OUT\n"
    "       fkl settings IN [--write OUT]\n"
    "       fkl layout OUT [[M:]K=LINE...]\n"
    "       fkl print FILE\n";

const char* ReasonText(LayoutError e) {
  switch (e) {
    case LayoutError::kNone:
      return "no error";
    case LayoutError::kCannotOpen:
      return "cannot open";
    case LayoutError::kTruncatedRecord:
      return "truncated record (file ends inside it)";
    case LayoutError::kCountOutOfRange:
      return "count out of 16-bit range";
    case LayoutError::kTooManySteps:
      return "more than 60 steps";
  }
  return "unknown error";
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "fkl: %s\n", message.c_str());
  return 1;
}

int ReadFailure(std::string_view file, const LayoutReadResult& r) {
  if (r.reason == LayoutError::kCannotOpen) return Fail(std::string(file) + ": cannot open");
  return Fail(std::string(file) + ": line " + std::to_string(r.line) + ": " + ReasonText(r.reason));
}

// Text shown on one line: control characters as <U+XXXX>, so a stray CR or tab in a
// label cannot break the listing.
std::string Show(std::u16string_view text) {
  std::string out;
  std::u16string plain;
  for (char16_t c : text) {
    if (c < 0x20 || c == 0x7F) {
      out += ToUtf8(plain);
      plain.clear();
      char buf[16];
      std::snprintf(buf, sizeof buf, "<U+%04X>", static_cast<unsigned>(c));
      out += buf;
    } else {
      plain += c;
    }
  }
  return out + ToUtf8(plain);
}

bool HoldsAnything(const KeyEntry& e) {
  if (!e.label.empty() || e.count != 0 || !e.mode.empty()) return true;
  for (int s = 1; s <= kMaxSteps; ++s)
    if (!e.marker[s].empty() || !e.body[s].empty()) return true;
  return false;
}

void Dump(const AssignmentTable& t) {
  static const char* const kMouse[] = {"", "none", "left", "middle", "right"};
  for (int m = 1; m <= kMouseStates; ++m) {
    for (int k = 1; k <= kKeys; ++k) {
      const KeyEntry& e = t.Entry(m, k);
      if (!HoldsAnything(e)) continue;
      std::printf("mouse %d (%s) key %d\n", m, kMouse[m], k);
      std::printf("  label: %s\n", Show(e.label).c_str());
      std::printf("  count: %d\n", e.count);
      std::printf("  mode: %s\n", Show(e.mode).c_str());
      int last = 0;
      for (int s = 1; s <= kMaxSteps; ++s)
        if (!e.marker[s].empty() || !e.body[s].empty()) last = s;
      for (int s = 1; s <= last; ++s)
        std::printf("  step %d: marker \"%s\" body \"%s\"\n", s, Show(e.marker[s]).c_str(),
                    Show(e.body[s]).c_str());
    }
  }
}

bool ParseIndex(std::string_view text, int low, int high, int& out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && out >= low && out <= high;
}

// Each key's count is the number of steps of its line, its label empty.
int WriteLayoutFile(const FileSystem& fs, const TextCodec& codec,
                    const std::vector<std::string>& args) {
  AssignmentTable table;
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const std::size_t eq = arg.find('=');
    std::string_view place = arg.substr(0, eq);
    int mouse = 1, key = 0;
    bool ok = eq != std::string_view::npos;
    if (const std::size_t colon = place.find(':'); colon != std::string_view::npos) {
      ok = ok && ParseIndex(place.substr(0, colon), 1, kMouseStates, mouse);
      place.remove_prefix(colon + 1);
    }
    if (!ok || !ParseIndex(place, 1, kKeys, key))
      return Fail(std::string(arg) + ": expected [M:]K=LINE");
    KeyEntry& entry = table.Entry(mouse, key);
    const MacroReadResult r = ReadMacroLine(FromUtf8(arg.substr(eq + 1)), entry);
    if (!r.ok) return Fail(std::string(arg) + ": more than 60 steps");
    entry.count = static_cast<std::int16_t>(r.steps);
  }
  if (!SaveLayoutFile(fs, FromUtf8(args[1]), codec, table)) return Fail(args[1] + ": cannot write");
  return 0;
}

int Run(const std::vector<std::string>& args) {
  const IconvCodec codec;
  const PosixFiles fs;
  if (args.size() == 2 && (args[0] == "dump" || args[0] == "check")) {
    AssignmentTable table;
    const LayoutReadResult r = LoadLayoutFile(fs, FromUtf8(args[1]), codec, table);
    if (args[0] == "dump") Dump(table);
    if (r.failed()) return ReadFailure(args[1], r);
    if (args[0] == "check") std::printf("%s: ok, %d records\n", args[1].c_str(), r.records);
    return 0;
  }
  if (args.size() == 3 && args[0] == "roundtrip") {
    AssignmentTable table;
    const LayoutReadResult r = LoadLayoutFile(fs, FromUtf8(args[1]), codec, table);
    if (r.failed()) return ReadFailure(args[1], r);
    if (!SaveLayoutFile(fs, FromUtf8(args[2]), codec, table))
      return Fail(args[2] + ": cannot write");
    return 0;
  }
  if ((args.size() == 2 || (args.size() == 4 && args[2] == "--write")) && args[0] == "settings") {
    const std::optional<std::string> bytes = fs.ReadAll(FromUtf8(args[1]));
    if (!bytes) return Fail(args[1] + ": cannot open");
    Settings s;
    ReadSettings(*bytes, codec, s);
    std::printf(
        "FkNameT=%s\nForm2Top=%d\nForm2Left=%d\nFileOn=%d\nTimer1On=%d\nComS=%d\n"
        "FkModel=%s\n",
        Show(s.layout_path).c_str(), s.editor_top, s.editor_left, s.open_layout_at_start,
        s.hand_over_to_cad, s.com_port, Show(s.fk_model).c_str());
    if (args.size() == 4 && !fs.ReplaceAtomically(FromUtf8(args[3]), WriteSettings(s, codec)))
      return Fail(args[3] + ": cannot write");
    return 0;
  }
  if (args.size() >= 2 && args[0] == "layout") return WriteLayoutFile(fs, codec, args);
  if (args.size() == 2 && args[0] == "print") {
    // The print-out's four pages as text, each followed by a form feed line.
    AssignmentTable table;
    const LayoutReadResult r = LoadLayoutFile(fs, FromUtf8(args[1]), codec, table);
    if (r.failed()) return ReadFailure(args[1], r);
    if (!editor::HasPrintData(table)) {
      std::string text = ToUtf8(editor::NoPrintDataText());
      std::replace(text.begin(), text.end(), '\r', '\n');  // the box's line breaks
      return Fail(text);
    }
    editor::TextPrinter printer;
    static_cast<void>(editor::PrintLayout(table, printer));
    std::fputs(ToUtf8(printer.Text()).c_str(), stdout);
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace
}  // namespace vantrel

int main(int argc, char** argv) {
  try {
    return vantrel::Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fkl: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "fkl: unexpected error\n");
  }
  return 1;
}
