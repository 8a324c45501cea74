// The field panes' selection and field edit: which field is selected, its text as the
// user edits it, the caret in it, the keys and clicks that move between fields, and
// the commit of an edit to the pane's owner. The line's text is written in place and
// never past its length; the edit texts never past their 255 characters.
#include "core/text_pane.h"

#include "core/view_kind.h"

#include <algorithm>
#include <cstring>

namespace zentor {

namespace {

PaneWindowPort& Port() { return PaneWindow().Get(); }

constexpr int32_t kKeyTab = 9;
constexpr int32_t kKeyBackspace = 8;
constexpr int32_t kKeyEnter = 13;
constexpr int32_t kKeyLineFeed = 10;
constexpr int32_t kKeyEscape = 27;
constexpr int32_t kKeyDelete = 127;
// What typing into a field's last position becomes in the document's last field.
constexpr int32_t kKeyEndOfLastField = 128;
constexpr int32_t kKeyUp = 301;
constexpr int32_t kKeyDown = 302;
constexpr int32_t kKeyRight = 303;
constexpr int32_t kKeyLeft = 304;
constexpr int32_t kKeyPageUp = 305;
constexpr int32_t kKeyPageDown = 306;
constexpr int32_t kKeyHome = 309;
constexpr int32_t kKeyEnd = 310;
constexpr int32_t kKeyInsert = 312;
constexpr int32_t kKeyShiftTab = 315;
constexpr int32_t kKeyCtrlHome = 319;
constexpr int32_t kKeyCtrlEnd = 320;

// The keys that move without a selected field, and the ones the line keys take.
bool IsLineKey(int32_t code) { return (code >= 321 && code <= 324) || code == 371 || code == 372; }

bool IsNavigationKey(int32_t code) {
  return code == kKeyUp || code == kKeyDown || code == kKeyPageUp || code == kKeyPageDown || code == kKeyCtrlHome ||
         code == kKeyCtrlEnd || IsLineKey(code);
}

}  // namespace

// Shows the selected field's characters of the current line in the edit record, at
// most the field's first 255 and never past the line's end; a field that reaches past
// the line's text (or lies on a line without text) is edited over blanks, so the
// record always describes the selected field.
void TextPane::ShowSelection() {
  const PaneLine* line = CurrentLine();
  if (lines == nullptr || selLength < 0 || line == nullptr) return;
  FieldEditRecord& edit = fieldEdit;
  edit.fieldLength = std::min(selLength, kMaxFieldWidth);
  std::memset(edit.editText, 0, sizeof edit.editText);
  std::memset(edit.editText, ' ', static_cast<std::size_t>(edit.fieldLength));
  if (line->text != nullptr && selStart >= 0 && selStart < line->length) {
    const int32_t available = std::min(line->length - selStart, edit.fieldLength);
    std::memcpy(edit.editText, line->text + selStart, static_cast<std::size_t>(available));
  }
  std::memcpy(edit.savedText, edit.editText, sizeof edit.savedText);
  edit.caretOffset = InitialCaretOffset();
}

int32_t TextPane::InitialCaretOffset() const {
  const FieldEditRecord& edit = fieldEdit;
  if (edit.fieldLength < 1) return 0;
  const int32_t length = std::min(edit.fieldLength, kMaxFieldWidth);
  for (int32_t i = 0; i < length; ++i) {
    if (edit.editText[i] == ' ') return i;
  }
  return length - 1;
}

int32_t TextPane::SetCaretOffset(int32_t offset) {
  if (selLength < 0 || offset < 0 || offset >= selLength || offset >= std::max(fieldEdit.fieldLength, 1)) return -1;
  fieldEdit.caretOffset = offset;
  return 0;
}

void TextPane::PlaceCaret() {
  if (!fieldPane || selLength < 0 || !LineHasFields(top + row) || !Port().HasFocus(layerId)) return;
  Port().ShowCaret(layerId, selStart - leftColumn + fieldEdit.caretOffset, row + HeaderCount() + 1,
                   fieldEdit.wideCaret != 0);
}

// At most min(selLength, 255, the line's length - selStart) characters of the text go
// into the line: a field never writes past its line.
void TextPane::WriteFieldText(const char* text) {
  PaneLine* line = CurrentLine();
  if (text == nullptr || text[0] == '\0' || !LineHasFields(top + row) || line->text == nullptr) return;
  if (selStart < 0 || selStart >= line->length) return;
  const std::size_t room = static_cast<std::size_t>(
      std::min({selLength, kMaxFieldWidth, line->length - selStart}));
  const std::size_t count = std::min(std::strlen(text), room);
  std::memcpy(line->text + selStart, text, count);
  Port().DrawSelectedField(layerId);
}

// The owner takes the new value from the pane's line. Accepted, the field shows the
// value as the owner rewrote it; refused, the text the field had when it was selected
// goes back into the line.
int32_t TextPane::CommitFieldEdit() {
  const int32_t status = AskOwner(kGuiCommitField, 0);
  FieldEditRecord& edit = fieldEdit;
  if (status == 0) {
    ShowSelection();
    Port().DrawSelectedField(layerId);
  } else {
    std::memcpy(edit.editText, edit.savedText, sizeof edit.editText);
    WriteFieldText(edit.savedText);
    edit.caretOffset = std::min(edit.caretOffset, std::max(edit.fieldLength - 1, 0));
  }
  return status;
}

void TextPane::SelectField(int32_t newRow, int32_t start, int32_t width) {
  if (total == 0) return;
  if (std::strcmp(fieldEdit.editText, fieldEdit.savedText) != 0) CommitFieldEdit();
  if (newRow < 0 || newRow >= rows || top + newRow >= count) return;
  row = newRow;
  selStart = start;
  selLength = width;
  if (width >= 0) ShowSelection();
}

void TextPane::SetSelectedField(int32_t newRow, int32_t start, int32_t width) {
  if (total == 0 || newRow < 0 || newRow >= rows || top + newRow >= count) return;
  if (newRow != row) Port().RedrawLine(layerId, top + row);
  row = newRow;
  selStart = start;
  selLength = width;
  ShowSelection();
  PlaceCaret();
  Port().RedrawLine(layerId, top + row);
}

int32_t TextPane::SelectFirstField() {
  if (count == 0) return -1;
  for (int32_t index = 0; index < count; ++index) {
    if (!LineHasFields(index)) continue;
    MakeLineVisible(index);
    const FieldPosition field = lines[index]->fields->FieldSpan(0);
    SelectField(index - top, field.start, field.width);
    return index;
  }
  selStart = -1;
  selLength = -1;
  return -1;
}

int32_t TextPane::LastFieldLine() const {
  for (int32_t index = count - 1; index >= 0; --index) {
    if (LineHasFields(index)) return index;
  }
  return -1;
}

// Brings held line `index` into the rows, the current row kept on it.
void TextPane::MakeLineVisible(int32_t index) {
  if (rows <= 0 || index < 0 || index >= count) return;
  if (index < top) {
    top = index;
  } else if (index >= top + rows) {
    top = index - rows + 1;
  } else {
    return;
  }
  scrollPos = top + first;
  UpdateVScrollPos();
  Port().InvalidateWindow(layerId);
}

// 1. The visible rows from `fromRow` up to row 0.
// 2. Above the first row: the held lines above it, the nearest with fields made the
//    top line (its document line, whatever the held window's first line is).
int32_t TextPane::FieldLineAbove(int32_t fromRow) {
  for (int32_t r = std::min(fromRow, rows - 1); r >= 0; --r) {
    if (LineHasFields(top + r)) return r;
  }
  if (first + top == 0) return -1;
  for (int32_t index = top - 1; index >= 0; --index) {
    if (!LineHasFields(index)) continue;
    const int32_t documentLine = first + index;
    ScrollToLine(documentLine);
    if (first + top != documentLine) return -1;
    return LineHasFields(top) ? 0 : -1;
  }
  return -1;
}

// 1. The visible, held rows from `fromRow` down.
// 2. Below the last row, while the document goes on: the held lines below, the
//    nearest with fields brought to the last row.
int32_t TextPane::FieldLineBelow(int32_t fromRow) {
  for (int32_t r = std::max(fromRow, 0); r < rows && top + r < count; ++r) {
    if (LineHasFields(top + r)) return r;
  }
  if (static_cast<int64_t>(top) + first + fromRow >= total) return -1;
  for (int32_t index = top + std::max(fromRow, 0); index < count; ++index) {
    if (!LineHasFields(index)) continue;
    const int32_t target = first + index;
    ScrollToLine(std::max(target - (rows - 1), 0));
    const int32_t r = target - (first + top);
    return (r >= 0 && r < rows && LineHasFields(top + r)) ? r : -1;
  }
  return -1;
}

// After page moves and scroll events the selection stays on a line with fields:
// 1. without lines the selection goes;
// 2. from a line without fields the row steps up, then down, to one with fields;
// 3. there the field nearest the selected column is selected and the caret placed;
// 4. the row left is drawn again.
void TextPane::SnapToFieldLine() {
  if (rows <= 0) return;
  const PaneLine* firstLine = LineAt(0);
  if (lines == nullptr || count == 0 || firstLine == nullptr || firstLine->length < 0) {
    selStart = -1;
    selLength = -1;
    Port().HideCaret(layerId);
    return;
  }
  const int32_t oldRow = row;
  row = std::clamp(row, 0, std::max(std::min(rows, count - top) - 1, 0));
  if (!LineHasFields(top + row)) {
    while (row > 0 && !LineHasFields(top + row)) --row;
    while (!LineHasFields(top + row) && row + 1 < rows && top + row + 1 < count) ++row;
    if (!LineHasFields(top + row)) {
      selStart = -1;
      selLength = -1;
      Port().HideCaret(layerId);
      return;
    }
  }
  const FieldPosition field = FieldLayout::FieldNearColumn(selStart, CurrentLine()->fields);
  SelectField(row, field.start, field.width);
  PlaceCaret();
  if (row != oldRow && oldRow >= 0 && top + oldRow < count) Port().RedrawLine(layerId, top + oldRow);
}

// 1. Without a selected field only the navigation keys act.
// 2. With one, the caret is hidden and takes its insert-mode width; a field of width
//    0 only moves.
// 3. The editing keys change the edit text; typing past the field's last position
//    draws the field and goes on to the next field (Tab), or re-selects the
//    document's last field.
// 4. The selection moves by the (possibly changed) key; a field that stays selected
//    shows its edit text, a move redraws the two lines; the caret is placed.
void TextPane::HandleFieldKey(int32_t code) {
  if (rows <= 0 || count <= 0 || lines == nullptr) return;
  FieldEditRecord& edit = fieldEdit;
  const bool selected = selLength >= 0;
  if (!selected && !IsNavigationKey(code)) return;
  if (selected) {
    Port().HideCaret(layerId);
    edit.wideCaret = edit.insertMode != 0 ? 0 : 1;
    const int32_t length = std::min(edit.fieldLength, kMaxFieldWidth);
    if (selLength == 0 || length <= 0) {
      edit.wideCaret = 1;
    } else {
      edit.caretOffset = std::clamp(edit.caretOffset, 0, length - 1);
      const std::size_t caret = static_cast<std::size_t>(edit.caretOffset);
      const std::size_t last = static_cast<std::size_t>(length - 1);
      switch (code) {
        case kKeyEscape:
          WriteFieldText(edit.savedText);
          std::memcpy(edit.editText, edit.savedText, sizeof edit.editText);
          edit.caretOffset = InitialCaretOffset();
          break;
        case kKeyBackspace:
          if (caret == 0) {
            Port().Beep();
          } else {
            std::memmove(edit.editText + caret - 1, edit.editText + caret, last + 1 - caret);
            edit.editText[last] = ' ';
            --edit.caretOffset;
          }
          break;
        case kKeyDelete:
          std::memmove(edit.editText + caret, edit.editText + caret + 1, last - caret);
          edit.editText[last] = ' ';
          break;
        case kKeyHome: edit.caretOffset = InitialCaretOffset(); break;
        case kKeyEnd: edit.caretOffset = std::min(selLength, length) - 1; break;
        case kKeyInsert:
          edit.insertMode = edit.insertMode != 0 ? 0 : 1;
          edit.wideCaret = edit.insertMode != 0 ? 0 : 1;
          break;
        default:
          if (code >= 32 && code <= 126) {
            if (edit.insertMode != 0) std::memmove(edit.editText + caret + 1, edit.editText + caret, last - caret);
            edit.editText[caret] = static_cast<char>(code);
            if (++edit.caretOffset >= length) {
              WriteFieldText(edit.editText);
              edit.caretOffset = length - 1;
              const PaneLine* line = CurrentLine();
              const bool lastField = FieldLayout::FieldAtColumn(*this, line->fields) == line->fields->count - 1;
              const bool lastLine = LastFieldLine() == top + row && static_cast<int64_t>(first) + count == total;
              code = lastField && lastLine ? kKeyEndOfLastField : kKeyTab;
            }
          }
          break;
      }
    }
  }
  const int32_t before = top + row;
  const PaneLine* beforeLine = CurrentLine();
  if (MoveFieldSelection(code) == 0) {
    if (selLength >= 0) WriteFieldText(edit.editText);
  } else {
    if (before != top + row && LineAt(before) == beforeLine) Port().RedrawLine(layerId, before);
    Port().RedrawLine(layerId, top + row);
  }
  PlaceCaret();
}

// Moves the selection by a key; 1 when another field or line became selected.
int32_t TextPane::MoveFieldSelection(int32_t code) {
  if (IsLineKey(code)) {
    HandleKey(code);
    return 1;
  }
  const PaneLine* line = CurrentLine();
  const FieldLayout* layout = line != nullptr ? line->fields : nullptr;
  const int32_t index = FieldLayout::FieldAtColumn(*this, layout);
  const int32_t fieldCount = layout != nullptr ? layout->count : 0;
  FieldEditRecord& edit = fieldEdit;
  int32_t moved = 0;
  switch (code) {
    case kKeyEndOfLastField:
      if (fieldCount > 0) {
        const FieldPosition field = layout->FieldSpan(index);
        SelectField(row, field.start, field.width);
        moved = 1;
      }
      break;
    case kKeyTab: {
      if (index + 1 < fieldCount) {
        const FieldPosition field = layout->FieldSpan(index + 1);
        SelectField(row, field.start, field.width);
        moved = 1;
        break;
      }
      const bool lastVisibleRow = row == rows - 1 && static_cast<int64_t>(top) + first + rows <= total;
      const bool shortWholePane = last == -1 && count < rows && top + row == count - 1;
      if ((lastVisibleRow || shortWholePane) && ScrollLineDown() == 0) break;
      const int32_t below = FieldLineBelow(row + 1);
      if (below < 0) break;
      const FieldPosition field = lines[top + below]->fields->FieldSpan(0);
      SelectField(below, field.start, field.width);
      moved = 1;
      break;
    }
    case kKeyShiftTab: {
      if (index > 0 && index < fieldCount) {
        const FieldPosition field = layout->FieldSpan(index - 1);
        SelectField(row, field.start, field.width);
        moved = 1;
        break;
      }
      bool scrolled = false;
      if (row == 0) {
        if (ScrollLineUp() == 0) break;
        scrolled = true;
      }
      const int32_t above = FieldLineAbove(row - 1);
      if (above < 0) break;
      const FieldLayout* aboveLayout = lines[top + above]->fields;
      const FieldPosition field = aboveLayout->FieldSpan(aboveLayout->count - 1);
      SelectField(above, field.start, field.width);
      if (scrolled && rows > 1) Port().RedrawLine(layerId, top + 1);
      moved = 1;
      break;
    }
    case kKeyLineFeed:
    case kKeyEnter: CommitFieldEdit(); break;
    case kKeyUp: {
      const bool scrolled = row == 0 && ScrollLineUp() != 0;
      const int32_t above = FieldLineAbove(row - 1);
      if (above < 0) break;
      const FieldPosition field = FieldLayout::FieldNearColumn(selStart, lines[top + above]->fields);
      SelectField(above, field.start, field.width);
      if (scrolled && rows > 1) Port().RedrawLine(layerId, top + 1);
      moved = 1;
      break;
    }
    case kKeyDown: {
      if (top + row >= count - 1) {
        Port().Beep();
        break;
      }
      if (row == rows - 1) ScrollLineDown();
      const int32_t below = FieldLineBelow(row + 1);
      if (below < 0) break;
      const FieldPosition field = FieldLayout::FieldNearColumn(selStart, lines[top + below]->fields);
      SelectField(below, field.start, field.width);
      moved = 1;
      break;
    }
    case kKeyRight:
      if (selLength >= 0 && edit.fieldLength > 0 && edit.caretOffset < edit.fieldLength) {
        if (++edit.caretOffset >= edit.fieldLength) {
          moved = MoveFieldSelection(kKeyTab);
          // A last field that could not be left keeps its caret on its last position.
          edit.caretOffset = std::min(edit.caretOffset, std::max(edit.fieldLength - 1, 0));
          return moved;
        }
      }
      break;
    case kKeyLeft:
      if (edit.caretOffset > 0) {
        --edit.caretOffset;
      } else {
        moved = MoveFieldSelection(kKeyShiftTab);
        if (moved != 0) edit.caretOffset = std::max(edit.fieldLength - 1, 0);
        return moved;
      }
      break;
    case kKeyPageUp: PageUp(); return 1;
    case kKeyPageDown: PageDown(); return 1;
    case kKeyCtrlHome:
    case kKeyCtrlEnd: {
      if (total == -1) {
        Port().Beep();
        break;
      }
      SelectFieldAtCurrentColumn();
      HandleJumpKey(code);
      if (code == kKeyCtrlHome) {
        SelectFirstField();
      } else if (const int32_t index = LastFieldLine(); index >= 0) {
        MakeLineVisible(index);
        const FieldLayout* lastLayout = lines[index]->fields;
        const FieldPosition field = lastLayout->FieldSpan(lastLayout->count - 1);
        SelectField(index - top, field.start, field.width);
      }
      moved = 1;
      break;
    }
    default: break;
  }
  if (selLength >= 0) FollowCaret();
  return moved;
}

// The view follows the caret: the field's end, then its start, then the caret column
// come within the visible columns.
void TextPane::FollowCaret() {
  if (columns <= 0) return;
  int32_t left = leftColumn;
  const int32_t fieldEnd = selStart + selLength;
  if (fieldEnd > left + columns) left = fieldEnd - columns;
  if (selStart < left) left = selStart;
  const int32_t caretColumn = selStart + fieldEdit.caretOffset;
  if (caretColumn < left) left = caretColumn;
  if (caretColumn >= left + columns) left = caretColumn - columns + 1;
  left = std::max(left, 0);
  if (left != leftColumn) SetLeftColumn(left);
}

// A click picks the field whose midpoint boundary with the next field lies right of
// the clicked column (the last field otherwise); the caret goes to the clicked
// column inside the field, else to the field's initial offset.
void TextPane::HandleFieldMouse(int32_t cellRow, int32_t cellColumn) {
  if (lines == nullptr || count == 0) return;
  const int32_t clickedRow = cellRow - HeaderCount();
  const int32_t column = leftColumn + cellColumn;
  if (clickedRow < 0 || clickedRow >= rows || top + clickedRow >= count || !LineHasFields(top + clickedRow)) return;
  const FieldLayout* layout = lines[top + clickedRow]->fields;
  FieldPosition chosen = layout->FieldSpan(layout->count - 1);
  for (int32_t i = 0; i + 1 < layout->count; ++i) {
    const FieldPosition field = layout->FieldSpan(i);
    const FieldPosition next = layout->FieldSpan(i + 1);
    // column < (end + next start) / 2, in whole columns without losing the half.
    if (2 * static_cast<int64_t>(column) < static_cast<int64_t>(field.start) + field.width + next.start) {
      chosen = field;
      break;
    }
  }
  const int32_t before = top + row;
  Port().HideCaret(layerId);
  SelectField(clickedRow, chosen.start, chosen.width);
  if (column >= chosen.start && column < chosen.start + chosen.width) SetCaretOffset(column - chosen.start);
  if (before != top + row) Port().RedrawLine(layerId, before);
  Port().RedrawLine(layerId, top + row);
  PlaceCaret();
}

}  // namespace zentor
