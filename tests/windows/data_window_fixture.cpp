#include "data_window_fixture.h"

#include "command/action_table.h"
#include "core/busy_pump.h"
#include "core/current_viewpoint.h"
#include "core/number_base.h"
#include "core/token_record.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "engine/engine_services.h"
#include "engine/memory_view.h"
#include "gui/dialog_description_file.h"
#include "gui/frame_commands.h"
#include "gui/named_forms.h"
#include "gui/pane_services.h"
#include "gui/window_factory.h"
#include "gui/window_table.h"
#include "harness/agent_process.h"
#include "target/module_symbols.h"
#include "windows/debugger_windows.h"
#include "windows/memory_dialogs.h"

namespace zentor::testing_support {

namespace {

std::string ViewsManifest() {
  const std::string directory = SampleModulesDirectory();
  return directory.empty() ? "" : directory + "views.mod";
}

// Forwards every request to the real manager, noting it first.
class WatchedManager : public BaseManager {
 public:
  WatchedManager(std::unique_ptr<BaseManager> inner, int32_t kind, std::vector<std::string>* requests)
      : BaseManager(inner->Pane()), m_inner(std::move(inner)), m_kind(kind), m_requests(requests) {}
  int32_t HandleRequest(DVError& status, int32_t code, intptr_t argument) override {
    std::string note = std::to_string(code);
    if (m_kind == kViewMemory && argument != 0) {
      note += " " + std::to_string(reinterpret_cast<const MemoryDisplayRequest*>(argument)->changeFlags);
    }
    m_requests->push_back(note);
    return m_inner->HandleRequest(status, code, argument);
  }
  DVErrorCode WriteContent(intptr_t argument) override { return m_inner->WriteContent(argument); }

 private:
  std::unique_ptr<BaseManager> m_inner;
  int32_t m_kind;
  std::vector<std::string>* m_requests;
};

}  // namespace

std::unique_ptr<BaseManager> DataWindowTest::WatchingFactory::Make(int32_t kind, TextPane* pane) {
  std::unique_ptr<BaseManager> manager = ViewManagerFactory::Make(kind, pane);
  if (kind != watched || manager == nullptr) return manager;
  return std::make_unique<WatchedManager>(std::move(manager), kind, &requests);
}

void DataWindowTest::SetUp() {
  std::string reason;
  if (!session.Connect({"--module", ViewsManifest()}, &reason)) GTEST_SKIP() << reason;
  BindCommandsForStandIn();
  m_base = GetNumberBase();
  InstallGuiWindowLayer(&layer);
  InstallLayerPaneWindowPort();
  InstallGuiViewpointWindows();
  layer.Register(frameHandle, kLayerFrame, 0);
  InstallDebuggerWindows();
  ResetMemoryDialogs();
  ViewManagers().Install(&m_factory);
}

void DataWindowTest::TearDown() {
  WindowTable::DestroyAll();
  DestroyAllViewManagers();
  ViewManagers().Install(nullptr);
  RemoveDebuggerWindows();
  PaneWindow().Install(nullptr);
  InstallViewpointWindowPort(nullptr);
  InstallGuiWindowLayer(nullptr);
  SetPumpingEnabled(1);
  ResetEngineState();
  ActionTable::ResetToDefaults();
  SetNumberBase(static_cast<uint8_t>(m_base));
}

void DataWindowTest::LoadViews() {
  const std::string views = ViewsManifest();
  SetTokenText(CurrentToken(), (HostPathOfUnixPath(views.substr(0, views.rfind('/') + 1)) + "views").c_str());
  SymLoadNamedModule();
}

void DataWindowTest::StopAt(const std::string& location) {
  ASSERT_EQ(Command("br = " + location), 0u);
  ASSERT_EQ(Command("go; wait"), 0u);
}

uint32_t DataWindowTest::Command(const std::string& text) { return RunCommandLine(text); }
std::string DataWindowTest::Printed(const std::string& text) { return PrintedByCommandLine(text); }

WinSuper* DataWindowTest::Open(int32_t kind, int32_t rows) {
  const NativeWindow window =
      system.AddWindow("w" + std::to_string(m_next++), 0, LayerRect{0, 0, rows * kCellHeight, 80 * kCellWidth});
  system.focus = window;
  return CreateWindowObject(window, kind, CurrentViewpoint().Value());
}

void DataWindowTest::Key(WinSuper* window, int32_t code) {
  WindowEvent event;
  event.type = kEventKey;
  event.words[0] = code;
  DispatchWindowEvent(window->LayerWindowId(), event);
}

void DataWindowTest::Click(WinSuper* window, int32_t row, int32_t column, int32_t button) {
  WindowEvent event;
  event.type = kEventMouseDown;
  event.words[0] = row * kCellHeight + 1;
  event.words[1] = column * kCellWidth + 1;
  event.words[4] = button;
  DispatchWindowEvent(window->LayerWindowId(), event);
}

void DataWindowTest::DoubleClick(WinSuper* window, int32_t row, int32_t column) {
  Click(window, row, column);
  WindowEvent event;
  event.type = kEventDoubleClick;
  event.words[0] = row * kCellHeight + 1;
  event.words[1] = column * kCellWidth + 1;
  DispatchWindowEvent(window->LayerWindowId(), event);
}

void DataWindowTest::Resize(WinSuper* window, int32_t rows) {
  RecordingLayerSystem::Window& record = system.At(layer.Handle(window->LayerWindowId()));
  record.client.bottom = rows * kCellHeight;
  WindowEvent event;
  event.type = kEventSize;
  event.words[0] = rows * kCellHeight;
  event.words[1] = record.client.right;
  event.words[2] = kSizeOther;
  DispatchWindowEvent(window->LayerWindowId(), event);
}

void DataWindowTest::Close(WinSuper* window) {
  WindowEvent event;
  event.type = kEventClose;
  DispatchWindowEvent(window->LayerWindowId(), event);
}

void DataWindowTest::Watch(int32_t kind) {
  m_factory.watched = kind;
  m_factory.requests.clear();
}

std::vector<std::string> DataWindowTest::TakeRequests() {
  std::vector<std::string> taken;
  taken.swap(m_factory.requests);
  return taken;
}

int DataWindowTest::Beeps() {
  const std::string log = system.TakeLog();
  int beeps = 0;
  for (std::size_t at = log.find("MessageBeep"); at != std::string::npos; at = log.find("MessageBeep", at + 1)) ++beeps;
  return beeps;
}

}  // namespace zentor::testing_support
