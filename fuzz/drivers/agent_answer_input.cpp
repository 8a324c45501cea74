#include "agent_answer_input.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string_view>

#include "app/session_reset.h"
#include "console/output_writer.h"
#include "core/dv_error.h"
#include "target/agent_events.h"
#include "target/agent_link.h"
#include "target/agent_packet.h"
#include "target/agent_requests.h"
#include "target/server_listings.h"

namespace zentor::fuzzing {
namespace {

constexpr size_t kMostOutputKept = 64 * 1024;

// The far end of the line: records are decoded from the input only when the link
// reads, so a sealed answer can carry the number of the request then outstanding.
// A record queues at most two arrivals (an ACK and a sealed answer) and the next one
// is decoded only when both are gone, so the queue is two places; an arrival points
// into the input, at the one sealed answer or at a byte of its own, never at a copy.
class InputLine {
 public:
  InputLine(const uint8_t* data, size_t size) : m_data(data), m_size(size) {
    m_kind = Next() & 1u ? kLinkKindUdp : kLinkKindSerial;
  }

  uint32_t Kind() const { return m_kind; }

  // UDP takes one arrival per read; serial takes bytes from the front arrival and
  // leaves the rest for the next read. An empty front arrival is a read that times out.
  int32_t Read(uint8_t* buffer, uint32_t length) {
    if (m_queued == 0 && !Decode()) return -1;
    Arrival& front = m_arrivals[m_front];
    if (front.m_size == 0) {
      Pop();
      return -1;
    }
    const uint32_t count = std::min(length, front.m_size);
    std::memcpy(buffer, front.m_bytes, count);
    if (m_kind == kLinkKindUdp || count == front.m_size) {
      Pop();
    } else {
      front.m_bytes += count;
      front.m_size -= count;
    }
    return static_cast<int32_t>(count);
  }

 private:
  struct Arrival {
    const uint8_t* m_bytes = nullptr;
    uint32_t m_size = 0;
  };

  uint8_t Next() { return m_position < m_size ? m_data[m_position++] : 0; }
  bool AtEnd() const { return m_position >= m_size; }
  // The next `count` bytes of the input as far as it goes (a pointer to them).
  const uint8_t* Take(uint32_t* count) {
    const uint8_t* bytes = m_data + m_position;
    *count = static_cast<uint32_t>(std::min<size_t>(*count, m_size - m_position));
    m_position += *count;
    return bytes;
  }
  void Push(const uint8_t* bytes, uint32_t size) {
    m_arrivals[(m_front + m_queued) % 2] = Arrival{bytes, size};
    ++m_queued;
  }
  void Pop() {
    m_front = (m_front + 1) % 2;
    --m_queued;
  }

  // Queues the arrivals of the next record; false past the end of the input.
  bool Decode() {
    if (AtEnd()) return false;
    const uint8_t tag = Next();
    switch (tag & 3u) {
      case kAnswerRecordRaw: {
        uint32_t count = Next();
        const uint8_t* bytes = Take(&count);
        Push(bytes, count);
        break;
      }
      case kAnswerRecordSealed: {
        uint32_t status = 0;
        for (uint32_t i = 0; i < 4; ++i) status |= static_cast<uint32_t>(Next()) << (8 * i);
        uint32_t length = Next();
        length |= static_cast<uint32_t>(Next()) << 8;
        length = std::min(length, kMaxPayloadLength);
        // Past the end of the input the payload reads as zeros.
        uint32_t present = length;
        const uint8_t* payload = Take(&present);
        std::memcpy(m_sealed.Payload(), payload, present);
        std::memset(m_sealed.Payload() + present, 0, length - present);
        m_sealed.SetCode(status);
        m_sealed.SetLength(length);
        const uint32_t current = TheAgentLink().NextSequence() - 1;
        m_sealed.Seal(current - ((tag >> 2) & 3u));
        if ((tag >> 4) & 1u) Push(&kAckByte, 1);
        Push(m_sealed.Bytes(), m_sealed.WireSize());
        break;
      }
      case kAnswerRecordSilence: Push(nullptr, 0); break;
      default: {
        // One byte, a zero past the end of the input.
        uint32_t count = 1;
        const uint8_t* byte = Take(&count);
        Push(count == 1 ? byte : &kZeroByte, 1);
        break;
      }
    }
    return true;
  }

  static constexpr uint8_t kZeroByte = 0;

  const uint8_t* m_data;
  size_t m_size;
  size_t m_position = 0;
  uint32_t m_kind = kLinkKindSerial;
  std::array<Arrival, 2> m_arrivals;
  uint32_t m_front = 0;
  uint32_t m_queued = 0;
  // Kept from one input to the next: a packet's 1 KB cleared for every input was
  // work the fuzzer paid for, and only the bytes an answer seals are ever read.
  static inline AgentPacket m_sealed;
};

InputLine* g_line = nullptr;

int32_t ReadLine(LinkHandle, uint8_t* buffer, uint32_t length, uint32_t) { return g_line->Read(buffer, length); }
int32_t WriteLine(LinkHandle, const uint8_t*, uint32_t length) { return static_cast<int32_t>(length); }
void CloseLine(LinkHandle) {}
void FlushLine(LinkHandle) {}

// The text without its carriage returns.
std::string WithoutCarriageReturns(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  while (!text.empty()) {
    const size_t piece = std::min(text.find('\r'), text.size());
    kept.append(text.data(), piece);
    text.remove_prefix(std::min(piece + 1, text.size()));
  }
  return kept;
}

std::string Step(const char* name, const std::function<uint32_t()>& request) {
  std::string line = name;
  try {
    line += " " + std::to_string(request());
  } catch (const DVError& error) {
    line += " error " + std::to_string(error.Number());
  }
  return line + "\n";
}

}  // namespace

AgentAnswerOutcome RunAgentRequestSequence() {
  AgentAnswerOutcome outcome;
  // A listing of thousands of modules is cut after 64 KB written: the output is kept
  // for the replay tests, line ends as "\n". The hook gets every write of a listing,
  // so it only stores them; the carriage returns go once at the end.
  static std::array<char, kMostOutputKept> written;
  size_t writtenLength = 0;
  OutputWriter::InstallTextHook([&writtenLength](std::string_view text) {
    const size_t count = std::min(text.size(), written.size() - writtenLength);
    std::memcpy(written.data() + writtenLength, text.data(), count);
    writtenLength += count;
  });
  // What the memory read delivers is never looked at, so one buffer serves every input.
  static std::array<uint8_t, 1500> memory;
  outcome.m_results += Step("read memory", [&] {
    uint16_t count = 0;
    return AgentReadMemory(0, static_cast<uint16_t>(memory.size()), 0x00400000u, &count, memory.data());
  });
  outcome.m_results += Step("read registers", [] {
    RegisterBlock block;
    block.SetMask(kRegisterGroupMaskAll);
    return AgentReadRegisters(0, &block);
  });
  outcome.m_results += Step("list modules", [] {
    ListServerModules();
    return 0u;
  });
  for (const char* name : {"get event", "get event again"}) {
    outcome.m_results += Step(name, [] {
      uint8_t flag = 0;
      AgentEventRecord record;
      const uint32_t status = AgentGetEvent(&flag, &record);
      return status != 0 ? status : record.m_code;
    });
  }
  OutputWriter::RemoveHook();
  outcome.m_output = WithoutCarriageReturns(std::string_view(written.data(), writtenLength));
  return outcome;
}

AgentAnswerOutcome RunAgentAnswerInput(const uint8_t* data, size_t size) {
  // The process's first input begins from a whole session reset. The request sequence
  // changes only the link, the requests' and the events' state and the output
  // writer's (its hook comes and goes), so after each input only those go back: the
  // rest of a session reset, thousands of edges the same for every input, is work
  // and coverage counters the fuzzer would pay for on every input.
  static const bool reset = (ResetDebugSession(), true);
  (void)reset;
  InputLine line(data, size);
  g_line = &line;
  SetLinkTransport(&ReadLine, &WriteLine, &CloseLine, &FlushLine);
  TheAgentLink().Adopt(line.Kind(), 1);
  AgentAnswerOutcome outcome = RunAgentRequestSequence();
  g_line = nullptr;
  TheAgentLink().Reset();
  ResetAgentRequests();
  ResetAgentEvents();
  OutputWriter::Reset();
  return outcome;
}

}  // namespace zentor::fuzzing
