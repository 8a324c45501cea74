#pragma once
// The Command window's pane: the last 100 completed output lines, the line in
// progress into which output and the echo of typed keys are written, the caret at the
// input column, vertical scrolling through the scroll-back, horizontal scrolling over
// 127 columns, and the keys that scroll it (every other key goes to the key queue for
// the console input). There is one pane for the whole program, whatever the number of
// Command window objects: closing the window forgets only the window, so the next one
// shows the same scroll-back, line in progress and input column. It draws through the
// window layer in element 4 of the current viewpoint's colours. The console output
// bridge reaches it through CommandPaneShell, the GUI shell's output primitives. Its
// operations are CommandWindow's (command_window.h).

#include <cstddef>
#include <cstdint>

#include "core/hi_service.h"
#include "core/text_pane.h"
#include "gui/layer_types.h"
#include "windows/command_window.h"

namespace zentor {

inline constexpr int32_t kCommandScrollBack = 100;
// The line in progress holds at most 511 characters and its terminator.
inline constexpr int32_t kCommandLineSize = 512;
inline constexpr int32_t kCommandMaxColumns = 127;

// The three words of the line editor's notice 0x1f5: a direction (303 moves the view
// left), a count of columns and the caret's column counted from 1.
struct CommandShiftRequest {
  int32_t direction;
  int32_t count;
  int32_t caretColumn;
};

// The GUI shell's Command window part: the console output bridge's decoded output,
// the caret, the beep and the column effects of keys taken from the key queue. The
// program's shell derives from it for the rest of the service entry.
class CommandPaneShell : public GuiShell {
 public:
  void WriteText(const char* text, std::size_t count) override;
  void LineFeed() override;
  void ColumnToStart() override;
  void InputColumnToStart() override;
  void RowUp() override;
  void RowDown() override;
  void CursorRight() override;
  void CursorLeft() override;
  void MoveCursor(uint8_t column, uint8_t row) override;
  void Beep() override;
  void ShowCommandCaret() override;
  void KeyTaken(uint32_t key) override;

  // The console output's row and column in the Command window.
  static int32_t OutputRow();
  static int32_t OutputColumn();
};

}  // namespace zentor
