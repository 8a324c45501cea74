#include "core/text_pane.h"

#include "core/view_kind.h"

#include <algorithm>
#include <cstring>

namespace zentor {

namespace {

// The longest selected-field text handed out (the edit buffers hold 255 and a NUL).
constexpr std::size_t kMaxFieldText = 255;

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

// The first identifier at or after `from`: a run under `from` counts from its start,
// and runs that begin with a digit (numbers) are passed over. -1 when none.
int32_t FindIdentifierForward(const char* text, int32_t length, int32_t from) {
  int32_t at = from;
  if (at < length && IsIdentifierChar(text[at])) {
    while (at > 0 && IsIdentifierChar(text[at - 1])) --at;
  }
  while (at < length) {
    while (at < length && !IsIdentifierChar(text[at])) ++at;
    if (at >= length) break;
    if (!IsDigitChar(text[at])) return at;
    while (at < length && IsIdentifierChar(text[at])) ++at;
  }
  return -1;
}

// The nearest identifier ending before the run under `from`, numbers passed over; -1
// when column 0 is reached without one.
int32_t FindIdentifierBackward(const char* text, int32_t from) {
  int32_t at = from;
  while (at >= 0 && IsIdentifierChar(text[at])) --at;
  while (at >= 0) {
    while (at >= 0 && !IsIdentifierChar(text[at])) --at;
    if (at < 0) break;
    while (at >= 0 && IsIdentifierChar(text[at])) --at;
    if (!IsDigitChar(text[at + 1])) return at + 1;
  }
  return -1;
}

}  // namespace

FieldPosition FieldLayout::FieldSpan(int32_t index) const {
  if (index < 0 || index >= count) return FieldPosition{};
  if (fixed != 0) return FieldPosition{start + index * (width + gap), width};
  if (list == nullptr) return FieldPosition{};
  return list[index];
}

int32_t FieldLayout::FieldAtColumn(const TextPane& pane, const FieldLayout* layout) {
  if (layout == nullptr || layout->count < 2) return 0;
  if (layout->fixed == 0) {
    if (layout->list == nullptr) return 0;
    for (int32_t i = 0; i < layout->count; ++i) {
      if (layout->list[i].start >= pane.selStart) return i;
    }
    return layout->count - 1;
  }
  // A layout of zero pitch, or a column left of the first field, is the first field;
  // a column past the last field the last one: the caller indexes the layout with it.
  const int32_t pitch = layout->width + layout->gap;
  if (pitch <= 0 || pane.selStart < layout->start) return 0;
  return std::min((pane.selStart - layout->start) / pitch, layout->count - 1);
}

FieldPosition FieldLayout::FieldNearColumn(int32_t column, const FieldLayout* layout) {
  if (layout == nullptr || layout->count <= 0) return FieldPosition{};
  for (int32_t i = 0; i < layout->count; ++i) {
    const FieldPosition field = layout->FieldSpan(i);
    if (field.start >= column || column < field.start + field.width) return field;
  }
  return layout->FieldSpan(layout->count - 1);
}

PaneOwner::~PaneOwner() = default;

PaneWindowPort::~PaneWindowPort() = default;
void PaneWindowPort::SetVScrollRange(int32_t, int32_t, int32_t) {}
void PaneWindowPort::SetVScrollPos(int32_t, int32_t) {}
void PaneWindowPort::SetHScrollRange(int32_t, int32_t, int32_t) {}
void PaneWindowPort::SetHScrollPos(int32_t, int32_t) {}
void PaneWindowPort::InvalidateWindow(int32_t) {}
void PaneWindowPort::RedrawLine(int32_t, int32_t) {}
void PaneWindowPort::Beep() {}
bool PaneWindowPort::ClientCells(int32_t, int32_t*, int32_t*) { return false; }
void PaneWindowPort::BeginOwnerRequest() {}
void PaneWindowPort::EndOwnerRequest() {}
void PaneWindowPort::RunMessageLoopRound() {}
bool PaneWindowPort::WindowExists(int32_t, int32_t) { return false; }
void PaneWindowPort::ScrollTextRows(int32_t, int32_t) {}
void PaneWindowPort::ClearBelowRows(int32_t) {}
void PaneWindowPort::DrawMarkerColumn(int32_t) {}
void PaneWindowPort::DrawSelection(int32_t, int32_t) {}
void PaneWindowPort::ClearSelection(int32_t, int32_t) {}
void PaneWindowPort::ShowWordAtCursor(int32_t) {}
void PaneWindowPort::DrawSelectedField(int32_t) {}
bool PaneWindowPort::HasFocus(int32_t) { return false; }
void PaneWindowPort::ShowCaret(int32_t, int32_t, int32_t, bool) {}
void PaneWindowPort::HideCaret(int32_t) {}

InstalledService<PaneWindowPort>& PaneWindow() {
  static InstalledService<PaneWindowPort> port;
  return port;
}

int32_t TextPane::HeaderCount() const {
  int32_t n = 0;
  if (headers != nullptr) {
    while (headers[n] != nullptr) ++n;
  }
  return n;
}

PaneLine* TextPane::LineAt(int32_t index) const {
  if (lines == nullptr || index < 0 || index >= count) return nullptr;
  return lines[index];
}

void TextPane::DropNullLastLine() {
  if (count > 0 && lines != nullptr && lines[count - 1] == nullptr) --count;
}

void TextPane::PullRowBack() {
  if (top + row >= count) row = std::max(count - top - 1, 0);
}

bool TextPane::IsRowVisible(int32_t index) const { return index >= top && index < top + rows; }

// The bookkeeping after a change of the lines:
// 1. a pane holding fewer lines than rows shows them from its first line;
// 2. a null last line is dropped, from the total too when the total counted it (and
//    once more below when the producer left two);
// 3. lines that start at 0 and reach the total are the whole document (a producer
//    keeps window mode by setting selStart to -2);
// 4. a current row outside the rows or the lines goes back to row 0;
// 5. the scroll bars are set, the rows and columns taken from the client area when the
//    window has one, and the current row kept within the rows.
void TextPane::Revalidate() {
  if (count < rows && top > 0) {
    row = top;
    top = 0;
  }
  // A null last line is no line; when the total counted it, it goes from the total too.
  if (count > 0 && lines != nullptr && lines[count - 1] == nullptr) {
    if (total == count) --total;
    --count;
  }
  if (total != -1 && first == 0 && selStart != -2 && last - first + 1 >= total) {
    total = count;
    last = -1;
  }
  if (row < 0 || row >= rows || count < top + row + 1) row = 0;
  if (count > 0 && lines != nullptr && lines[count - 1] == nullptr) {
    if (total == count) --total;
    --count;
  }
  leftColumn = 0;
  maxWidth = 0;
  // The producer changed the lines: every width is measured again.
  m_widthScan = WidthScan{};
  if (total == count) first = 0;
  if (textSelection) {
    selStart = 0;
    selLength = 0;
  }
  UpdateVScrollRange();
  UpdateHScrollBar();
  int32_t clientColumns = 0;
  int32_t clientRows = 0;
  if (PaneWindow().Get().ClientCells(layerId, &clientColumns, &clientRows)) {
    rows = clientRows;
    columns = clientColumns;
    UpdateVScrollRange();
    UpdateHScrollBar();
    if (markerColumn) --columns;
    rows = std::max(rows - HeaderCount(), 0);
  }
  if (rows > 0 && row >= rows) {
    top += row - rows + 1;
    row = rows - 1;
  }
  PaneWindow().Get().InvalidateWindow(layerId);
}

int32_t TextPane::VScrollMaximum() const {
  int32_t maximum = 0;
  if (total == -1) {
    maximum = 100;
  } else if (total > 0) {
    if (last == -1) {
      maximum = total - rows;
    } else if (first == 0 && total <= last + 1 && count < rows) {
      maximum = 0;
    } else {
      maximum = total - 1;
    }
  }
  return std::max(maximum, 0);
}

void TextPane::UpdateVScrollRange() {
  const int32_t maximum = VScrollMaximum();
  PaneWindow().Get().SetVScrollRange(layerId, 0, maximum);
  if (maximum > 0) UpdateVScrollPos();
}

void TextPane::UpdateVScrollPos() {
  if (total == -1) {
    scrollPos = 50;
  } else if (total > 0) {
    if (last == -1) {
      scrollPos = top + first;
    } else if (count > 0) {
      // The thumb stands where `top` stands within the held window; the quotient is a
      // 16-bit position.
      const int64_t within = (static_cast<int64_t>(last) - first + 1) * top / count;
      scrollPos = first + static_cast<uint16_t>(within);
    }
  }
  PaneWindow().Get().SetVScrollPos(layerId, scrollPos);
}

void TextPane::UpdateHScrollBar() {
  const WidthScan scan{lines, headers, count, first, maxWidth};
  if (scan == m_widthScan) return;
  int32_t widest = maxWidth;
  if (headers != nullptr) {
    for (int32_t i = 0; headers[i] != nullptr; ++i) {
      widest = std::max(widest, static_cast<int32_t>(std::strlen(headers[i])));
    }
  }
  for (int32_t i = 0; i < count && lines != nullptr; ++i) {
    if (lines[i] != nullptr) widest = std::max(widest, lines[i]->length);
  }
  if (widest > maxWidth) {
    maxWidth = widest;
    RangeChangeFlag() = true;
    PaneWindow().Get().SetHScrollRange(layerId, 0, std::max(maxWidth - columns, 0));
    // A range that brought no size event leaves the next real one whole.
    RangeChangeFlag() = false;
    PaneWindow().Get().SetHScrollPos(layerId, leftColumn);
  }
  m_widthScan = WidthScan{lines, headers, count, first, maxWidth};
}

bool& TextPane::RangeChangeFlag() {
  static bool changing = false;
  return changing;
}

int32_t TextPane::AtBoundary(int32_t direction) const {
  if (total == -1) return 0;
  switch (direction) {
    case kPaneLineUp:
    case kPanePageUp:
      return (first == 0 && top == 0) ? -1 : 0;
    case kPaneLineDown:
      if (last == -1 && total <= top + first + rows) return -1;
      if (last != -1 && top + 1 == count && total <= last + 1) return -1;
      return 0;
    case kPanePageDown:
      if (count == total || last == -1 || last - first + 1 == count) {
        return total <= top + first + rows ? -1 : 0;
      }
      return (last != -1 && top + 1 == count && total <= last + 1) ? -1 : 0;
    default:
      return -1;
  }
}

int32_t TextPane::AskOwner(int32_t code, intptr_t argument) {
  if (owner == nullptr) return kPaneNoOwner;
  PaneWindowPort& port = PaneWindow().Get();
  port.BeginOwnerRequest();
  int32_t status = 0;
  try {
    status = owner->SendViewRequest(code, argument);
  } catch (...) {
    port.EndOwnerRequest();
    throw;
  }
  port.EndOwnerRequest();
  // The owner may have rewritten the lines it holds.
  m_widthScan = WidthScan{};
  return status;
}

int32_t TextPane::RequestLines(int32_t code, intptr_t argument) {
  const int32_t status = AskOwner(code, argument);
  DropNullLastLine();
  if (total != -1 && first == 0 && last - first + 1 > total) {
    total = count;
    last = -1;
  }
  if (top + row >= count) row = std::max(count - top - 1, 0);
  return status;
}

int32_t TextPane::MoveView(int32_t direction) {
  switch (direction) {
    case kPaneLineUp:
      if (top == 0) return RequestLines(kGuiLineUp);
      --top;
      return 0;
    case kPaneLineDown: {
      const bool goesOn = total == -1 || last == -1 || last + 1 < total;
      if (goesOn && count <= top + rows) {
        const int32_t status = RequestLines(kGuiLineDown);
        PullRowBack();
        return status;
      }
      ++top;
      PullRowBack();
      return 0;
    }
    case kPanePageUp:
      if (top - PageStep() < 0) {
        if (total == -1 || first != 0) return RequestLines(kGuiPageUp);
        top = 0;
        return 0;
      }
      top -= PageStep();
      return 0;
    case kPanePageDown:
      if (last < 1) {
        if (count < 2 * rows + top - 1) {
          if (total == -1 || last + 1 != total) {
            if (first + count != total) return RequestLines(kGuiPageDown);
          }
          top = std::max(count - rows, 0);
        } else {
          top = std::min(top + PageStep(), std::max(count - 1, 0));
          PullRowBack();
        }
        return 0;
      }
      if (count < 2 * rows + top - 1 && (total == -1 || last + 1 < total)) {
        return RequestLines(kGuiPageDown);
      }
      top = std::min(top + PageStep(), std::max(count - 1, 0));
      PullRowBack();
      return 0;
    default:
      return 0;
  }
}

// 1. A line inside the held window of the document is placed proportionally.
// 2. A line outside what is held is asked of the owner; a refusal beeps and changes
//    nothing, an answer is normalised and shown from its top.
// 3. Otherwise the held line becomes the top line.
void TextPane::ScrollToLine(int32_t line) {
  PaneWindowPort& port = PaneWindow().Get();
  if (last != -1 && line >= first && rows + line <= last && last - first > 0) {
    top = (count / (last - first)) * (line - first);
    scrollPos = line;
  } else if (line > first + count - rows || line < first || last != -1) {
    if (AskOwner(kGuiFillAround, line) != 0) {
      port.Beep();
      return;
    }
    DropNullLastLine();
    if (total != -1 && first == 0 && last - first + 1 > total) {
      total = count;
      last = -1;
    }
    if (count < top + rows) {
      top = 0;
      row = 0;
    }
    scrollPos = top + first;
  } else {
    top = line - first;
    scrollPos = line;
  }
  port.SetVScrollPos(layerId, scrollPos);
  UpdateHScrollBar();
  port.InvalidateWindow(layerId);
}

std::string TextPane::SelectedFieldText() const {
  const PaneLine* line = LineAt(top + row);
  if (selLength <= 0 || selStart < 0 || line == nullptr || line->text == nullptr) return {};
  if (selStart >= line->length) return {};
  const std::size_t available = static_cast<std::size_t>(line->length - selStart);
  const std::size_t wanted = std::min({static_cast<std::size_t>(selLength), available, kMaxFieldText});
  std::string text(line->text + selStart, wanted);
  // The line may end early at a NUL: the field is the characters up to it.
  text.resize(std::strlen(text.c_str()));
  return text;
}

void TextPane::UpdateLineText(int32_t index, const char* text) {
  PaneLine* line = LineAt(index);
  if (line == nullptr) return;
  if (text != nullptr) {
    const std::size_t length = std::strlen(text);
    if (line->text == nullptr || length != static_cast<std::size_t>(line->length)) return;
    std::memcpy(line->text, text, length);
  }
  if (IsRowVisible(index)) PaneWindow().Get().RedrawLine(layerId, index);
}

int32_t TextPane::CurrentLineIndex() const {
  if (lines == nullptr || (total < 1 && total != -1)) return -1;
  return std::min(top + row, count - 1);
}

int32_t TextPane::MaxLineLength(int32_t firstLine) const {
  int32_t longest = 0;
  for (int32_t index = std::max(firstLine, 0); index < firstLine + rows; ++index) {
    const PaneLine* line = LineAt(index);
    if (line == nullptr || line->text == nullptr) break;
    longest = std::max(longest, line->length);
  }
  return longest;
}

// 1. Only a text-selection pane with lines and a current line has words to select.
// 2. The search column is the cursor's in the text, moved back onto the line's last
//    character when it lies beyond it.
// 3. Forward from there first; back from it only when nothing follows and the column
//    is neither the first nor beyond the text.
// 4. The cursor column counts from the left column, so a word found is placed there
//    relative to it (never left of the view's first column).
int32_t TextPane::FindWordAtColumn() {
  if (!textSelection || lines == nullptr || total < 1) return 0;
  const PaneLine* line = LineAt(top + row);
  if (line == nullptr) return 0;
  const char* text = line->text;
  const int32_t length = text != nullptr ? std::max(line->length, 0) : 0;
  int32_t column = std::max(cursorColumn + leftColumn, 0);
  if (column >= length) column = length - 1 < 1 ? 0 : length - 1;

  int32_t found = FindIdentifierForward(text, length, column);
  if (found < 0 && column >= 1 && column < length) found = FindIdentifierBackward(text, column);
  if (found < 0) {
    selStart = -1;
    selLength = 0;
    return 0;
  }
  int32_t end = found;
  while (end < length && IsIdentifierChar(text[end])) ++end;
  cursorColumn = std::max(found - leftColumn, 0);
  selStart = found;
  selLength = std::min(end - found, static_cast<int32_t>(kMaxFieldText));
  return 1;
}

int32_t TextPane::TrySetCursor(int32_t newRow, int32_t newColumn) {
  const int32_t oldRow = row;
  const int32_t oldColumn = cursorColumn;
  row = std::max(newRow - 1, 0);
  cursorColumn = std::max(newColumn - 1, 0);
  const int32_t found = FindWordAtColumn();
  if (found == 0) {
    row = oldRow;
    cursorColumn = oldColumn;
  }
  return found;
}

}  // namespace zentor
