// The link over a lossy line: a relay between the debugger and the stand-in agent
// drops, damages, duplicates and reorders datagrams in both directions. Its choices
// are drawn from the seed and the datagram's bytes (and how often those bytes passed
// before), so a run does not depend on the timing of the two processes.
// ZENTOR_LOSSY_REQUESTS sets how many requests go over it (10,000 when unset);
// scripts/lossy-link runs it with 100,000.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "harness/agent_process.h"
#include "loopback_socket.h"
#include "scripted_line.h"
#include "target/agent_link.h"
#include "target/agent_requests.h"
#include "target/udp_transport.h"

namespace zentor {
namespace {

using testing_support::Bytes;

// Rates per datagram. A drop of 16% in each direction loses about 30% of the
// exchanges of request and answer; losing 30% of all datagrams would fail about one
// request in 700,000 after its twenty sends, a failure the link reports and this test
// would have to take for a loss.
struct LineFaults {
  double drop = 0.16;
  double damage = 0.05;
  double duplicate = 0.05;
  double reorder = 0.05;
};

// What the relay did to the datagrams of one direction.
struct LineTally {
  uint64_t dropped = 0;
  uint64_t damaged = 0;
  uint64_t duplicated = 0;
  uint64_t reordered = 0;
  // Datagrams that carry a whole packet, not a lone ACK or NAK: toward the agent, each
  // send of a request, resends included.
  uint64_t wholePackets = 0;
};

class LossyRelay {
 public:
  LossyRelay(uint16_t agentPort, uint64_t seed, LineFaults faults) : m_seed(seed), m_faults(faults) {
    sockaddr_in address{};
    m_front = testing_support::BoundLoopbackSocket(&address);
    m_port = ntohs(address.sin_port);
    m_back = socket(AF_INET, SOCK_DGRAM, 0);
    address.sin_port = htons(agentPort);
    connect(m_back, reinterpret_cast<sockaddr*>(&address), sizeof address);
    m_thread = std::thread([this] { Run(); });
  }
  ~LossyRelay() {
    Stop();
    close(m_front);
    close(m_back);
  }
  uint16_t Port() const { return m_port; }
  void Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }
  // Read once the relay has stopped: its thread keeps the counts.
  const LineTally& TallyToAgent() const { return m_directions[1].tally; }
  const LineTally& TallyToDebugger() const { return m_directions[0].tally; }

 private:
  struct Direction {
    std::map<Bytes, uint32_t> seen;
    std::optional<Bytes> held;
    std::chrono::steady_clock::time_point heldSince;
    LineTally tally;
  };

  // A number in [0, 1) from the seed, the bytes and how often they passed before.
  double Draw(Direction& direction, const Bytes& bytes, uint32_t salt) {
    uint64_t hash = m_seed ^ (0x9E3779B97F4A7C15ull * (salt + 1)) ^ (uint64_t{direction.seen[bytes]} << 40);
    for (uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001B3ull;
    hash ^= hash >> 29;
    hash *= 0xBF58476D1CE4E5B9ull;
    hash ^= hash >> 32;
    return static_cast<double>(hash >> 11) / static_cast<double>(1ull << 53);
  }

  void Send(bool toAgent, const Bytes& bytes) {
    if (toAgent) {
      send(m_back, bytes.data(), bytes.size(), 0);
    } else if (m_haveDebugger) {
      sendto(m_front, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&m_debugger), sizeof m_debugger);
    }
  }

  void Forward(bool toAgent, Bytes bytes) {
    Direction& direction = m_directions[toAgent ? 1 : 0];
    const double drop = Draw(direction, bytes, 1);
    const double damage = Draw(direction, bytes, 2);
    const double duplicate = Draw(direction, bytes, 3);
    const double reorder = Draw(direction, bytes, 4);
    const auto bit = static_cast<uint32_t>(Draw(direction, bytes, 5) * 8.0 * static_cast<double>(bytes.size()));
    ++direction.seen[bytes];
    if (bytes.size() > 1) ++direction.tally.wholePackets;
    if (drop < m_faults.drop) {
      ++direction.tally.dropped;
      return;
    }
    if (damage < m_faults.damage) {
      bytes[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
      ++direction.tally.damaged;
    }
    std::optional<Bytes> released = std::move(direction.held);
    direction.held.reset();
    if (reorder < m_faults.reorder && !released.has_value()) {
      direction.held = bytes;
      direction.heldSince = std::chrono::steady_clock::now();
      ++direction.tally.reordered;
    } else {
      Send(toAgent, bytes);
      if (duplicate < m_faults.duplicate) {
        Send(toAgent, bytes);
        ++direction.tally.duplicated;
      }
    }
    if (released.has_value()) Send(toAgent, *released);
  }

  void Run() {
    uint8_t buffer[2048];
    while (!m_stop) {
      pollfd sockets[2] = {{m_front, POLLIN, 0}, {m_back, POLLIN, 0}};
      poll(sockets, 2, 1);
      if (sockets[0].revents & POLLIN) {
        socklen_t size = sizeof m_debugger;
        const ssize_t n = recvfrom(m_front, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&m_debugger), &size);
        m_haveDebugger = true;
        if (n >= 0) Forward(true, Bytes(buffer, buffer + n));
      }
      if (sockets[1].revents & POLLIN) {
        const ssize_t n = recv(m_back, buffer, sizeof buffer, 0);
        if (n >= 0) Forward(false, Bytes(buffer, buffer + n));
      }
      // A held datagram that nothing came after goes out late, but before the
      // debugger's wait runs out.
      for (int i = 0; i < 2; ++i) {
        Direction& direction = m_directions[i];
        if (direction.held.has_value() &&
            std::chrono::steady_clock::now() - direction.heldSince > std::chrono::microseconds(700)) {
          Send(i == 1, *direction.held);
          direction.held.reset();
        }
      }
    }
  }

  uint64_t m_seed;
  LineFaults m_faults;
  int m_front = -1;
  int m_back = -1;
  uint16_t m_port = 0;
  sockaddr_in m_debugger{};
  bool m_haveDebugger = false;
  Direction m_directions[2];
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

// The link's reads, patient with a silent line. Its short first wait keeps a dropped
// datagram cheap, but a busy machine can leave the agent or the relay without the
// processor for longer than twenty of them, and the link would give up a request the
// line never lost. So the silences of one request wait longer and longer: the first
// few as the link asks, then twice as long each time up to seconds, some forty
// seconds in all before the link's last send gives up. A request that is truly lost
// still fails, only later. A request is new when the link writes a packet other than
// the last one (a resend writes the same bytes again).
class PatientLine {
 public:
  static constexpr uint32_t kShortSilences = 4;
  static constexpr uint32_t kLongestWaitMilliseconds = 5000;

  PatientLine() {
    g_line = this;
    TheAgentLink().SetTransport(LinkTransport{&Read, &Write, &UdpClose, &UdpFlush});
  }
  ~PatientLine() { g_line = nullptr; }
  PatientLine(const PatientLine&) = delete;
  PatientLine& operator=(const PatientLine&) = delete;

  // The most silences one request met: above kShortSilences, patience was needed.
  uint32_t MostSilences() const { return m_mostSilences; }

  // The wait after `silences` silences of one request, for a read the link gives `asked`.
  static uint32_t WaitAfter(uint32_t silences, uint32_t asked) {
    if (silences < kShortSilences) return asked;
    const uint32_t doublings = std::min<uint32_t>(silences - kShortSilences + 1, 20);
    return std::max(asked, static_cast<uint32_t>(std::min<uint64_t>(uint64_t{asked} << doublings,
                                                                     kLongestWaitMilliseconds)));
  }

 private:
  static int32_t Read(LinkHandle socket, uint8_t* buffer, uint32_t length, uint32_t timeout) {
    // A read that does not wait only takes what has come (the drain before a request).
    if (timeout == 0) return UdpRead(socket, buffer, length, 0);
    PatientLine& line = *g_line;
    const int32_t received = UdpRead(socket, buffer, length, WaitAfter(line.m_silences, timeout));
    if (received < 0) line.m_mostSilences = std::max(line.m_mostSilences, ++line.m_silences);
    return received;
  }
  static int32_t Write(LinkHandle socket, const uint8_t* bytes, uint32_t length) {
    PatientLine& line = *g_line;
    if (length > 1 && !std::equal(bytes, bytes + length, line.m_request.begin(), line.m_request.end())) {
      line.m_request.assign(bytes, bytes + length);
      line.m_silences = 0;
    }
    return UdpWrite(socket, bytes, length);
  }

  static inline PatientLine* g_line = nullptr;
  Bytes m_request;
  uint32_t m_silences = 0;
  uint32_t m_mostSilences = 0;
};

// The requests of a run: ZENTOR_LOSSY_REQUESTS, an even count (a write and a read of
// each word), or 10,000; 0 when the variable holds anything else.
uint32_t LossyRequestCount(std::string* text) {
  const char* value = std::getenv("ZENTOR_LOSSY_REQUESTS");
  *text = value == nullptr ? "" : value;
  if (text->empty()) return 10000;
  if (text->size() > 9 || text->find_first_not_of("0123456789") != std::string::npos) return 0;
  const auto count = static_cast<uint32_t>(std::stoul(*text));
  return count >= 2 && count % 2 == 0 ? count : 0;
}

void PrintLineReport(uint64_t seed, uint32_t requests, uint32_t lost, uint32_t executedTwice, const LossyRelay& relay,
                     uint64_t retries, uint32_t silences, double seconds) {
  const LineTally& out = relay.TallyToAgent();
  const LineTally& back = relay.TallyToDebugger();
  const auto row = [](const char* what, uint64_t toAgent, uint64_t toDebugger) {
    std::printf("  %-20s %9llu   (%llu to the agent, %llu back)\n", what,
                static_cast<unsigned long long>(toAgent + toDebugger), static_cast<unsigned long long>(toAgent),
                static_cast<unsigned long long>(toDebugger));
  };
  std::printf("lossy line, seed %llu\n", static_cast<unsigned long long>(seed));
  std::printf("  %-20s %9u\n  %-20s %9u\n  %-20s %9u\n", "requests", requests, "lost", lost, "executed twice",
              executedTwice);
  row("packets dropped", out.dropped, back.dropped);
  row("packets duplicated", out.duplicated, back.duplicated);
  row("packets reordered", out.reordered, back.reordered);
  row("packets corrupted", out.damaged, back.damaged);
  std::printf("  %-20s %9llu\n  %-20s %9u   (of one request)\n  %-20s %9.1f s\n", "retries",
              static_cast<unsigned long long>(retries), "most silences", silences, "wall time", seconds);
  std::fflush(stdout);
}

// A request is lost when the debugger did not get its right answer or the agent never
// executed it; the agent must execute each sequence number once, resends and
// duplicates notwithstanding. Prints the run's table.
TEST(LossyLineTest, TenThousandRequestsNoneLostNoneExecutedTwice) {
  if (testing_support::AgentProgramPath().empty()) GTEST_SKIP() << "the stand-in agent is not built here";
  std::string countText;
  const uint32_t requests = LossyRequestCount(&countText);
  ASSERT_NE(requests, 0u) << "ZENTOR_LOSSY_REQUESTS must be an even count of at least 2, not '" << countText << "'";
  testing_support::ResetLinkState();
  testing_support::AgentProcess agent;
  std::string error;
  ASSERT_TRUE(agent.Start({}, &error)) << error;
  const uint64_t seed = 14;
  LossyRelay relay(agent.UdpPort(), seed, LineFaults{});
  ASSERT_NE(OpenLink(kLinkKindUdp, ("127.0.0.1:" + std::to_string(relay.Port())).c_str(), 0), kNoLinkHandle);
  // A few times what an answer takes here, so that a dropped datagram costs little and
  // the run takes seconds; the patient line makes a starved agent cost only time.
  TheAgentLink().SetTimeouts(LinkTimeouts{6, 50});
  PatientLine patience;
  SetUdpFlushQuietTime(1);
  const auto started = std::chrono::steady_clock::now();

  ASSERT_EQ(AgentHello(), 0u) << "seed " << seed;
  // Each request's sequence number and whether its right answer came back.
  std::vector<std::pair<uint32_t, bool>> outcomes;
  outcomes.reserve(requests);
  constexpr uint32_t kBase = 0x00600000;
  int wrong = 0;
  for (uint32_t i = 0; i < requests / 2 && wrong < 5; ++i) {
    uint8_t word[4];
    value_bytes::StoreU32(word, i * 2654435761u);
    const uint32_t address = kBase + 4 * (i % 4096);
    const uint32_t writeSequence = TheAgentLink().NextSequence();
    const uint32_t written = AgentWriteMemory(0, 4, address, word);
    uint8_t back[4] = {};
    uint16_t got = 0;
    const uint32_t readSequence = TheAgentLink().NextSequence();
    const uint32_t read = AgentReadMemory(0, 4, address, &got, back);
    const bool readRight = read == 0 && got == 4 && value_bytes::LoadU32(back) == i * 2654435761u;
    outcomes.emplace_back(writeSequence, written == 0);
    outcomes.emplace_back(readSequence, readRight);
    if (written != 0 || !readRight) {
      ADD_FAILURE() << "request pair " << i << ": write " << written << ", read " << read << " seed " << seed << "\n"
                    << TheAgentLink().RecentPacketsText();
      ++wrong;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  CloseLink();
  testing_support::ResetLinkState();
  relay.Stop();

  std::map<uint32_t, uint32_t> executions;  // by sequence number: the hello's and every request's
  size_t executed = 0;
  for (const std::string& line : agent.TraceLines("exec seq=")) {
    ++executed;
    ++executions[static_cast<uint32_t>(std::stoul(line.substr(9)))];
  }
  uint32_t lost = 0;
  for (const auto& [sequence, answered] : outcomes) {
    if (!answered || executions[sequence] == 0) ++lost;
  }
  uint32_t executedTwice = 0;
  for (const auto& [sequence, times] : executions) {
    EXPECT_LE(times, 1u) << "sequence number " << sequence << " executed " << times << " times, seed " << seed;
    if (times > 1) ++executedTwice;
  }
  const uint64_t transactions = outcomes.size() + 1;
  const uint64_t sends = relay.TallyToAgent().wholePackets;
  PrintLineReport(seed, static_cast<uint32_t>(outcomes.size()), lost, executedTwice, relay,
                  sends > transactions ? sends - transactions : 0, patience.MostSilences(), seconds);
  EXPECT_EQ(outcomes.size(), requests) << "seed " << seed;
  EXPECT_EQ(lost, 0u) << "seed " << seed;
  EXPECT_EQ(executed, transactions) << "seed " << seed;
  EXPECT_GT(agent.TraceLines("duplicate").size(), requests / 100) << "the line lost nothing: seed " << seed;
}

}  // namespace
}  // namespace zentor

#else

TEST(LossyLineTest, TenThousandRequestsNoneLostNoneExecutedTwice) {
  GTEST_SKIP() << "the lossy relay runs in the native tree";
}

#endif
