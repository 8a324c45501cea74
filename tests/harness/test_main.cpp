// Entry of every test program: alerts go to stderr and never wait for an answer,
// so no test can block on a message box under Wine; sessions of the program run
// without an agent unless a test connects one.
#include <gtest/gtest.h>

#include "harness/agent_process.h"
#include "platform/alert.h"

int main(int argc, char** argv) {
  zentor::platform::SetAlertMode(zentor::platform::AlertMode::Console);
  zentor::testing_support::SetOfflineSession(true);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
