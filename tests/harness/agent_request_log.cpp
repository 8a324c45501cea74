#include "harness/agent_request_log.h"

#include <algorithm>

#include "core/dv_error.h"
#include "core/value_bytes.h"
#include "target/agent_packet.h"
#include "target/agent_protocol.h"

namespace zentor::testing_support {
namespace {

AgentRequestLog* g_log = nullptr;

}  // namespace

AgentRequestLog::AgentRequestLog() : m_inner(TheAgentLink().Transport()) {
  if (g_log != nullptr) ZENTOR_INTERNAL_ERROR();
  g_log = this;
  LinkTransport logging = m_inner;
  logging.write = &Write;
  TheAgentLink().SetTransport(logging);
}

AgentRequestLog::~AgentRequestLog() {
  if (TheAgentLink().Transport().write == &Write) TheAgentLink().SetTransport(m_inner);
  g_log = nullptr;
}

// A request is a whole packet; ACK and NAK travel alone. A packet sent again is
// recorded again.
int32_t AgentRequestLog::Write(LinkHandle handle, const uint8_t* bytes, uint32_t length) {
  if (length >= kPacketOverhead && bytes[0] == kPacketMark) {
    const uint32_t payload = std::min(value_bytes::LoadU32(bytes + kPacketLengthOffset), length - kPacketOverhead);
    g_log->m_requests.push_back(Request{value_bytes::LoadU32(bytes + kPacketCodeOffset),
                                        std::vector<uint8_t>(bytes + kPacketHeaderSize,
                                                             bytes + kPacketHeaderSize + payload)});
  }
  return g_log->m_inner.write(handle, bytes, length);
}

size_t AgentRequestLog::Count(uint32_t command) const {
  return static_cast<size_t>(std::count_if(m_requests.begin(), m_requests.end(),
                                           [command](const Request& request) { return request.command == command; }));
}

std::vector<AgentRequestLog::MemoryRead> AgentRequestLog::MemoryReads() const {
  std::vector<MemoryRead> reads;
  for (const Request& request : m_requests) {
    if (request.command != kAgentCommandReadMemory || request.payload.size() < kMemoryRequestHeaderSize) continue;
    reads.emplace_back(value_bytes::LoadU32(request.payload.data() + 4),
                       value_bytes::LoadU16(request.payload.data() + 8));
  }
  return reads;
}

}  // namespace zentor::testing_support
