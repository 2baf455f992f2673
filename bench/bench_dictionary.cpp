// The dictionary's JSON form against nlohmann-json: dump and parse of 10,000 entries (strings
// with characters to escape, integers, doubles, small nested objects and lists). Both sides
// read the same text. The reported time is ours; x_nlohmann = our time / nlohmann's
// (goal <= 3).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "bench/BenchSupport.h"
#include "core/hypxutils.h"

namespace {

constexpr int kEntries = 10000;

std::string Key(int i) { return "Entry:" + std::to_string(i); }

void Fill(TPXDictionary& d, nlohmann::json& j) {
  for (int i = 0; i < kEntries; ++i) {
    const std::string k = Key(i);
    switch (i % 5) {
      case 0: {
        const std::string s = "C:\\Pictures\\\"photo\" " + std::to_string(i) + ".jpg\n";
        d.InsertString(k, s);
        j[k] = s;
        break;
      }
      case 1:
        d.InsertInteger(k, i * 37);
        j[k] = i * 37;
        break;
      case 2:
        d.InsertObject(k, std::make_unique<TPXDictionaryValueDouble>(i * 0.25 + 0.1));
        j[k] = i * 0.25 + 0.1;
        break;
      case 3: {
        auto n = std::make_unique<TPXDictionary>();
        n->InsertInteger("w", i);
        n->InsertString("name", "layer");
        d.InsertDictionary(k, std::move(n));
        j[k] = {{"w", i}, {"name", "layer"}};
        break;
      }
      default: {
        auto l = std::make_unique<TObjectList>(true);
        l->Add(std::make_unique<TPXDictionaryValueInteger>(i).release());
        l->Add(std::make_unique<TPXDictionaryValueWideString>("x").release());
        d.InsertList(k, std::move(l));
        j[k] = {i, "x"};
      }
    }
  }
}

template <class Ours, class Peer>
void Compare(benchmark::State& state, Ours ours, Peer peer) {
  TimeOursAgainstPeer(state, "x_nlohmann", ours, peer);
  state.SetItemsProcessed(static_cast<int64_t>(kEntries) * state.iterations());
}

void BM_Dump(benchmark::State& state) {
  TPXDictionary d;
  nlohmann::json j;
  Fill(d, j);
  Compare(
      state,
      [&] {
        std::string text;
        d.Dump(0, text);
        benchmark::DoNotOptimize(text.data());
      },
      [&] {
        std::string text = j.dump();
        benchmark::DoNotOptimize(text.data());
      });
}

void BM_Parse(benchmark::State& state) {
  TPXDictionary d;
  nlohmann::json j;
  Fill(d, j);
  std::string text;
  d.Dump(0, text);
  Compare(
      state,
      [&] {
        TPXDictionary parsed;
        if (!parsed.Parse(text) || parsed.Count() != kEntries) std::abort();
      },
      [&] {
        nlohmann::json parsed = nlohmann::json::parse(text);
        if (parsed.size() != kEntries) std::abort();
      });
}

BENCHMARK(BM_Dump)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Parse)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
