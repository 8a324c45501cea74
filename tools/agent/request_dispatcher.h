#pragma once
// Executes one intact request against the server model and builds the answer: the
// status and payload of every request code, with each request's length and fields
// checked first. A get-event request with no event pending gets no answer at all.

#include <cstdint>
#include <optional>
#include <vector>

#include "server_model.h"
#include "target/agent_packet.h"

namespace zentor::agent {

struct Answer {
  uint32_t m_status = 0;
  std::vector<uint8_t> m_payload;
};

class RequestDispatcher {
 public:
  explicit RequestDispatcher(ServerModel& server) : m_server(server) {}

  // nullopt: the agent stays silent.
  std::optional<Answer> Handle(const AgentPacket& request);

 private:
  // Continuation of a list: what the first request collected, and how far it got.
  struct ListCursor {
    std::vector<uint32_t> m_ids;
    size_t m_next = 0;
  };

  Answer ListPart(uint32_t kind, bool first);
  Answer LoadModule(const std::string& text);
  Answer UnloadModule(const std::string& text);

  ServerModel& m_server;
  std::optional<ListCursor> m_lists[6];
};

}  // namespace zentor::agent
