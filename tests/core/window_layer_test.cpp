#include "core/window_layer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/message_table.h"

namespace zentor {
namespace {

TEST(WindowLayerTest, LoadResourceStringIsBoundedByTheBuffer) {
  const std::string text35 = "The name <%s> is undefined.";
  struct Case {
    const char* name;
    uint32_t number;
    uint32_t size;
    const char* expected;
  };
  const Case cases[] = {
      {"whole text", 35, 256, "The name <%s> is undefined."},
      {"exactly fits", 35, 28, "The name <%s> is undefined."},
      {"one short", 35, 27, "The name <%s> is undefined"},
      {"one byte holds only the NUL", 35, 1, ""},
      {"no text", 400, 256, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[300];
    std::memset(buffer, '#', sizeof buffer);
    uint32_t length = WindowLayer::LoadResourceString(c.number, buffer, c.size);
    EXPECT_STREQ(buffer, c.expected);
    EXPECT_EQ(length, std::strlen(c.expected));
    EXPECT_EQ(buffer[c.size], '#');
  }
  char untouched = '#';
  EXPECT_EQ(WindowLayer::LoadResourceString(35, &untouched, 0), 0u);
  EXPECT_EQ(untouched, '#');
}

TEST(WindowLayerTest, ConsoleHasNoWindowsAndBeepFollowsItsSwitch) {
  class CountingBackend : public WindowLayerBackend {
   public:
    int32_t GetFocusWindow() override { return 4; }
    int32_t GetWindowType(int32_t) override { return kWindowTypeModalDialog; }
    int32_t ShowMessageBox(int32_t, uint32_t, const char*, const char*) override { return kMessageBoxAnswerNo; }
    void Beep() override { ++beeps; }
    int beeps = 0;
  };
  EXPECT_EQ(WindowLayer::GetFocusWindow(), -1);
  EXPECT_EQ(WindowLayer::GetWindowType(0), -1);

  CountingBackend backend;
  EXPECT_EQ(WindowLayer::SetBackend(&backend), nullptr);
  EXPECT_EQ(WindowLayer::GetFocusWindow(), 4);
  WindowLayer::Beep();
  WindowLayer::SetBeepEnabled(false);
  WindowLayer::Beep();
  WindowLayer::SetBeepEnabled(true);
  EXPECT_EQ(backend.beeps, 1);
  EXPECT_EQ(WindowLayer::ShowMessageBox(-1, kMessageBoxYesNo, "q"), kMessageBoxAnswerNo);
  EXPECT_EQ(WindowLayer::SetBackend(nullptr), &backend);
  EXPECT_EQ(WindowLayer::GetFocusWindow(), -1);
}

}  // namespace
}  // namespace zentor
