// Reading target memory from the stand-in agent over UDP loopback, as the debugger
// does: stop-and-wait requests of 1 KB (1 MB and 16 MB read), and single 4-byte reads.
// The agent runs as its own process, as a server's agent would; each case runs with the
// two on separate cores and on one core.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core_layout.h"
#include "harness/agent_process.h"
#include "target/agent_link.h"
#include "target/agent_requests.h"

namespace zentor {
namespace {

constexpr uint32_t kServerMemory = 0x01000000;
// The largest whole number of 1 KB requests one read call (16-bit count) can ask for.
constexpr uint16_t kReadCallBytes = 63 * 1024;

// One agent and one open link for the whole program.
bool ConnectOnce() {
  static bool connected = [] {
    static testing_support::AgentProcess agent;
    agent.SetTracing(false);
    std::string error;
    if (!agent.Start({}, &error)) {
      std::fprintf(stderr, "link_bench: %s\n", error.c_str());
      return false;
    }
    bench::AgentProcessId() = static_cast<pid_t>(agent.ProcessId());
    return OpenLink(kLinkKindUdp, agent.UdpLinkName().c_str(), 0) != kNoLinkHandle && AgentHello() == 0;
  }();
  return connected;
}

void ReadTargetMemory(benchmark::State& state) {
  if (!ConnectOnce()) {
    state.SkipWithError("the stand-in agent did not start");
    return;
  }
  if (!bench::PinLayout(state, state.range(1))) return;
  const auto total = static_cast<uint32_t>(state.range(0));
  std::vector<uint8_t> buffer(kReadCallBytes);
  for (auto _ : state) {
    for (uint32_t done = 0; done < total; done += kReadCallBytes) {
      const auto count = static_cast<uint16_t>(std::min<uint32_t>(kReadCallBytes, total - done));
      uint16_t got = 0;
      if (AgentReadMemory(0, count, kServerMemory + done, &got, buffer.data()) != 0 || got != count) {
        state.SkipWithError("a read failed");
        return;
      }
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * total);
}
BENCHMARK(ReadTargetMemory)
    ->ArgsProduct({{1 << 20, 16 << 20}, {bench::kSeparateCores, bench::kOneCore}})
    ->ArgNames({"bytes", "cores"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void ReadFourBytes(benchmark::State& state) {
  if (!ConnectOnce()) {
    state.SkipWithError("the stand-in agent did not start");
    return;
  }
  if (!bench::PinLayout(state, state.range(0))) return;
  uint8_t word[4];
  uint32_t address = kServerMemory;
  for (auto _ : state) {
    uint16_t got = 0;
    if (AgentReadMemory(0, 4, address, &got, word) != 0) {
      state.SkipWithError("a read failed");
      return;
    }
    address += 4;
    benchmark::DoNotOptimize(word);
  }
}
BENCHMARK(ReadFourBytes)
    ->Apply(bench::InBothLayouts)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace zentor

BENCHMARK_MAIN();
