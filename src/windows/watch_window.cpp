#include "windows/watch_window.h"

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/view_kind.h"
#include "gui/gui_window_layer.h"
#include "gui/key_translation.h"
#include "gui/view_dispatcher.h"
#include "gui/window_factory.h"
#include "windows/refresh_pending.h"
#include "windows/watch_dialogs.h"
#include "windows/window_input.h"

namespace zentor {

namespace {

constexpr uint32_t kWatchPaneStyle = 0x0c;
constexpr int32_t kGuiDeleteAllWatches = 0xd4;
constexpr int32_t kKeyUp = 301;
constexpr int32_t kKeyDown = 302;

// Watches, target memory, execution, two further engine kinds, the location.
constexpr uint32_t kRecordKinds[] = {kRecordWatches, kRecordTargetMemory, kRecordExecutionState, 12,
                                     kRecordOtherView, kRecordSymbolBrowsing};

constexpr const char* kPopupItems[] = {"Add &Watch...", "&Delete Watch...", "Delete &All", "&Manage Watch..."};

std::unique_ptr<WinSuper> MakeWatchWindow(NativeWindow window, uint32_t viewpointValue, const char* title) {
  return std::make_unique<WatchWindow>(window, viewpointValue, title);
}

}  // namespace

WatchWindow::WatchWindow(NativeWindow window, uint32_t viewpointValue, const char* title)
    : WinSuper(window, viewpointValue, title),
      m_changeRecords{CollectableRecord(kRecordKinds[0], ViewpointHandle(viewpointValue)),
                      CollectableRecord(kRecordKinds[1], ViewpointHandle(viewpointValue)),
                      CollectableRecord(kRecordKinds[2], ViewpointHandle(viewpointValue)),
                      CollectableRecord(kRecordKinds[3], ViewpointHandle(viewpointValue)),
                      CollectableRecord(kRecordKinds[4], ViewpointHandle(viewpointValue)),
                      CollectableRecord(kRecordKinds[5], ViewpointHandle(viewpointValue))},
      m_creationHandle(window) {
  ListInWindowMenu("Watch");
  Layer()->CreatePopupMenu(LayerWindowId(), kPopupItems, 4);
  SetKind(kViewWatch);
  SetPaneStyle(kWatchPaneStyle);
  RegisterRecords();
  // The manager reports its own errors.
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommand(status, *this, kGuiOpened, 0);
}

// The management dialog the window opened closes first, while the manager it works
// through is still there. The manager goes whatever its closing answers; its failure
// is reported, and the window leaves the screen all the same.
WatchWindow::~WatchWindow() {
  CloseWatchManagement(*this);
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommand(status, *this, kGuiClosing, 0);
  status.Report();
  Layer()->DestroyPopupMenu(LayerWindowId());
  Layer()->CloseWindow(LayerWindowId());
  Layer()->Destroy(LayerWindowId());
  UnregisterRecords();
}

void WatchWindow::RegisterRecords() {
  for (CollectableRecord& record : m_changeRecords) record.Register();
}

void WatchWindow::UnregisterRecords() {
  for (CollectableRecord& record : m_changeRecords) record.Unregister();
}

void WatchWindow::ShowPopup() { Layer()->TrackPopupMenu(LayerWindowId(), -1, -1); }

void WatchWindow::OnKey(const WindowEvent& event) {
  TextPane& pane = GetTextPane();
  switch (event.KeyCode()) {
    case static_cast<int32_t>(kKeyPopupMenu):
      ShowPopup();
      break;
    case kKeyUp:
      pane.ScrollLineUp();
      break;
    case kKeyDown:
      pane.ScrollLineDown();
      break;
    default:
      pane.HandleKey(event.KeyCode());
      break;
  }
}

// Only the popup: the left button selects nothing in a list of watches.
void WatchWindow::OnMouse(const WindowEvent& event) {
  if (event.type == kEventMouseDown && MouseButton(event) != kMouseLeft) ShowPopup();
}

// The popup's items work on the watches the window shows, those of its viewpoint,
// whichever viewpoint is current: the dialogs and the manager's requests run with the
// window's pushed.
void WatchWindow::OnCommand(int32_t command) {
  ViewpointPushed pushed(GetViewpoint());
  switch (command) {
    case kAddWatch: ShowAddWatchDialog(LayerWindowId()); break;
    case kDeleteWatch: ShowDeleteWatchDialog(LayerWindowId()); break;
    case kManageWatch: ShowWatchManagement(*this); break;
    case kDeleteAll: {
      DVError status(0, 0, kDisplayByFocus);
      ViewDispatcher::RunGuiCommand(status, *this, kGuiDeleteAllWatches, 0);
      break;
    }
    default:
      break;
  }
}

void WatchWindow::OnEngineNotify() {
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommand(status, *this, kGuiEngineNotice, 0);
  GetTextPane().Revalidate();
}

// 1. Every record is tested, so each mark is cleared even when an earlier one was set.
// 2. The records are out of the registry while the manager refreshes: what the
//    refresh itself changes (a watch read through target memory) must not ask for the
//    next refresh.
void WatchWindow::OnRefresh(int32_t flags) {
  UpdateTitle();
  bool changed = false;
  for (CollectableRecord& record : m_changeRecords) {
    if (record.TestAndClearChanged() != 0) changed = true;
  }
  if (!changed && (flags & 1) == 0) return;
  ClearRefreshPending(kRefreshPendingWatch);
  WaitCursor wait;
  UnregisterRecords();
  DVError status(0, 0, kDisplayByFocus);
  const int32_t result = ViewDispatcher::RunGuiCommand(status, *this, kGuiRefresh, 0);
  RegisterRecords();
  if (result >= 0) GetTextPane().Revalidate();
}

void InstallWatchWindow() { SetWindowObjectCreator(kViewWatch, &MakeWatchWindow); }

}  // namespace zentor
