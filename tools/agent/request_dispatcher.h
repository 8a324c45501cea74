#pragma once
// Executes one intact request against the server model and builds the answer: the
// status and payload of every request code, with each request's length and fields
// checked first. A get-event request with no event pending gets no answer at all.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server_model.h"
#include "target/agent_packet.h"

namespace zentor::agent {

struct Answer {
  uint32_t m_status = 0;
  std::vector<uint8_t> m_payload;
  // What the trace line adds: the index and address of a breakpoint request, so a
  // test can follow which breakpoints the agent holds.
  std::string m_note;
};

// Well inside the debugger's 200 ms wait for an answer.
inline constexpr uint64_t kHoldMilliseconds = 100;

class RequestDispatcher {
 public:
  explicit RequestDispatcher(ServerModel& server) : m_server(server) {}

  // nullopt: the agent stays silent.
  std::optional<Answer> Handle(const AgentPacket& request);
  // A get-event request while the thread runs and no event waits is held (for at most
  // kHoldMilliseconds) and answered the moment an event comes.
  bool ShouldHold(const AgentPacket& request) const;
  bool EventPending() const { return m_server.PendingEvents() != 0; }

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
