// Loading a large CodeView NB09 symbol file (1,000 modules, about 100,000 symbols,
// 20,000 types) through the load driver, as the target interface loads a server
// module's symbols: the load pass alone (what LoadSymbolFile does, module details
// left in the file), and the load pass with every module then asked for. Each reports
// its speed in bytes of the file per second; the reference is reading the same file
// into memory. The load writes the symbol table through the page cache into its
// temporary file, so the numbers include that file's writes.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "large_symbol_program.h"

namespace zentor {
namespace {

using namespace bench;

LargeSymbolFile& File() {
  static LargeSymbolFile file("zentor_cv_load_bench.sym");
  return file;
}

void LoadOnce(benchmark::State& state) {
  ResetSymbolLoad();
  TmiSetServerSymbolsLoaded(0);
  const uint32_t result = LoadSymbolFile(File().Path().c_str(), 0x00400000, 0x00800000);
  FinishSymbolLoad();
  if (result != 0) state.SkipWithError("the load reported a warning");
}

void BM_ReadFileIntoMemory(benchmark::State& state) {
  for (auto _ : state) {
    std::ifstream in(File().Path(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * File().Size()));
}
BENCHMARK(BM_ReadFileIntoMemory)->Unit(benchmark::kMillisecond);

void BM_LoadPass(benchmark::State& state) {
  for (auto _ : state) LoadOnce(state);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * File().Size()));
  state.counters["file_MB"] = static_cast<double>(File().Size()) / 1e6;
}
BENCHMARK(BM_LoadPass)->Unit(benchmark::kMillisecond);

void BM_LoadPassAndEveryModule(benchmark::State& state) {
  for (auto _ : state) {
    LoadOnce(state);
    LoaderState& loader = CurrentLoaderState();
    for (uint32_t id = 1; id <= loader.ModuleCount(); ++id) {
      ModuleDescriptor* module = loader.ModuleById(id);
      if (module != nullptr && module->HasDeferredToken()) LoadDeferredModule(module);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * File().Size()));
}
BENCHMARK(BM_LoadPassAndEveryModule)->Unit(benchmark::kMillisecond);

// The speed of the load pass in MB/s and how many times longer it takes than reading
// the file into memory.
void PrintRatio() {
  const double read = MedianSeconds([] {
    std::ifstream in(File().Path(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    benchmark::DoNotOptimize(bytes.data());
  });
  const double load = MedianSeconds([] {
    ResetSymbolLoad();
    TmiSetServerSymbolsLoaded(0);
    LoadSymbolFile(File().Path().c_str(), 0x00400000, 0x00800000);
    FinishSymbolLoad();
  });
  const double megabytes = static_cast<double>(File().Size()) / 1e6;
  std::printf("CodeView load pass: %.2f MB in %.1f ms, %.1f MB/s; reading the file: %.1f MB/s; ratio %.1f\n",
              megabytes, load * 1e3, megabytes / load, megabytes / read, load / read);
}

}  // namespace
}  // namespace zentor

int main(int argc, char** argv) { return zentor::bench::RunBenchmarksThen(argc, argv, zentor::PrintRatio); }
