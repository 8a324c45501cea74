// The Modules and Watch windows over the recording window layer: the list width the
// Modules window asks for, a module browsed to (the Source window follows), the Watch
// window's mouse and its Delete All, and a window whose manager fails to close.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/view_kind.h"
#include "debugger_windows_fixture.h"
#include "engine/view_managers.h"
#include "gui/window_table.h"
#include "harness/pane_dump.h"
#include "windows/modules_window.h"
#include "windows/watch_window.h"

namespace zentor {
namespace {

using testing_support::DebuggerWindowsTest;

constexpr int32_t kKeyRight = 303;
constexpr int32_t kKeyLeft = 304;
constexpr int32_t kKeyEnter = 13;
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

// A module is browsed to by its name behind ':' (a double click, Enter or the popup's
// "&Browse To" on it): the scope moves to the module and the Source window follows
// at the next refresh. Without a selected name nothing is browsed.
TEST_F(ListWindowsTest, ModuleBrowsedToByItsName) {
  OR_RETURN(ConnectToDemo());
  WinSuper* source = Open(kViewSource);
  WinSuper* modules = Open(kViewModules, 5, 40);
  const TextPane& list = modules->GetTextPane();
  ASSERT_EQ(IndexOf(list, "DEMO_CALC  DEMO_MAIN"), 0) << testing_support::DumpPane(list);
  const std::string atStop = testing_support::DumpPane(source->GetTextPane());
  const std::string scope = testing_support::PrintedByCommandLine("eval scope line");
  Mouse(modules, kEventDoubleClick, 0, 3);
  RefreshAllWindows(0);
  EXPECT_EQ(testing_support::PrintedByCommandLine("eval scope line"), scope);
  EXPECT_EQ(testing_support::DumpPane(source->GetTextPane()), atStop);

  struct Case {
    const char* name;
    std::function<void()> browse;
  };
  const std::vector<Case> cases = {
      {"DEMO_CALC", [&] { Mouse(modules, kEventDoubleClick, 0, 3); }},
      {"DEMO_MAIN", [&] { Key(modules, kKeyEnter); }},
      {"DEMO_CALC", [&] { Command(modules, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int32_t key : {kKeyRight, kKeyRight, kKeyLeft, kKeyLeft}) {
      if (list.SelectedFieldText() != c.name) Key(modules, key);
    }
    ASSERT_EQ(list.SelectedFieldText(), c.name);
    c.browse();
    EXPECT_EQ(TakeReportedError(), 0u);
    RefreshAllWindows(0);
    EXPECT_EQ(testing_support::PrintedByCommandLine("eval scope line").rfind(std::string(":") + c.name + "#", 0), 0u);
    EXPECT_NE(testing_support::DumpPane(source->GetTextPane()), atStop);
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
