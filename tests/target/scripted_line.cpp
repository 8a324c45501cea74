#include "scripted_line.h"

#include <algorithm>
#include <cstring>

#include "console/output_writer.h"
#include "target/agent_events.h"
#include "target/agent_requests.h"
#include "target/serial_transport.h"
#include "target/udp_transport.h"

namespace zentor::testing_support {
namespace {

ScriptedLine* g_line = nullptr;

}  // namespace

ScriptedLine::ScriptedLine(uint32_t kind) : m_kind(kind) {
  ResetLinkState();
  g_line = this;
  SetLinkTransport(&Read, &Write, &Close, &Flush);
  TheAgentLink().Adopt(kind, 1);
}

ScriptedLine::~ScriptedLine() {
  ResetLinkState();
  g_line = nullptr;
}

std::vector<Bytes> ScriptedLine::Packets() const {
  std::vector<Bytes> packets;
  for (const Bytes& write : m_writes) {
    if (write.size() > 1) packets.push_back(write);
  }
  return packets;
}

Bytes ScriptedLine::ControlBytes() const {
  Bytes bytes;
  for (const Bytes& write : m_writes) {
    if (write.size() == 1) bytes.push_back(write[0]);
  }
  return bytes;
}

// UDP takes one arrival per read; serial takes bytes from the front arrival and
// leaves the rest of it for the next read.
int32_t ScriptedLine::Read(LinkHandle, uint8_t* buffer, uint32_t length, uint32_t) {
  ScriptedLine& line = *g_line;
  if (line.m_arrivals.empty()) return -1;
  std::optional<Bytes>& front = line.m_arrivals.front();
  if (!front.has_value()) {
    line.m_arrivals.pop_front();
    return -1;
  }
  const uint32_t count = std::min<uint32_t>(length, static_cast<uint32_t>(front->size()));
  if (count != 0) std::memcpy(buffer, front->data(), count);
  if (line.m_kind == kLinkKindUdp || count == front->size()) {
    const bool empty = front->empty();
    line.m_arrivals.pop_front();
    if (empty && line.m_kind == kLinkKindSerial) return -1;
  } else {
    front->erase(front->begin(), front->begin() + count);
  }
  return line.m_kind == kLinkKindSerial && count == 0 ? -1 : static_cast<int32_t>(count);
}

int32_t ScriptedLine::Write(LinkHandle, const uint8_t* bytes, uint32_t length) {
  ScriptedLine& line = *g_line;
  line.m_writes.emplace_back(bytes, bytes + length);
  if (length > 1 && line.m_responder) {
    AgentPacket request;
    std::memcpy(request.Bytes(), bytes, std::min<uint32_t>(length, kPacketBufferSize));
    line.m_responder(request);
  }
  return static_cast<int32_t>(length);
}

void ScriptedLine::Close(LinkHandle) {}

// Scripted arrivals stand for bytes still to come: a flush only counts.
void ScriptedLine::Flush(LinkHandle) { ++g_line->m_flushes; }

Bytes AnswerBytes(uint32_t sequence, uint32_t status, const Bytes& payload) {
  AgentPacket answer;
  answer.SetCode(status);
  answer.SetLength(static_cast<uint32_t>(payload.size()));
  if (!payload.empty()) std::memcpy(answer.Payload(), payload.data(), payload.size());
  answer.Seal(sequence);
  return Bytes(answer.Bytes(), answer.Bytes() + answer.WireSize());
}

std::string CapturedOutput(const std::function<void()>& run) {
  std::string text;
  OutputWriter::InstallHook([&text](char ch) {
    if (ch != '\r') text += ch;
  });
  // A run that throws must not leave the hook writing into this frame.
  struct RemoveHook {
    ~RemoveHook() { OutputWriter::RemoveHook(); }
  } removeHook;
  run();
  return text;
}

void ResetLinkState() {
  TheAgentLink().Reset();
  ResetAgentRequests();
  ResetAgentEvents();
  ResetSerialTransport();
  SetUdpFlushQuietTime(0);
}

}  // namespace zentor::testing_support
