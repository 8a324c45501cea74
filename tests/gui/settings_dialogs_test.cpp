// The Colors and Invocation Settings dialogs natively, on their real templates through
// the scripted driver, with the settings store on a temporary file: what each keeps in
// the store, what Cancel gives back, and the checks that refuse an Apply.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/viewpoint_manager.h"
#include "core/window_layer.h"
#include "engine/dialog_records.h"
#include "engine/settings_store.h"
#include "gui/color_dialog.h"
#include "gui/color_settings.h"
#include "gui/dialog_description_file.h"
#include "gui/gui_window_layer.h"
#include "gui/invocation_dialog.h"
#include "gui/invocation_settings.h"
#include "gui/layer_backend.h"
#include "gui/layer_messages.h"
#include "harness/dialog_driver.h"
#include "harness/recording_layer_system.h"
#include "harness/session/console_session.h"

namespace zentor {
namespace {

using D = testing_support::DialogDriver;
using testing_support::RecordingLayerSystem;

// The chooser the user would answer: the colour it was offered, and its answer.
class ScriptedChooser final : public ColorChooser {
 public:
  bool Choose(int32_t, uint32_t* color) override {
    offered.push_back(*color);
    if (!confirm) return false;
    *color = answer;
    return true;
  }
  std::vector<uint32_t> offered;
  bool confirm = true;
  uint32_t answer = 0;
};

class SettingsDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallGuiWindowLayer(&layer);
    previousBackend = WindowLayer::SetBackend(&backend);
    layer.Register(system.AddWindow("frame"), kLayerFrame, 0);
    ASSERT_EQ(store.Open(scratch.File("s.ddb").c_str()), 0);
    previousStore = InstallSettingsStore(&store);
    previousChooser = InstallColorChooser(&chooser);
    ColorSettings::Reset();
    ColorSettings::SetColorSetLookup(nullptr);
    TheInvocationSettings() = InvocationSettings{};
    system.TakeLog();
  }
  void TearDown() override {
    InstallColorChooser(previousChooser);
    InstallSettingsStore(previousStore);
    store.Reset();
    ColorSettings::SetColorSetLookup(&ViewpointManager::ColorSetOf);
    ColorSettings::Reset();
    TheInvocationSettings() = InvocationSettings{};
    WindowLayer::SetBackend(previousBackend);
    InstallGuiWindowLayer(nullptr);
  }

  // The record's data as the store file holds it; empty when there is none.
  std::vector<uint8_t> Stored(uint32_t id, const char* name) {
    std::vector<uint8_t> data(4096);
    uint32_t length = static_cast<uint32_t>(data.size());
    RWCString description;
    SettingsStore& asStore = store;
    if (asStore.ReadRecord(id, RWCString(name), &description, &length, data.data()) != 0) return {};
    data.resize(length);
    return data;
  }
  std::string Log() { return system.TakeLog(); }

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  LayerBackend backend{layer};
  WindowLayerBackend* previousBackend = nullptr;
  testing_support::DialogDriver driver{system};
  testing_support::ScratchDirectory scratch{"settings-dialogs"};
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  SettingsStore* previousStore = nullptr;
  ScriptedChooser chooser;
  ColorChooser* previousChooser = nullptr;
};

// Every row of the element list sets its own word: the chooser is offered the word's
// colour without its class byte and the chosen colour replaces it, class byte 0, in
// the current scheme only. A cancelled chooser changes nothing.
TEST_F(SettingsDialogsTest, EachElementRowSetsItsWordAndACancelledChooserChangesNothing) {
  const ColorSet before = ColorSettings::WorkingTable().m_sets[0];
  for (uint32_t row = 0; row < kColorChoiceCount; ++row) {
    const ColorChoice& choice = ColorChoiceAt(row);
    SCOPED_TRACE(choice.text);
    chooser.answer = 0x102030 + row;
    driver.Script({D::Do([&](D& d) {
                     const std::vector<std::string> rows = d.Entries(kColorElementCombo);
                     ASSERT_EQ(rows.size(), kColorChoiceCount);
                     EXPECT_EQ(rows[row], choice.text);
                   }),
                   D::Select(kColorElementCombo, static_cast<int32_t>(row)), D::Press(kColorSetColorsButton)});
    driver.Script({D::Press(kDialogOkControl)});
    ShowColorDialog(kNoLayerId);
    const ColorSet& after = ColorSettings::WorkingTable().m_sets[0];
    const uint32_t index = ColorWordIndex(kColorSchemeColour, choice.foreground);
    EXPECT_EQ(chooser.offered.back(), before[choice.element][index] & 0xFFFFFFu);
    EXPECT_EQ(after[choice.element][index], 0x102030u + row);
    EXPECT_EQ(after[choice.element][ColorWordIndex(kColorSchemeBlackAndWhite, choice.foreground)],
              before[choice.element][ColorWordIndex(kColorSchemeBlackAndWhite, choice.foreground)]);
  }

  const ColorTable chosen = ColorSettings::WorkingTable();
  const std::vector<uint8_t> stored = Stored(kColorTableRecordId, "CURRENT");
  chooser.confirm = false;
  for (int32_t closing : {kDialogOkControl, kDialogCancelControl}) {
    SCOPED_TRACE(closing);
    driver.Script({D::Select(kColorElementCombo, 3), D::Press(kColorSetColorsButton), D::Press(closing)});
    ShowColorDialog(kNoLayerId);
    EXPECT_EQ(ColorSettings::WorkingTable().Encode(), chosen.Encode());
  }
  EXPECT_EQ(Stored(kColorTableRecordId, "CURRENT"), ColorSettings::WorkingTable().Encode());
  EXPECT_EQ(stored.size(), kColorTableSize);
}

// OK stores the whole working table as "CURRENT" (2448 bytes, its description); the
// sample repaints in the chosen colour; Cancel after a choice stores and keeps nothing.
TEST_F(SettingsDialogsTest, OkStoresTheTableAndTheSampleShowsTheChoice) {
  chooser.answer = 0xFF0000;  // red
  const std::vector<uint8_t> before = ColorSettings::WorkingTable().Encode();
  driver.Script({D::Select(kColorElementCombo, 10), D::Press(kColorSetColorsButton), D::Press(kDialogCancelControl)});
  ShowColorDialog(kNoLayerId);
  EXPECT_EQ(ColorSettings::WorkingTable().Encode(), before);
  EXPECT_TRUE(Stored(kColorTableRecordId, "CURRENT").empty());

  ColorDialog dialog;
  driver.Script({D::Select(kColorElementCombo, 10), D::Press(kColorSetColorsButton), D::Do([&](D& d) {
                   Log();
                   EXPECT_TRUE(d.Current()->OtherMessage(msg::kPaint));
                   const std::string painted = Log();
                   // The client area is filled in red (the system's order: 0x0000FF).
                   EXPECT_NE(painted.find("fill 1 0000FF"), std::string::npos) << painted;
                   EXPECT_NE(painted.find("\"Status Line\""), std::string::npos);
                   EXPECT_NE(painted.find("\"Execution Bar\""), std::string::npos);
                 }),
                 D::Press(kDialogOkControl)});
  RunModalDialog(dialog, kNoLayerId);
  const std::vector<uint8_t> stored = Stored(kColorTableRecordId, "CURRENT");
  ASSERT_EQ(stored.size(), kColorTableSize);
  EXPECT_EQ(stored, ColorSettings::WorkingTable().Encode());
  EXPECT_EQ(ColorSettings::GetColor(ViewpointHandle(ViewpointHandle::kNone), kColorElementClientArea, 0), 0xFF0000u);
  NamedSetList list;
  store.ListAllRecords(kColorTableRecordId, &list);
  ASSERT_EQ(list.m_entries.size(), 1u);
  EXPECT_STREQ(list.m_entries[0].m_description.data(), "Current Color Settings");
}

// A store that cannot take "CURRENT" is said, and the colours are still in use.
TEST_F(SettingsDialogsTest, AFailedStoreOfTheColoursIsSaid) {
  class RefusingStore final : public SettingsStore {};
  RefusingStore refusing;
  InstallSettingsStore(&refusing);
  chooser.answer = 0x00FF00;
  driver.Script({D::Press(kColorSetColorsButton), D::Press(kDialogOkControl)});
  ShowColorDialog(kNoLayerId);
  EXPECT_NE(Log().find("The color settings could not be stored."), std::string::npos);
  EXPECT_EQ(ColorSettings::DialogSet()[9][ColorWordIndex(kColorSchemeColour, false)], 0x00FF00u);
}

// A table restored through the management is what the sample shows and what OK
// keeps: the colour edited before the restore does not overwrite it.
TEST_F(SettingsDialogsTest, ATableRestoredByTheManagementIsWhatOkKeeps) {
  chooser.answer = 0xFF0000;
  driver.Script({D::Select(kColorElementCombo, 10), D::Press(kColorSetColorsButton), D::Press(kDialogOkControl)});
  ShowColorDialog(kNoLayerId);
  ASSERT_EQ(ColorSettings::GetColor(ViewpointHandle(ViewpointHandle::kNone), kColorElementClientArea, 0), 0xFF0000u);
  driver.Script({D::Press(kColorManageButton), D::Press(17), D::Type(1560, "reddish"), D::Press(1), D::Press(1),
                 D::Press(kDialogOkControl)});
  ShowColorDialog(kNoLayerId);

  chooser.answer = 0x00FF00;
  driver.Script({D::Select(kColorElementCombo, 10), D::Press(kColorSetColorsButton), D::Press(kDialogOkControl)});
  ShowColorDialog(kNoLayerId);
  ASSERT_EQ(ColorSettings::GetColor(ViewpointHandle(ViewpointHandle::kNone), kColorElementClientArea, 0), 0x00FF00u);

  chooser.answer = 0x0000FF;
  driver.Script({D::Select(kColorElementCombo, 10), D::Press(kColorSetColorsButton), D::Press(kColorManageButton),
                 D::Do([](D& d) { EXPECT_EQ(d.Caption(), "Color Management"); }), D::Select(15, 0), D::Press(16),
                 D::Press(1), D::Press(kDialogOkControl)});
  ShowColorDialog(kNoLayerId);
  EXPECT_EQ(ColorSettings::GetColor(ViewpointHandle(ViewpointHandle::kNone), kColorElementClientArea, 0), 0xFF0000u);
  EXPECT_EQ(Stored(kColorTableRecordId, "CURRENT"), Stored(kColorTableRecordId, "reddish"));
}

// The management saves what the fields hold, applied or not, and its Restore shows
// the set in the controls.
TEST_F(SettingsDialogsTest, InvocationSetsAreSavedFromTheFieldsAndRestoredIntoThem) {
  InvocationSettingsDialog dialog;
  driver.Script({D::Press(kInvocationMacroCheck), D::Type(kInvocationMacroEdit, "boot.mac"),
                 D::Press(kInvocationManageButton),
                 D::Do([](D& d) { EXPECT_EQ(d.Caption(), "Invocation Management"); }), D::Press(17),
                 D::Type(1560, "boot"), D::Press(1), D::Press(1), D::Press(kInvocationMacroCheck),
                 D::Press(kInvocationManageButton), D::Select(15, 0), D::Press(16), D::Press(1), D::Do([](D& d) {
                   EXPECT_EQ(d.Text(kInvocationMacroEdit), "boot.mac");
                   EXPECT_TRUE(d.Checked(kInvocationMacroCheck));
                 }),
                 D::Press(kDialogCancelControl)});
  RunModalDialog(dialog, kNoLayerId);
  const std::vector<uint8_t> stored = Stored(kInvocationRecordId, "boot");
  ASSERT_EQ(stored.size(), InvocationSettings::kRecordSize);
  InvocationSettings read;
  ASSERT_TRUE(read.CopyFrom(stored.data(), static_cast<uint32_t>(stored.size())));
  EXPECT_EQ(read.m_macroName, "boot.mac");
  EXPECT_EQ(read.m_macroOn, 1u);
}

// The check boxes follow the record and their edits go off with them; Apply refuses a
// second word in the batch field (110), a batch or macro file that is on and cannot be
// read (each its box), and otherwise stores "CURRENT" of 532 bytes and closes.
TEST_F(SettingsDialogsTest, InvocationApplyChecksTheFilesAndStoresCurrent) {
  scratch.Write("start.bat", "go\n");
  const std::string batch = scratch.File("start.bat");
  const std::string missing = scratch.File("none.mac");
  struct Case {
    const char* name;
    std::string batchText;
    bool macroOn;
    std::string macroText;
    const char* said;  // null: applied
  };
  const Case cases[] = {
      {"second word", batch + " other.bat", false, "", "Multiple file names were specified."},
      {"missing batch", missing, false, "", "Batch file does not exist."},
      {"missing macro", batch, true, missing, "Macro file does not exist."},
      {"macro off is not checked", batch + "   ", false, missing, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TheInvocationSettings() = InvocationSettings{};
    InvocationSettingsDialog dialog;
    std::vector<D::Action> script = {D::Do([](D& d) {
                                       EXPECT_FALSE(d.Enabled(kInvocationBatchEdit));
                                       EXPECT_FALSE(d.Checked(kInvocationBatchCheck));
                                     }),
                                     D::Press(kInvocationBatchCheck), D::Type(kInvocationBatchEdit, c.batchText)};
    if (c.macroOn) script.push_back(D::Press(kInvocationMacroCheck));
    script.push_back(D::Type(kInvocationMacroEdit, c.macroText));
    script.push_back(D::Press(kInvocationOptionACheck));
    script.push_back(D::Press(kInvocationApplyControl));
    if (c.said != nullptr) {
      script.push_back(D::Do([&](D& d) {
        EXPECT_NE(Log().find(c.said), std::string::npos);
        EXPECT_EQ(d.Text(kInvocationBatchEdit), c.batchText);
        EXPECT_TRUE(d.Checked(kInvocationOptionACheck));
      }));
      script.push_back(D::Press(kDialogCancelControl));
    }
    driver.Script(std::move(script));
    EXPECT_EQ(RunModalDialog(dialog, kNoLayerId), c.said != nullptr ? kDialogResultCancel : kDialogResultOk);
    if (c.said != nullptr) {
      EXPECT_TRUE(Stored(kInvocationRecordId, "CURRENT").empty());
      continue;
    }
    const std::vector<uint8_t> stored = Stored(kInvocationRecordId, "CURRENT");
    ASSERT_EQ(stored.size(), InvocationSettings::kRecordSize);
    InvocationSettings read;
    ASSERT_TRUE(read.CopyFrom(stored.data(), static_cast<uint32_t>(stored.size())));
    EXPECT_EQ(read.m_batchName, batch);
    EXPECT_EQ(read.m_batchOn, 1u);
    EXPECT_EQ(read.m_optionA, 1u);
    EXPECT_EQ(read.m_macroOn, 0u);
  }
}

// Cancel after an Apply gives back what was applied, into the record and the
// controls; turning the batch file off empties and disables its field.
TEST_F(SettingsDialogsTest, InvocationCancelGivesBackWhatWasApplied) {
  scratch.Write("start.bat", "go\n");
  const std::string batch = scratch.File("start.bat");
  InvocationSettingsDialog dialog;
  driver.Script({D::Press(kInvocationBatchCheck), D::Type(kInvocationBatchEdit, batch),
                 D::Press(kInvocationOptionBCheck), D::Press(kInvocationApplyControl)});
  ASSERT_EQ(RunModalDialog(dialog, kNoLayerId), kDialogResultOk);

  driver.Script({D::Do([&](D& d) {
                   EXPECT_EQ(d.Text(kInvocationBatchEdit), batch);
                   EXPECT_TRUE(d.Checked(kInvocationOptionBCheck));
                 }),
                 D::Press(kInvocationBatchCheck), D::Do([](D& d) {
                   EXPECT_EQ(d.Text(kInvocationBatchEdit), "");
                   EXPECT_FALSE(d.Enabled(kInvocationBatchEdit));
                 }),
                 D::Press(kInvocationOptionBCheck), D::Press(kInvocationMacroCheck),
                 D::Type(kInvocationMacroEdit, "other.mac"), D::Press(kDialogCancelControl)});
  RunModalDialog(dialog, kNoLayerId);
  const InvocationSettings& settings = TheInvocationSettings();
  EXPECT_EQ(settings.m_batchOn, 1u);
  EXPECT_EQ(settings.m_batchName, batch);
  EXPECT_EQ(settings.m_optionB, 1u);
  EXPECT_EQ(settings.m_macroOn, 0u);
}

}  // namespace
}  // namespace zentor
