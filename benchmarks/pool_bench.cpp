// Memory pools against the system allocator: batches of allocations followed by the
// frees of the same blocks, for small (16 and 48 bytes), medium (600 bytes) and
// fixed-size (256-byte blocks of a fixed pool) requests. After the runs a summary gives
// each pool case's speed relative to the system allocator.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "support/heap_runtime.h"
#include "support/mem_pool.h"

namespace {

using zentor::MemPool;

enum class Allocator { System, Pool, PoolFixed, HeapMalloc };

struct BenchCase {
  const char* m_name;
  size_t m_size;
  bool m_fixed;  // the pool side uses a fixed pool of blocks of this size
};

const BenchCase kCases[] = {
    {"small16", 16, false},
    {"small48", 48, false},
    {"medium600", 600, false},
    {"fixed256", 256, true},
};
const int kBatches[] = {64, 1000};

// Every block is touched once, so neither side's blocks are merely address arithmetic.
void RunBatches(benchmark::State& state, Allocator allocator, size_t size, int batch) {
  std::vector<void*> blocks(static_cast<size_t>(batch));
  MemPool* pool = nullptr;
  if (allocator == Allocator::Pool) pool = MemPool::Create();
  if (allocator == Allocator::PoolFixed) pool = MemPool::CreateFixed(static_cast<uint32_t>(size), 0);
  for (auto _ : state) {
    for (int i = 0; i < batch; ++i) {
      void* block = nullptr;
      switch (allocator) {
        case Allocator::System: block = std::malloc(size); break;
        case Allocator::Pool: block = MemPool::Alloc(pool, size); break;
        case Allocator::PoolFixed: block = MemPool::AllocFixed(pool); break;
        case Allocator::HeapMalloc: block = zentor::heap::malloc(size); break;
      }
      *static_cast<volatile char*>(block) = 1;
      blocks[static_cast<size_t>(i)] = block;
    }
    benchmark::DoNotOptimize(blocks.data());
    benchmark::ClobberMemory();
    for (int i = 0; i < batch; ++i) {
      void* block = blocks[static_cast<size_t>(i)];
      switch (allocator) {
        case Allocator::System: std::free(block); break;
        case Allocator::Pool: MemPool::Free(block); break;
        case Allocator::PoolFixed: MemPool::FreeFixed(block); break;
        case Allocator::HeapMalloc: zentor::heap::free(block); break;
      }
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * batch);
  state.counters["ns_per_pair"] = benchmark::Counter(static_cast<double>(state.iterations() * batch),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                                                      benchmark::Counter::kIs1000);
  if (pool != nullptr) MemPool::Destroy(pool);
}

// Keeps each run's time per alloc+free pair, for the summary.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      m_secondsPerIteration[run.benchmark_name()] =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double SecondsPerIteration(const std::string& name) const {
    auto it = m_secondsPerIteration.find(name);
    return it == m_secondsPerIteration.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> m_secondsPerIteration;
};

std::string Name(const char* side, const BenchCase& c, int batch) {
  return std::string(side) + "/" + c.m_name + "/batch" + std::to_string(batch);
}

}  // namespace

int main(int argc, char** argv) {
  for (const BenchCase& c : kCases) {
    for (int batch : kBatches) {
      benchmark::RegisterBenchmark(Name("system", c, batch).c_str(), [c, batch](benchmark::State& state) {
        RunBatches(state, Allocator::System, c.m_size, batch);
      });
      benchmark::RegisterBenchmark(Name("pool", c, batch).c_str(), [c, batch](benchmark::State& state) {
        RunBatches(state, c.m_fixed ? Allocator::PoolFixed : Allocator::Pool, c.m_size, batch);
      });
      if (!c.m_fixed) {
        benchmark::RegisterBenchmark(Name("heap_malloc", c, batch).c_str(), [c, batch](benchmark::State& state) {
          RunBatches(state, Allocator::HeapMalloc, c.m_size, batch);
        });
      }
    }
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\nPool speed relative to the system allocator (system time / pool time, alloc+free in batches)\n");
  for (const BenchCase& c : kCases) {
    for (int batch : kBatches) {
      double system = reporter.SecondsPerIteration(Name("system", c, batch));
      double pool = reporter.SecondsPerIteration(Name("pool", c, batch));
      if (system <= 0 || pool <= 0) continue;
      double ratio = system / pool;
      double perPairSystem = system / batch * 1e9;
      double perPairPool = pool / batch * 1e9;
      std::printf("  %-10s batch %-5d system %7.2f ns  pool %7.2f ns  ratio %5.2fx", c.m_name, batch, perPairSystem,
                  perPairPool, ratio);
      double heap = reporter.SecondsPerIteration(Name("heap_malloc", c, batch));
      if (heap > 0) std::printf("  [heap::malloc %.2f ns]", heap / batch * 1e9);
      std::printf("\n");
    }
  }
  benchmark::Shutdown();
  return 0;
}
