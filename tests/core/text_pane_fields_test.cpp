// Field panes as the Memory, Registers, Locals and Inspect windows use them: clicks
// choose a field by the midpoint rule, typing edits the field in place and moves on
// at its end, insert mode, Esc, the caret's first place, commits the owner refuses,
// and a field wider than the edit texts; every line's text lives in a buffer of its
// exact length, so a write past a line is a sanitizer report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text_pane.h"
#include "harness/pane_document.h"

namespace zentor {
namespace {

using testing_support::DocumentLine;
using testing_support::PaneDocument;
using testing_support::RecordingPanePort;

constexpr int32_t kEsc = 27;
constexpr int32_t kEnter = 13;
constexpr int32_t kInsert = 312;
constexpr int32_t kEnd = 310;


// Three lines of two fields each ("0000" at 2 and "1111" at 10, a gap of 4 between
// them), a line without fields between the second and the third.
std::vector<DocumentLine> RegisterLines() {
  return {
      {"a:abcd  b:ef h   ", {{2, 4}, {10, 4}}},
      {"c:wxyz  d:1234   ", {{2, 4}, {10, 4}}},
      {"-----------------", {}},
      {"e:5678  f:9abc   ", {{2, 4}, {10, 4}}},
  };
}

struct FieldPane {
  explicit FieldPane(std::vector<DocumentLine> lines, int32_t rows = 4) : document(pane, std::move(lines)) {
    pane.fieldPane = true;
    pane.rows = rows;
    pane.columns = 40;
    pane.SelectFirstField();
  }
  void Type(const std::string& keys) {
    for (char ch : keys) pane.HandleFieldKey(static_cast<unsigned char>(ch));
  }
  std::string Edit() const { return std::string(pane.fieldEdit.editText); }

  TextPane pane;
  PaneDocument document;
};

TEST(TextPaneFields, ClickChoosesFieldByMidpoint) {
  struct Case {
    const char* name;
    int32_t column;
    int32_t selStart;
    int32_t caret;
  };
  // Field 0 ends at column 6, field 1 starts at 10: the midpoint is 8. "ef h" has its
  // first blank at offset 2, "abcd" none (the caret goes to its last character).
  const std::vector<Case> cases = {
      {"inside the first", 3, 2, 1},
      {"left of the midpoint", 7, 2, 3},
      {"at the midpoint", 8, 10, 2},
      {"inside the second", 13, 10, 3},
      {"far right", 30, 10, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingPanePort port;
    FieldPane f(RegisterLines());
    f.pane.HandleFieldMouse(0, c.column);
    EXPECT_EQ(f.pane.row, 0);
    EXPECT_EQ(f.pane.selStart, c.selStart);
    EXPECT_EQ(f.pane.selLength, 4);
    EXPECT_EQ(f.pane.fieldEdit.caretOffset, c.caret);
    EXPECT_NE(port.Take().find("caret " + std::to_string(c.selStart + c.caret) + ",1 wide"), std::string::npos);
  }
  // A click below the lines or on a line without fields changes nothing.
  RecordingPanePort port;
  FieldPane f(RegisterLines());
  f.pane.HandleFieldMouse(2, 3);
  f.pane.HandleFieldMouse(9, 3);
  EXPECT_EQ(f.pane.row, 0);
  EXPECT_EQ(f.pane.selStart, 2);
}

TEST(TextPaneFields, Editing) {
  struct Case {
    const char* name;
    int32_t clickRow, clickColumn;
    std::vector<int32_t> keys;
    int32_t commitStatus;
    std::string line;  // the clicked line's text afterwards
    int32_t row, selStart, caret;
    std::vector<int32_t> owner;  // requests the owner saw
  };
  const std::vector<Case> cases = {
      {"typing past the end goes on to the next field", 0, 2, {'W', 'X', 'Y', 'Z'}, 0,
       "a:WXYZ  b:ef h   ", 0, 10, 2, {kGuiCommitField}},
      {"past the line's last field to the next line with fields", 1, 10, {'5', '6', '7', '8'}, 0,
       "c:wxyz  d:5678   ", 3, 2, 3, {kGuiCommitField}},
      {"the document's last field is selected again", 3, 10, {'q', 'r', 's', 't'}, 0,
       "e:5678  f:qrst   ", 3, 10, 3, {kGuiCommitField}},
      {"insert mode drops the last character", 1, 2, {kInsert, '0', '1'}, 0, "c:01wx  d:1234   ", 1, 2, 2, {}},
      {"Esc gives back the text as selected", 0, 10, {'Q', 'R', kEsc}, 0, "a:abcd  b:ef h   ", 0, 10, 2, {}},
      {"a refused commit puts the text back", 1, 2, {'k', kEnter}, 200, "c:wxyz  d:1234   ", 1, 2, 1,
       {kGuiCommitField}},
      {"an accepted commit keeps the new text", 1, 2, {'k', kEnter}, 0, "c:kxyz  d:1234   ", 1, 2, 3,
       {kGuiCommitField}},
      {"End then typing at the last position", 1, 2, {kEnd, '!'}, 0, "c:wxy!  d:1234   ", 1, 10, 3,
       {kGuiCommitField}},
      {"Backspace to the start, then a beep", 1, 2, {kEnd, 8, 8, 8, 8}, 0, "c:z     d:1234   ", 1, 2, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingPanePort port;
    FieldPane f(RegisterLines());
    f.document.commitStatus = c.commitStatus;
    f.pane.HandleFieldMouse(c.clickRow, c.clickColumn);
    // The caret starts on the first character for these keys.
    f.pane.SetCaretOffset(0);
    for (int32_t key : c.keys) f.pane.HandleFieldKey(key);
    EXPECT_EQ(f.document.Text(c.clickRow), c.line);
    EXPECT_EQ(f.pane.row, c.row);
    EXPECT_EQ(f.pane.selStart, c.selStart);
    EXPECT_EQ(f.pane.fieldEdit.caretOffset, c.caret);
    EXPECT_EQ(f.document.codes, c.owner);
    // What the edit record holds is what the selected field shows.
    EXPECT_EQ(f.Edit(), f.pane.SelectedFieldText());
  }
}

TEST(TextPaneFields, FirstBlankCaretAndWideField) {
  RecordingPanePort port;
  // A field of 300 columns on a line of 300 characters: the edit covers its first 255.
  std::string wide(300, 'v');
  wide[100] = ' ';
  FieldPane f({{wide, {{0, 300}}}, {"xx", {{0, 40}}}});
  EXPECT_EQ(f.pane.selLength, 300);
  EXPECT_EQ(f.pane.fieldEdit.fieldLength, 255);
  EXPECT_EQ(f.pane.fieldEdit.caretOffset, 100);
  EXPECT_EQ(f.Edit().size(), 255u);
  f.pane.HandleFieldKey(kEnd);
  EXPECT_EQ(f.pane.fieldEdit.caretOffset, 254);
  f.pane.HandleFieldKey('Q');
  EXPECT_EQ(f.document.Text(0).substr(250, 6), "vvvvQv");
  // A field reaching past its line's text is edited over blanks, written only
  // within the line.
  f.pane.HandleFieldMouse(1, 0);
  EXPECT_EQ(f.pane.row, 1);
  f.pane.HandleFieldKey(309);
  EXPECT_EQ(f.pane.fieldEdit.caretOffset, 2);
  f.pane.SetCaretOffset(0);
  f.Type("abcdef");
  EXPECT_EQ(f.document.Text(1), "ab");
  EXPECT_EQ(f.Edit().substr(0, 7), "abcdef ");
}

}  // namespace
}  // namespace zentor
