// The status line of the current viewpoint: composed to 80 columns with the event
// text at its end, transient texts over the persistent one, and errors shown in it.
#include "core/status_line.h"

#include <gtest/gtest.h>

#include <string>

#include "core/collectable_record.h"
#include "core/core_test_support.h"
#include "core/hi_service.h"

namespace zentor {
namespace {

using testing_support::ChangeWatch;
using testing_support::CoreTestEnvironment;

constexpr uint32_t kViewpoint = 0x51;

class StatusLineTest : public CoreTestEnvironment {
 protected:
  void SetUp() override {
    CoreTestEnvironment::SetUp();
    ResetStatusLine();
    AddViewpoint(kViewpoint);
    PushViewpoint(ViewpointHandle(kViewpoint));
  }
  void TearDown() override {
    SetConsoleMode(m_wasConsole);
    ResetStatusLine();
    CoreTestEnvironment::TearDown();
  }

  static std::string Line() { return ViewpointManager::StatusTextOf(ViewpointHandle(kViewpoint)).data(); }

  bool m_wasConsole = IsConsoleMode();
};

TEST_F(StatusLineTest, LineIsCutToItsColumnsWithTheEventTextAtTheEnd) {
  const std::string caption70 = std::string(60, 'c') + "0123456789";
  struct Case {
    const char* name;
    std::string text;
    const char* event;
    std::string line;
  };
  const Case cases[] = {
      {"70-character caption", caption70, "RUNNING", caption70.substr(0, 65) + " RUNNING"},
      {"short caption, no event", "Mod: main", "", "Mod: main" + std::string(70, ' ')},
      {"long event text keeps 13 columns", "x", "Thread exited long ago",
       "x" + std::string(65, ' ') + std::string("Thread exited long ago").substr(0, 13)},
      {"300 characters", std::string(300, 'p'), "", std::string(65, 'p') + std::string(14, ' ')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ViewpointManager::SetEventText(ViewpointHandle(kViewpoint), RWCString(c.event));
    SetStatusText(c.text.c_str());
    EXPECT_EQ(Line(), c.line);
    EXPECT_EQ(PersistentStatusText(), c.text.substr(0, kMaxStatusTextLength));
    EXPECT_LE(Line().size(), kStatusLineWidth - 1);
  }
}

TEST_F(StatusLineTest, TransientTextsCoverThePersistentOneUntilItComesBack) {
  ChangeWatch status(kRecordStatusLine);
  SetConsoleMode(true);
  SetStatusText("caption");
  const std::string captionLine = Line();

  ShowStatusMessage("--more--");
  EXPECT_EQ(Line(), "--more--") << "a message stands as it is";
  EXPECT_TRUE(StatusLineTransient());
  EXPECT_TRUE(status.Changed());
  RestoreStatusText();
  EXPECT_EQ(Line(), captionLine);
  EXPECT_FALSE(StatusLineTransient());
  ShowStatusMessage("again");
  RestoreStatusText();
  RestoreStatusText();
  EXPECT_EQ(Line(), captionLine) << "a second restore changes nothing";

  // A progress text stays after the restore, until the next caption.
  ShowProgressText("Loading global symbols....");
  EXPECT_EQ(Line().substr(0, 26), "Loading global symbols....");
  RestoreStatusText();
  EXPECT_EQ(Line().substr(0, 26), "Loading global symbols....");
  EXPECT_EQ(PersistentStatusText(), "caption");
  SetStatusText("next");
  EXPECT_EQ(Line().substr(0, 5), "next ");

  // A viewpoint that becomes current brings its own line back as the persistent text.
  ViewpointManager::SetStatusText(ViewpointHandle(kViewpoint), RWCString("its own"));
  ResetStatusTextForViewpoint();
  EXPECT_EQ(PersistentStatusText(), "its own");
  EXPECT_EQ(Line(), "its own") << "without a repaint";
}

// Display mode 1: the status line in GUI mode; by focus (command output) in console
// mode, which has no status line.
TEST_F(StatusLineTest, ErrorsOfDisplayModeOneGoToTheStatusLine) {
  struct Case {
    const char* name;
    bool console;
    bool printed;
  };
  const Case cases[] = {{"GUI mode", false, false}, {"console mode", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetConsoleMode(c.console);
    SetStatusText("caption");
    TakeOutput();
    DVError error(324, kSeverityWarning, kDisplayStatusLine);
    error.Report();
    const std::string text = "No user program loaded. Cannot perform symbol table request.";
    EXPECT_EQ(TakeOutput().find(text) != std::string::npos, c.printed);
    EXPECT_EQ(Line() == text, !c.printed);
    EXPECT_EQ(LastError().Number(), 324u);
    RestoreStatusText();
  }
}

}  // namespace
}  // namespace zentor
