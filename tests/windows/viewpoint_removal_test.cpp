// Removing a viewpoint against DEMO on the stand-in agent, beside the thread's own
// viewpoint: what the removed one held goes (its breakpoints, its watches, its
// windows, its own symbol context) and what the others hold stays; the program's
// tables it shared stay in use by the others (the sanitizers see a context or tables
// used after they went, or lost), and a target that refuses to clear its breakpoints
// costs a report, not the removal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/current_viewpoint.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "engine/breakpoint_table.h"
#include "engine/watch_table.h"
#include "gui/window_table.h"
#include "symbols/symbol_context.h"
#include "target/module_symbols.h"
#include "target/target_state.h"
#include "target/tmi_viewpoint.h"
#include "debugger_windows_fixture.h"

namespace zentor {
namespace {

constexpr uint32_t kSharing = 0x77;  // shares the thread's program
constexpr uint32_t kAlone = 0x78;    // has a program of its own (none loaded)
constexpr uint32_t kBusy = 0x79;     // shares it too; its target refuses to clear its breakpoints

class ViewpointRemovalTest : public testing_support::DebuggerWindowsTest {
 protected:
  static void Add(uint32_t value) {
    TmiAddKnownViewpoint(value);
    ViewpointManager::AddViewpoint(ViewpointHandle(value));
  }
  // Runs the command lines with the viewpoint current, as after choosing it.
  static void RunIn(uint32_t value, const std::vector<std::string>& lines) {
    ViewpointManager::SelectViewpoint(ViewpointManager::FindIndexByHandle(ViewpointHandle(value)));
    for (const std::string& line : lines) EXPECT_EQ(testing_support::RunCommandLine(line), 0u) << line;
  }
  // The breakpoints and watches the engine holds for the viewpoint: "br[0]", "wa[1]".
  static std::vector<std::string> HeldBy(uint32_t value) {
    std::vector<std::string> held;
    BreakpointTable& table = BreakpointTable::Instance();
    table.ResetCursors();
    BreakpointRecord record;
    while (table.Next(&record) != 0) {
      if (record.m_viewpoint == value) held.push_back(record.Name().data());
    }
    for (uint32_t slot = 0; slot < kWatchSlotCount; ++slot) {
      if (WatchTable::StateOf(slot) != kWatchFree && WatchTable::ViewpointOf(slot) == value) {
        held.push_back("wa[" + std::to_string(slot) + "]");
      }
    }
    return held;
  }
};

TEST_F(ViewpointRemovalTest, WhatTheViewpointHeldGoesWithItAndWhatOthersHoldStays) {
  OR_RETURN(ConnectToDemo());
  const uint32_t thread = m_viewpoint;
  for (uint32_t value : {kSharing, kBusy}) {
    Add(value);
    RunIn(value, {});
    SetCurrentSymbolContext_Checked(SymbolContext::CreateForViewpoint().release());
  }
  TmiShareSymbolContext(thread);
  ASSERT_EQ(&ViewpointManager::SymbolContextOf(ViewpointHandle(kSharing))->Loader(),
            &ViewpointManager::SymbolContextOf(ViewpointHandle(thread))->Loader());
  Add(kAlone);
  RunIn(kAlone, {});
  SetCurrentSymbolContext_Checked(SymbolContext::CreateForViewpoint().release());
  const uint64_t shared = ViewpointManager::SymbolContextOf(ViewpointHandle(thread))->Serial();
  const uint64_t sharing = ViewpointManager::SymbolContextOf(ViewpointHandle(kSharing))->Serial();
  const uint64_t alone = ViewpointManager::SymbolContextOf(ViewpointHandle(kAlone))->Serial();

  RunIn(thread, {"br = f", "wa = g_color"});
  RunIn(kSharing, {"br = main", "cb = f if (1)", "wa = &g_divisor"});
  RunIn(kAlone, {"wa = 1+2"});
  RunIn(kBusy, {"br = main", "wa = g_origin"});
  m_viewpoint = kSharing;
  const int32_t sharingWatch = Open(kViewWatch)->LayerWindowId();
  m_viewpoint = thread;
  const int32_t threadWatch = Open(kViewWatch)->LayerWindowId();
  ASSERT_EQ(HeldBy(kSharing), (std::vector<std::string>{"br[1]", "cb[0]", "wa[1]"}));
  const std::vector<std::string> threadHolds{"br[0]", "wa[0]"};
  ASSERT_EQ(HeldBy(thread), threadHolds);
  RunIn(thread, {});
  const std::string sizeOfSquares = testing_support::PrintedByCommandLine("? sizeof(g_squares)");
  ASSERT_EQ(sizeOfSquares.find("ERROR"), std::string::npos) << sizeOfSquares;

  ViewpointManager::RemoveViewpoint(ViewpointHandle(kSharing));
  EXPECT_TRUE(HeldBy(kSharing).empty());
  EXPECT_EQ(WindowTable::Get(sharingWatch), nullptr);
  EXPECT_NE(WindowTable::Get(threadWatch), nullptr);
  EXPECT_EQ(HeldBy(thread), threadHolds);
  ViewpointManager::ApplyPendingSelection();
  EXPECT_EQ(GetCurrentViewpointValue(), thread);
  // The removed viewpoint's own context goes; the tables it shared serve the thread's
  // viewpoint still.
  EXPECT_EQ(SymbolContext::Live(sharing), nullptr);
  EXPECT_NE(SymbolContext::Live(shared), nullptr);
  EXPECT_EQ(testing_support::PrintedByCommandLine("? sizeof(g_squares)"), sizeOfSquares);
  EXPECT_EQ(TakeReportedError(), 0u);

  ViewpointManager::RemoveViewpoint(ViewpointHandle(kAlone));
  EXPECT_TRUE(HeldBy(kAlone).empty());
  EXPECT_EQ(SymbolContext::Live(alone), nullptr) << "a context no viewpoint holds is freed";
  EXPECT_NE(SymbolContext::Live(shared), nullptr);
  EXPECT_EQ(TakeReportedError(), 0u);

  // The target takes no breakpoint change from a viewpoint that runs.
  TgtSetRunState(kBusy, kRunStateGo);
  ViewpointManager::RemoveViewpoint(ViewpointHandle(kBusy));
  EXPECT_NE(TakeReportedError(), 0u);
  EXPECT_TRUE(HeldBy(kBusy).empty());
  EXPECT_EQ(HeldBy(thread), threadHolds);
  EXPECT_EQ(ViewpointManager::Count(), 1u);
  ViewpointManager::ApplyPendingSelection();
  EXPECT_EQ(testing_support::PrintedByCommandLine("? sizeof(g_squares)"), sizeOfSquares);
}

}  // namespace
}  // namespace zentor
