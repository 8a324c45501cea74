// The management and Save dialogs natively, against the settings store in a scratch
// directory: through the colour form's callback (list, save with a description,
// restore, remove, a long list read in the store's batches) and a form that writes
// down what it is asked (the callback's contract, replacements through "__pmet", the
// reserved names, saves that fail).
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/dv_error.h"
#include "engine/settings_store.h"
#include "gui/color_settings.h"
#include "gui/color_table.h"
#include "gui/dialog_description_file.h"
#include "gui/management_dialog.h"
#include "harness/dialog_test_layer.h"
#include "harness/session/console_session.h"
#include "gui/memory_display_settings.h"
#include "windows/memory_dialogs.h"

namespace zentor {
namespace {

using testing_support::DialogDriver;
using testing_support::RecordingLayerSystem;
using D = DialogDriver;

constexpr int32_t kList = 15;
constexpr int32_t kRestore = 16;
constexpr int32_t kSave = 17;
constexpr int32_t kRemove = 18;
constexpr int32_t kName = 1560;
constexpr int32_t kDescription = 1561;
constexpr int32_t kColorManage = 1803;
constexpr uint32_t kFormRecord = 1;

std::string Line(const char* name, const char* description) {
  char line[96];
  std::snprintf(line, sizeof line, "%-16s\t%-32s", name, description);
  return line;
}

// A breakpoint-like form: it writes down each event and saves, lists and removes
// records of its own id, unless a test makes it do otherwise.
struct FakeForm {
  std::vector<std::string> events;
  std::function<int32_t(const NamedSetRequest&)> onSave;

  static FakeForm& Get() {
    static FakeForm form;
    return form;
  }
  static int32_t Callback(int32_t dialog, uint32_t event, void* argument) {
    FakeForm& form = Get();
    const auto* request = static_cast<const NamedSetRequest*>(argument);
    std::string note = std::to_string(event);
    if (event >= kManageRestore && event <= kManageRemove) note += " " + std::string(request->m_name.data());
    if (event == kManageRestore) note += " " + std::to_string(request->m_dataLength);
    if (event == kManageOpened || event == kManageClosed) note += dialog >= 0 ? " dialog" : " none";
    form.events.push_back(note);
    switch (event) {
      case kManageList: TheSettingsStore().ListAllRecords(kFormRecord, static_cast<NamedSetList*>(argument)); return 0;
      case kManageSave: {
        if (form.onSave) return form.onSave(*request);
        const uint8_t data[5] = {'s', 'a', 'v', 'e', 'd'};
        return TheSettingsStore().AddRecord(kFormRecord, request->m_name, request->m_description, sizeof data, data);
      }
      case kManageRemove: return TheSettingsStore().RemoveRecord(kFormRecord, request->m_name);
      default: return 0;
    }
  }
};

class ManagementDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store.Reset();
    ASSERT_EQ(store.Open(directory.File("zentor.ddb").c_str()), 0);
    InstallDialogDescriptionFile();
    ColorSettings::Reset();
    FakeForm::Get() = FakeForm{};
  }
  void TearDown() override {
    store.Reset();
    InstallSettingsStore(nullptr);
    ColorSettings::Reset();
  }

  void Put(uint32_t id, const char* name, const char* description) {
    const uint8_t data[3] = {1, 2, 3};
    ASSERT_EQ(store.AddRecord(id, name, description, sizeof data, data), 0);
  }
  // The names of the record id in the store's order, each with its description.
  std::vector<std::string> Stored(uint32_t id) {
    NamedSetList list;
    store.ListAllRecords(id, &list);
    std::vector<std::string> names;
    for (const NamedSetEntry& entry : list.m_entries) {
      names.push_back(std::string(entry.m_name.data()) + ":" + entry.m_description.data());
    }
    return names;
  }
  int32_t RunForm(std::vector<DialogDriver::Action> actions, uint32_t flags = kManageEverything) {
    driver.Script(std::move(actions));
    ManagementDialog dialog(flags, &FakeForm::Callback, "Breakpoints", kFormRecord);
    return RunModalDialog(dialog, frame, 1528);
  }
  // The message boxes shown since the last call.
  std::vector<std::string> Boxes() {
    std::vector<std::string> boxes;
    const std::string log = system.TakeLog();
    for (size_t at = log.find("MessageBox "); at != std::string::npos; at = log.find("MessageBox ", at + 1)) {
      boxes.push_back(log.substr(at, log.find('\n', at) - at));
    }
    return boxes;
  }
  static bool Mentions(const std::vector<std::string>& boxes, const std::string& text) {
    return boxes.size() == 1 && boxes[0].find(text) != std::string::npos;
  }

  testing_support::ScratchDirectory directory{"manage"};
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  testing_support::DialogTestLayer gui;
  RecordingLayerSystem& system = gui.system;
  DialogDriver& driver = gui.driver;
  const int32_t frame = gui.frame;
};

// The colour form end to end: "CURRENT" is not listed, a save keeps its description
// (whose runs of blanks come back single from the list), a restore makes the named
// table the one in use, a remove takes the entry out of the store and the list.
TEST_F(ManagementDialogTest, TheColourFormListsSavesRestoresAndRemoves) {
  ColorSettings::Initialize(1);
  ColorTable other = BuiltInColorTable();
  other.m_sets[0][kColorElementStatusLine][ColorWordIndex(1, true)] = 0xABCDEF;
  const std::vector<uint8_t> otherBytes = other.Encode();
  ASSERT_EQ(store.AddRecord(kColorTableRecordId, "other", "another set", static_cast<uint32_t>(otherBytes.size()),
                            otherBytes.data()),
            0);
  driver.Script({
      D::Do([](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "Color Management");
        EXPECT_EQ(d.Entries(kList), (std::vector<std::string>{Line("DEFAULT", "Default Color Settings"),
                                                              Line("other", "another set")}));
        EXPECT_EQ(d.Selection(kList), 0);
      }),
      D::Press(kSave),
      D::Do([](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "Save Dialog");
        EXPECT_EQ(d.Text(kName), "DEFAULT");
        EXPECT_EQ(d.Text(kDescription), "Default Color Settings");
      }),
      D::Type(kName, "mine_2"), D::Type(kDescription, "my   own  colours, kept for later use"), D::Press(1),
      D::Do([](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "Color Management");
        ASSERT_EQ(d.Entries(kList).size(), 3u);
        EXPECT_EQ(d.Entries(kList)[2], Line("mine_2", "my   own  colours, kept for late"));
        EXPECT_EQ(d.Selection(kList), 2);
      }),
      D::Press(kSave), D::Do([](DialogDriver& d) { EXPECT_EQ(d.Text(kDescription), "my own colours, kept for late"); }),
      D::Press(2),
      D::Select(kList, 1), D::Press(kRestore), D::Select(kList, 2), D::Press(kRemove),
      D::Do([](DialogDriver& d) {
        EXPECT_EQ(d.Entries(kList).size(), 2u);
        EXPECT_EQ(d.Selection(kList), 0);
      }),
      D::Press(1),
  });
  EXPECT_EQ(RunManagementDialog(frame, kColorManage, &ColorSettings::ManageEntry), kDialogResultOk);
  EXPECT_EQ(Stored(kColorTableRecordId), (std::vector<std::string>{"DEFAULT:Default Color Settings",
                                                                   "CURRENT:Current Color Settings",
                                                                   "other:another set"}));
  EXPECT_EQ(ColorSettings::WorkingTable().Encode(), otherBytes);
  EXPECT_NE(system.TakeLog().find("ListSetTabStops DLGMANAG.15 128"), std::string::npos);
}

// A hundred entries come back whole, however many batches the store lists them in.
TEST_F(ManagementDialogTest, AHundredEntriesAreListedWithTheirDescriptions) {
  std::vector<std::string> expected;
  for (int i = 0; i < 100; ++i) {
    char name[16];
    char description[40];
    std::snprintf(name, sizeof name, "set%03d", i);
    std::snprintf(description, sizeof description, "breakpoints of round %d of the test", i);
    Put(kFormRecord, name, description);
    expected.push_back(Line(name, std::string(description).substr(0, 32).c_str()));
  }
  Put(kFormRecord, "CURRENT", "in use");
  RunForm({D::Do([&](DialogDriver& d) { EXPECT_EQ(d.Entries(kList), expected); }), D::Press(1)});
  EXPECT_EQ(FakeForm::Get().events, (std::vector<std::string>{"19 dialog", "15", "20 dialog"}));
}

// Names the store must not take keep the Save dialog open with a warning and save
// nothing; the built-in entries are never removed; the form's operations by flags.
TEST_F(ManagementDialogTest, ReservedAndInvalidNamesAreRefused) {
  Put(kFormRecord, "DEFAULT", "built in");
  struct Case {
    const char* name;
    const char* message;
  };
  const Case cases[] = {
      {"9abc", "Invalid name specified."}, {"my name", "Invalid name specified."}, {"", "Invalid name specified."},
      {" mine", "Invalid name specified."}, {"DEFAULT2", "Cannot replace entry DEFAULT."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunForm({D::Press(kSave), D::Type(kName, c.name), D::Press(1),
             D::Do([](DialogDriver& d) { EXPECT_EQ(d.Caption(), "Save Dialog"); }), D::Close(), D::Press(1)});
    EXPECT_TRUE(Mentions(Boxes(), c.message));
    EXPECT_EQ(Stored(kFormRecord), std::vector<std::string>{"DEFAULT:built in"});
  }

  // CURRENT may be saved (after the question) and is then listed, but never removed.
  system.nextReply = MessageBoxReply::Ok;
  RunForm({D::Press(kRemove), D::Press(kSave), D::Type(kName, "CURRENT"), D::Press(1), D::Press(kRemove),
           D::Press(1)});
  const std::vector<std::string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[0].find("Cannot remove entry DEFAULT."), std::string::npos);
  EXPECT_NE(boxes[1].find("Cannot remove entry CURRENT."), std::string::npos);
  EXPECT_EQ(Stored(kFormRecord), (std::vector<std::string>{"DEFAULT:built in", "CURRENT:built in"}));

  RunForm({D::Do([](DialogDriver& d) {
             EXPECT_FALSE(d.Enabled(kSave));
             EXPECT_TRUE(d.Enabled(kRestore));
             EXPECT_TRUE(d.Enabled(kRemove));
           }),
           D::Close()},
          kManageRestoreAllowed | kManageRemoveAllowed);
}

// Replacing an entry asks first; agreed, the old entry waits as "__pmet" (a leftover
// one of an interrupted replacement is removed first) until the form has saved, and
// its line moves to the end. A save the form refuses puts the old entry back under
// its name; one that raises does too, and the Save dialog stays open.
TEST_F(ManagementDialogTest, AReplacementGoesThroughTheSetAsideEntry) {
  struct Case {
    const char* name;
    MessageBoxReply reply;
    std::function<int32_t(const NamedSetRequest&)> onSave;
    bool saveDialogStays;
    std::vector<std::string> stored;
    std::string lastLine;
    std::string box;
  };
  const auto asideWhileSaving = [](const NamedSetRequest& request) {
    NamedSetList list;
    TheSettingsStore().ListAllRecords(kFormRecord, &list);
    std::string names;
    for (const NamedSetEntry& entry : list.m_entries) names += std::string(entry.m_name.data()) + " ";
    EXPECT_EQ(names, "__pmet first ");
    const uint8_t data[1] = {9};
    return TheSettingsStore().AddRecord(kFormRecord, request.m_name, request.m_description, 1, data);
  };
  const Case cases[] = {
      {"cancelled", MessageBoxReply::Cancel, nullptr, true, {"mine:old", "first:one", "__pmet:left over"},
       Line("first", "one"), "Current entry will be replaced."},
      {"replaced", MessageBoxReply::Ok, asideWhileSaving, false, {"first:one", "mine:new"}, Line("mine", "new"),
       "Current entry will be replaced."},
      {"refused", MessageBoxReply::Ok, [](const NamedSetRequest&) { return 25; }, false, {"mine:old", "first:one"},
       Line("first", "one"), "Current entry will be replaced."},
      {"raised", MessageBoxReply::Ok,
       [](const NamedSetRequest&) -> int32_t { throw DVError(114, kSeverityError, kDisplayMessageBox); }, true,
       {"mine:old", "first:one"}, Line("first", "one"), "I/O error on the Configuration Management file."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* name : {"mine", "first", "__pmet"}) store.RemoveRecord(kFormRecord, name);
    Put(kFormRecord, "mine", "old");
    Put(kFormRecord, "first", "one");
    FakeForm::Get().onSave = c.onSave;
    system.nextReply = c.reply;
    std::vector<DialogDriver::Action> actions = {
        D::Do([&](DialogDriver&) { Put(kFormRecord, "__pmet", "left over"); }),
        D::Press(kSave), D::Type(kName, "mine"), D::Type(kDescription, "new"), D::Press(1),
        D::Do([&](DialogDriver& d) {
          EXPECT_EQ(d.Caption(), c.saveDialogStays ? "Save Dialog" : "Breakpoints Management");
        }),
    };
    if (c.saveDialogStays) actions.push_back(D::Press(2));
    actions.push_back(D::Do([&](DialogDriver& d) { EXPECT_EQ(d.Entries(kList).back(), c.lastLine); }));
    actions.push_back(D::Press(1));
    RunForm(std::move(actions));
    const std::vector<std::string> boxes = Boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes.back().find(c.box), std::string::npos);
    EXPECT_EQ(Stored(kFormRecord), c.stored);
  }
}

// The memory form keeps its display settings under record id 5: a saved entry is
// listed, restored into the settings in use and removed.
TEST_F(ManagementDialogTest, TheMemoryFormKeepsItsDisplaySettings) {
  ResetMemoryDialogs();
  TheMemoryDisplaySettings().m_startText = "g_squares";
  driver.Script({
      D::Press(kSave), D::Type(kName, "squares"), D::Type(kDescription, "the squares"), D::Press(1),
      D::Do([](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "Memory Management");
        EXPECT_EQ(d.Entries(kList), std::vector<std::string>{Line("squares", "the squares")});
        TheMemoryDisplaySettings().m_startText = "elsewhere";
      }),
      D::Press(kRestore),
      D::Do([](DialogDriver&) { EXPECT_EQ(TheMemoryDisplaySettings().m_startText, "g_squares"); }),
      D::Press(kRemove), D::Press(1),
  });
  RunManagementDialog(frame, 1207, &MemorySettingsManageCallback);
  EXPECT_TRUE(Stored(5).empty());
  ResetMemoryDialogs();
}

}  // namespace
}  // namespace zentor
