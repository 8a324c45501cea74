#include "target/agent_link.h"

#include "target/agent_protocol.h"
#include "target/serial_transport.h"
#include "target/udp_transport.h"

#include "core/dv_error.h"

#include <cstdio>

namespace zentor {
namespace {

// The most datagrams thrown away in one drain: a peer that floods the socket must not
// keep the debugger in the drain for ever.
constexpr uint32_t kMostDrainedDatagrams = 64;

const char* CheckName(PacketCheck check) {
  switch (check) {
    case PacketCheck::Good: return "good";
    case PacketCheck::TooShort: return "too short";
    case PacketCheck::BadMark: return "bad mark";
    case PacketCheck::BadHeaderSum: return "bad header sum";
    case PacketCheck::LengthTooLarge: return "length too large";
    case PacketCheck::WrongSize: return "wrong size";
    case PacketCheck::BadPacketSum: return "bad packet sum";
  }
  return "?";
}

}  // namespace

LinkHandle AgentLink::Open(uint32_t kind, const char* name, uint32_t baud) {
  LinkHandle handle = kNoLinkHandle;
  if (kind == kLinkKindSerial) {
    handle = OpenSerialPort(name, baud);
  } else if (kind == kLinkKindUdp) {
    handle = OpenUdpLink(name);
  } else {
    return kNoLinkHandle;
  }
  m_handle = handle;
  m_kind = kind;
  return handle;
}

void AgentLink::Adopt(uint32_t kind, LinkHandle handle) {
  m_kind = kind;
  m_handle = handle;
}

void AgentLink::Close() {
  if (m_handle == kNoLinkHandle) return;
  if (m_transport.close != nullptr) m_transport.close(m_handle);
  m_handle = kNoLinkHandle;
}

void AgentLink::SendControlByte(uint8_t byte) {
  const int32_t written = m_transport.write != nullptr ? m_transport.write(m_handle, &byte, 1) : -1;
  Trace('c', 0, byte, 0);
  if (written != 1) ZENTOR_INTERNAL_ERROR();
}

// The transaction:
//  1. Seal the request with the next sequence number (the counter moves on at once)
//     and preset the answer's status to 0xFFFFFFFF. After an unanswered get-event,
//     throw away anything that arrived since: a late answer carries the number this
//     request reuses.
//  2. A hello on a serial line first synchronises the line; failure ends here.
//  3. Send the request; a failed write counts as a send. Twenty sends end it.
//  4. Wait for the answer:
//     - silence: resend (after a stale answer, or when the caller allows it); an
//       unanswered get-event gives its number back and ends quietly; any other
//       silence is a broken link;
//     - NAK or a stray byte: discard pending input and resend;
//     - a damaged answer: NAK it and wait for it again; twenty end the transaction;
//     - an intact answer: ACK it; it ends the transaction when it answers this
//       request, otherwise it is stale and the wait goes on.
int32_t AgentLink::Transact(AgentPacket& request, AgentPacket& answer, bool resendOnSilence) {
  const uint32_t length = request.Length();
  if (length > kMaxPayloadLength) ZENTOR_INTERNAL_ERROR();
  const uint32_t sequence = m_sequence++;
  request.Seal(sequence);
  answer.SetCode(0xFFFFFFFFu);
  const uint32_t command = request.Code();
  if (m_handle == kNoLinkHandle || m_transport.read == nullptr || m_transport.write == nullptr) return -1;
  if (m_drainBeforeNextRequest) {
    m_drainBeforeNextRequest = false;
    DrainInput();
  }
  if (m_kind == kLinkKindSerial && command == kAgentCommandHello && SynchroniseSerialLine(m_handle) == 0) return -1;

  uint32_t sends = 0;
  uint32_t badAnswers = 0;
  bool stale = false;
  for (;;) {
    if (sends >= kMostSends) return -1;
    if (m_transport.write(m_handle, request.Bytes(), request.WireSize()) == -1) {
      ++sends;
      continue;
    }
    Trace('s', sequence, command, length);

    bool resend = false;
    while (!resend) {
      switch (ReceiveAnswer(answer)) {
        case Arrival::Silence:
          if (stale || resendOnSilence) {
            stale = false;
            ++sends;
            resend = true;
            break;
          }
          if (command == kAgentCommandGetEvent) {
            --m_sequence;
            m_drainBeforeNextRequest = true;
            answer.SetCode(0xFFFFFFFFu);
            return -1;
          }
          ZENTOR_INTERNAL_ERROR();
        case Arrival::Refused:
          if (m_transport.flush != nullptr) m_transport.flush(m_handle);
          ++sends;
          resend = true;
          break;
        case Arrival::Bad:
          if (++badAnswers >= kMostBadAnswers) {
            answer.SetCode(0xFFFFFFFFu);
            return -1;
          }
          SendControlByte(kNakByte);
          break;
        case Arrival::Good:
          SendControlByte(kAckByte);
          if (answer.Sequence() == sequence) return 0;
          stale = true;
          break;
      }
    }
    // A resend after a failure leaves no status of a wrong answer behind.
    answer.SetCode(0xFFFFFFFFu);
  }
}

AgentLink::Arrival AgentLink::ReceiveAnswer(AgentPacket& answer) {
  return m_kind == kLinkKindSerial ? ReceiveSerialAnswer(answer) : ReceiveUdpAnswer(answer);
}

// A serial answer comes as a byte stream: the first byte (ACK, mark, NAK or noise),
// then the header, then the payload and the packet sum.
AgentLink::Arrival AgentLink::ReceiveSerialAnswer(AgentPacket& answer) {
  uint8_t* bytes = answer.Bytes();
  if (m_transport.read(m_handle, bytes, 1, m_timeouts.m_firstPartMilliseconds) != 1) return Arrival::Silence;
  const uint8_t first = bytes[0];
  if (first != kAckByte && first != kPacketMark) {
    Trace('b', 0, first, 0);
    return Arrival::Refused;
  }
  // After an ACK the whole header follows; after the mark the rest of it.
  const uint32_t wanted = first == kAckByte ? kPacketHeaderSize : kPacketHeaderSize - 1;
  uint8_t* into = first == kAckByte ? bytes : bytes + 1;
  if (m_transport.read(m_handle, into, wanted, m_timeouts.m_restMilliseconds) != static_cast<int32_t>(wanted)) {
    ZENTOR_INTERNAL_ERROR();
  }
  const PacketCheck header = answer.CheckHeader();
  if (header != PacketCheck::Good) {
    // A length beyond the buffer cannot be read past; what follows it is noise.
    if (header == PacketCheck::LengthTooLarge && m_transport.flush != nullptr) m_transport.flush(m_handle);
    TraceAnswer(answer, header);
    return Arrival::Bad;
  }
  const uint32_t rest = answer.Length() + 2;
  if (m_transport.read(m_handle, answer.Payload(), rest, m_timeouts.m_restMilliseconds) != static_cast<int32_t>(rest)) {
    TraceAnswer(answer, PacketCheck::WrongSize);
    return Arrival::Bad;
  }
  const PacketCheck check = answer.Check(answer.WireSize());
  TraceAnswer(answer, check);
  return check == PacketCheck::Good ? Arrival::Good : Arrival::Bad;
}

// A UDP answer is one datagram, possibly preceded by a one-byte ACK datagram. An empty
// datagram is nothing.
AgentLink::Arrival AgentLink::ReceiveUdpAnswer(AgentPacket& answer) {
  uint8_t* bytes = answer.Bytes();
  int32_t received = m_transport.read(m_handle, bytes, kPacketBufferSize, m_timeouts.m_firstPartMilliseconds);
  if (received <= 0) return Arrival::Silence;
  if (received == 1) {
    const uint8_t first = bytes[0];
    if (first != kAckByte && first != kPacketMark) {
      Trace('b', 0, first, 0);
      return Arrival::Refused;
    }
    received = m_transport.read(m_handle, bytes, kPacketBufferSize, m_timeouts.m_restMilliseconds);
    if (received <= 0) ZENTOR_INTERNAL_ERROR();
  }
  const PacketCheck check = answer.Check(static_cast<uint32_t>(received));
  TraceAnswer(answer, check);
  return check == PacketCheck::Good ? Arrival::Good : Arrival::Bad;
}

// Serial input is discarded by the port at once. A UDP flush would wait for 200 ms of
// quiet; here only what has already arrived is wanted, so datagrams are read without
// waiting until none is left.
void AgentLink::DrainInput() {
  if (m_kind == kLinkKindSerial) {
    if (m_transport.flush != nullptr) m_transport.flush(m_handle);
    return;
  }
  for (uint32_t i = 0; i < kMostDrainedDatagrams; ++i) {
    if (m_transport.read(m_handle, m_answer.Bytes(), kPacketBufferSize, 0) < 0) return;
  }
}

void AgentLink::Trace(char what, uint32_t sequence, uint32_t code, uint32_t length, PacketCheck check) {
  m_trace[m_traceNext] = TraceEntry{what, static_cast<uint8_t>(check), sequence, code, length};
  m_traceNext = (m_traceNext + 1) % kTraceRingSize;
  if (m_traceCount < kTraceRingSize) ++m_traceCount;
}

void AgentLink::TraceAnswer(const AgentPacket& answer, PacketCheck check) {
  Trace('r', answer.Sequence(), answer.Code(), answer.Length(), check);
}

std::string AgentLink::RecentPacketsText() const {
  std::string text;
  char line[128];
  for (uint32_t i = 0; i < m_traceCount; ++i) {
    const TraceEntry& entry = m_trace[(m_traceNext + kTraceRingSize - m_traceCount + i) % kTraceRingSize];
    switch (entry.m_what) {
      case 's':
        std::snprintf(line, sizeof line, "sent request seq %u command 0x%x length %u\n", entry.m_sequence,
                      entry.m_code, entry.m_length);
        break;
      case 'r':
        std::snprintf(line, sizeof line, "received answer seq %u status 0x%x length %u: %s\n", entry.m_sequence,
                      entry.m_code, entry.m_length, CheckName(static_cast<PacketCheck>(entry.m_check)));
        break;
      case 'c': std::snprintf(line, sizeof line, "sent control byte 0x%02x\n", entry.m_code); break;
      default: std::snprintf(line, sizeof line, "received control byte 0x%02x\n", entry.m_code); break;
    }
    text += line;
  }
  return text;
}

void AgentLink::Reset() {
  Close();
  m_transport = LinkTransport{};
  m_kind = kLinkKindSerial;
  m_sequence = 0;
  m_drainBeforeNextRequest = false;
  m_timeouts = LinkTimeouts{};
  m_traceNext = 0;
  m_traceCount = 0;
}

AgentLink& TheAgentLink() {
  static AgentLink link;
  return link;
}

void SetLinkTransport(int32_t (*read)(LinkHandle, uint8_t*, uint32_t, uint32_t),
                      int32_t (*write)(LinkHandle, const uint8_t*, uint32_t), void (*close)(LinkHandle),
                      void (*flush)(LinkHandle)) {
  TheAgentLink().SetTransport(LinkTransport{read, write, close, flush});
}

LinkHandle OpenLink(uint32_t kind, const char* name, uint32_t baud) { return TheAgentLink().Open(kind, name, baud); }

void CloseLink() { TheAgentLink().Close(); }

void SendControlByte(uint8_t byte) { TheAgentLink().SendControlByte(byte); }

int32_t Transact(AgentPacket& request, AgentPacket& answer, uint32_t resendOnSilence) {
  return TheAgentLink().Transact(request, answer, resendOnSilence != 0);
}

}  // namespace zentor
