// Entry of every test program: alerts go to stderr and never wait for an answer,
// so no test can block on a message box under Wine.
#include <gtest/gtest.h>

#include "platform/alert.h"

int main(int argc, char** argv) {
  zentor::platform::SetAlertMode(zentor::platform::AlertMode::Console);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
