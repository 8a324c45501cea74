#include "gui/context_help.h"

#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/window_layer.h"
#include "gui/gui_window_layer.h"
#include "gui/layer_messages.h"
#include "gui/window_table.h"

namespace zentor {
namespace {

struct HelpState {
  std::string file;
  uint32_t hookMessage = 0;
};

HelpState& State() {
  static HelpState state;
  return state;
}

// What a click without a topic says, in a child window and in the frame.
constexpr char kNoTopicCaption[] = "Help Example";
constexpr char kNoChildTopic[] = "1400Help not available for Help Menu item";
constexpr char kNoFrameTopic[] = "1094Help not available for Help Menu item";
constexpr char kNoCommandTopic[] = "Help topic does not exist.";

// The frame menu's item last highlighted and its flags.
struct MenuSelection {
  uint32_t item = 0;
  uint32_t flags = 0;
};
MenuSelection g_menuSelection;

uint32_t FocusedContext(GuiWindowLayer& layer) {
  return FocusedWindowHelpContext(GetWindowKindAt(layer.GetFocusWindow()));
}

}  // namespace

void ShowCommandWindowHelp() {
  if (IsConsoleMode()) throw DVError(kMsgNoHelpEngine, kSeverityError, kDisplayByFocus);
  WindowLayer::ShowHelp(kCommandWindowHelpContext);
}

void SetHelpFile(const std::string& path) { State().file = path; }
const std::string& HelpFile() { return State().file; }
void SetHelpHookMessage(uint32_t message) { State().hookMessage = message; }
uint32_t HelpHookMessage() { return State().hookMessage; }

void ShowHelpIndex(int32_t windowId) {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->ShowHelp(windowId, State().file.c_str(), kHelpIndex, 0);
}

int32_t ShowHelpContext(int32_t windowId, uint32_t context) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (context == 0 || context == kAboutHelpContext || layer == nullptr) return 0;
  return layer->ShowHelp(windowId, State().file.c_str(), kHelpContext, context);
}

int32_t HandleHelpHookMessage(int32_t dialogId, uint32_t message, uint32_t context) {
  if (State().hookMessage == 0 || message != State().hookMessage) return 0;
  ShowHelpContext(dialogId, context);
  return 1;
}

bool HelpModeKey(uint32_t virtualKey, bool shiftDown) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return false;
  if (virtualKey == vk::kF1 && shiftDown) {
    if (layer->IsHelpMode()) {
      EndHelpMode();
    } else {
      StartHelpMode();
    }
    return true;
  }
  if (virtualKey == vk::kEscape && layer->IsHelpMode()) {
    EndHelpMode();
    return true;
  }
  return false;
}

void StartHelpMode() {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr || layer->IsHelpMode()) return;
  layer->SetHelpMode(true);
  layer->PushCursor(kCursorHelp, 0);
}

// The cursor goes with the mode, so a second end pops nothing of anyone else's.
void EndHelpMode() {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr || !layer->IsHelpMode()) return;
  layer->SetHelpMode(false);
  layer->PopCursor();
}

bool HelpModeNonClientClick(int32_t windowId, int32_t hitTest) {
  const uint32_t context = NonClientHelpContext(hitTest);
  if (context == 0) return false;
  EndHelpMode();
  ShowHelpContext(windowId, context);
  return true;
}

void HelpModeFrameCommand(int32_t frameId, uint32_t command) {
  EndHelpMode();
  const uint32_t context = CommandHelpContext(static_cast<int32_t>(command));
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (context != 0) {
    ShowHelpContext(frameId, context);
  } else if (layer != nullptr) {
    layer->ShowMessageBox(frameId, kMessageBoxInformation, kNoCommandTopic);
  }
}

bool HelpModePopupCommand(int32_t windowId, int32_t item) {
  EndHelpMode();
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return false;
  const uint32_t context = PopupItemHelpContext(GetWindowKindAt(layer->GetFocusWindow()), item);
  if (context == 0) return false;
  ShowHelpContext(windowId, context);
  return true;
}

void HelpModeClientClick(int32_t windowId, bool frame) {
  EndHelpMode();
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return;
  const uint32_t context = FocusedContext(*layer);
  if (context != 0) {
    ShowHelpContext(windowId, context);
  } else {
    layer->ShowMessageBox(windowId, kMessageBoxInformation, frame ? kNoFrameTopic : kNoChildTopic, kNoTopicCaption);
  }
}

void NoteFrameMenuSelect(uint32_t item, uint32_t flags, bool closing, bool menuBarTitle) {
  g_menuSelection.item = closing || menuBarTitle ? 0 : item;
  g_menuSelection.flags = flags;
}

void FrameHelpHookMessage(int32_t frameId, uintptr_t code) {
  if (code != kHelpHookMenu) return;
  if ((g_menuSelection.flags & (kMenuFlagPopup | kMenuFlagSystem)) != 0) return;
  const uint32_t context = CommandHelpContext(static_cast<int32_t>(g_menuSelection.item));
  if (context != 0) ShowHelpContext(frameId, context);
}

}  // namespace zentor
