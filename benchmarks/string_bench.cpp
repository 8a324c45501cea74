// RWCString against std::string: copying (one reference-count change against a
// character copy, or nothing beyond the small-string buffer) and appending (growth
// in steps of 16 against geometric growth). Prints the time ratios at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/rw_cstring.h"

namespace {

using zentor::RWCString;

template <typename String>
String MakeText(int64_t length) {
  std::string text(static_cast<size_t>(length), 'x');
  return String(text.c_str());
}

template <typename String>
void BM_Copy(benchmark::State& state) {
  String source = MakeText<String>(state.range(0));
  for (auto _ : state) {
    String copy(source);
    benchmark::DoNotOptimize(copy);
  }
}

// Copy then modify one character: the shared body is copied at the first write.
template <typename String>
void BM_CopyThenWrite(benchmark::State& state) {
  String source = MakeText<String>(state.range(0));
  for (auto _ : state) {
    String copy(source);
    copy[0] = 'y';
    benchmark::DoNotOptimize(copy);
  }
}

template <typename String>
void BM_AppendChar(benchmark::State& state) {
  for (auto _ : state) {
    String text;
    for (int64_t i = 0; i < state.range(0); ++i) text += 'a';
    benchmark::DoNotOptimize(text);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <typename String>
void BM_AppendWord(benchmark::State& state) {
  for (auto _ : state) {
    String text;
    for (int64_t i = 0; i < state.range(0); ++i) text += "word ";
    benchmark::DoNotOptimize(text);
  }
}

BENCHMARK_TEMPLATE(BM_Copy, RWCString)->Arg(8)->Arg(64)->Arg(1024);
BENCHMARK_TEMPLATE(BM_Copy, std::string)->Arg(8)->Arg(64)->Arg(1024);
BENCHMARK_TEMPLATE(BM_CopyThenWrite, RWCString)->Arg(8)->Arg(64)->Arg(1024);
BENCHMARK_TEMPLATE(BM_CopyThenWrite, std::string)->Arg(8)->Arg(64)->Arg(1024);
BENCHMARK_TEMPLATE(BM_AppendChar, RWCString)->Arg(100)->Arg(10000);
BENCHMARK_TEMPLATE(BM_AppendChar, std::string)->Arg(100)->Arg(10000);
BENCHMARK_TEMPLATE(BM_AppendWord, RWCString)->Arg(20)->Arg(2000);
BENCHMARK_TEMPLATE(BM_AppendWord, std::string)->Arg(20)->Arg(2000);

// Keeps each run's time per iteration so that the pairs can be compared afterwards.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::printf("\nRWCString time / std::string time (below 1: RWCString faster)\n");
    for (const auto& [name, time] : m_times) {
      const std::string marker = "<RWCString>";
      size_t at = name.find(marker);
      if (at == std::string::npos) continue;
      std::string other = name.substr(0, at) + "<std::string>" + name.substr(at + marker.size());
      auto found = m_times.find(other);
      if (found == m_times.end() || found->second <= 0) continue;
      std::printf("  %-32s %6.2f\n", (name.substr(0, at) + name.substr(at + marker.size())).c_str(),
                  time / found->second);
    }
  }

 private:
  std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
