// The link against the stand-in agent, over UDP and over a serial line (a
// pseudo-terminal; under Wine the COM1 port mapped onto it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "harness/agent_process.h"
#include "harness/transcript.h"
#include "scripted_line.h"
#include "target/agent_events.h"
#include "target/agent_link.h"
#include "target/agent_requests.h"
#include "target/server_listings.h"

namespace zentor {
namespace {

using testing_support::AgentProcess;

constexpr uint32_t kSampleDataBase = 0x00410000;
constexpr uint32_t kScratchMemory = 0x00500000;

using testing_support::CapturedOutput;

std::string AllListings() {
  const std::pair<const char*, void (*)()> listings[] = {
      {"ListAllProcesses", &ListAllProcesses},   {"ListRunningProcesses", &ListRunningProcesses},
      {"ListWaitingProcesses", &ListWaitingProcesses}, {"ListServerModules", &ListServerModules},
      {"ListScreens", &ListScreens},
  };
  std::string text;
  for (const auto& [name, listing] : listings) text += std::string("== ") + name + "\n" + CapturedOutput(listing);
  return text;
}

enum class LineKind { Udp, Serial };

class StandInAgentTest : public ::testing::TestWithParam<LineKind> {
 protected:
  void SetUp() override { testing_support::ResetLinkState(); }
  void TearDown() override {
    CloseLink();
    testing_support::ResetLinkState();
    m_agent.Stop();
  }

  // Starts the agent with the arguments and opens the line of the test's kind to it.
  void Connect(std::vector<std::string> arguments) {
    const bool serial = GetParam() == LineKind::Serial;
#ifdef _WIN32
    const char* com1 = std::getenv("ZENTOR_AGENT_COM1_LINK");
    if (serial && (com1 == nullptr || *com1 == '\0')) {
      GTEST_SKIP() << "COM1 is not mapped onto the agent's line: run the tests through scripts/test";
    }
    if (serial) arguments.insert(arguments.end(), {"--pty-link", com1});
#else
    if (serial) arguments.push_back("--pty");
#endif
    std::string error;
    if (testing_support::AgentProgramPath().empty()) {
      GTEST_SKIP() << "the stand-in agent is not built here: scripts/test sets ZENTOR_AGENT";
    }
    ASSERT_TRUE(m_agent.Start(arguments, &error)) << error;
    if (serial) {
#ifndef _WIN32
      setenv("ZENTOR_COM1", m_agent.PtyPath().c_str(), 1);
#endif
      ASSERT_NE(OpenLink(kLinkKindSerial, "COM1", 57600), kNoLinkHandle);
    } else {
      ASSERT_NE(OpenLink(kLinkKindUdp, m_agent.UdpLinkName().c_str(), 0), kNoLinkHandle);
    }
    ASSERT_EQ(AgentHello(), 0u) << TheAgentLink().RecentPacketsText();
  }

  std::vector<std::string> SampleModule() const { return {"--module", testing_support::SampleModuleManifest()}; }

  AgentProcess m_agent;
};

#define CONNECT_OR_RETURN(arguments)               \
  do {                                             \
    Connect(arguments);                            \
    if (IsSkipped() || HasFatalFailure()) return;  \
  } while (false)

TEST_P(StandInAgentTest, MemoryAndEveryRegisterGroupMaskRoundTrip) {
  CONNECT_OR_RETURN(SampleModule());
  EXPECT_TRUE(AgentHasFloatingPoint());
  EXPECT_EQ(AgentSelectProcessor(1), 0u);

  // The sample module's initialised array, as the image put it.
  uint8_t values[64];
  uint16_t got = 0;
  ASSERT_EQ(AgentReadMemory(0, sizeof values, kSampleDataBase, &got, values), 0u);
  ASSERT_EQ(got, sizeof values);
  const uint32_t expected[16] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(value_bytes::LoadU32(values + 4 * i), expected[i]);

  const uint32_t seed = 1402;
  std::mt19937 random(seed);
  std::vector<uint8_t> written(3000);
  for (uint8_t& byte : written) byte = static_cast<uint8_t>(random());
  ASSERT_EQ(AgentWriteMemory(0, 3000, kScratchMemory + 3, written.data()), 0u);
  std::vector<uint8_t> read(3000);
  ASSERT_EQ(AgentReadMemory(0, 3000, kScratchMemory + 3, &got, read.data()), 0u);
  EXPECT_EQ(read, written) << "seed " << seed;

  for (uint16_t mask = 1; mask <= kRegisterGroupMaskAll; ++mask) {
    SCOPED_TRACE("mask " + std::to_string(mask) + " seed " + std::to_string(seed));
    RegisterBlock out;
    out.SetMask(mask);
    for (uint32_t i = RegisterBlock::kMaskSize; i < RegisterBlock::kSize; ++i) out.Bytes()[i] = static_cast<uint8_t>(random());
    // The floating-point image must be one the unit can hold: 16-bit control, status
    // and selector words, an 11-bit opcode, eight valid numbers (explicit integer bit)
    // and the tag word that says so.
    uint8_t* fpu = out.Group(3);
    for (int word : {0, 1, 2, 6}) value_bytes::StoreU32(fpu + 4 * word, value_bytes::LoadU32(fpu + 4 * word) & 0xFFFF);
    value_bytes::StoreU32(fpu + 8, 0);
    value_bytes::StoreU32(fpu + 16, value_bytes::LoadU32(fpu + 16) & 0x07FFFFFF);
    for (int st = 0; st < 8; ++st) {
      uint8_t* value = fpu + 28 + 10 * st;
      value[7] |= 0x80;
      value[8] = static_cast<uint8_t>(value[8] | 1);
      value[9] &= 0xBF;
    }
    out.Group(0)[8] |= 0x02;  // bit 1 of eflags is always set
    ASSERT_EQ(AgentWriteRegisters(0, &out), 0u);
    RegisterBlock in;
    in.SetMask(mask);
    ASSERT_EQ(AgentReadRegisters(0, &in), 0u);
    for (uint32_t bit = 0; bit < kRegisterGroupCount; ++bit) {
      if (((mask >> bit) & 1u) == 0) continue;
      const std::vector<uint8_t> a(out.Group(bit), out.Group(bit) + kRegisterGroupSizes[bit]);
      const std::vector<uint8_t> b(in.Group(bit), in.Group(bit) + kRegisterGroupSizes[bit]);
      EXPECT_EQ(a, b) << "group " << bit;
    }
  }
}

// The server's own tables only: the sample module's lengths are the compiler's.
TEST_P(StandInAgentTest, ListingsMatchTheServer) {
  CONNECT_OR_RETURN(std::vector<std::string>{});
  EXPECT_TRUE(testing_support::MatchesGolden(std::string(ZENTOR_TEST_DATA_DIR) + "/target/server_listings.txt",
                                             AllListings()));
}

TEST_P(StandInAgentTest, ModuleListOfThreeHundredComesInParts) {
  std::vector<std::string> arguments = SampleModule();
  arguments.insert(arguments.end(), {"--extra-modules", "296", "--list-part", "100"});
  CONNECT_OR_RETURN(arguments);
  AgentList list;
  uint32_t count = 0;
  ASSERT_EQ(AgentGetList(kAgentListModules, &count, &list), 0u);
  ASSERT_EQ(count, 300u);
  ModuleRecord last;
  ASSERT_EQ(AgentGetModuleInfo(list[299], &last), 0u);
  EXPECT_STREQ(last.m_name, "MOD296.NLM");
  EXPECT_EQ(m_agent.TraceLines("exec seq=").size(), 1u + 1 + 3 + 1);  // hello, first part, three more, info
}

// Spoiled answers change nothing the debugger shows. Each fault costs the debugger at
// least the repeats it forces; a machine too busy to answer within the link's wait
// adds repeats of its own, so those are counted as at least so many.
TEST_P(StandInAgentTest, SpoiledAnswersGiveTheSameResults) {
  struct Case {
    const char* name;
    std::vector<std::string> faults;
    const char* tracePrefix;  // lines of the agent's trace to count
    size_t traceLines;
    bool orMore;  // repeats forced by the fault: a busy machine may add more
  };
  const Case cases[] = {
      {"damage the first 3 answers", {"--damage", "1-3"}, "nak", 3, false},
      {"drop two answers", {"--drop", "2,5"}, "duplicate", 2, true},
      {"answer late", {"--late", "4"}, "duplicate", 1, true},
      {"answer twice", {"--duplicate", "1-6"}, "fault", 6, false},
      {"stale sequence numbers", {"--stale", "2,3"}, "duplicate", 2, true},
      {"ACK before every answer", {"--ack-first"}, "fault", 0, false},
      // The header comes whole (a short one is a broken line), the rest in pieces the
      // debugger puts together. A pause that a busy machine stretches towards the
      // read's 33 ms interval makes the agent drop the rest of that answer, which the
      // debugger refuses with NAK and gets again.
      {"serial writes in pieces", {"--split-writes", "14:3"}, "fault", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CONNECT_OR_RETURN(c.faults);
    EXPECT_TRUE(testing_support::MatchesGolden(std::string(ZENTOR_TEST_DATA_DIR) + "/target/server_listings.txt",
                                               AllListings()));
    if (c.orMore) {
      EXPECT_GE(m_agent.TraceLines(c.tracePrefix).size(), c.traceLines);
    } else {
      EXPECT_EQ(m_agent.TraceLines(c.tracePrefix).size(), c.traceLines);
    }
    CloseLink();
    testing_support::ResetLinkState();
    m_agent.Stop();
  }
}

TEST_P(StandInAgentTest, BreakpointSlotsAreKeptByIndexAndRow) {
  CONNECT_OR_RETURN(SampleModule());
  const std::string printed = CapturedOutput([] {
    EXPECT_EQ(AgentSetBreakpoint(67, 0, 0x00400010), 0u);
    EXPECT_EQ(AgentSetBreakpoint(3, 0, 0x00400010), 0u);
    EXPECT_EQ(AgentSetBreakpoint(68, 0, 0x00400010), 0x4005u);
    EXPECT_EQ(AgentSetBreakpoint(4, 0, 0x7FF00000), 0x4003u);
    EXPECT_EQ(AgentRemoveBreakpoint(5), 0u) << "an index that is not set is cleared quietly";
    EXPECT_EQ(AgentSetDebugBreakpoint(3, 0, kSampleDataBase, 3, 1), 0u);
    EXPECT_EQ(AgentSetDebugBreakpoint(4, 0, kSampleDataBase, 3, 1), 0x4005u);
  });
  EXPECT_EQ(printed, "NetWare Server Error: Invalid breakpoint\nNetWare Server Error: Invalid address\n"
                     "NetWare Server Error: Invalid breakpoint\n");

  // Memory shows the code as it was; the row is in DR3 and DR7.
  uint8_t code[1] = {};
  uint16_t got = 0;
  ASSERT_EQ(AgentReadMemory(0, 1, 0x00400010, &got, code), 0u);
  EXPECT_NE(code[0], 0xCC);
  RegisterBlock block;
  block.SetMask(0x10);
  ASSERT_EQ(AgentReadRegisters(0, &block), 0u);
  EXPECT_EQ(value_bytes::LoadU32(block.Group(4) + 12), kSampleDataBase);
  EXPECT_EQ(value_bytes::LoadU32(block.Group(4) + 20) & 0xFF0000C0u, 0xD0000040u);
  EXPECT_EQ(AgentRemoveDebugBreakpoint(3), 0u);
  ASSERT_EQ(AgentReadRegisters(0, &block), 0u);
  EXPECT_EQ(value_bytes::LoadU32(block.Group(4) + 20) & 0xFF0000C0u, 0u);
}

// Asks for events until one comes (the agent stays silent while none is pending).
// Each unanswered ask costs the link's wait of 200 ms: 300 of them are a minute.
uint32_t WaitForEvent(AgentEventRecord* record) {
  uint8_t flag = 0;
  for (int i = 0; i < 300; ++i) {
    const uint32_t status = AgentGetEvent(&flag, record);
    if (status != kLinkFailureStatus) return status;
  }
  return kLinkFailureStatus;
}

TEST_P(StandInAgentTest, ModuleLoadsAndProcessorStopsComeAsEvents) {
  const std::string manifest = testing_support::SampleModuleManifest();
  CONNECT_OR_RETURN(
      (std::vector<std::string>{"--module-dir", manifest.substr(0, manifest.find_last_of('/'))}));
  AgentEventRecord record;
  uint8_t flag = 0;
  const uint32_t sequence = TheAgentLink().NextSequence();
  EXPECT_EQ(AgentGetEvent(&flag, &record), kLinkFailureStatus) << "nothing pending: no answer";
  EXPECT_EQ(TheAgentLink().NextSequence(), sequence);

  ASSERT_EQ(AgentLoadModule("SAMPLE.NLM 1 2"), 0u);
  ASSERT_EQ(WaitForEvent(&record), 0u);
  EXPECT_EQ(record.m_code, kAgentEventModuleLoaded);
  EXPECT_STREQ(record.m_name, "SAMPLE.NLM");
  EXPECT_EQ(record.CodeBase(), 0x00400000u);
  EXPECT_EQ(record.DataBase(), kSampleDataBase);
  const uint32_t entry = record.StartAddress();

  // One step: the debug trap at the next instruction. Then go: the module's int3.
  ASSERT_EQ(AgentSingleStep(1), 0u);
  ASSERT_EQ(WaitForEvent(&record), 0u);
  EXPECT_EQ(record.ExceptionNumber(), kAgentExceptionDebugTrap);
  EXPECT_GT(record.ExceptionAddress(), entry);
  ASSERT_EQ(AgentGo(0), 0u);
  EXPECT_TRUE(AgentTargetRunning());
  ASSERT_EQ(WaitForEvent(&record), 0u);
  EXPECT_FALSE(AgentTargetRunning());
  EXPECT_EQ(record.ExceptionNumber(), kAgentExceptionBreakpoint);
  uint8_t code[1] = {};
  uint16_t got = 0;
  ASSERT_EQ(AgentReadMemory(0, 1, record.ExceptionAddress(), &got, code), 0u);
  EXPECT_EQ(code[0], 0xCC);

  ASSERT_EQ(AgentUnloadModule("SAMPLE"), 0u);
  ASSERT_EQ(WaitForEvent(&record), 0u);
  EXPECT_EQ(record.m_code, kAgentEventModuleUnloaded);
}

INSTANTIATE_TEST_SUITE_P(Lines, StandInAgentTest, ::testing::Values(LineKind::Udp, LineKind::Serial),
                         [](const ::testing::TestParamInfo<LineKind>& info) {
                           return info.param == LineKind::Udp ? "Udp" : "Serial";
                         });

}  // namespace
}  // namespace zentor
