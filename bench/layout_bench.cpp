// Reading a full layout into the assignment table: what the shell does when the user
// picks a layout and the editor does on Open. Goal: at most 50 µs for 384 lines.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>

#include "core/data/layout.h"
#include "core/data/macro.h"
#include "tools/common/iconv_codec.h"

namespace vantrel {
namespace {

const IconvCodec codec;

// 128 keys with the kind of macros a CAD user keeps: short key steps, a few texts,
// Japanese labels and texts, some long macros.
AssignmentTable Realistic() {
  static const char16_t* const kLines[] = {
      u"結合,#Ctrl+S",
      u"結合,#Ctrl+Z",
      u"分割,#Shift",
      u"結合,#Shift+Ctrl+A,#Enter,*図面番号",
      u"結合,*部品番号 ,#Tab,*寸法線,#Enter",
      u"結合,#Alt+F,#O,*C:\\図面\\plate.fkl,#Enter",
      u"分割,#Ctrl+Alt+ﾃﾝｷｰ＋,#LeftClick",
      u"結合,#F12,#↓,#↓,#Enter,*はい,#Esc,#Ctrl+Shift+F3,#ﾃﾝｷｰ5,#Del,#BackSpace",
  };
  static const char16_t* const kLabels[] = {u"保存", u"元に戻す", u"Shift", u"図番",
                                            u"部品", u"開く",     u"拡大",  u"長いマクロ"};
  AssignmentTable t;
  int i = 0;
  for (int m = 1; m <= kMouseStates; ++m) {
    for (int k = 1; k <= kKeys; ++k, ++i) {
      KeyEntry& e = t.Entry(m, k);
      const MacroReadResult r = ReadMacroLine(kLines[i % 8], e);
      e.label = kLabels[i % 8];
      e.count = static_cast<std::int16_t>(r.steps);
    }
  }
  return t;
}

const std::string& LayoutBytes() {
  static const std::string bytes = WriteLayout(Realistic(), codec);
  return bytes;
}

void BM_ReadLayout(benchmark::State& state) {
  const std::string& bytes = LayoutBytes();
  AssignmentTable table;
  for (auto _ : state) {
    LayoutReadResult r = ReadLayout(bytes, codec, table);
    benchmark::DoNotOptimize(r);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadLayout);

// The parts of a read, to see where the time goes.
void BM_ClearTable(benchmark::State& state) {
  AssignmentTable table = Realistic();
  for (auto _ : state) {
    table.Clear();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ClearTable);

void BM_DecodeLayout(benchmark::State& state) {
  const std::string& bytes = LayoutBytes();
  for (auto _ : state) benchmark::DoNotOptimize(codec.Decode(bytes));
}
BENCHMARK(BM_DecodeLayout);

void BM_WriteLayout(benchmark::State& state) {
  const AssignmentTable table = Realistic();
  for (auto _ : state) benchmark::DoNotOptimize(WriteLayout(table, codec));
}
BENCHMARK(BM_WriteLayout);

// For comparison: the same read with a decoder that converts to the C library's wide
// characters (one conversion step in glibc instead of two through UTF-16) with one
// descriptor kept open. Only Decode differs; it shows what the native codec could do.
class WideIconvDecoder final : public TextCodec {
 public:
  WideIconvDecoder() : cd_(iconv_open("WCHAR_T", "CP932")) {}
  ~WideIconvDecoder() override { iconv_close(cd_); }
  WideIconvDecoder(const WideIconvDecoder&) = delete;
  WideIconvDecoder& operator=(const WideIconvDecoder&) = delete;

  std::u16string Decode(std::string_view cp932) const override {
    std::wstring wide(cp932.size(), L'\0');
    char* in = const_cast<char*>(cp932.data());
    size_t in_left = cp932.size();
    char* out = reinterpret_cast<char*>(wide.data());
    size_t out_left = wide.size() * sizeof(wchar_t);
    iconv(cd_, &in, &in_left, &out, &out_left);  // valid input only: enough for timing
    wide.resize(wide.size() - out_left / sizeof(wchar_t));
    return std::u16string(wide.begin(), wide.end());
  }
  std::string Encode(std::u16string_view text) const override { return codec.Encode(text); }

 private:
  iconv_t cd_;
};

void BM_ReadLayoutWideDecoder(benchmark::State& state) {
  const WideIconvDecoder wide;
  const std::string& bytes = LayoutBytes();
  AssignmentTable table;
  if (!ReadLayout(bytes, wide, table).ok || !(table == Realistic())) {
    state.SkipWithError("wide decoder reads differently");
    return;
  }
  for (auto _ : state) {
    LayoutReadResult r = ReadLayout(bytes, wide, table);
    benchmark::DoNotOptimize(r);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ReadLayoutWideDecoder);

}  // namespace
}  // namespace vantrel
