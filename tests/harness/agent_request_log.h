#pragma once
// The requests the program's link sends, recorded on their way to the transport for as
// long as the log lives: the views' tests ask which requests a stop's refresh made
// (how many, and which memory each read asked for). One log at a time.

#include <cstdint>
#include <utility>
#include <vector>

#include "target/agent_link.h"

namespace zentor::testing_support {

class AgentRequestLog {
 public:
  struct Request {
    uint32_t command = 0;
    std::vector<uint8_t> payload;
  };
  using MemoryRead = std::pair<uint32_t, uint32_t>;  // address, count

  // Wraps the write of the link's transport now installed.
  AgentRequestLog();
  // Puts the transport back.
  ~AgentRequestLog();
  AgentRequestLog(const AgentRequestLog&) = delete;
  AgentRequestLog& operator=(const AgentRequestLog&) = delete;

  const std::vector<Request>& Requests() const { return m_requests; }
  // The requests of one command.
  size_t Count(uint32_t command) const;
  // Each read-memory request's address and count, in order.
  std::vector<MemoryRead> MemoryReads() const;
  void Clear() { m_requests.clear(); }

 private:
  static int32_t Write(LinkHandle handle, const uint8_t* bytes, uint32_t length);

  LinkTransport m_inner;
  std::vector<Request> m_requests;
};

}  // namespace zentor::testing_support
