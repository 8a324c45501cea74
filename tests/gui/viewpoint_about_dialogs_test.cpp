// The Viewpoint and Alias dialogs and the About box through the scripted driver over
// their real templates: the list's current mark and aliased-only filter, making a
// viewpoint current, the Alias dialog's reading of its text and its refusal of an
// alias in use, the F1 hook's topics in both dialogs, and the product texts on the
// About box's statics.
#include <gtest/gtest.h>

#include <string>
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
#include "harness/recording_layer_system.h"

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
    // Records 0 and 1 without alias, 2 and 3 aliased; 0 current.
    for (uint32_t value : {0x11u, 0x22u, 0x33u, 0x44u}) ViewpointManager::AddViewpoint(ViewpointHandle(value));
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
    InstallViewpointWindowPort(nullptr);
    FrameWindow::Reset();
    WindowLayer::SetBackend(m_previousBackend);
    InstallGuiWindowLayer(nullptr);
  }
  void OpenViewpoints() {
    ASSERT_TRUE(HandleFrameCommand(frame, kCommandViewpointDialog, 0));
    ASSERT_TRUE(IsViewpointDialogOpen());
  }
  std::vector<std::string> Lines() { return driver.Entries(kViewpointList); }
  // The list line of the record with the alias (or of none), and whether it is marked.
  static bool Marked(const std::string& line) { return line.size() > 3 && line[3] == '*'; }

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  LayerBackend backend{layer};
  WindowLayerBackend* m_previousBackend = nullptr;
  NativeWindow frameHandle = system.AddWindow("frame", 0, LayerRect{100, 200, 700, 1000});
  int32_t frame = kNoLayerId;
  DialogDriver driver{system};
};

TEST_F(ViewpointAboutDialogsTest, TheListMarksTheCurrentViewpointFiltersAndMakesTheDoubleClickedOneCurrent) {
  OpenViewpoints();
  ASSERT_TRUE(HandleFrameCommand(frame, kCommandViewpointDialog, 0));
  EXPECT_EQ(driver.Opened(), std::vector<std::string>{"VIEWPTDLG"}) << "an open dialog is brought up, not made twice";
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(Marked(lines[0]));
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_FALSE(Marked(lines[i])) << lines[i];
  // Under the headings: the alias, then the target's text of the viewpoint.
  EXPECT_EQ(lines[2], "             ALPHA             " +
                          std::string(ViewpointManager::DisplayNameOf(0x33, false).data()));

  // Record 1 has no alias: with the filter on the selection moves to the first aliased.
  driver.Script({DialogDriver::Select(kViewpointList, 1), DialogDriver::Press(kViewpointAliasedOnly)});
  driver.Play();
  lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("ALPHA"), std::string::npos);
  EXPECT_NE(lines[1].find("BETA"), std::string::npos);
  EXPECT_EQ(driver.Selection(kViewpointList), 0);
  EXPECT_EQ(ViewpointManager::SelectedIndex(false), 2);

  // In the filtered list a position is an alias number.
  driver.Script({DialogDriver::DoubleClick(kViewpointList, 1)});
  driver.Play();
  EXPECT_EQ(ViewpointManager::CurrentIndex(), 3);
  lines = Lines();
  EXPECT_FALSE(Marked(lines[0]));
  EXPECT_TRUE(Marked(lines[1])) << "the mark follows the current viewpoint";

  // The filter off again: every viewpoint, the mark on record 3.
  driver.Script({DialogDriver::Press(kViewpointAliasedOnly)});
  driver.Play();
  lines = Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(Marked(lines[3]));

  // Viewpoints removed while the dialog is open leave the list at the next refresh.
  ViewpointManager::RemoveViewpoint(ViewpointHandle(0x33));
  RefreshViewpointDialogIfChanged();
  EXPECT_EQ(Lines().size(), 3u);
  for (uint32_t value : {0x11u, 0x22u, 0x44u}) ViewpointManager::RemoveViewpoint(ViewpointHandle(value));
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
  driver.Script({DialogDriver::Select(kViewpointList, 1)});
  driver.Play();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    driver.Script({DialogDriver::Press(kViewpointAlias),
                   DialogDriver::Do([](DialogDriver& d) { EXPECT_EQ(d.Caption(), "Alias"); }),
                   DialogDriver::Type(kAliasEdit, c.typed), DialogDriver::Press(kDialogOkControl)});
    driver.Play();
    EXPECT_EQ(std::string(ViewpointManager::AliasOf(1).data()), c.alias);
    EXPECT_EQ(Lines()[1].find(c.alias) != std::string::npos, true) << Lines()[1];
  }
  EXPECT_EQ(ViewpointManager::AliasNumberOf(1), -1) << "blanks removed the alias";
}

TEST_F(ViewpointAboutDialogsTest, AnAliasInUseIsRefusedWithTheDialogOpenAndItsTextSelected) {
  OpenViewpoints();
  LastError() = DVError(0, 0, kDisplayByFocus);
  bool stayedOpen = false;
  driver.Script({DialogDriver::Select(kViewpointList, 1), DialogDriver::Press(kViewpointAlias),
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
