// Reading a full layout into the assignment table: what the shell does when the user
// picks a layout and the editor does on Open. Goal: at most 50 µs for 384 lines.
#include <benchmark/benchmark.h>

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

}  // namespace
}  // namespace vantrel
