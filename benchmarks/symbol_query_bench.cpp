// Symbol queries over the large program (1,000 modules, about 100,000 symbols; see
// large_symbol_program.h), loaded once with every module's details: the nearest
// symbol at an address (FindSymbolAtAddress: the module passes, the global-list pass
// and the procedure search behind them) and a name of another module
// (FindSymbolByName: the scopes of the stop, its module, then the global list; the
// loader drops the leading underscore of C global names). Each runs with the symbol
// indexes (symbol_index.h) and with the linear walks of the Parts; the lookups per
// second of both and their ratio are printed at the end.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "large_symbol_program.h"
#include "symbols/address_lookup.h"
#include "symbols/symbol_index.h"
#include "symbols/symbol_lookup.h"

#include "core/dv_error.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

using namespace bench;

constexpr uint32_t kCodeBase = 0x00400000;
constexpr uint32_t kDataBase = 0x00800000;
constexpr uint32_t kQueries = 1000;
// The walks take long enough that they answer a prefix of the queries (the same mix
// of kinds).
constexpr uint32_t kWalkedQueries = 12;

AddressDescriptor MemoryAt(uint32_t offset) {
  return AddressDescriptor::FromTypedOffset(DVPTypeInfo::FromCode(kKindFirstTarget), &offset);
}

// The program loaded with every module asked for, stopped in the first procedure, and
// the queries: addresses in procedures, statics and globals of modules spread over the
// program, and names of procedures and globals of other modules.
class LoadedProgram {
 public:
  LoadedProgram() : m_file("zentor_symbol_query_bench.sym") {
    ValueStack::Create();
    ResetSymbolLoad();
    TmiSetServerSymbolsLoaded(0);
    m_loadResult = LoadSymbolFile(m_file.Path().c_str(), kCodeBase, kDataBase);
    FinishSymbolLoad();
    LoaderState& loader = CurrentLoaderState();
    for (uint32_t id = 1; id <= loader.ModuleCount(); ++id) {
      ModuleDescriptor* module = loader.ModuleById(id);
      if (module != nullptr && module->HasDeferredToken()) LoadDeferredModule(module);
    }
    GetCurrentSymbolContext()->SetCurrentAddress(MemoryAt(kCodeBase + 0x10));
    for (uint32_t q = 0; q < kQueries; ++q) {
      const uint32_t module = (q * 7919u) % kModules;
      const uint32_t procedure = q % kProceduresPerModule;
      switch (q % 3) {
        case 0:
          m_addresses.push_back(MemoryAt(kCodeBase + module * 0x1000 + procedure * 0x100 + 0x30));
          break;
        case 1:
          m_addresses.push_back(MemoryAt(kDataBase + module * 16 + 2));
          break;
        default:
          m_addresses.push_back(MemoryAt(kDataBase + 0x100000 + module * 16 + 4));
          break;
      }
      m_names.push_back(q % 2 == 0 ? RWCString(Numbered("proc", module * kProceduresPerModule + procedure).c_str())
                                   : RWCString(Numbered("global", module).c_str()));
    }
  }

  bool Loaded() const { return m_loadResult == 0; }
  const std::vector<AddressDescriptor>& Addresses() const { return m_addresses; }
  const std::vector<RWCString>& Names() const { return m_names; }

 private:
  LargeSymbolFile m_file;
  uint32_t m_loadResult = 0;
  std::vector<AddressDescriptor> m_addresses;
  std::vector<RWCString> m_names;
};

LoadedProgram& Program() {
  static LoadedProgram program;
  return program;
}

// The first `count` address queries once; the number answered.
uint32_t LookUpAddresses(uint32_t count) {
  uint32_t answered = 0;
  for (uint32_t q = 0; q < count; ++q) {
    BracketedLookupScope bracket;
    if (SymbolAtAddress(Program().Addresses()[q]).m_status.IsOkay()) ++answered;
  }
  return answered;
}

// The first `count` name queries once; the number found.
uint32_t LookUpNames(uint32_t count) {
  uint32_t found = 0;
  for (uint32_t q = 0; q < count; ++q) {
    try {
      BracketedLookupScope bracket;
      FindSymbolByName(Program().Names()[q]);
      ++found;
    } catch (const DVError&) {
    }
  }
  return found;
}

// Argument: 1 with the indexes (every query), 0 with the walks (the prefix).
template <uint32_t (*kLookUp)(uint32_t)>
void RunQueries(benchmark::State& state) {
  if (!Program().Loaded()) {
    state.SkipWithError("the load reported a warning");
    return;
  }
  const bool indexed = state.range(0) != 0;
  const uint32_t count = indexed ? kQueries : kWalkedQueries;
  SymbolIndexes::SetEnabled(indexed);
  for (auto _ : state) {
    if (kLookUp(count) != count) {
      state.SkipWithError("a query was not answered");
      break;
    }
  }
  SymbolIndexes::SetEnabled(true);
  state.counters["lookups/s"] =
      benchmark::Counter(static_cast<double>(count) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_LookupByAddress(benchmark::State& state) { RunQueries<LookUpAddresses>(state); }
BENCHMARK(BM_LookupByAddress)->ArgName("indexed")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_LookupByName(benchmark::State& state) { RunQueries<LookUpNames>(state); }
BENCHMARK(BM_LookupByName)->ArgName("indexed")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Lookups per second of one kind with the indexes and with the walks, and the ratio.
void PrintRatio(const char* what, uint32_t (*lookUp)(uint32_t)) {
  SymbolIndexes::SetEnabled(true);
  const double indexed = MedianSeconds([lookUp] { lookUp(kQueries); }) / kQueries;
  SymbolIndexes::SetEnabled(false);
  const double walked = MedianSeconds([lookUp] { lookUp(kWalkedQueries); }) / kWalkedQueries;
  SymbolIndexes::SetEnabled(true);
  std::printf("lookups by %s (%u symbols, %u modules): indexed %.0f/s, walked %.1f/s, ratio %.0f\n", what,
              kProgramSymbols, CurrentLoaderState().ModuleCount(), 1 / indexed, 1 / walked, walked / indexed);
}

}  // namespace
}  // namespace zentor

int main(int argc, char** argv) {
  return zentor::bench::RunBenchmarksThen(argc, argv, [] {
    if (!zentor::Program().Loaded()) return;
    zentor::PrintRatio("address", zentor::LookUpAddresses);
    zentor::PrintRatio("name", zentor::LookUpNames);
  });
}
