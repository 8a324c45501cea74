#include "windows/command_pane.h"

#include "console/line_editor.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/key_queue.h"
#include "core/view_kind.h"
#include "gui/color_settings.h"
#include "gui/gui_window_layer.h"
#include "gui/view_dispatcher.h"
#include "gui/window_menu.h"
#include "gui/window_placement.h"
#include "gui/window_table.h"
#include "platform/clock.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>

namespace zentor {

namespace {

// The requests that tell the command language the window's width and rows.
constexpr int32_t kRequestLineWidth = 500;
constexpr int32_t kRequestPageLength = 502;
constexpr uint32_t kNoticeShiftView = 0x1f5;
// The line editor's direction that moves the view left (its cursor went left of it).
constexpr int32_t kShiftLeft = 303;
constexpr int32_t kLastInputColumn = kCommandLineSize - 1;
// Element 4 ("Window client area") of the colour set.
constexpr uint32_t kClientAreaElement = 4;

// The keys the pane keeps for itself.
constexpr int32_t kKeyCtrlHome = 319;
constexpr int32_t kKeyCtrlEnd = 320;
constexpr int32_t kKeyPageUp = 305;
constexpr int32_t kKeyPageDown = 306;
constexpr int32_t kKeyCtrlUp = 371;
constexpr int32_t kKeyCtrlDown = 372;
constexpr int32_t kKeyCtrlLeft = 321;
constexpr int32_t kKeyCtrlRight = 322;
constexpr int32_t kKeyCtrlPageUp = 324;
constexpr int32_t kKeyCtrlPageDown = 323;
constexpr int32_t kKeyPopupMenu = 1089;

// The Window menu lists the Command window as "Control", unless the window was placed
// in the mode that keeps it off the list.
constexpr char kWindowMenuName[] = "Control";

// The pane. Slots 0..99 hold the completed lines, oldest first (a null slot: none
// yet); `current` is the slot the line in progress goes into. The view numbers the
// lines as the slots do with the line in progress after them: number `current` while
// the scroll-back is not full, 100 once it is (EndLine). Row r (from 1) shows line
// top + r - 1, so every one of the 100 kept lines can be scrolled to.
struct CommandPaneState {
  int32_t windowId = kNoLayerId;
  std::array<std::unique_ptr<char[]>, kCommandScrollBack> lines;
  char inProgress[kCommandLineSize] = {};
  int32_t current = 0;
  bool full = false;
  int32_t bottom = 0;
  int32_t top = 0;
  int32_t inputColumn = 0;
  int32_t rows = 0;
  int32_t columns = 80;
  int32_t lineHeight = 0;
  int32_t charWidth = 0;
  int32_t outputRow = 0;
  int32_t outputColumn = 0;
  TextPane view;
  // What the window's bars were last given: output re-lays the pane out after every
  // write, and under a window system that redraws a bar at every call (Wine does)
  // giving the same values again cost most of an output line's time.
  struct BarState {
    int32_t maximum = -1;
    int32_t position = -1;
  };
  BarState vertical;
  BarState horizontal;
  // Output leaves the caret to be shown before the next key is read: making a caret
  // costs more than drawing a line (under Wine several times more), and a burst of
  // output would otherwise make and destroy it twice per line.
  bool caretPending = false;
  // Output that moves the view up leaves the picture behind the view: the client area
  // is invalidated once and painted whole from the scroll-back at the next paint,
  // instead of a scroll per line (under Wine the scroll and the row it exposes cost
  // three quarters of a line's time). Until then nothing is drawn outside a paint.
  // Bursts are painted at most every kPictureIntervalMicroseconds: a paint owed is
  // asked for by the next line after that, by the busy rounds between commands and
  // before a key is read.
  enum class Picture : uint8_t { Current, Owed, Asked };
  Picture picture = Picture::Current;
  bool painting = false;
  uint64_t pictureAskedAt = 0;
};

constexpr uint64_t kPictureIntervalMicroseconds = 20000;

CommandPaneState g_pane;
using Picture = CommandPaneState::Picture;

GuiWindowLayer* PaneLayer() { return InstalledGuiWindowLayer(); }

// The pane draws only while its window is registered with the layer.
bool HasWindow() {
  GuiWindowLayer* layer = PaneLayer();
  return g_pane.windowId != kNoLayerId && layer != nullptr && layer->Record(g_pane.windowId) != nullptr;
}

bool IsMinimized() { return PaneLayer()->IsMinimized(g_pane.windowId) != 0; }

// The number of the line in progress in the view's numbering.
int32_t EndLine() { return g_pane.current + (g_pane.full ? 1 : 0); }
int32_t LeftColumn() { return g_pane.view.leftColumn; }
int32_t InputRow() { return std::min(EndLine() + 1, g_pane.rows); }
int32_t InProgressLength() { return static_cast<int32_t>(std::strlen(g_pane.inProgress)); }

uint32_t Background() { return ColorSettings::GetColor(CurrentViewpoint(), kClientAreaElement, 0); }
uint32_t Foreground() { return ColorSettings::GetColor(CurrentViewpoint(), kClientAreaElement, 1); }

LayerRect PaneClientArea() {
  LayerRect client;
  if (PaneLayer()->GetClientArea(g_pane.windowId, &client) == nullptr) return LayerRect{};
  return client;
}

// Drawing outside a paint is left out while the paint to come covers everything.
bool DrawingIsDue() { return g_pane.picture == Picture::Current || g_pane.painting; }

// Fills an area (its last row and column excluded) with the background.
void ClearArea(LayerRect area) {
  if (!DrawingIsDue()) return;
  GuiWindowLayer* layer = PaneLayer();
  const LayerRect client = PaneClientArea();
  area.right = std::min(area.right, client.right);
  if (area.bottom <= area.top || area.right <= area.left) return;
  layer->SetLineStyle(g_pane.windowId, LayerLine{});
  layer->SetFillStyle(g_pane.windowId, LayerFill{kFillSolid, Background()});
  area.bottom -= 1;
  area.right -= 1;
  layer->DrawRectangle(g_pane.windowId, area);
}

// Clears row `row` (from 1) from character column `column` to the right edge.
void ClearToEndOfRow(int32_t column, int32_t row) {
  const int32_t left = std::max(column, 0) * g_pane.charWidth;
  ClearArea(LayerRect{(row - 1) * g_pane.lineHeight, left, row * g_pane.lineHeight, PaneClientArea().right});
}

// At most the visible columns right of `column` of the text, on row `row` (from 1).
void DrawRowText(int32_t column, int32_t row, const char* text, int32_t length) {
  const int32_t room = g_pane.view.columns - column;
  const int32_t count = std::min(length, room);
  if (count <= 0 || column < 0 || !DrawingIsDue()) return;
  GuiWindowLayer* layer = PaneLayer();
  const int32_t x = column * g_pane.charWidth;
  const int32_t y = row * g_pane.lineHeight;
  ClearArea(LayerRect{y - g_pane.lineHeight, x, y, x + count * g_pane.charWidth});
  layer->SetBackgroundColor(g_pane.windowId, Background());
  layer->SetTextColor(g_pane.windowId, Foreground());
  layer->DrawTextAt(g_pane.windowId, x, y, text, count);
}

// A line of the scroll-back from the left column on a row, the rest of the row cleared.
void DrawLineOnRow(const char* text, int32_t row) {
  const int32_t length = text != nullptr ? static_cast<int32_t>(std::strlen(text)) : 0;
  if (length <= LeftColumn()) {
    ClearToEndOfRow(0, row);
    return;
  }
  DrawRowText(0, row, text + LeftColumn(), length - LeftColumn());
  ClearToEndOfRow(length - LeftColumn(), row);
}

// Line `number` of the view's numbering: the line in progress, a slot, or none.
const char* LineNumbered(int32_t number) {
  if (number == EndLine()) return g_pane.inProgress;
  if (number < 0 || number > EndLine() || number >= kCommandScrollBack) return nullptr;
  return g_pane.lines[static_cast<std::size_t>(number)].get();
}

void ShowCaretAtInput() {
  g_pane.caretPending = false;
  const int32_t x = (g_pane.inputColumn - LeftColumn()) * g_pane.charWidth;
  // The caret is full width while the line editor overwrites.
  PaneLayer()->ShowCaret(g_pane.windowId, x, InputRow() * g_pane.lineHeight, LineEditor::InsertSetting() == 0 ? 1 : 0);
}

void HideCaret() {
  g_pane.caretPending = false;
  PaneLayer()->HideCaret(0);
}

CommandPaneState::BarState& Bar(uint32_t bar) {
  return bar == kScrollBarVertical ? g_pane.vertical : g_pane.horizontal;
}

// A new range may move the thumb, so the position is given again after it.
void SetBarRange(uint32_t bar, int32_t maximum) {
  CommandPaneState::BarState& state = Bar(bar);
  if (state.maximum == maximum) return;
  PaneLayer()->SetScrollRange(g_pane.windowId, bar, 0, maximum);
  state.maximum = maximum;
  state.position = -1;
}

void SetBarPosition(uint32_t bar, int32_t position) {
  CommandPaneState::BarState& state = Bar(bar);
  if (state.position == position) return;
  PaneLayer()->SetScrollPos(g_pane.windowId, bar, position);
  state.position = position;
}

void SetVerticalThumb() { SetBarPosition(kScrollBarVertical, g_pane.top); }
void SetHorizontalThumb() { SetBarPosition(kScrollBarHorizontal, LeftColumn()); }
void InvalidateAll() { PaneLayer()->Invalidate(g_pane.windowId, nullptr); }

void ScrollContents(int32_t rowsDown) {
  const LayerRect client = PaneClientArea();
  PaneLayer()->ScrollRect(g_pane.windowId, client, 0, rowsDown * g_pane.lineHeight);
}

// The client area moves up one row and the last row is cleared. The caller has moved
// the view already; the repaint that the scroll runs at once sees it as it was.
void ScrollContentsUp() {
  --g_pane.top;
  --g_pane.bottom;
  ScrollContents(-1);
  ++g_pane.top;
  ++g_pane.bottom;
  const LayerRect client = PaneClientArea();
  ClearArea(LayerRect{(g_pane.rows - 1) * g_pane.lineHeight, 0, client.bottom, client.right});
}

void ScrollContentsDown() {
  ++g_pane.top;
  ++g_pane.bottom;
  ScrollContents(1);
  --g_pane.top;
  --g_pane.bottom;
  ClearArea(LayerRect{0, 0, g_pane.lineHeight, PaneClientArea().right});
}

// The view moved up by a row: a paint to come draws the picture anew.
void LeavePictureBehind() {
  if (g_pane.picture == Picture::Current) g_pane.picture = Picture::Owed;
  CommandWindow::SettlePicture(false);
}

// Back to the line in progress after the user scrolled away from it.
void FollowOutput() {
  if (g_pane.bottom == EndLine()) return;
  ClearArea(PaneClientArea());
  g_pane.bottom = EndLine();
  g_pane.top = std::max(EndLine() - g_pane.rows + 1, 0);
  int32_t row = 1;
  for (int32_t number = g_pane.top; number < g_pane.bottom; ++number, ++row) {
    const char* text = LineNumbered(number);
    if (text == nullptr) break;
    DrawLineOnRow(text, row);
  }
  DrawLineOnRow(g_pane.inProgress, g_pane.bottom - g_pane.top + 1);
  ShowCaretAtInput();
  SetVerticalThumb();
}

void ResetLeftColumn() {
  g_pane.view.leftColumn = 0;
  SetHorizontalThumb();
  InvalidateAll();
}

// 1. The line in progress gets the text (after what stands there), the rest of the
//    input row is cleared; a scrolled view goes back to column 0.
// 2. The line goes into the scroll-back (the oldest dropped once it is full) and the
//    line in progress starts empty.
// 3. The view moves one row down: the window's rows fill first; after that the
//    picture is painted anew from the scroll-back (a burst of lines, one paint).
void CompleteLine(const char* text, int32_t length) {
  HideCaret();
  const int32_t standing = InProgressLength();
  const int32_t appended = std::min(length, kLastInputColumn - standing);
  if (appended > 0) std::memcpy(g_pane.inProgress + standing, text, static_cast<std::size_t>(appended));
  // What stands on the row is drawn already: only the appended text and the rest of
  // the row. A view scrolled right is drawn whole from column 0 instead.
  if (LeftColumn() != 0) {
    ResetLeftColumn();
  } else {
    if (appended > 0) DrawRowText(standing, InputRow(), text, appended);
    ClearToEndOfRow(standing + std::max(appended, 0), InputRow());
  }
  g_pane.inputColumn = 0;
  if (g_pane.full) {
    std::rotate(g_pane.lines.begin(), g_pane.lines.begin() + 1, g_pane.lines.end());
    g_pane.lines.back().reset();
  }
  const bool becomesFull = !g_pane.full && g_pane.current == kCommandScrollBack - 1;
  if (becomesFull) g_pane.full = true;
  const std::size_t size = std::strlen(g_pane.inProgress) + 1;
  auto copy = std::make_unique<char[]>(size);
  std::memcpy(copy.get(), g_pane.inProgress, size);
  g_pane.lines[static_cast<std::size_t>(g_pane.current)] = std::move(copy);
  std::memset(g_pane.inProgress, 0, sizeof g_pane.inProgress);
  if (g_pane.current == kCommandScrollBack - 1) {
    // The slots moved down by one: the view's lines moved up by one. The line in
    // progress moves past the last slot when the scroll-back becomes full.
    if (becomesFull) {
      ++g_pane.bottom;
      if (g_pane.top <= g_pane.bottom - g_pane.rows) ++g_pane.top;
    }
    LeavePictureBehind();
    SetVerticalThumb();
  } else if (g_pane.current < g_pane.rows - 1) {
    ++g_pane.bottom;
    ++g_pane.current;
    if (g_pane.top <= g_pane.bottom - g_pane.rows) ++g_pane.top;
  } else {
    ++g_pane.current;
    ++g_pane.bottom;
    if (g_pane.top <= g_pane.bottom - g_pane.rows) ++g_pane.top;
    LeavePictureBehind();
    SetVerticalThumb();
  }
}

// The text goes into the line in progress at the input column (blanks fill a gap a
// cursor move left before it) and is drawn there.
void WriteInLine(const char* text, int32_t length) {
  const int32_t standing = InProgressLength();
  if (standing < g_pane.inputColumn) {
    std::memset(g_pane.inProgress + standing, ' ', static_cast<std::size_t>(g_pane.inputColumn - standing));
  }
  std::memcpy(g_pane.inProgress + g_pane.inputColumn, text, static_cast<std::size_t>(length));
  HideCaret();
  if (g_pane.inputColumn < LeftColumn()) ResetLeftColumn();
  DrawRowText(g_pane.inputColumn - LeftColumn(), InputRow(), text, length);
  g_pane.inputColumn += length;
}

void SetHorizontalRange() {
  TextPane& view = g_pane.view;
  view.maxWidth = kCommandMaxColumns;
  SetBarRange(kScrollBarHorizontal, std::max(0, kCommandMaxColumns - view.columns - 1));
  SetHorizontalThumb();
}

bool CanScroll() { return HasWindow() && !IsMinimized(); }

}  // namespace

void CommandWindow::InitPane(int32_t layerId) {
  g_pane.windowId = layerId;
  g_pane.vertical = {};
  g_pane.horizontal = {};
  if (CommandWindowPlacementMode() != kCommandPlacementUnlisted) AddWindowMenuEntry(layerId, kWindowMenuName);
  g_pane.columns = 80;
  Relayout(layerId);
}

void CommandWindow::ClosePane() {
  if (g_pane.windowId != kNoLayerId) RemoveWindowMenuEntry(g_pane.windowId);
  if (GuiWindowLayer* layer = PaneLayer(); layer != nullptr && g_pane.windowId != kNoLayerId) {
    layer->CloseWindow(g_pane.windowId);
    layer->Destroy(g_pane.windowId);
  }
  g_pane.windowId = kNoLayerId;
}

int32_t CommandWindow::WindowId() { return g_pane.windowId; }

// Output without a window is dropped; the scroll-back keeps what it had.
void CommandWindow::WriteText(const char* text, std::size_t length) {
  if (!HasWindow() || text == nullptr) return;
  GuiWindowLayer* layer = PaneLayer();
  const int32_t active = layer->GetActiveWindow();
  if (active != g_pane.windowId) layer->SelectWindow(g_pane.windowId);
  FollowOutput();
  // The line in progress never passes 511 characters: a text that does not fit is cut,
  // and a line end in the cut part is lost with it (the line stays open).
  const int32_t room = kCommandLineSize - g_pane.inputColumn;
  int32_t count = static_cast<int32_t>(std::min<std::size_t>(length, kCommandLineSize));
  const bool endsLine = count > 0 && (text[count - 1] == '\r' || text[count - 1] == '\n');
  if (static_cast<std::size_t>(room) < length || (count == room && !endsLine)) count = room - 1;
  if (count > 0 && (text[count - 1] == '\r' || text[count - 1] == '\n')) {
    CompleteLine(text, count - 1);
  } else if (count > 0) {
    WriteInLine(text, count);
  }
  LayOut(false);
  g_pane.caretPending = true;
  if (active != g_pane.windowId) layer->SelectWindow(active);
}

void CommandWindow::WriteChar(char ch) { WriteText(&ch, 1); }

int32_t CommandWindow::InputColumn() { return g_pane.inputColumn; }

void CommandWindow::RestoreCaret(int32_t column) {
  if (!CanScroll()) return;
  g_pane.inputColumn = std::clamp(column, 0, kLastInputColumn);
  if (g_pane.inputColumn == 0) return;
  HideCaret();
  ShowCaretAtInput();
}

void CommandWindow::PlaceCaret() {
  if (HasWindow()) ShowCaretAtInput();
}

void CommandWindow::Repaint(const LayerRect* area) {
  if (!HasWindow() || g_pane.lineHeight <= 0) return;
  const LayerRect client = PaneClientArea();
  const LayerRect painted = area != nullptr ? *area : client;
  const bool whole = painted.top <= client.top && painted.left <= client.left && painted.bottom >= client.bottom &&
                     painted.right >= client.right;
  g_pane.painting = true;
  ClearArea(painted);
  const int32_t firstRow = std::max(painted.top / g_pane.lineHeight, 0);
  int32_t lastRow = painted.bottom / g_pane.lineHeight + (painted.bottom % g_pane.lineHeight != 0 ? 1 : 0);
  lastRow = std::min(lastRow, g_pane.rows - 1);
  for (int32_t i = firstRow; i <= lastRow; ++i) {
    const int32_t number = g_pane.top + i;
    // The line in progress is drawn below, after the stored lines.
    const bool stored = number <= g_pane.bottom && number < EndLine();
    DrawLineOnRow(stored ? LineNumbered(number) : nullptr, i + 1);
  }
  if (g_pane.inProgress[0] != '\0' && EndLine() == g_pane.bottom) {
    DrawLineOnRow(g_pane.inProgress, g_pane.bottom - g_pane.top + 1);
  }
  g_pane.painting = false;
  if (whole) g_pane.picture = Picture::Current;
}

void CommandWindow::SettlePicture(bool now) {
  if (g_pane.picture != Picture::Owed || !HasWindow()) return;
  const uint64_t time = platform::MonotonicMicroseconds();
  if (!now && time - g_pane.pictureAskedAt < kPictureIntervalMicroseconds) return;
  g_pane.picture = Picture::Asked;
  g_pane.pictureAskedAt = time;
  InvalidateAll();
}

void CommandWindow::Relayout(int32_t layerId) {
  if (PaneLayer() == nullptr || layerId != g_pane.windowId || !HasWindow()) return;
  LayOut(true);
}

// The pane's rows, columns and bars from the client area; the font is measured again
// only when asked (size and font changes come through Relayout; output keeps it).
void CommandWindow::LayOut(bool measureFont) {
  GuiWindowLayer* layer = PaneLayer();
  const int32_t layerId = g_pane.windowId;
  if (measureFont || g_pane.lineHeight <= 0 || g_pane.charWidth <= 0) {
    int32_t externalLeading = 0;
    int32_t ascent = 0;
    int32_t descent = 0;
    layer->GetFontMetrics(layerId, &externalLeading, &ascent, &descent);
    g_pane.lineHeight = externalLeading + ascent + descent;
    g_pane.charWidth = std::max(layer->GetTextWidth(layerId, "W", -1), 0);
    if (WinSuper* window = WindowTable::Get(layerId)) {
      window->SetLineHeight(g_pane.lineHeight);
      window->SetCharWidth(g_pane.charWidth);
    }
  }
  const LayerRect client = PaneClientArea();
  g_pane.rows = g_pane.lineHeight > 0 ? (client.bottom - client.top) / g_pane.lineHeight : 0;
  g_pane.columns = g_pane.charWidth > 0 ? (client.right - client.left) / g_pane.charWidth : 0;
  g_pane.view.rows = g_pane.rows;
  g_pane.view.columns = g_pane.columns;
  DVError status(0, 0, kDisplayNone);
  ViewDispatcher::RunGuiCommandForKind(status, kViewCommand, &g_pane.view, kRequestLineWidth,
                                       reinterpret_cast<intptr_t>(&g_pane.columns));
  if (EndLine() < g_pane.rows) {
    g_pane.top = 0;
    g_pane.bottom = EndLine();
  } else {
    g_pane.top = g_pane.bottom - g_pane.rows + 1;
    if (g_pane.top < 0) {
      g_pane.top = 0;
      g_pane.bottom = std::min(g_pane.rows - 1, EndLine());
    }
  }
  // One position per line the rows leave above the line in progress: the thumb's
  // last position shows the last completed lines, and a line down from there brings
  // the line in progress back. Once the scroll-back is full the positions count the
  // oldest kept line too, which the numbering of the view can show.
  const int32_t maximum = std::max(0, EndLine() - g_pane.rows);
  SetBarRange(kScrollBarVertical, maximum);
  if (maximum != 0) SetVerticalThumb();
  SetHorizontalRange();
  // The line editor learned the width above: its wait for a key looks again.
  KeyQueue::NoteInputAvailable();
  if (EndLine() != g_pane.bottom) return;
  if (measureFont) {
    ShowCaretAtInput();
  } else {
    g_pane.caretPending = true;
  }
}

void CommandWindow::ShowPendingCaret() {
  if (!g_pane.caretPending) return;
  g_pane.caretPending = false;
  if (HasWindow() && !IsMinimized() && EndLine() == g_pane.bottom) ShowCaretAtInput();
}

void CommandWindow::HandleKey(int32_t code) {
  switch (code) {
    case kKeyCtrlHome: ScrollToTop(); break;
    case kKeyCtrlEnd: ScrollToBottom(); break;
    case kKeyPageUp: PageUp(); break;
    case kKeyPageDown: PageDown(); break;
    case kKeyCtrlUp: LineUp(); break;
    case kKeyCtrlDown: LineDown(); break;
    case kKeyCtrlLeft: HandleHorizontalScroll(g_pane.windowId, 0, 0); break;
    case kKeyCtrlRight: HandleHorizontalScroll(g_pane.windowId, 1, 0); break;
    case kKeyCtrlPageUp: HandleHorizontalScroll(g_pane.windowId, 2, 0); break;
    case kKeyCtrlPageDown: HandleHorizontalScroll(g_pane.windowId, 3, 0); break;
    case kKeyPopupMenu: break;
    default: KeyQueue::Push(static_cast<uint32_t>(code)); break;
  }
}

void CommandWindow::HandleFocus(bool gained) {
  if (!HasWindow()) return;
  if (!gained) {
    HideCaret();
    return;
  }
  if (g_pane.bottom == EndLine() && LeftColumn() <= kCommandMaxColumns - g_pane.view.columns && !IsMinimized()) {
    ShowCaretAtInput();
  }
}

void CommandWindow::HandleVerticalScroll(int32_t layerId, int32_t code, int32_t position) {
  if (!CanScroll() || layerId != g_pane.windowId) return;
  switch (code) {
    case 0: LineUp(); break;
    case 1: LineDown(); break;
    case 2: PageUp(); break;
    case 3: PageDown(); break;
    case 4:
    case 5: ScrollToLine(position); break;
    default: break;
  }
}

void CommandWindow::HandleHorizontalScroll(int32_t layerId, int32_t code, int32_t position) {
  if (!CanScroll() || layerId != g_pane.windowId) return;
  HideCaret();
  const int32_t left = LeftColumn();
  const int32_t width = g_pane.view.columns;
  const int32_t widest = kCommandMaxColumns;
  int32_t next = left;
  switch (code) {
    case 0:
    case 2:
      if (left == 0) {
        PaneLayer()->Beep();
        ShowCaretAtInput();
        return;
      }
      next = code == 0 ? left - 1 : std::max(left - width, 0);
      break;
    case 1:
    case 3:
      if (left > widest - width) {
        if (code == 3) PaneLayer()->Beep();
        ShowCaretAtInput();
        return;
      }
      next = code == 1 ? left + 1 : left + width;
      if (code == 3 && next >= widest) next = widest - width;
      break;
    case 4:
    case 5: next = std::clamp(position, 0, widest); break;
    default: ShowCaretAtInput(); return;
  }
  g_pane.view.leftColumn = std::max(next, 0);
  InvalidateAll();
  SetHorizontalThumb();
  ShowCaretAtInput();
}

int32_t CommandWindow::OnEngineNotice(uint32_t, uint32_t code, const void* words) {
  if (code != kNoticeShiftView || words == nullptr) return -1;
  CommandShiftRequest request{};
  std::memcpy(&request, words, sizeof request);
  ShiftHorizontally(request.direction, request.count, request.caretColumn);
  return 0;
}

// The line editor keeps its cursor in view: the view moves by whole columns and its
// pixels move with it; a view back at column 0 is drawn whole.
void CommandWindow::ShiftHorizontally(int32_t direction, int32_t count, int32_t caretColumn) {
  if (!HasWindow()) return;
  HideCaret();
  const int32_t n = std::clamp(count, 0, kLastInputColumn);
  TextPane& view = g_pane.view;
  const LayerRect client = PaneClientArea();
  if (direction == kShiftLeft) {
    if (view.leftColumn - n <= 0) {
      view.leftColumn = 0;
      InvalidateAll();
    } else {
      view.leftColumn -= n;
      PaneLayer()->ScrollRect(g_pane.windowId, client, n * g_pane.charWidth, 0);
    }
  } else {
    view.leftColumn = std::min(view.leftColumn + n, kLastInputColumn);
    PaneLayer()->ScrollRect(g_pane.windowId, client, -n * g_pane.charWidth, 0);
  }
  SetHorizontalThumb();
  PaneLayer()->ShowCaret(g_pane.windowId, (caretColumn - 1 - view.leftColumn) * g_pane.charWidth,
                     InputRow() * g_pane.lineHeight, LineEditor::InsertSetting() == 0 ? 1 : 0);
}

void CommandWindow::ScrollToTop() {
  if (!CanScroll() || EndLine() <= g_pane.rows - 1) return;
  HideCaret();
  g_pane.top = 0;
  g_pane.bottom = g_pane.rows - 1;
  InvalidateAll();
  SetVerticalThumb();
}

void CommandWindow::ScrollToBottom() {
  if (!CanScroll() || EndLine() <= g_pane.rows - 1) return;
  g_pane.bottom = EndLine();
  g_pane.top = std::max(g_pane.bottom - g_pane.rows + 1, 0);
  ShowCaretAtInput();
  SetVerticalThumb();
  InvalidateAll();
}

void CommandWindow::PageUp() {
  if (!CanScroll()) return;
  if (g_pane.top < 1) {
    PaneLayer()->Beep();
    return;
  }
  HideCaret();
  g_pane.top = g_pane.bottom - g_pane.rows < g_pane.rows ? 0 : g_pane.top - g_pane.rows;
  g_pane.bottom = g_pane.top + g_pane.rows - 1;
  InvalidateAll();
  SetVerticalThumb();
}

void CommandWindow::PageDown() {
  if (!CanScroll()) return;
  if (g_pane.bottom == EndLine()) {
    PaneLayer()->Beep();
    return;
  }
  g_pane.bottom = EndLine() < g_pane.bottom + g_pane.rows ? EndLine() : g_pane.bottom + g_pane.rows;
  if (g_pane.bottom == EndLine()) {
    ShowCaretAtInput();
  } else {
    HideCaret();
  }
  g_pane.top = std::max(g_pane.bottom - g_pane.rows + 1, 0);
  InvalidateAll();
  SetVerticalThumb();
}

// The line that comes into view is drawn from the left column like every other line.
void CommandWindow::LineUp() {
  if (!CanScroll() || g_pane.top == 0) return;
  HideCaret();
  --g_pane.bottom;
  --g_pane.top;
  ScrollContentsDown();
  DrawLineOnRow(LineNumbered(g_pane.top), 1);
  SetVerticalThumb();
}

void CommandWindow::LineDown() {
  if (!CanScroll() || g_pane.bottom == EndLine()) return;
  ++g_pane.bottom;
  ++g_pane.top;
  ScrollContentsUp();
  DrawLineOnRow(LineNumbered(g_pane.bottom), g_pane.rows);
  if (g_pane.bottom == EndLine()) {
    ShowCaretAtInput();
  } else {
    HideCaret();
  }
  SetVerticalThumb();
}

void CommandWindow::ScrollToLine(int32_t position) {
  const int32_t p = std::max(position, 0);
  if (!CanScroll() || p == g_pane.top || EndLine() < g_pane.rows) return;
  if (p > EndLine() - g_pane.rows) {
    g_pane.top = EndLine() - g_pane.rows + 1;
    g_pane.bottom = g_pane.top + g_pane.rows - 1;
    if (g_pane.top < 0) {
      g_pane.top = 0;
      g_pane.bottom = EndLine();
    }
  } else {
    g_pane.top = p;
    g_pane.bottom = p + g_pane.rows - 1;
  }
  InvalidateAll();
  SetVerticalThumb();
}

const char* CommandWindow::StoredLine(int32_t index) {
  if (index < 0 || index >= kCommandScrollBack || !g_pane.lines[static_cast<std::size_t>(index)]) return "";
  return g_pane.lines[static_cast<std::size_t>(index)].get();
}

const char* CommandWindow::LineInProgress() { return g_pane.inProgress; }
int32_t CommandWindow::CurrentLineIndex() { return g_pane.current; }
bool CommandWindow::IsFull() { return g_pane.full; }
int32_t CommandWindow::TopLine() { return g_pane.top; }
int32_t CommandWindow::BottomLine() { return g_pane.bottom; }
int32_t CommandWindow::Rows() { return g_pane.rows; }
int32_t CommandWindow::Columns() { return g_pane.columns; }
TextPane& CommandWindow::View() { return g_pane.view; }

void CommandWindow::Reset() { g_pane = CommandPaneState{}; }

void CommandPaneShell::WriteText(const char* text, std::size_t count) { CommandWindow::WriteText(text, count); }

void CommandPaneShell::LineFeed() {
  g_pane.outputRow = std::min(g_pane.outputRow + 1, std::max(g_pane.rows - 1, 0));
  g_pane.outputColumn = 0;
  CommandWindow::WriteText("\n", 1);
}

void CommandPaneShell::ColumnToStart() {
  g_pane.outputColumn = 0;
  CommandWindow::RestoreCaret(0);
}

void CommandPaneShell::InputColumnToStart() { CommandWindow::RestoreCaret(0); }
void CommandPaneShell::RowUp() { g_pane.outputRow = std::max(g_pane.outputRow - 1, 0); }
void CommandPaneShell::RowDown() { g_pane.outputRow = std::min(g_pane.outputRow + 1, std::max(g_pane.rows - 1, 0)); }
void CommandPaneShell::CursorRight() { CommandWindow::RestoreCaret(g_pane.inputColumn + 1); }
void CommandPaneShell::CursorLeft() { CommandWindow::RestoreCaret(std::max(g_pane.inputColumn - 1, 0)); }

void CommandPaneShell::MoveCursor(uint8_t column, uint8_t row) {
  g_pane.outputColumn = column;
  g_pane.outputRow = row;
  CommandWindow::RestoreCaret(column);
}

void CommandPaneShell::Beep() {
  if (GuiWindowLayer* layer = PaneLayer()) layer->Beep();
}

void CommandPaneShell::ShowCommandCaret() { CommandWindow::PlaceCaret(); }

void CommandPaneShell::KeyTaken(uint32_t key) {
  switch (key) {
    case 13:
    case 252: CommandWindow::RestoreCaret(0); break;
    case 243:
      if (g_pane.outputColumn < g_pane.columns) ++g_pane.outputColumn;
      break;
    case 244: g_pane.outputColumn = std::max(g_pane.outputColumn - 1, 0); break;
    default: break;
  }
}

int32_t CommandPaneShell::OutputRow() { return g_pane.outputRow; }
int32_t CommandPaneShell::OutputColumn() { return g_pane.outputColumn; }

}  // namespace zentor
