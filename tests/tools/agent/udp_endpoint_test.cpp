// The stand-in agent's UDP end over a real loopback socket: whatever datagrams wait
// when it looks, taken together, are each handled in the order they came, and each gets
// the reply it would get alone.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "agent_endpoints.h"
#include "agent_options.h"
#include "agent_trace.h"
#include "request_dispatcher.h"
#include "server_model.h"
#include "target/agent_protocol.h"
#include "target/loopback_socket.h"

namespace zentor::agent {
namespace {

using Datagram = std::vector<uint8_t>;

Datagram Request(uint32_t sequence, uint32_t command, uint32_t payloadLength = 0) {
  AgentPacket packet;
  packet.SetCode(command);
  packet.SetLength(payloadLength);
  if (command == kAgentCommandHello) packet.Payload()[0] = 1;
  packet.Seal(sequence);
  return Datagram(packet.Bytes(), packet.Bytes() + packet.WireSize());
}

Datagram Damaged(Datagram bytes) {
  bytes[bytes.size() - 2] ^= 0x01;
  return bytes;
}

// The replies as words: "ACK", "NAK", "answer N" (N the sequence number) or "bad".
std::vector<std::string> Replies(int socket) {
  std::vector<std::string> replies;
  uint8_t bytes[2 * kPacketBufferSize];
  pollfd ready{socket, POLLIN, 0};
  while (poll(&ready, 1, 50) > 0) {
    const ssize_t n = recv(socket, bytes, sizeof bytes, 0);
    if (n == 1) {
      replies.push_back(bytes[0] == kAckByte ? "ACK" : bytes[0] == kNakByte ? "NAK" : "bad");
      continue;
    }
    AgentPacket answer;
    if (n < 2 || static_cast<size_t>(n) > kPacketBufferSize) {
      replies.push_back("bad");
      continue;
    }
    std::copy(bytes, bytes + n, answer.Bytes());
    replies.push_back(answer.Check(static_cast<uint32_t>(n)) == PacketCheck::Good
                          ? "answer " + std::to_string(answer.Sequence())
                          : "bad");
  }
  return replies;
}

TEST(UdpEndpointTest, DatagramsThatCameTogetherAreEachAnsweredInTurn) {
  const Datagram hello = Request(0, kAgentCommandHello, 2);
  const Datagram ack{kAckByte};
  struct Case {
    const char* name;
    std::vector<Datagram> sent;
    std::vector<std::string> replies;
  };
  const Case cases[] = {
      {"the ACK of an answer and the next request", {hello, ack, Request(1, 0x18)}, {"answer 0", "answer 1"}},
      {"refused ones before a request",
       {hello, Damaged(Request(1, 0x18)), Datagram(kPacketBufferSize + 1, 0x01), Datagram(3000, 0x01), Datagram{},
        Datagram{0x42}, Request(1, 0x18)},
       {"answer 0", "NAK", "NAK", "NAK", "answer 1"}},
      {"more control bytes than one look takes", {hello, ack, ack, ack, ack, ack, ack, ack, Request(1, 0x18)},
       {"answer 0", "answer 1"}},
      {"a NAK after a request brings its answer again", {hello, Request(1, 0x18), Datagram{kNakByte}},
       {"answer 0", "answer 1", "answer 1"}},
      {"the largest request, and a repeat of it", {hello, Request(1, 0x18, kMaxPayloadLength),
       Request(1, 0x18, kMaxPayloadLength)}, {"answer 0", "answer 1", "answer 1"}},
      {"a late copy after a newer request", {hello, Request(2, 0x18), Request(1, 0x18)}, {"answer 0", "answer 2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AgentOptions options;
    ServerModel server(options);
    RequestDispatcher dispatcher(server);
    AgentTrace trace;
    UdpEndpoint endpoint(dispatcher, options.m_faults, trace);
    std::string error;
    ASSERT_TRUE(endpoint.Open(0, &error)) << error;
    sockaddr_in agent{};
    const int debugger = testing_support::BoundLoopbackSocket(&agent);
    agent.sin_port = htons(endpoint.Port());
    for (const Datagram& datagram : c.sent) {
      sendto(debugger, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&agent), sizeof agent);
    }
    // Loopback datagrams are queued before the send returns: the looks find them all.
    int looks = 0;
    while (endpoint.OnReadable()) ++looks;
    EXPECT_GE(looks, 1);
    EXPECT_EQ(Replies(debugger), c.replies);
    close(debugger);
  }
}

}  // namespace
}  // namespace zentor::agent
