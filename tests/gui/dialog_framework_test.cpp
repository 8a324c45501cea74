// The dialog framework natively, through the scripted driver: a list dialog's Cancel
// after a change puts its snapshot back, Apply renames Cancel, a body that raises is
// handed on with its dialog closed and the windows it disabled enabled again, and
// the routes every dialog shares (close, help, modal and modeless registration,
// nested modal dialogs).
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/dv_error.h"
#include "core/window_layer.h"
#include "gui/context_help.h"
#include "gui/dialog_body.h"
#include "gui/gui_window_layer.h"
#include "gui/layer_backend.h"
#include "harness/dialog_driver.h"
#include "harness/recording_layer_system.h"

namespace zentor {
namespace {

using testing_support::DialogDriver;
using testing_support::RecordingLayerSystem;

constexpr char kTestTemplates[] = R"(
// A list of names with Delete and Apply, an edit and two buttons that raise.
TESTLIST DIALOG 10, 10, 200, 100
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION
CAPTION "Test List"
BEGIN
  LISTBOX 101, 5, 5, 120, 80, LBS_NOTIFY | WS_VSCROLL
  EDITTEXT 102, 5, 88, 120, 12
  PUSHBUTTON "&Delete", 103, 130, 5, 50, 14
  PUSHBUTTON "&Apply", 104, 130, 22, 50, 14
  PUSHBUTTON "Raise", 105, 130, 39, 50, 14
  PUSHBUTTON "Raise other", 106, 130, 56, 50, 14
  PUSHBUTTON "Nested", 107, 130, 73, 50, 14
  DEFPUSHBUTTON "&OK", 1, 130, 90, 30, 14
  PUSHBUTTON "&Cancel", 2, 165, 90, 30, 14
  PUSHBUTTON "&Help", 10, 165, 73, 30, 14
END
TESTINNER DIALOG 20, 20, 100, 40
CAPTION "Inner"
BEGIN
  DEFPUSHBUTTON "OK", 1, 5, 5, 30, 14
  PUSHBUTTON "Cancel", 2, 40, 5, 30, 14
END
)";

// The state the list dialog edits: names, as an engine's table would hold them.
struct NameTable {
  std::vector<std::string> names;
  int putBacks = 0;
};

class InnerDialog final : public DialogBody {
 public:
  InnerDialog() : DialogBody(DialogTemplate{"TESTINNER", 0}) {}
  void OnInitialise() override {}
};

class NameListDialog final : public ListDialogBody<std::string> {
 public:
  NameListDialog(NameTable& table, bool modeless = false)
      : ListDialogBody(DialogTemplate{"TESTLIST", 31234, modeless}), m_table(table) {}

  int32_t innerResult = -1;
  int32_t focusInInner = kNoLayerId;

 protected:
  void OnInitialise() override {
    Entries() = m_table.names;
    TakeSnapshot();
    Fill();
  }
  void OnControl(int32_t control, int32_t notification) override {
    switch (control) {
      case 103: {
        const int32_t index = Layer().ListGetSelection(DialogId(), 101);
        if (index < 0) return;
        m_table.names.erase(m_table.names.begin() + index);
        Entries().erase(Entries().begin() + index);
        MarkChanged();
        Fill();
        return;
      }
      case 104: {
        char text[64];
        Layer().GetItemText(DialogId(), 102, text, sizeof text);
        if (text[0] == '\0') return;
        m_table.names.push_back(text);
        Entries().push_back(text);
        MarkChanged();
        Fill();
        ApplySucceeded();
        return;
      }
      case 105: throw DVError(35, kSeverityError, kDisplayMessageBox);
      case 106: throw std::runtime_error("not a debugger error");
      case 107: {
        InnerDialog inner;
        innerResult = RunModalDialog(inner, DialogId());
        return;
      }
      default: (void)notification; return;
    }
  }
  void PutBack(const std::vector<std::string>& snapshot) override {
    m_table.names = snapshot;
    ++m_table.putBacks;
  }

 private:
  void Fill() {
    Layer().ListClear(DialogId(), 101);
    for (const std::string& name : Entries()) Layer().ListInsertString(DialogId(), 101, -1, name.c_str());
  }
  NameTable& m_table;
};

class DialogFrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallGuiWindowLayer(&layer);
    m_previousBackend = WindowLayer::SetBackend(&backend);
    frame = layer.Register(frameHandle, kLayerFrame, 0);
    driver.AddTemplates(kTestTemplates);
    SetHelpFile("");
    system.TakeLog();
  }
  void TearDown() override {
    WindowLayer::SetBackend(m_previousBackend);
    InstallGuiWindowLayer(nullptr);
  }

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  LayerBackend backend{layer};
  WindowLayerBackend* m_previousBackend = nullptr;
  NativeWindow frameHandle = system.AddWindow("frame");
  int32_t frame = kNoLayerId;
  DialogDriver driver{system};
};

TEST_F(DialogFrameworkTest, CancelAfterAChangePutsTheSnapshotBackAndOkKeepsTheChange) {
  struct Case {
    const char* name;
    std::vector<DialogDriver::Action> actions;
    std::vector<std::string> names;
    int putBacks;
    int32_t result;
  };
  using D = DialogDriver;
  const std::vector<std::string> start = {"alpha", "beta", "gamma"};
  Case cases[] = {
      {"delete then cancel", {D::Select(101, 1), D::Press(103), D::Press(2)}, start, 1, kDialogResultCancel},
      {"delete then close", {D::Select(101, 0), D::Press(103), D::Close()}, start, 1, kDialogResultCancel},
      {"apply then cancel", {D::Type(102, "delta"), D::Press(104), D::Press(2)}, start, 1, kDialogResultCancel},
      {"cancel without a change", {D::Select(101, 1), D::Press(2)}, start, 0, kDialogResultCancel},
      {"delete then OK", {D::Select(101, 1), D::Press(103), D::Press(1)}, {"alpha", "gamma"}, 0, kDialogResultOk},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    NameTable table{start};
    NameListDialog dialog(table);
    driver.Script(std::move(c.actions));
    EXPECT_EQ(RunModalDialog(dialog, frame), c.result);
    EXPECT_EQ(table.names, c.names);
    EXPECT_EQ(table.putBacks, c.putBacks);
    EXPECT_FALSE(dialog.IsOpen());
  }
}

TEST_F(DialogFrameworkTest, OnlyASuccessfulApplyRenamesCancel) {
  NameTable table{{"alpha"}};
  NameListDialog dialog(table);
  using D = DialogDriver;
  driver.Script({D::Press(104), D::Do([](DialogDriver& d) { EXPECT_EQ(d.Text(2), "&Cancel"); }),
                 D::Type(102, "beta"), D::Press(104),
                 D::Do([](DialogDriver& d) {
                   EXPECT_EQ(d.Text(2), "Cl&ose");
                   EXPECT_EQ(d.Entries(101), (std::vector<std::string>{"alpha", "beta"}));
                 }),
                 D::Press(1)});
  EXPECT_EQ(RunModalDialog(dialog, frame), kDialogResultOk);
  EXPECT_EQ(table.names, (std::vector<std::string>{"alpha", "beta"}));
}

// Whatever a handler raises closes the dialog cleanly: the slot is given up, the
// frame enabled again, the modal stack empty, and the error reaches the opener once
// the dialog has returned. The body opens again afterwards.
TEST_F(DialogFrameworkTest, ABodyThatRaisesIsHandedOnWithItsDialogClosed) {
  for (int32_t control : {105, 106}) {
    SCOPED_TRACE(control);
    NameTable table{{"alpha"}};
    NameListDialog dialog(table);
    int32_t dialogId = kNoLayerId;
    driver.Script({DialogDriver::Do([&](DialogDriver& d) {
                     dialogId = d.CurrentId();
                     EXPECT_FALSE(system.At(frameHandle).enabled);
                     EXPECT_EQ(layer.GetWindowType(dialogId), static_cast<int32_t>(kLayerModalDialog));
                   }),
                   DialogDriver::Press(control)});
    bool raised = false;
    try {
      RunModalDialog(dialog, frame);
    } catch (const DVError& error) {
      raised = control == 105 && error.Number() == 35;
    } catch (const std::runtime_error&) {
      raised = control == 106;
    }
    EXPECT_TRUE(raised);
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_EQ(layer.Record(dialogId), nullptr);
    EXPECT_EQ(layer.ModalStackTop(), kNoLayerId);
    EXPECT_TRUE(system.At(frameHandle).enabled);
    EXPECT_NE(system.TakeLog().find("EndDialog TESTLIST 0"), std::string::npos);

    driver.Script({DialogDriver::Press(1)});
    EXPECT_EQ(RunModalDialog(dialog, frame), kDialogResultOk);
  }
}

// The F1 hook aside: Help shows the dialog's context over the dialog; a nested modal
// dialog is the focus window while it is open and its result comes back; a modeless
// dialog registers as one and leaves the other windows enabled.
TEST_F(DialogFrameworkTest, HelpNestedModalAndModelessDialogs) {
  NameTable table{{"alpha"}};
  NameListDialog dialog(table);
  driver.Script({DialogDriver::Press(10), DialogDriver::Press(107),
                 DialogDriver::Do([&](DialogDriver& d) {
                   EXPECT_EQ(d.Caption(), "Inner");
                   EXPECT_EQ(layer.GetFocusWindow(), d.CurrentId());
                 }),
                 DialogDriver::Press(1), DialogDriver::Press(2)});
  RunModalDialog(dialog, frame);
  EXPECT_EQ(dialog.innerResult, kDialogResultOk);
  EXPECT_NE(system.TakeLog().find("WinHelp TESTLIST \"\" 1 31234"), std::string::npos);
  EXPECT_EQ(driver.Opened(), (std::vector<std::string>{"TESTLIST", "TESTINNER"}));

  NameListDialog modeless(table, true);
  ASSERT_TRUE(OpenModelessDialog(modeless, frame));
  EXPECT_EQ(layer.GetWindowType(modeless.DialogId()), static_cast<int32_t>(kLayerModelessDialog));
  EXPECT_TRUE(system.At(frameHandle).enabled);
  driver.Script({DialogDriver::Close()});
  driver.Play();
  EXPECT_FALSE(modeless.IsOpen());
  EXPECT_NE(system.TakeLog().find("DestroyWindow TESTLIST"), std::string::npos);
}

}  // namespace
}  // namespace zentor
