// The text pane model against a fake owner that holds a document and hands out a
// window of it: walks through the document line by line and page by page end where
// the document ends and never skip or repeat a line; unknown totals and null last
// lines; going to a line; the scroll values the window is given; field texts.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "core/text_pane.h"
#include "core/view_kind.h"

namespace zentor {
namespace {

// Records what the pane asks of the window.
class RecordingPort : public PaneWindowPort {
 public:
  void SetVScrollRange(int32_t, int32_t, int32_t maximum) override { m_vMaximum = maximum; }
  void SetVScrollPos(int32_t, int32_t position) override { m_vPosition = position; }
  void RedrawLine(int32_t, int32_t index) override { m_redrawn.push_back(index); }
  void Beep() override { ++m_beeps; }
  void BeginOwnerRequest() override { ++m_ownerRequests; }

  int32_t m_vMaximum = -1;
  int32_t m_vPosition = -1;
  int m_beeps = 0;
  int m_ownerRequests = 0;
  std::vector<int32_t> m_redrawn;
};

class PortScope {
 public:
  PortScope() { m_before = PaneWindow().Install(&m_port); }
  ~PortScope() { PaneWindow().Install(m_before); }
  PortScope(const PortScope&) = delete;
  PortScope& operator=(const PortScope&) = delete;
  RecordingPort& Port() { return m_port; }

 private:
  RecordingPort m_port;
  PaneWindowPort* m_before = nullptr;
};

// A document of `size` lines "line N" of which the pane holds a window of `window`
// lines (all of them when window is 0). Moves past the document's ends answer 262.
class DocumentOwner : public PaneOwner {
 public:
  static constexpr int32_t kAtEnd = 262;

  DocumentOwner(TextPane& pane, int32_t size, int32_t window, bool unknownTotal = false)
      : m_pane(pane), m_window(window == 0 ? size : window), m_unknownTotal(unknownTotal) {
    for (int32_t i = 0; i < size; ++i) m_texts.push_back("line " + std::to_string(i));
    m_lines.resize(m_texts.size());
    for (std::size_t i = 0; i < m_texts.size(); ++i) {
      m_lines[i].text = m_texts[i].data();
      m_lines[i].length = static_cast<int32_t>(m_texts[i].size());
    }
    pane.owner = this;
    Fill(0);
    if (window == 0) pane.last = -1;
  }

  int32_t SendViewRequest(int32_t code, intptr_t argument) override {
    m_codes.push_back(code);
    const int32_t step = code == kGuiLineUp || code == kGuiLineDown ? 1 : m_pane.rows - 1;
    int32_t from = m_pane.first;
    if (code == kGuiLineUp || code == kGuiPageUp) from -= step;
    if (code == kGuiLineDown || code == kGuiPageDown) from += step;
    if (code == kGuiFillAround) from = static_cast<int32_t>(argument);
    const int32_t highest = std::max(Size() - m_window, 0);
    // A move that cannot go the whole way goes as far as the document allows.
    from = std::clamp(from, 0, highest);
    if (from == m_pane.first && code != kGuiFillAround) return kAtEnd;
    Fill(from);
    return 0;
  }

  void Fill(int32_t from) {
    m_held.clear();
    for (int32_t i = from; i < from + m_window && i < Size(); ++i) m_held.push_back(&m_lines[i]);
    if (m_nullLast) m_held.push_back(nullptr);
    m_pane.lines = m_held.data();
    m_pane.count = static_cast<int32_t>(m_held.size());
    m_pane.first = from;
    m_pane.last = from + m_window - 1;
    m_pane.total = m_unknownTotal ? -1 : Size();
  }

  int32_t Size() const { return static_cast<int32_t>(m_texts.size()); }
  // The document line shown on the pane's first row.
  int32_t TopLine() const {
    const PaneLine* line = m_pane.LineAt(m_pane.top);
    return line == nullptr ? -1 : std::stoi(std::string(line->text + 5, static_cast<std::size_t>(line->length - 5)));
  }

  TextPane& m_pane;
  int32_t m_window;
  bool m_unknownTotal;
  bool m_nullLast = false;
  std::vector<std::string> m_texts;
  std::vector<PaneLine> m_lines;
  std::vector<PaneLine*> m_held;
  std::vector<int32_t> m_codes;
};

TEST(TextPaneMoves, WalksEndWhereTheDocumentEnds) {
  struct Case {
    const char* name;
    int32_t size;
    int32_t window;  // 0: the pane holds the whole document
    int32_t direction;
    int32_t back;
    int32_t maxStep;
    int32_t lastTopLine;  // the line on the first row when the walk has ended
  };
  const std::vector<Case> cases = {
      {"line down, whole document", 25, 0, kPaneLineDown, kPaneLineUp, 1, 15},
      {"page down, whole document", 25, 0, kPanePageDown, kPanePageUp, 9, 15},
      {"line down, window of 30", 100, 30, kPaneLineDown, kPaneLineUp, 1, 99},
      {"page down, window of 30", 100, 30, kPanePageDown, kPanePageUp, 9, -1},
      {"page down, short document", 7, 0, kPanePageDown, kPanePageUp, 9, 0},
  };
  PortScope port;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextPane pane;
    pane.rows = 10;
    DocumentOwner owner(pane, c.size, c.window);
    int32_t moves = 0;
    int32_t line = owner.TopLine();
    while (pane.AtBoundary(c.direction) == 0 && moves < 1000) {
      ASSERT_EQ(pane.MoveView(c.direction), 0) << "move " << moves;
      const int32_t now = owner.TopLine();
      ASSERT_GT(now, line);
      ASSERT_LE(now - line, c.maxStep);
      ASSERT_GE(pane.top, 0);
      ASSERT_LT(pane.top + pane.row, std::max(pane.count, 1));
      line = now;
      ++moves;
    }
    if (c.lastTopLine >= 0) {
      EXPECT_EQ(line, c.lastTopLine);
    }
    // The last document line is on the screen.
    EXPECT_LE(c.size - 1 - pane.first - pane.top, pane.rows - 1);
    while (pane.AtBoundary(c.back) == 0 && moves < 2000) {
      ASSERT_EQ(pane.MoveView(c.back), 0);
      const int32_t now = owner.TopLine();
      ASSERT_LT(now, line);
      ASSERT_LE(line - now, c.maxStep);
      line = now;
      ++moves;
    }
    EXPECT_EQ(line, 0);
    EXPECT_EQ(pane.first + pane.top, 0);
  }
}

TEST(TextPaneMoves, UnknownTotalAsksTheOwnerAtEveryEdge) {
  PortScope port;
  TextPane pane;
  pane.rows = 5;
  DocumentOwner owner(pane, 20, 8, true);
  for (int32_t direction : {kPaneLineUp, kPaneLineDown, kPanePageUp, kPanePageDown}) {
    EXPECT_EQ(pane.AtBoundary(direction), 0);
  }
  // At the document's start the owner refuses: its answer comes back, nothing moves.
  EXPECT_EQ(pane.MoveView(kPaneLineUp), DocumentOwner::kAtEnd);
  EXPECT_EQ(pane.MoveView(kPanePageUp), DocumentOwner::kAtEnd);
  EXPECT_EQ(owner.TopLine(), 0);
  for (int i = 0; i < 15; ++i) ASSERT_EQ(pane.MoveView(kPaneLineDown), 0);
  EXPECT_EQ(owner.TopLine(), 15);
  EXPECT_EQ(owner.m_codes, (std::vector<int32_t>{kGuiLineUp, kGuiPageUp, kGuiLineDown, kGuiLineDown,
                                                 kGuiLineDown, kGuiLineDown, kGuiLineDown, kGuiLineDown,
                                                 kGuiLineDown, kGuiLineDown, kGuiLineDown, kGuiLineDown,
                                                 kGuiLineDown, kGuiLineDown}));
  EXPECT_EQ(port.Port().m_ownerRequests, 14);
  // The window is told the length is unknown.
  pane.UpdateVScrollRange();
  EXPECT_EQ(port.Port().m_vMaximum, 100);
  EXPECT_EQ(port.Port().m_vPosition, 50);
}

TEST(TextPaneMoves, NullLastLineIsDropped) {
  PortScope port;
  TextPane pane;
  pane.rows = 4;
  DocumentOwner owner(pane, 12, 6);
  owner.m_nullLast = true;
  owner.Fill(0);
  EXPECT_EQ(pane.count, 7);
  pane.top = 2;
  ASSERT_EQ(pane.MoveView(kPaneLineDown), 0);
  ASSERT_EQ(pane.MoveView(kPaneLineDown), 0);
  EXPECT_EQ(pane.count, 6);
  EXPECT_NE(pane.LineAt(pane.count - 1), nullptr);

  // Revalidation drops it too, and the total with it when the pane held everything.
  TextPane whole;
  whole.rows = 10;
  DocumentOwner all(whole, 3, 0);
  all.m_nullLast = true;
  all.Fill(0);
  whole.last = -1;
  whole.total = whole.count;
  whole.Revalidate();
  EXPECT_EQ(whole.count, 3);
  EXPECT_EQ(whole.total, 3);
}

TEST(TextPaneMoves, ScrollToLine) {
  PortScope port;
  TextPane pane;
  pane.rows = 10;
  DocumentOwner owner(pane, 200, 40);
  pane.ScrollToLine(120);
  EXPECT_EQ(owner.m_codes, std::vector<int32_t>{kGuiFillAround});
  EXPECT_EQ(owner.TopLine(), 120);
  EXPECT_EQ(port.Port().m_vPosition, 120);
  // Inside the held window it stays where it is without asking.
  pane.ScrollToLine(125);
  EXPECT_EQ(owner.m_codes.size(), 1u);
  EXPECT_EQ(pane.first, 120);
  EXPECT_EQ(port.Port().m_vPosition, 125);

  // A refused request beeps and changes nothing.
  class Refusing : public PaneOwner {
   public:
    int32_t SendViewRequest(int32_t, intptr_t) override { return 262; }
  } refusing;
  pane.owner = &refusing;
  const int32_t topBefore = pane.top;
  pane.ScrollToLine(5);
  EXPECT_EQ(port.Port().m_beeps, 1);
  EXPECT_EQ(pane.top, topBefore);
  EXPECT_EQ(pane.first, 120);

  // Held lines of a whole document need no owner.
  TextPane whole;
  whole.rows = 5;
  DocumentOwner all(whole, 30, 0);
  whole.ScrollToLine(7);
  EXPECT_TRUE(all.m_codes.empty());
  EXPECT_EQ(all.TopLine(), 7);
}

TEST(TextPaneScrollValues, RangeAndPosition) {
  struct Case {
    const char* name;
    int32_t total, first, last, count, top, rows;
    int32_t maximum, position;
  };
  const std::vector<Case> cases = {
      {"unknown length", -1, 0, 10, 11, 3, 5, 100, 50},
      {"whole document", 40, 0, -1, 40, 12, 10, 30, 12},
      {"whole document shorter than the rows", 4, 0, -1, 4, 0, 10, 0, -1},
      {"window, position within it", 1000, 200, 299, 100, 50, 10, 999, 250},
      {"window, quotient kept to 16 bits", 300000, 0, 199999, 2, 1, 10, 299999, 34464},
      {"window holding everything, fewer than the rows", 5, 0, 4, 5, 0, 10, 0, -1},
      {"empty", 0, 0, -1, 0, 0, 10, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PortScope port;
    TextPane pane;
    pane.total = c.total;
    pane.first = c.first;
    pane.last = c.last;
    pane.count = c.count;
    pane.top = c.top;
    pane.rows = c.rows;
    pane.UpdateVScrollRange();
    EXPECT_EQ(port.Port().m_vMaximum, c.maximum);
    EXPECT_EQ(port.Port().m_vPosition, c.position);
  }
}

TEST(TextPaneText, SelectedFieldAndLineUpdate) {
  PortScope port;
  std::string text = "eax 00000012 ebx 00000000";
  std::string longText(300, 'v');
  PaneLine lines[2];
  lines[0].text = text.data();
  lines[0].length = static_cast<int32_t>(text.size());
  lines[1].text = longText.data();
  lines[1].length = 300;
  PaneLine* held[] = {&lines[0], &lines[1]};
  TextPane pane;
  pane.lines = held;
  pane.count = 2;
  pane.total = 2;
  pane.rows = 1;
  struct Case {
    const char* name;
    int32_t row, selStart, selLength;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"a field", 0, 4, 8, "00000012"},
      {"no selection", 0, 4, -1, ""},
      {"empty selection", 0, 4, 0, ""},
      {"past the line's end", 0, 17, 20, "00000000"},
      {"at most 255", 1, 0, 300, std::string(255, 'v')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pane.row = c.row;
    pane.selStart = c.selStart;
    pane.selLength = c.selLength;
    EXPECT_EQ(pane.SelectedFieldText(), c.expected);
  }
  pane.UpdateLineText(0, "eax 0000001");
  EXPECT_EQ(text, "eax 00000012 ebx 00000000");
  EXPECT_TRUE(port.Port().m_redrawn.empty());
  pane.UpdateLineText(0, "eax 00000013 ebx 00000000");
  EXPECT_EQ(text, "eax 00000013 ebx 00000000");
  pane.UpdateLineText(1, nullptr);  // not on the one row: nothing drawn
  EXPECT_EQ(port.Port().m_redrawn, std::vector<int32_t>{0});
}

TEST(TextPaneText, FieldAtColumn) {
  const FieldPosition listed[] = {{4, 8}, {17, 8}, {30, 2}};
  struct Case {
    const char* name;
    FieldLayout layout;
    int32_t selStart;
    int32_t expected;
  };
  const std::vector<Case> cases = {
      {"one field", FieldLayout{1, 1, 1, 10, nullptr, 2}, 40, 0},
      {"fixed, third", FieldLayout{16, 1, 1, 10, nullptr, 2}, 16, 2},
      {"fixed, left of the first", FieldLayout{16, 1, 1, 10, nullptr, 2}, 3, 0},
      {"fixed, past the last", FieldLayout{16, 1, 1, 10, nullptr, 2}, 200, 15},
      {"fixed, zero pitch", FieldLayout{4, 1, 0, 10, nullptr, 0}, 12, 0},
      {"listed, second", FieldLayout{3, 0, 0, 0, listed, 0}, 17, 1},
      {"listed, past the last", FieldLayout{3, 0, 0, 0, listed, 0}, 31, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextPane pane;
    pane.selStart = c.selStart;
    EXPECT_EQ(FieldLayout::FieldAtColumn(pane, &c.layout), c.expected);
  }
}

// A one-line text-selection pane over `text` with the cursor at `column`.
struct WordPane {
  std::string text;
  PaneLine line;
  PaneLine* held[1] = {&line};
  TextPane pane;

  WordPane(const std::string& lineText, int32_t column, int32_t leftColumn = 0) : text(lineText) {
    line.text = text.data();
    line.length = static_cast<int32_t>(text.size());
    pane.lines = held;
    pane.count = 1;
    pane.total = 1;
    pane.rows = 1;
    pane.textSelection = true;
    pane.cursorColumn = column;
    pane.leftColumn = leftColumn;
  }
};

// The word search told another way: the line as a list of runs; the search column's
// run, or the first run after it, then the runs that follow and, failing those, the
// runs that end before it, nearest first; numbers are never taken.
int32_t ReferenceWordStart(const std::string& text, int32_t column) {
  auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; };
  struct Run {
    int32_t start, end;
  };
  std::vector<Run> runs;
  const int32_t length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    if (!isWordChar(text[i])) {
      ++i;
      continue;
    }
    const int32_t start = i;
    while (i < length && isWordChar(text[i])) ++i;
    runs.push_back({start, i});
  }
  int32_t s = column >= length ? (length - 1 < 1 ? 0 : length - 1) : column;
  auto isNumber = [&](const Run& run) { return std::isdigit(static_cast<unsigned char>(text[run.start])) != 0; };
  for (const Run& run : runs) {
    if (run.end > s && !isNumber(run)) return run.start;
  }
  if (s < 1 || s >= length) return -1;
  for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
    if (run->start <= s && s < run->end) continue;
    if (run->end <= s && !isNumber(*run)) return run->start;
  }
  return -1;
}

TEST(TextPaneWords, FindWordAtColumn) {
  struct Case {
    const char* name;
    std::string text;
    int32_t column, leftColumn;
    int32_t found, selStart, selLength, cursorColumn;
  };
  const std::vector<Case> cases = {
      {"forward from a blank", "  foo_bar$ = 12", 0, 0, 1, 2, 8, 2},
      {"back from a number", "ab = 12", 5, 0, 1, 0, 2, 0},
      {"over a number, then back", "  foo_bar$ = 12", 13, 0, 1, 2, 8, 2},
      {"inside a word, from its start", "x = alpha+beta", 6, 0, 1, 4, 5, 4},
      {"past the line's end", "x = alpha", 40, 0, 1, 4, 5, 4},
      {"only numbers", "12 34", 0, 0, 0, -1, 0, 0},
      {"scrolled right: the cursor counts from the left column", "x = alpha", 2, 4, 1, 4, 5, 0},
      {"a word left of the view keeps the cursor at the view's edge", "x = alphabet", 1, 6, 1, 4, 8, 0},
      {"at most 255 characters", std::string(300, 'w'), 3, 0, 1, 0, 255, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WordPane word(c.text, c.column, c.leftColumn);
    EXPECT_EQ(word.pane.FindWordAtColumn(), c.found);
    EXPECT_EQ(word.pane.selStart, c.selStart);
    EXPECT_EQ(word.pane.selLength, c.selLength);
    EXPECT_EQ(word.pane.cursorColumn, c.cursorColumn);
  }

  // Panes that select fields, and panes without a current line, have no words.
  WordPane fields("abc", 0);
  fields.pane.textSelection = false;
  EXPECT_EQ(fields.pane.FindWordAtColumn(), 0);
  WordPane below("abc", 0);
  below.pane.row = 3;
  EXPECT_EQ(below.pane.FindWordAtColumn(), 0);
  below.line.text = nullptr;
  below.pane.row = 0;
  EXPECT_EQ(below.pane.FindWordAtColumn(), 0);
  EXPECT_EQ(below.pane.selStart, -1);
}

TEST(TextPaneWords, SearchAgreesWithARunListOnRandomLines) {
  const uint32_t seed = 20240611;
  std::mt19937 random(seed);
  const std::string alphabet = "ab_$19 =+(";
  for (int round = 0; round < 4000; ++round) {
    std::string text(random() % 16, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    const int32_t column = static_cast<int32_t>(random() % 20);
    WordPane word(text, column);
    const int32_t expected = ReferenceWordStart(text, column);
    SCOPED_TRACE("seed " + std::to_string(seed) + " text '" + text + "' column " + std::to_string(column));
    ASSERT_EQ(word.pane.FindWordAtColumn(), expected >= 0 ? 1 : 0);
    ASSERT_EQ(word.pane.selStart, expected);
  }
}

TEST(TextPaneWords, TrySetCursorAndCurrentLine) {
  WordPane word("  = 12 +", 0);
  word.pane.row = 0;
  word.pane.cursorColumn = 1;
  EXPECT_EQ(word.pane.TrySetCursor(1, 4), 0);
  EXPECT_EQ(word.pane.cursorColumn, 1) << "nothing found: the cursor stays";
  WordPane found("a = bc", 0);
  EXPECT_EQ(found.pane.TrySetCursor(1, 4), 1);
  EXPECT_EQ(found.pane.selStart, 4);
  EXPECT_EQ(found.pane.cursorColumn, 4);

  struct Case {
    const char* name;
    int32_t top, row, count, total, expected;
  };
  const std::vector<Case> cases = {
      {"within", 2, 1, 10, 10, 3},
      {"beyond the last line", 8, 5, 10, 10, 9},
      {"unknown total", 0, 0, 4, -1, 0},
      {"empty document", 0, 0, 0, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WordPane pane("x", 0);
    pane.pane.top = c.top;
    pane.pane.row = c.row;
    pane.pane.count = c.count;
    pane.pane.total = c.total;
    EXPECT_EQ(pane.pane.CurrentLineIndex(), c.expected);
  }
}

}  // namespace
}  // namespace zentor
