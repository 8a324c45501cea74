// The Window menu over the recording layer, with placeholder windows: its numbering
// while windows open and after one closes, the first entry and windows without a
// viewpoint, the popup's life, the menu's commands and the WINMENU dialog.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/current_viewpoint.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "gui/dialog_body.h"
#include "gui/gui_window_layer.h"
#include "gui/window_factory.h"
#include "gui/window_menu.h"
#include "gui/window_table.h"
#include "harness/dialog_driver.h"
#include "harness/recording_layer_system.h"

namespace zentor {
namespace {

using testing_support::DialogDriver;
using testing_support::RecordingLayerSystem;

constexpr uint32_t kServer = 7;
constexpr uint32_t kOther = 8;
constexpr uint32_t kNoViewpoint = ViewpointHandle::kReserved;
constexpr int32_t kKinds[] = {kViewSource, kViewWatch,   kViewRegisters, kViewMemory,
                              kViewInspect, kViewLocals, kViewModules,   kViewCallstack};

class WindowMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallGuiWindowLayer(&layer);
    InstallGuiViewpointWindows();
    system.AddMenuBar(frameHandle, {"&File", "&View", "&Browse", "&Go", "&Debug", "&Configure", "&Help"});
    frame = layer.Register(frameHandle, kLayerFrame, 0);
    ViewpointManager::AddViewpoint(ViewpointHandle(kServer), "SERVER");
    ViewpointManager::AddViewpoint(ViewpointHandle(kOther), "OTHER");
    SetBaseViewpoint(ViewpointHandle(kServer));
    WindowRecordList::Initialize();
    // Placeholders stand in for the debugger's windows, whatever the program installed.
    for (int32_t kind : kKinds) {
      creators.push_back(GetWindowObjectCreator(kind));
      SetWindowObjectCreator(kind, nullptr);
    }
  }
  void TearDown() override {
    WindowTable::DestroyAll();
    for (size_t i = 0; i < creators.size(); ++i) SetWindowObjectCreator(kKinds[i], creators[i]);
    WindowRecordList::Initialize();
    InstallViewpointWindowPort(nullptr);
    InstallGuiWindowLayer(nullptr);
    ViewpointManager::RemoveAllViewpoints();
    SetBaseViewpoint(ViewpointHandle::None());
  }

  // The n-th window (from 0): the kinds in turn, SERVER and OTHER in turn.
  int32_t Open(int n, uint32_t viewpoint = 0) {
    if (viewpoint == 0) viewpoint = n % 2 == 0 ? kServer : kOther;
    WinSuper* window = CreateWindowObject(system.AddWindow("w" + std::to_string(n), 0, {100, 100, 200, 300}),
                                          kKinds[n % 8], viewpoint);
    return window != nullptr ? window->LayerWindowId() : kNoLayerId;
  }
  void CloseWindow(int32_t id) { DestroyWindowObject(id); }

  // The bar's popup titles, and the Window popup's items as "text [command]".
  std::vector<std::string> Bar() {
    std::vector<std::string> titles;
    for (const auto& item : system.Items(system.GetMenuBar(frameHandle))) titles.push_back(item.text);
    return titles;
  }
  std::vector<std::string> WindowMenu() {
    const auto& bar = system.Items(system.GetMenuBar(frameHandle));
    if (bar.size() <= kWindowMenuPosition || bar[kWindowMenuPosition].text != "&Window") return {};
    std::vector<std::string> items;
    for (const auto& item : system.Items(bar[kWindowMenuPosition].popup)) {
      items.push_back(item.text + " [" + std::to_string(item.command) + "]");
    }
    return items;
  }

  std::vector<WindowObjectCreator> creators;
  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  NativeWindow frameHandle = system.AddWindow("frame", 0, LayerRect{0, 0, 400, 600});
  int32_t frame = kNoLayerId;
};

const std::vector<std::string> kNine = {
    "&1 Source [3200]",           "&2 Watch [OTHER] [3201]",  "&3 Registers [SERVER] [3202]",
    "&4 Memory [OTHER] [3203]",   "&5 Inspect [SERVER] [3204]", "&6 Locals [OTHER] [3205]",
    "&7 Modules [SERVER] [3206]", "&8 Callstack [OTHER] [3207]", "&9 Source [SERVER] [3208]",
};

// Nine windows number nine entries; the tenth adds "&More Windows..." and the
// eleventh nothing; closing the third of eleven numbers ten entries again, then
// "&More Windows..."; the popup goes with the last window and Help is back in its place.
TEST_F(WindowMenuTest, NineThenMoreWindowsAndTenAfterARemoval) {
  std::vector<int32_t> ids;
  for (int n = 0; n < 9; ++n) ids.push_back(Open(n));
  EXPECT_EQ(WindowMenu(), kNine);
  EXPECT_EQ(Bar()[kWindowMenuPosition], "&Window");
  EXPECT_EQ(Bar().back(), "&Help");

  std::vector<std::string> ten = kNine;
  ten.push_back("&More Windows... [3198]");
  ids.push_back(Open(9));
  EXPECT_EQ(WindowMenu(), ten);
  ids.push_back(Open(10));
  EXPECT_EQ(WindowMenu(), ten);

  CloseWindow(ids[2]);
  ids.erase(ids.begin() + 2);
  EXPECT_EQ(WindowMenu(), (std::vector<std::string>{
                              "&1 Source [3200]", "&2 Watch [OTHER] [3201]", "&3 Memory [OTHER] [3202]",
                              "&4 Inspect [SERVER] [3203]", "&5 Locals [OTHER] [3204]", "&6 Modules [SERVER] [3205]",
                              "&7 Callstack [OTHER] [3206]", "&8 Source [SERVER] [3207]", "&9 Watch [OTHER] [3208]",
                              "&10 Registers [SERVER] [3209]", "&More Windows... [3198]"}));

  for (int32_t id : ids) CloseWindow(id);
  EXPECT_EQ(WindowMenu(), std::vector<std::string>{});
  EXPECT_EQ(Bar(), (std::vector<std::string>{"&File", "&View", "&Browse", "&Go", "&Debug", "&Configure", "&Help"}));
  EXPECT_EQ(WindowRecordList::Count(), 0);

  // A window the list does not hold changes nothing, on an empty list too.
  RemoveWindowMenuEntry(42);
  EXPECT_EQ(Bar().size(), 7u);
}

// The first entry never shows a viewpoint, and no entry whose window has none.
TEST_F(WindowMenuTest, TheFirstEntryAndWindowsWithoutAViewpoint) {
  const int32_t first = Open(0, kServer);
  Open(1, kNoViewpoint);
  Open(2, kOther);
  EXPECT_EQ(WindowRecordList::Records()[0].viewpointValue, kWindowRecordNoViewpoint);
  EXPECT_EQ(WindowMenu(), (std::vector<std::string>{"&1 Source [3200]", "&2 Watch [3201]",
                                                     "&3 Registers [OTHER] [3202]"}));
  CloseWindow(first);
  EXPECT_EQ(WindowMenu(), (std::vector<std::string>{"&1 Watch [3200]", "&2 Registers [OTHER] [3201]"}));
}

TEST_F(WindowMenuTest, MenuCommandsAndTheWindowListDialog) {
  DialogDriver driver(system);
  std::vector<int32_t> ids;
  for (int n = 0; n < 12; ++n) ids.push_back(Open(n));
  // With twelve open and the first closed, a thirteenth is the last entry: the list
  // brings it, not the one before it, to the front.
  CloseWindow(ids[0]);
  ids.erase(ids.begin());
  ids.push_back(Open(12));
  const int32_t active = layer.GetActiveWindow();
  ASSERT_EQ(active, ids.back());

  struct Case {
    const char* name;
    std::vector<DialogDriver::Action> actions;
    int32_t activated;
  };
  Case cases[] = {
      {"OK with nothing selected only closes", {DialogDriver::Press(1)}, active},
      {"Cancel", {DialogDriver::Select(101, 3), DialogDriver::Press(2)}, active},
      {"OK on the fourth", {DialogDriver::Select(101, 3), DialogDriver::Press(1)}, ids[3]},
      {"a double click on the last", {DialogDriver::DoubleClick(101, 11)}, ids[11]},
      {"OK on the first", {DialogDriver::Select(101, 0), DialogDriver::Press(1)}, ids[0]},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    layer.ActivateWindow(active);
    driver.Script({DialogDriver::Do([](DialogDriver& d) {
      EXPECT_EQ(d.Caption(), "Select a Window");
      const std::vector<std::string> entries = d.Entries(101);
      ASSERT_EQ(entries.size(), 12u);
      EXPECT_EQ(entries[0], "Watch");
      EXPECT_EQ(entries[1], "Registers [SERVER]");
      EXPECT_EQ(entries[11], "Inspect [SERVER]");
      EXPECT_EQ(d.Selection(101), -1);
    })});
    driver.Script(std::move(c.actions));
    EXPECT_TRUE(HandleWindowMenuCommand(kWindowMenuMoreCommand));
    EXPECT_EQ(layer.GetActiveWindow(), c.activated);
    EXPECT_EQ(layer.ModalStackTop(), kNoLayerId);
  }
  EXPECT_NE(system.TakeLog().find("BringWindowToTop w12"), std::string::npos);

  // A numbered entry brings its window up, restored when minimised; commands past the
  // entries are not the menu's.
  layer.ShowWindowState(ids[4], kWindowStateMinimized);
  EXPECT_TRUE(HandleWindowMenuCommand(kWindowMenuFirstCommand + 4));
  EXPECT_EQ(layer.GetActiveWindow(), ids[4]);
  EXPECT_EQ(layer.GetWindowState(ids[4]), kWindowStateNormal);
  EXPECT_FALSE(HandleWindowMenuCommand(kWindowMenuFirstCommand + 13));
  EXPECT_EQ(WindowRecordList::SelectEntry(kWindowMenuFirstCommand + 13), -1);
}

}  // namespace
}  // namespace zentor
