// The data views at real stops of VIEWS on the stand-in agent, driven as a user drives
// them: breakpoints and go through the command language, the views through the
// dispatcher, target memory through the engine's own service. Compared by golden pane
// dumps in tests/data/views/.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "core/current_viewpoint.h"
#include "core/number_base.h"
#include "core/token_record.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "engine/engine_services.h"
#include "engine/inspector_view.h"
#include "engine/memory_view.h"
#include "engine/register_access.h"
#include "engine/view_managers.h"
#include "engine/watch_table.h"
#include "gui/view_dispatcher.h"
#include "harness/agent_request_log.h"
#include "harness/pane_dump.h"
#include "harness/stand_in_session.h"
#include "harness/transcript.h"
#include "target/agent_requests.h"
#include "target/memory_read_cache.h"
#include "target/module_symbols.h"
#include "target/tmi_session.h"
#include "target/tmi_viewpoint.h"

namespace zentor {
namespace {

const std::string kGoldenDirectory = std::string(ZENTOR_TEST_DATA_DIR) + "/views/";

std::string ViewsManifest() {
  const std::string directory = testing_support::SampleModulesDirectory();
  return directory.empty() ? "" : directory + "views.mod";
}

// VIEWS with its symbols, the command language's engine and target words bound.
class ViewsAtStopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string reason;
    if (!m_session.Connect({"--module", ViewsManifest()}, &reason)) GTEST_SKIP() << reason;
    testing_support::BindCommandsForStandIn();
    m_base = GetNumberBase();
    const std::string views = ViewsManifest();
    SetTokenText(CurrentToken(),
                 (testing_support::HostPathOfUnixPath(views.substr(0, views.rfind('/') + 1)) + "views").c_str());
    SymLoadNamedModule();
  }
  void TearDown() override {
    DestroyAllViewManagers();
    ResetEngineState();
    ActionTable::ResetToDefaults();
    SetNumberBase(static_cast<uint8_t>(m_base));
  }
  static uint32_t Command(const std::string& text) { return testing_support::RunCommandLine(text); }
  static std::string Printed(const std::string& text) { return testing_support::PrintedByCommandLine(text); }
  int32_t Send(int32_t kind, TextPane& pane, int32_t code, intptr_t argument = 0) {
    m_status.Reset();
    return ViewDispatcher::RunGuiCommandForKind(m_status, kind, &pane, code, argument);
  }
  // The value text of an expression, as the modify-value dialog asks for it.
  std::string ValueText(const char* expression) {
    char buffer[kValueTextBufferSize] = {};
    std::strncpy(buffer, expression, sizeof buffer - 1);
    DVError status;
    const int32_t result = ViewDispatcher::RunGuiCommandForKind(status, kViewInspect, nullptr, kGuiInspectValueText,
                                                                reinterpret_cast<intptr_t>(buffer));
    return result == 0 ? buffer : "ERROR " + std::to_string(result);
  }

  // An Inspect window's request (pool, line, text).
  int32_t Inspect(int32_t code, intptr_t line = 0, const char* text = nullptr) {
    m_inspect.line = line;
    m_inspect.text = text;
    return Send(kViewInspect, m_inspectPane, code, reinterpret_cast<intptr_t>(&m_inspect));
  }
  // Types `text` into a field and commits it.
  int32_t TypeIntoField(TextPane& pane, int32_t kind, int32_t line, int32_t field, const std::string& text,
                        intptr_t argument) {
    testing_support::OvertypeField(pane, line, field, text);
    return Send(kind, pane, kGuiCommitField, argument);
  }
  // Lines [first, first + count) of a pane dump (its head line first).
  static std::string DumpLines(const TextPane& pane, int32_t first, int32_t count) {
    const std::string all = testing_support::DumpPane(pane, false);
    std::string part = all.substr(0, all.find('\n') + 1);
    std::size_t at = part.size();
    for (int32_t line = 0; at < all.size(); ++line) {
      const std::size_t end = all.find('\n', at) + 1;
      if (line >= first && line < first + count) part += all.substr(at, end - at);
      at = end;
    }
    return part;
  }
  std::size_t MemoryReadRequests() {
    std::size_t reads = 0;
    for (const std::string& line : m_session.Agent().TraceLines("exec seq=")) {
      if (line.find("command=0x09") != std::string::npos) ++reads;
    }
    return reads;
  }
  void OpenInspector() {
    m_inspectPane.layerId = 15;
    m_inspectPane.rows = 20;
    ASSERT_EQ(Inspect(kGuiOpened), 0);
  }

  testing_support::StandInSession m_session;
  uint32_t m_base = 10;
  DVError m_status;
  TextPane m_inspectPane;
  InspectorRequest m_inspect;
};

// At Leaf twenty frames, each line carrying its frame number; a selected frame is where
// the other views read their locals, and the listing switch comes back after two.
TEST_F(ViewsAtStopTest, CallstackOfTwentyFrames) {
  ASSERT_EQ(Command("br = Leaf"), 0u);
  ASSERT_EQ(Command("go; wait"), 0u);
  TextPane pane;
  pane.layerId = 13;
  ASSERT_EQ(Send(kViewCallstack, pane, kGuiOpened), 0);
  ASSERT_EQ(Send(kViewCallstack, pane, kGuiRefresh), 0) << m_status.Number();
  ASSERT_EQ(pane.count, 20);
  std::string dump = "at Leaf: " + testing_support::DumpPane(pane);
  const std::string compact = dump;
  int32_t current = -7;
  EXPECT_EQ(Send(kViewCallstack, pane, kGuiCurrentFrame, reinterpret_cast<intptr_t>(&current)), 0);
  EXPECT_EQ(current, 0);
  // Leaf's parameter is not active at its first instruction; Descend's are.
  EXPECT_EQ(ValueText("depth"), "Inactive");

  struct Case {
    int32_t frame;
    int32_t expectedCurrent;
    const char* depth;
  };
  // Frame 1 is Descend(18), frame 5 Descend(14); an index past the list keeps frame 5.
  for (const Case& c : std::vector<Case>{{1, 1, "18"}, {5, 5, "14"}, {20, 5, "14"}}) {
    SCOPED_TRACE(c.frame);
    int32_t frame = c.frame;
    EXPECT_EQ(Send(kViewCallstack, pane, kGuiBrowse, reinterpret_cast<intptr_t>(&frame)), 0) << m_status.Number();
    EXPECT_EQ(Send(kViewCallstack, pane, kGuiCurrentFrame, reinterpret_cast<intptr_t>(&current)), 0);
    EXPECT_EQ(current, c.expectedCurrent);
    EXPECT_EQ(ValueText("depth"), c.depth);
  }
  ASSERT_EQ(Send(kViewCallstack, pane, kGuiRefresh), 0);
  dump += "frame 5 selected: " + testing_support::DumpPane(pane);
  ASSERT_EQ(Send(kViewCallstack, pane, kGuiToggleListing), 0);
  ASSERT_EQ(Send(kViewCallstack, pane, kGuiRefresh), 0);
  dump += "expanded listing: " + testing_support::DumpPane(pane);
  ASSERT_EQ(Send(kViewCallstack, pane, kGuiToggleListing), 0);
  ASSERT_EQ(Send(kViewCallstack, pane, kGuiRefresh), 0);
  EXPECT_EQ("at Leaf: " + testing_support::DumpPane(pane), compact);
  EXPECT_EQ(Send(kViewCallstack, pane, kGuiClosing), 0);
  EXPECT_TRUE(testing_support::MatchesGolden(kGoldenDirectory + "callstack_leaf.txt", dump));
}

// The Watch window at two stops in Leaf: the ": " of texts of different lengths in one
// column (whole, also when a path ends the line), a watch whose evaluation fails at the
// second stop ("*ERROR*"), one whose memory display raises ("???"), and the watches of
// another viewpoint kept apart.
TEST_F(ViewsAtStopTest, WatchesAtStops) {
  ASSERT_EQ(Command("br = Leaf"), 0u);
  ASSERT_EQ(Command("go; wait"), 0u);
  // g_counter is 0 now and 36 at the second stop: the index then leaves g_large.
  for (const char* watch : {"wa = g_counter", "wa = g_letter", "wa = g_large[g_counter * 1000]",
                            "wa = int4 0x20000000", "wa = g_shape.colour", "wa = &g_letter", "wa = :VIEWS.g_counter"}) {
    ASSERT_EQ(Command(watch), 0u) << watch;
  }
  TextPane pane;
  pane.layerId = 14;
  ASSERT_EQ(Send(kViewWatch, pane, kGuiOpened), 0);
  ASSERT_EQ(Send(kViewWatch, pane, kGuiRefresh), 0) << m_status.Number();
  std::string dump = "first stop: " + testing_support::DumpPane(pane);
  ASSERT_EQ(Command("go; wait"), 0u);
  ASSERT_EQ(Send(kViewWatch, pane, kGuiRefresh), 0) << m_status.Number();
  dump += "second stop: " + testing_support::DumpPane(pane);

  // Another viewpoint's watches only while it is the current one.
  constexpr uint32_t kOther = 0x55;
  TmiAddKnownViewpoint(kOther);
  ViewpointManager::AddViewpoint(ViewpointHandle(kOther));
  PushViewpoint(ViewpointHandle(kOther));
  ASSERT_EQ(Command("wa = 6 * 7"), 0u);
  ASSERT_EQ(Send(kViewWatch, pane, kGuiRefresh), 0) << m_status.Number();
  dump += "other viewpoint: " + testing_support::DumpPane(pane);
  PopViewpoint();
  ASSERT_EQ(Send(kViewWatch, pane, kGuiRefresh), 0);
  EXPECT_EQ(pane.count, 7);
  EXPECT_EQ(Send(kViewWatch, pane, kGuiClosing), 0);
  ViewpointManager::RemoveViewpoint(ViewpointHandle(kOther));
  EXPECT_TRUE(testing_support::MatchesGolden(kGoldenDirectory + "watch_stops.txt", dump));
}

// Expansion limits, nesting and values at the first stop in Leaf (every table
// filled): the 5,000-line cap, a nested expansion contracted whole, character values,
// the elements of an array in base 16 in one read, and a value typed into a line.
TEST_F(ViewsAtStopTest, InspectorLinesAtAStop) {
  ASSERT_EQ(Command("br = Leaf"), 0u);
  ASSERT_EQ(Command("go; wait"), 0u);
  OpenInspector();
  std::string dump;
  // 6,000 elements: the lines stop at index 5,000, the parent counts what was made.
  ASSERT_EQ(Inspect(kGuiInspectAdd, 0, "g_oversized"), 0) << m_status.Number();
  EXPECT_EQ(Inspect(kGuiInspectExpand, 0), 202);
  EXPECT_EQ(m_status.Severity(), kSeverityWarning);
  ASSERT_EQ(m_inspectPane.count, kMaxInspectorLines + 1);
  dump += "g_oversized expanded: " + DumpLines(m_inspectPane, 0, 3) + DumpLines(m_inspectPane, 4999, 2);
  ASSERT_EQ(Inspect(kGuiInspectContract, 0), 0);
  EXPECT_EQ(m_inspectPane.count, 1) << "the contraction removes exactly the lines made";
  m_inspectPane.row = 0;
  ASSERT_EQ(Inspect(kGuiInspectDelete), 0);

  // g_shape with its name and its corners open, and corners[1] open below them.
  ASSERT_EQ(Inspect(kGuiInspectAdd, 0, "g_shape"), 0) << m_status.Number();
  ASSERT_EQ(Inspect(kGuiInspectExpand, 0), 0);
  ASSERT_EQ(Inspect(kGuiInspectExpand, 1), 0);   // name
  ASSERT_EQ(Inspect(kGuiInspectExpand, 10), 0);  // corners
  ASSERT_EQ(Inspect(kGuiInspectExpand, 12), 0);  // corners[1]
  ASSERT_EQ(Inspect(kGuiInspectAdd, 0, "g_letter"), 0);
  dump += "g_shape nested: " + testing_support::DumpPane(m_inspectPane, false);
  ASSERT_EQ(Inspect(kGuiInspectContract, 10), 0);
  dump += "corners contracted: " + testing_support::DumpPane(m_inspectPane, false);
  EXPECT_EQ(m_inspectPane.count, 13);

  // The elements' values come in one read of the agent's memory (with the read cache
  // on, none: the block of g_shape's read holds g_small).
  SetNumberBase(16);
  ASSERT_EQ(Inspect(kGuiInspectAdd, 0, "g_small"), 0);
  TheMemoryReadCache().SetEnabled(false);
  const std::size_t reads = MemoryReadRequests();
  ASSERT_EQ(Inspect(kGuiInspectExpand, m_inspectPane.count - 1), 0) << m_status.Number();
  EXPECT_EQ(MemoryReadRequests() - reads, 1u);
  TheMemoryReadCache().SetEnabled(true);
  EXPECT_EQ(m_inspectPane.count, 13 + 1 + 100);
  dump += "g_small in base 16: " + DumpLines(m_inspectPane, 13, 4);
  SetNumberBase(10);

  // A value typed into a value field goes to the target; a text naming nothing is
  // refused with its text.
  ASSERT_EQ(Inspect(kGuiInspectAdd, 0, "g_counter"), 0);
  const int32_t counter = m_inspectPane.count - 1;
  EXPECT_EQ(TypeIntoField(m_inspectPane, kViewInspect, counter, 0, "1234", reinterpret_cast<intptr_t>(&m_inspect)), 0)
      << m_status.Number();
  EXPECT_EQ(Printed("? g_counter"), "1234\n");
  EXPECT_EQ(TypeIntoField(m_inspectPane, kViewInspect, counter, 0, "no_such", reinterpret_cast<intptr_t>(&m_inspect)),
            206);
  ASSERT_EQ(m_status.ArgumentCount(), 1u);
  EXPECT_EQ(std::string(m_status.Argument(0).data()).substr(0, 7), "no_such");
  ASSERT_EQ(Inspect(kGuiRefresh), 0) << m_status.Number();
  dump += "refreshed: " + DumpLines(m_inspectPane, 0, 13) + DumpLines(m_inspectPane, counter, 1);
  EXPECT_EQ(Inspect(kGuiClosing), 0);
  EXPECT_TRUE(testing_support::MatchesGolden(kGoldenDirectory + "inspector_stop.txt", dump));
}

// The Watch window refreshed twice at one stop asks the agent once; after a value
// typed into the target, a register written, a step and a go to the next breakpoint,
// the next refresh reads its watches from the agent again and shows them as they are.
TEST_F(ViewsAtStopTest, EveryChangeOfTheTargetIsReadAfresh) {
  ASSERT_EQ(Command("br = Leaf"), 0u);
  ASSERT_EQ(Command("go; wait"), 0u);
  ASSERT_EQ(Command("wa = g_counter"), 0u);
  ASSERT_EQ(Command("wa = g_small[3]"), 0u);
  const std::map<std::string, uint32_t> symbols = testing_support::SampleModuleSymbols("views");
  const uint32_t watched[] = {symbols.at("g_counter"), symbols.at("g_small") + 12};
  TextPane pane;
  pane.layerId = 19;
  ASSERT_EQ(Send(kViewWatch, pane, kGuiOpened), 0);
  testing_support::AgentRequestLog log;
  ASSERT_EQ(Send(kViewWatch, pane, kGuiRefresh), 0) << m_status.Number();
  log.Clear();
  ASSERT_EQ(Send(kViewWatch, pane, kGuiRefresh), 0);
  EXPECT_TRUE(log.MemoryReads().empty()) << "nothing changed at this stop";

  struct Case {
    const char* name;
    std::function<void()> change;
  };
  const std::vector<Case> cases = {
      {"a value typed into g_small[3]", [] { ASSERT_EQ(Command("g_small[3] = 77"), 0u); }},
      {"a register written",
       [] { GeneralRegistersObject().WriteRegister(GeneralRegistersObject().ReadRegisterByIndex(0)); }},
      {"a step", [] { ASSERT_EQ(Command("istep"), 0u); }},
      {"a go to the breakpoint's next hit", [] { ASSERT_EQ(Command("go; wait"), 0u); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.change();
    log.Clear();
    ASSERT_EQ(Send(kViewWatch, pane, kGuiRefresh), 0) << m_status.Number();
    const std::vector<testing_support::AgentRequestLog::MemoryRead> reads = log.MemoryReads();
    for (const uint32_t address : watched) {
      const bool read = std::any_of(reads.begin(), reads.end(), [address](const auto& request) {
        return request.first <= address && address + 4 <= request.first + request.second;
      });
      EXPECT_TRUE(read) << std::hex << address << " not read again";
    }
    // Each line ends in the value "?" prints now.
    ASSERT_EQ(pane.count, 2);
    for (int32_t line = 0; line < 2; ++line) {
      const std::string text(pane.lines[line]->text, static_cast<std::size_t>(pane.lines[line]->length));
      const std::string value = Printed(std::string("? ") + (line == 0 ? "g_counter" : "g_small[3]"));
      EXPECT_EQ(text.substr(text.rfind(": ") + 2) + "\n", value) << text;
    }
  }
  EXPECT_EQ(Printed("? g_small[3]"), "77\n");
  EXPECT_EQ(Send(kViewWatch, pane, kGuiClosing), 0);
}

// Each line's room to type in, as "line:capacity" pairs.
std::string LineRoom(const TextPane& pane) {
  std::string text;
  for (int32_t i = 0; i < pane.count; ++i) {
    text += std::to_string(i) + ":" + std::to_string(pane.lines[i]->capacity) + " ";
  }
  return text;
}

// An Inspect window refreshed at each stop shows what a window opened afresh there
// shows, line by line and with the same room to type in: while Fill writes g_small's
// elements one by one, after a value typed into the target, in another number base,
// and at Fill's next call.
TEST_F(ViewsAtStopTest, RefreshedInspectorShowsWhatAFreshOneShows) {
  ASSERT_EQ(Command("br = :VIEWS#28"), 0u);
  ASSERT_EQ(Command("go; wait"), 0u);
  // g_small and g_wide expanded (the later line first, so that the earlier keeps its
  // index), three roots contracted or fixed between and after them.
  const auto build = [this](TextPane& pane, InspectorRequest& request) {
    const auto send = [&](int32_t code, intptr_t line, const char* text) {
      request.line = line;
      request.text = text;
      return Send(kViewInspect, pane, code, reinterpret_cast<intptr_t>(&request));
    };
    for (const char* item : {"g_small", "g_counter", "g_wide", "g_letter", "g_shape"}) {
      ASSERT_EQ(send(kGuiInspectAdd, 0, item), 0) << item;
    }
    ASSERT_EQ(send(kGuiInspectExpand, 2, nullptr), 0);
    ASSERT_EQ(send(kGuiInspectExpand, 0, nullptr), 0);
  };
  OpenInspector();
  build(m_inspectPane, m_inspect);
  ASSERT_EQ(m_inspectPane.count, 5 + 100 + 8);
  const auto steps = [](int count) {
    for (int i = 0; i < count; ++i) ASSERT_EQ(Command("istep"), 0u);
  };
  struct Case {
    const char* name;
    std::function<void()> action;
  };
  const std::vector<Case> cases = {
      {"twenty instructions into Fill", [&] { steps(20); }},
      {"twenty more", [&] { steps(20); }},
      {"a value typed into an element", [] { ASSERT_EQ(Command("g_small[3] = 1234"), 0u); }},
      {"a value typed into a root", [] { ASSERT_EQ(Command("g_counter = -7"), 0u); }},
      {"base 16", [] { SetNumberBase(16); }},
      {"a step in base 16", [&] { steps(1); }},
      {"base 10 again", [] { SetNumberBase(10); }},
      {"Fill's next call", [] { ASSERT_EQ(Command("go; wait"), 0u); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.action();
    ASSERT_EQ(Inspect(kGuiRefresh), 0) << m_status.Number();
    TextPane fresh;
    fresh.layerId = 18;
    fresh.rows = 20;
    InspectorRequest freshRequest;
    ASSERT_EQ(Send(kViewInspect, fresh, kGuiOpened, reinterpret_cast<intptr_t>(&freshRequest)), 0);
    build(fresh, freshRequest);
    EXPECT_EQ(testing_support::DumpPane(m_inspectPane, false), testing_support::DumpPane(fresh, false));
    EXPECT_EQ(LineRoom(m_inspectPane), LineRoom(fresh));
    EXPECT_EQ(Send(kViewInspect, fresh, kGuiClosing, reinterpret_cast<intptr_t>(&freshRequest)), 0);
  }
  EXPECT_EQ(Inspect(kGuiClosing), 0);
}

// Fill's local inspected in Fill, again after Fill returned to main, and in the next
// Fill: the root keeps its line, shows "Inactive" without " = " and a value while Fill
// is not running, and has them back in the next call. The Locals window follows the
// procedure.
TEST_F(ViewsAtStopTest, RootLeavesScopeAndComesBack) {
  ASSERT_EQ(Command("br = :VIEWS#28"), 0u);  // in Fill, after its entry
  ASSERT_EQ(Command("br = :VIEWS#47"), 0u);  // in main, between the first two calls
  ASSERT_EQ(Command("go; wait"), 0u);
  OpenInspector();
  ASSERT_EQ(Inspect(kGuiInspectAdd, 0, "index"), 0) << m_status.Number();
  ASSERT_EQ(Inspect(kGuiInspectAdd, 0, "g_counter"), 0) << m_status.Number();
  // The Locals window beside it: rebuilt when the procedure changed, else refreshed.
  TextPane locals;
  locals.layerId = 17;
  InspectorRequest localsRequest;
  const auto localsArgument = reinterpret_cast<intptr_t>(&localsRequest);
  ASSERT_EQ(Send(kViewInspect, locals, kGuiOpened, localsArgument), 0);
  ASSERT_EQ(Send(kViewInspect, locals, kGuiInspectLocals, localsArgument), 0) << m_status.Number();
  std::string dump = "in Fill: " + testing_support::DumpPane(m_inspectPane, false) + "locals " +
                     testing_support::DumpPane(locals, false);
  for (const char* stop : {"in main: ", "in the next Fill: "}) {
    ASSERT_EQ(Command("go; wait"), 0u);
    ASSERT_EQ(Inspect(kGuiRefresh), 0) << m_status.Number();
    if (Send(kViewInspect, locals, kGuiLocalsNeedRebuild, localsArgument) == 402) {
      ASSERT_EQ(Send(kViewInspect, locals, kGuiEngineNotice, localsArgument), 0);
      ASSERT_EQ(Send(kViewInspect, locals, kGuiInspectLocals, localsArgument), 0) << m_status.Number();
    } else {
      ASSERT_EQ(Send(kViewInspect, locals, kGuiRefresh, localsArgument), 0) << m_status.Number();
    }
    dump += stop + testing_support::DumpPane(m_inspectPane, false) + "locals " +
            testing_support::DumpPane(locals, false);
  }
  EXPECT_EQ(m_inspectPane.count, 2);
  EXPECT_EQ(Send(kViewInspect, locals, kGuiClosing, localsArgument), 0);
  EXPECT_EQ(Inspect(kGuiClosing), 0);
  EXPECT_TRUE(testing_support::MatchesGolden(kGoldenDirectory + "inspector_scope.txt", dump));
}

// With the unicode option, 16-bit characters show as a text and each element that is a
// printable character shows it after its number, read back in every number base.
TEST_F(ViewsAtStopTest, WideCharactersWithTheUnicodeOption) {
  OpenInspector();
  std::string dump;
  for (const bool unicode : {false, true}) {
    if (unicode) {
      TargetStatus status;
      const char* option[] = {"-unicode", nullptr};
      uint32_t result = 0;
      ASSERT_EQ(TmiHandleOption(&status, 0, 0, option, &result), 0u);
    }
    for (const uint8_t base : {10, 16, 2}) {
      SCOPED_TRACE(base);
      SetNumberBase(base);
      ASSERT_EQ(Inspect(kGuiInspectAdd, 0, "g_wide"), 0) << m_status.Number();
      ASSERT_EQ(Inspect(kGuiInspectExpand, 0), 0) << m_status.Number();
      dump += (unicode ? "unicode, base " : "base ") + std::to_string(base) + ": " +
              DumpLines(m_inspectPane, 0, 6);
      m_inspectPane.row = 0;
      ASSERT_EQ(Inspect(kGuiInspectDelete), 0);
    }
  }
  EXPECT_EQ(Inspect(kGuiClosing), 0);
  EXPECT_TRUE(testing_support::MatchesGolden(kGoldenDirectory + "inspector_unicode.txt", dump));
}

void SetText(char (&field)[MemoryDisplayRequest::kTextSize], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

// A byte overtyped in a hexadecimal byte display reaches the emulator through the
// engine's target memory; a register local is no start or end of a memory range.
TEST_F(ViewsAtStopTest, MemoryEditsReachTheEmulator) {
  ASSERT_EQ(Command("br = :VIEWS#33"), 0u);  // in Leaf, after its entry
  ASSERT_EQ(Command("go; wait"), 0u);
  const uint32_t small = testing_support::SampleModuleSymbols("views").at("g_small");
  MemoryDisplayRequest request;
  request.rows = 4;
  request.radix = 16;
  request.typeIndex = 1;
  request.lengthMode = 1;
  SetText(request.startText, "g_small");
  SetText(request.endText, "0x20");
  request.changeFlags = MemoryDisplayRequest::kFormatChanged | MemoryDisplayRequest::kNewStart |
                        MemoryDisplayRequest::kRangeGiven;
  const auto argument = reinterpret_cast<intptr_t>(&request);
  TextPane pane;
  pane.layerId = 16;
  pane.rows = 4;
  ASSERT_EQ(Send(kViewMemory, pane, kGuiOpened, argument), 0);
  ASSERT_EQ(Send(kViewMemory, pane, kGuiRefresh, argument), 0) << m_status.Number();
  ASSERT_EQ(pane.count, 2);
  // The third byte of the second line: byte 2 of g_small[4].
  EXPECT_EQ(TypeIntoField(pane, kViewMemory, 1, 2, "ff", argument), 0) << m_status.Number();
  uint8_t bytes[4] = {};
  uint16_t count = 0;
  ASSERT_EQ(AgentReadMemory(0, 4, small + 16, &count, bytes), 0u);
  EXPECT_EQ(bytes[2], 0xFF);
  EXPECT_EQ(Printed("? g_small[4]"), "16711692\n");  // 12 with 0xFF in its third byte
  const FieldPosition third = pane.lines[1]->fields->FieldSpan(2);
  EXPECT_EQ(std::string(pane.lines[1]->text + third.start, 2), "ff");
  EXPECT_EQ(Send(kViewMemory, pane, kGuiClosing, argument), 0);

  // Leaf's scratch lives in a register: its place is no start or end of a memory range.
  struct Case {
    const char* name;
    uint32_t field;
    const char* start;
    const char* end;
    int32_t expected;
  };
  for (const Case& c : std::vector<Case>{{"a readable start", MemoryDisplayRequest::kFieldStart, "g_small", "", 0},
                                          {"a register start", MemoryDisplayRequest::kFieldStart, "&scratch", "", 81},
                                          {"a register end", MemoryDisplayRequest::kFieldEnd, "g_small", "&scratch", 81},
                                          {"an end", MemoryDisplayRequest::kFieldEnd, "g_small", "g_large", 0}}) {
    SCOPED_TRACE(c.name);
    MemoryDisplayRequest check;
    check.fieldId = c.field;
    SetText(check.startText, c.start);
    SetText(check.endText, c.end);
    DVError status;
    EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(status, kViewMemory, nullptr, kGuiCheckMemoryField,
                                                   reinterpret_cast<intptr_t>(&check)),
              c.expected);
  }
}

}  // namespace
}  // namespace zentor
