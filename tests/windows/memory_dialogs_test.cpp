// The Memory Display and Save Memory dialogs as the program opens them: from the
// frame's "Memory..." command and from a Memory window's popup, through the dialog
// framework, on recording windows made from their real templates, at a stop of VIEWS
// in Leaf. The memory manager's requests are watched on their way in.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/view_kind.h"
#include "data_window_fixture.h"
#include "gui/dialog_description_file.h"
#include "gui/frame_commands.h"
#include "gui/window_table.h"
#include "harness/dialog_driver.h"
#include "harness/recording_shell_system.h"
#include "harness/session/console_session.h"
#include "windows/memory_dialogs.h"
#include "windows/memory_window.h"

namespace zentor {
namespace {

using testing_support::DialogDriver;

constexpr int32_t kPopupDisplay = 0;
constexpr int32_t kPopupSave = 1;

class MemoryDialogsTest : public testing_support::DataWindowTest {
 protected:
  void SetUp() override {
    DataWindowTest::SetUp();
    if (IsSkipped()) return;
    LoadViews();
    StopAt(":VIEWS#33");  // in Leaf
    MemoryDisplaySettings& settings = TheMemoryDisplaySettings();
    settings.m_startText = "g_small";
    settings.m_endText = "0x20";
    settings.m_typeIndex = 1;  // ORD1
    Watch(kViewMemory);
  }

  static WinSuper* MemoryWindow() {
    for (int32_t id = 0; id < kLayerSlotCount; ++id) {
      if (GetWindowKindAt(id) == kViewMemory) return WindowTable::Get(id);
    }
    return nullptr;
  }
  int32_t MemoryWindows() const { return CountWindowsOfKind(kViewMemory, CurrentViewpoint().Value()); }
  int32_t ItemCheck(DialogDriver& d, int32_t control) {
    return static_cast<int32_t>(system.At(system.GetDialogItem(layer.Handle(d.CurrentId()), control)).check);
  }
  int MessageBoxes() {
    const std::string log = system.TakeLog();
    int boxes = 0;
    for (std::size_t at = log.find("MessageBox"); at != std::string::npos; at = log.find("MessageBox", at + 1)) ++boxes;
    return boxes;
  }

  testing_support::RecordingShellSystem shell{system};
  DialogDriver driver{system};
};

// "Memory..." without a Memory window opens MEMWIN over the frame, and its OK makes the
// window, whose opening carries the checked settings; once the window is there the
// command only brings it up. From the window's popup MEMWIN refreshes that window and
// makes none.
TEST_F(MemoryDialogsTest, DisplayMakesAWindowFromTheFrameAndRefreshesItsOwner) {
  const int32_t frameId = layer.IdOf(frameHandle);
  driver.Script({DialogDriver::Do([](DialogDriver& d) { EXPECT_EQ(d.Caption(), "Memory Display"); }),
                 DialogDriver::Type(kMemoryStartEdit, "g_small + 4"), DialogDriver::Press(1)});
  ASSERT_TRUE(HandleFrameCommand(frameId, 1100, 0));
  EXPECT_EQ(driver.Opened(), std::vector<std::string>{"MEMWIN"});
  ASSERT_EQ(MemoryWindows(), 1);
  EXPECT_EQ(TakeRequests(), (std::vector<std::string>{"70 127", "79 127"}));

  HandleFrameCommand(frameId, 1100, 0);
  EXPECT_EQ(driver.Opened().size(), 1u) << "an open window is only brought up";

  WinSuper* window = MemoryWindow();
  ASSERT_NE(window, nullptr);
  driver.Script({DialogDriver::Type(kMemoryStartEdit, "g_small + 8"), DialogDriver::Press(1)});
  window->OnCommand(kPopupDisplay);
  EXPECT_EQ(MemoryWindows(), 1);
  EXPECT_EQ(TakeRequests(), (std::vector<std::string>{"87 127", "87 127", "79 127"}));

  // A start that names nothing keeps the dialog open with 335 naming the text.
  driver.Script({DialogDriver::Type(kMemoryStartEdit, "no_such_name"), DialogDriver::Press(1),
                 DialogDriver::Do([](DialogDriver& d) {
                   EXPECT_NE(d.Current(), nullptr);
                   EXPECT_EQ(GetLastErrorNumber(), 335u);
                 }),
                 DialogDriver::Press(2)});
  window->OnCommand(kPopupDisplay);
  EXPECT_EQ(TheMemoryDisplaySettings().m_startText, "g_small + 8") << "Cancel puts the settings back";
}

// A real type shows decimal only; an integer type afterwards frees the base list and
// keeps the base. In Save Memory, switching only between a length and an end address
// sends 0x20 alone, and a choice that ends where it began sends no flag.
TEST_F(MemoryDialogsTest, TypeListAndRangeMode) {
  driver.Script({DialogDriver::Select(kMemoryTypeList, 10), DialogDriver::Do([](DialogDriver& d) {
                   EXPECT_EQ(d.Entries(kMemoryTypeList).at(10), "REAL8");
                   EXPECT_EQ(d.Selection(kMemoryBaseList), 1);
                   EXPECT_FALSE(d.Enabled(kMemoryBaseList));
                 }),
                 DialogDriver::Select(kMemoryTypeList, 7), DialogDriver::Do([](DialogDriver& d) {
                   EXPECT_EQ(d.Entries(kMemoryTypeList).at(7), "INT4");
                   EXPECT_TRUE(d.Enabled(kMemoryBaseList));
                   EXPECT_EQ(d.Entries(kMemoryBaseList).at(d.Selection(kMemoryBaseList)), "Decimal");
                 }),
                 DialogDriver::Press(2)});
  ShowMemoryDisplayDialog(0);
  EXPECT_EQ(MemoryWindows(), 0) << "Cancel makes no window";

  testing_support::ScratchDirectory directory("memrange");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(directory.Path());
  ApplyMemoryDisplaySettings(TheMemoryDisplaySettings(), TheMemoryDisplayRequest());
  WinSuper* window = Open(kViewMemory, 4);
  ASSERT_GT(window->GetTextPane().count, 0);
  struct Case {
    const char* name;
    std::vector<int32_t> radios;
    const char* fileName;
    std::string firstRequest;
  };
  const std::vector<Case> cases = {
      {"the choice kept", {kMemoryEndAddressRadio, kMemoryLengthRadio}, "kept.dat", "87 0"},
      {"an end address in place of the length", {kMemoryEndAddressRadio}, "switched.dat", "87 32"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TakeRequests();
    for (int32_t radio : c.radios) driver.Script({DialogDriver::Press(radio)});
    // Whatever the save answers (an end address of 0x20 lies before the start), the
    // dialog is left.
    driver.Script({DialogDriver::Type(kMemoryFileNameEdit, c.fileName), DialogDriver::Do([](DialogDriver& d) {
                     DialogDriver::Press(1)(d);
                     if (d.Current()->IsOpen()) DialogDriver::Press(2)(d);
                   })});
    window->OnCommand(kPopupSave);
    const std::vector<std::string> requests = TakeRequests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0], c.firstRequest);
  }
  std::filesystem::current_path(before);
}

// "No Range" in Memory Display leaves Save Memory without a choice: OK reports 75 until
// one is made. An existing file is asked about once per OK; Cancel keeps the dialog
// and the file, OK writes over it and closes.
TEST_F(MemoryDialogsTest, SaveNeedsARangeAndAsksOnceBeforeOverwriting) {
  testing_support::ScratchDirectory directory("memsave");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(directory.Path());
  directory.Write("memsave.dat", "old contents");
  WinSuper* window = Open(kViewMemory, 4);
  driver.Script({DialogDriver::Press(kMemoryNoRangeRadio), DialogDriver::Press(1)});
  window->OnCommand(kPopupDisplay);
  system.TakeLog();

  driver.Script({
      DialogDriver::Do([this](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "Save Memory");
        EXPECT_EQ(d.Text(kMemoryFileNameEdit), "memsave.dat");
        EXPECT_EQ(ItemCheck(d, kMemoryLengthRadio), 0);
        EXPECT_EQ(ItemCheck(d, kMemoryEndAddressRadio), 0);
      }),
      DialogDriver::Press(1),
      DialogDriver::Do([](DialogDriver& d) {
        EXPECT_NE(d.Current(), nullptr);
        EXPECT_EQ(GetLastErrorNumber(), 75u);
      }),
      DialogDriver::Press(kMemoryLengthRadio),
      DialogDriver::Type(kMemoryEndEdit, "0x10"),
      DialogDriver::Reply(MessageBoxReply::Cancel),
      DialogDriver::Press(1),
      DialogDriver::Do([this, &directory](DialogDriver& d) {
        EXPECT_NE(d.Current(), nullptr) << "Cancel keeps the dialog";
        EXPECT_EQ(MessageBoxes(), 1);
        EXPECT_EQ(directory.Read("memsave.dat"), "old contents");
      }),
      DialogDriver::Reply(MessageBoxReply::Ok),
      DialogDriver::Press(1),
  });
  window->OnCommand(kPopupSave);
  EXPECT_EQ(MessageBoxes(), 1);
  EXPECT_NE(directory.Read("memsave.dat"), "old contents");
  EXPECT_EQ(driver.Opened().back(), "MEMSAV");
  std::filesystem::current_path(before);
}

// "&Manage..." opens the memory form's management dialog: the settings as the dialog
// shows them saved under a name, and restored into the dialog's controls later.
TEST_F(MemoryDialogsTest, ManageSavesAndRestoresTheDialogsSettings) {
  testing_support::ScratchDirectory directory("memmanage");
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  ASSERT_EQ(store.Open(directory.File("forms.ddb").c_str()), 0);
  InstallDialogDescriptionFile();
  driver.Script({
      DialogDriver::Type(kMemoryStartEdit, "g_large"), DialogDriver::Select(kMemoryTypeList, 7),
      DialogDriver::Press(kMemoryManageButton),
      DialogDriver::Do([](DialogDriver& d) { EXPECT_EQ(d.Caption(), "Memory Management"); }),
      DialogDriver::Press(17), DialogDriver::Type(1560, "large"), DialogDriver::Press(1),  // Save...
      DialogDriver::Press(1),
      DialogDriver::Type(kMemoryStartEdit, "g_small"), DialogDriver::Select(kMemoryTypeList, 1),
      DialogDriver::Press(kMemoryManageButton),
      DialogDriver::Do([](DialogDriver& d) { EXPECT_EQ(d.Entries(15).size(), 1u); }),
      DialogDriver::Select(15, 0), DialogDriver::Press(16), DialogDriver::Press(1),  // Restore
      DialogDriver::Do([](DialogDriver& d) {
        EXPECT_EQ(d.Text(kMemoryStartEdit), "g_large");
        EXPECT_EQ(d.Selection(kMemoryTypeList), 7);
      }),
      DialogDriver::Press(2),
  });
  ShowMemoryDisplayDialog(0);
  EXPECT_EQ(driver.Opened(), (std::vector<std::string>{"MEMWIN", "DLGMANAG", "SAVEMANA", "DLGMANAG"}));
  MemoryDisplaySettings saved;
  EXPECT_EQ(saved.ReadRecord("large"), 0);
  EXPECT_EQ(saved.m_startText, "g_large");
  EXPECT_EQ(saved.m_typeIndex, 7u);
  store.Reset();
}

}  // namespace
}  // namespace zentor
