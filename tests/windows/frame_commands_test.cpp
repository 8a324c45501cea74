// Every command the frame offers, sent as Windows sends it: each menu item of the
// program's menu resource, each accelerator, each button of the bar, the Window menu's
// entries and a custom button reach the frame's window procedure as WM_COMMAND, and
// each one's effect shows (a window made or brought to the front, a dialog run, a
// command on the Source window's line, a help request, a message box). The ids are
// read from the resource the program is built with, so a new menu item without a
// row here fails; an id that is handled without an effect of its own is listed with
// the reason. Nothing handled may reach the system's default procedure, and no command
// may report an error (seen by the error display and in the message boxes). The walk
// needs the stand-in agent: without it the test fails.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "console/file_channel.h"
#include "console/output_writer.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/view_kind.h"
#include "core/window_layer.h"
#include "engine/settings_store.h"
#include "engine/source_base.h"
#include "engine/watch_table.h"
#include "debugger_windows_fixture.h"
#include "gui/context_help.h"
#include "gui/dialog_description_file.h"
#include "gui/frame_children.h"
#include "gui/frame_window.h"
#include "gui/general_window.h"
#include "gui/layer_backend.h"
#include "gui/layout_state.h"
#include "gui/shell_services.h"
#include "gui/window_menu.h"
#include "gui/window_placement.h"
#include "gui/window_table.h"
#include "harness/dialog_driver.h"
#include "harness/fake_message_queue.h"
#include "harness/session/console_session.h"
#include "harness/recording_shell_system.h"
#include "harness/shell_test_support.h"
#include "harness/window_procedures.h"
#include "target/tmi_session.h"
#include "windows/custom_buttons.h"
#include "windows/inspector_windows.h"
#include "windows/memory_dialogs.h"
#include "windows/source_window.h"
#include "windows/debugger_windows.h"
#include "windows/load_symbols_dialog.h"
#include "windows/settings_dialogs.h"
#include "windows/window_classes.h"

namespace zentor {
namespace {

using testing_support::DebuggerWindowsTest;
using testing_support::DialogDriver;
using testing_support::FakeMessageQueue;
using testing_support::RecordingShellSystem;
using testing_support::SendCommand;
using D = DialogDriver;

// The ids of a menu or an accelerator table of the program's resource, in order.
std::vector<uint32_t> ResourceIds(const std::string& block, const std::regex& item) {
  std::ifstream file(ZENTOR_RESOURCE_FILE);
  std::stringstream text;
  text << file.rdbuf();
  const std::string all = text.str();
  const size_t start = all.find(block);
  const size_t end = all.find("\nEND", start);
  if (start == std::string::npos || end == std::string::npos) return {};
  const std::string body = all.substr(start, end - start);
  std::vector<uint32_t> ids;
  for (std::sregex_iterator it(body.begin(), body.end(), item), last; it != last; ++it) {
    ids.push_back(static_cast<uint32_t>(std::stoul((*it)[1])));
  }
  return ids;
}

std::vector<uint32_t> MenuIds() { return ResourceIds("VRK_MAIN MENU", std::regex(R"(MENUITEM "[^"]*", (\d+))")); }
std::vector<uint32_t> AcceleratorIds(const char* table) {
  return ResourceIds(std::string(table) + " ACCELERATORS", std::regex(R"(VK_\w+,\s*(\d+))"));
}

// The Source window's line commands that the frame asks for, in order.
class RecordingLineCommands final : public SourceLineCommands {
 public:
  void ToggleAsmDisplay() override { taken.push_back("asm"); }
  int32_t RunSourcePaneCommand(int32_t paneCommand) override {
    taken.push_back("pane " + std::to_string(paneCommand));
    return 0;
  }
  std::vector<std::string> taken;
};

// The end of the debug session as the program ends it: the target asks the user.
bool EndTargetSession() {
  TargetStatus status;
  uint32_t declined = 0;
  TmiEndSession(&status, &declined);
  return declined == 0;
}

class CancellingChooser final : public SymbolFileChooser {
 public:
  bool Choose(int32_t, std::string*) override {
    ++opened;
    return false;
  }
  int opened = 0;
};

// What one command did, as the user would see it.
struct Observed {
  std::string system;  // the window layer's calls
  std::string shell;   // the frame's own windowing calls
  std::vector<std::string> dialogs;
  std::vector<std::string> lineCommands;
  std::map<int32_t, int32_t> windows;  // by kind, for the viewpoint
  int32_t active = kNoLayerId;
  int chooser = 0;
  std::set<uint32_t> reported;  // the numbers of the errors reported
  bool Logged(const std::string& text) const { return system.find(text) != std::string::npos; }
};

// The errors a command reported: the last one the error display took (every report
// goes through it, whatever its way to the screen) and every one it showed in a
// message box ("ERROR #240: ...").
std::set<uint32_t> ReportedErrors(const std::string& system, uint32_t last) {
  static const std::regex kBoxedError(R"(MessageBox [^\n]* "[A-Za-z ]+ #(\d+): )");
  std::set<uint32_t> numbers;
  if (last != 0) numbers.insert(last);
  for (std::sregex_iterator it(system.begin(), system.end(), kBoxedError), end; it != end; ++it) {
    numbers.insert(static_cast<uint32_t>(std::stoul((*it)[1])));
  }
  return numbers;
}

constexpr int32_t kKinds[] = {kViewSource, kViewWatch,  kViewRegisters, kViewMemory,   kViewCommand,
                              kViewInspect, kViewLocals, kViewModules,  kViewCallstack};

class FrameCommandsTest : public DebuggerWindowsTest {
 protected:
  void SetUp() override {
    DebuggerWindowsTest::SetUp();
    m_system.AddMenuBar(m_frame, {"&File", "&View", "&Browse", "&Go", "&Debug", "&Configure", "&Help"});
    InstallMessageQueue(&m_queue);
    testing_support::RouteDispatchToProcedures(m_queue);
    m_frameId = m_layer.IdOf(m_frame);
    FrameWindow::SetFrame(m_frameId);
    ASSERT_TRUE(CreateFrameControls(m_frameId));
    InstallShellServices();
    InitDefaultPlacements(m_system.GetWindowRect(m_frame));
    WindowRecordList::Initialize();
    InstallWindowClasses();
    InstallDebuggerWindows();
    InstallSettingsDialogs();
    m_previousChooser = InstallSymbolFileChooser(&m_chooser);
    SetHelpFile("C:\\zentor\\zentor.hlp");
    m_system.nextReply = MessageBoxReply::Cancel;
    SetExitServices(ExitServices{&EndTargetSession});
    m_previousBackend = WindowLayer::SetBackend(&m_backend);
    // The settings the commands keep go to a store of the test's own.
    ASSERT_EQ(m_store.Open(m_scratch.File("frame.ddb").c_str()), 0);
    m_previousStore = InstallSettingsStore(&m_store);
  }
  void TearDown() override {
    LayoutState::Reset();  // the walk leaves "Save on Exit" on
    InstallSettingsStore(m_previousStore);
    m_store.Reset();
    WindowLayer::SetBackend(m_previousBackend);
    SetExitServices(ExitServices{});
    if (m_recordingLines) SourceLineCommandHandler().Install(m_previousLines);
    InstallSymbolFileChooser(m_previousChooser);
    WindowRecordList::Initialize();
    testing_support::ResetShellAfterTest();
    DebuggerWindowsTest::TearDown();
  }

  void RecordLineCommands() {
    m_previousLines = SourceLineCommandHandler().Install(&m_lines);
    m_recordingLines = true;
  }

  // The walk needs the stand-in agent: scripts/test builds it and sets ZENTOR_AGENT, so
  // an agent that cannot be started is a broken setup, not a reason to skip.
  void ConnectToDemo() {
    DebuggerWindowsTest::ConnectToDemo();
    if (IsSkipped()) FAIL() << "the stand-in agent is needed here";
  }

  // The command sent to the frame as a menu item sends it; what it did.
  Observed Send(uint32_t command) {
    m_system.TakeLog();
    m_shell.TakeLog();
    TakeReportedError();
    m_lines.taken.clear();
    const size_t dialogsBefore = m_driver.Opened().size();
    const int chooserBefore = m_chooser.opened;
    SendCommand(m_frame, command);
    Observed seen;
    seen.system = m_system.TakeLog();
    seen.shell = m_shell.TakeLog();
    seen.dialogs.assign(m_driver.Opened().begin() + static_cast<std::ptrdiff_t>(dialogsBefore), m_driver.Opened().end());
    seen.lineCommands = m_lines.taken;
    for (int32_t kind : kKinds) seen.windows[kind] = CountWindowsOfKind(kind, m_viewpoint);
    seen.active = m_layer.GetActiveWindow();
    seen.chooser = m_chooser.opened - chooserBefore;
    seen.reported = ReportedErrors(seen.system, TakeReportedError());
    return seen;
  }
  int32_t WindowOf(int32_t kind) {
    WinSuper* window = WindowTable::FindByKindAndViewpoint(kind, ViewpointHandle(m_viewpoint));
    return window != nullptr ? window->LayerWindowId() : kNoLayerId;
  }

  testing_support::ScratchDirectory m_scratch{"frame-commands"};
  DialogDescriptionFile& m_store = TheDialogDescriptionFile();
  SettingsStore* m_previousStore = nullptr;
  LayerBackend m_backend{m_layer};
  WindowLayerBackend* m_previousBackend = nullptr;
  FakeMessageQueue m_queue{m_system};
  RecordingShellSystem m_shell{m_system};
  DialogDriver m_driver{m_system};
  RecordingLineCommands m_lines;
  SourceLineCommands* m_previousLines = nullptr;
  bool m_recordingLines = false;
  CancellingChooser m_chooser;
  SymbolFileChooser* m_previousChooser = nullptr;
  int32_t m_frameId = kNoLayerId;
};

// What a command must have done; the first failed check's text, or empty.
using Check = std::function<std::string(const Observed&)>;

Check Opens(int32_t kind) {
  return [kind](const Observed& seen) {
    return seen.windows.at(kind) == 1 ? std::string() : "a window of kind " + std::to_string(kind) + " is not open";
  };
}
Check Runs(std::string dialog) {
  return [dialog](const Observed& seen) {
    return !seen.dialogs.empty() && seen.dialogs.front() == dialog ? std::string() : "dialog " + dialog + " not run";
  };
}
Check Asks(std::vector<std::string> lineCommands) {
  return [lineCommands](const Observed& seen) {
    if (seen.lineCommands == lineCommands) return std::string();
    std::string taken;
    for (const std::string& command : seen.lineCommands) taken += command + "; ";
    return "line commands taken: " + taken;
  };
}
Check Logs(std::string text) {
  return [text](const Observed& seen) { return seen.Logged(text) ? std::string() : "no \"" + text + "\" in\n" + seen.system; };
}
std::string Pane(int32_t code) { return "pane " + std::to_string(code); }

// Every id of the menu resource, every accelerator and every button of the bar, with
// the Source window's line commands recorded at the port the Source window provides
// (their own work is the Source window's tests'). The dialogs are cancelled as they
// open.
TEST_F(FrameCommandsTest, EveryMenuAcceleratorAndButtonReachesItsHandler) {
  OR_RETURN(ConnectToDemo());
  RecordLineCommands();
  struct Row {
    uint32_t command;
    const char* what;
    Check check;
  };
  const Row rows[] = {
      {1020, "Load Program", [](const Observed& seen) { return seen.chooser == 1 ? "" : std::string("no chooser"); }},
      {1030, "Source Path", Runs("SRCPATH")},
      {1050, "Exit (the session's end declined)", Logs("This will end your debug session.")},
      {1070, "Source", Opens(kViewSource)},
      {1110, "Locals", Opens(kViewLocals)},
      {1140, "Callstack", Opens(kViewCallstack)},
      {1080, "Registers", Opens(kViewRegisters)},
      {1100, "Memory (no window: the display dialog)", Runs("MEMWIN")},
      {1120, "Modules", Opens(kViewModules)},
      {1130, "Inspect", Opens(kViewInspect)},
      {1090, "Watch", Opens(kViewWatch)},
      {1195, "Viewpoint", Runs("VIEWPTDLG")},
      {1198, "minimise the viewpoint's windows", Logs("minimized")},
      {1199, "restore the viewpoint's windows", Logs("normal")},
      {1197, "close the viewpoint's windows",
       [](const Observed& seen) {
         for (const auto& [kind, count] : seen.windows) {
           if (kind != kViewCommand && count != 0) return "kind " + std::to_string(kind) + " still open";
         }
         return std::string();
       }},
      {1210, "Browse Home", Asks({Pane(0x7b)})},
      {1220, "Browse To", Runs("SCOPE")},
      {1240, "Go", Asks({Pane(106)})},
      {1250, "Go Forever", Asks({Pane(107)})},
      {1260, "Go Til Source Mark", Asks({Pane(105)})},
      {1270, "Step Into", Asks({Pane(118)})},
      {1300, "Step Over", Asks({Pane(109)})},
      {1310, "Step Out", Asks({Pane(111)})},
      {1320, "Auto Step", Asks({Pane(113)})},
      {1381, "Add Breakpoint", Runs("ADDBRK")},
      {1380, "Breakpoints", Runs("BRKWAT")},
      {1382, "Add Watch", Runs("ADDWTCH")},
      {1383, "Delete Watch", Runs("DELWTCH")},
      {1440, "Colors", Runs("COLOR")},
      {1491, "Custom Buttons", Runs("CUSBUTN")},
      {1478, "Break on all NLM loads", Logs("CheckMenu")},
      {1490, "Clear Saved Values", Logs("CheckMenu")},
      {1480, "Save on Exit", Logs("CheckMenu")},
      {1650, "Help Contents", Logs("WinHelp frame \"C:\\zentor\\zentor.hlp\" 3 0")},
      {1655, "Search for Help", Logs("WinHelp frame \"C:\\zentor\\zentor.hlp\" 261 ")},
      {1670, "Using Help", Logs("WinHelp frame \"C:\\zentor\\zentor.hlp\" 4 0")},
      {1660, "Last Error", Logs("No errors have occured.")},
      {1680, "About", Runs("ABOUT")},
      // Keys of the accelerator tables that no menu item has.
      {1330, "F9: software breakpoint on the line", Asks({Pane(114)})},
      {1340, "F3: the assembly display", Asks({"asm"})},
      {1360, "Shift+F9: hardware breakpoint on the line", Asks({Pane(115)})},
      // The button bar.
      {101, "Regs", Opens(kViewRegisters)},
      {102, "Asm", Asks({"asm"})},
      {103, "StepInto", Asks({Pane(0x76)})},
      {104, "StepOver", Asks({Pane(0x6d)})},
      {105, "StepOut", Asks({Pane(0x6f)})},
      {106, "Go", Asks({Pane(0x6a)})},
      {109, "Home", Asks({Pane(0x7b)})},
      // Commands of the frame that no menu item, key or button of this program sends.
      {1180, "the Command window, listed whatever a restored layout left",
       [](const Observed& seen) {
         if (seen.windows.at(kViewCommand) != 1) return std::string("no Command window");
         for (const WindowRecord& record : WindowRecordList::Records()) {
           if (record.title == "Control") return std::string();
         }
         return std::string("not in the Window menu");
       }},
      {1280, "line command 108", Asks({Pane(108)})},
      {1290, "line command 112", Asks({Pane(112)})},
      {1361, "line command of the Source menu's 107", Asks({Pane(0x8d)})},
      {1362, "line command of the Source menu's 108", Asks({Pane(0x8e)})},
      {1450, "Invocation settings", Runs("INVOC")},
  };
  // Handled and left without an effect of their own: 1390 is a command the frame takes
  // and does nothing with; 1475 asks kind 14, whose requests the dispatcher ignores.
  const std::set<uint32_t> withoutEffect = {1390, 1475};

  std::set<uint32_t> listed(withoutEffect);
  for (const Row& row : rows) listed.insert(row.command);
  std::vector<uint32_t> offered = MenuIds();
  ASSERT_GT(offered.size(), 30u) << "the menu resource was not read";
  for (const char* table : {"VRK_NORMAL", "VRK_EMULATING"}) {
    const std::vector<uint32_t> keys = AcceleratorIds(table);
    ASSERT_FALSE(keys.empty()) << table;
    offered.insert(offered.end(), keys.begin(), keys.end());
  }
  for (uint32_t button = 101; button <= 109; ++button) {
    if (FrameWindow::ButtonId(button) != kNoLayerId) offered.push_back(button);
  }
  for (uint32_t command : offered) EXPECT_EQ(listed.count(command), 1u) << command << " is offered and not walked";

  // Each row: its dialog (if any) cancelled, the exit question answered Cancel.
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.command) + " " + row.what);
    m_driver.Script({D::Close()});
    // A restored layout's hidden Command window leaves the mode that keeps it unlisted.
    if (row.command == 1180) SetCommandWindowGeometry(0, nullptr, kCommandPlacementUnlisted);
    const Observed seen = Send(row.command);
    EXPECT_EQ(row.check(seen), "");
    EXPECT_EQ(seen.shell.find("DefWindowProc frame"), std::string::npos) << seen.shell;
    std::set<uint32_t> reported = seen.reported;
    if (row.command == 1195) {
      // The Viewpoint dialog is modeless: it closes as the script plays.
      m_driver.Play();
      const std::set<uint32_t> late = ReportedErrors(m_system.TakeLog(), TakeReportedError());
      reported.insert(late.begin(), late.end());
    }
    m_driver.DropScript();
    // At DEMO's stop, with every dialog cancelled, no command has an error to report.
    EXPECT_EQ(reported, std::set<uint32_t>{}) << "errors reported";
  }
  for (uint32_t command : withoutEffect) {
    SCOPED_TRACE(command);
    const Observed seen = Send(command);
    EXPECT_EQ(seen.shell.find("DefWindowProc"), std::string::npos);
    EXPECT_TRUE(seen.dialogs.empty());
    EXPECT_TRUE(seen.lineCommands.empty());
    EXPECT_EQ(seen.reported, std::set<uint32_t>{}) << "errors reported";
  }
  // An id nobody offers is the system's.
  const Observed unknown = Send(2222);
  EXPECT_NE(unknown.shell.find("DefWindowProc frame 0x0111"), std::string::npos);
  EXPECT_EQ(unknown.reported, std::set<uint32_t>{});
}

// The Window menu: an entry brings its window to the front, restored when it was
// minimised; "&More Windows..." lists every window and its OK brings the chosen one
// to the front; 3199 arranges the minimised windows; an id past the entries is the
// system's.
TEST_F(FrameCommandsTest, TheWindowMenuBringsItsWindowsToTheFront) {
  OR_RETURN(ConnectToDemo());
  for (uint32_t command : {1070u, 1090u, 1080u}) Send(command);
  ASSERT_EQ(WindowRecordList::Count(), 3);
  const int32_t source = WindowOf(kViewSource);
  const int32_t watch = WindowOf(kViewWatch);
  m_system.ShowWindow(m_layer.Handle(source), LayerShowMode::MinimizedNoActivate);
  ASSERT_NE(m_layer.IsMinimized(source), 0);

  Observed seen = Send(kWindowMenuFirstCommand);
  EXPECT_EQ(seen.active, source);
  EXPECT_EQ(m_layer.IsMinimized(source), 0) << seen.system;
  EXPECT_EQ(Send(kWindowMenuFirstCommand + 1).active, watch);

  m_driver.Script({D::Do([](DialogDriver& driver) {
                     EXPECT_EQ(driver.Entries(101), (std::vector<std::string>{"Source", "Watch [Processor 0]", "Registers [Processor 0]"}));
                   }),
                   D::Select(101, 0), D::Press(kDialogOkControl)});
  seen = Send(kWindowMenuMoreCommand);
  EXPECT_EQ(seen.dialogs, std::vector<std::string>{"WINMENU"});
  EXPECT_TRUE(m_driver.ScriptDone());
  EXPECT_EQ(m_layer.GetActiveWindow(), source);

  EXPECT_TRUE(Send(kWindowMenuArrangeCommand).Logged("ArrangeIconicWindows"));
  EXPECT_NE(Send(kWindowMenuFirstCommand + 4).shell.find("DefWindowProc frame 0x0111"), std::string::npos)
      << "past the entries";
}

// A custom button of the bar runs its command text.
TEST_F(FrameCommandsTest, ACustomButtonRunsItsCommand) {
  OR_RETURN(ConnectToDemo());
  m_driver.Script({D::Press(kCustomAddButton), D::Type(kCustomNameEdit, "Answer"),
                   D::Type(kCustomCommandEdit, "? 6*7"), D::Press(kDialogOkControl), D::Press(kDialogOkControl)});
  Send(kCommandCustomButtons);
  ASSERT_TRUE(m_driver.ScriptDone());
  ASSERT_EQ(CustomButtons().size(), 1u);
  std::string printed;
  OutputWriter::InstallHook([&printed](char ch) { printed += ch; });
  const Observed seen = Send(static_cast<uint32_t>(CustomButtons()[0].commandId));
  OutputWriter::RemoveHook();
  EXPECT_NE(printed.find("42"), std::string::npos) << printed;
  EXPECT_EQ(seen.shell.find("DefWindowProc"), std::string::npos) << seen.shell;
  ResetCustomButtons();
}

// Every item of the debugger windows' popup menus, chosen as Windows reports the
// choice (WM_COMMAND with the item's number to the window), at DEMO's stops: each
// reaches its window and does what the item says, seen after the refresh that comes
// before the next wait for input. The number of items is read from the popup each
// window made, so an item without a row fails.
class PopupCommandsTest : public FrameCommandsTest {
 protected:
  // The window of the kind, made from the frame's View menu.
  NativeWindow Show(uint32_t command, int32_t kind) {
    Send(command);
    const int32_t id = WindowOf(kind);
    EXPECT_NE(id, kNoLayerId) << "kind " << kind;
    return id != kNoLayerId ? m_layer.Handle(id) : 0;
  }
  int32_t PopupItems(NativeWindow window) {
    const LayerWindow* record = m_layer.Record(m_layer.IdOf(window));
    return record != nullptr && record->popupMenu != 0 ? static_cast<int32_t>(m_system.Items(record->popupMenu).size())
                                                         : 0;
  }
  TextPane& PaneOf(NativeWindow window) { return WindowTable::Get(m_layer.IdOf(window))->GetTextPane(); }
  // The item chosen in the window's popup; what it did.
  Observed Choose(NativeWindow window, int32_t item) {
    m_system.TakeLog();
    const size_t dialogsBefore = m_driver.Opened().size();
    SendCommand(window, static_cast<uint32_t>(item));
    RefreshAllWindows(0);  // as before the next wait for input
    Observed seen;
    seen.system = m_system.TakeLog();
    seen.dialogs.assign(m_driver.Opened().begin() + static_cast<std::ptrdiff_t>(dialogsBefore), m_driver.Opened().end());
    for (int32_t kind : kKinds) seen.windows[kind] = CountWindowsOfKind(kind, m_viewpoint);
    return seen;
  }
  // `word` of the row that holds `line` selected by a click, as the user selects a
  // name.
  void ClickWord(NativeWindow window, const std::string& line, const std::string& word) {
    WinSuper* object = WindowTable::Get(m_layer.IdOf(window));
    ASSERT_NE(object, nullptr);
    TextPane& pane = object->GetTextPane();
    const int32_t index = IndexOf(pane, line);
    ASSERT_GE(index, 0) << line;
    if (index < pane.top || index >= pane.top + pane.rows) pane.ScrollToLine(index);
    const PaneLine* held = pane.LineAt(index);
    const size_t at = std::string(held->text, held->length).find(word);
    ASSERT_NE(at, std::string::npos) << word;
    const int32_t marker = object->Kind() == kViewSource ? 1 : 0;
    const int32_t x = (static_cast<int32_t>(at) + marker - pane.leftColumn) * testing_support::kCellWidth + 2;
    testing_support::Click(window, (index - pane.top) * testing_support::kCellHeight + 6, x);
    ASSERT_EQ(pane.SelectedFieldText(), word);
  }
  uint32_t MarksOf(NativeWindow window, const std::string& line) {
    const TextPane& pane = PaneOf(window);
    const int32_t index = IndexOf(pane, line);
    return index >= 0 ? pane.LineAt(index)->attr & (kMarkBreak | kMarkBreakType1 | kMarkPasspoint) : 0;
  }
  // The text of the line the window's cursor is on.
  std::string CurrentLine(NativeWindow window) {
    const TextPane& pane = PaneOf(window);
    const PaneLine* line = pane.LineAt(pane.top + pane.row);
    return line != nullptr ? std::string(line->text, line->length) : std::string();
  }
};

TEST_F(PopupCommandsTest, EverySourceWindowItemReachesTheWindow) {
  OR_RETURN(ConnectToDemo());
  const NativeWindow source = Show(1070, kViewSource);
  ASSERT_EQ(PopupItems(source), 12 + 2) << "twelve items and two separators";
  const std::string call = "total += f(i, square);";
  const std::string square = "int square = i * i;";

  ClickWord(source, call, "total");
  ASSERT_EQ(Choose(source, SourceWindow::kInspect).windows[kViewInspect], 1) << "the name is inspected";
  EXPECT_EQ(WindowTable::Get(WindowOf(kViewInspect))->GetTextPane().count, 1);
  Choose(source, SourceWindow::kWatch);
  EXPECT_EQ(WatchTable::FreeCount(), kWatchSlotCount - 1) << "the name is watched";
  m_driver.Script({D::Close()});
  EXPECT_EQ(Choose(source, SourceWindow::kModifyValue).dialogs, std::vector<std::string>{"SRCMOD"});

  // Breakpoints on the clicked line: each kind marks it, Clear at Mark takes it off.
  ClickWord(source, square, "square");
  Choose(source, SourceWindow::kSoftwareBreakpoint);
  EXPECT_EQ(MarksOf(source, square), kMarkBreak);
  Choose(source, SourceWindow::kClearAtMark);
  EXPECT_EQ(MarksOf(source, square), 0u);
  Choose(source, SourceWindow::kHardwareBreakpoint);
  EXPECT_NE(MarksOf(source, square), 0u) << "a hardware breakpoint";
  Choose(source, SourceWindow::kClearAtMark);
  Choose(source, SourceWindow::kPasspoint);
  EXPECT_EQ(MarksOf(source, square), kMarkPasspoint);
  Choose(source, SourceWindow::kClearAtMark);
  EXPECT_EQ(MarksOf(source, square), 0u);

  // Go Til Source Mark runs to the clicked line.
  ClickWord(source, square, "square");
  Choose(source, SourceWindow::kGoTilSourceMark);
  WaitForStopAndRefresh();
  {
    const TextPane& pane = PaneOf(source);
    const int32_t index = IndexOf(pane, square);
    ASSERT_GE(index, 0);
    EXPECT_NE(pane.LineAt(index)->attr & kMarkExecution, 0u) << "the bar on the line";
  }

  Choose(source, SourceWindow::kAsmDisplay);
  EXPECT_EQ(SourceLineCommandHandler().Get().RunSourcePaneCommand(0x35), 1) << "the assembly display";
  Choose(source, SourceWindow::kAsmDisplay);
  EXPECT_EQ(SourceLineCommandHandler().Get().RunSourcePaneCommand(0x35), 0);

  // Find opens with the selected text; Repeat Find then moves to its next use.
  ClickWord(source, call, "total");
  m_driver.Script({D::Close()});
  EXPECT_EQ(Choose(source, SourceWindow::kFind).dialogs, std::vector<std::string>{"SFIND"});
  const TextPane& pane = PaneOf(source);
  const int32_t before = pane.top + pane.row;
  Choose(source, SourceWindow::kRepeatFind);
  EXPECT_NE(pane.top + pane.row, before) << "the next \"total\"";
  EXPECT_EQ(pane.SelectedFieldText(), "total");

  // Browse To the name of a function makes its first line the current one.
  ClickWord(source, call, "f");
  Choose(source, SourceWindow::kBrowseTo);
  EXPECT_NE(CurrentLine(source).find("int f(int n, int square)"), std::string::npos) << CurrentLine(source);
  EXPECT_EQ(TakeReportedError(), 0u);
}

TEST_F(PopupCommandsTest, TheDataWindowsItemsReachTheirWindows) {
  OR_RETURN(ConnectToDemo());
  // Watch: its dialogs, and Delete All.
  const NativeWindow watch = Show(1090, kViewWatch);
  ASSERT_EQ(PopupItems(watch), 4);
  ASSERT_EQ(WatchTable::DefineFromText(-1, nullptr, "g_color", 1), 0);
  struct DialogRow {
    int32_t item;
    const char* dialog;
  };
  for (const DialogRow& row : {DialogRow{0, "ADDWTCH"}, DialogRow{1, "DELWTCH"}, DialogRow{3, "DLGMANAG"}}) {
    SCOPED_TRACE(row.dialog);
    m_driver.Script({D::Close()});
    EXPECT_EQ(Choose(watch, row.item).dialogs, std::vector<std::string>{row.dialog});
    m_driver.DropScript();
  }
  Choose(watch, 2);
  EXPECT_EQ(WatchTable::FreeCount(), kWatchSlotCount) << "Delete All";

  // Memory: made from the display dialog, then its two dialogs from its popup.
  m_driver.Script({D::Type(kMemoryStartEdit, "g_squares"), D::Press(kDialogOkControl)});
  Send(1100);
  const int32_t memoryId = WindowOf(kViewMemory);
  ASSERT_NE(memoryId, kNoLayerId);
  const NativeWindow memory = m_layer.Handle(memoryId);
  ASSERT_EQ(PopupItems(memory), 2);
  m_driver.Script({D::Close()});
  EXPECT_EQ(Choose(memory, 0).dialogs, std::vector<std::string>{"MEMWIN"});
  m_driver.Script({D::Close()});
  EXPECT_EQ(Choose(memory, 1).dialogs, std::vector<std::string>{"MEMSAV"});

  // Inspect: Delete Item takes one expression away, Delete All the rest.
  const NativeWindow inspect = Show(1130, kViewInspect);
  ASSERT_EQ(PopupItems(inspect), 2);
  auto* inspector = static_cast<InspectWindow*>(WindowTable::Get(m_layer.IdOf(inspect)));
  ASSERT_EQ(inspector->InspectExpression("g_color"), 0);
  ASSERT_EQ(inspector->InspectExpression("g_divisor"), 0);
  const int32_t lines = inspector->GetTextPane().count;
  Choose(inspect, 0);
  EXPECT_LT(inspector->GetTextPane().count, lines);
  EXPECT_GT(inspector->GetTextPane().count, 0);
  Choose(inspect, 1);
  EXPECT_EQ(inspector->GetTextPane().lines, nullptr) << "nothing left";
}

// Stopped in g, called by f from main: Browse To on f's frame (chosen with the arrow
// key) puts the Source window's cursor on the call in f; Expand lists the frames'
// code and its item then reads "&Contract".
TEST_F(PopupCommandsTest, TheCallstackItemsReachTheWindow) {
  OR_RETURN(ConnectToDemo());
  ASSERT_EQ(testing_support::RunCommandLine("br = g"), 0u);
  ASSERT_EQ(testing_support::RunCommandLine("go; wait"), 0u);
  const NativeWindow source = Show(1070, kViewSource);
  const NativeWindow callstack = Show(1140, kViewCallstack);
  ASSERT_EQ(PopupItems(callstack), 2);
  m_system.focus = callstack;
  m_layer.ActivateWindow(m_layer.IdOf(callstack));
  testing_support::PressKey(m_queue, callstack, 0x28, 0);  // the arrow down: f's frame
  Choose(callstack, 0);
  EXPECT_NE(CurrentLine(source).find("int result = g(n, square);"), std::string::npos) << CurrentLine(source);
  EXPECT_EQ(TakeReportedError(), 0u);

  const int32_t lines = PaneOf(callstack).total;
  Choose(callstack, 1);
  EXPECT_GT(PaneOf(callstack).total, lines);
  const LayerWindow* record = m_layer.Record(m_layer.IdOf(callstack));
  EXPECT_EQ(m_system.Items(record->popupMenu)[1].text, "&Contract");
}

// The Modules window's one item, Browse To, on the module chosen by a click: the
// current scope moves to that module.
TEST_F(PopupCommandsTest, TheModulesItemReachesTheWindow) {
  OR_RETURN(ConnectToDemo());
  const NativeWindow modules = Show(1120, kViewModules);
  ASSERT_EQ(PopupItems(modules), 1);
  RefreshAllWindows(0);
  ClickWord(modules, "DEMO_CALC", "DEMO_CALC");
  Choose(modules, 0);
  EXPECT_EQ(TakeReportedError(), 0u);
  EXPECT_EQ(testing_support::PrintedByCommandLine("eval scope line").rfind(":DEMO_CALC#", 0), 0u)
      << testing_support::PrintedByCommandLine("eval scope line");
}

}  // namespace
}  // namespace zentor
