// The view dispatcher: which handler each kind's requests reach and in what order
// managers are made, called and destroyed; errors raised by handlers; the repeat loop
// of request 0x71 and the dispatcher's own requests.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/output_writer.h"
#include "core/program_names.h"
#include "core/view_kind.h"
#include "engine/execution_control.h"
#include "engine/inspector_view.h"
#include "engine/memory_view.h"
#include "engine/view_managers.h"
#include "gui/view_dispatcher.h"

namespace zentor {
namespace {

std::vector<std::string>& Events() {
  static std::vector<std::string> events;
  return events;
}

// A manager that writes down what reaches it and may act on a request.
class RecordingManager : public BaseManager {
 public:
  RecordingManager(int32_t kind, TextPane* pane) : BaseManager(pane), m_kind(kind) {
    Events().push_back("make " + std::to_string(kind));
  }
  ~RecordingManager() override { Events().push_back("destroy " + std::to_string(m_kind)); }
  int32_t HandleRequest(DVError& status, int32_t code, intptr_t) override {
    char text[64];
    std::snprintf(text, sizeof text, "0x%x first %d last %d", code, m_pane->first, m_pane->last);
    Events().emplace_back(text);
    if (s_action) return s_action(status, code);
    return code;
  }
  static std::function<int32_t(DVError&, int32_t)> s_action;

 private:
  int32_t m_kind;
};
std::function<int32_t(DVError&, int32_t)> RecordingManager::s_action;

class RecordingFactory : public ViewManagerFactory {
 public:
  std::unique_ptr<BaseManager> Make(int32_t kind, TextPane* pane) override {
    if (kind != kViewSource && kind != kViewWatch && kind != kViewRegisters && kind != kViewMemory &&
        kind != kViewInspect && kind != kViewModules && kind != kViewCallstack) {
      return nullptr;
    }
    return std::make_unique<RecordingManager>(kind, pane);
  }
};

// Windows that exist for the repeat loop, and rounds of the message loop that may
// act like the user.
class LoopPort : public PaneWindowPort {
 public:
  void RunMessageLoopRound() override {
    ++m_rounds;
    if (m_onRound) m_onRound(m_rounds);
  }
  bool WindowExists(int32_t kind, int32_t) override { return kind == kViewSource && m_sourceOpen; }
  int m_rounds = 0;
  bool m_sourceOpen = true;
  std::function<void(int)> m_onRound;
};

class DispatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_factoryBefore = ViewManagers().Install(&m_factory);
    m_portBefore = PaneWindow().Install(&m_port);
    Events().clear();
    RecordingManager::s_action = nullptr;
    m_pane.layerId = 7;
  }
  void TearDown() override {
    DestroyAllViewManagers();
    ViewManagers().Install(m_factoryBefore);
    PaneWindow().Install(m_portBefore);
    RecordingManager::s_action = nullptr;
    ViewDispatcher::RepeatFlag().Clear();
  }
  int32_t Send(int32_t kind, int32_t code, TextPane* pane) {
    return ViewDispatcher::RunGuiCommandForKind(m_status, kind, pane, code, 0);
  }

  RecordingFactory m_factory;
  LoopPort m_port;
  ViewManagerFactory* m_factoryBefore = nullptr;
  PaneWindowPort* m_portBefore = nullptr;
  TextPane m_pane;
  DVError m_status;
};

TEST_F(DispatcherTest, ManagersAreMadeCalledAndDestroyedInOrder) {
  struct Case {
    const char* name;
    int32_t kind;
    std::vector<std::string> events;
  };
  const std::vector<Case> cases = {
      {"Watch", kViewWatch, {"make 3", "0x46 first 0 last -1", "0x4f first 0 last -1", "0x47 first 0 last -1", "destroy 3"}},
      {"Registers", kViewRegisters, {"make 4", "0x46 first 0 last -1", "0x4f first 0 last -1", "0x47 first 0 last -1", "destroy 4"}},
      {"Memory", kViewMemory, {"make 5", "0x46 first 0 last -1", "0x4f first 0 last -1", "0x47 first 0 last -1", "destroy 5"}},
      {"Inspect", kViewInspect, {"make 11", "0x46 first 0 last -1", "0x4f first 0 last -1", "0x47 first 0 last -1", "destroy 11"}},
      {"Modules", kViewModules, {"make 16", "0x46 first 0 last -1", "0x4f first 0 last -1", "0x47 first 0 last -1", "destroy 16"}},
      {"Callstack", kViewCallstack, {"make 19", "0x46 first 0 last -1", "0x4f first 0 last -1", "0x47 first 0 last -1", "destroy 19"}},
      // The Source manager is made and destroyed without a call, and sees the held
      // lines counted from 1.
      {"Source", kViewSource, {"make 1", "0x4f first 1 last 0", "destroy 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Events().clear();
    Send(c.kind, kGuiOpened, &m_pane);
    EXPECT_NE(ViewManagerAt(m_pane.layerId), nullptr);
    Send(c.kind, kGuiRefresh, &m_pane);
    Send(c.kind, kGuiClosing, &m_pane);
    EXPECT_EQ(Events(), c.events);
    EXPECT_EQ(ViewManagerAt(m_pane.layerId), nullptr);
    EXPECT_EQ(m_pane.first, 0);
    EXPECT_EQ(m_pane.last, -1);
  }
}

TEST_F(DispatcherTest, KindsWithoutAHandlerDoNothing) {
  for (int32_t kind : {6, 13, 14, 15, 2, 20}) {
    SCOPED_TRACE(kind);
    m_status.Set(3, kSeverityError, kDisplayByFocus, nullptr);
    for (int32_t code : std::initializer_list<int32_t>{kGuiOpened, kGuiRefresh, 0x190, kGuiClosing}) {
      EXPECT_EQ(Send(kind, code, &m_pane), 0);
    }
    EXPECT_EQ(m_status.Number(), 3u);
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(ViewManagerAt(m_pane.layerId), nullptr);
  }
  // Window-less requests of kinds without a creator row reach nobody.
  for (int32_t kind : {kViewWatch, kViewRegisters, kViewModules, kViewCallstack}) {
    EXPECT_EQ(Send(kind, kGuiRefresh, nullptr), 0);
  }
  TextPane closed;
  closed.layerId = -1;
  EXPECT_EQ(Send(kViewWatch, kGuiOpened, &closed), 0);
  EXPECT_TRUE(Events().empty());
}

TEST_F(DispatcherTest, RaisedErrorsEndInTheStatus) {
  Send(kViewWatch, kGuiOpened, &m_pane);
  RecordingManager::s_action = [](DVError&, int32_t) -> int32_t {
    OutputWriter::InstallHook([](char) {});
    throw DVError(155, kSeverityError);
  };
  EXPECT_EQ(Send(kViewWatch, kGuiRefresh, &m_pane), 155);
  EXPECT_EQ(m_status.Number(), 155u);
  EXPECT_FALSE(OutputWriter::IsHookInstalled());
  EXPECT_NE(ViewManagerAt(m_pane.layerId), nullptr);

  m_status.Reset();
  EXPECT_EQ(Send(kViewWatch, kGuiClosing, &m_pane), 155);
  EXPECT_EQ(m_status.Number(), 155u);
  EXPECT_FALSE(OutputWriter::IsHookInstalled());
  EXPECT_EQ(ViewManagerAt(m_pane.layerId), nullptr);
  EXPECT_EQ(Events().back(), "destroy 3");
  // The slot is free for the next window.
  RecordingManager::s_action = nullptr;
  EXPECT_EQ(Send(kViewModules, kGuiOpened, &m_pane), kGuiOpened);
}

TEST_F(DispatcherTest, SlotsAreChecked) {
  Send(kViewWatch, kGuiOpened, &m_pane);
  // A second window in a taken slot, and a slot outside the table.
  EXPECT_EQ(Send(kViewMemory, kGuiOpened, &m_pane), 1);
  EXPECT_EQ(m_status.Number(), 1u);
  TextPane outside;
  outside.layerId = 64;
  EXPECT_EQ(Send(kViewWatch, kGuiOpened, &outside), 1);
  EXPECT_EQ(Send(kViewWatch, kGuiRefresh, &outside), 0);
  EXPECT_EQ(Events(), (std::vector<std::string>{"make 3", "0x46 first 0 last -1"}));
}

TEST_F(DispatcherTest, RepeatLoopRunsUntilCleared) {
  Send(kViewSource, kGuiOpened, &m_pane);
  std::vector<int32_t> answers;
  RecordingManager::s_action = [&](DVError& status, int32_t code) {
    DVError asked;
    answers.push_back(ViewDispatcher::RunGuiCommandForKind(asked, kViewGuiState, nullptr, kGuiIsRepeating, 0));
    EXPECT_EQ(asked.Severity(), kSeverityWarning);
    return 0;
  };
  m_port.m_onRound = [](int round) {
    if (round == 3) ViewDispatcher::RunGuiCommandQuiet(kViewGuiState, nullptr, kGuiStopRepeat, 0);
  };
  Send(kViewSource, kGuiRepeat, &m_pane);
  EXPECT_EQ(m_port.m_rounds, 3);
  EXPECT_EQ(answers, (std::vector<int32_t>{1, 1, 1}));
  DVError after;
  EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(after, kViewGuiState, nullptr, kGuiIsRepeating, 0), 0);
  EXPECT_TRUE(after.IsOkay());

  // The loop also ends when the viewpoint's Source window goes.
  m_port.m_rounds = 0;
  m_port.m_onRound = [&](int round) {
    if (round == 2) m_port.m_sourceOpen = false;
  };
  Send(kViewSource, kGuiRepeat, &m_pane);
  EXPECT_EQ(m_port.m_rounds, 2);
  EXPECT_TRUE(ViewDispatcher::RepeatFlag().IsSet());

  // The engine ends a repeating step by clearing the same flag.
  m_port.m_sourceOpen = true;
  m_port.m_onRound = [&](int round) {
    if (round == 3) StepControl::SetRepeatFlag(false);
  };
  m_port.m_rounds = 0;
  Send(kViewSource, kGuiRepeat, &m_pane);
  EXPECT_EQ(m_port.m_rounds, 3);
  EXPECT_FALSE(ViewDispatcher::RepeatFlag().IsSet());
}

TEST_F(DispatcherTest, OwnRequests) {
  SetProgramNames("/opt/zentor/", "zentor");
  char buffer[kProgramNameBufferSize] = {};
  ViewDispatcher::RunGuiCommandQuiet(kViewGuiState, nullptr, kGuiProgramBaseName, reinterpret_cast<intptr_t>(buffer));
  EXPECT_STREQ(buffer, "zentor");
  ViewDispatcher::RunGuiCommandQuiet(kViewGuiState, nullptr, kGuiProgramDirectory, reinterpret_cast<intptr_t>(buffer));
  EXPECT_STREQ(buffer, "/opt/zentor/");
  SetProgramNames(std::string(400, 'd'), "");
  ViewDispatcher::RunGuiCommandQuiet(kViewGuiState, nullptr, kGuiProgramDirectory, reinterpret_cast<intptr_t>(buffer));
  EXPECT_EQ(std::string(buffer), std::string(kProgramNameBufferSize - 1, 'd'));
  SetProgramNames("", "");

  // A number is a data value, not a place in the code.
  const char* text = "12";
  EXPECT_EQ(Send(kViewGuiState, kGuiBrowse, nullptr), 240);
  EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(m_status, kViewGuiState, nullptr, kGuiBrowseFromList,
                                                 reinterpret_cast<intptr_t>(text)),
            240);
  EXPECT_EQ(m_status.Severity(), kSeverityError);
  EXPECT_EQ(Send(kViewGuiState, kGuiMenuBracketBegin, nullptr), 0);
  EXPECT_TRUE(m_status.IsOkay());
}

// Window-less requests: the Memory and Inspect rows serve one code each and refuse any
// other as an internal error; kinds without a row have no handler.
TEST_F(DispatcherTest, WindowlessRowsServeOneCodeEach) {
  EXPECT_EQ(ViewCreatorTable::Find(kViewWatch), nullptr);
  EXPECT_EQ(ViewCreatorTable::Find(kViewRegisters), nullptr);
  EXPECT_NE(ViewCreatorTable::Find(kViewSource), nullptr);
  MemoryDisplayRequest request;
  request.fieldId = MemoryDisplayRequest::kFieldStart;
  const auto argument = reinterpret_cast<intptr_t>(&request);
  EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(m_status, kViewMemory, nullptr, kGuiCheckMemoryField, argument), 172);
  EXPECT_EQ(m_status.Number(), 172u);
  for (int32_t kind : {kViewMemory, kViewInspect}) {
    SCOPED_TRACE(kind);
    m_status.Reset();
    EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(m_status, kind, nullptr, kGuiRefresh, argument), 1);
    EXPECT_EQ(m_status.Severity(), kSeverityInternal);
  }
  // The Memory manager writes nothing when captured: its lines come from its own
  // printer runs.
  TextPane pane;
  MemoryViewManager memory(&pane);
  std::string written;
  OutputWriter::InstallHook([&](char ch) { written += ch; });
  EXPECT_TRUE(memory.WriteContent(0).IsOkay());
  OutputWriter::RemoveHook();
  EXPECT_EQ(written, "");
}

}  // namespace
}  // namespace zentor
