// The Modules and Watch windows over the recording window layer: the list width the
// Modules window asks for, a module browsed to (the Source window follows), the Watch
// window's mouse and its Delete All, and a window whose manager fails to close.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/view_kind.h"
#include "debugger_windows_fixture.h"
#include "engine/view_managers.h"
#include "engine/source_base.h"
#include "gui/window_table.h"
#include "harness/pane_dump.h"
#include "harness/window_procedures.h"
#include "windows/modules_window.h"
#include "windows/watch_window.h"

namespace zentor {
namespace {

using testing_support::DebuggerWindowsTest;

constexpr int32_t kKeyEnter = 13;

// An address as "eval" prints it.
std::string HexLine(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x\n", value);
  return text;
}
constexpr int32_t kGuiDeleteAllWatches = 0xd4;

// The managers of the list windows as the tests see them: each request with the
// width its argument points to, and a failing close when asked.
class RecordingManager : public BaseManager {
 public:
  RecordingManager(TextPane* pane, std::vector<std::string>* requests, bool failClose)
      : BaseManager(pane), m_requests(requests), m_failClose(failClose) {}
  int32_t HandleRequest(DVError&, int32_t code, intptr_t argument) override {
    std::string request = std::to_string(code);
    if (argument != 0 && (code == kGuiOpened || code == kGuiRefresh)) {
      request += " width " + std::to_string(*reinterpret_cast<const uint32_t*>(argument));
    }
    m_requests->push_back(request);
    if (code == kGuiClosing && m_failClose) throw DVError(116, kSeverityError, kDisplayByFocus);
    return 0;
  }

 private:
  std::vector<std::string>* m_requests;
  bool m_failClose;
};

class RecordingManagers : public ViewManagerFactory {
 public:
  std::unique_ptr<BaseManager> Make(int32_t kind, TextPane* pane) override {
    return std::make_unique<RecordingManager>(pane, &requests, failClose);
  }
  std::vector<std::string> requests;
  bool failClose = false;
};

class ListWindowsTest : public DebuggerWindowsTest {
 protected:
  void TearDown() override {
    DebuggerWindowsTest::TearDown();
    ViewManagers().Install(nullptr);
  }
  RecordingManagers m_managers;
};

// The list is as wide as the window in characters, but never below 10; a size event
// lays it out again at the new width.
TEST_F(ListWindowsTest, ModulesListWidth) {
  ViewManagers().Install(&m_managers);
  struct Case {
    int32_t columns;
    const char* width;
  };
  for (const Case& c : {Case{8, "10"}, Case{10, "10"}, Case{11, "11"}, Case{60, "60"}}) {
    SCOPED_TRACE(c.columns);
    m_managers.requests.clear();
    WinSuper* window = Open(kViewModules, 5, c.columns);
    EXPECT_EQ(m_managers.requests,
              (std::vector<std::string>{std::string("70 width ") + c.width, std::string("79 width ") + c.width}));
    Close(window);
  }
  WinSuper* window = Open(kViewModules, 5, 40);
  m_managers.requests.clear();
  WindowEvent size;
  size.type = kEventSize;
  size.words[0] = 5 * testing_support::kCellHeight;
  size.words[1] = 25 * testing_support::kCellWidth;
  size.words[2] = kSizeOther;
  DispatchWindowEvent(window->LayerWindowId(), size);
  EXPECT_EQ(m_managers.requests, (std::vector<std::string>{"79 width 25"}));
}

// A module is browsed to by its name behind ':', as the user asks through the window
// procedures: a click selects the name under the pointer and browses nowhere; a double
// click on a name, Enter after a click or the popup's "&Browse To" browses to it, the
// scope moves to the module and the Source window follows at the next refresh.
TEST_F(ListWindowsTest, ModuleBrowsedToByItsName) {
  OR_RETURN(ConnectToDemo());
  UseWindowProcedures();
  WinSuper* source = Open(kViewSource);
  WinSuper* modules = Open(kViewModules, 5, 40);
  const TextPane& list = modules->GetTextPane();
  const NativeWindow window = HandleOf(modules);
  ASSERT_EQ(IndexOf(list, "DEMO_CALC  DEMO_MAIN"), 0) << testing_support::DumpPane(list);
  const auto clickName = [&](int32_t column) { testing_support::Click(window, CellY(0), CellX(column)); };
  const TextPane& pane = source->GetTextPane();
  // The address of the Source window's current line.
  const auto shownAddress = [&] {
    const auto* current = static_cast<const DisplayLine*>(pane.LineAt(pane.top + pane.row));
    return current != nullptr ? current->address.Offset() : 0u;
  };
  const std::string shown = testing_support::DumpPane(pane);
  const std::string scope = testing_support::PrintedByCommandLine("eval scope line");
  Focus(modules);
  clickName(14);
  EXPECT_EQ(list.SelectedFieldText(), "DEMO_MAIN");
  RefreshAllWindows(0);
  EXPECT_EQ(testing_support::PrintedByCommandLine("eval scope line"), scope);
  EXPECT_EQ(testing_support::DumpPane(pane), shown);

  struct Case {
    const char* name;
    std::function<void()> browse;
  };
  const std::vector<Case> cases = {
      {"DEMO_CALC", [&] { testing_support::DoubleClick(window, CellY(0), CellX(3)); }},
      {"DEMO_MAIN",
       [&] {
         clickName(12);
         testing_support::PressKey(Queue(), window, vk::kReturn, kKeyEnter);
       }},
      {"DEMO_CALC",
       [&] {
         clickName(0);
         m_system.TakeLog();
         testing_support::RightClick(window, CellY(0), CellX(0));
         const std::string log = m_system.TakeLog();
         EXPECT_NE(log.find("TrackPopupMenu"), std::string::npos) << log;
         EXPECT_EQ(log.find("TrackPopupMenu"), log.rfind("TrackPopupMenu")) << "one popup for one click";
         testing_support::SendCommand(window, 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const uint32_t before = shownAddress();
    Focus(modules);
    c.browse();
    EXPECT_EQ(list.SelectedFieldText(), c.name);
    EXPECT_EQ(TakeReportedError(), 0u);
    RefreshAllWindows(0);
    EXPECT_EQ(testing_support::PrintedByCommandLine("eval scope line").rfind(std::string(":") + c.name + "#", 0), 0u);
    // The Source window's current line is the scope's, at the module's address.
    EXPECT_EQ(HexLine(shownAddress()), testing_support::PrintedByCommandLine("eval scope"));
    EXPECT_NE(shownAddress(), before);
  }
}

// The left button selects nothing in the Watch window and opens nothing; the other
// buttons open the popup.
TEST_F(ListWindowsTest, WatchWindowMouse) {
  ViewManagers().Install(&m_managers);
  WinSuper* window = Open(kViewWatch, 5, 40);
  m_system.TakeLog();
  m_managers.requests.clear();
  for (int32_t type : {kEventMouseDown, kEventMouseUp, kEventDoubleClick, kEventMouseMove}) {
    SCOPED_TRACE(type);
    Mouse(window, type, 1, 3);
    EXPECT_EQ(m_system.TakeLog(), "");
  }
  EXPECT_TRUE(m_managers.requests.empty());
  for (int32_t button : {1, 2}) {
    SCOPED_TRACE(button);
    Mouse(window, kEventMouseDown, 1, 3, button);
    EXPECT_NE(m_system.TakeLog().find("TrackPopupMenu"), std::string::npos);
  }
}

// Delete All sends 0xd4; the list it leaves behind empties at the next refresh.
TEST_F(ListWindowsTest, DeleteAllWatches) {
  OR_RETURN(ConnectToDemo());
  for (const char* watch : {"wa = g_color", "wa = g_divisor", "wa = g_squares[2]"}) {
    ASSERT_EQ(testing_support::RunCommandLine(watch), 0u) << watch;
  }
  WinSuper* window = Open(kViewWatch, 5, 40);
  const TextPane& pane = window->GetTextPane();
  RefreshAllWindows(0);
  ASSERT_EQ(pane.count, 3) << testing_support::DumpPane(pane);
  Command(window, WatchWindow::kDeleteAll);
  EXPECT_EQ(TakeReportedError(), 0u);
  RefreshAllWindows(0);
  EXPECT_EQ(pane.count, 0) << testing_support::DumpPane(pane);
  EXPECT_EQ(testing_support::RunCommandLine("wa"), 0u);
}

// A manager whose closing fails: the failure is reported, and the window, its layer
// window and its manager go all the same.
TEST_F(ListWindowsTest, FailingCloseStillClosesTheWindow) {
  ViewManagers().Install(&m_managers);
  m_managers.failClose = true;
  for (int32_t kind : {kViewWatch, kViewModules}) {
    SCOPED_TRACE(kind);
    WinSuper* window = Open(kind, 5, 40);
    const int32_t id = window->LayerWindowId();
    m_system.TakeLog();
    Close(window);
    EXPECT_EQ(TakeReportedError(), 116u);
    EXPECT_NE(m_system.TakeLog().find("DestroyWindow w"), std::string::npos);
    EXPECT_EQ(WindowTable::Get(id), nullptr);
    EXPECT_EQ(m_layer.Handle(id), 0u);
    EXPECT_EQ(ViewManagerAt(id), nullptr);
  }
}

}  // namespace
}  // namespace zentor
