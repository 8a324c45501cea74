// Reading target memory from the stand-in agent over UDP loopback, as the debugger
// does: stop-and-wait requests of 1 KB (1 MB and 16 MB read), and single 4-byte reads.
// The agent runs as its own process, as a server's agent would; each case runs with the
// two on separate cores and on one core. Beside them a bare TCP request and answer, and
// at the end the comparison with a GDB client and its server (gdb_reference.h).
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core_layout.h"
#include "gdb_reference.h"
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

// The least any GDB request costs, in the same run and layout: a small packet each way
// ("$m<address>,4#sum" and "$<8 hex digits>#sum") over TCP loopback between two
// processes, one answering at once, as gdb and gdbserver exchange them with the
// acknowledgements off, without the work of either. The GDB figures were measured on
// a quieter machine; this shows how much of them the load of this run leaves.
struct TcpEcho {
  int connection = -1;
  pid_t process = 0;
};

const TcpEcho& StartTcpEcho() {
  static TcpEcho echo = [] {
    TcpEcho started;
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      return started;
    }
    const int one = 1;
    started.process = fork();
    if (started.process == 0) {
      const int peer = accept(listener, nullptr, nullptr);
      setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      char bytes[64];
      while (recv(peer, bytes, sizeof bytes, 0) > 0) send(peer, "$01020304#a8", 12, 0);
      _exit(0);
    }
    close(listener);
    if (started.process < 0) return started;
    started.connection = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(started.connection, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      started.connection = -1;
    }
    setsockopt(started.connection, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return started;
  }();
  return echo;
}

void TcpRequestAndAnswer(benchmark::State& state) {
  const TcpEcho& echo = StartTcpEcho();
  if (echo.connection < 0) {
    state.SkipWithError("no TCP loopback connection");
    return;
  }
  if (!bench::PinLayout(state, state.range(0), echo.process)) return;
  char answer[64];
  for (auto _ : state) {
    if (send(echo.connection, "$m1000000,4#5a", 14, 0) != 14 || recv(echo.connection, answer, sizeof answer, 0) <= 0) {
      state.SkipWithError("the TCP exchange failed");
      return;
    }
  }
}
BENCHMARK(TcpRequestAndAnswer)
    ->Apply(bench::InBothLayouts)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// GDB reading the same memory of a program it stopped: the rate of a large read (x/
// over 16 MB) and the time of one 4-byte read.
const std::vector<bench::GdbFigure> kGdbFigures = {
    {"ReadTargetMemory/bytes:1048576", bench::kSeparateCores, bench::GdbMeasure::BytesPerSecond, 14.5, "large reads"},
    {"ReadTargetMemory/bytes:16777216", bench::kSeparateCores, bench::GdbMeasure::BytesPerSecond, 14.5, "large reads"},
    {"ReadTargetMemory/bytes:16777216", bench::kOneCore, bench::GdbMeasure::BytesPerSecond, 0, "large reads"},
    {"ReadFourBytes", bench::kSeparateCores, bench::GdbMeasure::Time, 134, "one 4-byte read", "TcpRequestAndAnswer"},
    {"ReadFourBytes", bench::kOneCore, bench::GdbMeasure::Time, 10, "one 4-byte read", "TcpRequestAndAnswer"},
};

}  // namespace
}  // namespace zentor

int main(int argc, char** argv) { return zentor::bench::RunAgainstGdb(argc, argv, zentor::kGdbFigures); }
