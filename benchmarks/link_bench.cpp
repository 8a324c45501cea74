// Reading target memory from the stand-in agent over UDP loopback, as the debugger
// does: stop-and-wait requests of 1 KB (1 MB and 16 MB read), and single 4-byte reads;
// each case reports the link transactions one read took. The 16 MB that are read hold
// a pattern written before the first read, and what comes back is checked against it
// ("checksum": its CRC-32). The agent runs as its own process, as a server's agent
// would; each case runs with the two on separate cores and on one core. Beside them a
// bare TCP request and answer, the least one exchange of a TCP client and server costs
// in the same run and layout.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
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
// The stretch the reads cover, from kServerMemory on; word i of it holds
// i * kPatternFactor.
constexpr uint32_t kPatternBytes = 16 << 20;
constexpr uint32_t kPatternFactor = 2654435761u;
// The largest whole number of 1 KB requests one read call (16-bit count) can ask for.
constexpr uint16_t kReadCallBytes = 63 * 1024;

uint32_t Transactions() { return TheAgentLink().NextSequence(); }

benchmark::Counter PerRead(uint32_t transactions, int64_t reads) {
  return benchmark::Counter(static_cast<double>(transactions) / static_cast<double>(reads == 0 ? 1 : reads));
}

// The CRC-32 of zlib and of most archivers (reflected polynomial 0xEDB88320), so that
// a reader elsewhere can compute the same figure over the same bytes.
class Crc32 {
 public:
  void Add(const uint8_t* bytes, size_t count) {
    static const std::array<uint32_t, 256> table = [] {
      std::array<uint32_t, 256> made{};
      for (uint32_t index = 0; index < 256; ++index) {
        uint32_t value = index;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1) != 0 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
        made[index] = value;
      }
      return made;
    }();
    for (size_t index = 0; index < count; ++index) m_state = table[(m_state ^ bytes[index]) & 0xFF] ^ (m_state >> 8);
  }
  uint32_t Value() const { return ~m_state; }

 private:
  uint32_t m_state = 0xFFFFFFFFu;
};

// The first `count` bytes of the stretch as written.
std::vector<uint8_t> Pattern(uint32_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint32_t index = 0; index < count; ++index) {
    bytes[index] = static_cast<uint8_t>((index / 4 * kPatternFactor) >> (index % 4 * 8));
  }
  return bytes;
}

// Writes the pattern once; false when a write failed.
bool WritePatternOnce() {
  static const bool written = [] {
    const std::vector<uint8_t> pattern = Pattern(kPatternBytes);
    for (uint32_t done = 0; done < kPatternBytes; done += kReadCallBytes) {
      const auto count = static_cast<uint16_t>(std::min<uint32_t>(kReadCallBytes, kPatternBytes - done));
      if (AgentWriteMemory(0, count, kServerMemory + done, pattern.data() + done) != 0) return false;
    }
    return true;
  }();
  return written;
}

// Reads the first `total` bytes of the stretch in calls of kReadCallBytes into
// `buffer`, handing each piece to `crc` when there is one; false when a read failed or
// came short.
bool ReadStretch(uint32_t total, std::vector<uint8_t>& buffer, Crc32* crc) {
  for (uint32_t done = 0; done < total; done += kReadCallBytes) {
    const auto count = static_cast<uint16_t>(std::min<uint32_t>(kReadCallBytes, total - done));
    uint16_t got = 0;
    if (AgentReadMemory(0, count, kServerMemory + done, &got, buffer.data()) != 0 || got != count) return false;
    if (crc != nullptr) crc->Add(buffer.data(), count);
  }
  return true;
}

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
  if (!WritePatternOnce()) {
    state.SkipWithError("the pattern could not be written");
    return;
  }
  if (!bench::PinLayout(state, state.range(1))) return;
  const auto total = static_cast<uint32_t>(state.range(0));
  std::vector<uint8_t> buffer(kReadCallBytes);
  const uint32_t before = Transactions();
  for (auto _ : state) {
    if (!ReadStretch(total, buffer, nullptr)) {
      state.SkipWithError("a read failed");
      return;
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["transactions"] = PerRead(Transactions() - before, state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * total);
  // Not timed: the bytes once more, against what was written.
  Crc32 read;
  Crc32 written;
  const std::vector<uint8_t> pattern = Pattern(total);
  written.Add(pattern.data(), total);
  if (!ReadStretch(total, buffer, &read) || read.Value() != written.Value()) {
    state.SkipWithError("the memory read back is not what was written");
    return;
  }
  state.counters["checksum"] = benchmark::Counter(read.Value());
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
  uint32_t offset = 0;
  const uint32_t before = Transactions();
  for (auto _ : state) {
    uint16_t got = 0;
    if (AgentReadMemory(0, 4, kServerMemory + offset, &got, word) != 0) {
      state.SkipWithError("a read failed");
      return;
    }
    offset = (offset + 4) % kPatternBytes;
    benchmark::DoNotOptimize(word);
  }
  state.counters["transactions"] = PerRead(Transactions() - before, state.iterations());
}
BENCHMARK(ReadFourBytes)
    ->Apply(bench::InBothLayouts)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The least one request of a TCP debugger costs, in the same run and layout: a small
// packet each way ("$m<address>,4#sum" and "$<8 hex digits>#sum") over TCP loopback
// between two processes, one answering at once, as a GDB client and its server
// exchange them with the acknowledgements off, without the work of either.
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

}  // namespace
}  // namespace zentor

BENCHMARK_MAIN();
