// The watch table over plain expressions: slot rules, a replacement that does not
// parse or run keeps the old watch, and saved sets that come back in the first free
// slots, for their own program or as "DEFAULT", and change nothing when damaged.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/core_test_support.h"
#include "core/current_viewpoint.h"
#include "core/program_load.h"
#include "core/value_stack.h"
#include "core/value_test_support.h"
#include "core/view_kind.h"
#include "engine/breakpoint_table.h"
#include "engine/dialog_records.h"
#include "engine/settings_store.h"
#include "engine/watch_table.h"
#include "engine/watch_view.h"
#include "gui/dialog_description_file.h"
#include "harness/session/console_session.h"
#include "harness/pane_dump.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

constexpr uint32_t kViewpoint = 7;

class WatchTableTest : public testing_support::CoreTestEnvironment {
 protected:
  void SetUp() override {
    CoreTestEnvironment::SetUp();
    ASSERT_EQ(m_store.Open(m_storeDirectory.File("sets.ddb").c_str()), 0);
    InstallSettingsStore(&m_store);
    m_context = SymbolContext::CreateForViewpoint();
    AddViewpoint(kViewpoint);
    PushViewpoint(ViewpointHandle(kViewpoint));
    SetCurrentSymbolContext_Checked(m_context.get());
    InitWatchTable();
    SetLoadedProgramFileName(RWCString("DEMO.SYM"));
  }
  void TearDown() override {
    InitWatchTable();
    ResetViewpointStack();
    m_context.reset();
    InstallSettingsStore(nullptr);
    m_store.Reset();
    CoreTestEnvironment::TearDown();
  }

  static int32_t Define(int32_t slot, const char* text, uint32_t enabled = 1) {
    RWCString scope;
    return WatchTable::DefineFromText(slot, &scope, RWCString(text), enabled);
  }

  std::vector<std::string> Shown() {
    std::vector<std::string> shown;
    for (uint32_t slot = 0; slot < kWatchSlotCount; ++slot) {
      if (WatchTable::StateOf(slot) == kWatchFree) continue;
      shown.push_back(std::to_string(slot) + (WatchTable::StateOf(slot) == kWatchDisabled ? "-" : ":") +
                      WatchTable::ShownText(slot).data());
    }
    return shown;
  }

  testing_support::ScratchDirectory m_storeDirectory{"watch-sets"};
  DialogDescriptionFile m_store;
  std::unique_ptr<SymbolContext> m_context;
};

TEST_F(WatchTableTest, SlotsFillUpAndReplacementsMustRunFirst) {
  EXPECT_EQ(Define(5, "2 + 3"), 5);
  EXPECT_EQ(Define(-1, "7"), 0) << "the lowest free number";
  for (int32_t i = 0; i < 28; ++i) Define(-1, "1");
  EXPECT_EQ(WatchTable::FreeCount(), 0u);
  EXPECT_EQ(testing_support::ErrorNumberOf([] { Define(-1, "1"); }), kMsgTooManyWatches);
  EXPECT_EQ(testing_support::ErrorNumberOf([] { Define(30, "1"); }), kMsgInvalidIndex);

  // A replacement that does not parse, or parses but cannot run, keeps wa[5].
  EXPECT_NE(testing_support::ErrorNumberOf([] { Define(5, "2 +"); }), 0u);
  EXPECT_NE(testing_support::ErrorNumberOf([] { Define(5, "no_such_name"); }), 0u);
  EXPECT_EQ(std::string(WatchTable::ShownText(5).data()), "2 + 3");
  EXPECT_EQ(Define(5, "4"), 5);
  EXPECT_EQ(std::string(WatchTable::ShownText(5).data()), "4");

  WatchTable::SetEnabled(-1, kWatchDisable);
  EXPECT_EQ(WatchTable::StateOf(0), kWatchDisabled);
  WatchTable::Delete(0);
  TakeOutput();
  WatchTable::List(1);
  const std::string listing = TakeOutput();
  EXPECT_EQ(listing.rfind("--- All Watches ---\r\nwa[0] = <Undefined>\r\nwa[1] =1 <Disabled>\r\n", 0), 0u)
      << listing;
}

// "wa N" shows another viewpoint's watch in that viewpoint. A target that refuses the
// way back leaves the value shown, the refusal reported and the stack as it was.
TEST_F(WatchTableTest, ListingAnotherViewpointsWatchSurvivesARefusedWayBack) {
  AddViewpoint(kViewpoint + 1, "P1");
  PushViewpoint(ViewpointHandle(kViewpoint + 1));
  Define(0, "2 + 3");
  PopViewpoint();
  TakeOutput();
  {
    testing_support::RefusedViewpointSelect refused(kViewpoint);
    const int16_t index = 0;  // "wa 0": another viewpoint's watch is listed by its index
    ValueStack::PushSized(kKindInt2, sizeof index, &index);
    ShowWatchValuesCommand();
    EXPECT_EQ(refused.m_refusals, 1);
  }
  EXPECT_EQ(ViewpointStackDepth(), 1u);
  EXPECT_EQ(CurrentViewpoint().Value(), kViewpoint);
  const std::string listing = TakeOutput();
  EXPECT_NE(listing.find("[P1] wa[0] =2 + 3 : 5"), std::string::npos) << listing;
  EXPECT_TRUE(listing.find("251") != std::string::npos || !m_windows.m_boxes.empty()) << listing;
}

// The Watch window: enabled watches of the current viewpoint only, their ": " in one
// column, refilled on every refresh; its set requests reach the table and the store.
TEST_F(WatchTableTest, WatchWindowLinesUpTheViewpointsEnabledWatches) {
  Define(0, "2 + 3");
  Define(1, "7");
  Define(2, "1 + 1 + 1 + 1", 0);
  TextPane pane;
  WatchViewManager manager(&pane);
  DVError status;
  EXPECT_EQ(manager.HandleRequest(status, kGuiOpened, 0), 0);
  EXPECT_EQ(manager.HandleRequest(status, kGuiRefresh, 0), 0);
  const std::string lines = testing_support::DumpPane(pane, false);
  EXPECT_NE(lines.find("|wa[0] 2 + 3 : 5|"), std::string::npos) << lines;
  EXPECT_NE(lines.find("|wa[1] 7     : 7|"), std::string::npos) << lines;
  EXPECT_EQ(lines.find("wa[2]"), std::string::npos) << "a disabled watch is not shown\n" << lines;

  // Another viewpoint's window is empty; a save and a restore through the window.
  AddViewpoint(kViewpoint + 1, "P1");
  PushViewpoint(ViewpointHandle(kViewpoint + 1));
  manager.HandleRequest(status, kGuiRefresh, 0);
  EXPECT_EQ(pane.count, 0) << testing_support::DumpPane(pane, false);
  PopViewpoint();
  NamedSetRequest save;
  save.m_name = "window";
  EXPECT_EQ(manager.HandleRequest(status, 0xD0, reinterpret_cast<intptr_t>(&save)), 0);
  NamedSetList list;
  manager.HandleRequest(status, 0xD3, reinterpret_cast<intptr_t>(&list));
  EXPECT_EQ(list.m_count, 1u);
  EXPECT_EQ(manager.HandleRequest(status, 0xD4, 0), 0);
  manager.HandleRequest(status, kGuiRefresh, 0);
  EXPECT_EQ(pane.count, 0);
  NamedSetRequest restore;
  restore.m_name = "window";
  restore.m_dataLength = 1024;
  manager.HandleRequest(status, 0xD1, reinterpret_cast<intptr_t>(&restore));
  manager.HandleRequest(status, kGuiRefresh, 0);
  EXPECT_EQ(pane.count, 2) << testing_support::DumpPane(pane, false);
  const RWCString name("window");
  EXPECT_EQ(manager.HandleRequest(status, 0xD2, reinterpret_cast<intptr_t>(&name)), 0);
  EXPECT_LT(manager.HandleRequest(status, 0xD2, reinterpret_cast<intptr_t>(&name)), 0) << "removed already";
  EXPECT_EQ(manager.HandleRequest(status, kGuiClosing, 0), 0);
}

TEST_F(WatchTableTest, SavedSetsComeBackInTheFirstFreeSlots) {
  Define(3, "1 + 1");
  Define(9, "2 * 3", 0);
  NamedSetRequest save;
  save.m_name = "mine";
  WatchTable::SaveSet(save);
  save.m_name = "DEFAULT";
  WatchTable::SaveSet(save);
  WatchTable::DeleteForCurrentViewpoint();

  NamedSetRequest restore;
  restore.m_name = "mine";
  restore.m_dataLength = 1024;
  SetLoadedProgramFileName(RWCString("demo.sym"));  // the same program, another case
  WatchTable::RestoreSet(restore);
  EXPECT_EQ(Shown(), std::vector<std::string>({"0:1 + 1", "1-2 * 3"}));

  // Another program's set is not restored and says nothing; "DEFAULT" is for any.
  SetLoadedProgramFileName(RWCString("HELLO.SYM"));
  WatchTable::RestoreSet(restore);
  EXPECT_EQ(Shown(), std::vector<std::string>({"0:1 + 1", "1-2 * 3"}));
  restore.m_name = "DEFAULT";
  WatchTable::DeleteForCurrentViewpoint();
  WatchTable::RestoreSet(restore);
  EXPECT_EQ(Shown(), std::vector<std::string>({"0:1 + 1", "1-2 * 3"}));

  // Damaged records: 114, and the watches stay.
  const std::string header = std::string("HELLO.SYM", 9) + '\0';
  const std::string entry = std::string("wa[0]\0" "5\0\0" "1\n", 11);
  const std::vector<std::pair<const char*, std::string>> damages = {
      {"no end mark", header + entry},
      {"cut inside an entry", header + entry.substr(0, 7)},
      {"not a watch name", header + "xx[0]" + entry.substr(5) + "EOF\n"},
      {"a flag other than 1 or 0", header + entry.substr(0, 9) + "7\nEOF\n"},
      {"no header end", std::string("HELLO.SYM")},
  };
  for (const auto& [name, data] : damages) {
    SCOPED_TRACE(name);
    m_store.RemoveRecord(kWatchSetRecord, RWCString("bad"));
    m_store.AddRecord(kWatchSetRecord, RWCString("bad"), RWCString(), static_cast<uint32_t>(data.size()),
                      reinterpret_cast<const uint8_t*>(data.data()));
    NamedSetRequest bad;
    bad.m_name = "bad";
    bad.m_dataLength = 1024;
    EXPECT_EQ(testing_support::ErrorNumberOf([&] { WatchTable::RestoreSet(bad); }), kMsgSettingsFileError);
    EXPECT_EQ(Shown(), std::vector<std::string>({"0:1 + 1", "1-2 * 3"}));
  }
  // The sound one of them restores.
  m_store.RemoveRecord(kWatchSetRecord, RWCString("bad"));
  const std::string sound = header + entry + "EOF\n";
  m_store.AddRecord(kWatchSetRecord, RWCString("bad"), RWCString(), static_cast<uint32_t>(sound.size()),
                    reinterpret_cast<const uint8_t*>(sound.data()));
  NamedSetRequest good;
  good.m_name = "bad";
  good.m_dataLength = 1024;
  WatchTable::RestoreSet(good);
  EXPECT_EQ(Shown(), std::vector<std::string>({"0:5"}));
}

}  // namespace
}  // namespace zentor
