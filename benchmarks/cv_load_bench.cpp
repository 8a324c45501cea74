// Loading a large CodeView NB09 symbol file (1,000 modules, about 100,000 symbols,
// 20,000 types) through the load driver, as the target interface loads a server
// module's symbols: the load pass alone (what LoadSymbolFile does, module details
// left in the file), and the load pass with every module then asked for. Each reports
// its speed in bytes of the file per second; the reference is reading the same file
// into memory with one plain read. The load writes the symbol table through the page
// cache into its temporary file, so the numbers include that file's writes.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/binary_file.h"

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

// The file into memory: opened, one read of all its bytes, closed.
void ReadFileOnce() {
  platform::BinaryFile file(File().Path(), platform::FileOpenMode::ReadOnly);
  std::vector<uint8_t> bytes(File().Size());
  const size_t got = file.Read(bytes.data(), bytes.size());
  benchmark::DoNotOptimize(bytes.data());
  benchmark::DoNotOptimize(got);
}

void LoadWithEveryModule() {
  ResetSymbolLoad();
  TmiSetServerSymbolsLoaded(0);
  LoadSymbolFile(File().Path().c_str(), 0x00400000, 0x00800000);
  FinishSymbolLoad();
  LoaderState& loader = CurrentLoaderState();
  for (uint32_t id = 1; id <= loader.ModuleCount(); ++id) {
    ModuleDescriptor* module = loader.ModuleById(id);
    if (module != nullptr && module->HasDeferredToken()) LoadDeferredModule(module);
  }
}

void BM_ReadFileIntoMemory(benchmark::State& state) {
  for (auto _ : state) ReadFileOnce();
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

// The speeds of the load pass and of the full load (every module asked for) in MB/s,
// each with how many times longer it takes than reading the file into memory.
void PrintRatio() {
  const double read = MedianSeconds(ReadFileOnce);
  const double pass = MedianSeconds([] {
    ResetSymbolLoad();
    TmiSetServerSymbolsLoaded(0);
    LoadSymbolFile(File().Path().c_str(), 0x00400000, 0x00800000);
    FinishSymbolLoad();
  });
  const double full = MedianSeconds(LoadWithEveryModule);
  const double megabytes = static_cast<double>(File().Size()) / 1e6;
  std::printf("CodeView file: %.2f MB; reading it: %.1f MB/s\n", megabytes, megabytes / read);
  std::printf("CodeView load pass: %.1f ms, %.1f MB/s, ratio to reading %.1f\n", pass * 1e3, megabytes / pass,
              pass / read);
  std::printf("CodeView full load: %.1f ms, %.1f MB/s, ratio to reading %.1f\n", full * 1e3, megabytes / full,
              full / read);
  const PageCache& cache = GetCurrentSymbolContext()->Cache();
  std::printf("Symbol-table file after the full load: %.2f MB, %u page writes, %u page reads\n",
              static_cast<double>(cache.FileLength()) / 1e6, cache.FileWrites(), cache.FileReads());
}

}  // namespace
}  // namespace zentor

int main(int argc, char** argv) { return zentor::bench::RunBenchmarksThen(argc, argv, zentor::PrintRatio); }
