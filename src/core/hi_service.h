#pragma once
// The one entry through which the engine, the command language and the target link
// ask the GUI for its services (start-up, shut-down, message pumping, busy cursors,
// the user-break check), plus the engine-to-GUI notification and the repaint of the
// status line (status_line.h).
// In console mode there are no windows: every request is a no-op answering 0, except
// the user-break check. The windowed GUI plugs in through GuiShell.

#include <cstddef>
#include <cstdint>

#include "core/status_line.h"

namespace zentor {

// Request codes of HiService that callers name.
enum GuiRequest : uint32_t {
  kGuiStartUp = 0,
  kGuiShutDown = 17,
  kGuiFirstCommandOutput = 23,
  kGuiCheckUserBreak = 24,
  kGuiPumpWhileBusy = 25,
  kGuiWaitForCommand = 56,
  kGuiBusyCursor = 57,
  kGuiPopCursor = 58,
  kGuiIsCommandWindowFocused = 59,
  kGuiArrowCursor = 60,
  kGuiRunMessageLoopOnce = 61,
  kGuiResetCursors = 64,
  kGuiShowSourceAndCommand = 65,
  kGuiEnterRunState = 100,
};

// Notification codes of NotifyGui used by the console side.
inline constexpr uint32_t kNotifyStartupMacro = 0x41;
inline constexpr uint32_t kNotifyBatchFile = 0x46;
inline constexpr uint32_t kNotifyColourScheme = 0x4a;
inline constexpr uint32_t kNotifyCommandLineScroll = 501;
inline constexpr uint32_t kNotifyExit = 733;
inline constexpr uint32_t kCommandWindowKind = 10;

// What the windowed GUI provides. The console program installs none; tests install
// fakes. Every operation has a do-nothing default.
class GuiShell {
 public:
  virtual ~GuiShell() = default;

  // A HiService request in GUI mode (every code but the user-break check).
  virtual int32_t Request(uint32_t code) { return 0; }
  // The user-break check in GUI mode: the pending keyboard input is looked at (a key
  // typed into the Command window reaches it, a Ctrl+C there is queued as key 3);
  // 1 when Ctrl+C or Ctrl+Break was pressed.
  virtual int32_t CheckUserBreak() { return 0; }
  virtual int32_t Notify(uint32_t windowKind, uint32_t windowArgument, uint32_t code,
                         const void* value) {
    return 0;
  }
  // Repaints the parts of the General window the mask selects (kStatusPaneLine: the
  // status line, which it reads from the current viewpoint's status text).
  virtual void RefreshStatusPane(uint32_t mask) {}

  // One pass of the message loop before a key is read; false when the session is to
  // end (a quit message).
  virtual bool WaitForInputRound() { return true; }
  virtual void ShowCommandCaret() {}
  virtual void Beep() {}

  // Command window output, already decoded from the console control codes.
  virtual void WriteText(const char* text, std::size_t count) {}
  virtual void LineFeed() {}
  virtual void ColumnToStart() {}       // CR: output and input column 0
  virtual void InputColumnToStart() {}  // input column 0 only
  virtual void RowUp() {}
  virtual void RowDown() {}
  virtual void CursorRight() {}
  virtual void CursorLeft() {}
  virtual void MoveCursor(uint8_t column, uint8_t row) {}
  // A key was taken from the key queue: the Command window's columns follow the keys
  // that move them (13 and 252 the input column to 0, 243 and 244 the output column).
  virtual void KeyTaken(uint32_t key) {}
};

// Installs the windowed GUI (null: none). The caller keeps the object alive.
void InstallGuiShell(GuiShell* shell);
GuiShell* InstalledGuiShell();

// Console mode: no windows; input from the standard input, output to the standard
// output. The native build always runs in it; the Windows build selects it through
// the invocation settings.
void SetConsoleMode(bool on);
bool IsConsoleMode();

// The service entry back to its start state: no shell, console mode as given, state
// word 0, not ready for GUI commands, no window command running, no key waiting in the
// Command window's queue.
void ResetGuiServiceEntry(bool consoleMode);

// The command loop's state word that start-up and request 100 set.
void SetGuiStateWord(uint32_t word);
uint32_t GuiStateWord();

// 1 while a command a window started (a custom button's) runs, 0 when it ended. Such a
// command reports its errors as a typed one does, in the command output, though the
// focus is on the button that started it.
void SetWindowCommandFlag(uint32_t running);
bool IsWindowCommandRunning();

// The GUI service entry. Console mode: 0 for every request; request 24 reads and
// clears the user-break flag (1 when a break was pending). GUI mode: request 24 also
// asks the installed shell to look at the keyboard and takes a Ctrl+C waiting in the
// key queue (and flushes the queue); other requests go to the installed shell, 0
// without one.
int32_t HiService(uint32_t request);

// Request 0: the windows come up (colours, first windows, invocation settings).
void StartGui();
// Request 56, then the debugger takes command texts from the GUI.
void SignalGuiReady();
// Set once by SignalGuiReady: the command runner refuses command texts before.
bool GuiReadyFlag();

// Engine-to-GUI notification; nothing in console mode.
int32_t NotifyGui(uint32_t windowKind, uint32_t windowArgument, uint32_t code, const void* value);
// Asks the GUI to apply the window layout settings read meanwhile (notice 0x3e of
// the dispatcher's own kind).
void RequestLayoutApply();

// Asks the General window to repaint the parts the mask selects; nothing in console
// mode.
void RefreshStatusPane(uint32_t mask);

}  // namespace zentor
