#pragma once
// The ways the one thread lets window messages through, from the most to the least
// permissive. The command loop owns the thread, so the GUI never runs a loop of its
// own: the command loop calls RunMessageLoop while it waits for input (one message
// each time), long operations call PumpWhileBusy (what is pending, keeping the screen
// alive and typing into the Command window, nothing that could start a command), the
// user-break check calls CheckUserBreak (keyboard input only, looking for Ctrl+C or
// Ctrl+Break), and the layer pumps or drops the pending messages of one number. All of
// them do nothing while message pumping is switched off (core/busy_pump.h).
//
// The queue itself is a port: the Win32 one holds the real message queue and the
// accelerator tables; the native tests give a queue of their own messages.

#include <cstdint>

#include "gui/layer_messages.h"

namespace zentor {

// An accelerator table as the queue names it; 0 is none.
using NativeAccelerators = uintptr_t;

class MessageQueue {
 public:
  virtual ~MessageQueue() = default;
  // Waits for the next message of any window of the thread (GetMessage); the quit
  // message comes as msg::kQuit.
  virtual LayerMessage WaitForNext() = 0;
  // Removes the first pending message numbered first..last (both 0: any); false when
  // there is none, without waiting.
  virtual bool TakePending(uint32_t first, uint32_t last, LayerMessage* message) = 0;
  // TranslateMessage: a key down makes its character message.
  virtual void Translate(const LayerMessage& message) = 0;
  virtual void Dispatch(const LayerMessage& message) = 0;
  virtual bool IsDialogMessage(NativeWindow dialog, const LayerMessage& message) = 0;
  virtual bool TranslateAccelerator(NativeWindow frame, NativeAccelerators table, const LayerMessage& message) = 0;
  virtual NativeAccelerators LoadAccelerators(const char* name) = 0;
  virtual void PostQuit(int32_t code) = 0;
  // GetKeyState: the key held down as of the message last taken.
  virtual bool IsKeyDown(uint32_t virtualKey) = 0;
  // Takes Ctrl out of the keyboard state, so that a Ctrl still held does not modify
  // the next key.
  virtual void ReleaseControlKey() = 0;
  // The active top-level window of the thread (GetActiveWindow).
  virtual NativeWindow ActiveWindow() = 0;
  // WaitMessage: returns when a message arrives.
  virtual void WaitForMessage() = 0;
};

// Installs the program's queue (the caller keeps it alive); null: none, and the pumps
// do nothing. Returns the one installed before.
MessageQueue* InstallMessageQueue(MessageQueue* queue);
MessageQueue* InstalledMessageQueue();

// Bits of the activity flags.
inline constexpr uint32_t kActivityMouse = 1;
inline constexpr uint32_t kActivityKey = 2;

// One round of the main loop: the layer's timers run, one message is waited for and
// routed (a modeless dialog's first, then the frame's accelerators, then the window).
// 0, or -1 when it was the quit message.
int32_t RunMessageLoop(NativeWindow frame);
// The same round over a message already waiting; with none it does nothing and
// answers 0 at once.
int32_t RunPendingMessage(NativeWindow frame);
// Handles what is pending without waiting, letting through repaints, activation,
// moves and typing into the Command window; everything that could start a command is
// dropped.
void PumpWhileBusy(NativeWindow frame);
// Looks at the pending keyboard input only: 1 when Ctrl+C or Ctrl+Break was pressed
// (what was typed ahead of the break is dropped with every pending message but the
// paints, the quit message and the timers), else 0 after a PumpWhileBusy round.
int32_t CheckUserBreak(NativeWindow frame);
void PumpMessagesOfType(uint32_t message);
void DiscardMessagesOfType(uint32_t message);
void WaitForMessage();
// The accelerator table the main loop translates with from now on.
NativeAccelerators LoadAcceleratorTable(const char* name);
NativeAccelerators AcceleratorTableInUse();

void ClearActivityFlags();
// 1 when any bit of the mask is set.
int32_t TestActivityFlags(uint32_t mask);
// 1 while CheckUserBreak runs.
bool IsCheckingUserBreak();

// What a key press or a mouse button tells the rest of the GUI (the status text comes
// back); the run-control state installs it. Without one, nothing.
using UserActivityHook = void (*)();
void SetUserActivityHook(UserActivityHook hook);

// The window that takes typing while the program is busy besides those titled
// "Command" or "Input/Output": the frame's client area, where the Command window lives.
void SetBusyTypingWindow(NativeWindow window);

// The message loop's state back to its start: flags clear, no accelerator table, no
// hook, no typing window.
void ResetMessageLoop();

}  // namespace zentor
