#pragma once
// The Command window's pane: the last 100 completed output lines, the line in
// progress into which output and the echo of typed keys are written, the caret at the
// input column, vertical scrolling through the scroll-back, horizontal scrolling over
// 127 columns, and the keys that scroll it (every other key goes to the key queue for
// the console input). There is one pane for the whole program, whatever the number of
// Command window objects: closing the window forgets only the window, so the next one
// shows the same scroll-back, line in progress and input column. It draws through the
// window layer in element 4 of the current viewpoint's colours. The console output
// bridge reaches it through CommandPaneShell, the GUI shell's output primitives.

#include <cstddef>
#include <cstdint>

#include "core/hi_service.h"
#include "core/text_pane.h"
#include "gui/layer_types.h"

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

class CommandWindow {
 public:
  // The first Command window's layer id: recorded, 80 columns until the first layout.
  static void InitPane(int32_t layerId);
  // Forgets the window (its layer window closed and destroyed); the text stays.
  static void ClosePane();
  static int32_t WindowId();

  // Output into the line in progress; a text ending in CR or LF completes the line.
  static void WriteText(const char* text, std::size_t length);
  static void WriteChar(char ch);
  static int32_t InputColumn();
  // Sets the input column (kept within 0..511); a column other than 0 moves the caret.
  static void RestoreCaret(int32_t column);
  // The caret at the input column on the input row.
  static void PlaceCaret();
  // Redraws the part of the pane within the rectangle (null: the whole client area).
  static void Repaint(const LayerRect* area);
  // Rows, columns and the bars after a size or font change.
  static void Relayout(int32_t layerId);

  // Keys (internal codes) and focus.
  static void HandleKey(int32_t code);
  static void HandleFocus(bool gained);
  static void HandleVerticalScroll(int32_t layerId, int32_t code, int32_t position);
  static void HandleHorizontalScroll(int32_t layerId, int32_t code, int32_t position);
  // The notice of kind 10: 0x1f5 shifts the view for the line editor (0), any other
  // code answers -1.
  static int32_t OnEngineNotice(uint32_t argument, uint32_t code, const void* words);
  static void ShiftHorizontally(int32_t direction, int32_t count, int32_t caretColumn);

  static void ScrollToTop();
  static void ScrollToBottom();
  static void PageUp();
  static void PageDown();
  static void LineUp();
  static void LineDown();
  static void ScrollToLine(int32_t position);

  // What the pane holds, for the layout code and the tests: completed line `index`
  // (0 = oldest; empty when none), the line in progress, the numbers of the view.
  static const char* StoredLine(int32_t index);
  static const char* LineInProgress();
  static int32_t CurrentLineIndex();
  static bool IsFull();
  static int32_t TopLine();
  static int32_t BottomLine();
  static int32_t Rows();
  static int32_t Columns();
  // The window's view of the pane: visible rows and columns, left column, 127 columns.
  static TextPane& View();

  // Back to the start of a run: no window, no text.
  static void Reset();
};

// Stored by the frame before it makes a Command window; read when the window is placed.
void SetCommandWindowGeometry(int32_t windowId, const LayerRect* area, int32_t mode);
int32_t CommandWindowPlacementMode();
const LayerRect& CommandWindowPlacement();

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
