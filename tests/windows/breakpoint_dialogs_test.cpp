// The breakpoint and watch dialogs against DEMO on the stand-in agent: every request
// goes through the real dispatcher to the engine's breakpoint table and watch table,
// which set and clear the agent's breakpoints (its trace shows them); the dialogs run
// from their real templates on the recording layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/viewpoint_manager.h"
#include "core/window_layer.h"
#include "core/view_kind.h"
#include "gui/dialog_description_file.h"
#include "gui/layer_backend.h"
#include "gui/notice_router.h"
#include "harness/dialog_driver.h"
#include "harness/session/console_session.h"
#include "windows/breakpoint_dialogs.h"
#include "windows/watch_dialogs.h"
#include "debugger_windows_fixture.h"

namespace zentor {
namespace {

using testing_support::DialogDriver;
using D = DialogDriver;

constexpr uint32_t kSoftware = 0;
constexpr uint32_t kHardware = 1;
constexpr uint32_t kSoftwareAccess = 7;
constexpr uint32_t kWriteAccess = 1;

class BreakpointDialogsTest : public testing_support::DebuggerDialogsTest {
 protected:
  void SetUp() override {
    DebuggerDialogsTest::SetUp();
    InstallBreakpointDialogNotices();
  }
  void TearDown() override {
    SetNoticeHandler(NoticeTarget::kBreakpointList, nullptr);
    DebuggerDialogsTest::TearDown();
  }

  // A breakpoint of the type (0 br, 1 cb, 2 pp) set as the dialogs set one; its id.
  int32_t Set(uint32_t type, const std::string& location, const std::string& expression = "",
              uint32_t resource = kSoftware, uint32_t access = kSoftwareAccess) {
    BreakpointDialogRequest request;
    request.m_kind = type;
    request.m_type = resource;
    request.m_access = access;
    request.m_locationText = location.c_str();
    request.m_conditionText = expression.c_str();
    DVError status;
    SendBreakpointRequest(status, 0xc9, &request);
    EXPECT_TRUE(status.IsOkay()) << location << " " << status.Number();
    return request.m_result;
  }
  bool Remove(uint32_t type, int32_t id) {
    BreakpointDialogRequest request;
    request.m_kind = type;
    request.m_slot = id;
    DVError status;
    SendBreakpointRequest(status, 0xca, &request);
    return status.IsOkay();
  }
  // The engine's breakpoints as "name location condition enabled", by type and id.
  std::vector<std::string> Engine() {
    std::vector<std::string> names;
    for (uint32_t type = 0; type < 3; ++type) {
      BreakpointDialogRequest ids;
      ids.m_kind = type;
      DVError status;
      SendBreakpointRequest(status, 0xcd, &ids);
      for (int32_t i = 0; i < ids.m_slot; ++i) {
        BreakpointDialogEntry entry;
        entry.m_kind = type;
        entry.m_slot = ids.m_slots[i];
        SendBreakpointRequest(status, 0xcc, &entry);
        names.push_back(std::string(entry.m_name.data()) + " " + entry.m_locationText.data() + " " +
                        entry.m_conditionText.data() + (entry.m_enabled != 0 ? " on" : " off"));
      }
    }
    return names;
  }
  // The agent's breakpoint requests (sets and clears) so far.
  size_t AgentBreakpointRequests() {
    size_t count = 0;
    for (const std::string& line : m_session.Agent().TraceLines("exec ")) {
      if (line.find(" bp ") != std::string::npos) ++count;
    }
    return count;
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> boxes;
    const std::string log = m_system.TakeLog();
    for (size_t at = log.find("MessageBox "); at != std::string::npos; at = log.find("MessageBox ", at + 1)) {
      boxes.push_back(log.substr(at, log.find('\n', at) - at));
    }
    return boxes;
  }
  static std::vector<std::string> Names(const std::vector<std::string>& rows) {
    std::vector<std::string> names;
    for (const std::string& row : rows) {
      const size_t first = row.find('\t', row.find('\t') + 1) + 1;
      names.push_back(std::string(row.substr(0, 3) == "  *" ? "*" : " ") + row.substr(first, row.find('\t', first) - first));
    }
    return names;
  }
  std::string Viewpoint() {
    char text[80] = {};
    FormatViewpointName(GetCurrentViewpointValue(), text, sizeof text, true);
    std::string padded = text;
    padded.resize(std::max<size_t>(padded.size(), 20), ' ');
    return padded;
  }
};

// The rows, the sort by status with the name order inside, the one-entry operations,
// Browse To on a data breakpoint, and notices of the engine while the list is open.
TEST_F(BreakpointDialogsTest, TheListShowsSortsAndGuardsItsOperations) {
  OR_RETURN(ConnectToDemo());
  ASSERT_EQ(Set(0, "g"), 0);
  ASSERT_EQ(Set(1, "f", "if (n > 1)"), 0);
  ASSERT_EQ(Set(0, "main"), 1);
  ASSERT_EQ(Set(2, "Factorial", "printf (\"%d\", n)"), 0);
  ASSERT_EQ(Set(0, "g_divisor", "", kHardware, kWriteAccess), 2);
  BreakpointDialogRequest off;
  off.m_kind = 0;
  off.m_slot = 0;
  DVError status;
  SendBreakpointRequest(status, 0xd5, &off);
  ASSERT_TRUE(status.IsOkay());
  const size_t before = AgentBreakpointRequests();
  m_system.TakeLog();

  BreakpointDialogEntry noticed;
  noticed.m_kind = 2;
  noticed.m_slot = 7;
  noticed.m_enabled = 1;
  noticed.m_name = "pp[7]";
  noticed.m_locationText = "elsewhere";
  noticed.m_viewpoint = GetCurrentViewpointValue();
  m_driver.Script({
      D::Do([&](DialogDriver& d) {
        EXPECT_EQ(Names(d.Entries(kBreakList)), (std::vector<std::string>{" br[0]", "*br[1]", "*br[2]", "*cb[0]", "*pp[0]"}));
        EXPECT_EQ(d.Entries(kBreakList)[3], "  *\t" + Viewpoint() + "\tcb[0]\t\t:DEMO_CALC#15   n > 1");
        EXPECT_EQ(d.Entries(kBreakList)[2].substr(d.Entries(kBreakList)[2].find("br[2]")),
                  "br[2]\twr\t:DEMO_MAIN.g_divisor   ");
        EXPECT_FALSE(d.Enabled(kBreakModify));
      }),
      D::Press(kBreakSortStatus),
      D::Do([](DialogDriver& d) {
        EXPECT_EQ(Names(d.Entries(kBreakList)), (std::vector<std::string>{"*br[1]", "*br[2]", "*cb[0]", "*pp[0]", " br[0]"}));
      }),
      D::SelectRows(kBreakList, {0, 2}), D::Press(kBreakModify), D::Press(kBreakBrowse),
      D::SelectRows(kBreakList, {1}), D::Press(kBreakBrowse),
      // Notices change the list; the next showing shows them.
      D::Do([&](DialogDriver&) {
        RouteGuiNotice(8, 0, 250, &noticed);
        noticed.m_locationText = "moved";
        RouteGuiNotice(8, 0, 252, &noticed);
        BreakpointDialogEntry gone;
        gone.m_kind = 0;
        gone.m_slot = 0;
        RouteGuiNotice(8, 0, 251, &gone);
        RouteGuiNotice(8, 0, 251, &gone);
      }),
      D::Press(kBreakSortName),
      D::Do([](DialogDriver& d) {
        EXPECT_EQ(Names(d.Entries(kBreakList)), (std::vector<std::string>{"*br[1]", "*br[2]", "*cb[0]", "*pp[0]", "*pp[7]"}));
        EXPECT_NE(d.Entries(kBreakList)[4].find("moved"), std::string::npos);
      }),
      D::Press(2),
  });
  ShowBreakpointListDialog(kNoLayerId);
  const std::vector<std::string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_NE(boxes[0].find("Only one breakpoint may be selected for this operation."), std::string::npos);
  EXPECT_NE(boxes[1].find("Only one breakpoint may be selected for this operation."), std::string::npos);
  EXPECT_NE(boxes[2].find("Vantriq operation not permitted on data"), std::string::npos);
  EXPECT_EQ(std::count(m_driver.Opened().begin(), m_driver.Opened().end(), "MODBRK"), 0);
  EXPECT_EQ(AgentBreakpointRequests(), before) << "Cancel without a change sends nothing";
}

// Deleting two entries of which the engine no longer has one: that one stays and is
// reported once. Cancel then clears the viewpoint and sets the snapshot again, with
// the ids they had; OK keeps a deletion.
TEST_F(BreakpointDialogsTest, DeleteAndTheCancelThatPutsTheBreakpointsBack) {
  OR_RETURN(ConnectToDemo());
  ASSERT_EQ(Set(0, "main"), 0);
  ASSERT_EQ(Set(0, "f"), 1);
  ASSERT_EQ(Set(1, "g", "if (left == 2)"), 0);
  const std::vector<std::string> engine = Engine();
  m_system.TakeLog();
  size_t afterDelete = 0;
  m_driver.Script({
      D::Do([&](DialogDriver&) { ASSERT_TRUE(Remove(0, 1)); }),
      D::SelectRows(kBreakList, {0, 1}), D::Press(kBreakDelete),
      D::Do([&](DialogDriver& d) {
        EXPECT_EQ(Names(d.Entries(kBreakList)), (std::vector<std::string>{"*br[1]", "*cb[0]"}));
        afterDelete = AgentBreakpointRequests();
      }),
      D::Press(2),
  });
  ShowBreakpointListDialog(kNoLayerId);
  EXPECT_EQ(Boxes().size(), 1u) << "the refusal, once";
  EXPECT_EQ(Engine(), engine);
  EXPECT_GT(AgentBreakpointRequests(), afterDelete) << "the viewpoint cleared before the snapshot is set";

  m_driver.Script({D::SelectRows(kBreakList, {2}), D::Press(kBreakDelete), D::Press(1)});
  ShowBreakpointListDialog(kNoLayerId);
  EXPECT_EQ(Engine(), (std::vector<std::string>{engine[0], engine[1]}));
}

// Every slot the target takes in use, of every type: all listed, sorted by name.
TEST_F(BreakpointDialogsTest, AFullTableIsListed) {
  OR_RETURN(ConnectToDemo());
  std::vector<std::string> expected;
  uint32_t offset = 0;
  for (uint32_t type = 0; type < 3; ++type) {
    for (int32_t i = 0; i < 58; ++i) {
      BreakpointDialogRequest request;
      request.m_kind = type;
      request.m_access = kSoftwareAccess;
      request.m_locationText = ("main+" + std::to_string(offset++)).c_str();
      request.m_conditionText = type == 1 ? "if (1)" : "";
      DVError status;
      SendBreakpointRequest(status, 0xc9, &request);
      if (!status.IsOkay()) break;
      expected.push_back(std::string("*") + (type == 0 ? "br" : type == 1 ? "cb" : "pp") + "[" + std::to_string(i) + "]");
    }
  }
  ASSERT_GT(expected.size(), 50u);
  m_driver.Script({
      D::Do([&](DialogDriver& d) { EXPECT_EQ(Names(d.Entries(kBreakList)), expected); }),
      D::Press(kBreakSortStatus),
      D::Do([&](DialogDriver& d) { EXPECT_EQ(Names(d.Entries(kBreakList)), expected); }),
      D::Press(1),
  });
  ShowBreakpointListDialog(kNoLayerId);
}

// Add: OK and Apply wait for the first keystroke; a conditional breakpoint needs its
// condition (210, the edit selected); the condition goes wrapped, whole; Apply adds
// and renames Cancel. Modify into another type that the engine refuses brings the old
// breakpoint back under its id.
TEST_F(BreakpointDialogsTest, AddAndModify) {
  OR_RETURN(ConnectToDemo());
  std::string longCondition = "n > 3";
  while (longCondition.size() < 112) longCondition += " && n != 1000000";
  longCondition += " && n != 1";
  ASSERT_GT(("if (" + longCondition + ")").size(), 127u);
  ASSERT_LE(longCondition.size(), 127u);
  m_driver.Script({
      D::Do([](DialogDriver& d) {
        EXPECT_FALSE(d.Enabled(kEditOk));
        EXPECT_FALSE(d.Enabled(kEditApply));
      }),
      D::Type(kEditLocation, "f"),
      D::Do([](DialogDriver& d) {
        EXPECT_TRUE(d.Enabled(kEditOk));
        EXPECT_TRUE(d.Enabled(kEditApply));
      }),
      D::Press(kEditConditional), D::Press(kEditApply),
      D::Do([&](DialogDriver& d) {
        EXPECT_EQ(TakeReportedError(), 210u);
        EXPECT_EQ(d.Text(kEditLocation), "f");
      }),
      D::Type(kEditExpression, longCondition), D::Press(kEditApply),
      D::Do([](DialogDriver& d) {
        EXPECT_EQ(d.Text(2), "Cl&ose");
        EXPECT_EQ(d.Text(kEditLocation), "");
        EXPECT_FALSE(d.Enabled(kEditOk));
      }),
      D::Type(kEditLocation, "g"), D::Press(kEditUnconditional), D::Press(kEditOk),
  });
  ShowAddBreakpointDialog(kNoLayerId);
  EXPECT_EQ(Engine(), (std::vector<std::string>{"br[0] :DEMO_CALC#8  on", "cb[0] :DEMO_CALC#15 " + longCondition + " on"}));

  // br[0] into a passpoint whose format does not parse: refused, br[0] is back.
  m_driver.Script({
      D::SelectRows(kBreakList, {0}), D::Press(kBreakModify),
      D::Do([](DialogDriver& d) {
        EXPECT_EQ(d.Text(kEditName), "Name: br[0]");
        EXPECT_EQ(d.Text(kEditLocation), ":DEMO_CALC#8");
      }),
      D::Press(kEditPasspoint), D::Type(kEditExpression, "\"%d\", )("), D::Press(kEditOk),
      D::Do([](DialogDriver& d) { EXPECT_EQ(d.Caption(), "Modify Breakpoint"); }),
      D::Press(2),
      D::Do([](DialogDriver& d) { EXPECT_EQ(Names(d.Entries(kBreakList)), (std::vector<std::string>{"*br[0]", "*cb[0]"})); }),
      D::Press(1),
  });
  ShowBreakpointListDialog(kNoLayerId);
  EXPECT_NE(TakeReportedError(), 0u);
  EXPECT_EQ(Engine(), (std::vector<std::string>{"br[0] :DEMO_CALC#8  on", "cb[0] :DEMO_CALC#15 " + longCondition + " on"}));
}

// The Hardware radio hands the focus to the access kinds. An entry of a task-switch
// selector (here from the engine's notice) opens with "Selector:", no type to choose,
// and its data break (access 5) without a location to give: OK then goes to the
// engine with an empty location, which a plain task switch (access 4) refuses with 204.
TEST_F(BreakpointDialogsTest, HardwareFocusesTheKindsAndASelectorsDataBreakTakesNoLocation) {
  OR_RETURN(ConnectToDemo());
  m_driver.Script({
      D::Press(kEditHardware),
      D::Do([](DialogDriver& d) {
        EXPECT_TRUE(d.Focused(kEditAccessKind));
        EXPECT_TRUE(d.Enabled(kEditAccessKind));
      }),
      D::Press(kEditSoftware),
      D::Do([](DialogDriver& d) { EXPECT_FALSE(d.Enabled(kEditAccessKind)); }),
      D::Press(2),
  });
  ShowAddBreakpointDialog(kNoLayerId);

  struct Case {
    uint32_t access;
    bool locationOn;
    bool refused;  // 204 before anything reaches the engine
  };
  for (const Case& c : {Case{5, false, false}, Case{4, true, true}}) {
    SCOPED_TRACE(c.access);
    BreakpointDialogEntry selector;
    selector.m_kind = 0;
    selector.m_slot = 9;
    selector.m_enabled = 1;
    selector.m_type = 2;
    selector.m_access = c.access;
    selector.m_name = "br[9]";
    selector.m_viewpoint = GetCurrentViewpointValue();
    TakeReportedError();
    m_driver.Script({
        D::Do([&](DialogDriver&) { RouteGuiNotice(8, 0, 250, &selector); }),
        D::Press(kBreakSortName),
        D::Select(kBreakList, 0), D::Press(kBreakModify),
        D::Do([&](DialogDriver& d) {
          EXPECT_EQ(d.Text(kEditLocationLabel), "Selector:");
          EXPECT_EQ(d.Enabled(kEditLocation), c.locationOn);
          EXPECT_EQ(d.Enabled(kEditLocationLabel), c.locationOn);
          EXPECT_FALSE(d.Enabled(kEditUnconditional));
          EXPECT_FALSE(d.Enabled(kEditPasspoint));
          EXPECT_FALSE(d.Checked(kEditSoftware));
          EXPECT_FALSE(d.Checked(kEditHardware));
        }),
        D::Press(kEditOk),
        D::Do([&](DialogDriver& d) {
          EXPECT_EQ(TakeReportedError() == 204, c.refused);
          EXPECT_EQ(d.Caption(), "Modify Breakpoint") << "the engine has no such breakpoint either";
        }),
        D::Press(2), D::Press(2),
    });
    ShowBreakpointListDialog(kNoLayerId);
  }
}

// Two Applies add two watches; OK on an empty edit does nothing; two watches deleted
// with Apply come back on Cancel.
TEST_F(BreakpointDialogsTest, WatchDialogs) {
  OR_RETURN(ConnectToDemo());
  m_driver.Script({
      D::Type(kWatchExpressionEdit, "g_divisor"), D::Press(kWatchApply),
      D::Type(kWatchExpressionEdit, "g_color"), D::Press(kWatchApply),
      D::Do([](DialogDriver& d) { EXPECT_EQ(d.Text(2), "Cl&ose"); }),
      D::Type(kWatchExpressionEdit, "x"), D::Type(kWatchExpressionEdit, ""), D::Press(kWatchOk),
      D::Do([](DialogDriver& d) { EXPECT_EQ(d.Caption(), "Add Watch"); }),
      D::Press(2),
  });
  ShowAddWatchDialog(kNoLayerId);
  EXPECT_TRUE(Boxes().empty());

  auto rows = [](DialogDriver& d) {
    std::vector<std::string> texts;
    for (const std::string& row : d.Entries(kWatchList)) texts.push_back(row.substr(row.find('\t') + 1));
    return texts;
  };
  std::vector<std::string> opened;
  m_driver.Script({
      D::Do([&](DialogDriver& d) { opened = rows(d); }),
      D::SelectRows(kWatchList, {0, 1}), D::Press(kWatchApply),
      D::Do([](DialogDriver& d) {
        EXPECT_TRUE(d.Entries(kWatchList).empty());
        EXPECT_EQ(d.Text(kWatchOk), "Cl&ose");
      }),
      D::Press(2),
  });
  ShowDeleteWatchDialog(kNoLayerId);
  EXPECT_EQ(opened, (std::vector<std::string>{"g_divisor", "g_color"}));
  m_driver.Script({D::Do([&](DialogDriver& d) { EXPECT_EQ(rows(d), opened); }), D::Press(2)});
  ShowDeleteWatchDialog(kNoLayerId);
}

// Named sets: the Breakpoints list's Manage button saves the breakpoints under a name
// and restores them into the list; the Watch window's popup does the same for watches,
// and removes a set.
TEST_F(BreakpointDialogsTest, NamedBreakpointAndWatchSets) {
  OR_RETURN(ConnectToDemo());
  testing_support::ScratchDirectory directory{"named-sets"};
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  store.Reset();
  ASSERT_EQ(store.Open(directory.File("zentor.ddb").c_str()), 0);
  InstallDialogDescriptionFile();
  ASSERT_EQ(Set(0, "main"), 0);
  ASSERT_EQ(Set(1, "f", "if (n == 3)"), 0);
  const std::vector<std::string> saved = Engine();
  m_driver.Script({
      D::Press(kBreakManage),
      D::Press(17), D::Type(1560, "two"), D::Type(1561, "main and f"), D::Press(1),
      D::Do([&](DialogDriver& d) {
        ASSERT_EQ(d.Entries(15).size(), 1u);
        Remove(0, 0);
        Remove(1, 0);
      }),
      D::Press(16), D::Press(1),
      D::Do([](DialogDriver& d) { EXPECT_EQ(Names(d.Entries(kBreakList)), (std::vector<std::string>{"*br[0]", "*cb[0]"})); }),
      D::Press(1),
  });
  ShowBreakpointListDialog(kNoLayerId);
  EXPECT_EQ(Engine(), saved);

  WinSuper* watch = Open(kViewWatch);
  ASSERT_NE(watch, nullptr);
  m_driver.Script({D::Type(kWatchExpressionEdit, "g_divisor"), D::Press(kWatchOk)});
  ShowAddWatchDialog(kNoLayerId);
  m_driver.Script({
      D::Press(17), D::Type(1560, "divisor"), D::Press(1),
      D::Do([](DialogDriver& d) { EXPECT_EQ(d.Caption(), "Watch Management"); }),
      D::Select(15, 0), D::Press(18),
      D::Do([](DialogDriver& d) { EXPECT_TRUE(d.Entries(15).empty()); }),
      D::Press(1),
  });
  ShowWatchManagement(*watch);
  NamedSetList watchSets;
  store.ListAllRecords(15, &watchSets);
  EXPECT_EQ(watchSets.m_entries.size(), 0u);
  EXPECT_TRUE(Boxes().empty());
  store.Reset();
}

}  // namespace
}  // namespace zentor
