// The link over a lossy line: a relay between the debugger and the stand-in agent
// drops, damages, duplicates and reorders datagrams in both directions. Its choices
// are drawn from the seed and the datagram's bytes (and how often those bytes passed
// before), so a run does not depend on the timing of the two processes.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <thread>

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
    m_stop = true;
    m_thread.join();
    close(m_front);
    close(m_back);
  }
  uint16_t Port() const { return m_port; }

 private:
  struct Direction {
    std::map<Bytes, uint32_t> seen;
    std::optional<Bytes> held;
    std::chrono::steady_clock::time_point heldSince;
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
    if (drop < m_faults.drop) return;
    if (damage < m_faults.damage) bytes[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    std::optional<Bytes> released = std::move(direction.held);
    direction.held.reset();
    if (reorder < m_faults.reorder && !released.has_value()) {
      direction.held = bytes;
      direction.heldSince = std::chrono::steady_clock::now();
    } else {
      Send(toAgent, bytes);
      if (duplicate < m_faults.duplicate) Send(toAgent, bytes);
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

TEST(LossyLineTest, TenThousandRequestsNoneLostNoneExecutedTwice) {
  if (testing_support::AgentProgramPath().empty()) GTEST_SKIP() << "the stand-in agent is not built here";
  testing_support::ResetLinkState();
  testing_support::AgentProcess agent;
  std::string error;
  ASSERT_TRUE(agent.Start({}, &error)) << error;
  const uint64_t seed = 14;
  LossyRelay relay(agent.UdpPort(), seed, LineFaults{});
  ASSERT_NE(OpenLink(kLinkKindUdp, ("127.0.0.1:" + std::to_string(relay.Port())).c_str(), 0), kNoLinkHandle);
  // Waits several times what an answer takes here, so that the run takes seconds; not
  // much less, or a loaded machine that leaves the agent unscheduled for twenty short
  // waits in a row fails a request the line itself never lost.
  TheAgentLink().SetTimeouts(LinkTimeouts{6, 50});
  SetUdpFlushQuietTime(1);

  ASSERT_EQ(AgentHello(), 0u) << "seed " << seed;
  constexpr uint32_t kBase = 0x00600000;
  int wrong = 0;
  for (uint32_t i = 0; i < 5000 && wrong < 5; ++i) {
    uint8_t word[4];
    value_bytes::StoreU32(word, i * 2654435761u);
    const uint32_t address = kBase + 4 * (i % 4096);
    const uint32_t written = AgentWriteMemory(0, 4, address, word);
    uint8_t back[4] = {};
    uint16_t got = 0;
    const uint32_t read = AgentReadMemory(0, 4, address, &got, back);
    if (written != 0 || read != 0 || got != 4 || value_bytes::LoadU32(back) != i * 2654435761u) {
      ADD_FAILURE() << "request pair " << i << ": write " << written << ", read " << read << " seed " << seed << "\n"
                    << TheAgentLink().RecentPacketsText();
      ++wrong;
    }
  }
  CloseLink();
  testing_support::ResetLinkState();

  // Every sequence number was executed once: the hello and 10,000 requests.
  std::set<std::string> numbers;
  size_t executed = 0;
  for (const std::string& line : agent.TraceLines("exec seq=")) {
    ++executed;
    EXPECT_TRUE(numbers.insert(line.substr(0, line.find(' ', 5))).second) << line << " seed " << seed;
  }
  EXPECT_EQ(executed, 10001u) << "seed " << seed;
  EXPECT_GT(agent.TraceLines("duplicate").size(), 100u) << "the line lost nothing: seed " << seed;
}

}  // namespace
}  // namespace zentor

#else

TEST(LossyLineTest, TenThousandRequestsNoneLostNoneExecutedTwice) {
  GTEST_SKIP() << "the lossy relay runs in the native tree";
}

#endif
