// The custom buttons: the Custom Buttons dialog and its Add and Modify dialogs on their
// real templates through the scripted driver, the bar made again when the dialog
// closes, named sets in a settings store on a temporary file, and a press of a bar
// button through the frame's command running its text against the stand-in agent.
#include "windows/custom_buttons.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/output_writer.h"
#include "core/dv_error.h"
#include "core/message_table.h"
#include "core/window_layer.h"
#include "debugger_windows_fixture.h"
#include "engine/dialog_records.h"
#include "engine/settings_store.h"
#include "gui/custom_button_record.h"
#include "gui/dialog_description_file.h"
#include "gui/frame_commands.h"
#include "gui/frame_window.h"
#include "gui/layer_backend.h"
#include "gui/layout_state.h"
#include "gui/manage_operations.h"
#include "harness/agent_process.h"
#include "harness/dialog_driver.h"
#include "harness/session/console_session.h"
#include "harness/window_procedures.h"
#include "windows/settings_dialogs.h"

namespace zentor {
namespace {

using D = testing_support::DialogDriver;

struct Button {
  std::string name;
  std::string command;
  bool operator==(const Button&) const = default;
};

class CustomButtonsTest : public testing_support::DebuggerWindowsTest {
 protected:
  void SetUp() override {
    DebuggerWindowsTest::SetUp();
    m_previousBackend = WindowLayer::SetBackend(&m_backend);
    m_frameId = m_layer.IdOf(m_frame);
    FrameWindow::SetFrame(m_frameId);
    ASSERT_EQ(m_store.Open(m_scratch.File("s.ddb").c_str()), 0);
    m_previousStore = InstallSettingsStore(&m_store);
    ResetCustomButtons();
    InstallSettingsDialogs();
    m_system.TakeLog();
  }
  void TearDown() override {
    ResetCustomButtons();
    FrameWindow::Reset();
    InstallSettingsStore(m_previousStore);
    m_store.Reset();
    WindowLayer::SetBackend(m_previousBackend);
    DebuggerWindowsTest::TearDown();
  }

  static std::vector<Button> Buttons() {
    std::vector<Button> buttons;
    for (const CustomButton& button : CustomButtons()) buttons.push_back({button.name, button.command});
    return buttons;
  }
  // The dialog opened as the frame's menu item opens it, the script played in it.
  void OpenFromMenu(std::vector<D::Action> script) {
    m_driver.Script(std::move(script));
    ASSERT_TRUE(HandleFrameCommand(m_frameId, kCommandCustomButtons, 0));
    EXPECT_TRUE(m_driver.ScriptDone());
  }
  static std::vector<D::Action> AddWith(const std::string& name, const std::string& command) {
    return {D::Press(kCustomAddButton), D::Type(kCustomNameEdit, name), D::Type(kCustomCommandEdit, command),
            D::Press(kDialogOkControl)};
  }

  LayerBackend m_backend{m_layer};
  WindowLayerBackend* m_previousBackend = nullptr;
  int32_t m_frameId = kNoLayerId;
  testing_support::DialogDriver m_driver{m_system};
  testing_support::ScratchDirectory m_scratch{"custom-buttons"};
  DialogDescriptionFile& m_store = TheDialogDescriptionFile();
  SettingsStore* m_previousStore = nullptr;
};

std::vector<D::Action> operator+(std::vector<D::Action> a, std::vector<D::Action> b) {
  for (D::Action& action : b) a.push_back(std::move(action));
  return a;
}

// Add with OK and with Apply, Modify, Delete: the rows show a tab, the name, a tab and
// the command; OK and Apply wait for the first keystroke; Apply that makes the eighth
// button closes Add and disables "&Add..."; deleting the middle of three renumbers.
TEST_F(CustomButtonsTest, TheDialogAddsModifiesAndDeletesButtons) {
  OpenFromMenu(AddWith("G", "go") + AddWith("S", "step") +
               std::vector<D::Action>{
                   D::Press(kCustomAddButton), D::Do([](D& d) {
                     EXPECT_FALSE(d.Enabled(kDialogOkControl));
                     EXPECT_FALSE(d.Enabled(kCustomApplyButton));
                   }),
                   D::Type(kCustomNameEdit, "Regs"), D::Type(kCustomCommandEdit, "regs"), D::Press(kCustomApplyButton),
                   D::Do([](D& d) {
                     EXPECT_EQ(d.Text(kCustomNameEdit), "");
                     EXPECT_FALSE(d.Enabled(kCustomApplyButton));
                     EXPECT_EQ(d.Text(kDialogCancelControl), "Cl&ose");
                   }),
                   D::Press(kDialogCancelControl), D::Do([](D& d) {
                     EXPECT_EQ(d.Entries(kCustomButtonList),
                               (std::vector<std::string>{"\tG\tgo", "\tS\tstep", "\tRegs\tregs"}));
                   }),
                   D::Select(kCustomButtonList, 1), D::Press(kCustomModifyButton), D::Do([](D& d) {
                     EXPECT_EQ(d.Text(kCustomNameEdit), "S");
                     EXPECT_EQ(d.Text(kCustomCommandEdit), "step");
                   }),
                   D::Type(kCustomCommandEdit, "step over"), D::Press(kDialogOkControl),
                   D::Select(kCustomButtonList, 1), D::Press(kCustomDeleteButton),
                   D::Do([](D& d) { EXPECT_EQ(d.Entries(kCustomButtonList).size(), 2u); }),
                   D::Press(kDialogOkControl)});
  EXPECT_EQ(Buttons(), (std::vector<Button>{{"G", "go"}, {"Regs", "regs"}}));
  EXPECT_EQ(CustomButtons()[1].index, 1);
  EXPECT_EQ(FrameWindow::CustomButtonCount(), 2);

  std::vector<D::Action> eight = {D::Press(kCustomAddButton)};
  for (int i = 2; i < 8; ++i) {
    eight.push_back(D::Type(kCustomNameEdit, "B" + std::to_string(i)));
    eight.push_back(D::Type(kCustomCommandEdit, "regs"));
    eight.push_back(D::Press(kCustomApplyButton));
  }
  eight.push_back(D::Do([](D& d) {
    EXPECT_EQ(d.Caption(), "Custom Buttons") << "the eighth closes Add";
    EXPECT_FALSE(d.Enabled(kCustomAddButton));
  }));
  eight.push_back(D::Press(kDialogOkControl));
  OpenFromMenu(std::move(eight));
  EXPECT_EQ(CustomButtons().size(), 8u);
  EXPECT_EQ(FrameWindow::CustomButtonCount(), 8);
}

// A blank name or command is refused with 210 and the dialog stays open; six
// characters cannot be typed into the name.
TEST_F(CustomButtonsTest, BlankFieldsAreRefused) {
  struct Case {
    const char* name;
    const char* command;
  };
  for (const Case& c : {Case{"     ", "go"}, Case{"", "go"}, Case{"G", "   "}}) {
    SCOPED_TRACE(std::string("[") + c.name + "][" + c.command + "]");
    OpenFromMenu({D::Press(kCustomAddButton), D::Type(kCustomNameEdit, c.name), D::Type(kCustomCommandEdit, c.command),
                  D::Press(kDialogOkControl), D::Do([&](D& d) {
                    EXPECT_EQ(d.Caption(), "Add Custom Button");
                    EXPECT_NE(m_system.TakeLog().find("Empty or blank string entered."), std::string::npos);
                  }),
                  D::Type(kCustomNameEdit, "Longer"),
                  D::Do([](D& d) { EXPECT_EQ(d.Text(kCustomNameEdit), "Longe"); }),
                  D::Press(kDialogCancelControl), D::Press(kDialogOkControl)});
    EXPECT_TRUE(CustomButtons().empty());
  }
}

// "Mod&ify..." with no button to modify (its command reaching the dialog while the
// list is empty): the Modify dialog reports 211 as a fatal error in a box and closes
// at once, leaving the list as it was.
TEST_F(CustomButtonsTest, ModifyWithoutAButtonIsAFatalErrorInABox) {
  OpenFromMenu({D::Command(kCustomModifyButton), D::Do([](D& d) {
                  EXPECT_EQ(d.Caption(), "Custom Buttons") << "the Modify dialog closed";
                  EXPECT_TRUE(d.Entries(kCustomButtonList).empty());
                }),
                D::Press(kDialogOkControl)});
  const std::string log = m_system.TakeLog();
  EXPECT_NE(log.find("\"FATAL ERROR #211: " + std::string(FindMessageText(211)) + "\" hand ok"), std::string::npos)
      << log;
  EXPECT_EQ(TakeReportedError(), 211u);
  EXPECT_TRUE(CustomButtons().empty());
}

// Cancel after changes puts the list and the bar back as they were when the dialog
// opened.
TEST_F(CustomButtonsTest, CancelPutsTheButtonsAndTheBarBack) {
  OpenFromMenu(AddWith("G", "go") + std::vector<D::Action>{D::Press(kDialogOkControl)});
  const int32_t before = CustomButtons()[0].commandId;
  OpenFromMenu(AddWith("S", "step") + std::vector<D::Action>{D::Select(kCustomButtonList, 0),
                                                             D::Press(kCustomDeleteButton),
                                                             D::Press(kDialogCancelControl)});
  EXPECT_EQ(Buttons(), (std::vector<Button>{{"G", "go"}}));
  EXPECT_EQ(FrameWindow::CustomButtonCount(), 1);
  EXPECT_EQ(CustomButtons()[0].commandId, before);
}

// Named sets: a saved set comes back in order with the bar; a name never saved leaves
// no buttons and says nothing; a stored count of 9 restores nothing and says so, and
// the buttons stay.
TEST_F(CustomButtonsTest, NamedSetsSaveRestoreAndRefuseABadRecord) {
  OpenFromMenu(AddWith("G", "go") + AddWith("S", "step") + std::vector<D::Action>{D::Press(kDialogOkControl)});
  ASSERT_EQ(SaveCustomButtons("mine", "two buttons"), 0);
  ASSERT_EQ(SaveCustomButtons("mine", "two again"), 0) << "a save replaces";
  std::vector<uint8_t> nine(kCustomButtonHeaderSize + kSavedCustomButtonSize * 9, 0);
  nine[0] = 9;
  ASSERT_EQ(m_store.AddRecord(kCustomButtonRecordId, "bad", "", static_cast<uint32_t>(nine.size()), nine.data()), 0);

  NamedSetRequest bad;
  bad.m_name = "bad";
  m_system.TakeLog();
  EXPECT_EQ(CustomButtonManageCallback(m_frameId, kManageRestore, &bad), 114);
  EXPECT_NE(m_system.TakeLog().find("Custom Buttons not restored."), std::string::npos);
  EXPECT_EQ(Buttons().size(), 2u);

  NamedSetRequest never;
  never.m_name = "never";
  EXPECT_EQ(CustomButtonManageCallback(m_frameId, kManageRestore, &never), 0);
  EXPECT_TRUE(Buttons().empty());
  EXPECT_EQ(m_system.TakeLog().find("MessageBox"), std::string::npos);

  NamedSetRequest mine;
  mine.m_name = "mine";
  EXPECT_EQ(CustomButtonManageCallback(m_frameId, kManageRestore, &mine), 0);
  EXPECT_EQ(Buttons(), (std::vector<Button>{{"G", "go"}, {"S", "step"}}));
  EXPECT_EQ(CurrentCustomButtonIndex(), 1);
  EXPECT_EQ(FrameWindow::CustomButtonCount(), 2);
  NamedSetList list;
  EXPECT_EQ(CustomButtonManageCallback(m_frameId, kManageList, &list), 2);
  EXPECT_EQ(std::string(list.m_entries[0].m_description.data()), "two again");
}

// The exit's save with "Save on Exit" on keeps the buttons as set "CURRENT" (the
// layout's restore reads that set); "Clear Saved Values" takes it away again.
TEST_F(CustomButtonsTest, TheExitSaveKeepsTheButtonsAsTheCurrentSet) {
  OpenFromMenu(AddWith("G", "go") + AddWith("S", "step") + std::vector<D::Action>{D::Press(kDialogOkControl)});
  ToggleSaveOnExit();
  SaveSessionLayout();
  LayoutState::Reset();
  ResetCustomButtons();
  ASSERT_EQ(RestoreCustomButtons("CURRENT", ""), 0);
  EXPECT_EQ(Buttons(), (std::vector<Button>{{"G", "go"}, {"S", "step"}}));
  ClearSavedValues();
  ASSERT_EQ(RestoreCustomButtons("CURRENT", ""), 0);
  EXPECT_TRUE(Buttons().empty());
}

// Through the management: the buttons saved under a name come back by Restore after
// they were deleted, and the bar shows them once the dialog closes.
TEST_F(CustomButtonsTest, TheManagementSavesAndRestoresTheButtons) {
  OpenFromMenu(AddWith("G", "go") +
               std::vector<D::Action>{D::Press(kCustomManageButton),
                                      D::Do([](D& d) { EXPECT_EQ(d.Caption(), "Custom Buttons Management"); }),
                                      D::Press(17), D::Type(1560, "two"), D::Type(1561, "G only"), D::Press(1),
                                      D::Press(1), D::Select(kCustomButtonList, 0), D::Press(kCustomDeleteButton),
                                      D::Press(kCustomManageButton), D::Select(15, 0), D::Press(16), D::Press(1),
                                      D::Do([](D& d) {
                                        EXPECT_EQ(d.Entries(kCustomButtonList), (std::vector<std::string>{"\tG\tgo"}));
                                      }),
                                      D::Press(kDialogOkControl)});
  EXPECT_EQ(Buttons(), (std::vector<Button>{{"G", "go"}}));
  EXPECT_EQ(FrameWindow::CustomButtonCount(), 1);
}

// "G" with "go" runs go when its bar button is pressed: the agent is told to go and a
// fresh prompt shows the thread running. A command no button has runs nothing.
TEST_F(CustomButtonsTest, APressRunsTheCommandAndPrintsThePrompt) {
  OR_RETURN(ConnectToDemo());
  OpenFromMenu(AddWith("G", "go") + std::vector<D::Action>{D::Press(kDialogOkControl)});
  ASSERT_EQ(CustomButtons().size(), 1u);
  const int32_t command = CustomButtons()[0].commandId;
  EXPECT_EQ(RunCustomButton(command + 1), 0);

  std::string printed;
  OutputWriter::InstallHook([&printed](char ch) { printed += ch; });
  const bool handled = HandleFrameCommand(m_frameId, static_cast<uint32_t>(command), 0);
  OutputWriter::RemoveHook();
  EXPECT_TRUE(handled);
  size_t goes = 0;
  for (const std::string& line : m_session.Agent().TraceLines("exec ")) {
    if (line.find("command=0x04") != std::string::npos) ++goes;
  }
  EXPECT_EQ(goes, 1u);
  ASSERT_FALSE(printed.empty());
  EXPECT_EQ(printed.back(), '?') << printed;
  WaitForStopAndRefresh();
}

// A press leaves the focus on the button, where an error would go to a box: the
// button's command reports its error in the command output as a typed command does.
// Once it has ended, an error reported with the focus still there goes to a box.
TEST_F(CustomButtonsTest, AButtonsCommandReportsItsErrorsInTheCommandOutput) {
  OR_RETURN(ConnectToDemo());
  OpenFromMenu(AddWith("X", "eval )") + std::vector<D::Action>{D::Press(kDialogOkControl)});
  const int32_t command = CustomButtons()[0].commandId;
  m_system.focus = m_layer.Handle(FrameWindow::ButtonId(static_cast<uint32_t>(command)));
  m_system.TakeLog();
  TakeReportedError();

  std::string printed;
  OutputWriter::InstallHook([&printed](char ch) { printed += ch; });
  testing_support::SendCommand(m_frame, static_cast<uint32_t>(command));
  OutputWriter::RemoveHook();
  EXPECT_NE(TakeReportedError(), 0u);
  EXPECT_NE(printed.find("ERROR"), std::string::npos) << printed;
  EXPECT_EQ(m_system.TakeLog().find("MessageBox"), std::string::npos);

  DVError(kMsgUserBreak, kSeverityError, kDisplayByFocus).Report();
  EXPECT_NE(m_system.TakeLog().find("MessageBox"), std::string::npos);
}

}  // namespace
}  // namespace zentor
