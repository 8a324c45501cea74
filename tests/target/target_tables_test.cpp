// The target's tables without an agent: breakpoint slot allocation and the translation
// of the engine's debug-register words, the debug status decode, the target state's
// answers for unknown threads, loader addresses and the known-module table.
#include <gtest/gtest.h>

#include <string>

#include "target/agent_requests.h"
#include "target/breakpoint_slots.h"
#include "target/module_symbols.h"
#include "target/target_state.h"
#include "target/tmi_symbol_load.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

constexpr uint32_t kThread = 7;

class TargetTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTargetState();
    TgtFreeAllSlots();
    TgtAddContext(TgtAddProcessor(0), kThread, 0);
  }
  void TearDown() override {
    TgtFreeAllSlots();
    ResetTargetState();
    ResetKnownModules();
  }

  static uint32_t Add(uint32_t hardware, uint32_t address, uint32_t access = 0, uint16_t size = 0,
                      uint32_t enabled = 1, BreakpointRequest* out = nullptr) {
    BreakpointRequest request;
    request.m_operation = kBreakpointAdd;
    request.m_address.m_addressClass = kAddressClassMemory;
    request.m_address.m_addressKind = kAddressKindMemoryOffset;
    request.m_address.m_offset = address;
    request.m_hardware = hardware;
    request.m_lengthCode = access;
    request.m_accessKind = size;
    request.m_enabled = enabled;
    TargetStatus status;
    const uint32_t result = TmiBreakpointOperation(&status, kThread, &request);
    if (out != nullptr) *out = request;
    return result;
  }
};

TEST_F(TargetTablesTest, SlotsRunOutAndRefuseDuplicates) {
  for (uint32_t i = 0; i < kFirstHardwareSlot; ++i) ASSERT_EQ(Add(kEngineTypeSoftware, 0x1000 + i), 0u) << i;
  EXPECT_EQ(Add(kEngineTypeSoftware, 0x2000), 22u) << "the 55th software breakpoint";
  for (uint32_t row = 0; row < kDebugRegisterRowCount; ++row) {
    BreakpointRequest request;
    ASSERT_EQ(Add(kEngineTypeDebugRegister, 0x3000 + row, kEngineAccessExecute, 1, 1, &request), 0u);
    EXPECT_EQ(request.m_number, kFirstHardwareSlot + row);
  }
  EXPECT_EQ(Add(kEngineTypeDebugRegister, 0x4000, kEngineAccessExecute, 1), 22u) << "the fifth debug register";

  TgtFreeAllSlots();
  EXPECT_EQ(Add(kEngineTypeSoftware, 0x1000), 0u);
  EXPECT_EQ(Add(kEngineTypeSoftware, 0x1000), 26u) << "same enabled address, same thread";
  EXPECT_EQ(Add(kEngineTypeDebugRegister, 0x1000, kEngineAccessExecute, 1), 0u) << "another kind of slot";
  TgtFreeAllSlots();
  EXPECT_EQ(Add(kEngineTypeSoftware, 0x1000, 0, 0, 0), 0u);
  EXPECT_EQ(Add(kEngineTypeSoftware, 0x1000), 0u) << "a disabled slot does not block a new one";

  BreakpointRequest change;
  change.m_operation = kBreakpointEnable;
  change.m_number = 30;
  TargetStatus status;
  EXPECT_EQ(TmiBreakpointOperation(&status, kThread, &change), 21u) << "a free slot";
  change.m_number = kFirstTemporarySlot;
  EXPECT_EQ(TmiBreakpointOperation(&status, kThread, &change), 21u) << "no user slot";
  change.m_operation = 7;
  EXPECT_EQ(TmiBreakpointOperation(&status, kThread, &change), 2004u);
  EXPECT_EQ(status.m_severity, 5u);
  change.m_operation = kBreakpointAdd;
  EXPECT_EQ(TmiBreakpointOperation(&status, 99, &change), 22u) << "a thread the target does not know";
  EXPECT_EQ(TmiBreakpointOperation(&status, 0xFFFFFFFFu, &change), 2006u);
  TgtSetRunning(kThread, 1);
  EXPECT_EQ(TmiBreakpointOperation(&status, kThread, &change), 84u) << "the thread runs";
}

// The engine puts the access into the length-code word and the size into the
// access-kind word; the row gets the DR7 kind and length, the request the row kind.
TEST_F(TargetTablesTest, DebugRegisterWordsBecomeTheRowsKindAndLength) {
  struct Case {
    const char* name;
    uint32_t type;
    uint32_t access;
    uint16_t size;
    uint32_t number;
    uint32_t kind;
    uint32_t length;
  };
  const Case cases[] = {
      {"execute", kEngineTypeDebugRegister, kEngineAccessExecute, 4, 0, kRowKindExecute, 0},
      {"write one byte", kEngineTypeDebugRegister, kEngineAccessWrite, 1, 0, kRowKindWrite, 0},
      {"write two bytes", kEngineTypeDebugRegister, kEngineAccessWrite, 2, 0, kRowKindWrite, 1},
      {"read or write four bytes", kEngineTypeDebugRegister, kEngineAccessReadWrite, 4, 0, kRowKindAccess, 3},
      {"write three bytes", kEngineTypeDebugRegister, kEngineAccessWrite, 3, 2004, 0, 0},
      {"write eight bytes", kEngineTypeDebugRegister, kEngineAccessWrite, 8, 2004, 0, 0},
      {"input/output", kEngineTypeDebugRegister, kEngineAccessInputOutput, 1, 2004, 0, 0},
      {"task switch", kEngineTypeTaskSwitch, 0, 0, 2004, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TgtFreeAllSlots();
    BreakpointRequest request;
    EXPECT_EQ(Add(c.type, 0x5000, c.access, c.size, 1, &request), c.number);
    if (c.number != 0) {
      EXPECT_EQ(TgtDebugRowAt(0).m_inUse, 0u) << "nothing is kept";
      continue;
    }
    EXPECT_EQ(request.m_number, kFirstHardwareSlot);
    EXPECT_EQ(request.m_accessKind, c.kind);
    EXPECT_EQ(TgtDebugRowAt(0).m_kind, c.kind);
    EXPECT_EQ(TgtDebugRowAt(0).m_length, c.length);
    EXPECT_EQ(TgtDebugRowAt(0).m_slot, kFirstHardwareSlot);
  }
}

TEST_F(TargetTablesTest, DebugStatusNamesTheEnabledRegisterThatFired) {
  struct Case {
    const char* name;
    uint32_t dr6;
    uint32_t dr7;
    bool fired;
    uint32_t reg;
    uint32_t kind;
  };
  const Case cases[] = {
      {"nothing fired", 0xFFFF0FF0, 0xFFFFFFFF, false, 0, 0},
      {"DR0, locally enabled, execute", 0x1, 0x1, true, 0, 1},
      {"DR2, globally enabled, write", 0x4, 0x01000020, true, 2, 3},
      {"DR3 fired but is not enabled", 0x8, 0x3, false, 0, 0},
      {"DR1 and DR3 fired, only DR3 enabled, access", 0xA, 0x30000080, true, 3, 3},
      {"another register's access bits do not count", 0x2, 0x0003000C, true, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegisterBlock block;
    uint8_t* group = block.Group(4);
    for (uint32_t i = 0; i < 4; ++i) value_bytes::StoreU32(group + 4 * i, 0x1000 * (i + 1));
    value_bytes::StoreU32(group + 16, c.dr6);
    value_bytes::StoreU32(group + 20, c.dr7);
    DebugStatusHit hit;
    EXPECT_EQ(TgtDecodeDebugStatus(block, &hit), c.fired);
    if (!c.fired) continue;
    EXPECT_EQ(hit.m_register, c.reg);
    EXPECT_EQ(hit.m_kind, c.kind);
    EXPECT_EQ(hit.m_address, 0x1000 * (c.reg + 1));
  }
}

TEST_F(TargetTablesTest, StateAnswersForThreadsItDoesNotHold) {
  EXPECT_EQ(TgtProcessorIdAt(0), 1);
  EXPECT_EQ(TgtAddProcessor(0), 2) << "ids count from 1";
  EXPECT_EQ(TgtGetRunState(kThread), uint32_t{kRunStateNone}) << "processor 2 holds no thread";
  EXPECT_EQ(TgtGetException(kThread), kUnknownContextException);
  EXPECT_EQ(TgtGetHitSlot(kThread), -1);
  TgtSetHitSlot(kThread, 5);
  EXPECT_EQ(TgtGetHitSlot(kThread), 5) << "the hit slot is found in any processor";
  TargetStatus status;
  TmiSetStatus(&status, kThread, 2007);
  EXPECT_EQ(status.m_severity, 3u);
  EXPECT_EQ(TgtGetStatusWord(0x55), 2007u) << "unknown here: the global word";
  TgtSetCurrentProcessor(1);
  EXPECT_EQ(TgtGetStatusWord(kThread), 0u);
  TgtSetRunState(kThread, kRunStateGo);
  EXPECT_TRUE(TgtIsBusy(kThread));
  EXPECT_FALSE(TgtCanRun(kThread));
  TgtSetCurrentProcessor(-1);
  TmiSetStatus(&status, kThread, 84);
  EXPECT_EQ(TgtGetStatusWord(1234), 84u) << "no processor current: the global word";
}

TEST(TargetLoaderAddressTest, RecordsAndLoaderAddressesConvertBothWays) {
  struct Case {
    const char* name;
    uint16_t kind;
    uint32_t offset;
    uint32_t addressClass;
  };
  const Case cases[] = {{"memory", 1, 0x00100052, 20}, {"register eax", 0, 16, 27}, {"memory top", 1, 0xFFFFFFFE, 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoaderAddress address{c.kind, 0, 0, c.offset};
    TargetStatus status;
    TargetAddressRecord record;
    ASSERT_EQ(TmiAddressFromLoader(&status, &address, &record), 0u);
    EXPECT_EQ(record.m_addressClass, c.addressClass);
    EXPECT_EQ(record.m_nullMark, 0u);
    LoaderAddress back;
    TmiAddressToLoader(&record, &back);
    EXPECT_EQ(back.m_kind, c.kind);
    EXPECT_EQ(back.m_offset, c.offset);
  }
  TargetAddressRecord null;
  null.m_nullMark = 1;
  LoaderAddress back;
  TmiAddressToLoader(&null, &back);
  EXPECT_EQ(back.m_kind, 1u);
  EXPECT_EQ(back.m_offset, 0xFFFFFFFFu);
}

TEST_F(TargetTablesTest, KnownModulesByBaseName) {
  struct Case {
    const char* path;
    const char* base;
  };
  const Case cases[] = {
      {"C:\\NLM\\CLIB.NLM", "CLIB"}, {"clib", "clib"}, {"/srv/sym/demo.sym", "demo"},
      {"a/b\\c.d.e", "c.d"},         {"NAME.", "NAME"},
  };
  for (const Case& c : cases) EXPECT_EQ(ModuleBaseName(c.path), c.base) << c.path;

  SymRegisterModule("C:\\NLM\\CLIB.NLM", 11, 0x1000, 0x2000);
  SymRegisterModule("spxs", 12, 0x3000, 0x4000);
  SymRegisterModule("DEMO.SYM", 13, 0x5000, 0x6000);
  EXPECT_EQ(SymFindModule("clib"), 0);
  SymForgetModule("CLIB");
  ASSERT_EQ(KnownModuleCount(), 2u);
  EXPECT_EQ(KnownModuleAt(0).m_name, "spxs");
  EXPECT_EQ(KnownModuleAt(0).m_handle, 12u);
  EXPECT_EQ(KnownModuleAt(1).m_dataBase, 0x6000u);

  for (uint32_t i = 0; KnownModuleCount() < kKnownModuleCapacity; ++i) {
    SymRegisterModule("MOD" + std::to_string(i), 100 + i, 0, 0);
  }
  SymRegisterModule("ONEMORE", 1, 0, 0);
  EXPECT_EQ(SymFindModule("ONEMORE"), -1) << "a full table takes no new module";
  SymRegisterModule("demo", 99, 0x7000, 0x8000);
  EXPECT_EQ(KnownModuleAt(static_cast<uint32_t>(SymFindModule("demo"))).m_codeBase, 0x7000u)
      << "a module already present is updated even when the table is full";
}

}  // namespace
}  // namespace zentor
