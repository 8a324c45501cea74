#include "gui/message_translation.h"

#include "core/view_kind.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/key_translation.h"
#include "gui/message_loop.h"
#include "gui/scroll_translation.h"
#include "gui/window_placement.h"
#include "gui/window_table.h"

namespace zentor {
namespace {

bool KeyDown(uint32_t virtualKey) {
  MessageQueue* queue = InstalledMessageQueue();
  return queue != nullptr && queue->IsKeyDown(virtualKey);
}

// The frame's id stands for its client area.
int32_t FocusId(int32_t id) {
  return id != kNoLayerId && id == FrameWindow::FrameId() ? FrameWindow::ClientAreaId() : id;
}

void KeyEvent(WindowEvent* event, int32_t code) {
  event->type = kEventKey;
  event->words[0] = code;
  event->words[1] = KeyDown(vk::kShift) ? 1 : 0;
  event->words[2] = KeyDown(vk::kControl) ? 1 : 0;
}

// A moved or sized window keeps its bounds and its kind's placement.
void RecordBounds(GuiWindowLayer& layer, int32_t id) {
  if (id == kNoLayerId) return;
  LayerRect bounds;
  if (layer.GetWindowBounds(id, &bounds) != 0) layer.SetSavedBounds(id, bounds);
  RecordWindowPlacement(id, GetWindowKindAt(id));
}

// Enter while the active window is minimised brings it back.
bool RestoreMinimizedActive(GuiWindowLayer& layer) {
  const int32_t active = layer.GetActiveWindow();
  if (layer.IsMinimized(active) == 0) return false;
  layer.System().ShowWindow(layer.Handle(active), LayerShowMode::Normal);
  layer.ActivateWindow(active);
  return true;
}

// Ctrl+F4 closes the active window, but not the frame nor the Command window (the
// frame's client area, which has no other way of being opened again).
bool ClosesActiveWindow(GuiWindowLayer& layer) {
  const int32_t active = layer.GetActiveWindow();
  if (active == kNoLayerId || active == FrameWindow::FrameId() || active == FrameWindow::ClientAreaId()) return false;
  if (WindowTable::Get(active) != nullptr && GetWindowKindAt(active) == kViewCommand) return false;
  return layer.Record(active) != nullptr;
}

// A key down with a translation; -1 leaves it to the character that follows.
int32_t TranslateKeyDown(GuiWindowLayer& layer, uintptr_t virtualKey, WindowEvent* event) {
  uint32_t code = static_cast<uint32_t>(virtualKey) + kVirtualKeyCodeBase;
  if (!TranslateKey(code, KeyDown(vk::kShift), KeyDown(vk::kControl))) return kTranslateNotHandled;
  const int32_t active = layer.GetActiveWindow();
  switch (code) {
    case kKeyHelp:
      return kTranslateNotHandled;
    case kKeyNextWindow:
      layer.ActivateNextChild();
      return kTranslateNotHandled;
    case kKeyZoom:
      if (layer.Record(active) != nullptr) {
        layer.System().BringWindowToTop(layer.Handle(active));
        layer.System().ShowWindow(layer.Handle(active),
                                  layer.IsMaximized(active) != 0 ? LayerShowMode::Normal : LayerShowMode::Maximized);
      }
      return kTranslateDispatch;
    case kKeyCloseWindow:
      if (ClosesActiveWindow(layer)) {
        layer.System().SendClose(layer.Handle(active));
        return kTranslateDispatch;
      }
      break;
    default:
      break;
  }
  KeyEvent(event, static_cast<int32_t>(code));
  return kTranslateDispatch;
}

int32_t TranslateMouse(uint32_t message, intptr_t p2, WindowEvent* event) {
  int32_t button = 0;
  switch (message) {
    case msg::kMouseMove: event->type = kEventMouseMove; break;
    case msg::kLeftButtonDown: event->type = kEventMouseDown; break;
    case msg::kLeftButtonUp: event->type = kEventMouseUp; break;
    case msg::kLeftButtonDoubleClick: event->type = kEventDoubleClick; break;
    case msg::kRightButtonDown: event->type = kEventMouseDown; button = 2; break;
    case msg::kRightButtonUp: event->type = kEventMouseUp; button = 2; break;
    case msg::kRightButtonDoubleClick: event->type = kEventDoubleClick; button = 2; break;
    case msg::kMiddleButtonDown: event->type = kEventMouseDown; button = 1; break;
    case msg::kMiddleButtonUp: event->type = kEventMouseUp; button = 1; break;
    default: event->type = kEventDoubleClick; button = 1; break;
  }
  event->words[0] = SignedHighWord(p2);
  event->words[1] = SignedLowWord(p2);
  event->words[2] = KeyDown(vk::kShift) ? 1 : 0;
  event->words[3] = KeyDown(vk::kControl) ? 1 : 0;
  event->words[4] = button;
  return kTranslateDispatch;
}

}  // namespace

int32_t TranslateLayerMessage(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2, WindowEvent* event) {
  *event = WindowEvent{};
  GuiWindowLayer* installed = InstalledGuiWindowLayer();
  if (installed == nullptr || installed->IsHelpMode()) return kTranslateNotHandled;
  GuiWindowLayer& layer = *installed;
  LayerSystem& system = layer.System();
  const int32_t id = layer.IdOf(window);

  if (message >= msg::kMouseMove && message <= msg::kMiddleButtonDoubleClick) return TranslateMouse(message, p2, event);
  switch (message) {
    case msg::kMouseActivate:
      layer.ActivateWindow(id);
      return kTranslateNotHandled;
    case msg::kDestroy:
      event->type = kEventDestroyed;
      return kTranslateDispatch;
    case msg::kMove:
      system.BringWindowToTop(window);
      if (!system.IsIconic(window) && !system.IsZoomed(window)) RecordBounds(layer, id);
      return kTranslateNotHandled;
    case msg::kSize: {
      LayerRect client = system.GetClientRect(window);
      int32_t kind = kSizeOther;
      if (p1 == sizing::kMinimized) {
        kind = kSizeMinimized;
      } else if (p1 == sizing::kMaximized) {
        kind = kSizeMaximized;
        const NativeWindow parent = system.GetParent(window);
        if (parent != 0) client = system.GetClientRect(parent);
      } else {
        RecordBounds(layer, id);
      }
      event->type = kEventSize;
      event->words[0] = client.bottom - client.top;
      event->words[1] = client.right - client.left;
      event->words[2] = kind;
      return kTranslateDispatch;
    }
    case msg::kSetFocus:
      layer.HideCaret(0);
      layer.NoteActiveWindow(FocusId(id));
      event->type = kEventFocus;
      event->words[0] = 1;
      return kTranslateDispatch;
    case msg::kKillFocus: {
      layer.HideCaret(0);
      event->type = kEventFocus;
      event->windowId = FocusId(id);
      event->words[0] = 0;
      const NativeWindow receiving = static_cast<NativeWindow>(p1);
      const NativeWindow receivingParent = receiving != 0 ? system.GetParent(receiving) : 0;
      if (receivingParent != 0 &&
          layer.GetWindowType(layer.IdOf(receivingParent)) == static_cast<int32_t>(kLayerModelessDialog)) {
        layer.PostCaptionInactive(id);
      }
      return kTranslateDispatch;
    }
    case msg::kPaint:
      event->type = kEventPaint;
      return kTranslateDispatch;
    case msg::kClose:
      event->type = kEventClose;
      DiscardMessagesOfType(msg::kLeftButtonUp);
      return kTranslateDispatch;
    case msg::kNcActivate: {
      const int32_t focusId = FocusId(id);
      if (p1 == 0) {
        if (focusId == FocusId(layer.GetActiveWindow())) return kTranslateNotHandled;
        event->type = kEventFocus;
        event->words[0] = 0;
        return kTranslateDispatchAndDefault;
      }
      layer.NoteActiveWindow(focusId);
      event->type = kEventFocus;
      event->words[0] = 1;
      return kTranslateDispatchAndDefault;
    }
    case msg::kCommand:
      if (id != kNoLayerId) {
        event->type = kEventCommand;
        event->windowId = id;
        event->words[0] = static_cast<int32_t>(LowWord(p1));
      }
      return kTranslateDispatch;
    case msg::kSysCommand:
      if (p1 == kNextWindowSystemCommand) layer.ActivateNextChild();
      return kTranslateNotHandled;
    case msg::kHScroll:
    case msg::kVScroll: {
      const uint32_t bar = message == msg::kVScroll ? kScrollBarVertical : kScrollBarHorizontal;
      int32_t code = 0;
      int32_t position = 0;
      if (TranslateScrollCode(LowWord(p1), system.GetScrollInfo(window, bar), &code, &position)) {
        event->type = message == msg::kVScroll ? kEventVScroll : kEventHScroll;
        event->words[0] = code;
        event->words[1] = position;
      }
      return kTranslateDispatch;
    }
    case msg::kChar: {
      if (p1 == vk::kReturn && RestoreMinimizedActive(layer)) return kTranslateDispatch;
      if (FocusId(id) == FocusId(layer.GetActiveWindow())) {
        KeyEvent(event, static_cast<int32_t>(TranslateCharacter(static_cast<uint32_t>(p1), KeyDown(vk::kShift))));
      }
      return kTranslateDispatch;
    }
    case msg::kSysKeyDown:
      if (p1 == vk::kReturn && RestoreMinimizedActive(layer)) return kTranslateDispatch;
      return TranslateKeyDown(layer, p1, event);
    case msg::kKeyDown:
      return TranslateKeyDown(layer, p1, event);
    case msg::kSysChar: {
      uint32_t code = 0;
      if (!TranslateSystemCharacter(static_cast<uint32_t>(p1), code)) return kTranslateNotHandled;
      KeyEvent(event, static_cast<int32_t>(code));
      return kTranslateDispatch;
    }
    default:
      return kTranslateNotHandled;
  }
}

}  // namespace zentor
