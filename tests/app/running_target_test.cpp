// The target while it runs, against the stand-in agent running SPIN, whose thread ends
// in a loop no breakpoint ends: a go returns at once and leaves the viewpoint running,
// a second go is refused, a wait polls until Ctrl+C (which leaves the target running)
// and a halt stops the loop with its report; a halted thread goes again.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "command/action_table.h"
#include "core/current_viewpoint.h"
#include "core/token_record.h"
#include "core/viewpoint_manager.h"
#include "engine/engine_services.h"
#include "engine/execution_control.h"
#include "harness/stand_in_session.h"
#include "platform/user_break.h"
#include "target/module_symbols.h"
#include "target/target_state.h"

namespace zentor {
namespace {

// A hang limit for the agent's first sign of the wait, far beyond a busy machine's.
constexpr auto kWaitSeenLimit = std::chrono::seconds(60);

class RunningTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::TakeUserBreak();
    const std::string directory = testing_support::SampleModulesDirectory();
    std::string reason = "no sample modules here";
    if (directory.empty() || !m_session.Connect({"--module", directory + "spin.mod"}, &reason)) {
      GTEST_SKIP() << reason;
    }
    testing_support::BindCommandsForStandIn();
    SetTokenText(CurrentToken(), (testing_support::HostPathOfUnixPath(directory) + "spin").c_str());
    SymLoadNamedModule();
  }
  void TearDown() override {
    platform::TakeUserBreak();
    ResetEngineState();
    ActionTable::ResetToDefaults();
  }
  static uint32_t Command(const std::string& text) { return testing_support::RunCommandLine(text); }
  // The get-event requests the agent has had so far: the wait's polls.
  size_t EventRequests() {
    size_t count = 0;
    for (const std::string& line : m_session.Agent().TraceLines("")) {
      if (line.find(" command=0x05") != std::string::npos) ++count;
    }
    return count;
  }
  static std::string Printed(const std::string& text) { return testing_support::PrintedByCommandLine(text); }
  // What the prompt shows: '?' while the viewpoint runs.
  static bool Running() {
    return ViewpointManager::RunStateOf(CurrentViewpoint()) == ViewpointManager::kRunStateRunning;
  }

  testing_support::StandInSession m_session;
};

// Each step's printed text and the run state it leaves; the wait is cut short by a
// Ctrl+C raised once the agent has seen it poll (a break raised before the command
// began would end the command line and not the wait), and the halt finds the thread
// in the loop's one instruction (line 13).
TEST_F(RunningTargetTest, GoWaitHaltAndGoAgain) {
  const std::string halted = "[ Break due to Halt at :SPIN#13 ]\n";
  ASSERT_EQ(Printed("go forever"), "");
  EXPECT_TRUE(Running());
  EXPECT_TRUE(TgtIsBusy(GetCurrentViewpointValue()));
  EXPECT_EQ(Printed("go"), "ERROR " + std::to_string(kMsgToolExecuting));
  EXPECT_TRUE(Running()) << "the refused go leaves the target running";

  const size_t polls = EventRequests();
  std::atomic<bool> raised{false};
  std::thread hand([&] {
    const auto deadline = std::chrono::steady_clock::now() + kWaitSeenLimit;
    while (EventRequests() == polls && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    raised = true;
    platform::RaiseUserBreak();
  });
  const std::string waited = Printed("wait");
  const bool endedAfterTheBreak = raised;
  hand.join();
  EXPECT_EQ(waited, "");
  EXPECT_TRUE(endedAfterTheBreak) << "the wait ended before the break";
  EXPECT_TRUE(Running()) << "Ctrl+C ends the wait, not the run";
  EXPECT_FALSE(platform::IsUserBreakPending()) << "the wait took the break";

  EXPECT_EQ(Printed("halt"), halted);
  EXPECT_FALSE(Running());
  EXPECT_FALSE(TgtIsBusy(GetCurrentViewpointValue()));
  EXPECT_EQ(Printed("wait"), "") << "a wait returns at once when nothing runs";
  EXPECT_EQ(Printed("halt"), "") << "a halt leaves a stopped thread as it is";
  EXPECT_EQ(Printed("? g_laps"), "2\n");

  ASSERT_EQ(Printed("go"), "") << "a halted thread goes again";
  EXPECT_TRUE(Running());
  EXPECT_EQ(Printed("halt"), halted);
  EXPECT_FALSE(Running());
}

}  // namespace
}  // namespace zentor
