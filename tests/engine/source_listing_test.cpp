// The source pane over modules entered through the loader library under their
// languages, with their texts in a scratch directory along the search path: listing
// files that number their own lines (languages 1 and 7), an assembler module (always
// a disassembly listing), a long C module numbered by the pane, and the listing shown
// when the file is gone.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "command/command_scanner.h"
#include "command/symbol_interpreter.h"
#include "command/symbol_lookup_commands.h"
#include "core/frame_list.h"
#include "harness/pane_dump.h"
#include "source_fixtures/source_fixtures.h"
#include "source_pane_fixture.h"
#include "symbols/loader_library.h"

namespace zentor {
namespace {

using sourcefixtures::SourceFixture;

constexpr uint32_t kModuleBase = 0x00300000;

class SourceListingTest : public testing_support::SourcePaneFixture {
 protected:
  void SetUp() override {
    SourcePaneFixture::SetUp();
    *GetGlobalSearchPath() = RWCString(m_directory.Path().string().c_str());
    MarkChangedRecords(kRecordSearchPaths, nullptr);
  }

  // The module's line table through the loader library, its code at the base and its
  // text in the scratch directory.
  void Load(const SourceFixture& fixture, const char* name, uint8_t language) {
    m_fixture = fixture;
    m_directory.Write(fixture.m_fileName, fixture.m_text);
    BeginProgram(20);
    SetTypeBase();
    BeginModule(name, 0, language, 1);
    BeginProcedure(name, testing_support::MemoryAt(kModuleBase).Record(),
                   OrdinalValue(static_cast<uint32_t>(fixture.m_code.size())), 1, 3, OrdinalValue(0u));
    for (const sourcefixtures::FixtureLine& line : fixture.m_lines) {
      AddLine(fixture.m_fileName.c_str(), 0, line.m_line, OrdinalValue(line.m_offset));
    }
    EndScope();
    EndProgram();
    m_memory.Map(kModuleBase, fixture.m_code);
  }
  void StopAtLine(uint32_t line) {
    for (const sourcefixtures::FixtureLine& entry : m_fixture.m_lines) {
      if (entry.m_line == line) {
        StopAtAddress(kModuleBase + entry.m_offset);
        return;
      }
    }
    ADD_FAILURE() << "no code on line " << line;
  }
  // The texts of the window's rows; empty past the held lines.
  std::vector<std::string> Visible() const {
    std::vector<std::string> texts;
    for (int32_t i = m_window.m_pane.top; i < m_window.m_pane.top + kRows; ++i) {
      texts.push_back(i >= 0 && i + 1 < m_window.m_pane.count ? m_window.Text(i) : std::string());
    }
    return texts;
  }
  std::string ExecutionText() const {
    const int32_t index = m_window.ExecutionIndex();
    return index < 0 ? std::string("<none>") : m_window.Text(index);
  }

  testing_support::ScratchDirectory m_directory{"source-listing"};
  SourceFixture m_fixture;
};

// The text carries its numbers: the pane adds none, finds the location's line by its
// number and marks it; the start and the end of the text are reached.
TEST_F(SourceListingTest, ListingFilesNumberTheirOwnLines) {
  struct Case {
    const char* m_name;
    uint16_t m_language;
    uint32_t m_line;
    const char* m_field;
  };
  const Case cases[] = {
      {"language 1", 1, 240, "   240 "},
      {"language 7", 7, 240, " 240 "},
      {"language 1, near the start", 1, 2, "     2 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    Load(sourcefixtures::ListingModule(400, c.m_language), "LIST", static_cast<uint8_t>(c.m_language));
    StopAtLine(c.m_line);
    m_window.Open();
    EXPECT_EQ(ExecutionText().substr(0, std::string(c.m_field).size()), c.m_field);
    EXPECT_EQ(m_window.Send(kPaneTextEnd, reinterpret_cast<intptr_t>(&m_window.m_index)), 0);
    EXPECT_NE(m_window.IndexOf("x := x + 400;"), -1);
    EXPECT_EQ(m_window.Send(kPaneTextStart), 0);
    EXPECT_EQ(m_window.Text(0), "   Page 1  H  listing of LIST") << "the form feed reads as a blank";
    m_window.Close();
  }
}

TEST_F(SourceListingTest, AssemblerModulesShowAListing) {
  Load(sourcefixtures::AssemblerModule(60), "ASM", 5);
  StopAtLine(30);
  m_window.Open();
  int32_t mode = -1;
  m_window.Send(kPaneModeQuery, reinterpret_cast<intptr_t>(&mode));
  EXPECT_EQ(mode, 2);
  EXPECT_EQ(m_window.Text(0).substr(0, 10), "   #30    ");
  EXPECT_EQ(m_window.Send(kPaneTextStart), 326);
  EXPECT_EQ(m_window.Send(kPaneTextEnd, reinterpret_cast<intptr_t>(&m_window.m_index)), 326);
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("assembler_module.golden"), testing_support::DumpPane(m_window.m_pane)));
  // Scrolling the listing moves by its lines' headers.
  auto topHeader = [&] {
    for (int32_t i = m_window.m_pane.top; i + 1 < m_window.m_pane.count; ++i) {
      const std::string text = m_window.Text(i);
      const size_t mark = text.find('#');
      if (mark < 6) return std::stoi(text.substr(mark + 1, 6 - mark - 1));
    }
    return -1;
  };
  const int32_t start = topHeader();
  EXPECT_EQ(m_window.Send(kPaneScrollPageDown), 0);
  const int32_t down = topHeader();
  EXPECT_GT(down, start);
  EXPECT_EQ(m_window.Send(kPaneScrollPageUp), 0);
  EXPECT_LT(topHeader(), down);
  EXPECT_EQ(m_window.Send(kPaneScrollLineDown), 0);
  EXPECT_EQ(m_window.SendIndex(kPaneScrollLineUp, 0), 0);
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("assembler_module_line_up.golden"),
                                             testing_support::DumpPane(m_window.m_pane)));
  m_window.m_index = 1;
  EXPECT_EQ(m_window.Send(kPaneGoToLine, reinterpret_cast<intptr_t>(&m_window.m_index)), 0);
  EXPECT_EQ(topHeader(), 1);
  // Nothing lies above the first line: a page up builds the listing from it again, with
  // its marks (a break on line 2); a line up answers 262.
  m_engine.m_breakpoints.push_back({testing_support::MemoryAt(kModuleBase + 6), 0, 0, 1});
  EXPECT_EQ(m_window.Send(kPaneScrollPageUp), 0);
  EXPECT_EQ(topHeader(), 1);
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("assembler_module_first_line.golden"),
                                             testing_support::DumpPane(m_window.m_pane)));
  EXPECT_EQ(m_window.SendIndex(kPaneScrollLineUp, 0), 262);
  EXPECT_EQ(m_window.m_pane.top, 0);
  // Commands that read or write their argument refuse a missing one.
  for (const int32_t code : {kPaneToggleMixed, kPaneFind, kPaneFindBackward, kPaneModeQuery, kPaneGoToLine,
                             kPaneToggleBreak, kPaneRunToLine, kPaneBrowseNearest}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(m_window.Send(code, 0), 1);
  }
}

// Scrolling through a long numbered module: one line down and up moves the top
// line's number by one; a page down keeps the last line in view on the second row,
// a page up shows the window above the top line; the window never shows fewer lines
// than it has rows.
TEST_F(SourceListingTest, ScrollingMovesByTheAskedAmount) {
  Load(sourcefixtures::LongCModule(3000), "LONG", 0);
  StopAtLine(1502);
  m_window.Open();
  auto topNumber = [&] { return std::stoi(m_window.Text(m_window.m_pane.top).substr(0, 6)); };
  const int32_t start = topNumber();
  struct Step {
    const char* m_name;
    int32_t m_code;
    int32_t m_moves;
  };
  const Step steps[] = {
      {"line down", kPaneScrollLineDown, 1}, {"line down again", kPaneScrollLineDown, 1}, {"line up", kPaneScrollLineUp, -1},
      {"line up again", kPaneScrollLineUp, -1},
  };
  int32_t expected = start;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.m_name);
    m_window.m_index = 0;
    EXPECT_EQ(m_window.Send(step.m_code, reinterpret_cast<intptr_t>(&m_window.m_index)), 0);
    expected += step.m_moves;
    EXPECT_EQ(topNumber(), expected);
    EXPECT_GE(m_window.m_pane.count - 1 - m_window.m_pane.top, kRows);
  }
  EXPECT_EQ(m_window.Send(kPaneScrollPageDown), 0);
  EXPECT_EQ(topNumber(), start + kRows - 2);
  EXPECT_EQ(m_window.Send(kPaneScrollPageUp), 0);
  EXPECT_EQ(topNumber(), start - 2);
  EXPECT_GE(m_window.m_pane.count - 1 - m_window.m_pane.top, kRows);
}

// Up one line the window's rows move one row down under the line above them, whatever
// row anchors the rebuild, also while the pane's first and last words are equal (the
// first held line anchors it then) with the caret below the top row. Up one page the
// window ends with the held lines that stood above it, and the old top line follows
// it (unless the window ends the held lines). Source text, mixed mode and a listing
// anchored on line numbers, from the top of the held lines and from further down.
TEST_F(SourceListingTest, ScrollingUpShowsTheLinesAboveTheWindow) {
  struct Module {
    const char* m_name;
    SourceFixture m_fixture;
    uint8_t m_language;
    uint32_t m_line;
    bool m_mixed;
    const char* m_pageUpGolden;
  };
  const Module modules[] = {
      {"source", sourcefixtures::LongCModule(3000), 0, 1502, false, nullptr},
      {"mixed", sourcefixtures::LongCModule(3000), 0, 1502, true, nullptr},
      {"listing", sourcefixtures::AssemblerModule(300), 5, 150, false, "assembler_module_page_up.golden"},
  };
  struct Move {
    const char* m_name;
    int32_t m_code;
    int32_t m_top;
    int32_t m_anchorRow;
    bool m_firstIsLast;
  };
  const Move moves[] = {
      {"line up from the top", kPaneScrollLineUp, 0, 0, false},
      {"line up anchored on row 3", kPaneScrollLineUp, 5, 3, false},
      {"line up, first and last equal", kPaneScrollLineUp, 0, 0, true},
      {"line up from row 5, first and last equal", kPaneScrollLineUp, 5, 2, true},
      {"page up from the top", kPaneScrollPageUp, 0, 0, false},
      {"page up from row 5", kPaneScrollPageUp, 5, 0, false},
      {"page up from row 7", kPaneScrollPageUp, 7, 0, false},
  };
  for (const Module& module : modules) {
    Load(module.m_fixture, "UP", module.m_language);
    StopAtLine(module.m_line);
    for (const Move& move : moves) {
      SCOPED_TRACE(std::string(module.m_name) + ": " + move.m_name);
      m_window.Close();
      m_window.Open();
      if (module.m_mixed) {
        ASSERT_EQ(m_window.SendIndex(kPaneToggleMixed, m_window.ExecutionIndex()), 0);
      }
      TextPane& pane = m_window.m_pane;
      pane.top = move.m_top;
      pane.row = 4;
      if (move.m_firstIsLast) pane.last = pane.first;
      const std::vector<std::string> before = Visible();
      std::vector<std::string> heldAbove;
      for (int32_t i = 0; i < move.m_top; ++i) heldAbove.push_back(m_window.Text(i));
      ASSERT_EQ(m_window.SendIndex(move.m_code, move.m_anchorRow), 0);
      const std::vector<std::string> after = Visible();
      if (move.m_code == kPaneScrollLineUp) {
        EXPECT_EQ(std::vector<std::string>(after.begin() + 1, after.end()),
                  std::vector<std::string>(before.begin(), before.end() - 1));
        EXPECT_FALSE(after[0].empty());
        continue;
      }
      EXPECT_EQ(std::vector<std::string>(after.end() - move.m_top, after.end()), heldAbove);
      ASSERT_LE(pane.top + kRows, pane.count - 1);
      if (pane.top + kRows < pane.count - 1) {
        EXPECT_EQ(m_window.Text(pane.top + kRows), before[0]);
      }
      if (move.m_top == 0 && module.m_pageUpGolden != nullptr) {
        EXPECT_TRUE(testing_support::MatchesGolden(Golden(module.m_pageUpGolden), testing_support::DumpPane(pane)));
      }
    }
  }
}

// At and past the end of the held lines. Down one line from a view past them reads
// on; at the end of the text the last line stays on the last row. Rebuilt from the
// end of the text (up one line or one page from a view past the held lines, mixed
// mode switched on past them) every line keeps the number of its text line. A
// listing whose text is shorter than its line table moves down from such a view
// without reading past its lines.
TEST_F(SourceListingTest, ViewsPastTheHeldLines) {
  const SourceFixture fixture = sourcefixtures::LongCModule(3000);
  Load(fixture, "LONG", 0);
  StopAtLine(1502);
  m_window.Open();
  TextPane& pane = m_window.m_pane;
  auto numberedAsTheirText = [&] {
    std::vector<std::string> text(1);
    for (size_t at = 0, end; (end = fixture.m_text.find('\n', at)) != std::string::npos; at = end + 1) {
      std::string line = fixture.m_text.substr(at, end - at);
      for (size_t tab; (tab = line.find('\t')) != std::string::npos;) line.replace(tab, 1, "    ");
      text.push_back(line);
    }
    if (pane.count < 2) return std::string("no lines");
    for (int32_t i = 0; i + 1 < pane.count; ++i) {
      if (static_cast<const DisplayLine*>(pane.lines[i])->filePosition == kInstructionLine) continue;
      const size_t number = std::stoul(m_window.Text(i).substr(0, 6));
      if (number >= text.size() || m_window.Text(i).substr(10) != text[number]) return m_window.Text(i);
    }
    return std::string("all");
  };
  pane.top = pane.count - 1;
  EXPECT_EQ(m_window.Send(kPaneScrollLineDown), 0);
  EXPECT_EQ(numberedAsTheirText(), "all");
  EXPECT_EQ(m_window.SendIndex(kPaneTextEnd, 0), 0);
  EXPECT_EQ(m_window.Send(kPaneScrollLineDown), 262);
  ASSERT_LT(pane.top + kRows - 1, pane.count - 1);
  EXPECT_EQ(m_window.Text(pane.top + kRows - 1), "  3000    }");
  for (const int32_t code : {kPaneScrollLineUp, kPaneScrollPageUp, kPaneToggleMixed}) {
    SCOPED_TRACE(code);
    pane.top = pane.count - 1;
    EXPECT_EQ(m_window.SendIndex(code, code == kPaneToggleMixed ? pane.count : 0), 0);
    EXPECT_EQ(numberedAsTheirText(), "all");
  }
  m_window.Close();
  SourceFixture shortText = sourcefixtures::AssemblerModule(60);
  shortText.m_text = sourcefixtures::AssemblerModule(50).m_text;
  Load(shortText, "SHORT", 5);
  StopAtLine(45);
  m_window.Open();
  for (const int32_t code : {kPaneScrollPageDown, kPaneScrollLineDown}) {
    SCOPED_TRACE(code);
    pane.top = pane.count - 1;
    const int32_t answer = m_window.Send(code);
    EXPECT_TRUE(answer == 0 || answer == 262) << answer;
  }
}

// Switched to mixed mode on the location's line the cursor stands on its first
// instruction, and a refresh with the location in view leaves the window as it is;
// switched back from that instruction the cursor stands on its source line, and the
// location's line is forgotten: the next refresh reloads the file, which puts the
// location a third down the window again.
TEST_F(SourceListingTest, MixedModeAndBackMoveTheCursorAndReload) {
  Load(sourcefixtures::LongCModule(3000), "LONG", 0);
  StopAtLine(1502);
  m_window.Open();
  const TextPane& pane = m_window.m_pane;
  auto cursorText = [&] { return m_window.Text(pane.top + pane.row); };
  auto locationRow = [&] { return m_window.ExecutionIndex() - pane.top; };
  ASSERT_EQ(m_window.SendIndex(kPaneToggleMixed, m_window.ExecutionIndex()), 0);
  EXPECT_EQ(static_cast<const DisplayLine*>(pane.lines[pane.top + pane.row])->filePosition, kInstructionLine);
  EXPECT_EQ(m_window.Text(pane.top + pane.row - 1).substr(0, 10), "  1502    ");
  const int32_t mixedRow = locationRow();
  ASSERT_EQ(m_window.Send(kPaneRefresh), 0);
  EXPECT_EQ(locationRow(), mixedRow);
  ASSERT_EQ(m_window.SendIndex(kPaneToggleMixed, pane.top + pane.row), 0);
  EXPECT_EQ(cursorText().substr(0, 10), "  1502    ");
  EXPECT_NE(locationRow(), kRows / 3);
  ASSERT_EQ(m_window.Send(kPaneRefresh), 0);
  EXPECT_EQ(locationRow(), kRows / 3);
}

// The search from a line and a column of the displayed text (columns count the
// line-number field): without regard to case, forward from the column, backward to
// the right-most occurrence left of it ("aa" in "aaa" at 0), and 230 for no match.
TEST_F(SourceListingTest, SearchColumnsAndCase) {
  SourceFixture fixture = sourcefixtures::LongCModule(60);
  const std::string marked = "\tvalue = value * 3 + 44;";
  const size_t at = fixture.m_text.find(marked);
  ASSERT_NE(at, std::string::npos);
  fixture.m_text.replace(at, marked.size(), "aaa MAIN main Main;");
  Load(fixture, "SEARCH", 0);
  StopAtLine(2);
  m_window.Open();
  const int32_t line = m_window.IndexOf("aaa MAIN");
  ASSERT_GE(line, 0);
  struct Case {
    const char* m_name;
    int32_t m_code;
    const char* m_text;
    int32_t m_column;  // in the displayed text
    int32_t m_result;
    int32_t m_foundColumn;
  };
  const Case cases[] = {
      {"forward from the line's start", kPaneFind, "main", 25, 0, 14},
      {"next from the column", kPaneFindNext, "main", 15, 0, 19},
      {"next with a column inside the field", kPaneFindNext, "MAIN", 3, 0, 14},
      {"backward, overlapping", kPaneFindBackward, "aa", 13, 0, 10},
      {"backward left of the column", kPaneFindBackward, "main", 24, 0, 19},
      {"no match", kPaneFind, "nowhere to be found", 0, 230, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    SourceFindText() = c.m_text;
    const int32_t start = m_window.IndexOf("aaa MAIN");
    int32_t words[2] = {start, c.m_column};
    EXPECT_EQ(m_window.Send(c.m_code, reinterpret_cast<intptr_t>(words)), c.m_result);
    if (c.m_result != 0) continue;
    EXPECT_EQ(m_window.Text(words[0]).substr(10, 8), "aaa MAIN");
    EXPECT_EQ(words[1], c.m_foundColumn);
    EXPECT_EQ(words[0], m_window.m_pane.row);
    EXPECT_EQ(words[0], kRows / 3) << "the found line a third down";
  }
}

// Texts that do not match their line tables (empty, cut short, binary with 0xFF and
// NUL bytes, very long lines, a form feed first): every command ends in one of its
// numbered answers and the pane stays consistent.
TEST_F(SourceListingTest, DamagedTextsEndInNumberedAnswers) {
  const SourceFixture good = sourcefixtures::LongCModule(3000);
  std::string binary;
  for (int i = 0; i < 20000; ++i) binary += static_cast<char>((i * 7919) % 256);
  struct Case {
    const char* m_name;
    std::string m_text;
  };
  const Case cases[] = {
      {"empty", ""},
      {"cut short", good.m_text.substr(0, good.m_text.size() / 3)},
      {"binary", binary},
      {"long lines", std::string(5000, 'x') + "\n" + std::string(300000, 'y')},
      {"form feed first", "\f" + good.m_text},
  };
  const int32_t codes[] = {kPaneRefresh,        kPaneScrollPageDown, kPaneScrollLineDown, kPaneScrollPageUp,
                           kPaneScrollLineUp,   kPaneTextEnd,        kPaneTextStart,      kPaneGoToLine,
                           kPaneToggleMixed,    kPaneRebuildFromTop, kPaneFind,           kPaneFindBackward,
                           kPaneToggleMixed,    kPaneReload,         kPaneRebuild,        kPaneScrollPageDown};
  const uint32_t answers[] = {0, 76, 230, 260, 262, 263, 326};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    SourceFixture fixture = good;
    fixture.m_text = c.m_text;
    Load(fixture, "DAMAGED", 0);
    StopAtLine(1502);
    try {
      m_window.Open();
    } catch (const DVError& error) {
      EXPECT_EQ(error.Number(), 76u);
      continue;
    }
    SourceFindText() = "value";
    for (const int32_t code : codes) {
      int32_t words[2] = {std::max(m_window.m_pane.count - 2, 0) / 2, 12};
      if (code == kPaneGoToLine) words[0] = 2500;
      const int32_t answer = m_window.Send(code, reinterpret_cast<intptr_t>(words));
      EXPECT_NE(std::find(std::begin(answers), std::end(answers), static_cast<uint32_t>(answer)), std::end(answers))
          << "code " << code << " answered " << answer;
      if (m_window.m_pane.count > 0) {
        ASSERT_EQ(m_window.m_pane.lines[m_window.m_pane.count - 1], nullptr);
        for (int32_t i = 0; i + 1 < m_window.m_pane.count; ++i) ASSERT_NE(m_window.m_pane.lines[i], nullptr);
      }
    }
    m_window.Close();
  }
}

// The work a refresh does for a new location, seen from outside: the same lines and
// view when the location shows (kind 1); the same lines with the location moved a
// third down when it is held but not shown (kind 2); new lines around it near the
// end of the held lines or beyond them (kinds 3 and 4).
TEST_F(SourceListingTest, RefreshDoesTheLeastWork) {
  Load(sourcefixtures::LongCModule(3000), "LONG", 0);
  struct Case {
    const char* m_name;
    uint32_t m_line;
    bool m_sameLines;
    bool m_sameTop;
  };
  const Case cases[] = {
      {"visible: nothing moves", 1505, true, true},
      {"held, not visible: the view moves", 1532, true, false},
      {"near the end of the held lines: rebuilt around it", 1592, false, true},
      {"in the last held lines: rebuilt at its line", 1596, false, true},
      {"beyond the held lines: rebuilt at its line", 2503, false, true},
      {"before the held lines: rebuilt at its line", 12, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    StopAtLine(1502);
    m_window.Open();
    const std::string firstLine = m_window.Text(0);
    const int32_t top = m_window.m_pane.top;
    StopAtLine(c.m_line);
    EXPECT_EQ(m_window.Send(kPaneRefresh), 0);
    EXPECT_EQ(m_window.Text(0) == firstLine, c.m_sameLines);
    EXPECT_EQ(m_window.m_pane.top == top, c.m_sameTop);
    const int32_t mark = m_window.ExecutionIndex();
    ASSERT_GE(mark, 0);
    EXPECT_EQ(std::stoi(m_window.Text(mark).substr(0, 6)), static_cast<int>(c.m_line));
    if (!(c.m_sameLines && c.m_sameTop)) {
      EXPECT_EQ(mark - m_window.m_pane.top, std::min<int32_t>(kRows / 3, static_cast<int32_t>(c.m_line) - 1));
    }
    m_window.Close();
  }
}

// 0x7c walks the call stack only when its frame list is no longer usable; a usable
// list keeps its selection and the location stays where it is.
TEST_F(SourceListingTest, ReselectingTheFrameWalksOnlyAnUnusableList) {
  struct CountingWalker : FrameWalker {
    uint32_t Walk(FrameList& frames, uint32_t) override {
      ++m_walks;
      frames.Append(testing_support::MemoryAt(kModuleBase + 0x40), testing_support::MemoryAt(0x8000));
      frames.Append(testing_support::MemoryAt(kModuleBase + 0x80), testing_support::MemoryAt(0x8010));
      frames.SetCurrent(0);
      return 0;
    }
    int m_walks = 0;
  } walker;
  struct Installed {
    FrameWalker* before;
    ~Installed() { InstallFrameWalker(before); }
  } installed{InstallFrameWalker(&walker)};
  Load(sourcefixtures::LongCModule(3000), "LONG", 0);
  StopAtLine(1502);
  m_window.Open();
  ASSERT_NE(CurrentFrameListOrNull(), nullptr);
  CurrentFrameListOrNull()->Clear();
  EXPECT_EQ(m_window.Send(kPaneReselectFrame), 0);
  EXPECT_EQ(walker.m_walks, 1);
  CurrentFrameListOrNull()->SetCurrent(1);
  const AddressDescriptor scope = GetCurrentSymbolContext()->Location().ScopeAddress();
  EXPECT_EQ(m_window.Send(kPaneReselectFrame), 0);
  EXPECT_EQ(walker.m_walks, 1);
  EXPECT_EQ(CurrentFrameListOrNull()->GetCurrent(nullptr), 1);
  EXPECT_EQ(GetCurrentSymbolContext()->Location().ScopeAddress().Compare(scope), kAddressEqual);
}

// A name typed in the pane is watched as it is when it parses (the expression parser
// takes every word, those of the command language too, as a name); a text that
// parses in neither its own nor its backslash form gives the parser's error.
TEST_F(SourceListingTest, WatchedNamesFromThePane) {
  InstallCommandSymbolInterpreter();
  CommandScanner::InitKeywords();
  BindSymbolLookupActions();
  using namespace cvfixture;
  CvProgram program;
  CvModule module;
  module.m_name = "WORDS";
  module.m_segments = {CvSegment{1, 0, 0x10}};
  module.m_symbols.push_back(CvProcedure{.m_name = "main", .m_offset = 0, .m_length = 0x10});
  module.m_sourceFiles = {CvSourceFile{"words.c", {CvLineSegment{1, {CvLine{0, 1}, CvLine{6, 2}}}}}};
  program.m_modules.push_back(module);
  program.m_globals.push_back(
      CvVariable{.m_storage = CvStorage::GlobalData, .m_name = "byte", .m_type = 0x0074, .m_offset = 0});
  program.m_globals.push_back(
      CvVariable{.m_storage = CvStorage::GlobalData, .m_name = "width", .m_type = 0x0074, .m_offset = 4});
  const std::string path = WriteFile("WORDS.SYM", WriteCodeView(program, CvVariant::NB09));
  ASSERT_EQ(CvLoadTest::Load(path).m_raised, 0u);
  ASSERT_EQ(ForceDeferredModules(), 0u);
  m_memory.Map(kCodeBase, std::vector<uint8_t>(16, 0x90));
  m_memory.Map(kDataBase, std::vector<uint8_t>(8, 0));
  m_directory.Write("words.c", "int byte, width;\nint main(void) { return byte; }\n");
  StopAtAddress(kCodeBase);
  m_window.Open();
  struct Case {
    const char* m_name;
    const char* m_text;
    int32_t m_result;
    const char* m_watched;
  };
  const Case cases[] = {
      {"a word of the command language, a name to the expression parser", "byte", 0, "watch byte\n"},
      {"a plain name", "width", 0, "watch width\n"},
      {"neither form parses", "width +", 102, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    m_engine.m_trace.clear();
    EXPECT_EQ(m_window.Send(kPaneAddWatch, reinterpret_cast<intptr_t>(c.m_text)), c.m_result);
    EXPECT_EQ(m_engine.m_trace, c.m_watched);
  }
}

// Mixed mode built forwards and backwards (page up reads above the window): every
// instruction line follows its source line or an instruction of the same line at a
// lower address, and no build is anchored on an instruction line.
TEST_F(SourceListingTest, MixedModeKeepsInstructionsUnderTheirLines) {
  Load(sourcefixtures::LongCModule(3000), "LONG", 0);
  StopAtLine(1502);
  m_window.Open();
  ASSERT_EQ(m_window.SendIndex(kPaneToggleMixed, m_window.ExecutionIndex()), 0);
  for (const int32_t code : {kPaneScrollPageUp, kPaneScrollPageUp, kPaneScrollLineUp, kPaneScrollPageDown,
                             kPaneScrollLineDown, kPaneRebuildFromTop}) {
    SCOPED_TRACE(code);
    m_window.m_index = 0;
    ASSERT_EQ(m_window.Send(code, reinterpret_cast<intptr_t>(&m_window.m_index)), 0);
    const TextPane& pane = m_window.m_pane;
    ASSERT_NE(static_cast<const DisplayLine*>(pane.lines[0])->filePosition, kInstructionLine);
    for (int32_t i = 1; i + 1 < pane.count; ++i) {
      const auto* line = static_cast<const DisplayLine*>(pane.lines[i]);
      const auto* before = static_cast<const DisplayLine*>(pane.lines[i - 1]);
      if (line->filePosition != kInstructionLine) continue;
      ASSERT_EQ(before->line.RawLine(), line->line.RawLine()) << "line " << i;
      if (before->filePosition == kInstructionLine) {
        ASSERT_EQ(before->address.Compare(line->address), kAddressLess) << "line " << i;
      }
    }
  }
}

// A location without line information: the instructions from the location on,
// without header lines; nothing lies above it, and the text's ends are refused.
TEST_F(SourceListingTest, AddressListingWithoutLines) {
  SourceFixture fixture = sourcefixtures::AssemblerModule(200);
  fixture.m_lines.clear();
  Load(fixture, "NOLINES", 0);
  StopAtAddress(kModuleBase + 6 * 20);
  m_window.Open();
  ASSERT_GE(m_window.m_pane.count, 2);
  EXPECT_NE(m_window.Text(0).find("mov       eax,015"), std::string::npos);
  EXPECT_EQ(m_window.ExecutionIndex(), 0);
  EXPECT_EQ(m_window.Send(kPaneScrollPageUp), 263);
  EXPECT_EQ(m_window.Send(kPaneTextStart), 326);
  EXPECT_EQ(m_window.Send(kPaneScrollPageDown), 0);
  EXPECT_EQ(m_window.Send(kPaneScrollLineDown), 0);
  // A stop outside the listing (a halt in code without lines) rebuilds it there: the
  // listing stays a listing and reads no source text.
  StopAtAddress(kModuleBase + 150 * 6);
  ASSERT_EQ(m_window.Send(kPaneRefresh), 0);
  const int32_t stop = m_window.ExecutionIndex();
  ASSERT_GE(stop, 0);
  EXPECT_NE(m_window.Text(stop).find("mov       eax,097"), std::string::npos) << m_window.Text(stop);
}

// A long C module numbered by the pane: the location a third down, going to lines
// far away and back, and, with the file gone, a listing with "#" header lines.
TEST_F(SourceListingTest, LongModuleAndMissingFile) {
  Load(sourcefixtures::LongCModule(3000), "LONG", 0);
  StopAtLine(1502);
  m_window.Open();
  EXPECT_EQ(ExecutionText().substr(0, 10), "  1502    ");
  EXPECT_EQ(m_window.ExecutionIndex() - m_window.m_pane.top, kRows / 3);
  struct Step {
    const char* m_name;
    int32_t m_line;
    const char* m_field;
  };
  const Step steps[] = {{"far down", 2900, "  2900    "}, {"far up", 120, "   120    "}, {"the last", 3000, "  3000    "}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.m_name);
    m_window.m_index = step.m_line;
    EXPECT_EQ(m_window.Send(kPaneGoToLine, reinterpret_cast<intptr_t>(&m_window.m_index)), 0);
    const int32_t shown = m_window.IndexOf(step.m_field);
    EXPECT_GE(shown, 0);
    EXPECT_EQ(shown, m_window.m_pane.top);
  }
  m_window.Close();
  std::filesystem::remove(m_directory.Path() / m_fixture.m_fileName);
  MarkChangedRecords(kRecordSearchPaths, nullptr);
  m_window.Open();
  EXPECT_EQ(m_window.Text(0).substr(0, 10), " #1502    ");
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("long_module_listing.golden"),
                                             testing_support::DumpPane(m_window.m_pane)));
}

}  // namespace
}  // namespace zentor
