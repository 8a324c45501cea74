// The target machine interface against the stand-in agent: the connection start-up
// over UDP and over a serial line, registers by row against the emulator's own
// register image (read and written through the agent requests directly, a path that
// bypasses the register model), the register and stack listings, memory through the
// interface, and the breakpoint slots as the agent sees them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "harness/agent_process.h"
#include "harness/stand_in_session.h"
#include "scripted_line.h"
#include "target/agent_link.h"
#include "target/agent_requests.h"
#include "target/breakpoint_slots.h"
#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/register_tables.h"
#include "target/target_state.h"
#include "target/tmi_memory.h"
#include "target/tmi_session.h"
#include "target/tmi_symbol_load.h"
#include "console/output_writer.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"
#include "core/token_record.h"
#include "core/viewpoint_manager.h"
#include "symbols/load_driver.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

using testing_support::AgentProcess;
using testing_support::CapturedOutput;

constexpr uint32_t kThread = 0;
constexpr uint32_t kScratchMemory = 0x00500000;
constexpr uint32_t kRowAh = 25;
constexpr uint32_t kRowZfl = 38;
constexpr uint32_t kRowSt0 = 47;

// The manifest of the source-level sample DEMO, built beside the agent's own sample
// (a Unix path): build/native/tools/samples/demo.mod.
std::string DemoManifest() {
  const std::string directory = testing_support::SampleModulesDirectory();
  return directory.empty() ? "" : directory + "demo.mod";
}

// The value the build wrote after "entry = " in the sample module's manifest.
uint32_t SampleEntry() {
  std::ifstream manifest(testing_support::HostPathOfUnixPath(testing_support::SampleModuleManifest()));
  std::string line;
  while (std::getline(manifest, line)) {
    if (line.rfind("entry = ", 0) == 0) return static_cast<uint32_t>(std::strtoul(line.c_str() + 8, nullptr, 16));
  }
  return 0;
}

uint32_t GroupWord(const RegisterBlock& block, const RegisterField& field) {
  return value_bytes::LoadU32(block.Group(field.m_group) + field.m_offset);
}

// The emulator's registers, read through the agent request alone.
RegisterBlock EmulatorRegisters(uint16_t mask) {
  RegisterBlock block;
  block.SetMask(mask);
  EXPECT_EQ(AgentReadRegisters(kThread, &block), 0u);
  return block;
}

class TargetInterfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetLinkState();
    testing_support::SetOfflineSession(false);
  }

  void TearDown() override {
    TargetStatus status;
    TmiDisconnect(&status, 0);
    testing_support::ResetLinkState();
    ResetTargetState();
    ResetRegisterModel();
    ResetTmiOptions();
    ResetKnownModules();
    // The viewpoint's symbol context (a loaded program) goes with the viewpoint.
    ResetSymbolLoad();
    testing_support::ForgetProgramAndViewpoints();
    testing_support::SetOfflineSession(true);
    m_agent.Stop();
  }

  // Starts the agent with the sample module, then runs the connect sequence with the
  // options `options` names once the agent runs, as start-up does.
  void Connect(std::vector<std::string> agentArguments,
               const std::function<std::vector<std::vector<std::string>>()>& options) {
    if (testing_support::AgentProgramPath().empty()) {
      GTEST_SKIP() << "the stand-in agent is not built here: scripts/test sets ZENTOR_AGENT";
    }
    agentArguments.insert(agentArguments.end(), {"--module", testing_support::SampleModuleManifest()});
    std::string error;
    ASSERT_TRUE(m_agent.Start(agentArguments, &error)) << error;
    TargetStatus status;
    for (const auto& option : options()) {
      const char* slot[] = {option[0].c_str(), option[1].c_str(), nullptr};
      uint32_t result = 0;
      ASSERT_EQ(TmiHandleOption(&status, 0, 0, slot, &result), 0u) << option[0];
    }
    TmiNotify(&status, 0, 3, nullptr);
    ASSERT_TRUE(TheAgentLink().IsOpen());
  }

  void ConnectUdp(std::vector<std::string> agentArguments = {}) {
    Connect(std::move(agentArguments), [this] {
      return std::vector<std::vector<std::string>>{{"-ip", m_agent.UdpLinkName()}};
    });
  }

  AgentProcess m_agent;
};

TEST_F(TargetInterfaceTest, ConnectMakesTheAgentsThreadTheFirstProcessorsViewpoint) {
  OR_RETURN(ConnectUdp());
  EXPECT_EQ(TgtProcessorCount(), 1u);
  EXPECT_EQ(TgtProcessorIdAt(0), 1);
  EXPECT_TRUE(TgtIsKnown(kThread));
  EXPECT_EQ(GetCurrentViewpointValue(), kThread);
  EXPECT_EQ(TgtCurrentContext(), int64_t{kThread});
  char name[80];
  FormatViewpointName(kThread, name, sizeof name, true);
  EXPECT_STREQ(name, "[Processor 0]");
  EXPECT_EQ(TmiProcessorWord(), 1u);
  EXPECT_EQ(m_agent.TraceLines("exec seq=0 command=0x00").size(), 1u) << "one greeting";
  EXPECT_EQ(m_agent.TraceLines("exec seq=1 command=0x19").size(), 1u) << "then the processor word";

  TargetStatus status;
  TmiDisconnect(&status, 0);
  EXPECT_FALSE(TheAgentLink().IsOpen());
  EXPECT_EQ(m_agent.TraceLines("exec seq=").back().find("command=0x17") != std::string::npos, true)
      << "the session ends with the end request";
}

// "com1" names the serial port COM1: the connect upper-cases the name before it tests
// for "COM" (natively COM1 is $ZENTOR_COM1, under Wine the registry maps it).
TEST_F(TargetInterfaceTest, LowerCasePortNameOpensTheSerialLine) {
  std::vector<std::string> line = {"--no-udp"};
#ifdef _WIN32
  const char* com1 = std::getenv("ZENTOR_AGENT_COM1_LINK");
  if (com1 == nullptr || *com1 == '\0') GTEST_SKIP() << "COM1 is not mapped: run the tests through scripts/test";
  line.insert(line.end(), {"--pty-link", com1});
#else
  line.push_back("--pty");
#endif
  OR_RETURN(Connect(line, [this] {
#ifndef _WIN32
    setenv("ZENTOR_COM1", m_agent.PtyPath().c_str(), 1);
#endif
    return std::vector<std::vector<std::string>>{{"-port", "com1"}, {"-baud", "19200"}};
  }));
  EXPECT_EQ(TmiLinkName(), "COM1");
  EXPECT_EQ(TheAgentLink().Kind(), kLinkKindSerial);
  EXPECT_TRUE(TgtIsKnown(kThread));
}

// Every general row read through the model equals the bytes of the emulator's register
// image at the row's place; written rows reach the emulator, and only their bytes.
TEST_F(TargetInterfaceTest, RegisterRowsReadAndWriteTheEmulatorsRegisters) {
  OR_RETURN(ConnectUdp());
  RegisterBlock seeded = EmulatorRegisters(0x7);
  uint32_t value = 0x11223344;
  for (uint32_t offset = 0; offset < 24; offset += 4, value += 0x01010101) {
    value_bytes::StoreU32(seeded.Group(1) + offset, value);
  }
  value_bytes::StoreU32(seeded.Group(0), 0x0200F000);  // ebp
  ASSERT_EQ(AgentWriteRegisters(kThread, &seeded), 0u);
  InvalidateRegisterCache();
  const RegisterBlock image = EmulatorRegisters(0x7);
  for (uint32_t row = 0; row < kGeneralRegisterRowCount; ++row) {
    const GeneralRegisterRow& general = GeneralRegisterAt(row);
    SCOPED_TRACE(general.m_name);
    uint8_t bytes[4] = {};
    TargetStatus status;
    ASSERT_EQ(TmiGetRegisterValue(&status, kThread, row, bytes), 0u);
    const uint32_t size = RegisterRowSize(row);
    const uint64_t expected =
        value_bytes::LoadUnsigned(image.Group(general.m_field.m_group) + general.m_field.m_offset, size);
    EXPECT_EQ(value_bytes::LoadUnsigned(bytes, size), expected);
  }

  struct Write {
    const char* name;
    uint32_t row;
    std::vector<uint8_t> bytes;
    RegisterField field;  // the word of the emulator's image to look at
    uint32_t expected;
  };
  const uint32_t eflags = GroupWord(image, kFieldEflags);
  const Write writes[] = {
      {"eax", 0, {0x78, 0x56, 0x34, 0x12}, GeneralRegisterAt(0).m_field, 0x12345678},
      {"ah changes bits 8-15 only", kRowAh, {0x9A}, GeneralRegisterAt(0).m_field, 0x12349A78},
      {"zfl = 1 sets bit 6", kRowZfl, {1}, kFieldEflags, eflags | 0x40},
      {"zfl = 2 clears it: only bit 0 counts", kRowZfl, {2}, kFieldEflags, eflags & ~0x40u},
      {"cx keeps the high half of ecx", 18, {0xCD, 0xAB}, GeneralRegisterAt(2).m_field,
       (GroupWord(image, GeneralRegisterAt(2).m_field) & 0xFFFF0000u) | 0xABCD},
  };
  for (const Write& write : writes) {
    SCOPED_TRACE(write.name);
    TargetStatus status;
    ASSERT_EQ(TmiSetRegisterValue(&status, kThread, write.row, write.bytes.data()), 0u);
    EXPECT_EQ(GroupWord(EmulatorRegisters(0x7), write.field), write.expected);
  }
}

TEST_F(TargetInterfaceTest, FloatingPointRowsNeedTheUnit) {
  OR_RETURN(ConnectUdp({"--no-fpu"}));
  EXPECT_FALSE(IsFpuPresent());
  uint8_t bytes[10] = {};
  TargetStatus status;
  EXPECT_EQ(TmiGetRegisterValue(&status, kThread, kRowSt0, bytes), 200u);
  EXPECT_EQ(status.m_severity, 3u);
  EXPECT_EQ(TmiSetRegisterValue(&status, kThread, kRowSt0, bytes), 200u);
  EXPECT_EQ(TmiGetRegisterValue(&status, kThread, 0, bytes), 0u) << "eax still reads";
  EXPECT_EQ(TmiGetRegisterValue(&status, kThread, kRegisterRowCount, bytes), 200u);
}

std::string Hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// The listing of the emulator's registers, built here from the image the agent gives.
std::string ExpectedRegsListing(const RegisterBlock& image, const char* flagsText) {
  const char* names[] = {"eax", "ebx", "ecx", "edx", "ebp", "esi", "edi", "esp"};
  std::string text;
  for (uint32_t row = 0; row < 8; ++row) {
    char field[8];
    std::snprintf(field, sizeof field, "%3s", names[row]);
    text += std::string(field) + "=" + Hex8(GroupWord(image, GeneralRegisterAt(row).m_field));
    text += row == 3 || row == 7 ? "\n" : "    ";
  }
  return text + "eip=" + Hex8(GroupWord(image, kFieldEip)) + "\nflags: " + flagsText + "\n";
}

std::string Listing(uint16_t selector) {
  return CapturedOutput([selector] {
    ValueStack::Create();
    ValueStack::Push(kKindOrd2, &selector);
    ListRegistersAction();
  });
}

TEST_F(TargetInterfaceTest, RegsListsTheEmulatorsRegisters) {
  OR_RETURN(ConnectUdp());
  EXPECT_EQ(GroupWord(EmulatorRegisters(1), kFieldEip), SampleEntry()) << "the thread stands at the entry";
  struct Case {
    const char* name;
    uint32_t eflags;
    const char* flags;
  };
  const Case cases[] = {
      {"as the module starts", 0, nullptr},
      {"only the trap flag: none of the listed", 0x102, " none"},
      {"ifl, zfl and pfl", 0x246, "ifl   zfl   pfl   "},
      {"every listed flag", 0xED7, "ofl   dfl   ifl   sfl   zfl   afl   pfl   cfl   "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.flags != nullptr) {
      RegisterBlock block = EmulatorRegisters(1);
      value_bytes::StoreU32(block.Group(0) + kFieldEflags.m_offset, c.eflags);
      ASSERT_EQ(AgentWriteRegisters(kThread, &block), 0u);
      InvalidateRegisterCache();
    }
    const RegisterBlock image = EmulatorRegisters(0x7);
    const std::string flags = c.flags != nullptr ? c.flags : "ifl   ";
    EXPECT_EQ(Listing(1), ExpectedRegsListing(image, flags.c_str()));
  }
  EXPECT_EQ(Listing(3), "") << "no third listing";
}

TEST_F(TargetInterfaceTest, StackListsWordsFromTheStackPointerEightToALine) {
  OR_RETURN(ConnectUdp());
  const uint32_t esp = GroupWord(EmulatorRegisters(1), kFieldEsp);
  uint8_t words[40];
  for (uint32_t i = 0; i < 10; ++i) value_bytes::StoreU32(words + 4 * i, 0xA0000000u + i * 0x01010101u);
  ASSERT_EQ(AgentWriteMemory(kThread, sizeof words, esp, words), 0u);
  auto stack = [](int32_t count, bool given) {
    return CapturedOutput([&] {
      ValueStack::Create();
      if (given) {
        ValueStack::Push(kKindInt4, &count);
      } else {
        ValueStack::Push(kKindNone, nullptr);
      }
      DumpStackAction();
    });
  };
  std::string eight;
  for (uint32_t i = 0; i < 8; ++i) eight += " " + Hex8(0xA0000000u + i * 0x01010101u);
  EXPECT_EQ(stack(0, false), " a0000000\n") << "no count: one item";
  EXPECT_EQ(stack(9, true), eight + "\n " + Hex8(0xA8080808u) + "\n");
  EXPECT_EQ(stack(8, true), eight + "\n");
  try {
    stack(0, true);
    ADD_FAILURE() << "a count of 0 is refused";
  } catch (const DVError& error) {
    EXPECT_EQ(error.Number(), 161u);
  }
}

TEST_F(TargetInterfaceTest, MemoryThroughTheInterfaceFillsCopiesAndFollowsPointers) {
  OR_RETURN(ConnectUdp());
  TargetAccessRecord pattern;
  pattern.m_address.m_addressClass = kAddressClassMemory;
  pattern.m_address.m_addressKind = kAddressKindMemoryOffset;
  pattern.m_address.m_offset = kScratchMemory;
  pattern.m_elementSize = 2;
  pattern.m_elementCount = 1;
  const uint8_t two[2] = {0xBE, 0xEF};
  TargetStatus status;
  ASSERT_EQ(TmiWriteMemory(&status, kThread, two, &pattern, 3), 0u);
  uint8_t read[8] = {};
  uint16_t got = 0;
  ASSERT_EQ(AgentReadMemory(kThread, 8, kScratchMemory, &got, read), 0u);
  EXPECT_EQ(std::vector<uint8_t>(read, read + 6), (std::vector<uint8_t>{0xBE, 0xEF, 0xBE, 0xEF, 0xBE, 0xEF}));
  EXPECT_EQ(read[6], 0u) << "a fill of three passes writes three copies";

  // Two pointers: scratch+16 -> scratch+32 -> scratch+48.
  uint8_t chain[8];
  value_bytes::StoreU32(chain, kScratchMemory + 32);
  ASSERT_EQ(AgentWriteMemory(kThread, 4, kScratchMemory + 16, chain), 0u);
  value_bytes::StoreU32(chain, kScratchMemory + 48);
  ASSERT_EQ(AgentWriteMemory(kThread, 4, kScratchMemory + 32, chain), 0u);
  TargetAddressRecord start = pattern.m_address;
  start.m_offset = kScratchMemory + 16;
  const uint32_t pointerTypes[] = {kAddressClassMemory, kAddressClassMemory};
  TargetAddressRecord reached;
  ASSERT_EQ(TmiFollowPointers(&status, kThread, &start, 0, pointerTypes, &reached), 0u);
  EXPECT_EQ(reached.m_offset, kScratchMemory + 32) << "no further level reads one pointer";
  ASSERT_EQ(TmiFollowPointers(&status, kThread, &start, 1, pointerTypes, &reached), 0u);
  EXPECT_EQ(reached.m_offset, kScratchMemory + 48);
  const uint32_t notPointer[] = {kAddressClassRegister};
  EXPECT_EQ(TmiFollowPointers(&status, kThread, &start, 0, notPointer, &reached), 2003u);
  EXPECT_EQ(status.m_severity, 5u);

  TargetAccessRecord destination = pattern;
  destination.m_address.m_offset = kScratchMemory + 64;
  pattern.m_elementCount = 3;
  ASSERT_EQ(TmiCopyMemory(&status, kThread, &pattern, &destination), 0u);
  ASSERT_EQ(AgentReadMemory(kThread, 6, kScratchMemory + 64, &got, read), 0u);
  EXPECT_EQ(std::vector<uint8_t>(read, read + 6), (std::vector<uint8_t>{0xBE, 0xEF, 0xBE, 0xEF, 0xBE, 0xEF}));

  uint64_t count = 0;
  pattern.m_address.m_offset = 0x7FF00000;  // outside the agent's memory
  EXPECT_EQ(TmiReadMemory(&status, kThread, read, &pattern, &count), 2007u);
  EXPECT_EQ(TmiReadMemory(&status, 0xFFFFFFFFu, read, &pattern, &count), 2006u);
  EXPECT_EQ(TmiReadMemory(&status, 0x77, read, &pattern, &count), 2006u) << "a thread the target does not know";
}

// The engine's breakpoints as slots, and the requests the agent sees when run control
// inserts and removes them.
TEST_F(TargetInterfaceTest, BreakpointSlotsReachTheAgentWhenInserted) {
  OR_RETURN(ConnectUdp());
  auto add = [](uint32_t hardware, uint32_t address, uint32_t access, uint16_t size, uint32_t* number) {
    BreakpointRequest request;
    request.m_operation = kBreakpointAdd;
    request.m_address.m_addressClass = kAddressClassMemory;
    request.m_address.m_addressKind = kAddressKindMemoryOffset;
    request.m_address.m_offset = address;
    request.m_hardware = hardware;
    request.m_lengthCode = access;
    request.m_accessKind = size;
    request.m_enabled = 1;
    TargetStatus status;
    const uint32_t result = TmiBreakpointOperation(&status, kThread, &request);
    *number = request.m_number;
    return result;
  };
  uint32_t software = 0;
  uint32_t watch = 0;
  ASSERT_EQ(add(kEngineTypeSoftware, SampleEntry(), 0, 0, &software), 0u);
  ASSERT_EQ(add(kEngineTypeDebugRegister, kScratchMemory, kEngineAccessWrite, 4, &watch), 0u);
  EXPECT_EQ(watch, kFirstHardwareSlot);
  TgtInsertUserSlots(kThread);
  EXPECT_TRUE(TgtSlotInserted(software));
  EXPECT_FALSE(TgtSlotInserted(watch)) << "a debug register goes to the agent at every insertion";

  RegisterBlock debugRegisters = EmulatorRegisters(0x10);
  EXPECT_EQ(value_bytes::LoadU32(debugRegisters.Group(4)), kScratchMemory);
  // DR7: row 0 enabled, write (01), four bytes (11).
  EXPECT_EQ(value_bytes::LoadU32(debugRegisters.Group(4) + 20) & 0x000F0003u, 0x000D0001u);
  uint8_t code[1] = {};
  uint16_t got = 0;
  ASSERT_EQ(AgentReadMemory(kThread, 1, SampleEntry(), &got, code), 0u);
  EXPECT_NE(code[0], 0xCC) << "the agent shows the original byte";

  TgtRemoveAllEnabled();
  EXPECT_FALSE(TgtSlotInserted(software));
  debugRegisters = EmulatorRegisters(0x10);
  EXPECT_EQ(value_bytes::LoadU32(debugRegisters.Group(4) + 20) & 0x3u, 0u);

  BreakpointRequest remove;
  remove.m_operation = kBreakpointDelete;
  remove.m_number = software;
  TargetStatus status;
  EXPECT_EQ(TmiBreakpointOperation(&status, kThread, &remove), 0u);
  EXPECT_EQ(TmiBreakpointOperation(&status, kThread, &remove), 21u) << "deleting a free slot";
}

// "loadsym" finds the module among the server's by its base name, takes the bases the
// agent reports and loads the file named as given with ".SYM" added.
TEST_F(TargetInterfaceTest, LoadsymLoadsTheSymbolsOfAModuleTheServerRuns) {
  OR_RETURN(ConnectUdp({"--module", DemoManifest()}));
  const std::string demo = DemoManifest();
  const std::string directory = testing_support::HostPathOfUnixPath(demo.substr(0, demo.rfind('/') + 1));
  auto loadsym = [](const std::string& argument) -> uint32_t {
    SetTokenText(CurrentToken(), argument.c_str());
    try {
      SymLoadNamedModule();
    } catch (const DVError& error) {
      return error.Number();
    }
    return 0;
  };
  EXPECT_EQ(loadsym("nosuch"), 2075u);
  EXPECT_EQ(loadsym(directory + "sample"), 117u) << "SAMPLE runs but has no symbol file there";
  ASSERT_EQ(loadsym(directory + "demo"), 0u);
  EXPECT_NE(SymbolTableLoaded(), 0u);
  EXPECT_EQ(TmiServerSymbolsLoaded(), 1u);
  const int32_t index = SymFindModule("DEMO");
  ASSERT_GE(index, 0);
  EXPECT_EQ(KnownModuleAt(static_cast<uint32_t>(index)).m_codeBase, 0x00100000u);
  EXPECT_EQ(KnownModuleAt(static_cast<uint32_t>(index)).m_dataBase, 0x00110000u);
  SymClearChangedFlag();
  EXPECT_EQ(TmiServerSymbolsLoaded(), 0u);
}

}  // namespace
}  // namespace zentor
