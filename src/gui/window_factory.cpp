#include "gui/window_factory.h"

#include <algorithm>

#include "core/dv_error.h"
#include "core/key_queue.h"
#include "core/view_kind.h"
#include "gui/general_window.h"
#include "gui/gui_window_layer.h"
#include "gui/pane_services.h"
#include "gui/window_menu.h"
#include "gui/color_settings.h"

namespace zentor {

namespace {

struct KindRow {
  int32_t kind;
  const char* title;
  uint32_t paneStyle;
  WindowObjectCreator creator;
};

// The kinds that have windows, their titles and pane styles (bits 0x04 and 0x08 of the
// line windows are read by nobody).
KindRow g_kinds[] = {
    {kViewSource, "Source", 0x2e, nullptr},        {kViewWatch, "Watch", 0x0c, nullptr},
    {kViewRegisters, "Registers", 0x4c, nullptr},  {kViewMemory, "Memory", 0x4c, nullptr},
    {kViewStatus, "", 0, nullptr},                 {kViewCommand, "", 0, nullptr},
    {kViewInspect, "Inspect", 0x4c, nullptr},      {kViewLocals, "Locals", 0x4c, nullptr},
    {kViewModules, "Modules", 0x2c, nullptr},      {kViewCallstack, "Callstack", 0x0c, nullptr},
};

KindRow* FindKind(int32_t kind) {
  for (KindRow& row : g_kinds) {
    if (row.kind == kind) return &row;
  }
  return nullptr;
}

// The Command window's own keys: scrolling its back-log and the popup menu, which the
// placeholder has neither of.
bool IsCommandWindowOwnKey(int32_t code) {
  static constexpr int32_t kOwnKeys[] = {319, 320, 305, 306, 371, 372, 321, 322, 324, 323, 1089};
  return std::find(std::begin(kOwnKeys), std::end(kOwnKeys), code) != std::end(kOwnKeys);
}

int32_t FrameLayerId(GuiWindowLayer& layer) {
  for (int32_t id = 0; id < kLayerSlotCount; ++id) {
    if (layer.GetWindowType(id) == static_cast<int32_t>(kLayerFrame)) return id;
  }
  return kNoLayerId;
}

}  // namespace

const char* WindowKindTitle(int32_t kind) {
  const KindRow* row = FindKind(kind);
  return row != nullptr ? row->title : nullptr;
}

void SetWindowObjectCreator(int32_t kind, WindowObjectCreator creator) {
  if (KindRow* row = FindKind(kind)) row->creator = creator;
}

WindowObjectCreator GetWindowObjectCreator(int32_t kind) {
  const KindRow* row = FindKind(kind);
  return row != nullptr ? row->creator : nullptr;
}

// 1. The kind must have windows.
// 2. The layer takes the window here, before any object exists: a full table refuses
//    it with the warning and no object is made. The object's own registration then
//    finds the window where it was put.
// 3. The object stores itself in the window table; from then on the table's close
//    route owns it.
WinSuper* CreateWindowObject(NativeWindow window, int32_t kind, uint32_t viewpointValue) {
  const KindRow* row = FindKind(kind);
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (row == nullptr || layer == nullptr) ZENTOR_INTERNAL_ERROR();
  if (layer->Register(window, kLayerChildWindow, 0) == kNoLayerId) {
    ShowWarningMessage(FrameLayerId(*layer));
    layer->System().DestroyWindow(window);
    return nullptr;
  }
  std::unique_ptr<WinSuper> object;
  if (row->creator != nullptr) {
    object = row->creator(window, viewpointValue, row->title);
  } else if (kind == kViewStatus) {
    object = std::make_unique<GeneralWindow>(window, viewpointValue, row->title);
  } else {
    object = std::make_unique<PlaceholderWindow>(window, viewpointValue, row->title, kind);
  }
  return object.release();
}

PlaceholderWindow::PlaceholderWindow(NativeWindow window, uint32_t viewpointValue, const char* title, int32_t kind)
    : WinSuper(window, viewpointValue, title) {
  SetKind(kind);
  const KindRow* row = FindKind(kind);
  SetPaneStyle(row != nullptr ? row->paneStyle : 0);
  if (!Title().empty()) UpdateTitle();
  if (ListedInWindowMenu()) ListInWindowMenu(Title().c_str());
}

PlaceholderWindow::~PlaceholderWindow() {
  if (Kind() == kViewCommand || Layer() == nullptr) return;
  Layer()->CloseWindow(LayerWindowId());
  Layer()->Destroy(LayerWindowId());
}

void PlaceholderWindow::OnKey(const WindowEvent& event) {
  if (Kind() == kViewCommand && !IsCommandWindowOwnKey(event.KeyCode())) {
    KeyQueue::Push(static_cast<uint32_t>(event.KeyCode()));
  }
}

void PlaceholderWindow::SetViewpoint(ViewpointHandle viewpoint) {
  if (Kind() != kViewCommand) WinSuper::SetViewpoint(viewpoint);
  SetWindowViewpoint(viewpoint);
}

void PlaceholderWindow::OnRefresh(int32_t) {
  if (!Title().empty()) UpdateTitle();
}

void PlaceholderWindow::OnPaint(const WindowEvent&) {
  const uint32_t background = ColorSettings::GetColor(GetViewpoint(), kColorElementClientArea, 0);
  ClearPaneRect(LayerWindowId(), nullptr, background);
  if (Title().empty()) return;
  DrawPaneTextAt(LayerWindowId(), 0, GetLineHeight(), Title().c_str(), -1, background,
                 ColorSettings::GetColor(GetViewpoint(), kColorElementClientArea, 1));
}

}  // namespace zentor
