// The Source window at DEMO's stops over the recording window layer: breakpoints on a
// line and what a line without code refuses, the execution bar after a step whose line
// lay below the view, Ctrl+End on a pane that holds the whole file, the requests that
// need a selected text, inspecting what the user selected, the window whose manager
// cannot be made, and the line number the window asks for when it scrolls to a line it
// does not hold.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "core/view_kind.h"
#include "debugger_windows_fixture.h"
#include "engine/source_base.h"
#include "engine/view_managers.h"
#include "gui/general_window.h"
#include "gui/key_translation.h"
#include "gui/frame_window.h"
#include "gui/window_menu.h"
#include "gui/window_table.h"
#include "harness/pane_dump.h"
#include "harness/window_procedures.h"
#include "windows/source_pane_commands.h"
#include "windows/source_window.h"

namespace zentor {
namespace {

using testing_support::DebuggerWindowsTest;

constexpr int32_t kKeyDown = 302;
constexpr int32_t kKeyCtrlHome = 319;
constexpr int32_t kKeyCtrlEnd = 320;
constexpr uint32_t kMsgNoSymbolSelected = 204;
constexpr uint32_t kMsgNoExecutableCode = 264;
constexpr uint32_t kMsgSymbolNotKnown = 335;
constexpr uint32_t kVkHome = 0x24;
constexpr uint32_t kCharCtrlI = 9;

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

class SourceWindowTest : public DebuggerWindowsTest {
 protected:
  // Moves the window's cursor down to the held line that shows `text`, as the user
  // does with the arrow key.
  void MoveCursorTo(WinSuper* window, const std::string& text) {
    const TextPane& pane = window->GetTextPane();
    const int32_t target = IndexOf(pane, text);
    ASSERT_GE(target, pane.top + pane.row) << text;
    while (pane.top + pane.row < target) Key(window, kKeyDown);
  }
  static int32_t CurrentIndex(const WinSuper* window) {
    return window->GetTextPane().top + window->GetTextPane().row;
  }
  // The agent's breakpoint settings at the address so far.
  std::vector<std::string> BreakpointSetsAt(uint32_t address) {
    std::vector<std::string> sets;
    for (const std::string& line : m_session.Agent().TraceLines("exec ")) {
      if (line.find("command=0x0d") != std::string::npos && line.find(Hex(address)) != std::string::npos) {
        sets.push_back(line);
      }
    }
    return sets;
  }
  // Through the window procedures: the pane's cell that shows `word` on the held line
  // that shows `line` (the marker column first), to be clicked.
  std::pair<int32_t, int32_t> CellOf(const WinSuper* window, const std::string& line, const std::string& word) {
    const TextPane& pane = window->GetTextPane();
    const int32_t index = IndexOf(pane, line);
    EXPECT_GE(index - pane.top, 0) << line;
    EXPECT_LT(index - pane.top, pane.rows) << line;
    const PaneLine* held = pane.LineAt(index);
    const size_t column = held != nullptr ? std::string(held->text, held->length).find(word) : std::string::npos;
    EXPECT_NE(column, std::string::npos) << word;
    return {CellY(index - pane.top), CellX(static_cast<int32_t>(column) + 1)};
  }
  void ClickOn(const WinSuper* window, const std::string& line, const std::string& word) {
    const auto [y, x] = CellOf(window, line, word);
    testing_support::Click(HandleOf(window), y, x);
  }
  void PressCtrlI(const WinSuper* window) {
    testing_support::PressKey(Queue(), HandleOf(window), 'I', kCharCtrlI, {vk::kControl});
  }
  // A Source window that shows DEMO's main file whole from its first line (Ctrl+Home),
  // with the focus.
  WinSuper* OpenWholeMainFile() {
    WinSuper* window = Open(kViewSource, 45);
    Focus(window);
    testing_support::PressKey(Queue(), HandleOf(window), kVkHome, 0, {vk::kControl});
    EXPECT_EQ(window->GetTextPane().count, 42) << testing_support::DumpPane(window->GetTextPane());
    return window;
  }
  WinSuper* InspectWindowOf(const WinSuper* window) {
    return WindowTable::FindByKindAndViewpoint(kViewInspect, window->GetViewpoint());
  }
  static std::string LastLineText(const TextPane& pane) {
    const PaneLine* line = pane.LineAt(pane.count - 1);
    return line != nullptr ? std::string(line->text, line->length) : "";
  }

  // A frame's Go or step command, as its menu, button or function key runs it.
  static void RunFromFrame(int32_t paneCommand) { SourceLineCommandHandler().Get().RunSourcePaneCommand(paneCommand); }
};

// Software Breakpoint on the loop's call of f marks the line 'B' and keeps the cursor
// there; the agent hears of it at the next go (F5), which stops on that line.
TEST_F(SourceWindowTest, BreakpointOnACodeLineStopsThereAfterGo) {
  OR_RETURN(ConnectToDemo());
  WinSuper* window = Open(kViewSource);
  const TextPane& pane = window->GetTextPane();
  OR_RETURN(MoveCursorTo(window, "total += f(i, square);"));
  const int32_t call = CurrentIndex(window);
  const uint32_t address = static_cast<const DisplayLine*>(pane.lines[call])->address.Offset();

  Command(window, SourceWindow::kSoftwareBreakpoint);
  EXPECT_EQ(TakeReportedError(), 0u);
  EXPECT_EQ(pane.lines[call]->attr & kLineMarkerBits, kMarkBreak);
  EXPECT_EQ(CurrentIndex(window), call);
  EXPECT_TRUE(BreakpointSetsAt(address).empty()) << "the agent hears of it when the thread goes";

  RunFromFrame(kPaneGo);
  OR_RETURN(WaitForStopAndRefresh());
  EXPECT_EQ(BreakpointSetsAt(address).size(), 1u);
  const int32_t bar = IndexOf(pane, "total += f(i, square);");
  ASSERT_GE(bar, 0);
  EXPECT_EQ(pane.lines[bar]->attr & (kMarkExecution | kLineMarkerBits), kMarkExecution | kMarkBreak);
}

// A click in the marker column: on the loop's call of f it sets a breakpoint there
// ('B', the agent told of its address at the next go); on a declaration without code
// it reports 264 and leaves the lines as they were, the clicked one current.
TEST_F(SourceWindowTest, MarkerColumnClick) {
  OR_RETURN(ConnectToDemo());
  WinSuper* window = Open(kViewSource, 40);
  const TextPane& pane = window->GetTextPane();
  const auto click = [&](int32_t index) {
    Mouse(window, kEventMouseDown, index - pane.top, 0);
    Mouse(window, kEventMouseUp, index - pane.top, 0);
  };
  const int32_t declaration = IndexOf(pane, "int i;");
  ASSERT_GE(declaration, pane.top);
  const auto lines = [&] {
    const std::string dump = testing_support::DumpPane(pane);
    return dump.substr(dump.find('\n'));
  };
  const std::string before = lines();
  click(declaration);
  EXPECT_EQ(TakeReportedError(), kMsgNoExecutableCode);
  EXPECT_EQ(lines(), before);
  EXPECT_EQ(CurrentIndex(window), declaration) << "the clicked line stays current";

  const int32_t call = IndexOf(pane, "total += f(i, square);");
  ASSERT_GE(call, pane.top);
  const uint32_t address = static_cast<const DisplayLine*>(pane.lines[call])->address.Offset();
  click(call);
  EXPECT_EQ(TakeReportedError(), 0u);
  EXPECT_EQ(pane.lines[call]->attr & kLineMarkerBits, kMarkBreak);
  EXPECT_EQ(CurrentIndex(window), call);
  RunFromFrame(kPaneGo);
  OR_RETURN(WaitForStopAndRefresh());
  EXPECT_EQ(BreakpointSetsAt(address).size(), 1u);
}

// A line without code (blank, a declaration without initialiser, a comment) refuses
// every line command with 264; the pane and its cursor stay as they were.
TEST_F(SourceWindowTest, LineWithoutCodeRefusesLineCommands) {
  OR_RETURN(ConnectToDemo());
  WinSuper* window = Open(kViewSource);
  const TextPane& pane = window->GetTextPane();
  OR_RETURN(MoveCursorTo(window, "int i;"));
  const std::string before = testing_support::DumpPane(pane);
  const size_t requests = m_session.Agent().TraceLines("exec ").size();
  for (int32_t item : {SourceWindow::kSoftwareBreakpoint, SourceWindow::kHardwareBreakpoint, SourceWindow::kPasspoint,
                       SourceWindow::kClearAtMark, SourceWindow::kGoTilSourceMark}) {
    SCOPED_TRACE(item);
    Command(window, item);
    EXPECT_EQ(TakeReportedError(), kMsgNoExecutableCode);
    EXPECT_EQ(testing_support::DumpPane(pane), before);
  }
  EXPECT_EQ(m_session.Agent().TraceLines("exec ").size(), requests);
}

// A step (F8) whose new line lies below the three rows brings the bar onto the
// second-to-last row.
TEST_F(SourceWindowTest, StepBelowTheViewShowsTheBarOnTheSecondToLastRow) {
  OR_RETURN(ConnectToDemo());
  WinSuper* window = Open(kViewSource, 3);
  const TextPane& pane = window->GetTextPane();
  const int32_t next = IndexOf(pane, "int total = 0;");
  ASSERT_GE(next, pane.top + pane.rows) << "the next line must lie below the view";
  RunFromFrame(kPaneStepInto);
  OR_RETURN(WaitForStopAndRefresh());
  ASSERT_EQ(pane.lines[next]->attr & kMarkExecution, kMarkExecution);
  EXPECT_EQ(next - pane.top, pane.rows - 2);
}

// Ctrl+End in a pane that holds the whole file moves only the view: to the last page,
// or nowhere when the file is shorter than the window.
TEST_F(SourceWindowTest, CtrlEndInAPaneHoldingTheWholeFile) {
  OR_RETURN(ConnectToDemo());
  struct Case {
    int32_t rows;
    int32_t top;
  };
  for (const Case& c : {Case{50, 0}, Case{12, 30}}) {
    SCOPED_TRACE(c.rows);
    WinSuper* window = Open(kViewSource, c.rows);
    const TextPane& pane = window->GetTextPane();
    Key(window, kKeyCtrlHome);
    ASSERT_EQ(pane.count, pane.total) << "DEMO's main file is held whole from its start";
    ASSERT_EQ(pane.count, 42);
    Key(window, kKeyCtrlEnd);
    EXPECT_EQ(pane.top, c.top);
    EXPECT_EQ(pane.count, 42);
    Close(window);
  }
}

// Inspect, Watch and Browse To need a selected text: without one, 204 and nothing
// else happens.
TEST_F(SourceWindowTest, TextCommandsWithoutASelection) {
  OR_RETURN(ConnectToDemo());
  WinSuper* window = Open(kViewSource);
  const std::string before = testing_support::DumpPane(window->GetTextPane());
  for (int32_t item : {SourceWindow::kInspect, SourceWindow::kWatch, SourceWindow::kBrowseTo}) {
    SCOPED_TRACE(item);
    Command(window, item);
    EXPECT_EQ(TakeReportedError(), kMsgNoSymbolSelected);
    EXPECT_EQ(testing_support::DumpPane(window->GetTextPane()), before);
    EXPECT_EQ(WindowTable::FindByKindAndViewpoint(kViewInspect, window->GetViewpoint()), nullptr);
  }
}

// Ctrl+I on the structure a click selected opens the viewpoint's Inspect window with
// it, active; a double click there lists its members.
TEST_F(SourceWindowTest, CtrlIOpensTheInspectWindowOnTheSelectedStructure) {
  OR_RETURN(ConnectToDemo());
  UseWindowProcedures();
  WinSuper* source = OpenWholeMainFile();
  ClickOn(source, "struct point g_origin", "g_origin");
  ASSERT_EQ(source->GetTextPane().SelectedFieldText(), "g_origin");
  m_shell->TakeLog();
  PressCtrlI(source);
  EXPECT_EQ(TakeReportedError(), 0u);
  const WinSuper* inspect = InspectWindowOf(source);
  ASSERT_NE(inspect, nullptr);
  EXPECT_NE(m_shell->TakeLog().find("CreateWindow INSP top-level"), std::string::npos);
  EXPECT_EQ(m_layer.GetActiveWindow(), inspect->LayerWindowId());
  const TextPane& pane = inspect->GetTextPane();
  EXPECT_EQ(testing_support::DumpPane(pane, false),
            "count 1 total 1 first 0 last -1 top 0 row 0\n"
            "[  0] 0800 - |+<0x00110000> struct point g_origin| fields 0+0\n");
  testing_support::DoubleClick(HandleOf(inspect), CellY(0), CellX(2));
  EXPECT_EQ(TakeReportedError(), 0u);
  EXPECT_EQ(testing_support::DumpPane(pane, false),
            "count 6 total 6 first 0 last -1 top 0 row 0\n"
            "[  0] 0800 - |-<0x00110000> struct point g_origin| fields 0+0\n"
            "[  1] 0000 - |   <0x00110000> int x = 10         | fields 24+11\n"
            "[  2] 0000 - |   <0x00110004> int y = 20         | fields 24+11\n"
            "[  3] 0000 - |  +<0x00110008> char name[8] = \"origin\"| fields 2+0\n"
            "[  4] 0000 - |   <0x00110010> enum color shade = 5          | fields 35+11\n"
            "[  5] 0000 - |  +<0x00110014> struct point* next = 0x00000000| fields 2+0 37+10\n");
}

// With the viewpoint's Inspect window open (three rows, one item expanded), the
// popup's Inspect, a double click on a data value (which cannot be browsed to) and
// Ctrl+I each add to that window and show the new item, last, on the last row with its
// first field selected. No other Inspect window is made.
TEST_F(SourceWindowTest, InspectAddsToTheOpenInspectWindow) {
  OR_RETURN(ConnectToDemo());
  UseWindowProcedures();
  WinSuper* source = OpenWholeMainFile();
  const WinSuper* inspect = Open(kViewInspect, 3);
  const TextPane& pane = inspect->GetTextPane();
  struct Case {
    const char* name;
    std::function<void()> inspect;
    const char* lastItem;
  };
  const std::vector<Case> cases = {
      {"popup",
       [&] {
         ClickOn(source, "struct point g_corner", "g_corner");
         testing_support::SendCommand(HandleOf(source), SourceWindow::kInspect);
       },
       "struct point g_corner"},
      {"double click on a data value",
       [&] {
         const auto [y, x] = CellOf(source, "g_current->x = g_operation", "g_current");
         testing_support::DoubleClick(HandleOf(source), y, x);
       },
       "struct point* g_current = 0x00110018"},
      {"Ctrl+I",
       [&] {
         ClickOn(source, "g_color = g_current->shade", "g_color");
         PressCtrlI(source);
       },
       "enum color g_color = 0"},
  };
  ClickOn(source, "struct point g_origin", "g_origin");
  testing_support::SendCommand(HandleOf(source), SourceWindow::kInspect);
  testing_support::DoubleClick(HandleOf(inspect), CellY(0), CellX(2));
  ASSERT_EQ(pane.count, 6) << testing_support::DumpPane(pane, false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t before = pane.count;
    Focus(source);
    c.inspect();
    EXPECT_EQ(TakeReportedError(), 0u);
    EXPECT_EQ(InspectWindowOf(source), inspect);
    ASSERT_EQ(pane.count, before + 1) << testing_support::DumpPane(pane, false);
    EXPECT_NE(LastLineText(pane).find(c.lastItem), std::string::npos) << LastLineText(pane);
    EXPECT_EQ(pane.top, pane.count - pane.rows);
    EXPECT_EQ(pane.top + pane.row, pane.count - 1);
    EXPECT_EQ(m_layer.GetActiveWindow(), inspect->LayerWindowId());
  }
  EXPECT_EQ(CountWindowsOfKind(kViewInspect, m_viewpoint), 1);
  EXPECT_EQ(m_shell->TakeLog().find("CreateWindow INSP"), std::string::npos);
}

// Ctrl+I with nothing selected reports 204; on a word that names nothing, 335 naming
// it. Neither makes an Inspect window.
TEST_F(SourceWindowTest, CtrlIReportsWhatItCannotInspect) {
  OR_RETURN(ConnectToDemo());
  UseWindowProcedures();
  WinSuper* source = OpenWholeMainFile();
  struct Case {
    const char* word;  // empty: nothing is selected
    uint32_t number;
  };
  for (const Case& c : {Case{"", kMsgNoSymbolSelected}, Case{"starts", kMsgSymbolNotKnown}}) {
    SCOPED_TRACE(c.word);
    if (c.word[0] != '\0') ClickOn(source, "ServerPrint(\"DEMO starts", c.word);
    ASSERT_EQ(source->GetTextPane().SelectedFieldText(), c.word);
    PressCtrlI(source);
    EXPECT_EQ(GetLastErrorNumber(), c.number);
    if (c.number == kMsgSymbolNotKnown) {
      ASSERT_EQ(LastError().ArgumentCount(), 1u);
      EXPECT_EQ(std::string(LastError().Argument(0).data()), c.word);
    }
    TakeReportedError();
    EXPECT_EQ(InspectWindowOf(source), nullptr);
  }
  EXPECT_EQ(m_shell->TakeLog().find("CreateWindow INSP"), std::string::npos);
}

// The vertical bar's thumb released on line 5 (counted from 0) of a file the pane does
// not hold there: the window asks for line number 6, the dispatcher hands the manager
// its held lines counted from 1, and the view shows the file from its sixth line.
TEST_F(SourceWindowTest, ScrollingToALineNotHeldAsksForItsNumber) {
  OR_RETURN(ConnectToDemo());
  WinSuper* window = Open(kViewSource);
  const TextPane& pane = window->GetTextPane();
  ASSERT_GT(pane.first, 5) << "the pane holds the file only from main on";
  WindowEvent thumb;
  thumb.type = kEventVScroll;
  thumb.words[0] = kScrollThumbPosition;
  thumb.words[1] = 5;
  DispatchWindowEvent(window->LayerWindowId(), thumb);
  const PaneLine* top = pane.LineAt(pane.top);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(std::string(top->text, top->length), "     6    #include \"server.h\"");
  EXPECT_EQ(pane.first + pane.top, 5);
}

// Find Next walks the matches of "square" downward from the cursor, each one selected
// and current; upward from the last one it visits them again in reverse order.
TEST_F(SourceWindowTest, FindNextBothWays) {
  OR_RETURN(ConnectToDemo());
  WinSuper* window = Open(kViewSource, 6);
  const TextPane& pane = window->GetTextPane();
  SourceFindState& find = SourceFind();
  find.text = "square";
  const auto match = [&] {
    const PaneLine* line = pane.LineAt(pane.top + pane.row);
    EXPECT_EQ(pane.SelectedFieldText(), "square");
    return line != nullptr ? std::string(line->text, line->length) + " @" + std::to_string(pane.selStart) : "";
  };
  std::vector<std::string> down;
  for (int i = 0; i < 4; ++i) {
    find.direction = 1;
    ASSERT_EQ(FindNextInSource(window->LayerWindowId()), 0);
    down.push_back(match());
  }
  EXPECT_EQ(down.front(), "    31        int square = i * i; @18");
  EXPECT_EQ(down.back(), "    33        total += f(i, square); @28");
  std::vector<std::string> up{down.back()};
  for (int i = 0; i < 3; ++i) {
    find.direction = 0;
    ASSERT_EQ(FindNextInSource(window->LayerWindowId()), 0);
    up.push_back(match());
  }
  EXPECT_EQ(std::vector<std::string>(up.rbegin(), up.rend()), down);
  find = SourceFindState();
}

// What a selected text gives the inspect, modify and watch commands: the variable it
// names, evaluated with its output dropped; an empty text is 204 and a text that does
// not parse is 335 naming it.
TEST_F(SourceWindowTest, SelectedTextsAsVariables) {
  struct Name {
    const char* selected;
    const char* variable;
  };
  for (const Name& n : {Name{"*g_current", "g_current"}, Name{"&g_origin.x", "g_origin"}, Name{"# g_current->shade", "g_current"},
                        Name{"total;", "total"}, Name{"** &", ""}, Name{"a->b.c", "a"}}) {
    SCOPED_TRACE(n.selected);
    EXPECT_EQ(ExtractVariableName(n.selected), n.variable);
  }
  OR_RETURN(ConnectToDemo());
  struct Evaluated {
    const char* text;
    uint32_t number;
  };
  for (const Evaluated& e : {Evaluated{"", 204}, Evaluated{"1 +", 335}, Evaluated{"g_color", 0}, Evaluated{"g_current->x", 0}}) {
    SCOPED_TRACE(e.text);
    DVError status(5, kSeverityError, kDisplayByFocus);
    EXPECT_EQ(EvaluateQuietly(status, e.text), static_cast<int32_t>(e.number));
    EXPECT_EQ(status.Number(), e.number);
    if (e.number == 335) {
      ASSERT_EQ(status.ArgumentCount(), 1u);
      EXPECT_EQ(std::string(status.Argument(0).data()), e.text);
    }
    EXPECT_EQ(TakeReportedError(), 0u) << "nothing is reported";
  }
}

// A manager that cannot be made for the window leaves it without content, popup or
// change records, with the warning shown over it.
class RefusingSourceManagers : public ViewManagerFactory {
 public:
  std::unique_ptr<BaseManager> Make(int32_t kind, TextPane* pane) override {
    if (kind == kViewSource) throw DVError(181, kSeverityError, kDisplayByFocus);
    return ViewManagerFactory::Make(kind, pane);
  }
};

TEST_F(SourceWindowTest, WindowWhoseManagerCannotBeMade) {
  RefusingSourceManagers refusing;
  ViewManagers().Install(&refusing);
  WinSuper* window = Open(kViewSource);
  ViewManagers().Install(nullptr);
  ASSERT_NE(window, nullptr);
  const std::string log = m_system.TakeLog();
  EXPECT_NE(log.find("MessageBox w0 \"\" \"" + std::string(kSourceInitFailureText) + "\""), std::string::npos) << log;
  EXPECT_EQ(log.find("CreatePopupMenu"), std::string::npos) << log;
  EXPECT_FALSE(static_cast<SourceWindow*>(window)->IsOpen());
  Key(window, static_cast<int32_t>(kKeyPopupMenu));
  EXPECT_EQ(m_system.TakeLog().find("TrackPopupMenu"), std::string::npos);
  EXPECT_EQ(window->GetTextPane().count, 0);
}

// The same through the program: the View menu's Source, sent to the frame's window
// procedure as its menu item sends it, with the manager refused. The window stays
// inert and stands in no Window-menu entry (the menu would list a window that shows
// nothing); the next window made is the menu's first entry.
TEST_F(SourceWindowTest, AWindowWhoseManagerCannotBeMadeHasNoWindowMenuEntry) {
  OR_RETURN(ConnectToDemo());
  UseWindowProcedures();
  m_system.AddMenuBar(m_frame, {"&File", "&View", "&Browse", "&Go", "&Debug", "&Configure", "&Help"});
  FrameWindow::SetFrame(m_layer.IdOf(m_frame));
  WindowRecordList::Initialize();
  struct Undo {
    ~Undo() {
      ViewManagers().Install(nullptr);
      WindowTable::DestroyAll();
      WindowRecordList::Initialize();
      FrameWindow::Reset();
    }
  } undo;
  RefusingSourceManagers refusing;
  ViewManagers().Install(&refusing);
  m_system.TakeLog();
  testing_support::SendCommand(FrameWindow::FrameHandle(), 1070);
  ViewManagers().Install(nullptr);
  const std::string log = m_system.TakeLog();
  EXPECT_NE(log.find(kSourceInitFailureText), std::string::npos) << log;
  auto* window = static_cast<SourceWindow*>(WindowTable::FindByKindAndViewpoint(kViewSource, ViewpointHandle(m_viewpoint)));
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->IsOpen());
  EXPECT_EQ(WindowRecordList::Count(), 0);
  for (const auto& item : m_system.Items(m_system.GetMenuBar(m_frame))) EXPECT_NE(item.text, "&Window");

  testing_support::SendCommand(FrameWindow::FrameHandle(), 1090);
  ASSERT_EQ(WindowRecordList::Count(), 1);
  EXPECT_EQ(WindowRecordList::Records()[0].title.rfind("Watch", 0), 0u) << WindowRecordList::Records()[0].title;
  EXPECT_EQ(WindowRecordList::Records()[0].command, kWindowMenuFirstCommand);
}

}  // namespace
}  // namespace zentor
