// The Watch window and its dialogs as the user reaches them, against DEMO on the
// stand-in agent: the window's popup items and the frame's "&Delete Watch..." go
// through the program's window procedures, and the dialogs play over their real
// templates. After every change of the watches the Delete Watch dialog lists what the
// window shows, and the management dialog the window opened closes with it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/current_viewpoint.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "gui/dialog_description_file.h"
#include "gui/frame_window.h"
#include "gui/layer_messages.h"
#include "gui/window_table.h"
#include "harness/dialog_driver.h"
#include "harness/session/console_session.h"
#include "harness/window_procedures.h"
#include "symbols/symbol_context.h"
#include "target/module_symbols.h"
#include "target/tmi_viewpoint.h"
#include "windows/breakpoint_dialogs.h"
#include "windows/watch_dialogs.h"
#include "windows/watch_window.h"
#include "debugger_windows_fixture.h"

namespace zentor {
namespace {

using testing_support::DialogDriver;
using testing_support::SendCommand;
using testing_support::SendToProcedure;
using D = DialogDriver;

constexpr uint32_t kDeleteWatchCommand = 1383;
constexpr int32_t kManagementList = 15;
constexpr int32_t kManagementSave = 17;
constexpr int32_t kManagementName = 1560;

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "wa[1] g_color" of a watch's name and its expression as typed (blanks around it).
std::string Watch(const std::string& name, const std::string& expression) { return name + " " + Trimmed(expression); }

class WatchWindowTest : public testing_support::DebuggerDialogsTest {
 protected:
  void SetUp() override {
    DebuggerDialogsTest::SetUp();
    FrameWindow::SetFrame(m_layer.IdOf(m_frame));
    InstallBreakpointAndWatchDialogs();
  }
  void TearDown() override {
    FrameWindow::Reset();
    DebuggerDialogsTest::TearDown();
  }

  NativeWindow HandleOf(const WinSuper& window) { return m_layer.Handle(window.LayerWindowId()); }

  // The watches the window shows after the refresh before the next input wait: each
  // line's name and expression, up to the ": " before its value.
  std::vector<std::string> Shown(const WinSuper& window) {
    RefreshAllWindows(0);
    const TextPane& pane = window.GetTextPane();
    std::vector<std::string> shown;
    for (int32_t i = 0; i < pane.count; ++i) {
      const std::string line = pane.LineAt(i)->text;
      const std::string head = line.substr(0, line.find(": "));
      const size_t blank = head.find(' ');
      shown.push_back(Watch(head.substr(0, blank), head.substr(blank + 1)));
    }
    return shown;
  }
  // The rows of the Delete Watch dialog the frame's menu opens, read as the window
  // shows them: the name, one blank, the expression.
  std::vector<std::string> Listed() {
    std::vector<std::string> rows;
    m_driver.Script({D::Do([&](DialogDriver& d) {
                       for (const std::string& row : d.Entries(kWatchList)) {
                         const size_t tab = row.find('\t');
                         rows.push_back(Watch(row.substr(0, tab), row.substr(tab + 1)));
                       }
                     }),
                     D::Press(kDialogCancelControl)});
    SendCommand(FrameWindow::FrameHandle(), kDeleteWatchCommand);
    EXPECT_TRUE(m_driver.ScriptDone());
    return rows;
  }
};

// Each change of the watches, made from the Command window, the window's popup or the
// dialogs, leaves the window and the Delete Watch dialog with the same watches.
TEST_F(WatchWindowTest, TheDeleteWatchDialogListsWhatTheWindowShowsAfterEveryChange) {
  OR_RETURN(ConnectToDemo());
  WinSuper* window = Open(kViewWatch, 6, 50);
  const NativeWindow handle = HandleOf(*window);
  struct Step {
    const char* name;
    std::function<void()> change;
    std::vector<std::string> watches;
  };
  const Step steps[] = {
      {"three set by commands",
       [] {
         for (const char* watch : {"wa = g_color", "wa = g_divisor", "wa = g_squares[2]"}) {
           ASSERT_EQ(testing_support::RunCommandLine(watch), 0u) << watch;
         }
       },
       {"wa[0] g_color", "wa[1] g_divisor", "wa[2] g_squares[2]"}},
      {"the popup's Delete All", [&] { SendCommand(handle, WatchWindow::kDeleteAll); }, {}},
      {"two added by the popup's Add Watch",
       [&] {
         m_driver.Script({D::Type(kWatchExpressionEdit, "g_divisor"), D::Press(kWatchApply),
                          D::Type(kWatchExpressionEdit, "g_color"), D::Press(kWatchOk)});
         SendCommand(handle, WatchWindow::kAddWatch);
       },
       {"wa[0] g_divisor", "wa[1] g_color"}},
      {"one deleted from the frame's Delete Watch",
       [&] {
         m_driver.Script({D::SelectRows(kWatchList, {0}), D::Press(kWatchOk)});
         SendCommand(FrameWindow::FrameHandle(), kDeleteWatchCommand);
       },
       {"wa[1] g_color"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.change();
    EXPECT_TRUE(m_driver.ScriptDone());
    EXPECT_EQ(TakeReportedError(), 0u);
    EXPECT_EQ(Shown(*window), step.watches);
    EXPECT_EQ(Listed(), step.watches);
  }
}

// A Watch window of a viewpoint that is not the current one: its popup's dialogs and
// Delete All work on the watches it shows, not on the current viewpoint's.
TEST_F(WatchWindowTest, ThePopupWorksOnTheWindowsOwnViewpoint) {
  OR_RETURN(ConnectToDemo());
  const uint32_t thread = m_viewpoint;
  constexpr uint32_t kOther = 0x77;
  TmiAddKnownViewpoint(kOther);
  ViewpointManager::AddViewpoint(ViewpointHandle(kOther));
  ViewpointManager::SelectViewpoint(ViewpointManager::FindIndexByHandle(ViewpointHandle(kOther)));
  SetCurrentSymbolContext_Checked(SymbolContext::CreateForViewpoint().release());
  TmiShareSymbolContext(thread);
  ASSERT_EQ(testing_support::RunCommandLine("wa = &g_divisor"), 0u);
  m_viewpoint = kOther;
  WinSuper* window = Open(kViewWatch, 6, 50);
  const NativeWindow handle = HandleOf(*window);
  ViewpointManager::SelectViewpoint(ViewpointManager::FindIndexByHandle(ViewpointHandle(thread)));
  for (const char* watch : {"wa = g_color", "wa = g_divisor"}) ASSERT_EQ(testing_support::RunCommandLine(watch), 0u);
  const std::vector<std::string> others{"wa[0] &g_divisor"};
  ASSERT_EQ(Shown(*window), others);

  std::vector<std::string> listed;
  m_driver.Script({D::Do([&](DialogDriver& d) {
                     for (const std::string& row : d.Entries(kWatchList)) {
                       listed.push_back(Watch(row.substr(0, row.find('\t')), row.substr(row.find('\t') + 1)));
                     }
                   }),
                   D::Press(kDialogCancelControl)});
  SendCommand(handle, WatchWindow::kDeleteWatch);
  EXPECT_EQ(listed, others);

  SendCommand(handle, WatchWindow::kDeleteAll);
  EXPECT_TRUE(Shown(*window).empty());
  EXPECT_EQ(GetCurrentViewpointValue(), thread);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"wa[1] g_color", "wa[2] g_divisor"}));
  EXPECT_EQ(TakeReportedError(), 0u);
}

// The management dialog goes when the window that opened it closes, and asks nothing
// of that window afterwards; the next window's management works as the first did.
TEST_F(WatchWindowTest, TheManagementDialogClosesWithItsWindow) {
  OR_RETURN(ConnectToDemo());
  testing_support::ScratchDirectory directory{"watch-management"};
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  store.Reset();
  ASSERT_EQ(store.Open(directory.File("zentor.ddb").c_str()), 0);
  InstallDialogDescriptionFile();
  ASSERT_EQ(testing_support::RunCommandLine("wa = g_color"), 0u);

  WinSuper* window = Open(kViewWatch, 6, 50);
  const int32_t id = window->LayerWindowId();
  const NativeWindow handle = HandleOf(*window);
  m_driver.Script({D::Do([](DialogDriver& d) { EXPECT_EQ(d.Caption(), "Watch Management"); }),
                   D::Do([&](DialogDriver&) { SendToProcedure(handle, msg::kClose); })});
  SendCommand(handle, WatchWindow::kManageWatch);
  EXPECT_TRUE(m_driver.ScriptDone()) << "the dialog went with the window";
  EXPECT_EQ(WindowTable::Get(id), nullptr);
  EXPECT_EQ(m_driver.CurrentId(), kNoLayerId);
  EXPECT_EQ(TakeReportedError(), 0u);

  // A second window's dialog saves a set through that window, and closes as usual.
  WinSuper* second = Open(kViewWatch, 6, 50);
  m_driver.Script({D::Press(kManagementSave), D::Type(kManagementName, "colour"), D::Press(kDialogOkControl),
                   D::Do([](DialogDriver& d) { EXPECT_EQ(d.Entries(kManagementList).size(), 1u); }),
                   D::Press(kDialogOkControl)});
  SendCommand(HandleOf(*second), WatchWindow::kManageWatch);
  EXPECT_TRUE(m_driver.ScriptDone());
  NamedSetList sets;
  store.ListAllRecords(15, &sets);
  EXPECT_EQ(sets.m_entries.size(), 1u);
  EXPECT_NE(WindowTable::Get(second->LayerWindowId()), nullptr);
  EXPECT_EQ(TakeReportedError(), 0u);
  store.Reset();
}

}  // namespace
}  // namespace zentor
