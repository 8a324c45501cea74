// The inspector through the dispatcher, against the stand-in running DEMO with its
// symbols loaded: a structure expanded and contracted with nested lines, an array read
// in one request in base 16, character values, names that are not known, and the
// window-less value text. Target memory is read through the target interface by a
// small service standing in for the engine's.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "command/command_scanner.h"
#include "command/symbol_lookup_commands.h"
#include "core/number_base.h"
#include "core/target_memory.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "core/view_kind.h"
#include "engine/inspector_view.h"
#include "engine/view_managers.h"
#include "gui/view_dispatcher.h"
#include "harness/pane_dump.h"
#include "harness/stand_in_session.h"
#include "harness/transcript.h"
#include "core/value_bytes.h"
#include "target/agent_requests.h"
#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/register_tables.h"

namespace zentor {
namespace {

const std::string kGoldenDirectory = std::string(ZENTOR_TEST_DATA_DIR) + "/views/";

// DEMO's manifest beside the agent's sample (a Unix path).
std::string DemoManifest() {
  const std::string directory = testing_support::SampleModulesDirectory();
  return directory.empty() ? "" : directory + "demo.mod";
}

class InspectorViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string reason;
    if (!m_session.Connect({"--module", DemoManifest()}, &reason)) GTEST_SKIP() << reason;
    const std::string demo = DemoManifest();
    SetTokenText(CurrentToken(), (testing_support::HostPathOfUnixPath(demo.substr(0, demo.rfind('/') + 1)) + "demo").c_str());
    SymLoadNamedModule();
    // The symbol lookups of expression texts, as start-up binds them.
    CommandScanner::InitKeywords();
    BindSymbolLookupActions();
    m_before = TargetMemory::InstallService(&m_memory);
    m_base = GetNumberBase();
    ValueStack::Create();
    m_pane.layerId = 12;
    m_pane.rows = 20;
    EXPECT_EQ(Send(kGuiOpened), 0);
    EXPECT_NE(m_request.pool, 0u);
  }
  void TearDown() override {
    if (m_pane.layerId >= 0 && m_pane.panel != 0) Send(kGuiClosing);
    DestroyAllViewManagers();
    TargetMemory::InstallService(m_before);
    ActionTable::ResetToDefaults();
    SetNumberBase(static_cast<uint8_t>(m_base));
  }
  int32_t Send(int32_t code, intptr_t line = 0, const char* text = nullptr) {
    m_status.Reset();
    m_request.line = line;
    m_request.text = text;
    return ViewDispatcher::RunGuiCommandForKind(m_status, kViewInspect, &m_pane, code,
                                                reinterpret_cast<intptr_t>(&m_request));
  }
  std::string Dump() const { return testing_support::DumpPane(m_pane, false); }

  testing_support::StandInSession m_session;
  testing_support::InterfaceTargetMemory m_memory;
  TargetMemoryService* m_before = nullptr;
  uint32_t m_base = 10;
  TextPane m_pane;
  InspectorRequest m_request;
  DVError m_status;
};

TEST_F(InspectorViewTest, StructuresArraysAndCharacters) {
  std::string dump;
  ASSERT_EQ(Send(kGuiInspectAdd, 0, "g_origin"), 0) << m_status.Number();
  ASSERT_EQ(Send(kGuiInspectExpand, 0), 0) << m_status.Number();
  dump += "g_origin expanded: " + Dump();
  // Its name, an array of characters, expanded below it.
  ASSERT_EQ(Send(kGuiInspectExpand, 3), 0) << m_status.Number();
  dump += "name expanded: " + Dump();
  ASSERT_EQ(Send(kGuiInspectContract, 0), 0);
  dump += "contracted: " + Dump();
  EXPECT_EQ(m_pane.count, 1);
  // A line that cannot be expanded is refused and changes nothing.
  ASSERT_EQ(Send(kGuiInspectExpand, 0), 0);
  EXPECT_NE(Send(kGuiInspectExpand, 1), 0);
  EXPECT_NE(Send(kGuiInspectContract, 1), 0);

  SetNumberBase(16);
  ASSERT_EQ(Send(kGuiInspectAdd, 0, "g_squares"), 0) << m_status.Number();
  const int reads = m_memory.m_reads;
  ASSERT_EQ(Send(kGuiInspectExpand, m_pane.count - 1), 0) << m_status.Number();
  // The elements' declared type names their kind: the five come in one read.
  EXPECT_EQ(m_memory.m_reads - reads, 1);
  dump += "g_squares in base 16: " + Dump();
  EXPECT_TRUE(testing_support::MatchesGolden(kGoldenDirectory + "inspector.txt", dump));
}

TEST_F(InspectorViewTest, NamesAndValueTexts) {
  EXPECT_EQ(Send(kGuiInspectAdd, 0, "no_such_name"), 335);
  EXPECT_EQ(m_status.ArgumentCount(), 1u);
  EXPECT_STREQ(m_status.Argument(0).data(), "no_such_name");
  EXPECT_EQ(m_pane.count, 0);
  EXPECT_EQ(Send(kGuiInspectAdd, 0, "g_origin +"), 102);

  // The window-less value text of the modify-value dialog, never past its buffer.
  char buffer[kValueTextBufferSize] = "g_origin.x";
  DVError status;
  EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(status, kViewInspect, nullptr, kGuiInspectValueText,
                                                 reinterpret_cast<intptr_t>(buffer)),
            0);
  EXPECT_STREQ(buffer, "10");
  // Deleting the item under the cursor takes its child lines with it.
  ASSERT_EQ(Send(kGuiInspectAdd, 0, "g_corner"), 0);
  ASSERT_EQ(Send(kGuiInspectExpand, 0), 0);
  m_pane.top = 0;
  m_pane.row = 2;
  EXPECT_NE(Send(kGuiInspectDelete), 0) << "a child line is not an item";
  m_pane.row = 0;
  EXPECT_EQ(Send(kGuiInspectDelete), 0);
  EXPECT_EQ(m_pane.count, 0);
}

// The Locals window asks after every stop whether its procedure changed: once after
// the execution point moved into another procedure, then no more.
TEST_F(InspectorViewTest, LocalsFollowTheProcedure) {
  const auto pointAt = [](const char* procedure) {
    RegisterBlock block;
    block.SetMask(0x7);
    ASSERT_EQ(AgentReadRegisters(0, &block), 0u);
    const AddressDescriptor address(RWCString(procedure), 1);
    value_bytes::StoreU32(block.Group(kFieldEip.m_group) + kFieldEip.m_offset, address.Offset());
    ASSERT_EQ(AgentWriteRegisters(0, &block), 0u);
    InvalidateRegisterCache();
  };
  pointAt("main");
  ASSERT_EQ(Send(kGuiInspectLocals), 0) << m_status.Number();
  ASSERT_GE(m_pane.count, 1);
  EXPECT_NE(std::string(m_pane.lines[0]->text).find("main"), std::string::npos) << m_pane.lines[0]->text;
  EXPECT_EQ(Send(kGuiLocalsNeedRebuild), 0);
  pointAt("g");
  EXPECT_EQ(Send(kGuiLocalsNeedRebuild), 402);
  EXPECT_EQ(m_status.Severity(), kSeverityWarning);
  EXPECT_EQ(Send(kGuiLocalsNeedRebuild), 0);
}

}  // namespace
}  // namespace zentor
