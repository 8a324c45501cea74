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
};

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
  int32_t fetchOnDemand = 0;
  // Set by the window: a marker column left of the text, and a pane whose selection
  // is text (the Source and Command windows) rather than fields.
  bool markerColumn = false;
  bool textSelection = false;
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
};

}  // namespace zentor
