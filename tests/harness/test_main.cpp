// Entry of every test program: alerts go to stderr and never wait for an answer,
// so no test can block on a message box under Wine; sessions of the program run
// without an agent unless a test connects one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "harness/agent_process.h"
#include "platform/alert.h"

#include <unistd.h>

namespace {

bool g_testsEnded = false;

// The program's own end (ExitProgram, after a failed connect, say) calls exit(0) in
// the middle of a test when no session has taken it over: the test program would
// end "passed" without its remaining tests or its report. It ends failed instead,
// saying so. A death test's child ends as its test expects.
void EndedInsideATest() {
  if (g_testsEnded || testing::internal::InDeathTestChild()) return;
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::fprintf(stderr, "\nthe program ended itself (exit) inside %s.%s: the test program fails\n",
               test != nullptr ? test->test_suite_name() : "no test", test != nullptr ? test->name() : "");
  std::fflush(stderr);
  _exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  zentor::platform::SetAlertMode(zentor::platform::AlertMode::Console);
  zentor::testing_support::SetOfflineSession(true);
  testing::InitGoogleTest(&argc, argv);
  std::atexit(&EndedInsideATest);
  const int result = RUN_ALL_TESTS();
  g_testsEnded = true;
  return result;
}
