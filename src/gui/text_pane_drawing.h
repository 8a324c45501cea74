#pragma once
// The drawing of a line window's text pane: header rows, text rows in the viewpoint's
// colours, the marker column with its breakpoint letters, the text selection, the
// stretch being dragged, the selected field and the caret; and the mouse of the
// text-selection panes (click, drag, marker-column click). The pane (core) decides
// what shows; the window's port (pane_services.h) and the window base class call these
// to draw it through the window layer. One mouse gesture runs at a time, so its state
// is one for all panes.

#include <cstdint>

#include "core/text_pane.h"
#include "gui/layer_types.h"
#include "gui/window_event.h"

namespace zentor {

class WinSuper;

// The pane's screen elements of the colour settings.
inline constexpr uint32_t kColorElementTitle = 1;
inline constexpr uint32_t kColorElementSelectObject = 10;
inline constexpr uint32_t kColorElementTokenStretch = 11;
inline constexpr uint32_t kColorElementSymbolHighlight = 12;
inline constexpr uint32_t kColorElementExecutionBar = 13;
inline constexpr uint32_t kColorElementNoColor = 15;

// The marker-column character of a line's attribute word: a blank unless 0x4000 or
// 0x8000 is set, lower case with 0x100.
char MarkerCharacter(uint32_t attr);

class TextPaneDrawing {
 public:
  // Rows and columns count as the pane counts them: rows below the headers, columns
  // from the left column (the marker column is left of column 0).
  static void PaintRect(WinSuper& window, const LayerRect& area);
  // Columns first..last of a line (null: an empty line) on a row; last -1 is the last
  // visible column.
  static void DrawLine(WinSuper& window, const PaneLine* line, int32_t firstColumn, int32_t lastColumn, int32_t row);
  static void DrawMarker(WinSuper& window, uint32_t attr, int32_t row, bool current);
  static void DrawMarkerColumn(WinSuper& window);
  // Line `index` of the held lines, whole, when it shows.
  static void DrawLineMarker(WinSuper& window, int32_t index);
  static void DrawSelection(WinSuper& window, int32_t index);
  static void ClearSelection(WinSuper& window, int32_t index);
  // Text columns from..to (document columns, either order) of the press row shown as
  // the dragged stretch, or plain again.
  static void HighlightColumns(WinSuper& window, int32_t from, int32_t to, bool on);
  // The dragged stretch between the two document columns becomes the selection.
  static void FinishDragSelection(WinSuper& window, int32_t pressColumn, int32_t endColumn);
  static void DrawSelectedField(WinSuper& window);
  static void ShowWordAtCursor(WinSuper& window);
  static void ScrollTextRows(WinSuper& window, int32_t rows);
  static void ClearBelowRows(WinSuper& window);
  // The caret at a cell (the row counts the header rows too).
  static void ShowCaret(WinSuper& window, int32_t column, int32_t row, bool wide);

  // Mouse events of a text-selection pane, and the clicks of a field pane.
  static void HandleMouse(WinSuper& window, const WindowEvent& event);
  static void HandleFieldMouse(WinSuper& window, const WindowEvent& event);
  // Set by a button release, cleared by a press: a repaint shows the selection then.
  static bool SelectionShown();
  // The gesture state back to its start (no press, no drag, nothing shown).
  static void ResetMouseState();
};

}  // namespace zentor
