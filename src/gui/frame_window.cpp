#include "gui/frame_window.h"

#include "core/target_calls.h"
#include "core/view_kind.h"
#include "gui/general_window.h"
#include "gui/gui_window_layer.h"
#include "gui/layer_messages.h"
#include "gui/layout_state.h"
#include "gui/logo_bitmap.h"
#include "gui/shell_system.h"
#include "gui/win_super.h"
#include "gui/window_placement.h"
#include "gui/window_table.h"

namespace zentor {

const FixedButton kFixedButtons[7] = {
    {"Regs", 25, kButtonRegisters},   {"Asm", 25, kButtonAsm},   {"StepInto", 35, kButtonStepInto},
    {"StepOver", 35, kButtonStepOver}, {"StepOut", 35, kButtonStepOut}, {"Go", 25, kButtonGo},
    {"Home", 25, kButtonHome},
};

namespace {

struct CustomButtonSlot {
  int32_t layerId = 0;
  uint32_t command = 0;
};

struct FrameState {
  int32_t frameId = kNoLayerId;
  int32_t clientAreaId = kNoLayerId;
  NativeWindow strip = 0;
  int32_t buttonIds[7] = {kNoLayerId, kNoLayerId, kNoLayerId, kNoLayerId, kNoLayerId, kNoLayerId, kNoLayerId};
  CustomButtonSlot custom[kCustomButtonSlots];
  int32_t customInUse = 0;
  bool maximized = false;
  std::string targetName;
};

FrameState& State() {
  static FrameState state;
  return state;
}

GuiWindowLayer& Layer() { return *InstalledGuiWindowLayer(); }

// The fixed buttons' width in pixels, converted one by one as they are placed.
int32_t FixedButtonsWidth(GuiWindowLayer& layer) {
  int32_t width = 0;
  for (const FixedButton& button : kFixedButtons) width += layer.DialogUnitsToPixelsX(button.width);
  return width;
}

// A push button on the bar at x, registered as a push button; the program's cursor
// stack decides its cursor.
int32_t MakeButton(GuiWindowLayer& layer, int32_t frameId, const char* caption, int32_t x, int32_t width,
                   uint32_t command) {
  const LayerRect bounds{layer.DialogUnitsToPixelsY(1), x, layer.DialogUnitsToPixelsY(kButtonHeight), width};
  const int32_t id = layer.CreateControl(bounds, caption, kLayerPushButton, frameId, 1, static_cast<int32_t>(command));
  if (id != kNoLayerId && InstalledShellSystem() != nullptr) InstalledShellSystem()->ClearClassCursor(layer.Handle(id));
  return id;
}

}  // namespace

void FrameWindow::SetFrame(int32_t layerId) { State().frameId = layerId; }
int32_t FrameWindow::FrameId() { return State().frameId; }

NativeWindow FrameWindow::FrameHandle() {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  return layer != nullptr && State().frameId != kNoLayerId ? layer->Handle(State().frameId) : 0;
}

int32_t FrameWindow::ClientAreaId() { return State().clientAreaId; }

NativeWindow FrameWindow::ClientAreaHandle() {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  return layer != nullptr && State().clientAreaId != kNoLayerId ? layer->Handle(State().clientAreaId) : 0;
}

int32_t FrameWindow::ButtonId(uint32_t command) {
  for (size_t i = 0; i < std::size(kFixedButtons); ++i) {
    if (kFixedButtons[i].command == command) return State().buttonIds[i];
  }
  for (int32_t i = 0; i < State().customInUse; ++i) {
    if (State().custom[i].command == command) return State().custom[i].layerId;
  }
  return kNoLayerId;
}

int32_t FrameWindow::CustomButtonCount() { return State().customInUse; }
bool FrameWindow::IsMaximized() { return State().maximized; }

void FrameWindow::Reset() {
  const std::string name = State().targetName;
  State() = FrameState{};
  State().targetName = name;
}

// 1. The white strip across the top, as high as the button bar.
// 2. The fixed buttons side by side from the left, one dialog unit down.
// 3. The client area between the bar and the status strip; it is the Command window
//    and is registered as a child window.
bool CreateFrameControls(int32_t frameId) {
  GuiWindowLayer& layer = Layer();
  ShellSystem* shell = InstalledShellSystem();
  LayerRect client;
  if (layer.GetClientArea(frameId, &client) == nullptr || shell == nullptr) return false;
  FrameState& state = State();
  const NativeWindow frame = layer.Handle(frameId);
  const int32_t barHeight = layer.DialogUnitsToPixelsY(kButtonBarHeight);
  state.strip = shell->CreateShellWindow("static", "", ShellWindowStyle::WhiteStrip, frame, client.left, client.top,
                                         client.right - client.left, barHeight, kStripControlId);
  int32_t x = 0;
  for (size_t i = 0; i < std::size(kFixedButtons); ++i) {
    const FixedButton& button = kFixedButtons[i];
    const int32_t width = layer.DialogUnitsToPixelsX(button.width);
    state.buttonIds[i] = MakeButton(layer, frameId, button.caption, x, width, button.command);
    x += width;
  }
  const int32_t top = barHeight;
  const int32_t height = client.bottom - layer.DialogUnitsToPixelsY(kStatusStripHeight) - top;
  const NativeWindow area = shell->CreateShellWindow("ClipRect", "", ShellWindowStyle::ClientArea, frame, client.left,
                                                     top, client.right - client.left, height, kClientAreaControlId);
  if (area == 0) return false;
  state.clientAreaId = layer.Register(area, kLayerChildWindow, 0);
  return state.clientAreaId != kNoLayerId;
}

void ResizeFrameControls(int32_t frameId, uint32_t sizeKind) {
  GuiWindowLayer& layer = Layer();
  FrameState& state = State();
  LayerRect client;
  if (layer.GetClientArea(frameId, &client) == nullptr) return;
  const int32_t barHeight = layer.DialogUnitsToPixelsY(kButtonBarHeight);
  const int32_t width = client.right - client.left;
  if (state.strip != 0) layer.System().PlaceChild(state.strip, client.left, client.top, width, barHeight);
  const LayerRect area{client.top + barHeight, client.left, client.bottom - layer.DialogUnitsToPixelsY(kStatusStripHeight),
                       client.right};
  if (state.clientAreaId != kNoLayerId) {
    layer.SetWindowBounds(state.clientAreaId, LayerRect{area.top, area.left, area.bottom - area.top, width});
  }
  SetKindPlacement(kViewCommand, area);
  PlaceGeneralWindow();
  // A frame sized while normal keeps those bounds to come back to (and the saved
  // layout keeps them for a frame that is maximised at exit).
  LayerRect bounds;
  if (sizeKind == sizing::kRestored && layer.GetWindowBounds(frameId, &bounds) != 0) layer.SetSavedBounds(frameId, bounds);
  if (sizeKind == sizing::kMaximized) {
    state.maximized = true;
    RelayoutMaximizedWindows();
  } else if (sizeKind == sizing::kRestored && state.maximized) {
    state.maximized = false;
    RelayoutMaximizedWindows();
  }
}

void RelayoutMaximizedWindows() {
  GuiWindowLayer& layer = Layer();
  int32_t cursor = 0;
  WindowTable::ResetIterator(cursor);
  while (WinSuper* window = WindowTable::Next(cursor)) {
    const int32_t id = window->LayerWindowId();
    if (layer.IsMaximized(id) == 0) continue;
    LayerRect parent;
    if (layer.GetClientArea(layer.GetParentWindow(id), &parent) == nullptr) continue;
    layer.SetWindowBounds(id, LayerRect{parent.top, parent.left, parent.bottom - parent.top, parent.right - parent.left});
  }
}

int32_t CreateCustomButtonControl(const char* caption) {
  GuiWindowLayer& layer = Layer();
  FrameState& state = State();
  if (state.customInUse >= kCustomButtonSlots) return -1;
  CustomButtonSlot& slot = state.custom[state.customInUse];
  slot.command = kFirstCustomButtonCommand + static_cast<uint32_t>(state.customInUse);
  if (caption == nullptr) return static_cast<int32_t>(slot.command);
  int32_t x = FixedButtonsWidth(layer);
  for (int32_t i = 0; i < state.customInUse; ++i) x += layer.DialogUnitsToPixelsX(kCustomButtonWidth);
  slot.layerId =
      MakeButton(layer, state.frameId, caption, x, layer.DialogUnitsToPixelsX(kCustomButtonWidth), slot.command);
  ++state.customInUse;
  return static_cast<int32_t>(slot.command);
}

void DestroyCustomButtonControls() {
  GuiWindowLayer& layer = Layer();
  FrameState& state = State();
  while (state.customInUse > 0) {
    CustomButtonSlot& slot = state.custom[--state.customInUse];
    layer.CloseWindow(slot.layerId);
    layer.Destroy(slot.layerId);
    slot = CustomButtonSlot{};
  }
}

void ResetCustomButtonSlots() {
  if (InstalledGuiWindowLayer() != nullptr) DestroyCustomButtonControls();
  FrameState& state = State();
  for (int32_t i = 0; i < kCustomButtonSlots; ++i) {
    state.custom[i] = CustomButtonSlot{0, kFirstCustomButtonCommand + static_cast<uint32_t>(i)};
  }
  state.customInUse = 0;
}

// The saved layout's frame, else the default for the screen, never maximised.
LayerRect GetFrameGeometry(const char* programPath, bool* maximized) {
  if (maximized != nullptr) *maximized = false;
  LayerRect saved{};
  int32_t showState = kWindowStateNormal;
  if (LayoutState::GetSavedFrameBounds(programPath, &saved, &showState) == 0) {
    if (maximized != nullptr) *maximized = showState == kWindowStateMaximized;
    return saved;
  }
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  const int32_t screenHeight = layer != nullptr ? layer->System().MeasureScreen(0).screenHeight : 0;
  return DefaultFrameBounds(screenHeight);
}

// The description's name word holds no text in this target interface; its version
// block's product name names the target.
void LoadTargetDescriptionAtStart() {
  TargetCallWrapper::LoadTargetDescription();
  const TargetVersionBlock* version = GetTargetDescription();
  State().targetName = version != nullptr && version->m_productName != nullptr ? version->m_productName : "";
}

const char* GetTargetName() { return State().targetName.c_str(); }

std::string BuildHelpFilePath(const std::string& programPath) {
  const size_t dot = programPath.find_last_of('.');
  const size_t separator = programPath.find_last_of("\\/");
  const bool hasExtension = dot != std::string::npos && (separator == std::string::npos || dot > separator);
  std::string path = hasExtension ? programPath.substr(0, dot + 1) + "hlp" : programPath + ".hlp";
  if (path.size() >= kMaxProgramPath) path = programPath + "?";
  return path;
}

}  // namespace zentor
