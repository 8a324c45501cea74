// The source pane against the stand-in agent running the DEMO sample, its symbol file
// loaded at connection and its sources along the search path: a Source window opened
// where the thread stopped shows the source around the location with the execution
// mark on the stop's line, and follows the thread after an instruction step.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "harness/agent_process.h"
#include "harness/pane_dump.h"
#include "harness/stand_in_session.h"
#include "harness/transcript.h"
#include "scripted_line.h"
#include "source_pane_test_support.h"

#include "command/command_arguments.h"
#include "engine/engine_services.h"
#include "core/current_viewpoint.h"
#include "core/program_counter.h"
#include "core/viewpoint_manager.h"
#include "platform/user_break.h"
#include "symbols/load_driver.h"
#include "symbols/loader_library.h"
#include "symbols/search_path.h"
#include "symbols/symbol_context.h"
#include "target/agent_link.h"
#include "target/breakpoint_slots.h"
#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/run_control.h"
#include "target/target_gui.h"
#include "target/target_services.h"
#include "target/target_state.h"
#include "target/tmi_memory.h"
#include "target/tmi_session.h"
#include "target/tmi_symbol_load.h"

namespace zentor {
namespace {

constexpr uint32_t kThread = 0;
constexpr int32_t kRows = 12;
constexpr auto kStopDeadline = std::chrono::seconds(60);

class SourcePaneAgentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetLinkState();
    testing_support::SetOfflineSession(false);
    InstallTargetServices();
    InstallEngineServices();
    platform::TakeUserBreak();
    SourceEngine().Install(&m_engine);
  }
  void TearDown() override {
    m_window.Close();
    SourceEngine().Install(nullptr);
    TargetStatus status;
    TmiDisconnect(&status, 0);
    testing_support::ResetLinkState();
    ResetTargetState();
    ResetRegisterModel();
    ResetTmiOptions();
    ResetKnownModules();
    ResetCommandArguments();
    ResetSymbolLoad();
    testing_support::ForgetProgramAndViewpoints(kThread);
    SetSearchPath("", 1);
    testing_support::SetOfflineSession(true);
    platform::TakeUserBreak();
    m_agent.Stop();
  }

  // The agent with DEMO; the symbol file and the sources along the global path, so
  // that the connection loads DEMO.SYM.
  void Connect() {
    if (testing_support::AgentProgramPath().empty()) GTEST_SKIP() << "the stand-in agent is not built here";
    m_symbols = testing_support::SampleModuleSymbols("demo");
    ASSERT_NE(m_symbols.count("main"), 0u);
    const std::string path =
        testing_support::HostPathOfUnixPath(testing_support::SampleModulesDirectory()) + " " + std::string(ZENTOR_SAMPLE_SOURCES_DIR);
    SetSearchPath(path.c_str(), 1);
    std::string error;
    ASSERT_TRUE(m_agent.Start({"--module", testing_support::SampleModulesDirectory() + "demo.mod"}, &error)) << error;
    TargetStatus status;
    const std::string link = m_agent.UdpLinkName();
    const char* slot[] = {"-ip", link.c_str(), nullptr};
    uint32_t result = 0;
    ASSERT_EQ(TmiHandleOption(&status, 0, 0, slot, &result), 0u);
    TmiNotify(&status, 0, 3, nullptr);
    ASSERT_TRUE(TheAgentLink().IsOpen());
    ASSERT_EQ(SymbolTableLoaded(), 1u) << "DEMO.SYM along the path";
  }

  // A breakpoint of the target at the address, a go, and the stop handled.
  void RunTo(uint32_t address) {
    BreakpointRequest request;
    request.m_operation = kBreakpointAdd;
    request.m_address.m_addressClass = kAddressClassMemory;
    request.m_address.m_addressKind = kAddressKindMemoryOffset;
    request.m_address.m_offset = address;
    request.m_enabled = 1;
    TargetStatus status;
    ASSERT_EQ(TmiBreakpointOperation(&status, kThread, &request), 0u);
    ASSERT_EQ(TmiExecute(&status, kThread, kExecuteGo, nullptr), 0u);
    WaitForStop();
    request.m_operation = kBreakpointDelete;
    ASSERT_EQ(TmiBreakpointOperation(&status, kThread, &request), 0u);
    ShowStop();
  }
  void WaitForStop() {
    const auto deadline = std::chrono::steady_clock::now() + kStopDeadline;
    while (TgtIsBusy(kThread)) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the target did not stop";
      TmiPollEvents(kThread);
    }
  }
  // What the stop report does for the windows: the program counter becomes the
  // current address.
  void ShowStop() {
    InvalidateRegisterCache();
    GetCurrentSymbolContext()->SetCurrentAddress(ProgramCounterRegister::Read());
  }

  testing_support::AgentProcess m_agent;
  testing_support::RecordingEngine m_engine;
  testing_support::SourceWindow m_window{kRows};
  std::map<std::string, uint32_t> m_symbols;
};

TEST_F(SourcePaneAgentTest, StopShowsTheSourceAndFollowsASteppedThread) {
  Connect();
  if (IsSkipped() || HasFatalFailure()) return;
  RunTo(m_symbols["f"]);
  if (HasFatalFailure()) return;
  m_window.Open();
  const int32_t stop = m_window.ExecutionIndex();
  ASSERT_GE(stop, 0);
  EXPECT_NE(m_window.Text(stop).find("int f(int n, int square) {"), std::string::npos);
  EXPECT_TRUE(testing_support::MatchesGolden(
      std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "engine" / "source_pane" / "agent_stop_in_f.golden",
      testing_support::DumpPane(m_window.m_pane)));
  // Instruction steps through f's entry to the first line of its body: the mark
  // moves, the lines stay.
  const int32_t top = m_window.m_pane.top;
  TargetStatus status;
  uint32_t done = 0;
  StopRecord record;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(TmiStep(&status, kThread, kStepInto, 1, &done, &record), 0u);
  ShowStop();
  EXPECT_EQ(m_window.Send(kPaneRefresh), 0);
  const int32_t next = m_window.ExecutionIndex();
  ASSERT_GE(next, 0);
  EXPECT_NE(m_window.Text(next).find("int result = g(n, square);"), std::string::npos);
  EXPECT_EQ(m_window.m_pane.top, top);
}

}  // namespace
}  // namespace zentor
