// Lookups in the class library's hash table and set against std::unordered_set holding
// the same keys. Each benchmark probes a fixed sequence of keys, half of them held.
// After the runs, a table gives each library lookup's time per probe as a multiple of
// the std::unordered_set time at the same size.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "support/rw_hash_table.h"
#include "support/rw_set.h"

namespace zentor {
namespace {

class BenchKey : public RWCollectable {
 public:
  explicit BenchKey(int key) : m_key(key) {}
  RWClassID isA() const override { return 0x7002; }
  uint32_t hash() const override { return static_cast<uint32_t>(m_key) * 2654435761u; }
  bool isEqual(const RWCollectable* other) const override {
    return static_cast<const BenchKey*>(other)->m_key == m_key;
  }
  int key() const { return m_key; }

 private:
  int m_key;
};

constexpr int kProbes = 4096;

struct KeySet {
  std::vector<std::unique_ptr<BenchKey>> held;
  std::vector<std::unique_ptr<BenchKey>> probes;
  std::vector<int> heldKeys;
  std::vector<int> probeKeys;
};

// n distinct held keys; probes alternate between held keys and keys never held.
KeySet MakeKeys(int n) {
  KeySet keys;
  std::mt19937 random(4242);
  std::unordered_set<int> used;
  while (static_cast<int>(keys.heldKeys.size()) < n) {
    int key = static_cast<int>(random() & 0x3FFFFFFF);
    if (used.insert(key).second) keys.heldKeys.push_back(key);
  }
  for (int i = 0; i < kProbes; ++i) {
    int key = (i % 2 == 0) ? keys.heldKeys[random() % keys.heldKeys.size()] : -1 - static_cast<int>(random() % 1000000);
    keys.probeKeys.push_back(key);
  }
  for (int key : keys.heldKeys) keys.held.push_back(std::make_unique<BenchKey>(key));
  for (int key : keys.probeKeys) keys.probes.push_back(std::make_unique<BenchKey>(key));
  return keys;
}

template <typename Table>
void LibraryLookups(benchmark::State& state, uint32_t bucketsPerEntry) {
  const int n = static_cast<int>(state.range(0));
  KeySet keys = MakeKeys(n);
  // bucketsPerEntry 0: the table left at its default size, as a table the owner never
  // resizes is.
  Table table(bucketsPerEntry == 0 ? DEFAULT_CAPACITY : static_cast<uint32_t>(n) * bucketsPerEntry);
  for (const auto& key : keys.held) table.insert(key.get());
  size_t i = 0;
  int64_t found = 0;
  for (auto _ : state) {
    found += table.find(keys.probes[i].get()) != nullptr;
    i = (i + 1) % kProbes;
  }
  benchmark::DoNotOptimize(found);
  state.SetItemsProcessed(state.iterations());
}

void StdLookups(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  KeySet keys = MakeKeys(n);
  std::unordered_set<int> table(keys.heldKeys.begin(), keys.heldKeys.end());
  size_t i = 0;
  int64_t found = 0;
  for (auto _ : state) {
    found += table.find(keys.probeKeys[i]) != table.end();
    i = (i + 1) % kProbes;
  }
  benchmark::DoNotOptimize(found);
  state.SetItemsProcessed(state.iterations());
}

void HashTableSized(benchmark::State& state) { LibraryLookups<RWHashTable>(state, 1); }
void SetSized(benchmark::State& state) { LibraryLookups<RWSet>(state, 1); }
void SetDefaultBuckets(benchmark::State& state) { LibraryLookups<RWSet>(state, 0); }

BENCHMARK(StdLookups)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(HashTableSized)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(SetSized)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(SetDefaultBuckets)->Arg(1000)->Arg(10000);

// Prints as usual and keeps each run's time for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      std::string name = run.benchmark_name();
      size_t slash = name.find('/');
      m_times[name.substr(slash + 1)][name.substr(0, slash)] = run.GetAdjustedRealTime();
    }
  }
  void PrintRatios() const {
    std::printf("\nTime per lookup as a multiple of std::unordered_set:\n");
    std::printf("%10s %16s %10s %20s\n", "entries", "HashTableSized", "SetSized", "SetDefaultBuckets");
    for (const auto& [size, times] : m_times) {
      auto base = times.find("StdLookups");
      if (base == times.end() || base->second <= 0) continue;
      auto ratio = [&](const char* name) {
        auto it = times.find(name);
        return it == times.end() ? std::string("-") : std::to_string(it->second / base->second).substr(0, 6);
      };
      std::printf("%10s %16s %10s %20s\n", size.c_str(), ratio("HashTableSized").c_str(), ratio("SetSized").c_str(),
                  ratio("SetDefaultBuckets").c_str());
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> m_times;
};

}  // namespace
}  // namespace zentor

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  zentor::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
