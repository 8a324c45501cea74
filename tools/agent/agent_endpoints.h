#pragma once
// The stand-in agent's ends of the two lines. What both share sits in AgentEndpoint:
// a hello begins a session; within it an intact request is executed once and
// answered; the last request seen again (same sequence number, command and payload
// sum) gets its cached answer without being executed again; a request older than the
// last one is a late copy and is ignored; a damaged request is refused with NAK; a NAK
// from the debugger brings the last answer again. The fault plan spoils chosen
// answers on their way out. UdpEndpoint takes one
// datagram per packet or control byte on 127.0.0.1; SerialEndpoint reads a byte stream
// from a pseudo-terminal and echoes the synchronisation byte 0x8C.

#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <string>

#include "agent_options.h"
#include "agent_trace.h"
#include "request_dispatcher.h"
#include "target/agent_packet.h"

namespace zentor::agent {

class AgentEndpoint {
 public:
  AgentEndpoint(RequestDispatcher& dispatcher, const FaultPlan& faults, AgentTrace& trace)
      : m_dispatcher(dispatcher), m_faults(faults), m_trace(trace) {}
  virtual ~AgentEndpoint() = default;
  AgentEndpoint(const AgentEndpoint&) = delete;
  AgentEndpoint& operator=(const AgentEndpoint&) = delete;

  // Answers sent so far, resends included.
  uint32_t AnswersSent() const { return m_answersSent; }
  // A held get-event request is answered once an event waits, or left unanswered
  // when its time is up. Called whenever the running thread has had its slice.
  void ServiceHeldRequest();
  bool HoldsRequest() const { return m_held.has_value(); }

 protected:
  void OnRequest(const AgentPacket& request);
  void OnDamagedRequest();
  void OnControlByte(uint8_t byte);

  const FaultPlan& Faults() const { return m_faults; }
  void TraceLine(const char* text) { m_trace.Line("%s", text); }
  // Sends one control byte or one whole answer.
  virtual void SendControl(uint8_t byte) = 0;
  virtual void SendAnswerBytes(const uint8_t* bytes, uint32_t length) = 0;

 private:
  // The last request of the session that was answered, with its answer.
  struct AnsweredRequest {
    uint32_t m_sequence = 0;
    uint32_t m_command = 0;
    uint16_t m_payloadSum = 0;
    AgentPacket m_answer;
  };

  void Transmit(const AgentPacket& answer);
  // Sends an answer as it goes out: after an ACK when the fault plan says so.
  void SendAnswer(const AgentPacket& answer);
  // Executes an intact request that is neither a repeat nor a late copy.
  void Execute(const AgentPacket& request);
  // Forgets what the session before a hello asked and was answered.
  void BeginSession();

  struct HeldRequest {
    AgentPacket m_request;
    uint64_t m_deadline = 0;
  };

  RequestDispatcher& m_dispatcher;
  const FaultPlan& m_faults;
  AgentTrace& m_trace;
  std::optional<AnsweredRequest> m_lastAnswered;
  std::optional<AgentPacket> m_lastAnswer;
  std::optional<uint32_t> m_lastSequence;
  std::optional<HeldRequest> m_held;
  // An answer the fault plan holds back until the next request arrives.
  std::optional<AgentPacket> m_lateAnswer;
  uint32_t m_answersSent = 0;
};

class UdpEndpoint : public AgentEndpoint {
 public:
  using AgentEndpoint::AgentEndpoint;
  ~UdpEndpoint() override;

  // Binds 127.0.0.1:port (0: a free port). False with a reason in *error.
  bool Open(uint16_t port, std::string* error);
  uint16_t Port() const { return m_port; }
  int Descriptor() const { return m_socket; }
  // Takes the datagrams waiting, up to and with the first request; true when there
  // was any.
  bool OnReadable();

 protected:
  void SendControl(uint8_t byte) override;
  void SendAnswerBytes(const uint8_t* bytes, uint32_t length) override;

 private:
  int m_socket = -1;
  uint16_t m_port = 0;
  sockaddr_in m_peer{};
  bool m_havePeer = false;
};

class SerialEndpoint : public AgentEndpoint {
 public:
  using AgentEndpoint::AgentEndpoint;
  ~SerialEndpoint() override;

  // Opens a pseudo-terminal in raw mode and keeps its line end open, so the debugger
  // may open and close it as often as it likes; with a link path, also makes that a
  // symbolic link to it. False with a reason in *error.
  bool Open(const std::string& linkPath, std::string* error);
  const std::string& LinePath() const { return m_linePath; }
  int Descriptor() const { return m_master; }
  // Takes every byte waiting; true when there was any.
  bool OnReadable();
  // A packet begun and left unfinished for long is dropped.
  void OnIdle();

 protected:
  void SendControl(uint8_t byte) override;
  void SendAnswerBytes(const uint8_t* bytes, uint32_t length) override;

 private:
  void Take(uint8_t byte);
  void RefuseDamaged();
  void Write(const uint8_t* bytes, uint32_t length);

  int m_master = -1;
  int m_line = -1;
  std::string m_linePath;
  std::string m_linkPath;
  AgentPacket m_incoming;
  uint32_t m_received = 0;  // bytes of m_incoming so far; 0 = between packets
  uint32_t m_expected = 0;  // bytes of the whole packet once the header is known
  uint64_t m_lastByteTime = 0;
};

// Milliseconds and microseconds on a monotonic clock.
uint64_t NowMilliseconds();
uint64_t NowMicroseconds();

}  // namespace zentor::agent
