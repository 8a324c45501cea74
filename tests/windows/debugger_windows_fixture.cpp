#include "debugger_windows_fixture.h"

#include <chrono>

#include "command/action_table.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/program_counter.h"
#include "core/viewpoint_manager.h"
#include "engine/engine_services.h"
#include "engine/view_managers.h"
#include "gui/frame_commands.h"
#include "gui/layer_messages.h"
#include "gui/message_loop.h"
#include "gui/named_forms.h"
#include "gui/pane_services.h"
#include "gui/window_factory.h"
#include "gui/window_placement.h"
#include "gui/window_table.h"
#include "harness/agent_process.h"
#include "harness/window_procedures.h"
#include "symbols/loader_library.h"
#include "symbols/search_path.h"
#include "symbols/symbol_context.h"
#include "target/target_state.h"
#include "target/tmi_memory.h"
#include "windows/debugger_windows.h"
#include "windows/memory_dialogs.h"

namespace zentor::testing_support {

namespace {

constexpr auto kStopDeadline = std::chrono::seconds(60);

WindowEvent EventOf(int32_t type) {
  WindowEvent event;
  event.type = type;
  return event;
}

}  // namespace

void RemoveDebuggerWindows() {
  for (int32_t kind : {kViewMemory, kViewRegisters, kViewLocals, kViewInspect, kViewCallstack}) {
    SetWindowObjectCreator(kind, nullptr);
  }
  DialogFormLoadHandlerTable::Clear();
  SetMemoryDisplayOpener(nullptr);
  ResetMemoryDialogs();
}

void DebuggerWindowsTest::SetUp() {
  InstallGuiWindowLayer(&m_layer);
  m_frame = m_system.AddWindow("frame", 0, LayerRect{0, 0, 768, 1024});
  m_layer.Register(m_frame, kLayerFrame, 0);
  InstallLayerPaneWindowPort();
  InstallGuiViewpointWindows();
  TakeReportedError();
}

void DebuggerWindowsTest::TearDown() {
  WindowTable::DestroyAll();
  if (m_queue != nullptr) {
    InstallMessageQueue(nullptr);
    RemoveDebuggerWindows();
  }
  m_shell.reset();
  m_queue.reset();
  DestroyAllViewManagers();
  ResetEngineState();
  ActionTable::ResetToDefaults();
  PaneWindow().Install(nullptr);
  InstallViewpointWindowPort(nullptr);
  InstallGuiWindowLayer(nullptr);
  SetSearchPath("", 1);
}

void DebuggerWindowsTest::ConnectToDemo(const std::vector<std::string>& agentArguments) {
  const std::string samples = SampleModulesDirectory();
  if (AgentProgramPath().empty() || samples.empty()) GTEST_SKIP() << "the stand-in agent is not built here";
  SetSearchPath((HostPathOfUnixPath(samples) + " " + HostPathOfUnixPath(ZENTOR_SAMPLE_SOURCES_DIR)).c_str(), 1);
  std::vector<std::string> arguments{"--module", samples + "demo.mod"};
  arguments.insert(arguments.end(), agentArguments.begin(), agentArguments.end());
  std::string reason;
  if (!m_session.Connect(arguments, &reason)) GTEST_SKIP() << reason;
  BindCommandsForStandIn();
  ASSERT_EQ(SymbolTableLoaded(), 1u) << "DEMO's .SYM along the path";
  GetCurrentSymbolContext()->SetCurrentAddress(ProgramCounterRegister::Read());
  m_viewpoint = GetCurrentViewpointValue();
}

void DebuggerWindowsTest::ConnectWithoutSymbols(const std::string& module) {
  const std::string samples = SampleModulesDirectory();
  if (AgentProgramPath().empty() || samples.empty()) GTEST_SKIP() << "the stand-in agent is not built here";
  std::string reason;
  if (!m_session.Connect({"--module", samples + module + ".mod"}, &reason)) GTEST_SKIP() << reason;
  BindCommandsForStandIn();
  m_viewpoint = GetCurrentViewpointValue();
}

WinSuper* DebuggerWindowsTest::Open(int32_t kind, int32_t rows, int32_t columns) {
  const int32_t marker = kind == 1 ? 1 : 0;
  const LayerRect outer{0, 0, rows * kCellHeight, (columns + marker) * kCellWidth};
  return CreateWindowObject(m_system.AddWindow("w" + std::to_string(m_next++), 0, outer), kind, m_viewpoint);
}

void DebuggerWindowsTest::Close(WinSuper* window) {
  WindowEvent event = EventOf(kEventClose);
  DispatchWindowEvent(window->LayerWindowId(), event);
}

void DebuggerWindowsTest::Key(WinSuper* window, int32_t code, bool ctrl) {
  WindowEvent event = EventOf(kEventKey);
  event.words[0] = code;
  event.words[2] = ctrl ? 1 : 0;
  DispatchWindowEvent(window->LayerWindowId(), event);
}

void DebuggerWindowsTest::Mouse(WinSuper* window, int32_t type, int32_t row, int32_t column, int32_t button) {
  WindowEvent event = EventOf(type);
  event.words[0] = row * kCellHeight + kCellHeight / 2;
  event.words[1] = column * kCellWidth + kCellWidth / 2;
  event.words[4] = button;
  DispatchWindowEvent(window->LayerWindowId(), event);
}

void DebuggerWindowsTest::Command(WinSuper* window, int32_t command) {
  WindowEvent event = EventOf(kEventCommand);
  event.words[0] = command;
  DispatchWindowEvent(window->LayerWindowId(), event);
}

void DebuggerWindowsTest::UseWindowProcedures() {
  m_queue = std::make_unique<FakeMessageQueue>(m_system);
  m_shell = std::make_unique<RecordingShellSystem>(m_system);
  InstallMessageQueue(m_queue.get());
  RouteDispatchToProcedures(*m_queue);
  InitDefaultPlacements(m_system.GetWindowRect(m_frame));
  InstallDebuggerWindows();
}

void DebuggerWindowsTest::Focus(const WinSuper* window) {
  SendToProcedure(HandleOf(window), msg::kSetFocus);
}

void DebuggerWindowsTest::WaitForStopAndRefresh() {
  const auto deadline = std::chrono::steady_clock::now() + kStopDeadline;
  while (TgtIsBusy(m_viewpoint)) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the target did not stop";
    TmiPollEvents(m_viewpoint);
  }
  RefreshAllWindows(0);
}

uint32_t DebuggerWindowsTest::TakeReportedError() {
  const uint32_t number = GetLastErrorNumber();
  LastError() = DVError();
  return number;
}

int32_t DebuggerWindowsTest::IndexOf(const TextPane& pane, const std::string& text) {
  for (int32_t i = 0; i < pane.count; ++i) {
    const PaneLine* line = pane.LineAt(i);
    if (line != nullptr && line->text != nullptr && std::string(line->text, line->length).find(text) != std::string::npos) {
      return i;
    }
  }
  return -1;
}

void DebuggerDialogsTest::SetUp() {
  DebuggerWindowsTest::SetUp();
  m_previousBackend = WindowLayer::SetBackend(&m_backend);
}

void DebuggerDialogsTest::TearDown() {
  WindowLayer::SetBackend(m_previousBackend);
  DebuggerWindowsTest::TearDown();
}

}  // namespace zentor::testing_support
