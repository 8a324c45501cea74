#include "gui/text_pane_drawing.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "core/view_kind.h"
#include "gui/color_settings.h"
#include "gui/color_table.h"
#include "gui/general_window.h"
#include "gui/gui_window_layer.h"
#include "gui/pane_services.h"
#include "gui/win_super.h"

namespace zentor {

namespace {

// The letters of the marker column by the low byte of a line's attribute word; every
// index not listed is a blank.
struct MarkerLetter {
  uint8_t bits;
  char letter;
};
constexpr MarkerLetter kMarkerLetters[] = {
    {1, 'T'},   {2, 'H'},   {4, 'P'},   {6, 'M'},   {8, 'C'},   {10, 'M'},  {16, '+'},
    {18, '+'},  {20, '+'},  {24, '+'},  {32, 'B'},  {34, 'M'},  {48, '+'},
};

constexpr std::array<char, 256> BuildMarkerTable() {
  std::array<char, 256> table{};
  for (char& entry : table) entry = ' ';
  for (const MarkerLetter& marker : kMarkerLetters) table[marker.bits] = marker.letter;
  return table;
}
constexpr std::array<char, 256> kMarkerTable = BuildMarkerTable();

// The Source window's line request for a click in its marker column.
constexpr int32_t kSourceToggleBreak = 0x72;
// A mouse that went no further than this from its press (in pixels) clicked.
constexpr int32_t kDragThreshold = 2;
constexpr int32_t kLeftButton = 0;

struct CellColors {
  uint32_t background;
  uint32_t text;
};

// The one gesture of the mouse: its press (pixel x, row below the headers, cell
// column with the marker column as 0), the column the drag reached (-1 while nothing
// is highlighted) and the flags of the gesture.
struct MouseGesture {
  int32_t pressX = 0;
  int32_t pressRow = 0;
  int32_t pressColumn = 0;
  int32_t dragEnd = -1;
  bool dragging = false;
  bool moved = false;
  bool captured = false;
  bool selectionShown = false;
};
MouseGesture g_mouse;

CellColors ElementColors(const WinSuper& window, uint32_t element) {
  return CellColors{ColorSettings::GetColor(window.GetViewpoint(), element, 0),
                    ColorSettings::GetColor(window.GetViewpoint(), element, 1)};
}

// A line's own colours: the execution bar or the client area, the highlight's text
// colour for a line with marker bits, and "nocolor" for the attribute exactly 0x800.
CellColors LineColors(const WinSuper& window, uint32_t attr) {
  if (attr == kLineNoColor) return ElementColors(window, kColorElementNoColor);
  CellColors colors = ElementColors(window, (attr & kLineExecutionBar) != 0 ? kColorElementExecutionBar
                                                                            : kColorElementClientArea);
  if ((attr & kLineMarkerBits) != 0) colors.text = ColorSettings::GetColor(window.GetViewpoint(), kColorElementHilight, 1);
  return colors;
}

uint32_t AttrOf(const PaneLine* line) { return line != nullptr ? line->attr : 0; }

// The characters of a line that can be read: none without text.
int32_t TextLength(const PaneLine* line) {
  return line != nullptr && line->text != nullptr ? std::max(line->length, 0) : 0;
}

int32_t MarkerCells(const WinSuper& window) { return window.GetTextPane().markerColumn ? 1 : 0; }

// Pixels of a text row's bottom and of a view column's left edge.
int32_t RowBottom(const WinSuper& window, int32_t row) {
  return (row + window.GetTextPane().HeaderCount() + 1) * window.GetLineHeight();
}
int32_t ColumnLeft(const WinSuper& window, int32_t column) {
  return (column + MarkerCells(window)) * window.GetCharWidth();
}

LayerRect ClientRect(const WinSuper& window) {
  LayerRect client;
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr || layer->GetClientArea(window.LayerWindowId(), &client) == nullptr) return LayerRect{};
  return client;
}

// Fills the pixels top..bottom, left..right (the last ones excluded) with a colour.
void FillPixels(const WinSuper& window, int32_t top, int32_t left, int32_t bottom, int32_t right, uint32_t color) {
  if (bottom <= top || right <= left) return;
  const LayerRect area{top, left, bottom - 1, right - 1};
  ClearPaneRect(window.LayerWindowId(), &area, color);
}

// Blanks over view columns first..last of a text row, in any number: padding is a
// filled rectangle, however wide the area.
void FillCells(const WinSuper& window, int32_t firstColumn, int32_t lastColumn, int32_t row, uint32_t color) {
  if (lastColumn < firstColumn) return;
  const int32_t bottom = RowBottom(window, row);
  FillPixels(window, bottom - window.GetLineHeight(), ColumnLeft(window, firstColumn), bottom,
             ColumnLeft(window, lastColumn + 1), color);
}

void DrawCells(const WinSuper& window, int32_t column, int32_t row, const char* text, int32_t count,
               const CellColors& colors) {
  if (count <= 0) return;
  DrawPaneTextAt(window.LayerWindowId(), ColumnLeft(window, column), RowBottom(window, row), text, count,
                 colors.background, colors.text);
}

bool RowShows(const TextPane& pane, int32_t row) { return row >= 0 && row < pane.rows; }

bool CanDraw(const WinSuper& window) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  return layer != nullptr && window.GetLineHeight() > 0 && window.GetCharWidth() > 0 &&
         layer->IsMinimized(window.LayerWindowId()) == 0;
}

// Document columns from..to of a line, clipped to its text and to the view's left
// edge, in the colours given.
void DrawTextStretch(WinSuper& window, int32_t index, int32_t from, int32_t to, const CellColors& colors) {
  const TextPane& pane = window.GetTextPane();
  const int32_t row = index - pane.top;
  const PaneLine* line = pane.LineAt(index);
  if (!RowShows(pane, row) || line == nullptr || !CanDraw(window)) return;
  const int32_t first = std::max({from, pane.leftColumn, 0});
  const int32_t last = std::min(to, TextLength(line) - 1);
  if (last < first) return;
  DrawCells(window, first - pane.leftColumn, row, line->text + first, last - first + 1, colors);
}

int32_t CeilDiv(int32_t value, int32_t divisor) { return value / divisor + (value % divisor > 0 ? 1 : 0); }

bool CurrentLineHasFields(const TextPane& pane) {
  const PaneLine* line = pane.LineAt(pane.top + pane.row);
  return line != nullptr && line->fields != nullptr && line->fields->count > 0;
}

void EndDrag(WinSuper& window) {
  if (g_mouse.captured) {
    if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) {
      layer->ReleaseMouse(window.LayerWindowId());
      layer->PopCursor();
    }
  }
  g_mouse.captured = false;
  g_mouse.dragging = false;
}

// The document column of a cell column of the client area.
int32_t DocumentColumn(const WinSuper& window, int32_t cellColumn) {
  return cellColumn - MarkerCells(window) + window.GetTextPane().leftColumn;
}

// Columns first..last of the press row as the dragged stretch, or plain; none when
// last < first.
void HighlightRange(WinSuper& window, int32_t first, int32_t last, bool on) {
  if (last >= first) TextPaneDrawing::HighlightColumns(window, first, last, on);
}

// The dragged stretch runs from the press column to the mouse: the columns that enter
// it are drawn highlighted, those that leave it plain, and no other.
void FollowDrag(WinSuper& window, int32_t endColumn) {
  const int32_t press = DocumentColumn(window, g_mouse.pressColumn);
  const int32_t newFirst = std::min(press, endColumn);
  const int32_t newLast = std::max(press, endColumn);
  if (g_mouse.dragEnd < 0) {
    HighlightRange(window, newFirst, newLast, true);
  } else {
    const int32_t oldFirst = std::min(press, g_mouse.dragEnd);
    const int32_t oldLast = std::max(press, g_mouse.dragEnd);
    HighlightRange(window, newFirst, std::min(newLast, oldFirst - 1), true);
    HighlightRange(window, std::max(newFirst, oldLast + 1), newLast, true);
    HighlightRange(window, oldFirst, std::min(oldLast, newFirst - 1), false);
    HighlightRange(window, std::max(oldFirst, newLast + 1), oldLast, false);
  }
  g_mouse.dragEnd = endColumn;
}

}  // namespace

char MarkerCharacter(uint32_t attr) {
  if ((attr & (kLineExecutionBar | kLineMarkerShown)) == 0) return ' ';
  const char letter = kMarkerTable[attr & kLineMarkerBits];
  if ((attr & kLineMarkerLowerCase) != 0 && letter >= 'A' && letter <= 'Z') return static_cast<char>(letter | 0x20);
  return letter;
}

// 1. The damaged area in whole rows and columns (rounded out), the rows capped at the
//    last visible one; with the marker column the columns count from the text.
// 2. Header rows: the header from the left column in the title colours, padded with
//    blanks to the area's edge; the marker cell of a header row is a blank.
// 3. Text rows: the marker when column 0 is painted, the line (an empty one where no
//    line is held), and the selection of the current row once a release showed it.
// 4. The area below the last row is cleared when the last row was painted.
void TextPaneDrawing::PaintRect(WinSuper& window, const LayerRect& area) {
  TextPane& pane = window.GetTextPane();
  if (pane.rows <= 0 || !CanDraw(window)) return;
  const int32_t lineHeight = window.GetLineHeight();
  const int32_t charWidth = window.GetCharWidth();
  const int32_t headers = pane.HeaderCount();
  const int32_t firstRow = std::max(area.top / lineHeight, 0);
  const int32_t lastRow = std::min(CeilDiv(area.bottom, lineHeight), pane.rows - 1 + headers);
  int32_t firstColumn = std::max(area.left / charWidth, 0);
  int32_t lastColumn = CeilDiv(area.right, charWidth);
  if (pane.markerColumn) {
    firstColumn = std::max(firstColumn - 1, 0);
    lastColumn = std::max(lastColumn - 1, 0);
  }

  const CellColors title = ElementColors(window, kColorElementTitle);
  for (int32_t header = firstRow; header <= lastRow && header < headers; ++header) {
    const char* text = pane.headers[header];
    const int32_t length = static_cast<int32_t>(std::strlen(text));
    const int32_t from = pane.leftColumn + firstColumn;
    const int32_t count = std::clamp(length - from, 0, lastColumn - firstColumn + 1);
    const int32_t row = header - headers;
    DrawCells(window, firstColumn, row, text + std::min(from, length), count, title);
    FillCells(window, firstColumn + count, lastColumn, row, title.background);
    if (pane.markerColumn) {
      DrawPaneTextAt(window.LayerWindowId(), 0, (header + 1) * lineHeight, " ", 1, title.background, title.text);
    }
  }

  for (int32_t row = std::max(firstRow - headers, 0); row <= lastRow - headers; ++row) {
    const PaneLine* line = pane.LineAt(pane.top + row);
    if (pane.markerColumn && firstColumn == 0) DrawMarker(window, AttrOf(line), row, row == pane.row);
    DrawLine(window, line, firstColumn, lastColumn, row);
    if (pane.textSelection && row == pane.row && g_mouse.selectionShown) DrawSelection(window, pane.top + row);
  }
  if (lastRow == pane.rows - 1 + headers) ClearBelowRows(window);
  const bool currentPainted = pane.row >= firstRow - headers && pane.row <= lastRow - headers;
  if (pane.fieldPane && !currentPainted && CurrentLineHasFields(pane)) DrawSelectedField(window);
}

void TextPaneDrawing::DrawLine(WinSuper& window, const PaneLine* line, int32_t firstColumn, int32_t lastColumn,
                               int32_t row) {
  const TextPane& pane = window.GetTextPane();
  if (!CanDraw(window)) return;
  if (lastColumn < 0) lastColumn = pane.columns - 1;
  firstColumn = std::max(firstColumn, 0);
  if (lastColumn < firstColumn) return;
  const CellColors colors = LineColors(window, AttrOf(line));
  const int32_t visible = TextLength(line) - pane.leftColumn;
  int32_t drawn = 0;
  if (firstColumn < visible) {
    drawn = std::min(lastColumn, visible - 1) - firstColumn + 1;
    DrawCells(window, firstColumn, row, line->text + pane.leftColumn + firstColumn, drawn, colors);
  }
  FillCells(window, firstColumn + drawn, lastColumn, row, colors.background);
  if (pane.fieldPane && row == pane.row && CurrentLineHasFields(pane)) DrawSelectedField(window);
}

void TextPaneDrawing::DrawMarker(WinSuper& window, uint32_t attr, int32_t row, bool current) {
  if (!CanDraw(window)) return;
  const char marker = MarkerCharacter(attr);
  const CellColors colors = ElementColors(window, current ? kColorElementSelectObject : kColorElementStatusLine);
  DrawPaneTextAt(window.LayerWindowId(), 0, RowBottom(window, row), &marker, 1, colors.background, colors.text);
}

// The column below the headers is cleared first; a pane without lines has no current
// row to mark.
void TextPaneDrawing::DrawMarkerColumn(WinSuper& window) {
  TextPane& pane = window.GetTextPane();
  if (!pane.markerColumn || !CanDraw(window)) return;
  const int32_t top = pane.HeaderCount() * window.GetLineHeight();
  FillPixels(window, top, 0, top + pane.rows * window.GetLineHeight(), window.GetCharWidth(),
             ColorSettings::GetColor(window.GetViewpoint(), kColorElementStatusLine, 0));
  if (pane.LineAt(0) == nullptr) {
    pane.row = 0;
    return;
  }
  for (int32_t row = 0; row < pane.rows; ++row) {
    const PaneLine* line = pane.LineAt(pane.top + row);
    if (line == nullptr) break;
    DrawMarker(window, line->attr, row, row == pane.row);
  }
}

// A pane's column count can be out of date (a window never laid out): it is taken from
// the client area again when it is implausible, and 80 when that is too.
void TextPaneDrawing::DrawLineMarker(WinSuper& window, int32_t index) {
  TextPane& pane = window.GetTextPane();
  const int32_t row = index - pane.top;
  if (!RowShows(pane, row) || !CanDraw(window)) return;
  constexpr int32_t kMostColumns = 512;
  if (pane.columns > kMostColumns) {
    const LayerRect client = ClientRect(window);
    pane.columns = (client.right - client.left) / window.GetCharWidth();
    if (pane.columns > kMostColumns) pane.columns = 80;
  }
  const PaneLine* line = pane.LineAt(index);
  if (pane.markerColumn) DrawMarker(window, AttrOf(line), row, row == pane.row);
  DrawLine(window, line, 0, pane.columns, row);
}

void TextPaneDrawing::DrawSelection(WinSuper& window, int32_t index) {
  const TextPane& pane = window.GetTextPane();
  if (pane.total == -1 || pane.selLength <= 0 || pane.selStart < 0) return;
  DrawTextStretch(window, index, pane.selStart, pane.selStart + pane.selLength - 1,
                  ElementColors(window, kColorElementSymbolHighlight));
}

void TextPaneDrawing::ClearSelection(WinSuper& window, int32_t index) {
  const TextPane& pane = window.GetTextPane();
  if (pane.selLength <= 0 || pane.selStart < 0) return;
  DrawTextStretch(window, index, pane.selStart, pane.selStart + pane.selLength - 1,
                  LineColors(window, AttrOf(pane.LineAt(index))));
}

void TextPaneDrawing::HighlightColumns(WinSuper& window, int32_t from, int32_t to, bool on) {
  const TextPane& pane = window.GetTextPane();
  const int32_t index = pane.top + g_mouse.pressRow;
  const CellColors colors = on ? ElementColors(window, kColorElementTokenStretch)
                               : LineColors(window, AttrOf(pane.LineAt(index)));
  DrawTextStretch(window, index, std::min(from, to), std::max(from, to), colors);
}

// The selection is the dragged stretch as far as the line's text goes, at most 255
// characters; a stretch wholly past the text selects nothing.
void TextPaneDrawing::FinishDragSelection(WinSuper& window, int32_t pressColumn, int32_t endColumn) {
  TextPane& pane = window.GetTextPane();
  const int32_t index = pane.top + pane.row;
  const int32_t start = std::max(std::min(pressColumn, endColumn), 0);
  const int32_t wanted = std::abs(endColumn - pressColumn) + 1;
  const int32_t length = std::min({wanted, kMaxFieldWidth, TextLength(pane.LineAt(index)) - start});
  if (length <= 0) {
    pane.selStart = -1;
    pane.selLength = 0;
    return;
  }
  pane.selStart = start;
  pane.selLength = length;
  pane.cursorColumn = std::max(start - pane.leftColumn, 0);
  DrawSelection(window, index);
}

// The field's characters as the line holds them; a field reaching past the text shows
// blanks there.
void TextPaneDrawing::DrawSelectedField(WinSuper& window) {
  const TextPane& pane = window.GetTextPane();
  if (!pane.fieldPane || pane.selLength < 0 || pane.selStart < 0 || !RowShows(pane, pane.row)) return;
  if (!CurrentLineHasFields(pane) || !CanDraw(window)) return;
  const PaneLine* line = pane.LineAt(pane.top + pane.row);
  const CellColors colors = ElementColors(window, kColorElementSelectObject);
  const int32_t width = std::min(pane.selLength, kMaxFieldWidth);
  const int32_t first = std::max(pane.selStart, pane.leftColumn);
  const int32_t end = pane.selStart + width;
  const int32_t textEnd = std::min(end, TextLength(line));
  if (first < textEnd) DrawCells(window, first - pane.leftColumn, pane.row, line->text + first, textEnd - first, colors);
  const int32_t blanksFrom = std::max(first, textEnd);
  FillCells(window, blanksFrom - pane.leftColumn, end - 1 - pane.leftColumn, pane.row, colors.background);
}

void TextPaneDrawing::ShowWordAtCursor(WinSuper& window) {
  TextPane& pane = window.GetTextPane();
  if (pane.FindWordAtColumn() != 0) DrawSelection(window, pane.top + pane.row);
}

// The text rows' pixels move; the strip they uncover is cleared in the client colour.
void TextPaneDrawing::ScrollTextRows(WinSuper& window, int32_t rows) {
  const TextPane& pane = window.GetTextPane();
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr || rows == 0 || !CanDraw(window)) return;
  const int32_t lineHeight = window.GetLineHeight();
  const int32_t textTop = pane.HeaderCount() * lineHeight;
  const int32_t textBottom = textTop + pane.rows * lineHeight;
  const LayerRect client = ClientRect(window);
  layer->ScrollRect(window.LayerWindowId(), LayerRect{textTop, 0, textBottom, client.right}, 0, rows * lineHeight);
  const int32_t moved = std::min(std::abs(rows), pane.rows) * lineHeight;
  const uint32_t background = ColorSettings::GetColor(window.GetViewpoint(), kColorElementClientArea, 0);
  if (rows < 0) {
    FillPixels(window, textBottom - moved, 0, textBottom, client.right, background);
  } else {
    FillPixels(window, textTop, 0, textTop + moved, client.right, background);
  }
}

void TextPaneDrawing::ClearBelowRows(WinSuper& window) {
  const TextPane& pane = window.GetTextPane();
  if (!CanDraw(window)) return;
  const LayerRect client = ClientRect(window);
  FillPixels(window, (pane.HeaderCount() + pane.rows) * window.GetLineHeight(), 0, client.bottom, client.right,
             ColorSettings::GetColor(window.GetViewpoint(), kColorElementClientArea, 0));
}

void TextPaneDrawing::ShowCaret(WinSuper& window, int32_t column, int32_t row, bool wide) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return;
  layer->ShowCaret(window.LayerWindowId(), ColumnLeft(window, column), row * window.GetLineHeight(), wide ? 1 : 0);
}

// 1. Press (left button, inside the whole cells): nothing on a row without a line;
//    otherwise the press is recorded, the shown selection goes, the mouse is captured
//    under the cross cursor (not for the marker column) and the drag begins.
// 2. Move while dragging: past 2 pixels from the press it is a drag, and the stretch
//    from the press column to the mouse shows highlighted.
// 3. Release: the press row becomes current. A click selects the word there (or, in
//    the Source window's marker column, asks for a breakpoint on the line); a drag
//    makes the stretch the selection. The mouse is let go.
// 4. Double click: the window's own handling acts; the gesture ends.
void TextPaneDrawing::HandleMouse(WinSuper& window, const WindowEvent& event) {
  TextPane& pane = window.GetTextPane();
  if (!pane.textSelection || pane.total == 0 || !CanDraw(window)) return;
  PaneGestureState& gestures = PaneGestures();
  const int32_t lineHeight = window.GetLineHeight();
  const int32_t charWidth = window.GetCharWidth();
  const int32_t y = event.words[0];
  const int32_t x = event.words[1];
  const LayerRect client = ClientRect(window);
  const bool inside = y >= 0 && x >= 0 && y < (client.bottom - client.top) / lineHeight * lineHeight &&
                      x < (client.right - client.left) / charWidth * charWidth;
  if (!inside && event.type != kEventMouseUp && event.type != kEventMouseMove) return;
  if (event.words[4] != kLeftButton) {
    if (g_mouse.dragging) EndDrag(window);
    return;
  }
  switch (event.type) {
    case kEventMouseDown: {
      const int32_t row = y / lineHeight - pane.HeaderCount();
      if (!RowShows(pane, row) || pane.LineAt(pane.top + row) == nullptr) return;
      g_mouse.selectionShown = false;
      g_mouse.moved = false;
      g_mouse.pressX = x;
      g_mouse.pressRow = row;
      g_mouse.pressColumn = x / charWidth;
      g_mouse.dragEnd = -1;
      if (pane.selLength > 0) ClearSelection(window, pane.top + pane.row);
      if (g_mouse.pressColumn != 0 && !g_mouse.dragging) {
        if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) {
          layer->PushCursor(kCursorCross, 0);
          layer->CaptureMouse(window.LayerWindowId());
          g_mouse.captured = true;
        }
      }
      if (pane.markerColumn) gestures.markerColumnActive = g_mouse.pressColumn == 0;
      g_mouse.dragging = true;
      break;
    }
    case kEventMouseMove:
      if (!g_mouse.dragging) return;
      if (!g_mouse.moved && std::abs(x - g_mouse.pressX) > kDragThreshold) g_mouse.moved = true;
      if (g_mouse.moved) FollowDrag(window, std::max(DocumentColumn(window, std::max(x, 0) / charWidth), 0));
      break;
    case kEventMouseUp: {
      if (!g_mouse.dragging) return;
      g_mouse.selectionShown = true;
      const int32_t oldRow = pane.row;
      if (pane.markerColumn) DrawMarker(window, AttrOf(pane.LineAt(pane.top + oldRow)), oldRow, false);
      pane.row = g_mouse.pressRow;
      const uint32_t attr = AttrOf(pane.LineAt(pane.top + pane.row));
      if (g_mouse.moved) {
        if (pane.markerColumn) DrawMarker(window, attr, pane.row, true);
        FinishDragSelection(window, DocumentColumn(window, g_mouse.pressColumn),
                            g_mouse.dragEnd >= 0 ? g_mouse.dragEnd : DocumentColumn(window, g_mouse.pressColumn));
      } else if (pane.markerColumn && g_mouse.pressColumn == 0 && window.Kind() == kViewSource) {
        const int32_t status = SourceLineCommandHandler().Get().RunSourcePaneCommand(kSourceToggleBreak);
        DrawMarker(window, AttrOf(pane.LineAt(pane.top + pane.row)), pane.row, true);
        if (status != 0) PaneWindow().Get().Beep();
      } else {
        if (pane.markerColumn) DrawMarker(window, attr, pane.row, true);
        const int32_t textColumn = g_mouse.pressColumn - MarkerCells(window);
        if (pane.TrySetCursor(pane.row + 1, textColumn + 1) != 0) {
          DrawSelection(window, pane.top + pane.row);
        } else if (pane.cursorColumn == 0) {
          gestures.markerColumnActive = true;
        }
      }
      EndDrag(window);
      break;
    }
    case kEventDoubleClick:
      g_mouse.dragging = false;
      gestures.markerColumnActive = false;
      break;
    default:
      break;
  }
}

// A field pane takes the press of the left button at its cell (headers included).
void TextPaneDrawing::HandleFieldMouse(WinSuper& window, const WindowEvent& event) {
  if (event.type != kEventMouseDown || event.words[4] != kLeftButton || !CanDraw(window)) return;
  window.GetTextPane().HandleFieldMouse(event.words[0] / window.GetLineHeight(),
                                        event.words[1] / window.GetCharWidth());
}

bool TextPaneDrawing::SelectionShown() { return g_mouse.selectionShown; }

void TextPaneDrawing::ResetMouseState() { g_mouse = MouseGesture{}; }

}  // namespace zentor
