// The Command window's pane over the recording window layer. What the user sees is
// rebuilt from the layer's calls as a text screen (text drawn at its cells, cleared
// rectangles, scrolled pixels; an invalidated window is repainted as Windows would),
// so the tests read the window's rows: the scroll-back of 100 lines, the return to the
// line in progress, the cut at 511 characters, paging in a three-row window, the keys
// the pane keeps, the left column, the columns the key queue moves, and the line
// editor's shift of the view.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "console/char_channel.h"
#include "console/console_bridge.h"
#include "console/line_editor.h"
#include "console/pager.h"
#include "core/key_queue.h"
#include "gui/gui_window_layer.h"
#include "harness/recording_layer_system.h"
#include "harness/session/console_session.h"
#include "windows/command_pane.h"

namespace zentor {
namespace {

using testing_support::RecordingLayerSystem;

// The fixed font of the recording system: cells of 8 by 13 pixels.
constexpr int32_t kCellWidth = 8;
constexpr int32_t kCellHeight = 13;

// The GUI shell of the tests: the pane's primitives, notices of kind 10 to the pane
// (as the GUI's router hands them on), and a hook before every key is read.
class TestShell : public CommandPaneShell {
 public:
  int32_t Notify(uint32_t kind, uint32_t argument, uint32_t code, const void* value) override {
    return kind == kCommandWindowKind ? CommandWindow::OnEngineNotice(argument, code, value) : 0;
  }
  bool WaitForInputRound() override {
    if (beforeKey) beforeKey();
    return true;
  }
  std::function<void()> beforeKey;
};

// The Command window of `rows` rows and `columns` columns, its pane, and the screen
// its drawing leaves.
class CommandScreen {
 public:
  CommandScreen(int32_t rows, int32_t columns) : m_rows(rows), m_columns(columns) {
    InstallGuiWindowLayer(&m_layer);
    m_layer.Register(m_system.AddWindow("frame"), kLayerFrame, 0);
    m_window = m_system.AddWindow("command", 0, LayerRect{0, 0, rows * kCellHeight, columns * kCellWidth});
    m_id = m_layer.Register(m_window, kLayerChildWindow, 0);
    CommandWindow::Reset();
    KeyQueue::Clear();
    InstallGuiShell(&m_shell);
    CommandWindow::InitPane(m_id);
    m_screen.assign(static_cast<std::size_t>(rows), std::string(static_cast<std::size_t>(columns), ' '));
    Update();
  }
  ~CommandScreen() {
    InstallGuiShell(nullptr);
    CommandWindow::Reset();
    InstallGuiWindowLayer(nullptr);
  }
  CommandScreen(const CommandScreen&) = delete;
  CommandScreen& operator=(const CommandScreen&) = delete;

  // Output as the console bridge hands it on.
  void Print(const std::string& text) { WriteConsoleText(text.data(), text.size()); Update(); }
  void Key(int32_t code) {
    CommandWindow::HandleKey(code);
    Update();
  }
  // The screen's row (from 0) without trailing blanks.
  std::string Row(int32_t row) const {
    std::string text = m_screen[static_cast<std::size_t>(row)];
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }
  std::string Screen() const {
    std::string text;
    for (int32_t row = 0; row < m_rows; ++row) text += Row(row) + "|";
    return text;
  }
  // Applies what the pane drew since the last call; a window invalidated is painted.
  // The picture is settled first, as the program does before it reads a key.
  void Update() {
    CommandWindow::SettlePicture(true);
    std::string log = m_system.TakeLog();
    m_allLog += log;
    bool invalid = Apply(log);
    for (int round = 0; invalid && round < 3; ++round) {
      CommandWindow::Repaint(nullptr);
      log = m_system.TakeLog();
      m_allLog += log;
      invalid = Apply(log);
    }
  }
  std::string TakeAllLog() {
    std::string log;
    log.swap(m_allLog);
    return log;
  }
  // A new Command window after the old one closed: a blank window, painted.
  void Reopen() {
    m_window = m_system.AddWindow("command", 0, LayerRect{0, 0, m_rows * kCellHeight, m_columns * kCellWidth});
    m_id = m_layer.Register(m_window, kLayerChildWindow, 0);
    CommandWindow::InitPane(m_id);
    m_screen.assign(static_cast<std::size_t>(m_rows), std::string(static_cast<std::size_t>(m_columns), ' '));
    CommandWindow::Repaint(nullptr);
    Update();
  }
  RecordingLayerSystem& System() { return m_system; }
  TestShell& Shell() { return m_shell; }
  int32_t Id() const { return m_id; }

 private:
  bool Apply(const std::string& log) {
    bool invalid = false;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("Text command ", 0) == 0) {
        int x = 0;
        int y = 0;
        std::sscanf(line.c_str(), "Text command fixed %d,%d", &x, &y);
        const std::size_t open = line.find('"');
        const std::size_t close = line.rfind("\" text ");
        Put(y / kCellHeight - 1, x / kCellWidth, line.substr(open + 1, close - open - 1));
      } else if (line.rfind("FillRect command ", 0) == 0) {
        LayerRect r;
        std::sscanf(line.c_str(), "FillRect command (%d,%d,%d,%d)", &r.top, &r.left, &r.bottom, &r.right);
        for (int32_t row = r.top / kCellHeight; row * kCellHeight < r.bottom && row < m_rows; ++row) {
          for (int32_t column = r.left / kCellWidth; column * kCellWidth < r.right && column < m_columns; ++column) {
            if (row >= 0 && column >= 0) m_screen[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = ' ';
          }
        }
      } else if (line.rfind("ScrollWindow command ", 0) == 0) {
        int dx = 0;
        int dy = 0;
        std::sscanf(line.c_str(), "ScrollWindow command %d,%d", &dx, &dy);
        Shift(dy / kCellHeight, dx / kCellWidth);
        // Windows paints the strip the pixels left at once.
        invalid = invalid || dx != 0;
      } else if (line.rfind("Invalidate command", 0) == 0) {
        invalid = true;
      }
    }
    return invalid;
  }
  void Put(int32_t row, int32_t column, const std::string& text) {
    ASSERT_GE(row, 0) << text;
    ASSERT_LT(row, m_rows) << text;
    ASSERT_GE(column, 0) << text;
    for (std::size_t i = 0; i < text.size(); ++i) {
      ASSERT_LT(column + static_cast<int32_t>(i), m_columns) << "drawn past the right edge: " << text;
      m_screen[static_cast<std::size_t>(row)][static_cast<std::size_t>(column) + i] = text[i];
    }
  }
  void Shift(int32_t rows, int32_t columns) {
    std::vector<std::string> shifted = m_screen;
    for (int32_t row = 0; row < m_rows; ++row) {
      for (int32_t column = 0; column < m_columns; ++column) {
        const int32_t fromRow = row - rows;
        const int32_t fromColumn = column - columns;
        if (fromRow >= 0 && fromRow < m_rows && fromColumn >= 0 && fromColumn < m_columns) {
          shifted[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] =
              m_screen[static_cast<std::size_t>(fromRow)][static_cast<std::size_t>(fromColumn)];
        }
      }
    }
    m_screen = shifted;
  }

  RecordingLayerSystem m_system;
  GuiWindowLayer m_layer{m_system};
  TestShell m_shell;
  NativeWindow m_window = 0;
  int32_t m_id = kNoLayerId;
  int32_t m_rows;
  int32_t m_columns;
  std::vector<std::string> m_screen;
  std::string m_allLog;
};

std::string Lines(int32_t from, int32_t to) {
  std::string text;
  for (int32_t i = from; i < to; ++i) text += "line " + std::to_string(i) + "\n";
  return text;
}

TEST(CommandPane, ScrollBackKeepsTheLast100Lines) {
  CommandScreen screen(3, 40);
  screen.Print(Lines(0, 101) + "> ");
  EXPECT_EQ(screen.Screen(), "line 99|line 100|>|");
  EXPECT_EQ(std::string(CommandWindow::StoredLine(0)), "line 1");
  EXPECT_EQ(std::string(CommandWindow::StoredLine(99)), "line 100");
  // The top of the scroll-back is the second line written.
  screen.Key(319);
  EXPECT_EQ(screen.Screen(), "line 1|line 2|line 3|");
  // A three-row window pages by three rows.
  screen.Key(306);
  EXPECT_EQ(screen.Screen(), "line 4|line 5|line 6|");
  screen.Key(305);
  EXPECT_EQ(screen.Screen(), "line 1|line 2|line 3|");
  screen.Key(305);  // at the top: a beep, nothing moves
  EXPECT_NE(screen.TakeAllLog().find("MessageBeep"), std::string::npos);
  EXPECT_EQ(screen.Screen(), "line 1|line 2|line 3|");
  // Output while scrolled back returns to the line in progress first.
  screen.Print("abc");
  EXPECT_EQ(screen.Screen(), "line 99|line 100|> abc|");
  // Ctrl+Up and Ctrl+Down draw the line that comes into view.
  screen.Key(371);
  EXPECT_EQ(screen.Screen(), "line 98|line 99|line 100|");
  screen.Key(372);
  EXPECT_EQ(screen.Screen(), "line 99|line 100|> abc|");
  // Closing the window keeps the text; a new window shows it again.
  CommandWindow::ClosePane();
  EXPECT_EQ(CommandWindow::WindowId(), kNoLayerId);
  screen.Print("lost");
  screen.Reopen();
  EXPECT_EQ(screen.Screen(), "line 99|line 100|> abc|");
  EXPECT_EQ(CommandWindow::InputColumn(), 5);
}

TEST(CommandPane, LinesPastTheLimitAreCut) {
  struct Case {
    const char* name;
    std::string before;  // output standing on the line
    std::string text;    // one write
    std::string line;    // the line in progress afterwards (empty: completed)
    std::string stored;  // the last completed line
  };
  const std::string long600(600, 'x');
  const std::vector<Case> cases = {
      {"600 characters and a line feed: cut at 511, the line feed lost", "", long600 + "\n", std::string(511, 'x'), ""},
      {"a text that fills the line exactly and ends it", std::string(500, 'a'), std::string(11, 'b') + "\n", "",
       std::string(500, 'a') + std::string(11, 'b')},
      {"a text one too long loses its last character", std::string(500, 'a'), std::string(12, 'b'),
       std::string(500, 'a') + std::string(11, 'b'), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CommandScreen screen(5, 60);
    if (!c.before.empty()) CommandWindow::WriteText(c.before.data(), c.before.size());
    CommandWindow::WriteText(c.text.data(), c.text.size());
    EXPECT_EQ(std::string(CommandWindow::LineInProgress()), c.line);
    EXPECT_EQ(std::string(CommandWindow::StoredLine(0)), c.stored);
    EXPECT_LE(CommandWindow::InputColumn(), 511);
  }
}

TEST(CommandPane, KeysAndColumns) {
  CommandScreen screen(4, 20);
  // The keys that scroll stay in the pane; Alt+A is dropped; the rest are queued.
  for (int32_t key : {319, 320, 305, 306, 371, 372, 321, 322, 323, 324, 1089}) screen.Key(key);
  EXPECT_TRUE(KeyQueue::IsEmpty());
  const std::vector<uint32_t> queued = {331, 340, 301, 302, 303, 304, 309, 310, 312, 127, 27, 'a'};
  for (uint32_t key : queued) screen.Key(static_cast<int32_t>(key));
  for (uint32_t key : queued) EXPECT_EQ(KeyQueue::Pop(), key);

  // A long line scrolled into view; a completed line brings column 0 back.
  screen.Print(std::string(30, 'q') + "0123456789");
  screen.Key(323);  // one page right: 20 columns
  EXPECT_EQ(CommandWindow::View().leftColumn, 20);
  EXPECT_EQ(screen.Row(0), "qqqqqqqqqq0123456789");
  screen.Print("\n");
  EXPECT_EQ(CommandWindow::View().leftColumn, 0);
  EXPECT_EQ(screen.Row(0), "qqqqqqqqqqqqqqqqqqqq");

  // Keys taken from the queue move the columns: CR the input column to 0, 243 and
  // 244 the output column.
  screen.Print("12345");
  EXPECT_EQ(CommandWindow::InputColumn(), 5);
  KeyQueue::Push(13);
  KeyQueue::Pop();
  EXPECT_EQ(CommandWindow::InputColumn(), 0);
  for (int i = 0; i < 25; ++i) {
    KeyQueue::Push(243);
    KeyQueue::Pop();
  }
  EXPECT_EQ(CommandPaneShell::OutputColumn(), 20);
  KeyQueue::Push(244);
  KeyQueue::Pop();
  EXPECT_EQ(CommandPaneShell::OutputColumn(), 19);
  // The console's cursor moves keep the input column within the line.
  for (int i = 0; i < 600; ++i) WriteConsoleChar(243);
  EXPECT_EQ(CommandWindow::InputColumn(), 511);
  screen.Print("Z");
  EXPECT_EQ(std::strlen(CommandWindow::LineInProgress()), 5u);
}

// A burst of output makes no caret (making one costs more than drawing a line); the
// wait before the next key shows it once, at the input column of the input row.
TEST(CommandPane, OutputLeavesTheCaretForTheWait) {
  CommandScreen screen(4, 30);
  screen.TakeAllLog();
  screen.Print(Lines(0, 50) + "> ab");
  const std::string drawn = screen.TakeAllLog();
  EXPECT_EQ(drawn.find("Caret command"), std::string::npos) << drawn.substr(0, 400);
  CommandWindow::ShowPendingCaret();
  const std::string log = screen.System().TakeLog();
  EXPECT_EQ(log, "Caret command 8x13 at 32,39\n");
  CommandWindow::ShowPendingCaret();
  EXPECT_EQ(screen.System().TakeLog(), "") << "shown once";
  // Scrolled back, the line in progress is out of view: no caret.
  screen.Key(319);
  screen.Print("c");
  screen.Key(319);
  screen.System().TakeLog();
  CommandWindow::ShowPendingCaret();
  EXPECT_EQ(screen.System().TakeLog().find("Caret command"), std::string::npos);
}

// The line editor's notice moves the view by n columns and the caret with it; 303
// moves it left, back to column 0 drawing the whole window.
TEST(CommandPane, LineEditorShiftsTheView) {
  CommandScreen screen(3, 10);
  screen.Print(std::string(15, 'k') + "abcdef");
  const CommandShiftRequest right{304, 8, 22};
  EXPECT_EQ(CommandWindow::OnEngineNotice(0, 0x1f5, &right), 0);
  EXPECT_EQ(CommandWindow::View().leftColumn, 8);
  std::string log = screen.System().TakeLog();
  EXPECT_NE(log.find("ScrollWindow command -64,0"), std::string::npos) << log;
  EXPECT_NE(log.find("Caret command 8x13 at 104,0"), std::string::npos) << log;
  const CommandShiftRequest left{303, 3, 10};
  CommandWindow::OnEngineNotice(0, 0x1f5, &left);
  EXPECT_EQ(CommandWindow::View().leftColumn, 5);
  const CommandShiftRequest home{303, 9, 1};
  CommandWindow::OnEngineNotice(0, 0x1f5, &home);
  EXPECT_EQ(CommandWindow::View().leftColumn, 0);
  EXPECT_NE(screen.System().TakeLog().find("Invalidate command all"), std::string::npos);
  EXPECT_EQ(CommandWindow::OnEngineNotice(0, 0x1f4, &home), -1);
}

}  // namespace
}  // namespace zentor

namespace zentor {
namespace {

// The line editor and the pane share the view: the editor's notices shift it right
// while the typed line passes the window's right edge and back left for Home, and the
// window shows at every key the line in progress from the view's left column.
TEST(CommandPane, LineEditorShiftsTheViewWhileTyping) {
  testing_support::ResetConsoleModules(false);
  CommandScreen screen(3, 10);
  OpenConsoleOutput();
  OpenConsoleInput();
  LineEditor::SetInsertSetting(1);
  int32_t widest = 0;
  screen.Shell().beforeKey = [&] {
    screen.Update();
    const int32_t left = CommandWindow::View().leftColumn;
    widest = std::max(widest, left);
    const std::string line = CommandWindow::LineInProgress();
    const std::string shown = line.size() > static_cast<std::size_t>(left) ? line.substr(static_cast<std::size_t>(left), 10) : "";
    EXPECT_EQ(screen.Row(0), shown) << "left column " << left;
  };
  for (char ch : std::string("abcdefghijkl")) KeyQueue::Push(static_cast<uint8_t>(ch));
  KeyQueue::Push(kKeyHome);
  KeyQueue::Push(13);
  EditConsoleLine();
  EXPECT_GT(widest, 0) << "typing past the edge shifts the view";
  EXPECT_EQ(CommandWindow::View().leftColumn, 0) << "Home shifts it back";
  testing_support::ResetConsoleModules(true);
}

}  // namespace
}  // namespace zentor
