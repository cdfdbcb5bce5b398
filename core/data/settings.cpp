#include "core/data/settings.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "core/data/lines.h"
#include "core/data/number.h"

namespace vantrel {
namespace {

// The five numeric keys in the order they are written and matched, between FkNameT
// (first) and FkModel (last).
struct NumberKey {
  std::u16string_view name;
  std::int16_t Settings::*field;
  size_t width;  // value column: key, "=" and width add up to 27
  std::u16string_view comment;
};
constexpr std::array<NumberKey, 5> kNumberKeys{{
    {u"Form2Top", &Settings::editor_top, 18, u"* エディタ画面の上下位置"},
    {u"Form2Left", &Settings::editor_left, 17, u"* エディタ画面の左右位置"},
    {u"FileOn", &Settings::open_layout_at_start, 20, u"* 起動時上記のファイルを開く設定"},
    {u"Timer1On", &Settings::hand_over_to_cad, 18, u"* MICRO CADAM Helix 用に自動切換設定"},
    {u"ComS", &Settings::com_port, 22, u"* 通信ポート"},
}};
constexpr std::u16string_view kFkNameT = u"FkNameT";
constexpr std::u16string_view kFkModel = u"FkModel";
constexpr size_t kFkModelWidth = 19;
constexpr std::u16string_view kFkModelComment = u"* キーボードの種類";
constexpr std::u16string_view kFkNameTTail = u"    * 起動時使用ファイル";

bool Contains(std::u16string_view line, std::u16string_view name) {
  return line.find(name) != std::u16string_view::npos;
}

// The text between the first "=" and the next blank; with no "=", the text before
// the first blank. A value running to the end of the line without a blank (only
// in files edited by hand) is taken whole.
std::u16string_view ValueText(std::u16string_view line) {
  const size_t eq = line.find(u'=');
  const size_t start = eq == std::u16string_view::npos ? 0 : eq + 1;
  const size_t blank = line.find(u' ', start);
  return line.substr(start,
                     blank == std::u16string_view::npos ? line.size() - start : blank - start);
}

// The layout path may hold blanks (folders such as "Program Files"); on the line
// as written it is followed by exactly four blanks and the fixed comment, so the
// whole path is recovered from there instead of stopping at its first blank.
std::u16string_view FkNameTValue(std::u16string_view line) {
  const size_t eq = line.find(u'=');
  if (eq != std::u16string_view::npos && line.size() >= eq + 1 + kFkNameTTail.size() &&
      line.ends_with(kFkNameTTail))
    return line.substr(eq + 1, line.size() - eq - 1 - kFkNameTTail.size());
  return ValueText(line);
}

// Value padded with blanks to width; at least one blank is kept so that an overlong
// value never runs into the comment (which would be read back as part of it).
void AppendPadded(std::u16string& out, std::u16string_view value, size_t width) {
  out += value;
  out.append(width > value.size() ? width - value.size() : 1, u' ');
}

}  // namespace

void ReadSettings(std::string_view bytes, const TextCodec& codec, Settings& s) {
  LineReader lines(bytes);
  std::string_view raw;
  while (lines.Next(raw)) {
    const std::u16string decoded = codec.Decode(raw);
    const std::u16string_view line = decoded;
    // The first key name the line contains, in the written order, is its key.
    if (Contains(line, kFkNameT)) {
      s.layout_path.assign(FkNameTValue(line));
      continue;
    }
    const auto number = std::find_if(kNumberKeys.begin(), kNumberKeys.end(),
                                     [&](const NumberKey& k) { return Contains(line, k.name); });
    if (number != kNumberKeys.end()) {
      // A number outside the 16-bit range leaves the key as it was.
      if (const std::optional<std::int16_t> n = ParseLeadingInt16(ValueText(line)))
        s.*(number->field) = *n;
    } else if (Contains(line, kFkModel)) {
      s.fk_model.assign(ValueText(line));
    }
  }
}

std::string WriteSettings(const Settings& s, const TextCodec& codec) {
  const std::u16string stars(82, u'*');
  const std::u16string frame = u"*" + std::u16string(80, u' ') + u"*";
  std::u16string t;
  t.reserve(1024);
  t += stars + u"\r\n";
  t += frame + u"\r\n";
  t += u"*  MCADAM Helix 用 FK流用プログラム  設定値" + std::u16string(38, u' ') + u"*\r\n";
  t += frame + u"\r\n";
  t += stars + u"\r\n";
  t += std::u16string(kFkNameT) + u"=" + s.layout_path + std::u16string(kFkNameTTail) + u"\r\n";
  for (const NumberKey& k : kNumberKeys) {
    t += k.name;
    t += u'=';
    AppendPadded(t, Decimal(s.*(k.field)), k.width);
    t += k.comment;
    t += u"\r\n";
  }
  t += kFkModel;
  t += u'=';
  AppendPadded(t, s.fk_model, kFkModelWidth);
  t += kFkModelComment;
  t += u"\r\n";
  return codec.Encode(t);
}

}  // namespace vantrel
