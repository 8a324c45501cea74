// The text pane's view moves: scroll events, page and line moves, horizontal moves
// and the size event. They decide what shows; what is to be drawn goes to the window
// through the pane's port.
#include "core/text_pane.h"

#include "core/view_kind.h"

#include <algorithm>

namespace zentor {

namespace {

PaneWindowPort& Port() { return PaneWindow().Get(); }

}  // namespace

bool TextPane::LineHasFields(int32_t index) const {
  const PaneLine* line = LineAt(index);
  return line != nullptr && line->fields != nullptr && line->fields->count > 0;
}

void TextPane::SelectFieldAtCurrentColumn() {
  const PaneLine* line = CurrentLine();
  if (line == nullptr || !LineHasFields(top + row)) return;
  const FieldPosition field = line->fields->FieldSpan(FieldLayout::FieldAtColumn(*this, line->fields));
  SelectField(row, field.start, field.width);
}

void TextPane::PageUp() { PageMove(kPanePageUp); }
void TextPane::PageDown() { PageMove(kPanePageDown); }

// Page moves repaint the whole window: the rows all changed.
void TextPane::PageMove(int32_t direction) {
  if (fieldPane) SelectFieldAtCurrentColumn();
  if (rows <= 0 || AtBoundary(direction) != 0 || MoveView(direction) != 0) {
    Port().Beep();
    return;
  }
  if (textSelection) Port().ShowWordAtCursor(layerId);
  if (fieldPane) SnapToFieldLine();
  Port().InvalidateWindow(layerId);
  UpdateHScrollBar();
  UpdateVScrollPos();
}

// A line move scrolls the pixels and draws only what changed:
// 1. the text rows move by one row and the window clears the strip they left;
// 2. the marker column is drawn again (its current-row mark stays on its row);
// 3. the line that came into view is drawn: the new top line, or the line on the
//    last row (the last held line when the pane holds fewer lines than rows);
// 4. a field pane keeps its current document line: the row moves with the text, and
//    when that line has no fields or left the rows the nearest line with fields in
//    the direction of the move is taken;
// 5. panes whose highlight moved with the pixels (text selection, fields) draw the
//    current row's neighbours again;
// 6. the bars follow and the strip below the last row is cleared.
int32_t TextPane::ScrollLineUp() { return ScrollOneLine(kPaneLineUp); }
int32_t TextPane::ScrollLineDown() { return ScrollOneLine(kPaneLineDown); }

int32_t TextPane::ScrollOneLine(int32_t direction) {
  const bool down = direction == kPaneLineDown;
  const int32_t documentLine = first + top + row;
  if (rows <= 0 || AtBoundary(direction) != 0 || MoveView(direction) != 0) {
    Port().Beep();
    return 0;
  }
  Port().ScrollTextRows(layerId, down ? -1 : 1);
  if (markerColumn) Port().DrawMarkerColumn(layerId);
  Port().RedrawLine(layerId, down ? std::min(top + rows - 1, count - 1) : top);
  if (fieldPane) FollowFieldLine(documentLine, down);
  if (textSelection || fieldPane) {
    if (row > 0) Port().RedrawLine(layerId, top + row - 1);
    if (row + 1 < rows && top + row + 1 < count) Port().RedrawLine(layerId, top + row + 1);
    if (textSelection) Port().ShowWordAtCursor(layerId);
  }
  UpdateHScrollBar();
  UpdateVScrollPos();
  Port().ClearBelowRows(layerId);
  if (fieldPane) PlaceCaret();
  return 1;
}

// The row follows the document line that was current (the owner may have moved the
// held window); when that line left the rows or has no fields, the nearest line with
// fields in the direction of the move is taken, and without one the caret goes.
void TextPane::FollowFieldLine(int32_t documentLine, bool down) {
  const int32_t previous = documentLine - first;
  const int32_t moved = previous - top;
  const int32_t lastRow = std::max(std::min(rows, count - top) - 1, 0);
  int32_t found = -1;
  if (moved >= 0 && moved <= lastRow && LineHasFields(top + moved)) {
    found = moved;
  } else {
    row = std::clamp(moved, 0, lastRow);
    found = down ? FieldLineBelow(row) : FieldLineAbove(row);
  }
  if (found < 0) {
    Port().HideCaret(layerId);
    return;
  }
  row = found;
  const FieldPosition field = FieldLayout::FieldNearColumn(selStart, CurrentLine()->fields);
  SelectField(row, field.start, field.width);
  if (previous != top + row && previous >= 0 && previous < count) Port().RedrawLine(layerId, previous);
}

// 1. A field pane remembers the document line under the cursor.
// 2. The code moves the view; a released thumb or an end of the bar goes to its line,
//    kept within the bar's range (the window reads the position in 32 bits, so a
//    document past 65,535 lines reaches every line).
// 3. A field pane puts the remembered line back under the cursor when it still shows,
//    else the row nearest it, and keeps the selection on a line with fields.
// 4. A text-selection pane finds the word at the cursor again.
void TextPane::HandleVScroll(int32_t code, int32_t position) {
  // A window too low for one row has nothing to scroll (a thumb would take the view
  // past the last line).
  if (count == 0 || rows <= 0) return;
  int64_t remembered = 0;
  if (fieldPane) {
    Port().HideCaret(layerId);
    remembered = static_cast<int64_t>(first) + top + row;
  }
  switch (code) {
    case 0: ScrollLineUp(); break;
    case 1: ScrollLineDown(); break;
    case 2: PageUp(); break;
    case 3: PageDown(); break;
    case 5:
      if (total >= 0) ScrollToLine(std::clamp(position, 0, VScrollMaximum()));
      break;
    default: break;
  }
  if (fieldPane && rows > 0) {
    const int64_t shownFrom = static_cast<int64_t>(first) + top;
    const bool edge = remembered < shownFrom || remembered >= shownFrom + rows;
    if (remembered < shownFrom) {
      row = 0;
    } else if (remembered < shownFrom + rows) {
      row = static_cast<int32_t>(remembered - shownFrom);
    } else {
      row = rows - 1;
    }
    PullRowBack();
    SnapToFieldLine();
    if (edge) SnapToFieldLine();
  }
  if (textSelection) Port().ShowWordAtCursor(layerId);
}

void TextPane::SetLeftColumn(int32_t column) {
  leftColumn = std::max(column, 0);
  Port().InvalidateWindow(layerId);
  Port().SetHScrollPos(layerId, leftColumn);
}

void TextPane::ColumnLeft() {
  if (leftColumn <= 0) {
    Port().Beep();
    return;
  }
  SetLeftColumn(leftColumn - 1);
}

void TextPane::ColumnRight() {
  if (leftColumn >= maxWidth - columns) {
    Port().Beep();
    return;
  }
  SetLeftColumn(leftColumn + 1);
}

void TextPane::PageLeft() {
  if (leftColumn <= 0) {
    Port().Beep();
    return;
  }
  SetLeftColumn(std::max(leftColumn - std::max(columns, 1), 0));
}

void TextPane::PageRight() {
  if (columns >= maxWidth) {
    Port().Beep();
    return;
  }
  SetLeftColumn(std::min(leftColumn + std::max(columns, 1), maxWidth - columns));
}

void TextPane::HandleHScroll(int32_t code, int32_t position) {
  if (columns >= maxWidth) return;
  if (fieldPane) Port().HideCaret(layerId);
  switch (code) {
    case 0: ColumnLeft(); break;
    case 1: ColumnRight(); break;
    case 2: PageLeft(); break;
    case 3: PageRight(); break;
    case 4:
    case 5: SetLeftColumn(std::clamp(position, 0, maxWidth - columns)); break;
    default: break;
  }
  if (fieldPane) PlaceCaret();
}

// The size event:
// 1. rows and columns from the client area (the marker column and the headers take
//    theirs); while the horizontal range changes only the bars are set again;
// 2. otherwise, with rows, columns and lines: the current row stays within the rows
//    (a field pane steps back to a held line with fields and selects its field), the
//    view goes back to column 0;
// 3. a pane holding the whole document whose rows now reach past its end shows its
//    last rows, asking an owner who fetches on demand for the lines it needs;
// 4. the bars follow and the window is repainted.
void TextPane::Resize(int32_t clientColumns, int32_t clientRows) {
  rows = std::max(clientRows, 0);
  columns = std::max(clientColumns - (markerColumn ? 1 : 0), 0);
  maxWidth = 0;
  rows = std::max(rows - HeaderCount(), 0);
  if (RangeChangeFlag()) {
    RangeChangeFlag() = false;
    UpdateHScrollBar();
    UpdateVScrollRange();
    UpdateHScrollBar();
    UpdateVScrollRange();
    return;
  }
  // The current row stays within the rows even when no column shows.
  if (rows > 0) row = std::min(row, rows - 1);
  if (rows <= 0 || count == 0 || columns <= 0) return;
  if (fieldPane) {
    Port().HideCaret(layerId);
    while (lines != nullptr && CurrentLine() == nullptr) {
      if (row > 0) {
        --row;
      } else if (top > 0) {
        --top;
      } else {
        break;
      }
    }
    while (row > 0 && !LineHasFields(top + row)) --row;
    SelectFieldAtCurrentColumn();
  }
  leftColumn = 0;
  if (last == -1 && count < top + rows) {
    const bool askOwner = total != count && fetchOnDemand != 0;
    if (total < top + first + rows && count - rows < 0) {
      const int32_t n = std::max(0, total - rows);
      row += first - n + top;
      if (first == 0) top = n;
      if (askOwner) RequestLines(kGuiFillAround, n);
    } else if (total < top + first + rows) {
      row += top - (count - rows);
      top = count - rows;
    } else if (askOwner) {
      RequestLines(kGuiFillAround, top + first);
    }
    top = std::clamp(top, 0, std::max(count - 1, 0));
    row = std::clamp(row, 0, rows - 1);
    PullRowBack();
  }
  scrollPos = top + first;
  UpdateVScrollRange();
  UpdateHScrollBar();
  if (fieldPane) PlaceCaret();
  Port().InvalidateWindow(layerId);
}

}  // namespace zentor
