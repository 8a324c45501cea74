// The UDP transport's read over a real loopback socket: what has come is taken at
// once, whatever comes while the read sleeps wakes it, and nothing (or a port that
// refuses) costs the whole time-out.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "loopback_socket.h"
#include "platform/udp_socket.h"
#include "target/udp_transport.h"

namespace zentor {
namespace {

// A bound loopback socket standing for the agent, and the transport's socket
// connected to it.
class LoopbackPair {
 public:
  explicit LoopbackPair(bool agentListens = true) {
    sockaddr_in address{};
    m_agent = testing_support::BoundLoopbackSocket(&address);
    // A port nobody listens on: the agent's socket goes before the debugger sends.
    if (!agentListens) {
      close(m_agent);
      m_agent = -1;
    }
    m_debugger = platform::OpenDatagramSocket();
    platform::ConnectDatagramSocket(m_debugger, address.sin_addr.s_addr, ntohs(address.sin_port));
    socklen_t size = sizeof m_debuggerAddress;
    getsockname(static_cast<int>(m_debugger), reinterpret_cast<sockaddr*>(&m_debuggerAddress), &size);
  }
  ~LoopbackPair() {
    if (m_agent >= 0) close(m_agent);
    platform::CloseDatagramSocket(m_debugger);
  }

  LinkHandle Debugger() const { return m_debugger; }
  void AgentSends(size_t length) const {
    const std::vector<uint8_t> bytes(length, 0x5A);
    sendto(m_agent, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&m_debuggerAddress),
           sizeof m_debuggerAddress);
  }

 private:
  int m_agent = -1;
  intptr_t m_debugger = platform::kNoSocket;
  sockaddr_in m_debuggerAddress{};
};

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

TEST(UdpTransportTest, ReadTakesWhatHasComeAndWaitsOutItsTimeOut) {
  struct Case {
    const char* name;
    std::vector<size_t> sent;  // datagrams the agent sent before the read
    uint32_t length;
    uint32_t timeout;
    int32_t expected;
    double atLeastMilliseconds;  // the read may not give up before this
  };
  const Case cases[] = {
      {"a datagram that has come", {40}, 1040, 200, 40, 0},
      {"an empty datagram is one", {0}, 1040, 200, 0, 0},
      {"a longer datagram is cut to the length asked", {100}, 10, 200, 10, 0},
      {"the first of two", {12, 30}, 1040, 200, 12, 0},
      {"nothing: the whole time-out", {}, 1040, 30, -1, 30},
      {"nothing with no time-out: one look", {}, 1040, 0, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackPair pair;
    for (size_t length : c.sent) pair.AgentSends(length);
    // Loopback datagrams are queued before the send returns.
    std::vector<uint8_t> buffer(1040);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(UdpRead(pair.Debugger(), buffer.data(), c.length, c.timeout), c.expected);
    EXPECT_GE(MillisecondsSince(start), c.atLeastMilliseconds - 1);
  }
}

// A datagram sent while the read sleeps ends the read when it comes, not at the end
// of the time-out; a port that refuses (the failed receive comes at once) is no
// answer, and the read still waits for the rest of its time. The read that must wake
// waits a minute: one that sleeps through the arrival takes that long, and half of it
// is far beyond any wake-up on a busy machine.
TEST(UdpTransportTest, AnArrivalWakesTheReadAndARefusalDoesNot) {
  {
    LoopbackPair pair;
    std::thread agent([&pair] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      pair.AgentSends(24);
    });
    std::vector<uint8_t> buffer(1040);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(UdpRead(pair.Debugger(), buffer.data(), 1040, 60000), 24);
    EXPECT_LT(MillisecondsSince(start), 30000) << "the arrival did not wake the read";
    agent.join();
  }
  {
    LoopbackPair pair(false);
    const uint8_t request[16] = {1};
    ASSERT_EQ(UdpWrite(pair.Debugger(), request, sizeof request), 16);
    std::vector<uint8_t> buffer(1040);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(UdpRead(pair.Debugger(), buffer.data(), 1040, 60), -1);
    EXPECT_GE(MillisecondsSince(start), 59) << "the refusal ended the wait";
  }
}

}  // namespace
}  // namespace zentor

#else

TEST(UdpTransportTest, ReadTakesWhatHasComeAndWaitsOutItsTimeOut) {
  GTEST_SKIP() << "the loopback peer is made with POSIX sockets";
}

#endif
