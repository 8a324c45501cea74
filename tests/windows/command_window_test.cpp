// The Command window as the window factory builds it and the router drives it, over
// the recording window layer read back as a screen: closing and opening it again keeps
// its text and input column, its size tells the command language its width and rows,
// the line editor's notice reaches it through the notice router, the prompt follows
// the current viewpoint (and greys the run-control commands of a running one), and a
// dialog's command text runs cut and ended by a carriage return.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "command/command_scanner.h"
#include "command/postfix_executor.h"
#include "console/char_channel.h"
#include "console/line_editor.h"
#include "console/command_reader.h"
#include "console/console_bridge.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/current_viewpoint.h"
#include "core/hi_service.h"
#include "core/key_queue.h"
#include "core/memory_file.h"
#include "core/status_line.h"
#include "core/value_stack.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "gui/command_runner.h"
#include "gui/gui_window_layer.h"
#include "gui/notice_router.h"
#include "gui/pane_services.h"
#include "gui/target_to_gui.h"
#include "gui/window_factory.h"
#include "gui/window_menu.h"
#include "gui/window_table.h"
#include "harness/fake_message_queue.h"
#include "harness/layer_screen.h"
#include "harness/recording_layer_system.h"
#include "harness/session/console_session.h"
#include "harness/window_procedures.h"
#include "windows/command_pane.h"

namespace zentor {
namespace {

using testing_support::LayerScreen;
using testing_support::RecordingLayerSystem;

constexpr uint32_t kServer = 7;
constexpr uint32_t kOther = 8;
constexpr int32_t kRows = 6;
constexpr int32_t kColumns = 40;

// The program's shell as far as the Command window needs it: its output primitives
// and the engine's notices through the router.
class TestShell : public CommandPaneShell {
 public:
  int32_t Notify(uint32_t kind, uint32_t argument, uint32_t code, const void* value) override {
    return RouteGuiNotice(kind, argument, code, value);
  }
  // The status line as the General window would paint it, without its trailing blanks.
  void RefreshStatusPane(uint32_t) override {
    std::string text = ViewpointManager::StatusTextOf(CurrentViewpoint()).data();
    text.erase(text.find_last_not_of(' ') + 1);
    statusLines.push_back(text);
  }
  std::vector<std::string> statusLines;
};

// The frame's run-control commands as the Command window sets them.
class RecordingFrame : public FrameControls {
 public:
  void EnableRunControlCommands(bool on) override { states.push_back(on); }
  std::vector<bool> states;
};

class CommandWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetConsoleModules(false);
    InstallGuiWindowLayer(&layer);
    InstallLayerPaneWindowPort();
    InstallGuiViewpointWindows();
    system.AddMenuBar(frameHandle, {"&File", "&View", "&Browse", "&Go", "&Debug", "&Configure", "&Help"});
    layer.Register(frameHandle, kLayerFrame, 0);
    WindowRecordList::Initialize();
    CommandWindow::Reset();
    KeyQueue::Clear();
    InstallGuiShell(&shell);
    previousFrame = InstallFrameControls(&frame);
    previousCreator = GetWindowObjectCreator(kViewCommand);
    InstallCommandWindow();
    ViewpointManager::AddViewpoint(ViewpointHandle(kServer), "SERVER");
    ViewpointManager::AddViewpoint(ViewpointHandle(kOther), "OTHER");
    OpenConsoleOutput();
  }
  void TearDown() override {
    WindowTable::DestroyAll();
    WindowRecordList::Initialize();
    // The Command window's class as start-up left it, for the tests that follow.
    SetWindowObjectCreator(kViewCommand, previousCreator);
    SetNoticeHandler(NoticeTarget::kCommandWindow, nullptr);
    InstallFrameControls(previousFrame);
    InstallGuiShell(nullptr);
    CommandWindow::Reset();
    PaneWindow().Install(nullptr);
    InstallViewpointWindowPort(nullptr);
    InstallGuiWindowLayer(nullptr);
    ViewpointManager::RemoveAllViewpoints();
    SetBaseViewpoint(ViewpointHandle::None());
    ResetStatusLine();
    SetPromptTestOption(false);
    testing_support::ResetConsoleModules(true);
  }

  // A Command window made as the frame makes it, sized and painted.
  WinSuper* Open() {
    handle = system.AddWindow("command", 0, LayerRect{0, 0, kRows * 13, kColumns * 8});
    WinSuper* window = CreateWindowObject(handle, kViewCommand, kServer);
    WindowEvent size;
    size.type = kEventSize;
    size.words[0] = kRows * 13;
    size.words[1] = kColumns * 8;
    size.words[2] = kSizeOther;
    DispatchWindowEvent(window->LayerWindowId(), size);
    screen = LayerScreen("command", kRows, kColumns);
    Paint(window->LayerWindowId());
    return window;
  }
  void Paint(int32_t id) {
    WindowEvent paint;
    paint.type = kEventPaint;
    DispatchWindowEvent(id, paint);
    screen.Apply(system.TakeLog());
  }
  // Output as the console bridge hands it on; the screen follows it.
  void Print(const std::string& text) {
    WriteConsoleText(text.data(), text.size());
    Update();
  }
  std::string Update() {
    CommandWindow::SettlePicture(true);
    const std::string log = system.TakeLog();
    if (screen.Apply(log) && CommandWindow::WindowId() != kNoLayerId) Paint(CommandWindow::WindowId());
    return log;
  }

  // The Window menu's items, empty when the bar has no Window popup.
  std::vector<std::string> WindowMenu() {
    const auto& bar = system.Items(system.GetMenuBar(frameHandle));
    if (bar.size() <= kWindowMenuPosition || bar[kWindowMenuPosition].text != "&Window") return {};
    std::vector<std::string> items;
    for (const auto& item : system.Items(bar[kWindowMenuPosition].popup)) items.push_back(item.text);
    return items;
  }

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  NativeWindow frameHandle = system.AddWindow("frame");
  NativeWindow handle = 0;  // the last Command window opened
  TestShell shell;
  RecordingFrame frame;
  FrameControls* previousFrame = nullptr;
  WindowObjectCreator previousCreator = nullptr;
  LayerScreen screen{"command", kRows, kColumns};
};

TEST_F(CommandWindowTest, CloseAndReopenKeepTextAndInputColumn) {
  WinSuper* first = Open();
  EXPECT_EQ(first->Kind(), kViewCommand);
  EXPECT_EQ(first->GetLineHeight(), 13) << "the window object keeps the pane's font metrics";
  EXPECT_EQ(first->GetCharWidth(), 8);
  EXPECT_EQ(CommandWindow::WindowId(), first->LayerWindowId());
  EXPECT_EQ(Pager::PageLength(), kRows) << "the size tells the pager its rows";
  EXPECT_EQ(LineWindowWidth(), static_cast<uint32_t>(kColumns)) << "and the line editor its width";
  Print("first line\nsecond line\n> abc");
  EXPECT_EQ(screen.Rows(), "first line|second line|> abc||||");
  EXPECT_EQ(WindowMenu(), std::vector<std::string>{"&1 Control"});

  // Closed: the output meanwhile is dropped; a new window shows the text again, the
  // caret at the same column.
  WindowEvent close;
  close.type = kEventClose;
  DispatchWindowEvent(first->LayerWindowId(), close);
  EXPECT_EQ(CommandWindow::WindowId(), kNoLayerId);
  EXPECT_EQ(WindowMenu(), std::vector<std::string>{}) << "the Window menu goes with it";
  Print("lost");
  WinSuper* second = Open();
  EXPECT_EQ(CommandWindow::WindowId(), second->LayerWindowId());
  EXPECT_EQ(WindowMenu(), std::vector<std::string>{"&1 Control"});
  EXPECT_EQ(screen.Rows(), "first line|second line|> abc||||");
  EXPECT_EQ(CommandWindow::InputColumn(), 5);
  WindowEvent focus;
  focus.type = kEventFocus;
  focus.words[0] = 1;
  DispatchWindowEvent(second->LayerWindowId(), focus);
  EXPECT_NE(system.TakeLog().find("Caret command 8x13 at 40,26"), std::string::npos);

  // Another Command window object leaves the pane to the first, also when it goes.
  WinSuper* third = Open();
  EXPECT_EQ(CommandWindow::WindowId(), second->LayerWindowId());
  DestroyWindowObject(third->LayerWindowId());
  EXPECT_EQ(CommandWindow::WindowId(), second->LayerWindowId());
  EXPECT_EQ(WindowMenu(), std::vector<std::string>{"&1 Control"}) << "listed once";
  Print("d");
  EXPECT_EQ(screen.Row(2), "> abcd");

  // The line editor's notice reaches the pane through the router.
  const CommandShiftRequest shift{304, 2, 7};
  NotifyGui(kViewCommand, 0, kNotifyCommandLineScroll, &shift);
  EXPECT_EQ(CommandWindow::View().leftColumn, 2);
  Update();
  EXPECT_EQ(screen.Row(2), "abcd");
}

// The vertical bar counts the lines the rows shown leave above the line in progress:
// its end shows the last completed lines, one line down from there the line in
// progress; once the scroll-back is full its start shows the oldest kept line. The
// bar is moved as Windows reports it to the window's procedure.
TEST_F(CommandWindowTest, TheVerticalBarCountsTheLinesAboveTheRowsShown) {
  WinSuper* window = Open();
  const NativeWindow handle = layer.Handle(window->LayerWindowId());
  auto scroll = [&](uint32_t code) {
    testing_support::SendToProcedure(handle, msg::kVScroll, code, 0);
    Update();
  };
  auto lines = [](int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i) text += "line " + std::to_string(i) + "|";
    return text;
  };
  struct Case {
    const char* name;
    int written;      // lines completed in all
    int32_t maximum;  // the bar's last position
    std::string atEnd;
    std::string lineDown;
    std::string atStart;
  };
  const Case cases[] = {
      {"fewer lines than rows", 3, 0, lines(0, 3) + "|||", lines(0, 3) + "|||", lines(0, 3) + "|||"},
      {"ten lines", 10, 4, lines(4, 10), lines(5, 10) + "|", lines(0, 6)},
      {"the scroll-back full", 150, 94, lines(144, 150), lines(145, 150) + "|", lines(50, 56)},
  };
  int written = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    for (; written < c.written; ++written) text += "line " + std::to_string(written) + "\n";
    Print(text);
    EXPECT_EQ(system.GetScrollInfo(handle, kScrollBarVertical).maximum, c.maximum);
    scroll(sb::kBottom);
    EXPECT_EQ(screen.Rows(), c.atEnd);
    scroll(sb::kLineDown);
    EXPECT_EQ(screen.Rows(), c.lineDown);
    scroll(sb::kTop);
    EXPECT_EQ(screen.Rows(), c.atStart);
  }
}

TEST_F(CommandWindowTest, PromptFollowsTheCurrentViewpoint) {
  Open();
  char server[80] = {};
  char other[80] = {};
  FormatViewpointName(kServer, server, sizeof server, true);
  FormatViewpointName(kOther, other, sizeof other, true);
  ViewpointManager::SelectViewpoint(0);
  RefreshAllWindows(0);
  Update();
  const std::string first = std::string(server) + ">";
  ASSERT_EQ(screen.Row(0), first);
  frame.states.clear();

  struct Step {
    const char* name;
    void (*act)();
    std::string rows;
    std::vector<bool> runControl;
  };
  const std::string reprinted = first + "|" + other + ">|";
  const std::vector<Step> steps = {
      {"another viewpoint made current: the prompt again on a fresh line",
       [] { ViewpointManager::SelectViewpoint(1); }, reprinted, {true}},
      {"the current one selected again: nothing", [] { ViewpointManager::SelectIfNeeded(1, false); }, reprinted, {}},
      {"with \"test\" set: nothing, though the run control follows",
       [] {
         SetPromptTestOption(true);
         ViewpointManager::SetRunState(ViewpointHandle(kServer), ViewpointManager::kRunStateRunning);
         ViewpointManager::SelectViewpoint(0);
       },
       reprinted, {false}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    frame.states.clear();
    step.act();
    const std::string log = Update();
    EXPECT_EQ(log.find("Invalidate command all") != std::string::npos, !step.runControl.empty())
        << "a selected viewpoint repaints the window in its colours";
    RefreshAllWindows(0);
    Update();
    std::string rows;
    for (int32_t row = 0; row < kRows && !screen.Row(row).empty(); ++row) rows += screen.Row(row) + "|";
    EXPECT_EQ(rows, step.rows);
    EXPECT_EQ(frame.states, step.runControl);
  }

  // Without "test": the running viewpoint's prompt, and its commands greyed; a new
  // alias of the current viewpoint is printed too.
  SetPromptTestOption(false);
  ViewpointManager::SelectViewpoint(1);
  RefreshAllWindows(0);
  frame.states.clear();
  ViewpointManager::SelectViewpoint(0);
  RefreshAllWindows(0);
  Update();
  EXPECT_EQ(frame.states, std::vector<bool>{false});
  EXPECT_EQ(std::string(CommandWindow::LineInProgress()), std::string(server) + "?");
  ASSERT_TRUE(ViewpointManager::SetAlias(0, "RENAMED"));
  RefreshAllWindows(0);
  EXPECT_EQ(std::string(CommandWindow::LineInProgress()), "[RENAMED]?");
}

// 200 characters typed into the Command window, each a key down and its character
// through the window's procedure: the line editor takes what fits after the prompt,
// 118 characters, and refuses each of the other 82 with a beep and message 87 on the
// status line. The window shows the whole line that goes to the command language.
TEST_F(CommandWindowTest, TypingPastTheEndOfTheLine) {
  Open();
  testing_support::FakeMessageQueue queue(system);
  MessageQueue* previousQueue = InstallMessageQueue(&queue);
  ViewpointManager::SelectViewpoint(0);
  OpenConsoleInput();
  testing_support::SendToProcedure(handle, msg::kSetFocus);
  std::string typed;
  for (int i = 0; i < 200; ++i) typed += static_cast<char>(i % 36 < 26 ? 'a' + i % 36 : '0' + i % 36 - 26);
  for (char ch : typed) {
    const uint32_t virtualKey = static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(ch)));
    testing_support::PressKey(queue, handle, virtualKey, static_cast<uint8_t>(ch));
  }
  testing_support::PressKey(queue, handle, vk::kReturn, '\r');
  system.TakeLog();
  shell.statusLines.clear();
  EditConsoleLine();
  InstallMessageQueue(previousQueue);

  MemoryFile& line = MemoryFileOf(CharChannel::LeftPart());
  std::string taken(line.Size(), '\0');
  ASSERT_EQ(line.Read(1, line.Size(), taken.data()), DVErrorCode());
  char prompt[80] = {};
  FormatViewpointName(kServer, prompt, sizeof prompt, true);
  ASSERT_EQ(std::string(prompt).size() + 1, 9u) << "the prompt fills the first 9 columns";
  EXPECT_EQ(taken, typed.substr(0, 118) + "\r\n");
  EXPECT_TRUE(KeyQueue::IsEmpty()) << "every key was taken";
  const std::string log = system.TakeLog();
  std::size_t beeps = 0;
  for (std::size_t at = 0; (at = log.find("MessageBeep", at)) != std::string::npos; ++at) ++beeps;
  EXPECT_EQ(beeps, 82u);
  EXPECT_EQ(shell.statusLines,
            std::vector<std::string>(82, "The command line is full: at most 118 characters can be typed."));
  Update();
  EXPECT_EQ(CommandWindow::StoredLine(CommandWindow::CurrentLineIndex() - 1),
            std::string(prompt) + ">" + typed.substr(0, 118));
}

// A dialog's command text: blanks only are refused with 210 and a beep; a long one
// runs as its first 510 characters and a carriage return (here a sum whose last digit
// is the 510th character and whose rest would not parse).
TEST_F(CommandWindowTest, DialogCommandTexts) {
  CommandScanner::InitKeywords();
  ValueStack::Create();
  ValueStack::Reset();
  InitPostfixExecutor();
  ResetPostfixExecutor();
  SignalGuiReady();
  std::string long600 = "eval 1" + std::string(502, ' ') + "+2";
  ASSERT_EQ(long600.size(), 510u);
  long600 += std::string(90, 'x');
  struct Case {
    const char* name;
    const char* text;
    uint32_t result;
    bool beeps;
    const char* captured;  // what the output holds (null: not read)
  };
  const std::vector<Case> cases = {
      {"blanks and tabs", " \t  \t", 210, true, nullptr},
      {"no text", nullptr, 210, true, nullptr},
      {"leading blanks skipped", "   eval 1+2", 0, false, "3"},
      {"600 characters", long600.c_str(), 0, false, "3"},
      {"a failing command gives its number", "base = ", 102, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[CommandRunner::kCaptureLimit + 1] = {};
    DVErrorCode result(99, 3);
    system.TakeLog();
    EXPECT_EQ(RunCommandTextFromDialog(&result, 1, c.text, buffer), &result);
    EXPECT_EQ(result.Number(), c.result);
    EXPECT_EQ(result.Severity(), 0u);
    EXPECT_EQ(system.TakeLog().find("MessageBeep") != std::string::npos, c.beeps);
    if (c.captured != nullptr) {
      EXPECT_NE(std::string(buffer).find(c.captured), std::string::npos) << buffer;
    }
  }
  DVErrorCode result;
  RunCommandTextFromDialog(&result, 0, "eval 1+2", nullptr);
  EXPECT_TRUE(result.IsOkay()) << "the output may go nowhere";
}

}  // namespace
}  // namespace zentor
