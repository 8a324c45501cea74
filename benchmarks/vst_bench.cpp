// The symbol-table file of a large program (100,000 global symbols with their names)
// written and read back through the page cache over a real temporary file: records
// written per second, records read per second walking the chain and at random
// handles, and name lookups per second (a walk of the chain comparing each record's
// name key with the name looked for). The file is about 11,000 pages, so nearly every
// page passes through the 121 buffers and the file.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "symbols/page_cache.h"
#include "symbols/symbol_records.h"
#include "symbols/vst_file.h"

namespace zentor {
namespace {

constexpr uint32_t kSymbols = 100000;

std::string SymbolName(uint32_t i) {
  char name[32];
  std::snprintf(name, sizeof name, "symbol_%06u", i);
  return name;
}

AddressDescriptor MemoryAddress(uint32_t offset) {
  TargetAddressRecord record;
  record.m_addressClass = kAddressClassMemory;
  record.m_addressKind = kAddressKindMemoryOffset;
  record.m_offset = offset;
  return AddressDescriptor(record);
}

// A program's global chain and name pool in one file.
struct Program {
  std::unique_ptr<PageCache> m_cache = std::make_unique<PageCache>();
  RecordChainWriter m_globals;
  RecordChainWriter m_names;
  std::vector<RecordHandle> m_records;

  void Write() {
    m_records.reserve(kSymbols);
    for (uint32_t i = 0; i < kSymbols; ++i) {
      const SymbolKey key = SymbolKey::Store(*m_cache, m_names, NameKey(SymbolName(i).c_str(), 0));
      SymbolRecordView record = SymbolRecordView::Append(*m_cache, m_globals);
      record.SetRawTypeIndex(1 + i % 50);
      record.SetName(key);
      AddressExtent location;
      location.m_address = MemoryAddress(0x00400000 + 4 * i);
      location.m_ordinal = 4;
      record.SetLocation(location);
      m_records.push_back(record.Handle());
    }
    AppendBareRecord(*m_cache, m_globals, kListEndRecordType);
    m_globals.ReleasePin(*m_cache);
    m_names.ReleasePin(*m_cache);
  }
};

Program& SharedProgram() {
  static Program program;
  static const bool written = (program.Write(), true);
  (void)written;
  return program;
}

void BM_WriteSymbols(benchmark::State& state) {
  for (auto _ : state) {
    Program program;
    program.Write();
    benchmark::DoNotOptimize(program.m_records.back());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kSymbols);
  state.SetLabel("symbol records (with names) written");
}
BENCHMARK(BM_WriteSymbols)->Unit(benchmark::kMillisecond);

void BM_WalkChain(benchmark::State& state) {
  Program& program = SharedProgram();
  uint64_t sum = 0;
  for (auto _ : state) {
    RecordRef ref;
    ref.Init(program.m_globals.FirstPage());
    for (RecordView view = ref.NextSymbolRecord(*program.m_cache); !view.IsNull();
         view = ref.NextSymbolRecord(*program.m_cache)) {
      sum += SymbolRecordView(std::move(view)).TypeIndex();
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kSymbols);
  state.SetLabel("records read walking the chain");
}
BENCHMARK(BM_WalkChain)->Unit(benchmark::kMillisecond);

void BM_RandomRecords(benchmark::State& state) {
  Program& program = SharedProgram();
  std::mt19937 random(12345);
  std::vector<RecordHandle> probes;
  for (int i = 0; i < 4096; ++i) probes.push_back(program.m_records[random() % kSymbols]);
  uint64_t sum = 0;
  for (auto _ : state) {
    for (RecordHandle handle : probes) {
      const SymbolRecordView record = SymbolRecordView::At(*program.m_cache, handle);
      sum += record.Name().Hash();
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 4096);
  state.SetLabel("records read at random handles");
}
BENCHMARK(BM_RandomRecords)->Unit(benchmark::kMillisecond);

void BM_NameLookup(benchmark::State& state) {
  Program& program = SharedProgram();
  std::mt19937 random(777);
  int64_t found = 0;
  for (auto _ : state) {
    const NameKey wanted(SymbolName(random() % kSymbols).c_str(), 0);
    RecordRef ref;
    ref.Init(program.m_globals.FirstPage());
    for (RecordView view = ref.NextSymbolRecord(*program.m_cache); !view.IsNull();
         view = ref.NextSymbolRecord(*program.m_cache)) {
      if (SymbolKey::ReadFrom(view, SymbolRecordLayout::kName).Matches(*program.m_cache, wanted)) {
        ++found;
        break;
      }
    }
  }
  if (found != static_cast<int64_t>(state.iterations())) state.SkipWithError("a name was not found");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetLabel("name lookups (chain walk, hash then text)");
}
BENCHMARK(BM_NameLookup)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zentor

BENCHMARK_MAIN();
