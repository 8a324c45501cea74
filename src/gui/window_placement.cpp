#include "gui/window_placement.h"

#include "core/view_kind.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/win_super.h"
#include "gui/window_table.h"

namespace zentor {

namespace {

// The first screen height that gets the larger frame.
constexpr int32_t kSmallScreenHeight = 481;
constexpr int32_t kStripHeightUnits = 8;
constexpr int32_t kSourceHeight = 325;
constexpr int32_t kDataWindowHeight = 312;
constexpr int32_t kRegistersWidth = 544;
constexpr int32_t kDataWindowWidth = 480;

// The placements by kind; InitDefaultPlacements sets them all.
LayerRect g_placements[kViewCallstack + 1];
LayerRect g_commandPlacement;
int32_t g_commandPlacementMode = 0;

bool HasPlacement(int32_t kind) { return kind >= 0 && kind <= kViewCallstack; }

// The kinds whose windows are the debugger's own top-level windows.
bool IsRecordedKind(int32_t kind) {
  switch (kind) {
    case kViewSource:
    case kViewWatch:
    case kViewRegisters:
    case kViewMemory:
    case kViewInspect:
    case kViewLocals:
    case kViewModules:
    case kViewCallstack:
      return true;
    default:
      return false;
  }
}

bool ScreenRectOf(int32_t id, LayerRect* rect) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr || layer->Record(id) == nullptr) return false;
  *rect = layer->System().GetWindowRect(layer->Handle(id));
  return true;
}

bool SameRect(const LayerRect& a, const LayerRect& b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

}  // namespace

LayerRect DefaultFrameBounds(int32_t screenHeight) {
  if (screenHeight < kSmallScreenHeight) return LayerRect{0, 0, 156, 640};
  return LayerRect{50, 50, 195, 720};
}

void InitDefaultPlacements(const LayerRect& frame) {
  ResetCustomButtonSlots();
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  const int32_t strip = layer != nullptr ? layer->DialogUnitsToPixelsY(kStripHeightUnits) : 0;
  for (LayerRect& placement : g_placements) placement = frame;
  g_placements[kViewStatus] = LayerRect{frame.bottom - strip, frame.left, frame.bottom, frame.right};
  g_placements[kViewSource] = LayerRect{frame.bottom, frame.left, frame.bottom + kSourceHeight, frame.right};
  g_placements[kViewRegisters] = LayerRect{0, kPlaceByDefault, kDataWindowHeight, kRegistersWidth};
  for (int32_t kind : {kViewWatch, kViewMemory, kViewInspect, kViewLocals, kViewModules, kViewCallstack}) {
    g_placements[kind] = LayerRect{0, kPlaceByDefault, kDataWindowHeight, kDataWindowWidth};
  }
}

LayerRect GetKindPlacement(int32_t kind) { return HasPlacement(kind) ? g_placements[kind] : LayerRect{}; }

void SetKindPlacement(int32_t kind, const LayerRect& placement) {
  if (HasPlacement(kind)) g_placements[kind] = placement;
}

void RecordWindowPlacement(int32_t id, int32_t kind) {
  LayerRect rect;
  if (IsRecordedKind(kind) && ScreenRectOf(id, &rect)) g_placements[kind] = rect;
}

// The open windows are walked in table order, so a window opened on a placement that
// was moved already moves it once more.
LayerRect GetDefaultPlacement(int32_t kind) {
  if (!HasPlacement(kind)) return LayerRect{};
  LayerRect& placement = g_placements[kind];
  if (kind == kViewStatus || kind == kViewCommand || placement.left == kPlaceByDefault) return placement;
  int32_t cursor = 0;
  WindowTable::ResetIterator(cursor);
  while (WinSuper* window = WindowTable::Next(cursor)) {
    LayerRect rect;
    if (window->Kind() != kind || !ScreenRectOf(window->LayerWindowId(), &rect)) continue;
    if (!SameRect(rect, placement)) continue;
    placement.top += kCascadeDown;
    placement.bottom += kCascadeDown;
    placement.left += kCascadeRight;
    placement.right += kCascadeRight;
  }
  return placement;
}

void SetCommandWindowGeometry(int32_t, const LayerRect* area, int32_t mode) {
  if (area != nullptr) g_commandPlacement = *area;
  g_commandPlacementMode = mode;
}

int32_t CommandWindowPlacementMode() { return g_commandPlacementMode; }
const LayerRect& CommandWindowPlacement() { return g_commandPlacement; }

}  // namespace zentor
