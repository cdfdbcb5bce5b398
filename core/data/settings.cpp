#include "core/data/settings.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "core/data/lines.h"
#include "core/data/number.h"

namespace vantrel {
namespace {

enum class Key { FkNameT, Form2Top, Form2Left, FileOn, Timer1On, ComS, FkModel };

// Tried in this order; the first name the line contains anywhere is its key.
constexpr std::array<std::pair<std::u16string_view, Key>, 7> kKeys{{
    {u"FkNameT", Key::FkNameT},
    {u"Form2Top", Key::Form2Top},
    {u"Form2Left", Key::Form2Left},
    {u"FileOn", Key::FileOn},
    {u"Timer1On", Key::Timer1On},
    {u"ComS", Key::ComS},
    {u"FkModel", Key::FkModel},
}};

constexpr std::u16string_view kFkNameTTail = u"    * 起動時使用ファイル";

std::optional<Key> KeyOf(std::u16string_view line) {
  for (const auto& [name, key] : kKeys)
    if (line.find(name) != std::u16string_view::npos) return key;
  return std::nullopt;
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

std::int16_t* NumberField(Settings& s, Key key) {
  switch (key) {
    case Key::Form2Top:
      return &s.Form2Top;
    case Key::Form2Left:
      return &s.Form2Left;
    case Key::FileOn:
      return &s.FileOn;
    case Key::Timer1On:
      return &s.Timer1On;
    case Key::ComS:
      return &s.ComS;
    default:
      return nullptr;
  }
}

// Value padded with blanks to width; at least one blank is kept so that an overlong
// value never runs into the comment (which would be read back as part of it).
void AppendPadded(std::u16string& out, std::u16string_view value, size_t width) {
  out += value;
  out.append(width > value.size() ? width - value.size() : 1, u' ');
}

std::u16string Decimal(std::int16_t n) {
  const std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

}  // namespace

void ReadSettings(std::string_view bytes, const TextCodec& codec, Settings& s) {
  const std::u16string text = codec.Decode(bytes);
  LineReader lines(text);
  std::u16string_view line;
  while (lines.Next(line)) {
    const std::optional<Key> key = KeyOf(line);
    if (!key) continue;
    if (*key == Key::FkNameT) {
      s.FkNameT.assign(FkNameTValue(line));
    } else if (*key == Key::FkModel) {
      s.FkModel.assign(ValueText(line));
    } else if (const std::optional<std::int16_t> n = ParseLeadingInt16(ValueText(line))) {
      *NumberField(s, *key) = *n;
    }
    // A number outside the 16-bit range leaves the key as it was.
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
  t += u"FkNameT=" + s.FkNameT + std::u16string(kFkNameTTail) + u"\r\n";
  t += u"Form2Top=";
  AppendPadded(t, Decimal(s.Form2Top), 18);
  t += u"* エディタ画面の上下位置\r\n";
  t += u"Form2Left=";
  AppendPadded(t, Decimal(s.Form2Left), 17);
  t += u"* エディタ画面の左右位置\r\n";
  t += u"FileOn=";
  AppendPadded(t, Decimal(s.FileOn), 20);
  t += u"* 起動時上記のファイルを開く設定\r\n";
  t += u"Timer1On=";
  AppendPadded(t, Decimal(s.Timer1On), 18);
  t += u"* MICRO CADAM Helix 用に自動切換設定\r\n";
  t += u"ComS=";
  AppendPadded(t, Decimal(s.ComS), 22);
  t += u"* 通信ポート\r\n";
  t += u"FkModel=";
  AppendPadded(t, s.FkModel, 19);
  t += u"* キーボードの種類\r\n";
  return codec.Encode(t);
}

}  // namespace vantrel
