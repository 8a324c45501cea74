// The inspector's roots across runs of the target, against the stand-in running VIEWS
// with its symbols: a root keeps its symbol when the execution point leaves the
// symbol's scope (it shows "Inactive" and comes back), and 16-bit character values
// show their characters with the "unicode" option.
#include <gtest/gtest.h>

#include <string>

#include "command/action_table.h"
#include "command/command_scanner.h"
#include "command/symbol_lookup_commands.h"
#include "core/current_viewpoint.h"
#include "core/number_base.h"
#include "core/token_record.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"
#include "core/view_kind.h"
#include "engine/inspector_view.h"
#include "engine/view_managers.h"
#include "gui/view_dispatcher.h"
#include "harness/pane_dump.h"
#include "harness/stand_in_session.h"
#include "symbols/symbol_context.h"
#include "target/agent_requests.h"
#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/register_tables.h"
#include "target/tmi_session.h"

namespace zentor {
namespace {

class InspectorScopeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string directory = testing_support::SampleModulesDirectory();
    std::string reason;
    if (directory.empty() || !m_session.Connect({"--module", directory + "views.mod"}, &reason)) {
      GTEST_SKIP() << reason;
    }
    SetTokenText(CurrentToken(), (testing_support::HostPathOfUnixPath(directory) + "views").c_str());
    SymLoadNamedModule();
    CommandScanner::InitKeywords();
    BindSymbolLookupActions();
    m_before = TargetMemory::InstallService(&m_memory);
    ValueStack::Create();
    m_pane.layerId = 14;
    m_pane.rows = 20;
    ASSERT_EQ(Send(kGuiOpened), 0);
  }
  void TearDown() override {
    if (m_pane.panel != 0) Send(kGuiClosing);
    DestroyAllViewManagers();
    TargetMemory::InstallService(m_before);
    ActionTable::ResetToDefaults();
    SetNumberBase(10);
    ResetTmiOptions();
  }
  // A request of the window: its pool word (kept from the opening), a line, a text.
  int32_t Send(int32_t code, intptr_t line = 0, const char* text = nullptr) {
    InspectorRequest request{m_pool, line, text};
    m_status.Reset();
    const int32_t result =
        ViewDispatcher::RunGuiCommandForKind(m_status, kViewInspect, &m_pane, code, reinterpret_cast<intptr_t>(&request));
    m_pool = request.pool;
    return result;
  }
  // Moves the execution point of the stopped thread `offset` bytes into a procedure,
  // past its frame's set-up when asked (ebp takes esp).
  static void PointAt(const char* procedure, uint32_t offset = 0, bool framed = false) {
    RegisterBlock block;
    block.SetMask(0x7);
    ASSERT_EQ(AgentReadRegisters(0, &block), 0u);
    const AddressDescriptor address = AddressDescriptor(RWCString(procedure), 1) + OrdinalValue(offset);
    uint8_t* general = block.Group(kFieldEip.m_group);
    value_bytes::StoreU32(general + kFieldEip.m_offset, address.Offset());
    if (framed) value_bytes::StoreU32(general + kFieldEbp.m_offset, value_bytes::LoadU32(general + kFieldEsp.m_offset));
    ASSERT_EQ(AgentWriteRegisters(0, &block), 0u);
    InvalidateRegisterCache();
    GetCurrentSymbolContext()->SetCurrentAddress(address);
  }
  std::string Dump() const { return testing_support::DumpPane(m_pane, false); }
  std::string Line(int32_t index) const { return m_pane.lines[index]->text; }

  testing_support::StandInSession m_session;
  testing_support::InterfaceTargetMemory m_memory;
  TargetMemoryService* m_before = nullptr;
  TextPane m_pane;
  uintptr_t m_pool = 0;
  DVError m_status;
};

// A root keeps its symbol: out of the symbol's scope the line stays, "Inactive" and
// without its value, and the value comes back with the scope.
TEST_F(InspectorScopeTest, RootLeavingScopeComesBack) {
  PointAt("Leaf", 0x0b, true);
  ASSERT_EQ(Send(kGuiInspectAdd, 0, "g_letter"), 0) << m_status.Number();
  ASSERT_EQ(Send(kGuiInspectAdd, 0, "scratch"), 0) << m_status.Number();
  ASSERT_EQ(m_pane.count, 2);
  EXPECT_NE(Line(1).find("int scratch = "), std::string::npos) << Line(1);
  PointAt("main");
  EXPECT_EQ(Send(kGuiRefresh), 0) << m_status.Number();
  ASSERT_EQ(m_pane.count, 2);
  EXPECT_EQ(Line(1), " <Inactive> int scratch");
  EXPECT_NE(Line(0).find("char g_letter = 81"), std::string::npos) << Line(0);
  PointAt("Leaf", 0x0b, true);
  EXPECT_EQ(Send(kGuiRefresh), 0) << m_status.Number();
  ASSERT_EQ(m_pane.count, 2);
  EXPECT_NE(Line(1).find("int scratch = "), std::string::npos) << Line(1);
}

// With the "unicode" option a 16-bit character value also shows its character, read
// from the value text in the current base; without it, and outside 32..126, only the
// number.
TEST_F(InspectorScopeTest, WideCharactersWithTheUnicodeOption) {
  const auto elements = [&](uint32_t base) {
    SetNumberBase(static_cast<uint8_t>(base));
    Send(kGuiEngineNotice);
    EXPECT_EQ(Send(kGuiInspectAdd, 0, "g_wide"), 0) << m_status.Number();
    EXPECT_EQ(Send(kGuiInspectExpand, 0), 0) << m_status.Number();
    return m_pane.count == 9 ? Line(1) + "|" + Line(5) : Dump();
  };
  EXPECT_EQ(elements(10), "   <0x00310000> unsigned short int [0] = 87   |   <0x00310008> unsigned short int [4] = 0    ");
  const char* arguments[] = {"-unicode", nullptr};
  TargetStatus status;
  uint32_t used = 0;
  TmiHandleOption(&status, 0, 0, arguments, &used);
  EXPECT_EQ(elements(10),
            "   <0x00310000> unsigned short int [0] = 87     'W'|   <0x00310008> unsigned short int [4] = 0    ");
  EXPECT_EQ(elements(16),
            "   <0x00310000> unsigned short int [0] = 0x0057  'W'|   <0x00310008> unsigned short int [4] = 0x0000");
  // Base 2 is read from the right.
  const std::string binary = elements(2);
  const std::string first = binary.substr(0, binary.find('|'));
  EXPECT_TRUE(first.ends_with("1010111  'W'")) << binary;
}

}  // namespace
}  // namespace zentor
