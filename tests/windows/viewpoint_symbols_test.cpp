// The symbols of a module the server loads reach every viewpoint that has a symbol
// context, against DEMO on the stand-in agent: the load command makes the agent load
// HELLO, whose load event loads HELLO.SYM into the thread's program and hands its
// tables to the others. A viewpoint with a context of its own then finds HELLO's
// symbols and keeps its own context and search path; one without a context stays
// without. The sanitizers see a context or tables freed twice, or lost.
#include <gtest/gtest.h>

#include <string>

#include "command/command_arguments.h"
#include "core/current_viewpoint.h"
#include "core/token_record.h"
#include "core/viewpoint_manager.h"
#include "debugger_windows_fixture.h"
#include "symbols/symbol_context.h"
#include "target/module_symbols.h"
#include "target/tmi_viewpoint.h"

namespace zentor {
namespace {

constexpr uint32_t kOwnContext = 0x77;  // a viewpoint with a symbol context of its own
constexpr uint32_t kNoContext = 0x78;   // a viewpoint without one

class ViewpointSymbolsTest : public testing_support::DebuggerWindowsTest {
 protected:
  static void Add(uint32_t value) {
    TmiAddKnownViewpoint(value);
    ViewpointManager::AddViewpoint(ViewpointHandle(value));
  }
  static void Select(uint32_t value) {
    ViewpointManager::SelectViewpoint(ViewpointManager::FindIndexByHandle(ViewpointHandle(value)));
  }
  static SymbolContext* ContextOf(uint32_t value) { return ViewpointManager::SymbolContextOf(ViewpointHandle(value)); }
};

TEST_F(ViewpointSymbolsTest, AModuleLoadedOnTheServerShowsItsSymbolsInEveryViewpointWithAContext) {
  // HELLO within reach of the agent's load.
  OR_RETURN(ConnectToDemo({"--module-dir", testing_support::SampleModulesDirectory()}));
  const uint32_t thread = m_viewpoint;
  Add(kOwnContext);
  Add(kNoContext);
  Select(kOwnContext);
  SetCurrentSymbolContext_Checked(SymbolContext::CreateForViewpoint().release());
  ContextOf(kOwnContext)->SourcePathList() = RWCString("c:\\own");
  const uint64_t ownSerial = ContextOf(kOwnContext)->Serial();
  const std::string missing = testing_support::PrintedByCommandLine("? sizeof(g_greeted)");
  ASSERT_NE(missing.find("ERROR"), std::string::npos) << "HELLO is not loaded yet: " << missing;

  // The thread runs on after the load, to DEMO's breakpoint.
  Select(thread);
  ASSERT_EQ(testing_support::RunCommandLine("br = Divide"), 0u);
  // What "load hello" does: the agent loads HELLO and the thread runs on.
  SetTokenText(CurrentToken(), "hello");
  TakeFileNameArgument();
  SymLoadModuleOnServer();
  WaitForStopAndRefresh();
  const std::string inThread = testing_support::PrintedByCommandLine("? sizeof(g_greeted)");
  ASSERT_EQ(inThread.find("ERROR"), std::string::npos) << inThread;
  const std::string demoInThread = testing_support::PrintedByCommandLine("? sizeof(g_squares)");

  Select(kOwnContext);
  EXPECT_EQ(testing_support::PrintedByCommandLine("? sizeof(g_greeted)"), inThread);
  EXPECT_EQ(testing_support::PrintedByCommandLine("? sizeof(g_squares)"), demoInThread) << "DEMO's symbols too";
  EXPECT_EQ(ContextOf(kOwnContext), SymbolContext::Live(ownSerial)) << "its own context object";
  EXPECT_NE(ContextOf(kOwnContext), ContextOf(thread));
  EXPECT_EQ(std::string(ContextOf(kOwnContext)->SourcePathList().AsText().data()), "c:\\own");
  EXPECT_EQ(ContextOf(kNoContext), nullptr);
  EXPECT_EQ(TakeReportedError(), 0u);

  // Removing the viewpoint frees its context and leaves the tables to the thread.
  ViewpointManager::RemoveViewpoint(ViewpointHandle(kOwnContext));
  EXPECT_EQ(SymbolContext::Live(ownSerial), nullptr);
  ViewpointManager::ApplyPendingSelection();
  Select(thread);
  EXPECT_EQ(testing_support::PrintedByCommandLine("? sizeof(g_greeted)"), inThread);
}

}  // namespace
}  // namespace zentor
