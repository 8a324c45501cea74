#pragma once
// A line to the agent whose far end is a script: what the debugger's link writes is
// recorded, and each read takes the next scripted arrival (a datagram, bytes of a
// serial stream, or silence). A responder may add arrivals as requests are written,
// which makes a small in-process agent. Installed as the program link's transport for
// the length of a test; reads never wait.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "target/agent_link.h"
#include "target/agent_packet.h"

namespace zentor::testing_support {

using Bytes = std::vector<uint8_t>;

class ScriptedLine {
 public:
  // kind: kLinkKindSerial or kLinkKindUdp.
  explicit ScriptedLine(uint32_t kind);
  ~ScriptedLine();
  ScriptedLine(const ScriptedLine&) = delete;
  ScriptedLine& operator=(const ScriptedLine&) = delete;

  void Arrive(const Bytes& bytes) { m_arrivals.push_back(bytes); }
  void Silence() { m_arrivals.push_back(std::nullopt); }
  // Called with each packet the link writes (not with control bytes).
  void Respond(std::function<void(const AgentPacket& request)> responder) { m_responder = std::move(responder); }

  // Everything written, one entry per write.
  const std::vector<Bytes>& Writes() const { return m_writes; }
  // The packets written (control bytes left out) and the control bytes alone.
  std::vector<Bytes> Packets() const;
  Bytes ControlBytes() const;
  int Flushes() const { return m_flushes; }
  size_t PendingArrivals() const { return m_arrivals.size(); }

 private:
  static int32_t Read(LinkHandle handle, uint8_t* buffer, uint32_t length, uint32_t timeout);
  static int32_t Write(LinkHandle handle, const uint8_t* bytes, uint32_t length);
  static void Close(LinkHandle handle);
  static void Flush(LinkHandle handle);

  uint32_t m_kind;
  std::deque<std::optional<Bytes>> m_arrivals;
  std::function<void(const AgentPacket&)> m_responder;
  std::vector<Bytes> m_writes;
  int m_flushes = 0;
};

// An answer as the agent sends it.
Bytes AnswerBytes(uint32_t sequence, uint32_t status, const Bytes& payload = {});

// The command output written while `run` runs, line ends as "\n".
std::string CapturedOutput(const std::function<void()>& run);

// Resets the program's link and the request and event state between tests.
void ResetLinkState();

}  // namespace zentor::testing_support
