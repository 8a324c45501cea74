// One stop with every view open, against the stand-in running VIEWS stopped in Leaf,
// twenty frames deep: after an instruction step the Registers, Watch, Callstack,
// Memory, Inspect, Locals and Modules windows refresh as after a stop. The registers
// come from the agent once for the stop (the read that decoded it, shared by the
// views), and each byte of memory once; the next step makes those reads stale, so the
// windows follow the thread, and they show what they show when every read goes to the
// agent as asked. The Inspect window's nested expansions come back in place after
// each refresh.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <vector>
#include <string>

#include "command/command_scanner.h"
#include "command/symbol_lookup_commands.h"
#include "core/address_descriptor.h"
#include "core/current_viewpoint.h"
#include "core/frame_list.h"
#include "core/program_counter.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "core/view_kind.h"
#include "engine/frame_walk.h"
#include "engine/inspector_view.h"
#include "engine/memory_view.h"
#include "engine/register_access.h"
#include "engine/target_memory_access.h"
#include "engine/view_managers.h"
#include "engine/watch_table.h"
#include "harness/agent_request_log.h"
#include "harness/pane_dump.h"
#include "harness/stand_in_session.h"
#include "harness/view_window.h"
#include "symbols/symbol_context.h"
#include "target/agent_requests.h"
#include "target/breakpoint_slots.h"
#include "target/memory_read_cache.h"
#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/run_control.h"
#include "target/target_gui.h"
#include "target/target_services.h"
#include "target/target_state.h"
#include "target/tmi_memory.h"

namespace zentor {
namespace {

constexpr uint32_t kThread = 0;
constexpr auto kStopDeadline = std::chrono::seconds(60);

using Window = testing_support::ViewWindow;

class StopRegisterReadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string directory = testing_support::SampleModulesDirectory();
    std::string reason;
    if (directory.empty() || !m_session.Connect({"--module", directory + "views.mod"}, &reason)) {
      GTEST_SKIP() << (directory.empty() ? "no sample modules here" : reason);
    }
    // The connection starts the link afresh, event pump and all.
    InstallTargetServices();
    m_symbols = testing_support::SampleModuleSymbols("views");
    SetTokenText(CurrentToken(), (testing_support::HostPathOfUnixPath(directory) + "views").c_str());
    SymLoadNamedModule();
    CommandScanner::InitKeywords();
    BindSymbolLookupActions();
    ValueStack::Create();
    // The engine's own ways to the registers, the stack and target memory.
    m_memoryBefore = TargetMemory::InstallService(nullptr);
    m_walkerBefore = InstallFrameWalker(nullptr);
    m_pcReader = ProgramCounterRegister::InstallReader(nullptr);
    m_pcWriter = ProgramCounterRegister::InstallWriter(nullptr);
    m_fpReader = FramePointerRegister::InstallReader(nullptr);
    m_savedFrameReader = FramePointerRegister::InstallSavedFrameReader(nullptr);
    InstallTargetMemoryAccess();
    InstallFrameWalk();
    InstallRegisterAccess();
    // Every stop stands, as in the console without the engine's report.
    m_guiBefore = InstallTargetGui(&m_gui);
  }
  void TearDown() override {
    for (Window* window : {&m_registers, &m_watch, &m_callstack, &m_memory, &m_inspect, &m_locals, &m_modules}) {
      if (window->pane.panel != 0) window->Send(kGuiClosing);
    }
    DestroyAllViewManagers();
    WatchTable::DeleteForCurrentViewpoint();
    InstallTargetGui(m_guiBefore);
    TargetMemory::InstallService(m_memoryBefore);
    InstallFrameWalker(m_walkerBefore);
    ProgramCounterRegister::InstallReader(m_pcReader);
    ProgramCounterRegister::InstallWriter(m_pcWriter);
    FramePointerRegister::InstallReader(m_fpReader);
    FramePointerRegister::InstallSavedFrameReader(m_savedFrameReader);
  }

  // A breakpoint at Leaf's first instruction, a go, and the stop.
  void RunToLeaf() {
    BreakpointRequest request;
    request.m_operation = kBreakpointAdd;
    request.m_address.m_addressClass = kAddressClassMemory;
    request.m_address.m_addressKind = kAddressKindMemoryOffset;
    request.m_address.m_offset = m_symbols["Leaf"];
    request.m_enabled = 1;
    TargetStatus status;
    ASSERT_NE(request.m_address.m_offset, 0u) << "no Leaf in the map of VIEWS";
    ASSERT_EQ(TmiBreakpointOperation(&status, kThread, &request), 0u);
    ASSERT_EQ(TmiExecute(&status, kThread, kExecuteGo, nullptr), 0u);
    const auto deadline = std::chrono::steady_clock::now() + kStopDeadline;
    while (TgtIsBusy(kThread)) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the target did not stop";
      TmiPollEvents(kThread);
    }
    request.m_operation = kBreakpointDelete;
    ASSERT_EQ(TmiBreakpointOperation(&status, kThread, &request), 0u);
    // Names resolve in Leaf from here on, as after the engine's report of the stop.
    GetCurrentSymbolContext()->SetCurrentAddress(ProgramCounterRegister::Read());
  }

  // An instruction step, its location made the current address and the frames walked
  // before it forgotten, as the engine's step does (from the stop record, without
  // reading registers).
  uint32_t Step() {
    if (FrameList* frames = CurrentFrameListOrNull()) frames->Clear();
    TargetStatus status;
    uint32_t done = 0;
    StopRecord record;
    EXPECT_EQ(TmiStep(&status, kThread, kStepInto, 1, &done, &record), 0u);
    EXPECT_EQ(record.m_location.m_nullMark, 0u);
    GetCurrentSymbolContext()->SetCurrentAddress(AddressDescriptor(record.m_location));
    return record.m_location.m_offset;
  }

  void RefreshEveryView() {
    for (Window* window : {&m_registers, &m_watch, &m_callstack, &m_memory, &m_inspect, &m_modules}) {
      EXPECT_EQ(window->Send(kGuiRefresh), 0) << "kind " << window->kind;
    }
    if (m_locals.Send(kGuiLocalsNeedRebuild) == 0) {
      EXPECT_EQ(m_locals.Send(kGuiRefresh), 0);
    }
  }

  std::string RegistersText() const {
    std::string text;
    for (int32_t i = 0; i < m_registers.pane.count; ++i) text += std::string(m_registers.pane.lines[i]->text) + "\n";
    return text;
  }

  // Watches on depth and g_counter; Memory on g_small; g_small expanded in Inspect
  // with g_shape, its corners and the third corner expanded below it; the locals;
  // the modules.
  void OpenEveryView() {
    RWCString scope;
    ASSERT_GE(WatchTable::DefineFromText(0, &scope, RWCString("depth"), 1), 0);
    ASSERT_GE(WatchTable::DefineFromText(1, &scope, RWCString("g_counter"), 1), 0);
    ASSERT_EQ(m_registers.Open(kViewRegisters, 21, 0), 0);
    ASSERT_EQ(m_watch.Open(kViewWatch, 22, 0), 0);
    ASSERT_EQ(m_callstack.Open(kViewCallstack, 23, 0), 0);
    std::snprintf(m_memoryRequest.startText, sizeof m_memoryRequest.startText, "0x%08x", m_symbols["g_small"]);
    m_memoryRequest.rows = 20;
    m_memoryRequest.noRange = 1;
    m_memoryRequest.changeFlags = MemoryDisplayRequest::kFormatChanged | MemoryDisplayRequest::kNewStart;
    ASSERT_EQ(m_memory.Open(kViewMemory, 24, reinterpret_cast<intptr_t>(&m_memoryRequest)), 0);
    ASSERT_EQ(m_memory.Send(kGuiRefresh), 0);
    m_memoryRequest.changeFlags = 0;
    ASSERT_EQ(m_inspect.Open(kViewInspect, 25, reinterpret_cast<intptr_t>(&m_inspectRequest)), 0);
    m_inspectRequest.text = "g_small";
    ASSERT_EQ(m_inspect.Send(kGuiInspectAdd), 0);
    ASSERT_EQ(m_inspect.Send(kGuiInspectExpand), 0);
    // g_shape at line 101 with its corners (line 103) and the third corner (line 106)
    // expanded: the refresh must find each expansion again by its place.
    m_inspectRequest.text = "g_shape";
    ASSERT_EQ(m_inspect.Send(kGuiInspectAdd), 0);
    for (intptr_t line : {101, 103, 106}) {
      m_inspectRequest.line = line;
      ASSERT_EQ(m_inspect.Send(kGuiInspectExpand), 0) << line;
    }
    ASSERT_EQ(m_inspect.pane.count, 111);
    ASSERT_EQ(m_locals.Open(kViewInspect, 26, reinterpret_cast<intptr_t>(&m_localsRequest)), 0);
    ASSERT_EQ(m_locals.Send(kGuiInspectLocals), 0);
    ASSERT_EQ(m_modules.Open(kViewModules, 27, reinterpret_cast<intptr_t>(&m_width)), 0);
  }

  // Every open view's pane, one after another.
  std::string EveryPane() const {
    std::string dump;
    for (const Window* window : {&m_registers, &m_watch, &m_callstack, &m_memory, &m_inspect, &m_locals, &m_modules}) {
      dump += "kind " + std::to_string(window->kind) + ": " + testing_support::DumpPane(window->pane, false);
    }
    return dump;
  }

  testing_support::StandInSession m_session;
  std::map<std::string, uint32_t> m_symbols;
  TargetGui m_gui;
  TargetGui* m_guiBefore = nullptr;
  TargetMemoryService* m_memoryBefore = nullptr;
  FrameWalker* m_walkerBefore = nullptr;
  ProgramCounterRegister::Reader m_pcReader = nullptr;
  ProgramCounterRegister::Writer m_pcWriter = nullptr;
  FramePointerRegister::Reader m_fpReader = nullptr;
  FramePointerRegister::SavedFrameReader m_savedFrameReader = nullptr;
  Window m_registers, m_watch, m_callstack, m_memory, m_inspect, m_locals, m_modules;
  MemoryDisplayRequest m_memoryRequest;
  InspectorRequest m_inspectRequest;
  InspectorRequest m_localsRequest;
  uint32_t m_width = 80;
};

// Each stop reads the registers once and each byte of memory once: no read request of
// a stop's refresh asks again for bytes another one brought, and none asks for more
// than one answer carries.
TEST_F(StopRegisterReadsTest, EveryViewSharesTheStopsReads) {
  RunToLeaf();
  if (HasFatalFailure()) return;
  OpenEveryView();
  if (HasFatalFailure()) return;
  const std::string inspected = testing_support::DumpPane(m_inspect.pane, false);
  testing_support::AgentRequestLog log;
  uint32_t previous = 0;
  for (int stop = 0; stop < 2; ++stop) {
    SCOPED_TRACE("stop " + std::to_string(stop));
    log.Clear();
    const uint32_t location = Step();
    RefreshEveryView();
    EXPECT_EQ(log.Count(kAgentCommandReadRegisters), 1u);
    const std::vector<testing_support::AgentRequestLog::MemoryRead> reads = log.MemoryReads();
    EXPECT_FALSE(reads.empty());
    for (size_t i = 0; i < reads.size(); ++i) {
      EXPECT_LE(reads[i].second, kLargestMemoryRead);
      for (size_t j = 0; j < i; ++j) {
        const bool apart = reads[i].first + reads[i].second <= reads[j].first ||
                           reads[j].first + reads[j].second <= reads[i].first;
        EXPECT_TRUE(apart) << std::hex << reads[i].first << " read again after " << reads[j].first;
      }
    }
    // The views show the thread where this stop left it, not where the last one did.
    EXPECT_NE(location, previous);
    char eip[16];
    std::snprintf(eip, sizeof eip, "eip %08x", location);
    EXPECT_NE(RegistersText().find(eip), std::string::npos) << RegistersText();
    EXPECT_EQ(m_callstack.pane.count, 20) << "main, eighteen Descend frames and Leaf";
    EXPECT_EQ(m_watch.pane.count, 2);
    EXPECT_EQ(testing_support::DumpPane(m_inspect.pane, false), inspected) << "the data did not change";
    previous = location;
  }
}

// Leaf's first ten instructions, each stop with every view refreshed (g_counter and
// the stack change on the way), made twice: once with each read sent as the view asks
// it and once with the stop's reads shared. Every view shows the same at each stop,
// with fewer requests.
TEST_F(StopRegisterReadsTest, ViewsShowTheSameWithoutTheReadCache) {
  RunToLeaf();
  if (HasFatalFailure()) return;
  RegisterBlock registers;
  registers.SetMask(kRegisterGroupMaskAll);
  ASSERT_EQ(AgentReadRegisters(kThread, &registers), 0u);
  uint8_t counter[4] = {};
  uint32_t got = 0;
  ASSERT_TRUE(TgtReadMemory(kThread, m_symbols["g_counter"], counter, sizeof counter, &got));
  OpenEveryView();
  if (HasFatalFailure()) return;
  testing_support::AgentRequestLog log;
  std::vector<std::string> panes[2];
  size_t reads[2] = {};
  for (const bool cached : {false, true}) {
    TheMemoryReadCache().SetEnabled(cached);
    // Back to the first instruction of Leaf, g_counter as it was there: the steps
    // below write only what they wrote the first time.
    ASSERT_EQ(AgentWriteRegisters(kThread, &registers), 0u);
    InvalidateRegisterCache();
    ASSERT_TRUE(TgtWriteMemory(kThread, m_symbols["g_counter"], counter, sizeof counter));
    log.Clear();
    for (int stop = 0; stop < 10; ++stop) {
      Step();
      RefreshEveryView();
      panes[cached].push_back(EveryPane());
    }
    reads[cached] = log.MemoryReads().size();
  }
  ASSERT_EQ(panes[1].size(), panes[0].size());
  for (size_t stop = 0; stop < panes[0].size(); ++stop) EXPECT_EQ(panes[1][stop], panes[0][stop]) << "stop " << stop;
  EXPECT_LT(reads[1] * 2, reads[0]) << reads[1] << " reads shared, " << reads[0] << " as asked";
}

}  // namespace
}  // namespace zentor
