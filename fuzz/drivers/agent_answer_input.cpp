#include "agent_answer_input.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <functional>
#include <vector>

#include "app/session_reset.h"
#include "console/output_writer.h"
#include "core/dv_error.h"
#include "target/agent_link.h"
#include "target/agent_packet.h"
#include "target/agent_requests.h"
#include "target/server_listings.h"

namespace zentor::fuzzing {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kMostOutputKept = 64 * 1024;

// The far end of the line: records are decoded from the input only when the link
// reads, so a sealed answer can carry the number of the request then outstanding.
class InputLine {
 public:
  InputLine(const uint8_t* data, size_t size) : m_data(data), m_size(size) {
    m_kind = Next() & 1u ? kLinkKindUdp : kLinkKindSerial;
  }

  uint32_t Kind() const { return m_kind; }

  // UDP takes one arrival per read; serial takes bytes from the front arrival and
  // leaves the rest for the next read. An empty front arrival is a read that times out.
  int32_t Read(uint8_t* buffer, uint32_t length) {
    if (m_arrivals.empty() && !Decode()) return -1;
    Bytes& front = m_arrivals.front();
    if (front.empty()) {
      m_arrivals.pop_front();
      return -1;
    }
    const uint32_t count = std::min<uint32_t>(length, static_cast<uint32_t>(front.size()));
    std::memcpy(buffer, front.data(), count);
    if (m_kind == kLinkKindUdp || count == front.size()) {
      m_arrivals.pop_front();
    } else {
      front.erase(front.begin(), front.begin() + count);
    }
    return static_cast<int32_t>(count);
  }

 private:
  uint8_t Next() { return m_position < m_size ? m_data[m_position++] : 0; }
  bool AtEnd() const { return m_position >= m_size; }

  // Queues the arrivals of the next record; false past the end of the input.
  bool Decode() {
    if (AtEnd()) return false;
    const uint8_t tag = Next();
    switch (tag & 3u) {
      case kAnswerRecordRaw: {
        const uint32_t count = Next();
        Bytes bytes;
        for (uint32_t i = 0; i < count && !AtEnd(); ++i) bytes.push_back(Next());
        m_arrivals.push_back(bytes);
        break;
      }
      case kAnswerRecordSealed: {
        AgentPacket answer;
        uint32_t status = 0;
        for (uint32_t i = 0; i < 4; ++i) status |= static_cast<uint32_t>(Next()) << (8 * i);
        uint32_t length = Next();
        length |= static_cast<uint32_t>(Next()) << 8;
        length = std::min(length, kMaxPayloadLength);
        for (uint32_t i = 0; i < length; ++i) answer.Payload()[i] = Next();
        answer.SetCode(status);
        answer.SetLength(length);
        const uint32_t current = TheAgentLink().NextSequence() - 1;
        answer.Seal(current - ((tag >> 2) & 3u));
        if ((tag >> 4) & 1u) m_arrivals.push_back(Bytes{kAckByte});
        m_arrivals.emplace_back(answer.Bytes(), answer.Bytes() + answer.WireSize());
        break;
      }
      case kAnswerRecordSilence: m_arrivals.emplace_back(); break;
      default: m_arrivals.push_back(Bytes{Next()}); break;
    }
    return true;
  }

  const uint8_t* m_data;
  size_t m_size;
  size_t m_position = 0;
  uint32_t m_kind = kLinkKindSerial;
  std::deque<Bytes> m_arrivals;
};

InputLine* g_line = nullptr;

int32_t ReadLine(LinkHandle, uint8_t* buffer, uint32_t length, uint32_t) { return g_line->Read(buffer, length); }
int32_t WriteLine(LinkHandle, const uint8_t*, uint32_t length) { return static_cast<int32_t>(length); }
void CloseLine(LinkHandle) {}
void FlushLine(LinkHandle) {}

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
  // A listing of thousands of modules is cut: the output is kept for the replay tests.
  // The hook gets every character of a listing, so it only stores them; the outcome's
  // text is made once at the end.
  static std::array<char, kMostOutputKept> kept;
  size_t keptLength = 0;
  OutputWriter::InstallHook([&keptLength](char ch) {
    if (ch != '\r' && keptLength < kept.size()) kept[keptLength++] = ch;
  });
  std::vector<uint8_t> memory(1500);
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
  outcome.m_output.assign(kept.data(), keptLength);
  return outcome;
}

AgentAnswerOutcome RunAgentAnswerInput(const uint8_t* data, size_t size) {
  // Every input ends with a session reset, so only the process's first input needs
  // one before it.
  static const bool reset = (ResetDebugSession(), true);
  (void)reset;
  InputLine line(data, size);
  g_line = &line;
  SetLinkTransport(&ReadLine, &WriteLine, &CloseLine, &FlushLine);
  TheAgentLink().Adopt(line.Kind(), 1);
  AgentAnswerOutcome outcome = RunAgentRequestSequence();
  g_line = nullptr;
  ResetDebugSession();
  return outcome;
}

}  // namespace zentor::fuzzing
