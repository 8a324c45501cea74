#include "target/agent_requests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/dv_error.h"
#include "scripted_line.h"
#include "target/agent_events.h"
#include "target/server_listings.h"

namespace zentor {
namespace {

using testing_support::AnswerBytes;
using testing_support::Bytes;
using testing_support::ScriptedLine;

// An in-process agent: every request written is answered at once by `answer`, which
// sees the request and gives status and payload.
struct FakeAgent {
  explicit FakeAgent(std::function<std::pair<uint32_t, Bytes>(const AgentPacket&)> answer)
      : line(kLinkKindUdp) {
    line.Respond([this, answer](const AgentPacket& request) {
      requests.push_back(Bytes(request.Payload(), request.Payload() + request.Length()));
      commands.push_back(request.Code());
      const auto [status, payload] = answer(request);
      line.Arrive(AnswerBytes(request.Sequence(), status, payload));
    });
  }
  ScriptedLine line;
  std::vector<Bytes> requests;
  std::vector<uint32_t> commands;
};

Bytes Words(std::initializer_list<uint32_t> words) {
  Bytes bytes;
  for (uint32_t word : words) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
  }
  return bytes;
}

using testing_support::CapturedOutput;

TEST(AgentRequestsTest, ListsAreAssembledFromTheirParts) {
  struct Case {
    const char* name;
    std::vector<Bytes> parts;  // answers to the first request and its continuations
    uint32_t status;
    uint32_t count;
    const char* printed;
  };
  const Case cases[] = {
      {"empty list", {Words({0xFFFFFFFF})}, 0, 0, ""},
      {"one part", {Words({7, 8, 0xFFFFFFFF})}, 0, 2, ""},
      {"three parts", {Words({1, 2}), Words({3}), Words({4, 0xFFFFFFFF})}, 0, 4, ""},
      {"a part of broken identifiers", {Words({1}), Bytes{1, 2, 3}}, 0x4002, 0,
       "NetWare Server Error: Parameter size error\n"},
      {"a part that adds nothing", {Words({1}), Bytes{}}, 0x400B, 0, "NetWare Server Error: Response too big\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    size_t next = 0;
    FakeAgent agent([&](const AgentPacket&) { return std::make_pair(0u, c.parts[next++]); });
    AgentList list;
    uint32_t count = 99;
    uint32_t status = 0;
    EXPECT_EQ(CapturedOutput([&] { status = AgentGetList(kAgentListModules, &count, &list); }), c.printed);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(list.Count(), c.count);
    for (uint32_t i = 0; i < c.count; ++i) EXPECT_EQ(list[i], c.parts.size() == 1 ? 7 + i : 1 + i);
    ASSERT_EQ(agent.commands.size(), next);
    for (size_t i = 0; i < next; ++i) EXPECT_EQ(agent.commands[i], i == 0 ? 0x11u : 0x12u);
  }
}

TEST(AgentRequestsTest, ListWithoutTerminatorEndsAtTheSixteenBitLimit) {
  FakeAgent agent([](const AgentPacket&) {
    Bytes part;
    for (int i = 0; i < 256; ++i) part.insert(part.end(), {1, 0, 0, 0});
    return std::make_pair(0u, part);
  });
  AgentList list;
  uint32_t count = 0;
  uint32_t status = 0;
  CapturedOutput([&] { status = AgentGetList(kAgentListScreens, &count, &list); });
  EXPECT_EQ(status, 0x400Bu);
  EXPECT_EQ(list.Held(), 0u);
  EXPECT_LE(agent.commands.size(), 65u);
}

TEST(AgentRequestsTest, FailedContinuationFreesTheList) {
  int calls = 0;
  FakeAgent agent([&](const AgentPacket&) {
    return ++calls == 1 ? std::make_pair(0u, Words({5, 6})) : std::make_pair(0x4006u, Bytes{});
  });
  AgentList list;
  uint32_t count = 0;
  uint32_t status = 0;
  // The continuation's refusal is returned without printing.
  EXPECT_EQ(CapturedOutput([&] { status = AgentGetList(kAgentListScreens, &count, &list); }), "");
  EXPECT_EQ(status, 0x4006u);
  EXPECT_EQ(list.Held(), 0u);
}

TEST(AgentRequestsTest, MemoryGoesInPiecesAndAnswersAreCutToWhatWasAsked) {
  // The agent answers every read with two bytes more than asked, where they fit.
  FakeAgent agent([](const AgentPacket& request) {
    const uint32_t address = value_bytes::LoadU32(request.Payload() + 4);
    if (request.Code() == kAgentCommandWriteMemory) return std::make_pair(0u, Bytes{});
    const uint16_t count = value_bytes::LoadU16(request.Payload() + 8);
    Bytes bytes(std::min(count + 2u, 1024u));
    for (uint32_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(address + i);
    return std::make_pair(0u, bytes);
  });
  std::vector<uint8_t> buffer(3000 + 16, 0xEE);
  uint16_t got = 0;
  EXPECT_EQ(AgentReadMemory(0, 3000, 0x1000, &got, buffer.data()), 0u);
  EXPECT_EQ(got, 3000);
  for (uint32_t i = 0; i < 3000; ++i) ASSERT_EQ(buffer[i], static_cast<uint8_t>(0x1000 + i)) << i;
  EXPECT_EQ(buffer[3000], 0xEE) << "nothing beyond the count asked";
  ASSERT_EQ(agent.requests.size(), 3u);
  EXPECT_EQ(agent.requests[2], (Bytes{0, 0, 0, 0, 0x00, 0x18, 0, 0, 0xB8, 0x03}));

  agent.requests.clear();
  std::vector<uint8_t> bytes(2500, 0x5A);
  EXPECT_EQ(AgentWriteMemory(0, 2500, 0x2000, bytes.data()), 0u);
  ASSERT_EQ(agent.requests.size(), 3u);
  EXPECT_EQ(agent.requests[0].size(), 1024u);
  EXPECT_EQ(agent.requests[2].size(), 10u + 2500 - 2 * 1014);
  EXPECT_EQ(value_bytes::LoadU32(agent.requests[1].data() + 4), 0x2000u + 1014);
}

TEST(AgentRequestsTest, ShortReadEndsTheRead) {
  FakeAgent agent([](const AgentPacket&) { return std::make_pair(0u, Bytes(100, 1)); });
  std::vector<uint8_t> buffer(2048);
  uint16_t got = 0;
  EXPECT_EQ(AgentReadMemory(0, 2048, 0, &got, buffer.data()), 0u);
  EXPECT_EQ(got, 100);
  EXPECT_EQ(agent.requests.size(), 1u);
}

// Records of the wrong size are refused before anything is copied; texts that fill
// their field are cut so that they end inside it.
TEST(AgentRequestsTest, RecordsAreCheckedAndTerminated) {
  Bytes answer(kProcessRecordSize, 'A');
  FakeAgent agent([&](const AgentPacket&) { return std::make_pair(0u, answer); });
  ProcessRecord process;
  EXPECT_EQ(AgentGetProcessInfo(5, &process), 0u);
  EXPECT_EQ(std::string(process.m_name), std::string(kProcessNameSize - 1, 'A'));

  answer.resize(kProcessRecordSize + 4, 'B');
  ProcessRecord untouched;
  std::strcpy(untouched.m_name, "before");
  EXPECT_THROW(AgentGetProcessInfo(5, &untouched), DVError);
  EXPECT_STREQ(untouched.m_name, "before");

  answer.assign(kModuleRecordSize - 1, 0);
  ModuleRecord module;
  EXPECT_THROW(AgentGetModuleInfo(1, &module), DVError);
}

// A refused record still shows its entry (after the server's error); a link that dies
// in the middle ends the listing after one entry's twenty sends, not twenty per entry.
TEST(AgentRequestsTest, ListingStopsWhereTheLinkFails) {
  ScriptedLine line(kLinkKindUdp);
  std::vector<uint32_t> asked;  // the module of each information request
  line.Respond([&](const AgentPacket& request) {
    Bytes payload;
    uint32_t status = 0;
    if (request.Code() == kAgentCommandListFirst) {
      payload = Words({1, 2, 3, 4, 0xFFFFFFFF});
    } else {
      const uint32_t module = value_bytes::LoadU32(request.Payload());
      asked.push_back(module);
      if (module == 3) return;  // the line has gone dead
      if (module == 2) {
        status = 0x4006;
      } else {
        payload.assign(kModuleRecordSize, 0);
        std::memcpy(payload.data(), "FIRST.NLM", 9);
      }
    }
    line.Arrive(AnswerBytes(request.Sequence(), status, payload));
  });
  const std::string printed = CapturedOutput(ListServerModules);
  EXPECT_EQ(printed.find("FIRST.NLM"), 0u);
  EXPECT_EQ(printed.rfind("FIRST.NLM"), 0u) << "module 4 is never shown";
  EXPECT_NE(printed.find("NetWare Server Error"), std::string::npos) << printed;
  EXPECT_NE(printed.find("  Version", printed.find("Server Error")), std::string::npos) << "the refused entry shows empty";
  EXPECT_EQ(std::count(asked.begin(), asked.end(), 3u), 20);
  EXPECT_EQ(std::count(asked.begin(), asked.end(), 4u), 0);
  EXPECT_EQ(printed.back(), '\n');
}

TEST(AgentRequestsTest, RegisterGroupsTravelInBitOrderAndSitInBlockOrder) {
  FakeAgent agent([](const AgentPacket& request) {
    if (request.Code() == kAgentCommandWriteRegisters) return std::make_pair(0u, Bytes{});
    // Groups 5 and 6 (16 and 40 bytes), filled with their bit number.
    Bytes groups(16, 5);
    groups.insert(groups.end(), 40, 6);
    return std::make_pair(0u, groups);
  });
  RegisterBlock block;
  block.SetMask(0x60);
  EXPECT_EQ(AgentReadRegisters(0, &block), 0u);
  EXPECT_EQ(RegisterBlock::GroupOffset(6), 2u + 16 + 24 + 24 + 112 + 24);
  EXPECT_EQ(RegisterBlock::GroupOffset(5), RegisterBlock::GroupOffset(6) + 40);
  EXPECT_EQ(block.Group(6)[39], 6);
  EXPECT_EQ(block.Group(5)[0], 5);
  EXPECT_EQ(block.Group(4)[0], 0) << "groups not asked for are left alone";

  block.SetMask(0);
  EXPECT_EQ(AgentWriteRegisters(0, &block), 0u);
  EXPECT_EQ(agent.requests.back().size(), 6u);
  block.SetMask(0x21);
  EXPECT_EQ(AgentWriteRegisters(0, &block), 0u);
  ASSERT_EQ(agent.requests.back().size(), 6u + 16 + 16);
  EXPECT_EQ(agent.requests.back()[6 + 16], 5) << "group 5 follows group 0 on the wire";
}

TEST(AgentRequestsTest, StatusTextsAndTheHelloFlag) {
  struct Case {
    const char* name;
    uint32_t status;
    Bytes payload;
    bool floatingPoint;
    const char* printed;
  };
  const Case cases[] = {
      {"no unit", 0, {1, 2, 0}, false, ""},
      {"unit", 0, {1, 3, 1}, true, ""},
      {"old agent says nothing", 0, {1, 1, 0}, true, ""},
      {"short answer", 0, {1, 2}, true, ""},
      {"refused", 0x4001, {1, 2, 0}, true, "NetWare Server Error: Unknown command\n"},
      {"unknown status", 0x4007, {}, true, "NetWare Server Error: Unknown error code\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeAgent agent([&](const AgentPacket&) { return std::make_pair(c.status, c.payload); });
    uint32_t status = 0;
    EXPECT_EQ(CapturedOutput([&] { status = AgentHello(); }), c.printed);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(AgentHasFloatingPoint(), c.floatingPoint);
  }
  ScriptedLine dead(kLinkKindUdp);
  EXPECT_EQ(CapturedOutput([] { EXPECT_EQ(AgentEnd(), kLinkFailureStatus); }), "") << "a dead link prints nothing";
}

TEST(AgentRequestsTest, ProcessorSelectionWaitsForTheNextEvent) {
  Bytes event = {0xE2, 0x03, 1, 0, 0, 0, 0, 0};  // 994: nothing the pump acts on
  FakeAgent agent([&](const AgentPacket& request) {
    return request.Code() == kAgentCommandGetEvent ? std::make_pair(0u, event) : std::make_pair(0u, Bytes{});
  });
  SetAgentTargetRunning(true);
  EXPECT_EQ(AgentSelectProcessor(0x11), 0xFFFFFFFFu);
  EXPECT_TRUE(agent.commands.empty());
  uint8_t flag = 0;
  AgentEventRecord record;
  EXPECT_EQ(AgentGetEvent(&flag, &record), 0u);
  EXPECT_EQ(flag, 1);
  EXPECT_FALSE(AgentTargetRunning());
  ASSERT_EQ(agent.commands.size(), 2u);
  EXPECT_EQ(agent.commands[1], kAgentCommandSelectProcessor);
  EXPECT_EQ(agent.requests[1], Words({0x11}));
  EXPECT_EQ(PendingProcessorWord(), 0u);
}

TEST(AgentEventsTest, FieldsAreBoundedByThePayload) {
  struct Case {
    const char* name;
    Bytes payload;
    uint16_t code;
    uint32_t word0;
    uint32_t word5;
    const char* text;
  };
  Bytes loaded = {0xE8, 0x03, 0, 0, 0, 0, 0, 0};
  for (uint32_t word : {0x100u, 0x400000u, 3u, 0x410000u, 5u, 0x400031u}) {
    for (int i = 0; i < 4; ++i) loaded.push_back(static_cast<uint8_t>(word >> (8 * i)));
  }
  loaded.insert(loaded.end(), {1, 10});
  const std::string name = "SAMPLE.NLM";
  loaded.insert(loaded.end(), name.begin(), name.end());
  const Bytes cut(loaded.begin(), loaded.end() - 4);
  const Case cases[] = {
      {"module loaded", loaded, 1000, 0x100, 0x400031, "SAMPLE.NLM"},
      {"name cut by the payload", cut, 1000, 0x100, 0x400031, "SAMPLE"},
      {"text longer than said", {0x4A, 0x04, 0, 0, 0, 0, 0, 0, 2, 'h', 'i', 'x'}, 1098, 0, 0, "hi"},
      {"exception without its address", {0x4B, 0x04, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0}, 1099, 3, 0, ""},
      {"header alone", {0xE9, 0x03}, 1001, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AgentEventRecord record;
    DecodeAgentEvent(c.payload.data(), static_cast<uint32_t>(c.payload.size()), &record);
    EXPECT_EQ(record.m_code, c.code);
    EXPECT_EQ(record.m_words[0], c.word0);
    EXPECT_EQ(record.m_words[5], c.word5);
    EXPECT_STREQ(record.m_name, c.text);
  }
}

}  // namespace
}  // namespace zentor
