#include "target/memory_read_cache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "scripted_line.h"
#include "target/agent_events.h"
#include "target/agent_requests.h"
#include "target/target_state.h"

namespace zentor {
namespace {

using testing_support::AnswerBytes;
using testing_support::Bytes;
using testing_support::ScriptedLine;

constexpr uint32_t kBase = 0x10000;
// Not a whole number of blocks: the last block is only partly readable.
constexpr uint32_t kImageSize = 0x1A10;

// An in-process agent over a byte image at kBase: a read with a byte outside it is
// refused (or, with short answers, answered up to the image's end); a write lands in
// it (or is refused outside it); every other request that changes the target changes the byte at kBase + 0x60,
// as a thread that ran would. Each read request is logged as (address, count).
class ImageAgent {
 public:
  explicit ImageAgent(bool shortAnswers = false, uint32_t kind = kLinkKindUdp)
      : m_line(kind), m_shortAnswers(shortAnswers) {
    for (uint32_t i = 0; i < kImageSize; ++i) m_image[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    m_line.Respond([this](const AgentPacket& request) { Answer(request); });
  }

  std::vector<std::pair<uint32_t, uint32_t>> m_reads;
  std::vector<uint8_t> m_image = std::vector<uint8_t>(kImageSize);

 private:
  void Answer(const AgentPacket& request) {
    const uint8_t* payload = request.Payload();
    Bytes answer;
    uint32_t status = 0;
    switch (request.Code()) {
      case kAgentCommandReadMemory: {
        const uint32_t address = value_bytes::LoadU32(payload + 4);
        const uint32_t count = value_bytes::LoadU16(payload + 8);
        m_reads.emplace_back(address, count);
        const uint64_t end = uint64_t{address} + count;
        if (address < kBase || (end > kBase + kImageSize && (!m_shortAnswers || address >= kBase + kImageSize))) {
          status = kServerInvalidAddress;
        } else {
          const uint64_t readable = std::min<uint64_t>(end, kBase + kImageSize);
          answer.assign(m_image.begin() + (address - kBase), m_image.begin() + (readable - kBase));
        }
        break;
      }
      case kAgentCommandWriteMemory: {
        const uint32_t address = value_bytes::LoadU32(payload + 4);
        const uint32_t count = value_bytes::LoadU16(payload + 8);
        if (address < kBase || uint64_t{address} + count > kBase + kImageSize) {
          status = kServerInvalidAddress;
        } else {
          std::memcpy(m_image.data() + (address - kBase), payload + 10, count);
        }
        break;
      }
      case kAgentCommandReadRegisters:
        answer.assign(RegisterGroupsWireSize(value_bytes::LoadU16(payload + 4)), 0);
        break;
      case kAgentCommandListFirst: answer = {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}; break;
      case kAgentCommandModuleInfo: answer.assign(kModuleRecordSize, 0); break;
      case kAgentCommandQueryByte: answer = {1}; break;
      case kAgentCommandGetEvent: answer = {0xE2, 0x03, 1, 0, 0, 0, 0, 0}; break;  // 994: nothing to act on
      default: ++m_image[0x60]; break;
    }
    m_line.Arrive(AnswerBytes(request.Sequence(), status, answer));
  }

  ScriptedLine m_line;
  bool m_shortAnswers;
};

struct ReadResult {
  bool ok = false;
  uint32_t count = 0;
  Bytes bytes;
  bool operator==(const ReadResult& other) const = default;
};

ReadResult Read(uint32_t address, uint32_t length) {
  ReadResult result;
  result.bytes.assign(length, 0xEE);
  result.ok = TgtReadMemory(0, address, result.bytes.data(), length, &result.count);
  result.bytes.resize(result.ok ? result.count : 0);
  return result;
}

Bytes ImageBytes(const ImageAgent& agent, uint32_t address, uint32_t length) {
  return Bytes(agent.m_image.begin() + (address - kBase), agent.m_image.begin() + (address - kBase + length));
}

using Requests = std::vector<std::pair<uint32_t, uint32_t>>;

// One stop's reads in order, each with the read requests it sends: a block is asked
// for once, around the first bytes wanted from it, and later reads of it cost nothing.
TEST(MemoryReadCacheTest, ReadsAskForWholeBlocksOnceAStop) {
  struct Case {
    const char* name;
    uint32_t address;
    uint32_t length;
    Requests sent;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"a small read brings its block", 0x10060, 4, {{0x10000, 1024}}, true},
      {"bytes of a held block cost nothing", 0x103FC, 4, {}, true},
      {"a read across a block end asks only for the next block", 0x103FE, 4, {{0x10400, 1024}}, true},
      {"a long read asks only for its missing block", 0x10200, 0x900, {{0x10800, 1024}}, true},
      {"three missing blocks come in three requests", 0x10C10, 0xA00, {{0x10C00, 1024}, {0x11000, 1024}, {0x11400, 1024}}, true},
      {"a block the agent refuses gives way to the exact read", 0x11900, 0x100, {{0x11800, 1024}, {0x11900, 0x100}}, true},
      {"the exact read's bytes are kept", 0x11980, 0x10, {}, true},
      {"unreadable bytes fail as the exact read fails", 0x11A00, 0x20, {{0x11A00, 0x200}, {0x11A00, 0x20}}, false},
      {"held bytes stay held after a failed read", 0x10000, 0x1A00, {{0x11800, 0x100}}, true},
  };
  ImageAgent agent;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    agent.m_reads.clear();
    const ReadResult result = Read(c.address, c.length);
    EXPECT_EQ(agent.m_reads, c.sent);
    ASSERT_EQ(result.ok, c.ok);
    if (c.ok) EXPECT_EQ(result.bytes, ImageBytes(agent, c.address, c.length));
  }
}

// Random reads and writes, the same with the cache and without it, against an agent
// that refuses a read past the image and one that answers it short, over UDP and a
// serial line: every read gives the same result, bytes and count.
TEST(MemoryReadCacheTest, ResultsAreThoseOfTheReadsAsAsked) {
  constexpr uint32_t kSeed = 4321;
  struct Line {
    const char* name;
    uint32_t kind;
    bool shortAnswers;
  };
  for (const Line& line : {Line{"UDP, refusals", kLinkKindUdp, false}, Line{"UDP, short answers", kLinkKindUdp, true},
                           Line{"serial, refusals", kLinkKindSerial, false},
                           Line{"serial, short answers", kLinkKindSerial, true}}) {
    SCOPED_TRACE(line.name);
    const uint32_t kind = line.kind;
    std::vector<ReadResult> results[2];
    size_t requests[2] = {};
    for (const bool cached : {false, true}) {
      ImageAgent agent(line.shortAnswers, kind);
      TheMemoryReadCache().SetEnabled(cached);
      std::mt19937 random(kSeed);
      for (int step = 0; step < 3000; ++step) {
        // Mostly inside the image, some reads across its ends.
        const uint32_t address = kBase - 0x80 + random() % (kImageSize + 0x100);
        if (random() % 100 == 0) {
          const uint8_t byte = static_cast<uint8_t>(random());
          ASSERT_EQ(TgtWriteMemory(0, address, &byte, 1), address >= kBase && address < kBase + kImageSize);
          continue;
        }
        results[cached].push_back(Read(address, 1 + random() % (random() % 8 == 0 ? 3000 : 16)));
      }
      requests[cached] = agent.m_reads.size();
    }
    ASSERT_EQ(results[0].size(), results[1].size());
    for (size_t i = 0; i < results[0].size(); ++i) {
      ASSERT_EQ(results[1][i], results[0][i]) << "read " << i << " (seed " << kSeed << ")";
    }
    // Over UDP whole blocks are read ahead; a serial line reads only what is missing.
    EXPECT_LT(requests[1] * (kind == kLinkKindUdp ? 2 : 1), requests[0])
        << "the cache saves requests: " << requests[1] << " of " << requests[0];
  }
}

// Between two reads of the same bytes: a request that leaves the target as it was
// keeps the bytes; any other sends the second read to the agent, which shows the
// bytes as they are now.
TEST(MemoryReadCacheTest, OnlyReadsKeepWhatWasRead) {
  struct Case {
    const char* name;
    std::function<void()> between;
    bool readAgain;
  };
  const uint8_t byte = 0x42;
  RegisterBlock registers;
  registers.SetMask(1);
  const std::vector<Case> cases = {
      {"another read", [] { Read(0x10800, 8); }, false},
      {"a register read", [&] { AgentReadRegisters(0, &registers); }, false},
      {"a list", [] {
         uint32_t count = 0;
         AgentList list;
         AgentGetList(kAgentListModules, &count, &list);
       }, false},
      {"a module's record", [] {
         ModuleRecord record;
         AgentGetModuleInfo(1, &record);
       }, false},
      {"a query", [] {
         uint8_t answer = 0;
         AgentQueryByte(1, &answer);
       }, false},
      {"a memory write", [&] { TgtWriteMemory(0, kBase + 0x60, &byte, 1); }, true},
      {"a register write", [&] { AgentWriteRegisters(0, &registers); }, true},
      {"a go", [] { AgentGo(0); }, true},
      {"a step", [] { AgentSingleStep(1); }, true},
      {"an event", [] {
         uint8_t flag = 0;
         AgentEventRecord record;
         AgentGetEvent(&flag, &record);
       }, true},
      {"a breakpoint set", [] { AgentSetBreakpoint(1, 0, kBase); }, true},
      {"a breakpoint cleared", [] { AgentRemoveBreakpoint(1); }, true},
      {"a debug register set", [] { AgentSetDebugBreakpoint(0, 0, kBase, 4, 1); }, true},
      {"a module load", [] { AgentLoadModule("SAMPLE.NLM"); }, true},
      {"a module unload", [] { AgentUnloadModule("SAMPLE.NLM"); }, true},
      {"a processor selected", [] { AgentSelectProcessor(1); }, true},
      {"a new session", [] { AgentHello(); }, true},
      {"the link's state reset", [] { ResetAgentRequests(); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageAgent agent;
    ASSERT_EQ(Read(kBase + 0x60, 4).bytes, ImageBytes(agent, kBase + 0x60, 4));
    testing_support::CapturedOutput(c.between);
    SetAgentTargetRunning(false);
    agent.m_reads.clear();
    EXPECT_EQ(Read(kBase + 0x60, 4).bytes, ImageBytes(agent, kBase + 0x60, 4)) << "nothing stale";
    EXPECT_EQ(agent.m_reads, c.readAgain ? Requests({{kBase, 1024}}) : Requests());
  }
}

// Over a serial line bytes cost more than requests: only the bytes asked for and not
// held are read, and the bytes held still answer.
TEST(MemoryReadCacheTest, ASerialLineReadsOnlyWhatIsMissing) {
  ImageAgent agent(false, kLinkKindSerial);
  struct Case {
    uint32_t address;
    uint32_t length;
    Requests sent;
  };
  for (const Case& c : std::vector<Case>{{0x10060, 4, {{0x10060, 4}}},
                                          {0x10060, 4, {}},
                                          {0x10062, 8, {{0x10064, 6}}},
                                          {0x1005C, 20, {{0x1005C, 4}, {0x1006A, 6}}}}) {
    SCOPED_TRACE(c.address);
    agent.m_reads.clear();
    EXPECT_EQ(Read(c.address, c.length).bytes, ImageBytes(agent, c.address, c.length));
    EXPECT_EQ(agent.m_reads, c.sent);
  }
}

// While the target runs every read goes to the agent and nothing is kept for after.
TEST(MemoryReadCacheTest, NothingIsHeldWhileTheTargetRuns) {
  ImageAgent agent;
  Read(kBase, 4);
  SetAgentTargetRunning(true);
  agent.m_reads.clear();
  Read(kBase, 4);
  Read(kBase, 4);
  EXPECT_EQ(agent.m_reads, (Requests{{kBase, 4}, {kBase, 4}}));
  SetAgentTargetRunning(false);
  Read(kBase, 4);
  EXPECT_EQ(agent.m_reads.size(), 3u) << "the stop is read afresh";
  EXPECT_EQ(TheMemoryReadCache().HeldBytes(), 1024u);
}

}  // namespace
}  // namespace zentor
