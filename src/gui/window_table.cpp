#include "gui/window_table.h"

#include <memory>

#include "core/busy_pump.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "gui/color_settings.h"
#include "gui/general_window.h"
#include "gui/gui_window_layer.h"
#include "gui/viewpoint_dialogs.h"
#include "gui/win_super.h"
#include "gui/window_menu.h"

namespace zentor {

namespace {

// The window objects by layer id; the table's one reset is WindowTable::DestroyAll.
WinSuper* g_windows[kLayerSlotCount] = {};

// What a window procedure must not unwind through, kept until the message loop raises
// it again.
std::exception_ptr& PendingWindowError() {
  static std::exception_ptr pending;
  return pending;
}

bool IsSlot(int32_t id) { return id >= 0 && id < kLayerSlotCount; }

// A begun paint is ended whatever the handler does.
class PaintScope {
 public:
  PaintScope(GuiWindowLayer* layer, int32_t id, WindowEvent& event) : m_layer(layer), m_id(id) {
    LayerRect area;
    if (m_layer != nullptr) m_layer->BeginPaint(m_id, &area);
    event.SetPaintArea(area);
  }
  ~PaintScope() {
    if (m_layer != nullptr) m_layer->EndPaint(m_id);
  }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;

 private:
  GuiWindowLayer* m_layer;
  int32_t m_id;
};

// Only the General window's paint is special here: it re-reads its status text. The
// Command, Callstack and Modules windows paint, scroll and size through their own
// overrides of the base handlers.
void RouteEvent(WinSuper& window, int32_t id, WindowEvent& event) {
  switch (event.type) {
    case kEventMouseDown:
    case kEventMouseUp:
    case kEventMouseMove:
    case kEventDoubleClick:
      window.OnMouse(event);
      break;
    case kEventKey:
      window.OnKey(event);
      break;
    case kEventPaint: {
      PaintScope paint(InstalledGuiWindowLayer(), id, event);
      if (window.Kind() == kViewStatus) {
        window.OnRefresh(kGeneralRefreshPaint);
      } else {
        window.OnPaint(event);
      }
      break;
    }
    case kEventFocus:
      if (event.FocusGained() == 1) {
        window.OnFocusGained();
      } else if (event.FocusGained() == 0) {
        window.OnFocusLost();
      }
      break;
    case kEventHScroll:
      window.OnHScroll(event);
      break;
    case kEventVScroll:
      window.OnVScroll(event);
      break;
    case kEventClose:
      DestroyWindowObject(id);
      break;
    case kEventSize:
      window.OnResize(event);
      break;
    case kEventFontChanged:
      window.OnFontChanged();
      break;
    case kEventCommand:
      window.OnCommand(event.CommandId());
      break;
    default:
      break;
  }
}

// Message pumping off for the life of the object, then back as it was: the refresh may
// run inside work that has switched it off already.
class PumpingPaused {
 public:
  PumpingPaused() : m_wasEnabled(IsPumpingEnabled()) { SetPumpingEnabled(0); }
  ~PumpingPaused() { SetPumpingEnabled(m_wasEnabled ? 1 : 0); }
  PumpingPaused(const PumpingPaused&) = delete;
  PumpingPaused& operator=(const PumpingPaused&) = delete;

 private:
  bool m_wasEnabled;
};

// What the viewpoint manager asks of the windows. The viewpoint groups leave the
// Command window alone, and the General window too: it is the frame's status strip
// for the whole run, whatever viewpoint it was opened in.
class GuiViewpointWindows final : public ViewpointWindowPort {
 public:
  void SetCommandWindowViewpoint(ViewpointHandle handle) override {
    int32_t cursor = 0;
    WindowTable::ResetIterator(cursor);
    while (WinSuper* window = WindowTable::Next(cursor)) {
      if (window->Kind() == kViewCommand) window->SetViewpoint(handle);
    }
  }
  // The Command window draws in the current viewpoint's colours.
  void RepaintCommandWindow() override {
    GuiWindowLayer* layer = InstalledGuiWindowLayer();
    int32_t cursor = 0;
    WindowTable::ResetIterator(cursor);
    while (WinSuper* window = WindowTable::Next(cursor)) {
      if (window->Kind() == kViewCommand && layer != nullptr) layer->Invalidate(window->LayerWindowId(), nullptr);
    }
  }
  void RebuildWindowMenu() override { WindowRecordList::RebuildMenu(); }
  void RefillViewpointDialog() override { RefillViewpointList(); }
  int32_t AllocateColorSlot() override { return AllocateViewpointColorSlot(); }
  void ReleaseColorSlot(int32_t slot) override { ReleaseViewpointColorSlot(slot); }
  bool BusyCursorOnTop() override {
    GuiWindowLayer* layer = InstalledGuiWindowLayer();
    return layer != nullptr && layer->TopCursorKind() == kCursorWait;
  }
  void NotifyViewpointRemoved(uint32_t viewpointValue) override { NotifyViewpointWindows(viewpointValue, 0xFFFF); }
  void ApplyToWindowGroup(uint32_t viewpointValue, uint32_t operation) override {
    const ViewpointHandle viewpoint(viewpointValue);
    GuiWindowLayer* layer = InstalledGuiWindowLayer();
    int32_t cursor = 0;
    WindowTable::ResetIterator(cursor);
    while (WinSuper* window = WindowTable::Next(cursor)) {
      const int32_t slot = cursor - 1;
      if (window->Kind() == kViewCommand || window->Kind() == kViewStatus) continue;
      if (!(window->GetViewpoint() == viewpoint)) continue;
      if (operation == kWindowGroupClose) {
        DestroyWindowObject(slot);
      } else if (layer != nullptr) {
        layer->ShowWindowState(window->LayerWindowId(),
                               operation == kWindowGroupMinimise ? kWindowStateMinimized : kWindowStateNormal);
      }
    }
  }
};

}  // namespace

void WindowTable::Store(WinSuper* window) {
  if (window != nullptr && IsSlot(window->LayerWindowId())) g_windows[window->LayerWindowId()] = window;
}

WinSuper* WindowTable::Get(int32_t id) { return id >= 1 && id < kLayerSlotCount ? g_windows[id] : nullptr; }

void WindowTable::Clear(int32_t id) {
  if (IsSlot(id)) g_windows[id] = nullptr;
}

WinSuper* WindowTable::FindByKindAndViewpoint(int32_t kind, ViewpointHandle viewpoint) {
  for (WinSuper* window : g_windows) {
    if (window != nullptr && window->Kind() == kind && window->GetViewpoint() == viewpoint) return window;
  }
  return nullptr;
}

int32_t WindowTable::CountByKindAndViewpoint(int32_t kind, ViewpointHandle viewpoint) {
  int32_t count = 0;
  for (WinSuper* window : g_windows) {
    if (window != nullptr && window->Kind() == kind && window->GetViewpoint() == viewpoint) ++count;
  }
  return count;
}

WinSuper* WindowTable::Next(int32_t& cursor) {
  if (!IsSlot(cursor)) return nullptr;
  for (int32_t slot = cursor; slot < kLayerSlotCount; ++slot) {
    if (g_windows[slot] != nullptr) {
      cursor = slot + 1;
      return g_windows[slot];
    }
  }
  cursor = kLayerSlotCount;
  return nullptr;
}

void WindowTable::DestroyAll() {
  for (int32_t slot = 0; slot < kLayerSlotCount; ++slot) DestroyWindowObject(slot);
  PendingWindowError() = nullptr;
}

// The slot is emptied before the object goes, so its destructor (which may close
// other windows) never finds it half destroyed.
void DestroyWindowObject(int32_t id) {
  if (!IsSlot(id)) return;
  std::unique_ptr<WinSuper> window(g_windows[id]);
  g_windows[id] = nullptr;
}

int32_t CountWindowsOfKind(int32_t kind, uint32_t viewpointValue) {
  return WindowTable::CountByKindAndViewpoint(kind, ViewpointHandle(viewpointValue));
}

void ActivateWindowOfKind(int32_t kind, uint32_t viewpointValue) {
  WinSuper* window = WindowTable::FindByKindAndViewpoint(kind, ViewpointHandle(viewpointValue));
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (window != nullptr && layer != nullptr) layer->ActivateWindow(window->LayerWindowId());
}

int32_t WindowKindOf(const WinSuper& window) { return window.Kind(); }

uint32_t ViewpointValueOf(const WinSuper& window) { return window.GetViewpoint().Value(); }

int32_t GetWindowKindAt(int32_t id) {
  const WinSuper* window = WindowTable::Get(id);
  return window != nullptr ? window->Kind() : kViewStatus;
}

int32_t DispatchWindowEvent(int32_t id, WindowEvent& event) {
  WinSuper* window = WindowTable::Get(id);
  if (window == nullptr) {
    if (event.type == kEventPaint) {
      PaintScope validated(InstalledGuiWindowLayer(), id, event);
    }
    return -1;
  }
  try {
    RouteEvent(*window, id, event);
  } catch (...) {
    HandleWindowProcedureException();
  }
  return 0;
}

void HandleWindowProcedureException() {
  try {
    throw;
  } catch (DVError& error) {
    if (error.Severity() == kSeverityFatal) {
      if (!PendingWindowError()) PendingWindowError() = std::current_exception();
    } else {
      error.Report();
    }
  } catch (...) {
    if (!PendingWindowError()) PendingWindowError() = std::current_exception();
  }
}

void RaisePendingWindowError() {
  std::exception_ptr pending = PendingWindowError();
  PendingWindowError() = nullptr;
  if (pending) std::rethrow_exception(pending);
}

void NotifyViewpointWindows(uint32_t viewpointValue, int32_t kind) {
  static constexpr int32_t kEveryKind[] = {0, 1, 3, 4, 5, 6, 10, 11, 15, 16, 19, 20};
  const ViewpointHandle viewpoint(viewpointValue);
  auto notify = [&](int32_t oneKind) {
    if (WinSuper* window = WindowTable::FindByKindAndViewpoint(oneKind, viewpoint)) window->OnEngineNotify();
  };
  if (kind != 0xFFFF) {
    notify(kind);
    return;
  }
  for (int32_t oneKind : kEveryKind) notify(oneKind);
}

// 1. Each window but the General window refreshes in its own viewpoint: pushed before,
//    popped after, also when the refresh fails.
// 2. The General window refreshes last, in the current viewpoint, so it shows the
//    status of the viewpoint the command loop goes on in.
void RefreshAllWindows(int32_t code) {
  PumpingPaused paused;
  int32_t cursor = 0;
  WindowTable::ResetIterator(cursor);
  while (WinSuper* window = WindowTable::Next(cursor)) {
    if (window->Kind() == kViewStatus) continue;
    ViewpointPushed pushed(window->GetViewpoint());
    window->OnRefresh(code);
  }
  RefreshGeneralWindow(code);
  RefreshViewpointDialogIfChanged();
}

void InstallGuiViewpointWindows() {
  static GuiViewpointWindows port;
  InstallViewpointWindowPort(&port);
}

}  // namespace zentor
