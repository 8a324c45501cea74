#include "gui/frame_children.h"

#include "core/current_viewpoint.h"
#include "core/view_kind.h"
#include "core/viewpoint_handle.h"
#include "core/window_layer.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/shell_system.h"
#include "gui/win_super.h"
#include "gui/window_factory.h"
#include "gui/window_placement.h"
#include "gui/window_table.h"

namespace zentor {
namespace {

const WindowKindInfo kKinds[] = {
    {kViewSource, "SOURCE", "Source"},       {kViewWatch, "WATCH", "Watch"},     {kViewRegisters, "REG", "Registers"},
    {kViewMemory, "MEMORY", "Memory"},       {kViewStatus, "GENERAL", ""},       {kViewCommand, "CMD", "Command"},
    {kViewInspect, "INSP", "Inspect"},       {kViewLocals, "LOCALS", "Locals"},  {kViewModules, "MODULES", "Modules"},
    {kViewCallstack, "CALLSTACK", "Callstack"},
};

void ReportCannotCreate(int32_t frameId) {
  char text[128];
  WindowLayer::LoadResourceString(kMsgCannotCreateWindow, text, sizeof text);
  InstalledGuiWindowLayer()->ShowMessageBox(frameId, kMessageBoxWarning, text);
}

}  // namespace

const WindowKindInfo* GetWindowKindInfo(int32_t kind) {
  for (const WindowKindInfo& info : kKinds) {
    if (info.kind == kind) return &info;
  }
  return nullptr;
}

// 1. The Command window has no window of its own: its object takes the frame's client
//    area.
// 2. The General window is the frame's child; every other kind is a top-level window
//    without parent, made hidden with an empty caption (its object sets the title),
//    then shown in its state.
// 3. A debugger window's system menu closes it with Ctrl+F4 and moves on with Ctrl+F6.
WinSuper* CreateChildWindow(int32_t frameId, int32_t kind, int32_t showState, const LayerRect* rect,
                            uint32_t viewpointValue) {
  const WindowKindInfo* info = GetWindowKindInfo(kind);
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  ShellSystem* shell = InstalledShellSystem();
  if (info == nullptr || layer == nullptr || shell == nullptr) return nullptr;
  const LayerRect placement = rect != nullptr ? *rect : GetDefaultPlacement(kind);
  if (viewpointValue == 0) viewpointValue = GetCurrentViewpointValue();

  if (kind == kViewCommand) {
    // A restored layout's window keeps its rectangle and state for the pane, which
    // leaves a hidden one off the Window menu.
    if (rect != nullptr) SetCommandWindowGeometry(0, rect, showState);
    const int32_t client = FrameWindow::ClientAreaId();
    layer->ShowWindowState(client, kWindowStateNormal);
    const bool focused = layer->GetFocusWindow() == client;
    if (focused) layer->System().SetFocus(layer->Handle(client));
    WinSuper* object = CreateWindowObject(layer->Handle(client), kind, viewpointValue);
    // The client area had the focus before the object existed: the object is told, so
    // that its caret shows now and not only after the focus has moved away and back.
    if (object != nullptr && focused) object->OnFocusGained();
    return object;
  }
  if (kind != kViewStatus && viewpointValue == ViewpointHandle::kNone) {
    layer->Beep();
    return nullptr;
  }
  // A hidden window gives its object no window, and an object without one has no
  // place in the window table (keyed by the layer's id, which a window-less object
  // would share with the next window made). So nothing is made: a hidden window the
  // user could never reach would also stand in for its kind, and the View menu would
  // activate it instead of making one that shows.
  if (kind != kViewStatus && showState == kShowHidden) return nullptr;

  NativeWindow window = 0;
  if (kind == kViewStatus) {
    window = shell->CreateShellWindow(info->className, "", ShellWindowStyle::StatusChild, layer->Handle(frameId),
                                      placement.left, placement.top, placement.right - placement.left,
                                      placement.bottom - placement.top, 0);
  } else {
    const bool byDefault = placement.left == kPlaceByDefault;
    window = shell->CreateShellWindow(info->className, "", ShellWindowStyle::TopLevel, 0, placement.left,
                                      placement.top, byDefault ? placement.right : placement.right - placement.left,
                                      placement.bottom - placement.top, 0);
  }
  if (window == 0) {
    ReportCannotCreate(frameId);
    return nullptr;
  }
  if (kind != kViewStatus) {
    switch (showState) {
      case kShowMinimized:
        layer->System().ShowWindow(window, LayerShowMode::MinimizedNoActivate);
        layer->System().SendToBottom(window);
        break;
      case kShowMaximized:
        layer->System().ShowWindow(window, LayerShowMode::Maximized);
        break;
      default:
        layer->System().ShowWindow(window, LayerShowMode::Normal);
        break;
    }
    shell->AdjustChildSystemMenu(window);
  }
  // The General window is named to the layer before its registration, which would
  // otherwise activate it (see GuiWindowLayer::ActivateWindow).
  if (kind == kViewStatus) layer->SetGeneralWindow(window);
  WinSuper* object = CreateWindowObject(window, kind, viewpointValue);
  if (object != nullptr && kind != kViewStatus && showState == kShowNormal) {
    RecordWindowPlacement(object->LayerWindowId(), kind);
  }
  return object;
}

void ShowWindowOfKind(int32_t frameId, int32_t kind) {
  const uint32_t viewpoint = GetCurrentViewpointValue();
  if (CountWindowsOfKind(kind, viewpoint) > 0) {
    ActivateWindowOfKind(kind, viewpoint);
  } else {
    CreateChildWindow(frameId, kind);
  }
}

}  // namespace zentor
