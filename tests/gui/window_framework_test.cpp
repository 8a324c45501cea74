// The window framework over the recording layer: the window table and its iterator,
// the router's routes by event and kind, errors that must not leave a window
// procedure, requests from windows through the view dispatcher, the General window,
// titles and captions, placeholder windows, the pane port, the viewpoint groups,
// the refresh before each input wait and the cascading of new windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/busy_pump.h"
#include "core/core_test_support.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/hi_service.h"
#include "core/key_queue.h"
#include "core/program_load.h"
#include "core/status_line.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "engine/view_managers.h"
#include "gui/dialog_request_target.h"
#include "gui/general_window.h"
#include "gui/gui_window_layer.h"
#include "gui/layer_backend.h"
#include "gui/pane_services.h"
#include "gui/view_dispatcher.h"
#include "gui/window_factory.h"
#include "gui/window_placement.h"
#include "gui/window_table.h"
#include "harness/recording_layer_system.h"

namespace zentor {
namespace {

using testing_support::RecordingLayerSystem;

constexpr uint32_t kServer = 7;
constexpr uint32_t kOther = 8;

std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}

// A window that writes down every operation the router calls.
class ProbeWindow : public WinSuper {
 public:
  ProbeWindow(NativeWindow window, uint32_t viewpointValue, const char* title, int32_t kind)
      : WinSuper(window, viewpointValue, title) {
    SetKind(kind);
  }
  ~ProbeWindow() override { Note("destroyed"); }
  void OnFocusGained() override { Note("gained"); }
  void OnFocusLost() override { Note("lost"); }
  void OnKey(const WindowEvent& event) override { Note("key " + std::to_string(event.KeyCode())); }
  void OnMouse(const WindowEvent& event) override { Note("mouse " + std::to_string(event.type)); }
  void OnReserved(uint32_t) override { Note("reserved"); }
  void OnCommand(int32_t command) override { Note("command " + std::to_string(command)); }
  void OnRefresh(int32_t code) override {
    Note("refresh " + std::to_string(code) + " in " + std::to_string(CurrentViewpoint().Value()));
    if (s_onRefresh) s_onRefresh();
  }
  void OnEngineNotify() override { Note("notify"); }
  int32_t SendViewRequest(int32_t, intptr_t) override { return 0; }
  // The Command window follows the current viewpoint; no other window changes its own.
  void SetViewpoint(ViewpointHandle handle) override {
    if (Kind() != kViewCommand) WinSuper::SetViewpoint(handle);
    SetWindowViewpoint(handle);
  }
  void OnPaint(const WindowEvent& event) override {
    const LayerRect area = event.PaintArea();
    Note("paint " + std::to_string(area.bottom) + "x" + std::to_string(area.right));
  }
  void OnResize(const WindowEvent& event) override { Note("resize " + std::to_string(event.Height())); }
  void OnVScroll(const WindowEvent&) override { Note("vscroll"); }
  void OnHScroll(const WindowEvent&) override { Note("hscroll"); }

  static std::function<void()> s_onRefresh;

 private:
  void Note(const std::string& what) { Calls().push_back(std::to_string(Kind()) + ": " + what); }
};
std::function<void()> ProbeWindow::s_onRefresh;

template <int32_t Kind>
std::unique_ptr<WinSuper> MakeProbe(NativeWindow window, uint32_t viewpointValue, const char* title) {
  return std::make_unique<ProbeWindow>(window, viewpointValue, title, Kind);
}

constexpr int32_t kAllKinds[] = {1, 3, 4, 5, 6, 10, 11, 15, 16, 19};

class WindowFrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallGuiWindowLayer(&layer);
    InstallLayerPaneWindowPort();
    InstallGuiViewpointWindows();
    frame = layer.Register(frameHandle, kLayerFrame, 0);
    ViewpointManager::AddViewpoint(ViewpointHandle(kServer), "SERVER");
    ViewpointManager::AddViewpoint(ViewpointHandle(kOther), "OTHER");
    SetBaseViewpoint(ViewpointHandle(kServer));
    Calls().clear();
    ProbeWindow::s_onRefresh = nullptr;
  }
  void TearDown() override {
    WindowTable::DestroyAll();
    for (int32_t kind : kAllKinds) SetWindowObjectCreator(kind, nullptr);
    PaneWindow().Install(nullptr);
    InstallViewpointWindowPort(nullptr);
    InstallGuiWindowLayer(nullptr);
    ViewpointManager::RemoveAllViewpoints();
    SetBaseViewpoint(ViewpointHandle::None());
    SetPumpingEnabled(1);
    KeyQueue::Clear();
  }

  // A top-level window of the kind at `outer`, and its object.
  WinSuper* Open(int32_t kind, uint32_t viewpoint = kServer, LayerRect outer = {100, 100, 204, 300}) {
    const NativeWindow parent = kind == kViewStatus ? frameHandle : 0;
    return CreateWindowObject(system.AddWindow("w" + std::to_string(next++), parent, outer), kind, viewpoint);
  }
  WinSuper* OpenProbe(int32_t kind, uint32_t viewpoint = kServer) {
    SetWindowObjectCreator(kind, ProbeCreator(kind));
    return Open(kind, viewpoint);
  }
  static WindowObjectCreator ProbeCreator(int32_t kind) {
    switch (kind) {
      case 1: return &MakeProbe<1>;
      case 3: return &MakeProbe<3>;
      case 6: return &MakeProbe<6>;
      case 10: return &MakeProbe<10>;
      default: return &MakeProbe<16>;
    }
  }

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  NativeWindow frameHandle = system.AddWindow("frame", 0, LayerRect{50, 50, 245, 770});
  int32_t frame = kNoLayerId;
  int next = 0;
};

TEST_F(WindowFrameworkTest, TableLookupsAndIteration) {
  layer.Destroy(frame);  // slot 0 goes to the first window
  WinSuper* first = OpenProbe(kViewWatch);
  WinSuper* second = OpenProbe(kViewWatch);
  WinSuper* other = OpenProbe(kViewWatch, kOther);
  ASSERT_EQ(first->LayerWindowId(), 0);
  for (int32_t id : {0, 64, -1}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(WindowTable::Get(id), nullptr);
  }
  EXPECT_EQ(WindowTable::Get(1), second);
  EXPECT_EQ(WindowTable::FindByKindAndViewpoint(kViewWatch, ViewpointHandle(kServer)), first);
  EXPECT_EQ(CountWindowsOfKind(kViewWatch, kServer), 2);
  EXPECT_EQ(WindowTable::FindByKindAndViewpoint(kViewSource, ViewpointHandle(kServer)), nullptr);
  EXPECT_EQ(GetWindowKindAt(5), kViewStatus);

  WindowTable::Clear(1);
  std::vector<WinSuper*> walked;
  int32_t cursor = 0;
  WindowTable::ResetIterator(cursor);
  while (WinSuper* window = WindowTable::Next(cursor)) walked.push_back(window);
  EXPECT_EQ(walked, (std::vector<WinSuper*>{first, other}));
  EXPECT_EQ(cursor, 64);
  EXPECT_EQ(WindowTable::Next(cursor), nullptr);
  cursor = -1;
  EXPECT_EQ(WindowTable::Next(cursor), nullptr);
  EXPECT_EQ(cursor, -1);
  WindowTable::Store(second);
}

TEST_F(WindowFrameworkTest, RoutesEachEventToItsOperation) {
  WinSuper* watch = OpenProbe(kViewWatch);
  WinSuper* general = OpenProbe(kViewStatus);
  struct Case {
    const char* name;
    WinSuper* window;
    int32_t type, word;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"mouse down", watch, kEventMouseDown, 0, "3: mouse 0"},
      {"double click", watch, kEventDoubleClick, 0, "3: mouse 3"},
      {"key", watch, kEventKey, 315, "3: key 315"},
      {"paint gets the update rectangle", watch, kEventPaint, 0, "3: paint 104x200"},
      {"the General window's paint is a refresh", general, kEventPaint, 0, "6: refresh 2 in 7"},
      {"focus gained", watch, kEventFocus, 1, "3: gained"},
      {"focus lost", watch, kEventFocus, 0, "3: lost"},
      {"focus of another value", watch, kEventFocus, 2, ""},
      {"destroyed", watch, kEventDestroyed, 0, ""},
      {"horizontal scroll", watch, kEventHScroll, 1, "3: hscroll"},
      {"vertical scroll", watch, kEventVScroll, 1, "3: vscroll"},
      {"size", watch, kEventSize, 90, "3: resize 90"},
      {"command", watch, kEventCommand, 1234, "3: command 1234"},
      {"unknown type", watch, 17, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Calls().clear();
    system.TakeLog();
    WindowEvent event;
    event.type = c.type;
    event.words[0] = c.word;
    EXPECT_EQ(DispatchWindowEvent(c.window->LayerWindowId(), event), 0);
    EXPECT_EQ(Calls(), c.expected[0] != '\0' ? std::vector<std::string>{c.expected} : std::vector<std::string>{});
    if (c.type == kEventPaint) {
      const std::string log = system.TakeLog();
      EXPECT_EQ(log.find("BeginPaint"), 0u) << log;
      EXPECT_EQ(log.rfind("EndPaint"), log.size() - 12) << log;
    }
  }
}

TEST_F(WindowFrameworkTest, CloseEventsAndEventsWithoutAnObject) {
  WinSuper* watch = Open(kViewWatch);
  const int32_t id = watch->LayerWindowId();
  system.TakeLog();
  WindowEvent close;
  close.type = kEventClose;
  EXPECT_EQ(DispatchWindowEvent(id, close), 0);
  EXPECT_EQ(WindowTable::Get(id), nullptr);
  EXPECT_NE(system.TakeLog().find("DestroyWindow w0"), std::string::npos) << "the placeholder closes its window";
  EXPECT_EQ(layer.Record(id), nullptr);
  EXPECT_EQ(DispatchWindowEvent(id, close), -1) << "a second close";

  // A paint for no object is still begun and ended, so the area counts as painted.
  WindowEvent paint;
  paint.type = kEventPaint;
  EXPECT_EQ(DispatchWindowEvent(frame, paint), -1);
  EXPECT_EQ(system.TakeLog(), "BeginPaint frame\nEndPaint frame\n");
}

TEST_F(WindowFrameworkTest, ErrorsStayInsideTheRouter) {
  WinSuper* source = OpenProbe(kViewSource);
  WindowEvent refresh;
  refresh.type = kEventPaint;
  struct Case {
    const char* name;
    std::function<void()> raise;
    bool kept;
  };
  const std::vector<Case> cases = {
      {"an error is reported", [] { throw DVError(155, kSeverityError, kDisplayMessageBox); }, false},
      {"a fatal error is kept", [] { throw DVError(155, kSeverityFatal, kDisplayNone); }, true},
      {"a foreign exception is kept", [] { throw std::runtime_error("boom"); }, true},
  };
  SetWindowObjectCreator(kViewStatus, &MakeProbe<6>);
  WinSuper* general = Open(kViewStatus);
  LayerBackend backend(layer);
  WindowLayerBackend* backendBefore = WindowLayer::SetBackend(&backend);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeWindow::s_onRefresh = c.raise;
    system.TakeLog();
    EXPECT_EQ(DispatchWindowEvent(general->LayerWindowId(), refresh), 0);
    const std::string log = system.TakeLog();
    EXPECT_NE(log.find("EndPaint"), std::string::npos) << "the paint ends all the same";
    if (c.kept) {
      EXPECT_ANY_THROW(RaisePendingWindowError());
    } else {
      EXPECT_NE(log.find("MessageBox"), std::string::npos) << log;
    }
    EXPECT_NO_THROW(RaisePendingWindowError()) << "raised once";
  }
  WindowLayer::SetBackend(backendBefore);
  EXPECT_EQ(WindowTable::Get(source->LayerWindowId()), source);
}

// A manager that answers each request with its code and counts its calls.
class CountingManager : public BaseManager {
 public:
  explicit CountingManager(TextPane* pane) : BaseManager(pane) {}
  int32_t HandleRequest(DVError&, int32_t code, intptr_t) override {
    ++s_calls;
    return code;
  }
  static int s_calls;
};
int CountingManager::s_calls = 0;

class CountingFactory : public ViewManagerFactory {
 public:
  std::unique_ptr<BaseManager> Make(int32_t, TextPane* pane) override {
    return std::make_unique<CountingManager>(pane);
  }
};

// The message loop's round: the user closes the Source window in the third.
class ClosingShell : public GuiShell {
 public:
  bool WaitForInputRound() override {
    if (++rounds == 3) DestroyWindowObject(closing);
    return true;
  }
  int rounds = 0;
  int32_t closing = kNoLayerId;
};

TEST_F(WindowFrameworkTest, RequestsFromWindowsCarryKindPaneAndViewpoint) {
  CountingFactory factory;
  ViewManagerFactory* factoryBefore = ViewManagers().Install(&factory);
  CountingManager::s_calls = 0;
  WinSuper* watch = Open(kViewWatch);
  DVError status;
  EXPECT_EQ(ViewDispatcher::RunGuiCommand(status, *watch, kGuiOpened, 0), kGuiOpened);
  EXPECT_NE(ViewManagerAt(watch->LayerWindowId()), nullptr) << "the manager sits in the window's slot";
  EXPECT_EQ(ViewDispatcher::RunGuiCommand(status, *watch, kGuiRefresh, 0), kGuiRefresh);
  EXPECT_EQ(ViewDispatcher::RunGuiCommand(status, *watch, kGuiClosing, 0), kGuiClosing);
  EXPECT_EQ(ViewManagerAt(watch->LayerWindowId()), nullptr);

  // The repeat loop runs while the Source window of the request's viewpoint is open.
  WinSuper* source = Open(kViewSource, kOther);
  const int32_t sourceId = source->LayerWindowId();
  ClosingShell shell;
  shell.closing = sourceId;
  InstallGuiShell(&shell);
  ViewDispatcher::RunGuiCommand(status, *source, kGuiOpened, 0);
  CountingManager::s_calls = 0;
  ViewDispatcher::RunGuiCommand(status, *source, kGuiRepeat, 0);
  EXPECT_EQ(shell.rounds, 3);
  EXPECT_EQ(CountingManager::s_calls, 3);
  InstallGuiShell(nullptr);
  DestroyViewManager(sourceId);

  // Window-less targets: kind 17 answers the repeat flag, other kinds nothing.
  ViewDispatcher::RepeatFlag().Set();
  EXPECT_EQ(ViewDispatcher::RunGuiCommand(status, MessageLoopRequestTarget(), kGuiIsRepeating, 0), 1);
  EXPECT_EQ(status.Severity(), static_cast<uint32_t>(kSeverityWarning));
  ViewDispatcher::RepeatFlag().Clear();
  EXPECT_EQ(ViewDispatcher::RunGuiCommand(status, InvocationRequestTarget(), 0x190, 0), 0);
  ViewManagers().Install(factoryBefore);
}

TEST_F(WindowFrameworkTest, GeneralWindowShowsTheStatusOfTheCurrentViewpoint) {
  EXPECT_EQ(GeneralWindowLayerId(), kNoLayerId);
  RefreshGeneralWindow(1);
  SetBaseViewpoint(ViewpointHandle::None());
  system.TakeLog();
  WinSuper* general = Open(kViewStatus, kServer, LayerRect{0, 0, 16, 720});
  const std::string log = system.TakeLog();
  EXPECT_NE(log.find("PlaceChild w0 0,179 720x16"), std::string::npos) << log;
  const std::string::size_type text = log.find("Text w0 fixed 0,14 \"");
  ASSERT_NE(text, std::string::npos) << log;
  const std::string shown = log.substr(text + 20, 71);
  EXPECT_EQ(shown.find("<No Program Loaded>"), 0u);
  EXPECT_EQ(shown.find("NO INIT"), 64u);
  EXPECT_EQ(GeneralWindowLayerId(), general->LayerWindowId());

  // Force 0 without a marked record paints nothing; a marked record paints again.
  RefreshGeneralWindow(0);
  EXPECT_EQ(system.TakeLog(), "");
  MarkAllRecordsOfKindChanged(kRecordStatusLine);
  RefreshGeneralWindow(0);
  EXPECT_NE(system.TakeLog().find("NO INIT"), std::string::npos);
  // A current viewpoint shows its own status text.
  SetBaseViewpoint(ViewpointHandle(kServer));
  ClearEngineProgramLoaded();
  SetStatusText("Mod: DEMO_MAIN  Address: 0x00100000");
  RefreshGeneralWindow(1);
  const std::string current = system.TakeLog();
  EXPECT_NE(current.find("\"Mod: DEMO_MAIN  Address: 0x00100000"), std::string::npos) << current;
  EXPECT_EQ(current.find("NO INIT"), std::string::npos) << current;
  ResetStatusLine();
}

TEST_F(WindowFrameworkTest, TitlesAndCaptions) {
  SetWindowObjectCreator(kViewWatch, [](NativeWindow window, uint32_t viewpoint, const char*) {
    return std::unique_ptr<WinSuper>(
        std::make_unique<ProbeWindow>(window, viewpoint, "A title of more than thirty-two characters", kViewWatch));
  });
  WinSuper* watch = Open(kViewWatch);
  EXPECT_EQ(watch->Title(), std::string("A title of more than thirty-two characters").substr(0, 32));
  system.TakeLog();
  watch->UpdateTitle();
  watch->UpdateTitle();
  EXPECT_EQ(system.TakeLog(), "SetWindowText w0 \"" + watch->Title() + "  [SERVER]\"\n");
  MarkRegisteredChanged(kRecordWindows, ViewpointHandle(kOther));
  watch->UpdateTitle();
  EXPECT_EQ(system.TakeLog(), "") << "another viewpoint's alias";
  MarkRegisteredChanged(kRecordWindows, ViewpointHandle(kServer));
  watch->UpdateTitle();
  EXPECT_NE(system.TakeLog().find("SetWindowText"), std::string::npos);
  EXPECT_THROW(watch->SetViewpoint(ViewpointHandle(kOther)), DVError);
}

TEST_F(WindowFrameworkTest, FactoryPlaceholdersAndAFullTable) {
  WinSuper* memory = Open(kViewMemory);
  EXPECT_EQ(memory->Kind(), kViewMemory);
  EXPECT_EQ(memory->GetPaneStyle(), 0x4cu);
  EXPECT_EQ(memory->GetTextPane().layerId, memory->LayerWindowId());
  EXPECT_EQ(memory->GetTextPane().owner, memory);
  EXPECT_EQ(memory->GetTextPane().rows, 104 / 13);
  EXPECT_EQ(memory->GetTextPane().columns, 200 / 8);
  EXPECT_EQ(memory->Caption(), "Memory  [SERVER]");
  system.TakeLog();
  WindowEvent paint;
  paint.type = kEventPaint;
  DispatchWindowEvent(memory->LayerWindowId(), paint);
  EXPECT_NE(system.TakeLog().find("Text w0 fixed 0,13 \"Memory\""), std::string::npos);

  // Keys typed into the Command window's client area reach the key queue.
  WinSuper* command = Open(kViewCommand);
  for (int32_t key : {int32_t{'d'}, 1089, 305, 331}) {
    WindowEvent typed;
    typed.type = kEventKey;
    typed.words[0] = key;
    DispatchWindowEvent(command->LayerWindowId(), typed);
  }
  EXPECT_EQ(KeyQueue::Pop(), static_cast<uint32_t>('d'));
  EXPECT_EQ(KeyQueue::Pop(), 331u);
  EXPECT_TRUE(KeyQueue::IsEmpty());
  EXPECT_THROW(CreateWindowObject(system.AddWindow("odd"), 2, kServer), DVError);

  // A full table refuses the window: a warning box, the window destroyed, no object.
  while (layer.Register(system.AddWindow("filler"), kLayerStaticText, 0) != kNoLayerId) {
  }
  system.TakeLog();
  EXPECT_EQ(Open(kViewWatch), nullptr);
  const std::string log = system.TakeLog();
  EXPECT_NE(log.find("MessageBox frame \"\" \"ERROR: Can't create window.\" exclamation ok"), std::string::npos) << log;
  EXPECT_NE(log.find("DestroyWindow w2"), std::string::npos) << log;
  EXPECT_EQ(CountWindowsOfKind(kViewWatch, kServer), 0);
}

TEST_F(WindowFrameworkTest, PanePortOfTheWindows) {
  WinSuper* watch = Open(kViewWatch);
  const int32_t id = watch->LayerWindowId();
  PaneWindowPort& port = PaneWindow().Get();
  int32_t columns = 0;
  int32_t rows = 0;
  EXPECT_TRUE(port.ClientCells(id, &columns, &rows));
  EXPECT_EQ(columns, 25);
  EXPECT_EQ(rows, 8);
  EXPECT_FALSE(port.ClientCells(frame, &columns, &rows)) << "no window object";
  EXPECT_TRUE(port.WindowExists(kViewWatch, kServer));
  EXPECT_FALSE(port.WindowExists(kViewWatch, kOther));

  // A line is drawn in its row: 13 pixels a row, below the headers (a line not held
  // is blank); outside the rows nothing.
  TextPane& pane = watch->GetTextPane();
  pane.top = 10;
  system.TakeLog();
  port.RedrawLine(id, 12);
  port.RedrawLine(id, 9);
  port.RedrawLine(id, 18);
  const std::string redrawn = system.TakeLog();
  EXPECT_EQ(redrawn.rfind("FillRect w0 (26,0,39,201)", 0), 0u) << redrawn;
  EXPECT_EQ(std::count(redrawn.begin(), redrawn.end(), '\n'), 1) << redrawn;

  // Cells of text are cleared and drawn; a rectangle is clipped at the client area's
  // right edge; a minimised window and an id without an object draw nothing.
  const LayerRect wide{0, 150, 12, 400};
  ClearPaneRect(id, &wide, 0x112233);
  DrawPaneTextAt(id, 16, 26, "abc", -1, 0x112233, 0x445566);
  DrawPaneTextAt(frame, 0, 13, "abc", -1, 0, 0);
  int32_t height = 0;
  int32_t width = 0;
  GetCharCellSize(id, &height, &width);
  EXPECT_EQ(height, 13);
  EXPECT_EQ(width, 8);
  std::string drawn = system.TakeLog();
  EXPECT_NE(drawn.find("FillRect w0 (0,150,13,201)"), std::string::npos) << drawn;
  EXPECT_NE(drawn.find("FillRect w0 (13,16,26,40)"), std::string::npos) << drawn;
  EXPECT_NE(drawn.find("Text w0 fixed 16,26 \"abc\" text 665544 back 332211"), std::string::npos) << drawn;
  EXPECT_EQ(drawn.find("frame"), std::string::npos) << drawn;
  layer.ShowWindowState(id, kWindowStateMinimized);
  system.TakeLog();
  ClearPaneRect(id, nullptr, 0);
  EXPECT_EQ(system.TakeLog(), "");
  layer.ShowWindowState(id, kWindowStateNormal);

  // Owner requests: pumps off and the wait cursor up, both back as they were.
  port.BeginOwnerRequest();
  EXPECT_FALSE(IsPumpingEnabled());
  EXPECT_EQ(layer.TopCursorKind(), kCursorWait);
  port.BeginOwnerRequest();
  port.EndOwnerRequest();
  EXPECT_FALSE(IsPumpingEnabled()) << "the inner request leaves the outer one's state";
  port.EndOwnerRequest();
  EXPECT_TRUE(IsPumpingEnabled());
  EXPECT_EQ(layer.TopCursorKind(), kCursorArrow);
}

TEST_F(WindowFrameworkTest, VerticalScrollEventsMoveThePane) {
  WinSuper* watch = Open(kViewWatch);
  std::vector<std::string> texts(20, "line");
  std::vector<PaneLine> lines(20);
  std::vector<PaneLine*> held;
  for (size_t i = 0; i < lines.size(); ++i) {
    lines[i].text = texts[i].data();
    lines[i].length = 4;
    held.push_back(&lines[i]);
  }
  TextPane& pane = watch->GetTextPane();
  pane.lines = held.data();
  pane.count = 20;
  pane.total = 20;
  pane.rows = 8;
  struct Case {
    const char* name;
    int32_t code, position, top;
    bool beeps;
  };
  const std::vector<Case> cases = {
      {"line down", kScrollLineDown, 0, 1, false},
      {"page down", kScrollPageDown, 0, 8, false},
      {"a dragged thumb does not scroll", kScrollThumbTrack, 2, 8, false},
      {"the thumb's release does", kScrollThumbPosition, 2, 2, false},
      {"line up", kScrollLineUp, 0, 1, false},
      {"page up stops at the start", kScrollPageUp, 0, 0, false},
      {"line up at the start beeps", kScrollLineUp, 0, 0, true},
      {"the thumb on the last page", kScrollThumbPosition, 12, 12, false},
      {"line down at the end beeps", kScrollLineDown, 0, 12, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    system.TakeLog();
    WindowEvent scroll;
    scroll.type = kEventVScroll;
    scroll.words[0] = c.code;
    scroll.words[1] = c.position;
    DispatchWindowEvent(watch->LayerWindowId(), scroll);
    EXPECT_EQ(pane.top, c.top);
    EXPECT_EQ(system.TakeLog().find("MessageBeep") != std::string::npos, c.beeps);
  }
  pane.lines = nullptr;
  pane.count = 0;
}

TEST_F(WindowFrameworkTest, ViewpointGroupsAndNotices) {
  WinSuper* watch = OpenProbe(kViewWatch);
  WinSuper* otherWatch = OpenProbe(kViewWatch, kOther);
  WinSuper* command = OpenProbe(kViewCommand);
  WinSuper* general = OpenProbe(kViewStatus);
  Calls().clear();
  NotifyViewpointWindows(kServer, 0xFFFF);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"3: notify", "6: notify", "10: notify"}));

  ViewpointManager::ApplyToWindowGroup(kServer, kWindowGroupMinimise);
  EXPECT_TRUE(system.At(layer.Handle(watch->LayerWindowId())).iconic);
  EXPECT_FALSE(system.At(layer.Handle(otherWatch->LayerWindowId())).iconic);
  EXPECT_FALSE(system.At(layer.Handle(command->LayerWindowId())).iconic);
  ViewpointManager::ApplyToWindowGroup(kServer, kWindowGroupRestore);
  EXPECT_FALSE(system.At(layer.Handle(watch->LayerWindowId())).iconic);

  Calls().clear();
  ViewpointManager::ApplyToWindowGroup(kServer, kWindowGroupClose);
  EXPECT_EQ(Calls(), std::vector<std::string>{"3: destroyed"});
  EXPECT_EQ(WindowTable::Get(command->LayerWindowId()), command);
  EXPECT_EQ(WindowTable::Get(general->LayerWindowId()), general);
  EXPECT_EQ(CountWindowsOfKind(kViewWatch, kOther), 1);
  EXPECT_THROW(ViewpointManager::ApplyToWindowGroup(kServer, 3), DVError);
  EXPECT_NO_THROW(ViewpointManager::ApplyToWindowGroup(ViewpointHandle::kNone, 3));
}

// A viewpoint that goes closes its group, then tells the windows of it that are left
// (the Command and General windows) as an engine change; the other viewpoint's windows
// stay and hear nothing.
TEST_F(WindowFrameworkTest, ARemovedViewpointClosesItsGroupThenTellsTheWindowsLeft) {
  OpenProbe(kViewWatch);
  OpenProbe(kViewWatch, kOther);
  OpenProbe(kViewCommand);
  OpenProbe(kViewStatus);
  Calls().clear();
  ViewpointManager::RemoveViewpoint(ViewpointHandle(kServer));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"3: destroyed", "6: notify", "10: notify"}));
  EXPECT_EQ(CountWindowsOfKind(kViewWatch, kOther), 1);
}

TEST_F(WindowFrameworkTest, RefreshBeforeTheInputWait) {
  Open(kViewStatus, kServer, LayerRect{0, 0, 16, 720});
  OpenProbe(kViewWatch, kOther);
  OpenProbe(kViewSource);
  bool pumpingDuring = true;
  ProbeWindow::s_onRefresh = [&] { pumpingDuring = pumpingDuring && IsPumpingEnabled(); };
  Calls().clear();
  SetBaseViewpoint(ViewpointHandle::None());
  MarkAllRecordsOfKindChanged(kRecordExecutionState);
  system.TakeLog();
  RefreshAllWindows(0);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"3: refresh 0 in 8", "1: refresh 0 in 7"}));
  EXPECT_NE(system.TakeLog().find("NO INIT"), std::string::npos) << "the General window last, in no viewpoint";
  EXPECT_FALSE(pumpingDuring);
  EXPECT_TRUE(IsPumpingEnabled());
  SetBaseViewpoint(ViewpointHandle(kServer));

  // A refresh that fails leaves the viewpoint stack and the pumps as they were.
  ProbeWindow::s_onRefresh = [] { throw DVError(155, kSeverityError, kDisplayNone); };
  EXPECT_THROW(RefreshAllWindows(0), DVError);
  EXPECT_EQ(ViewpointStackDepth(), 0u);
  EXPECT_EQ(CurrentViewpoint().Value(), kServer);
  EXPECT_TRUE(IsPumpingEnabled());

  // So does a target that refuses to select a window's viewpoint: the refusal is what
  // the refresh raises.
  ProbeWindow::s_onRefresh = nullptr;
  {
    testing_support::RefusedViewpointSelect refused(kOther);
    try {
      RefreshAllWindows(0);
      ADD_FAILURE() << "the refused viewpoint raised nothing";
    } catch (const DVError& error) {
      EXPECT_EQ(error.Number(), kMsgViewpointNotValid);
    }
    EXPECT_EQ(refused.m_refusals, 1);
  }
  EXPECT_EQ(ViewpointStackDepth(), 0u);
  EXPECT_EQ(CurrentViewpoint().Value(), kServer);
  EXPECT_TRUE(IsPumpingEnabled());
}

TEST_F(WindowFrameworkTest, NewWindowsCascade) {
  EXPECT_EQ(DefaultFrameBounds(480).bottom, 156);
  EXPECT_EQ(DefaultFrameBounds(480).right, 640);
  EXPECT_EQ(DefaultFrameBounds(480).top, 0);
  EXPECT_EQ(DefaultFrameBounds(481).right, 720);

  InitDefaultPlacements(LayerRect{50, 50, 245, 770});
  const LayerRect first = GetDefaultPlacement(kViewSource);
  EXPECT_EQ(first.top, 245);
  Open(kViewSource, kServer, first);
  Open(kViewWatch, kServer, first);  // another kind on the same spot is no reason to move
  const LayerRect second = GetDefaultPlacement(kViewSource);
  EXPECT_EQ(second.top, first.top + 39);
  EXPECT_EQ(second.bottom, first.bottom + 39);
  EXPECT_EQ(second.left, first.left + 24);
  EXPECT_EQ(second.right, first.right + 24);
  Open(kViewSource, kServer, second);
  EXPECT_EQ(GetDefaultPlacement(kViewSource).top, first.top + 78);

  // Windows left to the system never cascade.
  const LayerRect registers = GetDefaultPlacement(kViewRegisters);
  EXPECT_EQ(registers.left, kPlaceByDefault);
  EXPECT_EQ(registers.right, 544);
  EXPECT_EQ(registers.bottom - registers.top, 312);

  WinSuper* moved = Open(kViewWatch, kServer, LayerRect{10, 20, 110, 220});
  RecordWindowPlacement(moved->LayerWindowId(), kViewWatch);
  EXPECT_EQ(GetKindPlacement(kViewWatch).left, 20);
  RecordWindowPlacement(moved->LayerWindowId(), kViewStatus);
  EXPECT_EQ(GetKindPlacement(kViewStatus).top, 245 - 16) << "the strip's placement is not the user's";
}

}  // namespace
}  // namespace zentor
