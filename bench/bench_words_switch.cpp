// The word table's language switch and lookup against plain string work of the same size.
// Switch: SelectWordLanguage between German and French (both complete) against copying the same
// 757 texts into an array of strings (x_copy, goal <= 2). Lookup: GetLanguageWord over every
// index against copying the word out of an array of strings (x_array, goal <= 3). Each iteration
// times the peer and ours back to back on the same thread; the reported time is ours.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "bench/BenchSupport.h"
#include "core/pxsettings.h"
#include "core/pxwords.h"
#include "words/pxwords.h"

namespace {

using TWordArray = std::array<std::string, PXWordCount>;

TWordArray WordsOf(uint8_t Language) {
  SelectWordLanguage(Language);
  GlobalSettingsInstance()->FLanguage = Language;
  TWordArray words;
  for (uint16_t i = 0; i < PXWordCount; ++i) words[i] = GetLanguageWord(i);
  return words;
}

void BM_SwitchLanguage(benchmark::State& state) {
  const TWordArray german = WordsOf(3), french = WordsOf(5);
  TWordArray copy = german;
  bool toFrench = true;
  bool copyFrench = true;
  TimeOursAgainstPeer(
      state, "x_copy",
      [&] {
        SelectWordLanguage(toFrench ? 5 : 3);
        toFrench = !toFrench;
      },
      [&] {
        const TWordArray& from = copyFrench ? french : german;
        for (size_t i = 0; i < from.size(); ++i) copy[i] = from[i];
        benchmark::DoNotOptimize(copy.data());
        copyFrench = !copyFrench;
      });
  state.SetItemsProcessed(static_cast<int64_t>(PXWordCount) * state.iterations());
}

void BM_Lookup(benchmark::State& state) {
  const TWordArray german = WordsOf(3);
  size_t total = 0;
  TimeOursAgainstPeer(
      state, "x_array",
      [&] {
        for (uint16_t i = 0; i < PXWordCount; ++i) {
          const std::string w = GetLanguageWord(i);
          total += w.size();
        }
      },
      [&] {
        for (uint16_t i = 0; i < PXWordCount; ++i) {
          const std::string w = german[i];
          total += w.size();
        }
      });
  benchmark::DoNotOptimize(total);
  state.SetItemsProcessed(static_cast<int64_t>(PXWordCount) * state.iterations());
}

BENCHMARK(BM_SwitchLanguage)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lookup)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv, &RegisterWordLanguages); }
