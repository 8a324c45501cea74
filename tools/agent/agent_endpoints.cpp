#include "agent_endpoints.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "target/agent_protocol.h"

namespace zentor::agent {
namespace {

// A packet whose bytes stop coming for this long is given up.
constexpr uint64_t kPacketGapMilliseconds = 500;
// After a damaged packet the rest of it is discarded until the line is this quiet.
constexpr int kDamageQuietMilliseconds = 5;
// A pause between pieces of an answer this long may have outlasted the debugger's
// 33 ms read interval by the time the next piece is in the line.
constexpr uint64_t kLatePieceMilliseconds = 20;

void SleepMilliseconds(uint32_t milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

}  // namespace

uint64_t NowMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

uint64_t NowMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

// The debugger has one request outstanding and sends nothing else until it is
// answered, so the only request that can come again as a repeat is the last one; an
// earlier one comes again only as a late copy. A debugger program that starts anew
// counts from 0 again and greets first: its requests must not be taken for those of
// the session before it, which used the same numbers.
// 1. The last answered request of the session, seen again, gets its answer again and
//    is not executed again.
// 2. A hello begins a new session: nothing of the one before is kept.
// 3. A request numbered before the last one is a late copy: ignored.
// 4. Otherwise it is executed; its answer is kept and sent. A get-event request with
//    nothing pending stays unanswered, and the debugger reuses its number; while the
//    thread runs it is first held for a while in case an event comes.
// A new request means the debugger has given up a held one. An answer the fault plan
// held back goes out first: it comes after the debugger gave up waiting for it.
void AgentEndpoint::OnRequest(const AgentPacket& request) {
  if (m_lateAnswer.has_value()) {
    const AgentPacket late = *m_lateAnswer;
    m_lateAnswer.reset();
    SendAnswer(late);
  }
  if (m_held.has_value()) {
    m_trace.Line("silent seq=%u command=0x%02x", m_held->m_request.Sequence(), m_held->m_request.Code());
    m_held.reset();
  }
  const uint32_t sequence = request.Sequence();
  const uint32_t command = request.Code();
  const uint16_t payloadSum = request.StoredPacketSum();
  if (m_lastAnswered.has_value() && m_lastAnswered->m_sequence == sequence && m_lastAnswered->m_command == command &&
      m_lastAnswered->m_payloadSum == payloadSum) {
    m_trace.Line("duplicate seq=%u command=0x%02x", sequence, command);
    m_lastAnswer = m_lastAnswered->m_answer;
    Transmit(m_lastAnswered->m_answer);
    return;
  }
  if (command == kAgentCommandHello) {
    BeginSession();
  } else if (m_lastSequence.has_value() && static_cast<int32_t>(sequence - *m_lastSequence) < 0) {
    m_trace.Line("stale seq=%u command=0x%02x", sequence, command);
    return;
  }
  m_lastSequence = sequence;
  if (m_dispatcher.ShouldHold(request)) {
    m_trace.Line("hold seq=%u command=0x%02x", sequence, command);
    m_held = HeldRequest{request, NowMilliseconds() + kHoldMilliseconds};
    return;
  }
  Execute(request);
}

void AgentEndpoint::BeginSession() {
  m_lastAnswered.reset();
  m_lastAnswer.reset();
  m_lastSequence.reset();
}

void AgentEndpoint::ServiceHeldRequest() {
  if (!m_held.has_value() || (!m_dispatcher.EventPending() && NowMilliseconds() < m_held->m_deadline)) return;
  const AgentPacket request = m_held->m_request;
  m_held.reset();
  Execute(request);
}

void AgentEndpoint::Execute(const AgentPacket& request) {
  const uint32_t sequence = request.Sequence();
  const uint32_t command = request.Code();
  const std::optional<Answer> answer = m_dispatcher.Handle(request);
  if (!answer.has_value()) {
    m_trace.Line("silent seq=%u command=0x%02x", sequence, command);
    return;
  }
  if (answer->m_note.empty()) {
    m_trace.Line("exec seq=%u command=0x%02x status=0x%x", sequence, command, answer->m_status);
  } else {
    m_trace.Line("exec seq=%u command=0x%02x status=0x%x %s", sequence, command, answer->m_status,
                 answer->m_note.c_str());
  }
  AnsweredRequest entry;
  entry.m_sequence = sequence;
  entry.m_command = command;
  entry.m_payloadSum = request.StoredPacketSum();
  entry.m_answer.SetCode(answer->m_status);
  entry.m_answer.SetLength(static_cast<uint32_t>(answer->m_payload.size()));
  if (!answer->m_payload.empty()) {
    std::memcpy(entry.m_answer.Payload(), answer->m_payload.data(), answer->m_payload.size());
  }
  entry.m_answer.Seal(sequence);
  m_lastAnswered = entry;
  m_lastAnswer = entry.m_answer;
  Transmit(entry.m_answer);
}

void AgentEndpoint::OnDamagedRequest() {
  m_trace.Line("damaged");
  SendControl(kNakByte);
}

void AgentEndpoint::OnControlByte(uint8_t byte) {
  if (byte == kAckByte) {
    m_trace.Line("ack");
  } else if (byte == kNakByte) {
    m_trace.Line("nak");
    if (m_lastAnswer.has_value()) Transmit(*m_lastAnswer);
  }
}

void AgentEndpoint::Transmit(const AgentPacket& answer) {
  const uint32_t number = ++m_answersSent;
  auto listed = [number](const std::set<uint32_t>& set) { return set.count(number) != 0; };
  if (listed(m_faults.m_drop)) {
    m_trace.Line("fault %u drop", number);
    return;
  }
  AgentPacket copy = answer;
  if (listed(m_faults.m_stale)) {
    m_trace.Line("fault %u stale", number);
    copy.Seal(answer.Sequence() - 1);
  }
  if (listed(m_faults.m_damage)) {
    m_trace.Line("fault %u damage", number);
    copy.Bytes()[copy.WireSize() - 2] ^= 0x01;
  }
  if (listed(m_faults.m_delay)) {
    m_trace.Line("fault %u delay", number);
    SleepMilliseconds(m_faults.m_delayMilliseconds);
  }
  if (listed(m_faults.m_late)) {
    m_trace.Line("fault %u late", number);
    m_lateAnswer = copy;
    return;
  }
  SendAnswer(copy);
  if (listed(m_faults.m_duplicate)) {
    m_trace.Line("fault %u duplicate", number);
    SendAnswerBytes(copy.Bytes(), copy.WireSize());
  }
}

void AgentEndpoint::SendAnswer(const AgentPacket& answer) {
  if (m_faults.m_ackFirst) SendControl(kAckByte);
  SendAnswerBytes(answer.Bytes(), answer.WireSize());
}

UdpEndpoint::~UdpEndpoint() {
  if (m_socket >= 0) close(m_socket);
}

bool UdpEndpoint::Open(uint16_t port, std::string* error) {
  m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (m_socket < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    *error = "UDP port " + std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  socklen_t size = sizeof address;
  getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size);
  m_port = ntohs(address.sin_port);
  return true;
}

// A datagram is a control byte (one byte) or a packet; anything longer than the
// largest packet, or a packet that fails its checks, is refused. The reading stops
// after a request: the debugger sends nothing more before its answer, and the next
// look of the main loop finds whatever else has come.
bool UdpEndpoint::OnReadable() {
  uint8_t datagram[2 * kPacketBufferSize];
  bool took = false;
  for (;;) {
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const ssize_t n = recvfrom(m_socket, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&from), &size);
    if (n < 0) return took;
    took = true;
    m_peer = from;
    m_havePeer = true;
    if (n == 0) continue;
    if (n == 1) {
      OnControlByte(datagram[0]);
      continue;
    }
    AgentPacket packet;
    const auto length = static_cast<uint32_t>(n);
    if (length > kPacketBufferSize) {
      OnDamagedRequest();
      continue;
    }
    std::memcpy(packet.Bytes(), datagram, length);
    if (packet.Check(length) != PacketCheck::Good) {
      OnDamagedRequest();
      continue;
    }
    OnRequest(packet);
    return true;
  }
}

void UdpEndpoint::SendControl(uint8_t byte) { SendAnswerBytes(&byte, 1); }

void UdpEndpoint::SendAnswerBytes(const uint8_t* bytes, uint32_t length) {
  if (!m_havePeer) return;
  sendto(m_socket, bytes, length, 0, reinterpret_cast<const sockaddr*>(&m_peer), sizeof m_peer);
}

SerialEndpoint::~SerialEndpoint() {
  // The link may name a newer agent's line by now: it goes only while it names ours.
  if (!m_linkPath.empty()) {
    char target[4096];
    const ssize_t n = readlink(m_linkPath.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == m_linePath) unlink(m_linkPath.c_str());
  }
  if (m_line >= 0) close(m_line);
  if (m_master >= 0) close(m_master);
}

bool SerialEndpoint::Open(const std::string& linkPath, std::string* error) {
  m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
    *error = std::string("pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  const char* name = ptsname(m_master);
  if (name == nullptr) {
    *error = "pseudo-terminal has no name";
    return false;
  }
  m_linePath = name;
  m_line = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  if (m_line < 0 || tcgetattr(m_line, &raw) != 0) {
    *error = m_linePath + ": " + std::strerror(errno);
    return false;
  }
  cfmakeraw(&raw);
  tcsetattr(m_line, TCSANOW, &raw);
  fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
  if (!linkPath.empty()) {
    unlink(linkPath.c_str());
    if (symlink(m_linePath.c_str(), linkPath.c_str()) != 0) {
      *error = linkPath + ": " + std::strerror(errno);
      return false;
    }
    m_linkPath = linkPath;
  }
  return true;
}

bool SerialEndpoint::OnReadable() {
  uint8_t bytes[4096];
  bool took = false;
  for (;;) {
    const ssize_t n = read(m_master, bytes, sizeof bytes);
    if (n <= 0) return took;
    took = true;
    m_lastByteTime = NowMilliseconds();
    for (ssize_t i = 0; i < n; ++i) Take(bytes[i]);
  }
}

void SerialEndpoint::OnIdle() {
  if (m_received != 0 && NowMilliseconds() - m_lastByteTime > kPacketGapMilliseconds) m_received = 0;
}

// Between packets single bytes are control bytes: ACK, NAK, the synchronisation byte
// (echoed) or noise (ignored). The mark starts a packet: its header says how long it
// is, and the header sum is checked before that length is believed.
void SerialEndpoint::Take(uint8_t byte) {
  if (m_received == 0) {
    if (byte == kPacketMark) {
      m_incoming.Bytes()[0] = byte;
      m_received = 1;
      m_expected = kPacketHeaderSize;
    } else if (byte == kSerialSyncByte) {
      SendControl(kSerialSyncByte);
    } else {
      OnControlByte(byte);
    }
    return;
  }
  m_incoming.Bytes()[m_received++] = byte;
  if (m_received < m_expected) return;
  if (m_expected == kPacketHeaderSize) {
    if (m_incoming.CheckHeader() != PacketCheck::Good) {
      RefuseDamaged();
      return;
    }
    m_expected = m_incoming.WireSize();
    return;
  }
  const uint32_t length = m_received;
  m_received = 0;
  if (m_incoming.Check(length) != PacketCheck::Good) {
    RefuseDamaged();
    return;
  }
  OnRequest(m_incoming);
}

// The rest of a damaged packet is still coming; it is discarded before the NAK so
// that none of it is taken for a control byte or a new packet.
void SerialEndpoint::RefuseDamaged() {
  m_received = 0;
  uint8_t bytes[4096];
  pollfd ready{m_master, POLLIN, 0};
  while (poll(&ready, 1, kDamageQuietMilliseconds) > 0) {
    if (read(m_master, bytes, sizeof bytes) <= 0) break;
  }
  OnDamagedRequest();
}

void SerialEndpoint::SendControl(uint8_t byte) { Write(&byte, 1); }

// Split writes arrive as pieces with pauses shorter than the debugger's 33 ms read
// interval: the debugger must put them together. A pause meant to stay inside that
// interval which a busy machine stretched beyond kLatePieceMilliseconds may already
// have ended the debugger's read: the rest of the answer is dropped, as a line that
// lost it would, so that it cannot come later as stray bytes between packets (the
// debugger refuses the short answer and gets it again).
void SerialEndpoint::SendAnswerBytes(const uint8_t* bytes, uint32_t length) {
  const uint32_t piece = Faults().m_splitBytes;
  const uint32_t pause = Faults().m_splitPauseMilliseconds;
  if (piece == 0 || length <= 1) {
    Write(bytes, length);
    return;
  }
  uint64_t written = 0;
  for (uint32_t at = 0; at < length; at += piece) {
    if (at != 0) {
      SleepMilliseconds(pause);
      if (pause < kLatePieceMilliseconds && NowMilliseconds() - written >= kLatePieceMilliseconds) {
        TraceLine("late piece: the rest of the answer dropped");
        return;
      }
    }
    Write(bytes + at, std::min(piece, length - at));
    written = NowMilliseconds();
  }
}

void SerialEndpoint::Write(const uint8_t* bytes, uint32_t length) {
  uint32_t written = 0;
  while (written < length) {
    const ssize_t n = write(m_master, bytes + written, length - written);
    if (n > 0) {
      written += static_cast<uint32_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd ready{m_master, POLLOUT, 0};
      poll(&ready, 1, 100);
    } else {
      return;
    }
  }
}

}  // namespace zentor::agent
