// A session of the whole program run to its end, then ResetDebugSession: the process
// is left as it was before the session, whatever the session defined, opened or left
// half done, so that many sessions can run in one process (the fuzz drivers, the
// whole-program tests).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/session_reset.h"
#include "command/debug_variables.h"
#include "core/current_viewpoint.h"
#include "core/memory_file.h"
#include "core/viewpoint_manager.h"
#include "harness/session/loop_session.h"
#include "symbols/page_cache.h"
#include "symbols/symbol_context.h"
#include "target/tmi_viewpoint.h"

namespace zentor {
namespace {

TEST(SessionResetTest, ASessionLeavesNoMemoryFilesNorDebugVariablesBehind) {
  testing_support::ScratchDirectory directory("session-reset");
  const struct {
    const char* name;
    const char* input;
  } cases[] = {
      {"definitions", "define proc p() { halt }\ndefine proc q() { p(); wait }\n"},
      {"nested blocks left open", "while (1) { if (1) {\n"},
      {"a log and search paths", "log session.log\nspath = one two\nglobalpath += three\n"},
      {"debug variables and an expression left open", "define int4 v = 5\ndefine ord2 w = v * 2\n? (v +\n"},
  };
  // What start-up makes once for the process (the reader's buffers, the value stack)
  // is there after the first session.
  bool ended = false;
  (void)testing_support::RunProgramSession(directory, {"zentor", "-nomr", "-test"}, "", &ended);
  ResetDebugSession();
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const uint32_t before = LiveMemoryFileCount();
    const std::string output = testing_support::RunProgramSession(directory, {"zentor", "-nomr", "-test"},
                                                                  test.input, &ended);
    ResetDebugSession();
    EXPECT_TRUE(ended) << output;
    EXPECT_EQ(LiveMemoryFileCount(), before) << output;
    EXPECT_EQ(LiveDebugVariableCount(), 0u) << output;
  }
}

// Viewpoints that share one program's tables (each thread of a server sees the
// symbols of every module) each own a context of their own: the reset frees every one
// of them once, and the shared tables, with their cache file, with the last.
TEST(SessionResetTest, EveryViewpointsSymbolContextIsFreedOnce) {
  GetDefaultSymbolContext();  // made once for the process, with its own cache file
  const uint32_t filesBefore = OpenTemporaryPageFileCount();
  for (uint32_t value : {0x51u, 0x52u, 0x53u}) {
    TmiAddKnownViewpoint(value);
    ViewpointManager::AddViewpoint(ViewpointHandle(value));
  }
  std::vector<uint64_t> serials;
  for (uint32_t value : {0x51u, 0x52u}) {
    PushViewpoint(ViewpointHandle(value));
    SetCurrentSymbolContext_Checked(SymbolContext::CreateForViewpoint().release());
    PopViewpoint();
    serials.push_back(ViewpointManager::SymbolContextOf(ViewpointHandle(value))->Serial());
  }
  ViewpointManager::CopySymbolContextToOthers(ViewpointHandle(0x51));
  SymbolContext* source = ViewpointManager::SymbolContextOf(ViewpointHandle(0x51));
  SymbolContext* other = ViewpointManager::SymbolContextOf(ViewpointHandle(0x52));
  ASSERT_EQ(other, SymbolContext::Live(serials[1])) << "the other keeps its own context";
  ASSERT_EQ(&other->Loader(), &source->Loader());
  ASSERT_EQ(OpenTemporaryPageFileCount(), filesBefore + 1) << "the other's own tables went";
  ASSERT_EQ(ViewpointManager::SymbolContextOf(ViewpointHandle(0x53)), nullptr);

  ResetDebugSession();
  for (uint64_t serial : serials) EXPECT_EQ(SymbolContext::Live(serial), nullptr);
  EXPECT_EQ(OpenTemporaryPageFileCount(), filesBefore);
  EXPECT_EQ(ViewpointManager::Count(), 0u);
}

}  // namespace
}  // namespace zentor
