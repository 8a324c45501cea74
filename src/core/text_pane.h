#pragma once
// The text pane of a line window: the lines its producer (the window's view manager,
// or the window itself) writes, and the view state that says which of them show,
// which is current, what is selected and how the scroll bars stand. The pane may hold
// the whole document or a window of it; when a move goes past what it holds it asks
// its owner for lines. The view managers of the target interface and the engine write
// the lines, the GUI draws them; this is the model both share, free of drawing. What
// it needs of a window (scroll bars, repainting, the beep, the client size, the
// message loop) goes through the PaneWindowPort, which does nothing until the GUI
// installs one.

#include <cstdint>
#include <string>
#include <vector>

#include "core/installed_service.h"

namespace zentor {

// Handle of a panel of the panel library (console/panel.h); 0 = none.
using PanelHandle = uintptr_t;

struct TextPane;

// Start column and width of one field.
struct FieldPosition {
  int32_t start = -1;
  int32_t width = -1;
};

// The selectable fields of one line: either `count` fields of one width with `gap`
// blank columns between them from column `start` (fixed), or a list of positions.
struct FieldLayout {
  int32_t count = 0;
  int32_t fixed = 1;
  int32_t gap = 0;
  int32_t start = 0;
  const FieldPosition* list = nullptr;
  int32_t width = 0;

  // Start and width of field `index`; (-1, -1) when there is no such field.
  FieldPosition FieldSpan(int32_t index) const;
  // Index of the field in which the pane's selected column lies: 0 for layouts of
  // fewer than two fields; always a field of the layout.
  static int32_t FieldAtColumn(const TextPane& pane, const FieldLayout* layout);
  // The first field that starts at or after `column` or contains it; the last field
  // when none does; (-1, -1) for a layout without fields.
  static FieldPosition FieldNearColumn(int32_t column, const FieldLayout* layout);
};

// The edit state of a field pane's selected field: its text as edited and as it was
// selected, the caret in it and the insert mode. The texts hold at most 255
// characters, so a field is edited over at most its first 255 columns.
inline constexpr int32_t kMaxFieldWidth = 255;

struct FieldEditRecord {
  int32_t caretOffset = 0;
  int32_t wideCaret = 1;
  int32_t insertMode = 0;
  char editText[kMaxFieldWidth + 1] = {};
  char savedText[kMaxFieldWidth + 1] = {};
  int32_t fieldLength = 0;
};

// Identifier words of a line (letters, digits, '_' and '$'), for the word moves of
// the line keys. NextWord: the word at or after `position` past any non-identifier
// characters. PreviousWord: the word before `position`, over the characters in
// between. Length 0 when there is none or the position lies outside the text.
void NextWord(const char* text, int32_t textLength, int32_t position, int32_t* start, int32_t* length);
void PreviousWord(const char* text, int32_t textLength, int32_t position, int32_t* start, int32_t* length);

// One line of a pane. The producer owns it; the pane reads it and rewrites only its
// text in place. Null `text` is a line without text, null `fields` one without fields.
struct PaneLine {
  uint32_t attr = 0;
  int32_t length = 0;
  int32_t capacity = 0;
  char* text = nullptr;
  FieldLayout* fields = nullptr;
  uintptr_t lineData = 0;
};

// Attribute bits of a line.
inline constexpr uint32_t kLineMarkerBits = 0x00FF;
inline constexpr uint32_t kLineMarkerLowerCase = 0x0100;
inline constexpr uint32_t kLineNoColor = 0x0800;
inline constexpr uint32_t kLineExecutionBar = 0x4000;
inline constexpr uint32_t kLineMarkerShown = 0x8000;

// Who fills a pane: answers the pane's requests for lines (a GuiCommand code and its
// argument) with a status number, 0 when it has rewritten `lines`, `count`, `first`,
// `last` and `total`.
class PaneOwner {
 public:
  virtual ~PaneOwner();
  virtual int32_t SendViewRequest(int32_t code, intptr_t argument) = 0;
};

// What the pane and the view dispatcher ask of the windowing system. The base does
// nothing: no scroll bars, nothing to repaint, no window, no client area.
class PaneWindowPort {
 public:
  virtual ~PaneWindowPort();
  virtual void SetVScrollRange(int32_t layerId, int32_t minimum, int32_t maximum);
  virtual void SetVScrollPos(int32_t layerId, int32_t position);
  virtual void SetHScrollRange(int32_t layerId, int32_t minimum, int32_t maximum);
  virtual void SetHScrollPos(int32_t layerId, int32_t position);
  virtual void InvalidateWindow(int32_t layerId);
  // Redraws line `index` of the pane's lines.
  virtual void RedrawLine(int32_t layerId, int32_t index);
  virtual void Beep();
  // The client area in character cells (width / char width, height / line height);
  // false when the window has none.
  virtual bool ClientCells(int32_t layerId, int32_t* columns, int32_t* rows);
  // Switches the message pumps off (false) and on around a request to an owner,
  // with the wait cursor pushed meanwhile.
  virtual void BeginOwnerRequest();
  virtual void EndOwnerRequest();
  // One round of the message loop (the input wait's round).
  virtual void RunMessageLoopRound();
  // Whether a window of `kind` belonging to the viewpoint value is open.
  virtual bool WindowExists(int32_t kind, int32_t viewpointValue);

  // What the pane's moves and edits ask to be drawn; the window renders, the pane has
  // decided. Rows count below the headers, columns from the view's left column.
  // The text rows' pixels move by `rows` rows (negative: up), the uncovered strip cleared.
  virtual void ScrollTextRows(int32_t layerId, int32_t rows);
  // The area below the last text row is cleared.
  virtual void ClearBelowRows(int32_t layerId);
  virtual void DrawMarkerColumn(int32_t layerId);
  // The text selection of line `index` drawn highlighted, or plain again.
  virtual void DrawSelection(int32_t layerId, int32_t index);
  virtual void ClearSelection(int32_t layerId, int32_t index);
  // The word at the cursor of a text-selection pane is found again and drawn.
  virtual void ShowWordAtCursor(int32_t layerId);
  // The selected field of the current line drawn from the line's text.
  virtual void DrawSelectedField(int32_t layerId);
  // Whether the window holds the keyboard focus (the caret shows only then).
  virtual bool HasFocus(int32_t layerId);
  // The caret at a cell (`row` counts the header rows too), full width or narrow.
  virtual void ShowCaret(int32_t layerId, int32_t column, int32_t row, bool wide);
  virtual void HideCaret(int32_t layerId);
};

// The installed port (the base until the GUI installs its own).
InstalledService<PaneWindowPort>& PaneWindow();

// Directions of AtBoundary and MoveView.
inline constexpr int32_t kPaneLineUp = 0;
inline constexpr int32_t kPaneLineDown = 1;
inline constexpr int32_t kPanePageUp = 2;
inline constexpr int32_t kPanePageDown = 3;

// Status of a request nobody answered (a pane without an owner).
inline constexpr int32_t kPaneNoOwner = -1;

struct TextPane {
  int32_t layerId = -1;
  PaneLine** lines = nullptr;
  int32_t top = 0;
  int32_t row = 0;
  int32_t selStart = -1;
  int32_t selLength = -1;
  int32_t columns = 0;
  int32_t rows = 0;
  int32_t cursorColumn = 0;
  int32_t leftColumn = 0;
  int32_t maxWidth = 0;
  int32_t first = 0;
  int32_t last = -1;
  int32_t count = 0;
  int32_t scrollPos = 0;
  int32_t total = 0;
  PanelHandle panel = 0;
  char** headers = nullptr;
  FieldEditRecord fieldEdit;
  int32_t fetchOnDemand = 0;
  // Set by the window: a marker column left of the text, and a pane whose selection
  // is text (the Source and Command windows) rather than fields.
  bool markerColumn = false;
  bool textSelection = false;
  // Lines with selectable fields, a caret and a field edit (the data windows).
  bool fieldPane = false;
  PaneOwner* owner = nullptr;

  // Number of header texts.
  int32_t HeaderCount() const;
  // Line `index` of the held lines; null when there is none.
  PaneLine* LineAt(int32_t index) const;

  // The bookkeeping after the producer changed the lines.
  void Revalidate();
  // -1 when a move in the direction is impossible, else 0.
  int32_t AtBoundary(int32_t direction) const;
  // Moves the view: 0, or the owner's status when it had to ask.
  int32_t MoveView(int32_t direction);
  // Asks the owner for lines (code and argument) and normalises what it answered.
  int32_t RequestLines(int32_t code, intptr_t argument = 0);
  // Makes absolute line `line` the top line, asking the owner when it is not held.
  void ScrollToLine(int32_t line);

  // Scroll events: a code (0 line up, 1 line down, 2 page up, 3 page down, 4 thumb
  // dragged, 5 thumb released or an end of the bar) and the bar's 32-bit position.
  void HandleVScroll(int32_t code, int32_t position);
  void HandleHScroll(int32_t code, int32_t position);
  // The size event: the client area now holds `clientColumns` by `clientRows` cells.
  void Resize(int32_t clientColumns, int32_t clientRows);
  // Page moves beep when impossible; the line moves answer 1 when they moved, 0 after
  // a beep.
  void PageUp();
  void PageDown();
  int32_t ScrollLineUp();
  int32_t ScrollLineDown();
  // Horizontal moves; the column moves and page moves beep at their limits.
  void ColumnLeft();
  void ColumnRight();
  void PageLeft();
  void PageRight();
  void SetLeftColumn(int32_t column);

  // The line keys of line panes (internal key codes) and the jumps among them.
  void HandleKey(int32_t code);
  void HandleJumpKey(int32_t code);
  // Replaces the header texts by copies of `n` texts (0 removes them, a negative n
  // changes nothing): 0, or 181 when the copies could not be made (no headers then).
  int32_t SetHeaders(const char* const* texts, int32_t n);
  // Makes (start, length) the text selection of line `index`, drawn over the old one.
  void RepaintLinePart(int32_t index, int32_t start, int32_t length);

  // Field panes: the selected field (row, start, width); see the field edit below.
  void SelectField(int32_t row, int32_t start, int32_t width);
  void SetSelectedField(int32_t row, int32_t start, int32_t width);
  void ShowSelection();
  int32_t InitialCaretOffset() const;
  int32_t SetCaretOffset(int32_t offset);
  void PlaceCaret();
  void WriteFieldText(const char* text);
  int32_t CommitFieldEdit();
  void SnapToFieldLine();
  int32_t SelectFirstField();
  int32_t LastFieldLine() const;
  int32_t FieldLineAbove(int32_t fromRow);
  int32_t FieldLineBelow(int32_t fromRow);
  void HandleFieldKey(int32_t code);
  int32_t MoveFieldSelection(int32_t code);
  // A click at a character cell of the client area (headers included).
  void HandleFieldMouse(int32_t cellRow, int32_t cellColumn);

  // The scroll values, handed on to the window through the port.
  int32_t VScrollMaximum() const;
  void UpdateVScrollRange();
  void UpdateVScrollPos();
  void UpdateHScrollBar();

  // The selected field's characters of the current line (at most 255).
  std::string SelectedFieldText() const;
  // Replaces the text of line `index` in place by a text of the same length (another
  // length changes nothing) and redraws it when it shows; null only redraws.
  void UpdateLineText(int32_t index, const char* text);

  // Index of the current line (top + row, at most count - 1); -1 when the pane has no
  // lines or its total is neither -1 nor positive.
  int32_t CurrentLineIndex() const;
  // The longest text among `rows` held lines from `firstLine`, up to the first missing
  // line or text.
  int32_t MaxLineLength(int32_t firstLine) const;
  // Text-selection panes: selects the identifier at or nearest the cursor on the
  // current line (forward first, then back), moving the cursor to its start; 1 when
  // one was found, else 0 with no selection. An identifier is a run of letters,
  // digits, '_' and '$' that does not begin with a digit.
  int32_t FindWordAtColumn();
  // Puts the cursor on (row, column), both counted from 1, when an identifier is found
  // from there; otherwise the row and column stay as they were. FindWordAtColumn's answer.
  int32_t TrySetCursor(int32_t row, int32_t column);

 private:
  int32_t AskOwner(int32_t code, intptr_t argument);
  void DropNullLastLine();
  void PullRowBack();
  bool IsRowVisible(int32_t index) const;

  // The current line (lines[top + row]) or null.
  PaneLine* CurrentLine() const { return LineAt(top + row); }
  bool LineHasFields(int32_t index) const;
  // Selects the field of the current line at the selected column.
  void SelectFieldAtCurrentColumn();
  // Rows a page move goes: one row is kept from the page before, but a page moves by
  // at least one row.
  int32_t PageStep() const { return rows > 1 ? rows - 1 : 1; }
  void MakeLineVisible(int32_t index);
  void FollowCaret();
  void MoveToWord(int32_t start, int32_t length);
  void PageMove(int32_t direction);
  int32_t ScrollOneLine(int32_t direction);
  void FollowFieldLine(int32_t documentLine, bool down);
  // Set while the horizontal range changes: the size event the window system sends
  // meanwhile only recomputes the bars.
  static bool& RangeChangeFlag();

  std::vector<std::string> m_headerTexts;
  std::vector<char*> m_headerList;
  // What the widest line was last measured over: the held lines do not change between
  // the producer's answers, so a line move of a long document measures nothing again.
  struct WidthScan {
    PaneLine** lines = nullptr;
    char** headers = nullptr;
    int32_t count = -1;
    int32_t first = -1;
    int32_t maxWidth = -1;
    bool operator==(const WidthScan&) const = default;
  };
  WidthScan m_widthScan;
};

// The key and mouse state all line panes share (one gesture at a time): the text
// mode that Space sets for the rest of the run, and whether the cursor stands in the
// marker column.
struct PaneGestureState {
  bool textMode = false;
  bool markerColumnActive = false;
};
PaneGestureState& PaneGestures();
void ResetPaneGestures();

}  // namespace zentor
