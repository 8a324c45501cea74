// The line keys of line panes (arrows, pages, word moves, Home and End with and
// without Ctrl, the horizontal keys), the word boundaries they move by, the text
// selection's repaint and the header texts.
#include "core/text_pane.h"

#include "core/view_kind.h"

#include <algorithm>
#include <new>

namespace zentor {

namespace {

PaneWindowPort& Port() { return PaneWindow().Get(); }

PaneGestureState g_gestures;

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}

// The longest text selection (the selected-field texts hold as many).
constexpr int32_t kMaxSelection = kMaxFieldWidth;

}  // namespace

PaneGestureState& PaneGestures() { return g_gestures; }
void ResetPaneGestures() { g_gestures = PaneGestureState{}; }

void NextWord(const char* text, int32_t textLength, int32_t position, int32_t* start, int32_t* length) {
  *start = position;
  *length = 0;
  if (text == nullptr || position < 0 || position >= textLength) return;
  int32_t at = position;
  while (at < textLength && !IsIdentifierChar(text[at])) ++at;
  int32_t end = at;
  while (end < textLength && IsIdentifierChar(text[end])) ++end;
  *start = at;
  *length = end - at;
}

void PreviousWord(const char* text, int32_t textLength, int32_t position, int32_t* start, int32_t* length) {
  *start = position;
  *length = 0;
  if (text == nullptr || position <= 0 || position > textLength) return;
  int32_t at = position - 1;
  while (at >= 0 && !IsIdentifierChar(text[at])) --at;
  if (at < 0) return;
  const int32_t end = at + 1;
  while (at >= 0 && IsIdentifierChar(text[at])) --at;
  *start = at + 1;
  *length = end - *start;
}

// The old selection drawn plain, the new one highlighted.
void TextPane::RepaintLinePart(int32_t index, int32_t start, int32_t length) {
  if (!textSelection || index < 0 || index >= count) return;
  if (selLength > 0) Port().ClearSelection(layerId, index);
  selStart = start;
  selLength = std::min(length, kMaxSelection);
  Port().DrawSelection(layerId, index);
}

// A word found by Right or Left becomes the selection; the view scrolls so that it
// shows (to its start when it starts left of the view, else with its end on the last
// visible column) and the cursor stands on its start.
void TextPane::MoveToWord(int32_t start, int32_t length) {
  if (start < leftColumn) {
    SetLeftColumn(start);
  } else if (columns > 0 && start + length > leftColumn + columns) {
    SetLeftColumn(start + length - columns);
  }
  cursorColumn = std::max(start - leftColumn, 0);
  RepaintLinePart(top + row, start, length);
}

void TextPane::HandleKey(int32_t code) {
  if (rows <= 0 || total == 0 || count == 0) return;
  PaneGestureState& gestures = PaneGestures();
  if (code == 9 && !gestures.textMode) code = 303;
  const PaneLine* line = CurrentLine();
  const int32_t lineLength = line != nullptr && line->text != nullptr ? std::max(line->length, 0) : 0;
  switch (code) {
    case 8:
      Port().RedrawLine(layerId, top + row);
      gestures.markerColumnActive = true;
      break;
    case 32:
      if (gestures.markerColumnActive) break;
      gestures.textMode = true;
      if (leftColumn + cursorColumn > lineLength) Port().Beep();
      Port().RedrawLine(layerId, top + row);
      break;
    case 301:
      if (row == 0) {
        ScrollLineUp();
        break;
      }
      Port().ClearSelection(layerId, top + row);
      --row;
      if (markerColumn) Port().DrawMarkerColumn(layerId);
      Port().ShowWordAtCursor(layerId);
      break;
    case 302:
      if (row >= rows - 1) {
        ScrollLineDown();
        break;
      }
      if (top + row + 1 >= count) {
        Port().Beep();
        break;
      }
      Port().ClearSelection(layerId, top + row);
      ++row;
      if (markerColumn) Port().DrawMarkerColumn(layerId);
      Port().ShowWordAtCursor(layerId);
      break;
    case 303: {
      if (gestures.textMode || line == nullptr) break;
      int32_t start = 0;
      int32_t length = 0;
      NextWord(line->text, lineLength, std::max(selStart, 0) + std::max(selLength, 0), &start, &length);
      if (length > 0) MoveToWord(start, length);
      break;
    }
    case 304:
    case 315: {
      if (gestures.textMode || line == nullptr) break;
      int32_t start = 0;
      int32_t length = 0;
      PreviousWord(line->text, lineLength, std::max(selStart, 0), &start, &length);
      if (length > 0) MoveToWord(start, length);
      break;
    }
    case 305: PageUp(); break;
    case 306: PageDown(); break;
    case 309:
    case 310:
    case 319:
    case 320: HandleJumpKey(code); break;
    case 321: ColumnLeft(); break;
    case 322: ColumnRight(); break;
    case 323: PageRight(); break;
    case 324: PageLeft(); break;
    case 371: ScrollLineUp(); break;
    case 372: ScrollLineDown(); break;
    default: break;
  }
}

// Home and End move the view to the first and last columns; Ctrl+Home and Ctrl+End
// to the document's first and last lines, asking the owner for the end of a document
// it has not handed over yet.
void TextPane::HandleJumpKey(int32_t code) {
  if (count == 0 || total == 0) return;
  switch (code) {
    case 309:
      if (leftColumn != 0) SetLeftColumn(0);
      break;
    case 310:
      if (columns < maxWidth && leftColumn != maxWidth - columns) SetLeftColumn(maxWidth - columns);
      break;
    case 319:
      if (total == -1) {
        Port().Beep();
      } else if (total == count) {
        top = 0;
        scrollPos = 0;
        PullRowBack();
        Port().InvalidateWindow(layerId);
        Port().SetVScrollPos(layerId, scrollPos);
      } else if (first != 0 || top != 0) {
        ScrollToLine(0);
      }
      break;
    case 320:
      if (total == -1) {
        Port().Beep();
      } else if (total == count) {
        if (count > rows && top != count - rows) {
          top = std::max(count - rows, 0);
          PullRowBack();
          scrollPos = top;
          Port().InvalidateWindow(layerId);
          Port().SetVScrollPos(layerId, scrollPos);
        }
      } else if (last - first + 1 == count || last == -1) {
        if (static_cast<int64_t>(first) + top + rows < total) ScrollToLine(std::max(total - rows, 0));
      } else {
        AskOwner(kGuiDocumentEnd, 0);
        top = std::max(count - rows, 0);
        row = 0;
        Revalidate();
      }
      break;
    default: break;
  }
}

int32_t TextPane::SetHeaders(const char* const* texts, int32_t n) {
  if (n < 0) return 0;
  headers = nullptr;
  m_widthScan = WidthScan{};
  m_headerList.clear();
  m_headerTexts.clear();
  if (n == 0 || texts == nullptr) return 0;
  try {
    m_headerTexts.reserve(static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i) m_headerTexts.emplace_back(texts[i] != nullptr ? texts[i] : "");
    m_headerList.reserve(static_cast<std::size_t>(n) + 1);
    for (std::string& text : m_headerTexts) m_headerList.push_back(text.data());
    m_headerList.push_back(nullptr);
  } catch (const std::bad_alloc&) {
    m_headerList.clear();
    m_headerTexts.clear();
    // Dynamic memory is full.
    return 181;
  }
  headers = m_headerList.data();
  return 0;
}

}  // namespace zentor
