// The Registers, Locals, Inspect and Callstack windows at stops of VIEWS: what a user
// sees change in their panes (the selected field, the line marks, the lines of an
// expansion or a listing) and what reaches the emulator, after keys, clicks, popup
// commands and the refresh before each input wait.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/program_shell.h"
#include "core/current_viewpoint.h"
#include "core/hi_service.h"
#include "core/dv_error.h"
#include "core/viewpoint_manager.h"
#include "core/value_bytes.h"
#include "core/view_kind.h"
#include "data_window_fixture.h"
#include "gui/gui_window_layer.h"
#include "gui/message_loop.h"
#include "gui/notice_router.h"
#include "gui/shell_services.h"
#include "gui/target_to_gui.h"
#include "gui/window_table.h"
#include "target/agent_requests.h"
#include "target/register_model.h"
#include "target/register_tables.h"
#include "target/tmi_viewpoint.h"
#include "windows/callstack_window.h"
#include "windows/inspector_windows.h"
#include "windows/refresh_pending.h"

namespace zentor {
namespace {

constexpr int32_t kEnter = 13;
constexpr int32_t kUp = 301;
constexpr int32_t kDown = 302;
constexpr int32_t kPageUp = 305;
constexpr int32_t kPageDown = 306;
constexpr int32_t kCtrlEnd = 320;
constexpr int32_t kAltA = 1089;

// The lines that carry the current-line mark.
std::vector<int32_t> MarkedLines(const TextPane& pane) {
  std::vector<int32_t> marked;
  for (int32_t line = 0; pane.lines != nullptr && line < pane.count; ++line) {
    if (pane.lines[line] != nullptr && pane.lines[line]->attr == kCurrentLineMark) marked.push_back(line);
  }
  return marked;
}

std::string LineText(const TextPane& pane, int32_t line) {
  const PaneLine* paneLine = pane.LineAt(line);
  return paneLine != nullptr && paneLine->text != nullptr ? std::string(paneLine->text, paneLine->length) : "";
}

class DataWindowsTest : public testing_support::DataWindowTest {
 protected:
  void PopupCommand(WinSuper* window, int32_t command) {
    WindowEvent event;
    event.type = kEventCommand;
    event.words[0] = command;
    DispatchWindowEvent(window->LayerWindowId(), event);
  }
  static uint32_t Eax() {
    RegisterBlock block;
    block.SetMask(0x7);
    EXPECT_EQ(AgentReadRegisters(0, &block), 0u);
    const RegisterField eax = GeneralRegisterAt(0).m_field;
    return value_bytes::LoadU32(block.Group(eax.m_group) + eax.m_offset);
  }
};

// The first register field is selected at open; a value typed over eax reaches the
// emulator; a text that does not evaluate is refused with its message reported and the
// field shows its value again.
TEST_F(DataWindowsTest, RegistersTakeTypedValues) {
  LoadViews();
  StopAt(":VIEWS#33");
  RefreshPendingWord() = kRefreshPendingRegisters | kRefreshPendingCallstack;
  WinSuper* window = Open(kViewRegisters);
  const TextPane& pane = window->GetTextPane();
  ASSERT_GT(pane.count, 1);
  EXPECT_EQ(pane.top + pane.row, 1);
  EXPECT_EQ(pane.selStart, 6);
  EXPECT_EQ(pane.selLength, 8);
  EXPECT_EQ(RefreshPendingWord(), kRefreshPendingCallstack) << "the window clears its own bit only";

  Click(window, 1, 6);
  for (char c : std::string("00abcdef")) Key(window, c);
  EXPECT_EQ(Eax(), 0xabcdefu);

  const uint32_t before = GetLastErrorNumber();
  Click(window, 1, 6);
  for (char c : std::string("xyz?")) Key(window, c);
  Key(window, kEnter);
  EXPECT_EQ(Eax(), 0xabcdefu);
  EXPECT_NE(GetLastErrorNumber(), 0u);
  EXPECT_NE(GetLastErrorNumber(), before);
  EXPECT_EQ(LineText(pane, 1).substr(6, 8), "00abcdef");
}

// Without a program the Locals window opens empty and says nothing; at a stop exactly
// one line carries the mark after every key, click and refresh, and a double click
// closes an open line and opens it again.
TEST_F(DataWindowsTest, LocalsMarkOneLineAndToggleOnDoubleClick) {
  LastError().Reset();
  WinSuper* window = Open(kViewLocals, 6);
  const TextPane& pane = window->GetTextPane();
  EXPECT_EQ(pane.count, 0);
  EXPECT_EQ(GetLastErrorNumber(), 0u);

  LoadViews();
  StopAt(":VIEWS#33");
  RefreshAllWindows(0);
  ASSERT_GT(pane.count, 1) << "the procedure and its locals";
  EXPECT_EQ(MarkedLines(pane), std::vector<int32_t>{pane.top + pane.row});
  Key(window, kDown);
  EXPECT_EQ(MarkedLines(pane), std::vector<int32_t>{pane.top + pane.row});
  Click(window, 0, 2);
  EXPECT_EQ(MarkedLines(pane), std::vector<int32_t>{0});

  const int32_t open = pane.count;
  DoubleClick(window, 0, 2);
  EXPECT_EQ(pane.count, 1) << "the open procedure line closes";
  DoubleClick(window, 0, 2);
  EXPECT_EQ(pane.count, open);
  EXPECT_EQ(MarkedLines(pane), std::vector<int32_t>{0});

  ASSERT_EQ(Command("go; wait"), 0u);
  RefreshAllWindows(0);
  EXPECT_EQ(MarkedLines(pane).size(), 1u);
}

TEST(DeleteItemTextTest, NamesTheItemOfALine) {
  struct Case {
    const char* line;
    const char* expected;
  };
  const Case cases[] = {
      {"  count = 5", "&Delete <count>"},
      {"- g_shape.corners = {...}", "&Delete <g_shape.corners>"},
      {"+ a_name_of_sixteen = 1", "&Delete <a_name_of_sixte"},
      {"+ fifteen_chars_x = 1", "&Delete <fifteen_chars_x>"},
      {"  Inactive last", "&Delete <last>"},
      {"  trailing   ", "&Delete <trailing>"},
      {"", "&Delete <>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(BuildDeleteItemText(c.line), c.expected);
  }
}

// The Inspect window: an expression that names nothing is reported as 335 with its
// text; a second expression is scrolled into view with its first field selected; the
// popup names the current item; a double click opens and closes an item; deleting the
// last item leaves no lines.
TEST_F(DataWindowsTest, InspectAddsShowsAndDeletesItems) {
  LoadViews();
  StopAt(":VIEWS#33");
  auto* window = static_cast<InspectWindow*>(Open(kViewInspect, 3));
  const TextPane& pane = window->GetTextPane();

  EXPECT_EQ(window->InspectExpression(""), kEmptyInspectText);
  EXPECT_EQ(window->InspectExpression("no_such_name"), 335);
  EXPECT_EQ(GetLastErrorNumber(), 335u);
  ASSERT_EQ(LastError().ArgumentCount(), 1u);
  EXPECT_EQ(std::string(LastError().Argument(0).data()), "no_such_name");
  EXPECT_EQ(pane.count, 0);

  ASSERT_EQ(window->InspectExpression("g_shape"), 0);
  DoubleClick(window, 0, 0);
  const int32_t expanded = pane.count;
  ASSERT_GT(expanded, 3);
  ASSERT_EQ(window->InspectExpression("g_counter"), 0);
  EXPECT_EQ(pane.count, expanded + 1);
  EXPECT_EQ(pane.top + pane.rows, pane.count) << "the last page shows";
  EXPECT_EQ(pane.top + pane.row, pane.count - 1);
  EXPECT_EQ(pane.selStart, pane.lines[pane.count - 1]->fields->FieldSpan(0).start);
  EXPECT_EQ(MarkedLines(pane), std::vector<int32_t>{pane.count - 1});

  system.TakeLog();
  Key(window, kAltA);
  const std::string log = system.TakeLog();
  EXPECT_NE(log.find("\"&Delete <g_counter>\""), std::string::npos) << log;
  EXPECT_NE(log.find("TrackPopupMenu"), std::string::npos) << log;

  PopupCommand(window, 0);
  EXPECT_EQ(pane.count, expanded);
  Click(window, 0, 0);
  Key(window, 319);  // Ctrl+Home
  DoubleClick(window, 0, 0);
  EXPECT_EQ(pane.count, 1) << "the open item closes";
  PopupCommand(window, 0);
  EXPECT_EQ(pane.lines, nullptr);
  EXPECT_EQ(pane.count, 0);
  system.TakeLog();
  Key(window, kAltA);
  EXPECT_NE(system.TakeLog().find("\"&Delete < >\""), std::string::npos);
}

// The Callstack window at Leaf's twenty frames in a window of five rows: Up on the
// first line and Down on the last beep; the page keys move only while the lines do
// not fit; the listing switches and comes back; after a refresh the mark sits on the
// frame the manager reports as current.
TEST_F(DataWindowsTest, CallstackMovesTheCurrentFrame) {
  LoadViews();
  StopAt("Leaf");
  Watch(kViewCallstack);
  auto* window = static_cast<CallstackWindow*>(Open(kViewCallstack, 5));
  const TextPane& pane = window->GetTextPane();
  ASSERT_EQ(pane.count, 20);
  EXPECT_EQ(window->CurrentFrame(), 0);
  EXPECT_EQ(MarkedLines(pane), std::vector<int32_t>{0});
  system.TakeLog();

  Key(window, kUp);
  EXPECT_EQ(Beeps(), 1);
  Key(window, kDown);
  EXPECT_EQ(window->CurrentFrame(), 1);
  EXPECT_EQ(MarkedLines(pane), std::vector<int32_t>{1});
  Key(window, kPageDown);
  EXPECT_GT(window->CurrentFrame(), 1);
  EXPECT_EQ(MarkedLines(pane), std::vector<int32_t>{window->CurrentLine()});
  Key(window, kPageUp);
  Key(window, kCtrlEnd);
  EXPECT_EQ(window->CurrentLine(), 19);
  EXPECT_EQ(pane.top, 15);
  system.TakeLog();
  Key(window, kDown);
  EXPECT_EQ(Beeps(), 1);
  EXPECT_EQ(MarkedLines(pane), std::vector<int32_t>{19});

  TakeRequests();
  Key(window, kEnter);
  EXPECT_EQ(TakeRequests(), std::vector<std::string>{"131"});
  const int32_t compact = pane.count;
  PopupCommand(window, 1);
  std::vector<std::string> requests = TakeRequests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0], "200");
  EXPECT_TRUE(window->Expanded());
  EXPECT_NE(pane.count, compact) << "the expanded listing has more lines";
  PopupCommand(window, 1);
  EXPECT_EQ(pane.count, compact);

  ASSERT_EQ(Command("go; wait"), 0u);  // the next call of Leaf
  RefreshAllWindows(0);
  EXPECT_EQ(window->CurrentFrame(), 0);
  EXPECT_EQ(MarkedLines(pane), std::vector<int32_t>{0});
  EXPECT_EQ(pane.top, 0);

  // All lines fit: the page keys do nothing.
  WinSuper* tall = Open(kViewCallstack, 30);
  Key(tall, kPageDown);
  EXPECT_EQ(static_cast<CallstackWindow*>(tall)->CurrentFrame(), 0);
}

// A viewpoint without frames: Enter beeps and sends nothing.
TEST_F(DataWindowsTest, CallstackWithoutAFrameSendsNothing) {
  constexpr uint32_t kOther = 0x55;
  TmiAddKnownViewpoint(kOther);
  ViewpointManager::AddViewpoint(ViewpointHandle(kOther));
  PushViewpoint(ViewpointHandle(kOther));
  Watch(kViewCallstack);
  auto* window = static_cast<CallstackWindow*>(Open(kViewCallstack, 5));
  EXPECT_EQ(window->CurrentFrame(), -1);
  TakeRequests();
  system.TakeLog();
  Key(window, kEnter);
  EXPECT_EQ(Beeps(), 1);
  EXPECT_TRUE(TakeRequests().empty());
  PopViewpoint();
  WindowTable::DestroyAll();
  ViewpointManager::RemoveViewpoint(ViewpointHandle(kOther));
}

// The engine's notice 0x4b for a kind, through the program's shell: the current
// viewpoint's window of that kind asks its manager again (0x5a), the same kind's
// window of another viewpoint does not, and a kind without a window gets nothing.
TEST_F(DataWindowsTest, AKindsNoticeReachesTheCurrentViewpointsWindow) {
  constexpr uint32_t kOther = 0x55;
  LoadViews();
  StopAt(":VIEWS#33");
  TmiAddKnownViewpoint(kOther);
  ViewpointManager::AddViewpoint(ViewpointHandle(kOther));
  Watch(kViewCallstack);
  Open(kViewCallstack, 5);
  PushViewpoint(ViewpointHandle(kOther));
  Open(kViewCallstack, 5);
  PopViewpoint();
  ProgramShell program;
  InstallGuiShell(&program);
  SetConsoleMode(false);
  InstallShellServices();
  TakeRequests();

  NotifyGui(kViewCallstack, 0, kNoticeViewpointWindow, nullptr);
  EXPECT_EQ(TakeRequests(), std::vector<std::string>{std::to_string(kGuiEngineNotice)});
  NotifyGui(kViewRegisters, 0, kNoticeViewpointWindow, nullptr);
  EXPECT_TRUE(TakeRequests().empty());

  SetNoticeHandler(NoticeTarget::kViewpointWindow, nullptr);
  InstallFrameControls(nullptr);
  SetUserActivityHook(nullptr);
  SetConsoleMode(true);
  InstallGuiShell(nullptr);
  WindowTable::DestroyAll();
  ViewpointManager::RemoveViewpoint(ViewpointHandle(kOther));
}

}  // namespace
}  // namespace zentor
