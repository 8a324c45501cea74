// The Breakpoints list's sort over 1,000 entries by each key (status, name, location,
// resource, viewpoint), from the order the engine lists them in. The median of the
// repetitions is what counts; the list must sort in 2 ms by any key.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "windows/breakpoint_dialogs.h"

namespace {

using zentor::BreakpointCapabilities;
using zentor::BreakpointListEntry;

std::vector<BreakpointListEntry> Entries() {
  static const char* const kPrefixes[] = {"br", "cb", "pp"};
  std::vector<BreakpointListEntry> entries(1000);
  for (size_t i = 0; i < entries.size(); ++i) {
    BreakpointListEntry& row = entries[i];
    const uint32_t type = static_cast<uint32_t>(i % 3);
    const int32_t id = static_cast<int32_t>((i * 7919) % 1000);
    row.index = static_cast<int32_t>(i);
    row.entry.m_kind = type;
    row.entry.m_slot = id;
    row.entry.m_enabled = (i * 31) % 5 != 0 ? 1 : 0;
    row.entry.m_type = static_cast<uint32_t>((i * 13) % 2);
    row.entry.m_access = static_cast<uint32_t>((i * 17) % 3);
    row.entry.m_viewpoint = static_cast<uint32_t>((i * 11) % 4);
    row.entry.m_name = (std::string(kPrefixes[type]) + "[" + std::to_string(id) + "]").c_str();
    row.entry.m_addressText = ("0x" + std::to_string(0x300000 + (i * 104729) % 65536)).c_str();
    row.entry.m_locationText = (":DEMO_MAIN#" + std::to_string((i * 37) % 400)).c_str();
  }
  return entries;
}

BreakpointCapabilities Capabilities() {
  BreakpointCapabilities capabilities;
  capabilities.rows[1].m_type = 1;
  capabilities.rows[1].m_codeCount = 3;
  const char* const names[] = {"hw", "wr", "acc"};
  for (uint32_t i = 0; i < 3; ++i) {
    capabilities.rows[1].m_accessCodes[i] = i;
    capabilities.rows[1].m_accessNames[i] = names[i];
  }
  return capabilities;
}

void BM_SortBreakpointList(benchmark::State& state) {
  const std::vector<BreakpointListEntry> listed = Entries();
  const BreakpointCapabilities capabilities = Capabilities();
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<BreakpointListEntry> entries = listed;
    state.ResumeTiming();
    zentor::SortBreakpointEntries(entries, static_cast<uint32_t>(state.range(0)), capabilities);
    benchmark::DoNotOptimize(entries.data());
  }
  state.SetLabel(state.range(0) == 0   ? "status"
                 : state.range(0) == 1 ? "name"
                 : state.range(0) == 2 ? "location"
                 : state.range(0) == 3 ? "resource"
                                       : "viewpoint");
}
BENCHMARK(BM_SortBreakpointList)
    ->DenseRange(0, 4)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
