#pragma once
// The packet link to the debug agent: the one open link, its transport, the sequence
// numbering, the request and answer buffers and the transaction that sends a request
// and brings back its answer with ACK/NAK, resends and sequence checks. The request
// builders (agent_requests.h) fill the request buffer and call Transact; the serial
// and UDP transports (serial_transport.h, udp_transport.h) install themselves when
// they open. One AgentLink serves the program (TheAgentLink); the free functions at
// the end are the operations the rest of the target side calls on it.

#include <cstdint>
#include <string>

#include "target/agent_packet.h"

namespace zentor {

// A transport's handle of an open link (a port or socket as a number).
using LinkHandle = intptr_t;
inline constexpr LinkHandle kNoLinkHandle = -1;

// Transport kinds.
inline constexpr uint32_t kLinkKindSerial = 0;
inline constexpr uint32_t kLinkKindUdp = 1;

// The four operations of a transport. read returns the number of bytes read or -1
// when nothing arrived within the time-out; write the number written or -1; flush
// discards whatever input is pending.
struct LinkTransport {
  int32_t (*read)(LinkHandle handle, uint8_t* buffer, uint32_t length, uint32_t timeoutMilliseconds) = nullptr;
  int32_t (*write)(LinkHandle handle, const uint8_t* bytes, uint32_t length) = nullptr;
  void (*close)(LinkHandle handle) = nullptr;
  void (*flush)(LinkHandle handle) = nullptr;
};

// The waits of a transaction: for the first part of an answer, and for the rest of
// it once it has begun.
struct LinkTimeouts {
  uint32_t m_firstPartMilliseconds = 200;
  uint32_t m_restMilliseconds = 2000;
};

class AgentLink {
 public:
  static constexpr uint32_t kMostSends = 20;
  static constexpr uint32_t kMostBadAnswers = 20;
  static constexpr uint32_t kTraceRingSize = 16;

  void SetTransport(const LinkTransport& transport) { m_transport = transport; }
  const LinkTransport& Transport() const { return m_transport; }
  // Opens a link of `kind` (serial: the port `name` at `baud`; UDP: the host `name`)
  // and keeps its handle and kind, whatever the result. Any other kind returns -1 and
  // changes nothing.
  LinkHandle Open(uint32_t kind, const char* name, uint32_t baud);
  // Takes an already open handle of `kind` as the link (the transport is installed).
  void Adopt(uint32_t kind, LinkHandle handle);
  // Closes the open link, if any.
  void Close();

  // Sends ACK or NAK alone; a failed write is a broken link (internal error).
  void SendControlByte(uint8_t byte);
  // One exchange of request and answer; 0 when the answer to this request arrived
  // intact, -1 when the link failed. See the steps above the definition.
  int32_t Transact(AgentPacket& request, AgentPacket& answer, bool resendOnSilence);

  AgentPacket& RequestBuffer() { return m_request; }
  AgentPacket& AnswerBuffer() { return m_answer; }
  LinkHandle Handle() const { return m_handle; }
  uint32_t Kind() const { return m_kind; }
  bool IsOpen() const { return m_handle != kNoLinkHandle; }
  // The number the next transaction sends.
  uint32_t NextSequence() const { return m_sequence; }

  const LinkTimeouts& Timeouts() const { return m_timeouts; }
  // Shorter waits let tests of lossy lines run in seconds; the program keeps 200/2000.
  void SetTimeouts(const LinkTimeouts& timeouts) { m_timeouts = timeouts; }

  // The last packets sent and received, oldest first, one per line: what went wrong
  // on the line when a transaction failed.
  std::string RecentPacketsText() const;

  // Back to the program's start state: closed, sequence 0, default time-outs.
  void Reset();

 private:
  enum class Arrival : uint8_t { Silence, Refused, Bad, Good };
  struct TraceEntry {
    char m_what = 0;  // 's' request sent, 'r' answer, 'c' control byte sent, 'b' control byte received
    uint8_t m_check = 0;
    uint32_t m_sequence = 0;
    uint32_t m_code = 0;
    uint32_t m_length = 0;
  };

  Arrival ReceiveAnswer(AgentPacket& answer);
  Arrival ReceiveSerialAnswer(AgentPacket& answer);
  Arrival ReceiveUdpAnswer(AgentPacket& answer);
  void DrainInput();
  void Trace(char what, uint32_t sequence, uint32_t code, uint32_t length, PacketCheck check = PacketCheck::Good);
  void TraceAnswer(const AgentPacket& answer, PacketCheck check);

  LinkTransport m_transport;
  LinkHandle m_handle = kNoLinkHandle;
  uint32_t m_kind = kLinkKindSerial;
  uint32_t m_sequence = 0;
  // Set when a get-event request went unanswered: its number is used again, so an
  // answer that comes late must be thrown away before the next request goes out.
  bool m_drainBeforeNextRequest = false;
  LinkTimeouts m_timeouts;
  AgentPacket m_request;
  AgentPacket m_answer;
  TraceEntry m_trace[kTraceRingSize];
  uint32_t m_traceNext = 0;
  uint32_t m_traceCount = 0;
};

// The program's link.
AgentLink& TheAgentLink();

// The link operations on the program's link.
void SetLinkTransport(int32_t (*read)(LinkHandle, uint8_t*, uint32_t, uint32_t),
                      int32_t (*write)(LinkHandle, const uint8_t*, uint32_t), void (*close)(LinkHandle),
                      void (*flush)(LinkHandle));
LinkHandle OpenLink(uint32_t kind, const char* name, uint32_t baud);
void CloseLink();
void SendControlByte(uint8_t byte);
int32_t Transact(AgentPacket& request, AgentPacket& answer, uint32_t resendOnSilence);

}  // namespace zentor
