#include "platform/alert.h"

#include <gtest/gtest.h>

namespace zentor::platform {
namespace {

// A console alert must answer without waiting and must never ask for a retry or an
// abort: the memory manager would loop or end the program on those answers.
TEST(Alert, ConsoleAnswersLetTheProgramGoOn) {
  ASSERT_EQ(GetAlertMode(), AlertMode::Console);
  struct Case { const char* name; AlertButtons buttons; AlertAnswer expected; };
  const Case cases[] = {
      {"ok", AlertButtons::Ok, AlertAnswer::Ok},
      {"ok-cancel", AlertButtons::OkCancel, AlertAnswer::Ok},
      {"abort-retry-ignore", AlertButtons::AbortRetryIgnore, AlertAnswer::Ignore},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::internal::CaptureStderr();
    AlertRequest request;
    request.title = "Title";
    request.text = "Some text";
    request.buttons = c.buttons;
    EXPECT_EQ(ShowAlert(request), c.expected);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Title: Some text\n");
  }
}

}  // namespace
}  // namespace zentor::platform
