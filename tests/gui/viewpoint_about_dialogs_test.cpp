// The Viewpoint and Alias dialogs and the About box through the scripted driver over
// their real templates: the sorted list's rows, current mark and aliased-only filter,
// each choice in it acting on the viewpoint of the row chosen, the Alias dialog's
// reading of its text and its refusal of an alias in use, the F1 hook's topics in both
// dialogs, and the product texts on the About box's statics.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/dv_error.h"
#include "core/target_calls.h"
#include "core/target_interface.h"
#include "core/viewpoint_manager.h"
#include "core/window_layer.h"
#include "gui/about_box.h"
#include "gui/context_help.h"
#include "gui/frame_commands.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/layer_backend.h"
#include "gui/viewpoint_dialogs.h"
#include "gui/window_table.h"
#include "harness/dialog_driver.h"
#include "harness/dialog_template.h"
#include "harness/recording_layer_system.h"
#include "harness/window_procedures.h"
#include "target/tmi_viewpoint.h"

namespace zentor {
namespace {

using testing_support::DialogDriver;
using testing_support::RecordingLayerSystem;

constexpr uint32_t kHookMessage = 0xC123;

// A target that describes itself with the test's product record.
class DescribedTarget final : public TargetInterface {
 public:
  uint32_t GetTargetDescription(TargetStatus* status, uint32_t, TargetDescription* description) override {
    description->m_versionBlock = &block;
    status->m_number = 0;
    return 0;
  }
  TargetVersionBlock block;
};

class ViewpointAboutDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallGuiWindowLayer(&layer);
    m_previousBackend = WindowLayer::SetBackend(&backend);
    frame = layer.Register(frameHandle, kLayerFrame, 0);
    FrameWindow::SetFrame(frame);
    InstallGuiViewpointWindows();
    ViewpointManager::RemoveAllViewpoints();
    // Records 0 and 1 without alias, 2 and 3 aliased; 0 current. The target names
    // them "0x11" to "0x44".
    for (uint32_t value : kViewpoints) {
      TmiAddKnownViewpoint(value);
      ViewpointManager::AddViewpoint(ViewpointHandle(value));
    }
    ViewpointManager::SetAlias(2, "ALPHA");
    ViewpointManager::SetAlias(3, "BETA");
    ViewpointManager::SelectViewpoint(0);
    SetHelpHookMessage(kHookMessage);
    SetHelpFile("zentor.hlp");
    system.TakeLog();
  }
  void TearDown() override {
    if (IsViewpointDialogOpen()) {
      driver.Script({DialogDriver::Close()});
      driver.Play();
    }
    SetHelpHookMessage(0);
    SetHelpFile("");
    ViewpointManager::RemoveAllViewpoints();
    for (uint32_t value : kViewpoints) TmiRemoveKnownViewpoint(value);
    InstallViewpointWindowPort(nullptr);
    FrameWindow::Reset();
    WindowLayer::SetBackend(m_previousBackend);
    InstallGuiWindowLayer(nullptr);
  }
  void OpenViewpoints() {
    testing_support::SendCommand(FrameWindow::FrameHandle(), kCommandViewpointDialog);
    ASSERT_TRUE(IsViewpointDialogOpen());
  }
  std::vector<std::string> Lines() { return driver.Entries(kViewpointList); }
  // The row that names the viewpoint ("0x22"); -1 when none does.
  int32_t RowOf(const std::string& text) {
    const std::vector<std::string> lines = Lines();
    for (size_t row = 0; row < lines.size(); ++row) {
      if (lines[row].find(text) != std::string::npos) return static_cast<int32_t>(row);
    }
    return -1;
  }
  static uint32_t Current() { return ViewpointManager::HandleAt(ViewpointManager::CurrentIndex()).Value(); }
  static constexpr uint32_t kViewpoints[] = {0x11, 0x22, 0x33, 0x44};

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  LayerBackend backend{layer};
  WindowLayerBackend* m_previousBackend = nullptr;
  NativeWindow frameHandle = system.AddWindow("frame", 0, LayerRect{100, 200, 700, 1000});
  int32_t frame = kNoLayerId;
  DialogDriver driver{system};
};

// The rows read as the headings do: the mark, the target's text, the alias. The list
// sorts them (the current one's mark puts its row last), so each choice in it acts on
// the viewpoint of the row chosen, wherever the sorting put that row.
TEST_F(ViewpointAboutDialogsTest, EveryChoiceInTheSortedListActsOnTheViewpointOfItsRow) {
  OpenViewpoints();
  testing_support::SendCommand(FrameWindow::FrameHandle(), kCommandViewpointDialog);
  EXPECT_EQ(driver.Opened(), std::vector<std::string>{"VIEWPTDLG"}) << "an open dialog is brought up, not made twice";
  EXPECT_EQ(Lines(), (std::vector<std::string>{"             0x22             ",
                                               "             0x33             ALPHA",
                                               "             0x44             BETA",
                                               "   *         0x11             "}));
  EXPECT_EQ(driver.Selection(kViewpointList), 3) << "the selection starts on the first viewpoint";
  std::vector<std::pair<int32_t, std::string>> headings;
  for (const testing_support::DialogResourceTemplate& dialog : testing_support::ProjectDialogTemplates()) {
    if (dialog.name != "VIEWPTDLG") continue;
    for (const testing_support::DialogControlTemplate& control : dialog.controls) {
      if (control.statement == "LTEXT") headings.emplace_back(control.x, control.text);
    }
  }
  std::sort(headings.begin(), headings.end());
  ASSERT_EQ(headings.size(), 3u);
  EXPECT_EQ(headings[0].second + " " + headings[1].second + " " + headings[2].second, "Current Viewpoint Alias")
      << "the headings, left to right, name the row's columns";

  struct Step {
    const char* name;
    std::vector<DialogDriver::Action> actions;  // after the row is chosen; none: a double click on it
    const char* row;                            // a text of the row chosen
    uint32_t current;                           // the current viewpoint after
    size_t rows;
  };
  const Step steps[] = {
      {"a double click on the first row", {}, "0x22", 0x22, 4},
      {"Make Current on the ALPHA row", {DialogDriver::Press(kViewpointMakeCurrent)}, "0x33", 0x33, 4},
      {"the filter while a row without alias is chosen", {DialogDriver::Press(kViewpointAliasedOnly)}, "0x22", 0x33, 2},
      {"a double click in the filtered list", {}, "BETA", 0x44, 2},
      {"the filter off again", {DialogDriver::Press(kViewpointAliasedOnly)}, "BETA", 0x44, 4},
      {"Make Current on the row of 0x11", {DialogDriver::Press(kViewpointMakeCurrent)}, "0x11", 0x11, 4},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    const int32_t row = RowOf(step.row);
    ASSERT_GE(row, 0);
    if (step.actions.empty()) {
      driver.Script({DialogDriver::DoubleClick(kViewpointList, row)});
    } else {
      driver.Script({DialogDriver::Select(kViewpointList, row)});
      driver.Script(step.actions);
    }
    driver.Play();
    EXPECT_EQ(Current(), step.current);
    EXPECT_EQ(Lines().size(), step.rows);
    const int32_t marked = RowOf("*");
    ASSERT_GE(marked, 0);
    EXPECT_EQ(ViewpointManager::FindIndexByHandle(ViewpointHandle(step.current)),
              ViewpointManager::FindIndexByAlias(Lines()[static_cast<size_t>(marked)].substr(13, 4).c_str()))
        << "the mark is on the current viewpoint's row";
  }
  EXPECT_EQ(Lines()[static_cast<size_t>(driver.Selection(kViewpointList))].substr(3, 1), "*")
      << "the chosen row stays chosen when the sorting moves it";

  // A viewpoint removed before the chosen one leaves the choice on the same viewpoint.
  driver.Script({DialogDriver::Select(kViewpointList, RowOf("0x44"))});
  driver.Play();
  ViewpointManager::RemoveViewpoint(ViewpointHandle(0x11));
  RefreshViewpointDialogIfChanged();
  EXPECT_EQ(Lines().size(), 3u);
  EXPECT_EQ(driver.Selection(kViewpointList), RowOf("0x44"));
  ViewpointManager::ApplyPendingSelection();
  driver.Script({DialogDriver::Press(kViewpointMakeCurrent)});
  driver.Play();
  EXPECT_EQ(Current(), 0x44u);

  for (uint32_t value : {0x22u, 0x33u, 0x44u}) ViewpointManager::RemoveViewpoint(ViewpointHandle(value));
  RefreshViewpointDialogIfChanged();
  EXPECT_TRUE(Lines().empty());
  EXPECT_FALSE(driver.Enabled(kViewpointMakeCurrent));
  EXPECT_FALSE(driver.Enabled(kViewpointAlias));
}

TEST_F(ViewpointAboutDialogsTest, TheAliasDialogSetsTheFirstWordOfAtMostEightCharacters) {
  struct Case {
    const char* typed;
    const char* alias;
  };
  const Case cases[] = {{"ab cd", "ab"}, {"abcdefghijkl", "abcdefgh"}, {"\tzz", "zz"}, {"   ", ""}};
  OpenViewpoints();
  driver.Script({DialogDriver::Select(kViewpointList, RowOf("0x22"))});
  driver.Play();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    driver.Script({DialogDriver::Press(kViewpointAlias),
                   DialogDriver::Do([](DialogDriver& d) { EXPECT_EQ(d.Caption(), "Alias"); }),
                   DialogDriver::Type(kAliasEdit, c.typed), DialogDriver::Press(kDialogOkControl)});
    driver.Play();
    EXPECT_EQ(std::string(ViewpointManager::AliasOf(1).data()), c.alias);
    EXPECT_EQ(Lines()[static_cast<size_t>(RowOf("0x22"))], "             0x22             " + std::string(c.alias));
  }
  EXPECT_EQ(ViewpointManager::AliasNumberOf(1), -1) << "blanks removed the alias";
}

TEST_F(ViewpointAboutDialogsTest, AnAliasInUseIsRefusedWithTheDialogOpenAndItsTextSelected) {
  OpenViewpoints();
  LastError() = DVError(0, 0, kDisplayByFocus);
  bool stayedOpen = false;
  driver.Script({DialogDriver::Select(kViewpointList, RowOf("0x22")), DialogDriver::Press(kViewpointAlias),
                 DialogDriver::Type(kAliasEdit, "ALPHA"),
                 DialogDriver::Do([&](DialogDriver&) { system.TakeLog(); }),
                 DialogDriver::Press(kDialogOkControl),
                 DialogDriver::Do([&](DialogDriver& d) {
                   stayedOpen = d.Caption() == "Alias";
                   EXPECT_NE(system.TakeLog().find("EditSetSelection ALIASDLG.699 0 -1"), std::string::npos);
                 }),
                 DialogDriver::Press(kDialogCancelControl)});
  driver.Play();
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(GetLastErrorNumber(), kMsgAliasInUse);
  EXPECT_TRUE(ViewpointManager::AliasOf(1).isNull());
  EXPECT_EQ(std::string(ViewpointManager::AliasOf(2).data()), "ALPHA");
}

// F1 in a dialog reaches it as the hook's message: each dialog shows its own topic.
TEST_F(ViewpointAboutDialogsTest, TheHooksMessageShowsEachDialogsTopicAndNothingInTheAboutBox) {
  OpenViewpoints();
  driver.Script({DialogDriver::Do([](DialogDriver& d) { EXPECT_TRUE(d.Current()->OtherMessage(kHookMessage)); }),
                 DialogDriver::Press(kViewpointAlias),
                 DialogDriver::Do([](DialogDriver& d) { EXPECT_TRUE(d.Current()->OtherMessage(kHookMessage)); }),
                 DialogDriver::Press(kDialogCancelControl)});
  driver.Play();
  const std::string log = system.TakeLog();
  EXPECT_NE(log.find("WinHelp VIEWPTDLG \"zentor.hlp\" 1 30170"), std::string::npos) << log;
  EXPECT_NE(log.find("WinHelp ALIASDLG \"zentor.hlp\" 1 30180"), std::string::npos) << log;

  driver.Script({DialogDriver::Do([](DialogDriver& d) { d.Current()->OtherMessage(kHookMessage); }),
                 DialogDriver::Command(kDialogHelpControl), DialogDriver::Press(kDialogOkControl)});
  HandleFrameCommand(frame, kCommandAbout, 0);
  EXPECT_EQ(system.TakeLog().find("WinHelp"), std::string::npos);
}

TEST_F(ViewpointAboutDialogsTest, TheAboutBoxShowsTheProductRecord) {
  DescribedTarget target;
  TargetInterface* previous = InstallTargetInterface(&target);
  const std::string longVersion(200, '7');
  struct Case {
    const char* name;
    const char* version;
    const char* further;
  };
  const Case cases[] = {{"short version, further text", "1.2", "further"},
                        {"no further text", "2.03", nullptr},
                        {"a version longer than the line", longVersion.c_str(), nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    target.block = TargetVersionBlock{"Vendor", "Product", c.version, "Notice", c.further, 0};
    TargetCallWrapper::LoadTargetDescription();
    std::vector<std::string> texts;
    driver.Script({DialogDriver::Do([&](DialogDriver& d) {
                     for (int32_t item = kAboutFirstText; item < kAboutFirstText + kAboutTextCount; ++item) {
                       texts.push_back(d.Text(item));
                     }
                   }),
                   DialogDriver::Close()});
    HandleFrameCommand(frame, kCommandAbout, 0);
    const std::string version = "Version " + std::string(c.version).substr(0, 119);
    EXPECT_EQ(texts, (std::vector<std::string>{"Vendor", "Product", version, "Notice",
                                               c.further != nullptr ? c.further : ""}));
  }
  InstallTargetInterface(previous);
  TargetCallWrapper::LoadTargetDescription();
}

// The INTRO box keeps its size and sits in the middle of the frame.
TEST_F(ViewpointAboutDialogsTest, TheIntroBoxIsCentredOverTheFrame) {
  LayerRect box;
  // What its timer posts closes it.
  driver.Script({DialogDriver::Do([&](DialogDriver& d) { layer.GetWindowBounds(d.CurrentId(), &box); }),
                 DialogDriver::Command(kDialogCancelControl)});
  ShowIntroDialog();
  EXPECT_EQ(driver.Opened(), std::vector<std::string>{"INTRO"});
  EXPECT_EQ(box.bottom, 180);
  EXPECT_EQ(box.right, 220);
  EXPECT_EQ(box.top, 100 + 600 / 2 - 180 / 2);
  EXPECT_EQ(box.left, 200 + 800 / 2 - 220 / 2);
}

}  // namespace
}  // namespace zentor
