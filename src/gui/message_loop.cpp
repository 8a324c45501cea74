#include "gui/message_loop.h"

#include <cstring>

#include "core/busy_pump.h"
#include "gui/gui_window_layer.h"
#include "gui/key_translation.h"
#include "gui/window_table.h"

namespace zentor {
namespace {

struct LoopState {
  MessageQueue* queue = nullptr;
  uint32_t activityFlags = 0;
  bool checkingBreak = false;
  NativeAccelerators accelerators = 0;
  UserActivityHook activityHook = nullptr;
  NativeWindow busyTypingWindow = 0;
};

LoopState& State() {
  static LoopState state;
  return state;
}

bool IsMouseDown(uint32_t message) {
  switch (message) {
    case msg::kNcLeftButtonDown:
    case msg::kNcRightButtonDown:
    case msg::kNcMiddleButtonDown:
    case msg::kLeftButtonDown:
    case msg::kLeftButtonDoubleClick:
    case msg::kRightButtonDown:
    case msg::kRightButtonDoubleClick:
    case msg::kMiddleButtonDown:
    case msg::kMiddleButtonDoubleClick:
      return true;
    default:
      return false;
  }
}

void NoteUserActivity(uint32_t bit) {
  State().activityFlags |= bit;
  if (State().activityHook != nullptr) State().activityHook();
}

// A key message's virtual key has a translation (function and cursor keys): such keys
// act on windows and never get through while the program is busy.
bool HasKeyTranslation(MessageQueue& queue, uintptr_t virtualKey) {
  uint32_t code = static_cast<uint32_t>(virtualKey) + kVirtualKeyCodeBase;
  return TranslateKey(code, queue.IsKeyDown(vk::kShift), queue.IsKeyDown(vk::kControl));
}

// Typing goes through to the Command window while busy: a window titled "Command" or
// "Input/Output" (by its first 19 characters), or the frame's client area, which is
// the Command window and has no title.
bool TakesTypingWhileBusy(NativeWindow window) {
  if (window == 0) return false;
  if (window == State().busyTypingWindow) return true;
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return false;
  char title[20] = {};
  layer->System().GetWindowText(window, title, sizeof title);
  return std::strcmp(title, "Command") == 0 || std::strcmp(title, "Input/Output") == 0;
}

// What a window procedure kept of an error the command loop must see is raised once
// the message is handled.
void Handle(MessageQueue& queue, const LayerMessage& message) {
  queue.Translate(message);
  queue.Dispatch(message);
  RaisePendingWindowError();
}

// What a busy pump lets through to a window other than the frame.
bool PassesWhileBusy(MessageQueue& queue, const LayerMessage& message) {
  switch (message.message) {
    case msg::kActivate:
    case msg::kNcActivate:
    case msg::kActivateApp:
    case msg::kMouseActivate:
    case msg::kChildActivate:
    case msg::kPaint:
    case msg::kNcPaint:
    case msg::kEraseBackground:
    case msg::kSetCursor:
    case msg::kNcHitTest:
    case msg::kGetText:
      return true;
    case msg::kNcLeftButtonDown:
      return message.wParam == hit::kCaption || message.wParam == hit::kClient;
    case msg::kKeyDown:
    case msg::kKeyUp:
      return !HasKeyTranslation(queue, message.wParam);
    case msg::kChar:
      return TakesTypingWhileBusy(message.window);
    default:
      return false;
  }
}

bool PassesWhileBusyToFrame(const LayerMessage& message) {
  switch (message.message) {
    case msg::kNcLeftButtonDown:
      return message.wParam == hit::kClient || message.wParam == hit::kCaption ||
             message.wParam == hit::kMinimizeButton || message.wParam == hit::kMaximizeButton;
    case msg::kNcLeftButtonDoubleClick:
    case msg::kTimer:
      return false;
    default:
      return true;
  }
}

// The pending messages a break drops: everything up to message 1024 but the paints,
// the quit message (the session's end must not be lost) and the layer's timers (they
// would stop being polled).
constexpr struct {
  uint32_t first;
  uint32_t last;
} kDroppedAfterBreak[] = {
    {0, msg::kPaint - 1},
    {msg::kPaint + 1, msg::kQuit - 1},
    {msg::kQuit + 1, msg::kTimer - 1},
    {msg::kTimer + 1, 1024},
};

// 1. The layer's timers run before the wait, so they are polled once per round
//    whatever message ends the wait; they stay off while the message is handled. A
//    round that must not wait ends at once when no message is there.
// 2. Mouse buttons and keys going down are the user's activity.
// 3. A modeless dialog takes its own messages (Tab, Enter); the first that takes one
//    ends the round.
// 4. The frame's accelerators come before the window the message is for.
int32_t RunLoopRound(NativeWindow frame, bool wait) {
  MessageQueue* queue = State().queue;
  if (!IsPumpingEnabled() || queue == nullptr) return 0;
  LayerMessage message;
  if (!wait && !queue->TakePending(0, 0, &message)) return 0;
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer != nullptr) layer->RunTimers();
  if (wait) message = queue->WaitForNext();
  if (layer != nullptr) layer->SuspendTimers();
  if (IsMouseDown(message.message)) NoteUserActivity(kActivityMouse);
  if (message.message == msg::kKeyDown) NoteUserActivity(kActivityKey);
  if (layer != nullptr) {
    for (int32_t id = 0; id < kLayerSlotCount; ++id) {
      if (layer->GetWindowType(id) == static_cast<int32_t>(kLayerModelessDialog) &&
          queue->IsDialogMessage(layer->Handle(id), message)) {
        RaisePendingWindowError();
        return 0;
      }
    }
  }
  if (message.message == msg::kQuit) return -1;
  if (queue->TranslateAccelerator(frame, State().accelerators, message)) {
    RaisePendingWindowError();
  } else {
    Handle(*queue, message);
  }
  return 0;
}

}  // namespace

MessageQueue* InstallMessageQueue(MessageQueue* queue) {
  MessageQueue* previous = State().queue;
  State().queue = queue;
  return previous;
}

MessageQueue* InstalledMessageQueue() { return State().queue; }

int32_t RunMessageLoop(NativeWindow frame) { return RunLoopRound(frame, true); }

int32_t RunPendingMessage(NativeWindow frame) { return RunLoopRound(frame, false); }

void PumpWhileBusy(NativeWindow frame) {
  MessageQueue* queue = State().queue;
  if (!IsPumpingEnabled() || queue == nullptr) return;
  LayerMessage message;
  while (queue->TakePending(0, 0, &message)) {
    if (message.message == msg::kQuit) {
      // The session's end waits for the main loop.
      queue->PostQuit(static_cast<int32_t>(message.wParam));
      break;
    }
    if (IsMouseDown(message.message)) State().activityFlags |= kActivityMouse;
    const bool passes =
        message.window == frame ? PassesWhileBusyToFrame(message) : PassesWhileBusy(*queue, message);
    if (passes) Handle(*queue, message);
  }
  // A modal dialog under an hourglass shows its cursor again once the queue is empty.
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return;
  const int32_t focus = layer->GetFocusWindow();
  if (layer->IsModalDialog(focus) != 0 && layer->Handle(focus) == queue->ActiveWindow() &&
      layer->IsMouseOverLayerWindow() != 0 && layer->TopCursorKind() == kCursorWait) {
    layer->RefreshCursor();
  }
}

// 1. Keyboard messages only, one by one: characters for the Command window are
//    handled, a key down is activity and may be the break; other keys reach the frame,
//    and another window only when they have no translation.
// 2. No break: one busy round for the rest of the queue.
// 3. A break drops what was typed ahead and everything pending that could act on it
//    and lets go of Ctrl.
int32_t CheckUserBreak(NativeWindow frame) {
  MessageQueue* queue = State().queue;
  if (queue == nullptr) return 0;
  State().checkingBreak = true;
  bool userBreak = false;
  LayerMessage message;
  while (!userBreak && queue->TakePending(msg::kKeyFirst, msg::kKeyLast, &message)) {
    if (message.message == msg::kChar) {
      // The frame's characters are its client area's.
      if (message.window == frame || TakesTypingWhileBusy(message.window)) Handle(*queue, message);
    } else if (message.message == msg::kKeyDown) {
      State().activityFlags |= kActivityKey;
      const bool controlC = message.wParam == 'C' && queue->IsKeyDown(vk::kControl);
      if (controlC || message.wParam == vk::kCancel) {
        userBreak = true;
      } else if (message.window == frame || !HasKeyTranslation(*queue, message.wParam)) {
        Handle(*queue, message);
      }
    }
  }
  if (!userBreak) {
    PumpWhileBusy(frame);
    State().checkingBreak = false;
    return 0;
  }
  State().checkingBreak = false;
  for (const auto& range : kDroppedAfterBreak) {
    while (queue->TakePending(range.first, range.last, &message)) {
    }
  }
  queue->ReleaseControlKey();
  return 1;
}

void PumpMessagesOfType(uint32_t number) {
  MessageQueue* queue = State().queue;
  LayerMessage message;
  while (IsPumpingEnabled() && queue != nullptr && queue->TakePending(number, number, &message)) {
    Handle(*queue, message);
  }
}

void DiscardMessagesOfType(uint32_t number) {
  MessageQueue* queue = State().queue;
  LayerMessage message;
  while (IsPumpingEnabled() && queue != nullptr && queue->TakePending(number, number, &message)) {
  }
}

void WaitForMessage() {
  if (State().queue != nullptr) State().queue->WaitForMessage();
}

NativeAccelerators LoadAcceleratorTable(const char* name) {
  if (State().queue == nullptr) return 0;
  State().accelerators = State().queue->LoadAccelerators(name);
  return State().accelerators;
}

NativeAccelerators AcceleratorTableInUse() { return State().accelerators; }

void ClearActivityFlags() { State().activityFlags = 0; }

int32_t TestActivityFlags(uint32_t mask) { return (State().activityFlags & mask) != 0 ? 1 : 0; }

bool IsCheckingUserBreak() { return State().checkingBreak; }

void SetUserActivityHook(UserActivityHook hook) { State().activityHook = hook; }

void SetBusyTypingWindow(NativeWindow window) { State().busyTypingWindow = window; }

void ResetMessageLoop() {
  MessageQueue* queue = State().queue;
  State() = LoopState{};
  State().queue = queue;
}

}  // namespace zentor
