// Pointers of DEMO at a real stop on the stand-in agent, with the symbols loaded both
// ways the console loads them: found along the search path when the connection loads
// every module the server has, and named later by the load-symbols command. Either way
// the symbols join the program that the connection began, so a pointer is a pointer:
// "?" prints the address it holds, follows it with "->" and "*", and the Inspect window
// shows the held address as the value and the pointee when the line is expanded.
#include <gtest/gtest.h>

#include <cstdio>

#include <map>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "core/token_record.h"
#include "core/view_kind.h"
#include "engine/engine_services.h"
#include "engine/inspector_view.h"
#include "engine/view_managers.h"
#include "gui/view_dispatcher.h"
#include "harness/pane_dump.h"
#include "harness/stand_in_session.h"
#include "symbols/search_path.h"
#include "target/module_symbols.h"

namespace zentor {
namespace {

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

class PointersAtStopTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DestroyAllViewManagers();
    ResetEngineState();
    ActionTable::ResetToDefaults();
    *GetGlobalSearchPath() = RWCString();
  }
  // Connects to the agent running DEMO; the symbols come at the connection when
  // `alongSearchPath`, else through the load-symbols command afterwards.
  bool Connect(testing_support::StandInSession& session, bool alongSearchPath, std::string* reason) {
    const std::string directory = testing_support::SampleModulesDirectory();
    if (directory.empty()) {
      *reason = "no sample modules here";
      return false;
    }
    const std::string host = testing_support::HostPathOfUnixPath(directory);
    *GetGlobalSearchPath() = RWCString(alongSearchPath ? host.c_str() : "");
    if (!session.Connect({"--module", directory + "demo.mod"}, reason)) return false;
    testing_support::BindCommandsForStandIn();
    if (!alongSearchPath) {
      SetTokenText(CurrentToken(), (host + "demo").c_str());
      SymLoadNamedModule();
    }
    return true;
  }
  static std::string Printed(const std::string& text) { return testing_support::PrintedByCommandLine(text); }
  int32_t Inspect(TextPane& pane, InspectorRequest& request, int32_t code, intptr_t line = 0,
                  const char* text = nullptr) {
    request.line = line;
    request.text = text;
    m_status.Reset();
    return ViewDispatcher::RunGuiCommandForKind(m_status, kViewInspect, &pane, code,
                                                reinterpret_cast<intptr_t>(&request));
  }

  DVError m_status;
};

// After line 37 of demo_main.c has stored 722 through g_current (it points at g_corner,
// whose next points at g_origin) the stop at line 38 shows the pointers, compared with
// the addresses of the build's map.
TEST_F(PointersAtStopTest, PointersAfterEitherWayOfLoading) {
  const std::map<std::string, uint32_t> map = testing_support::SampleModuleSymbols("demo");
  if (map.empty()) GTEST_SKIP() << "no map of DEMO here";
  const std::string corner = Hex(map.at("g_corner"));
  const std::string origin = Hex(map.at("g_origin"));
  const std::string function = Hex(map.at("g"));
  for (const bool alongSearchPath : {true, false}) {
    SCOPED_TRACE(alongSearchPath ? "loaded at the connection" : "loaded by the load-symbols command");
    testing_support::StandInSession session;
    std::string reason;
    if (!Connect(session, alongSearchPath, &reason)) GTEST_SKIP() << reason;
    ASSERT_EQ(Printed("br = :DEMO_MAIN#38"), "");
    ASSERT_NE(Printed("go; wait").find("Break at"), std::string::npos);

    struct Case {
      const char* command;
      std::string printed;
    };
    const std::vector<Case> cases = {
        {"? g_current", corner + "\n"},
        {"? g_current->x", "722\n"},
        {"? g_current->next->y", "20\n"},
        {"? g_operation", function + "\n"},
        {"? g_origin.next", "0x00000000\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(Printed(c.command), c.printed) << c.command;
    const std::string whole = Printed("? *g_current");
    EXPECT_NE(whole.find("x   722\n"), std::string::npos) << whole;
    EXPECT_NE(whole.find("next   " + origin + "\n"), std::string::npos) << whole;

    // The Inspect window: the held address as the value, the pointee's fields below it.
    TextPane pane;
    pane.layerId = 15;
    pane.rows = 20;
    InspectorRequest request;
    ASSERT_EQ(Inspect(pane, request, kGuiOpened), 0);
    ASSERT_EQ(Inspect(pane, request, kGuiInspectAdd, 0, "g_current"), 0) << m_status.Number();
    ASSERT_EQ(pane.count, 1);
    const std::string root = pane.lines[0]->text;
    EXPECT_NE(root.find("struct point* g_current = " + corner), std::string::npos) << root;
    // Its one member is the structure it points at, without a name of its own.
    ASSERT_EQ(Inspect(pane, request, kGuiInspectExpand, 0), 0) << m_status.Number();
    ASSERT_EQ(pane.count, 2);
    EXPECT_NE(std::string(pane.lines[1]->text).find("<" + corner + "> struct point "), std::string::npos);
    ASSERT_EQ(Inspect(pane, request, kGuiInspectExpand, 1), 0) << m_status.Number();
    const std::string dump = testing_support::DumpPane(pane, false);
    EXPECT_NE(dump.find("<" + corner + "> int x = 722"), std::string::npos) << dump;
    EXPECT_NE(dump.find("struct point* next = " + origin), std::string::npos) << dump;
    // A null pointer (g_origin.next) points at nothing: its expansion adds no line.
    ASSERT_EQ(Inspect(pane, request, kGuiInspectAdd, 0, "g_origin"), 0) << m_status.Number();
    ASSERT_EQ(Inspect(pane, request, kGuiInspectExpand, pane.count - 1), 0) << m_status.Number();
    const int32_t lines = pane.count;
    const std::string last = pane.lines[lines - 1]->text;
    EXPECT_NE(last.find("struct point* next = 0x00000000"), std::string::npos) << last;
    EXPECT_EQ(Inspect(pane, request, kGuiInspectExpand, lines - 1), 0) << m_status.Number();
    EXPECT_EQ(pane.count, lines);
    EXPECT_EQ(Inspect(pane, request, kGuiClosing), 0);
    DestroyAllViewManagers();
    ResetEngineState();
  }
}

}  // namespace
}  // namespace zentor
