// The text pane's scroll events, size events and horizontal moves over a document
// owner: where the view ends up, what is drawn for a one-line scroll, and panes
// without lines or rows that every event leaves as they were.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/text_pane.h"
#include "harness/pane_document.h"

namespace zentor {
namespace {

using testing_support::DocumentLine;
using testing_support::PaneDocument;
using testing_support::RecordingPanePort;

std::vector<DocumentLine> Numbered(int32_t size, int32_t width = 8) {
  std::vector<DocumentLine> lines;
  for (int32_t i = 0; i < size; ++i) {
    std::string text = "line " + std::to_string(i);
    text.resize(static_cast<std::size_t>(std::max<int32_t>(width, static_cast<int32_t>(text.size()))), '.');
    lines.push_back({text, {}});
  }
  return lines;
}

// The document line on the first row.
int32_t TopLine(const TextPane& pane) { return pane.first + pane.top; }

TEST(TextPaneScrollEvents, MoveTheView) {
  struct Case {
    const char* name;
    int32_t size, window, rows, startLine;
    int32_t code, position;
    int32_t topLine;
    int beeps;
  };
  const std::vector<Case> cases = {
      {"line down", 50, 0, 10, 0, 1, 0, 1, 0},
      {"line up at the start beeps", 50, 0, 10, 0, 0, 0, 0, 1},
      {"page down keeps one row", 50, 0, 10, 0, 3, 0, 9, 0},
      {"page up from the end", 50, 0, 10, 40, 2, 0, 31, 0},
      {"page down at the end beeps", 50, 0, 10, 40, 3, 0, 40, 1},
      {"thumb dragged does not scroll", 50, 0, 10, 0, 4, 30, 0, 0},
      {"thumb released scrolls", 50, 0, 10, 0, 5, 30, 30, 0},
      {"a released thumb past the range stops at the end", 50, 0, 10, 0, 5, 900, 40, 0},
      {"a negative thumb stops at the start", 50, 0, 10, 20, 5, -7, 0, 0},
      {"a one-row pane pages by one row", 50, 0, 1, 5, 3, 0, 6, 0},
      {"window of the document, thumb outside it", 500, 40, 10, 0, 5, 300, 300, 0},
      {"window of the document, line down past it", 500, 40, 10, 35, 1, 0, 36, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingPanePort port;
    TextPane pane;
    pane.rows = c.rows;
    pane.columns = 20;
    PaneDocument document(pane, Numbered(c.size), c.window);
    pane.ScrollToLine(c.startLine);
    ASSERT_EQ(TopLine(pane), c.startLine);
    port.Take();
    pane.HandleVScroll(c.code, c.position);
    EXPECT_EQ(TopLine(pane), c.topLine);
    EXPECT_EQ(port.Count("beep"), c.beeps);
    EXPECT_LT(pane.top + pane.row, pane.count);
  }
}

TEST(TextPaneScrollEvents, OneLineScrollDrawsOneLine) {
  RecordingPanePort port;
  TextPane pane;
  pane.rows = 20;
  pane.columns = 40;
  PaneDocument document(pane, Numbered(100));
  port.Take();
  ASSERT_EQ(pane.ScrollLineDown(), 1);
  const std::string drawn = port.Take();
  EXPECT_NE(drawn.find("scroll -1\nline 20\n"), std::string::npos) << drawn;
  EXPECT_EQ(drawn.find("invalidate"), std::string::npos) << drawn;
  size_t lines = 0;
  for (size_t at = drawn.find("line "); at != std::string::npos; at = drawn.find("line ", at + 1)) ++lines;
  EXPECT_EQ(lines, 1u) << drawn;
  ASSERT_EQ(pane.ScrollLineUp(), 1);
  EXPECT_NE(port.Take().find("scroll 1\nline 0\n"), std::string::npos);
}

// A pane with no lines, or with no rows to show them in, takes every event without
// a current row outside its lines, a selection or a read past a line.
TEST(TextPaneScrollEvents, EmptyAndRowlessPanesStayPut) {
  struct Case {
    const char* name;
    int32_t size, rows;
  };
  const std::vector<Case> cases = {{"count 0", 0, 10}, {"rows 0", 30, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingPanePort port;
    TextPane pane;
    pane.rows = c.rows;
    pane.columns = 10;
    pane.fieldPane = true;
    PaneDocument document(pane, Numbered(c.size, 30));
    for (int32_t code = 0; code < 7; ++code) pane.HandleVScroll(code, 5);
    for (int32_t code = 0; code < 7; ++code) pane.HandleHScroll(code, 5);
    for (int32_t key : {9, 13, 27, 97, 301, 302, 303, 304, 305, 306, 309, 310, 315, 319, 320, 321, 324, 371, 372}) {
      pane.HandleFieldKey(key);
      pane.HandleKey(key);
    }
    pane.HandleFieldMouse(1, 1);
    pane.PageDown();
    pane.PageUp();
    pane.ScrollLineDown();
    EXPECT_EQ(pane.row, 0);
    EXPECT_TRUE(pane.count == 0 || pane.top < pane.count) << pane.top;
    EXPECT_EQ(pane.selLength, -1);
  }
}

TEST(TextPaneScrollEvents, ResizeKeepsTheEndInView) {
  RecordingPanePort port;
  TextPane pane;
  pane.rows = 5;
  pane.columns = 20;
  PaneDocument document(pane, Numbered(30));
  pane.ScrollToLine(25);
  pane.row = 4;
  // Taller: the last rows of the document fill the window, the current line stays.
  pane.Resize(20, 10);
  EXPECT_EQ(pane.rows, 10);
  EXPECT_EQ(TopLine(pane), 20);
  EXPECT_EQ(pane.top + pane.row, 29);
  EXPECT_EQ(port.vPosition, 20);
  // Shorter: the current row stays within the rows.
  pane.Resize(20, 3);
  EXPECT_EQ(pane.row, 2);
  // The marker column takes a column of its own.
  pane.markerColumn = true;
  pane.Resize(21, 3);
  EXPECT_EQ(pane.columns, 20);
}

TEST(TextPaneHorizontal, MovesStopAtTheEdges) {
  struct Case {
    const char* name;
    int32_t width, columns, left;
    int32_t code, position;
    int32_t expectedLeft;
    int beeps;
  };
  const std::vector<Case> cases = {
      {"column left at 0 beeps", 100, 30, 0, 0, 0, 0, 1},
      {"column right", 100, 30, 0, 1, 0, 1, 0},
      {"column right at the end beeps", 100, 30, 70, 1, 0, 70, 1},
      {"page right near the end stops at the end", 100, 30, 60, 3, 0, 70, 0},
      {"page left stops at 0", 100, 30, 10, 2, 0, 0, 0},
      {"thumb", 100, 30, 0, 5, 44, 44, 0},
      {"thumb past the end", 100, 30, 0, 4, 500, 70, 0},
      {"no room to scroll: nothing", 20, 30, 0, 3, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingPanePort port;
    TextPane pane;
    pane.rows = 5;
    pane.columns = c.columns;
    PaneDocument document(pane, Numbered(10, c.width));
    pane.UpdateHScrollBar();
    pane.leftColumn = c.left;
    pane.HandleHScroll(c.code, c.position);
    EXPECT_EQ(pane.leftColumn, c.expectedLeft);
    EXPECT_EQ(port.Count("beep"), c.beeps);
  }
  // With the view as wide as the text a page right beeps.
  RecordingPanePort port;
  TextPane pane;
  pane.columns = 30;
  pane.maxWidth = 30;
  pane.PageRight();
  EXPECT_EQ(port.Count("beep"), 1);
}

}  // namespace
}  // namespace zentor
