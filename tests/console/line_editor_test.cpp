// The console line editor and its history ring, driven by scripted keys in the
// Command window.
#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <vector>

#include "console/char_channel.h"
#include "console/command_reader.h"
#include "console/console_bridge.h"
#include "console/line_editor.h"
#include "console/output_writer.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/memory_file.h"
#include "core/message_table.h"
#include "core/status_line.h"
#include "core/viewpoint_manager.h"
#include "harness/transcript.h"

namespace zentor {
namespace {

using testing_support::GuiSession;
using testing_support::TypeKeys;

constexpr uint32_t kLeft = kKeyLeft;
constexpr uint32_t kRight = kKeyRight;
constexpr uint32_t kHome = kKeyHome;
constexpr uint32_t kEnd = kKeyEnd;
constexpr uint32_t kUp = kKeyUp;
constexpr uint32_t kDown = kKeyDown;
constexpr uint32_t kDel = kKeyDelete;
constexpr uint32_t kIns = kKeyInsert;
constexpr uint32_t kEnter = '\r';

std::string LeftPartText() {
  MemoryFile& left = MemoryFileOf(CharChannel::LeftPart());
  std::string text(left.Size(), '\0');
  const uint32_t position = left.Position();
  (void)left.Seek(0);
  if (!text.empty()) (void)left.Read(1, left.Size(), text.data());
  (void)left.Seek(position);
  return text;
}

std::vector<uint32_t> Keys(const std::string& text) { return std::vector<uint32_t>(text.begin(), text.end()); }

std::vector<uint32_t> operator+(std::vector<uint32_t> a, const std::vector<uint32_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Edits one line from the keys and returns it without its CR LF (the editor always
// ends it so).
std::string EditLine(const std::vector<uint32_t>& keys) {
  OutputWriter::AdvanceColumn('\n');  // the next line starts with its prompt
  TypeKeys(keys);
  EditConsoleLine();
  const std::string line = LeftPartText();
  EXPECT_GE(line.size(), 2u);
  EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
  EXPECT_TRUE(KeyQueue::IsEmpty()) << "every key was taken";
  return line.size() >= 2 ? line.substr(0, line.size() - 2) : line;
}

TEST(LineEditorTest, EditingKeys) {
  struct Case {
    const char* name;
    uint16_t insert;
    std::vector<uint32_t> keys;
    const char* expected;
    int beeps;
  };
  const Case cases[] = {
      {"insert inside the line", 1, Keys("abc") + std::vector<uint32_t>{kLeft, kLeft, 'X'}, "aXbc", 0},
      {"overtype inside the line", 0, Keys("abc") + std::vector<uint32_t>{kLeft, kLeft, 'X'}, "aXc", 0},
      {"backspace on an empty line", 1, {8}, "", 1},
      {"backspace", 1, Keys("abc") + std::vector<uint32_t>{8}, "ab", 0},
      {"backspace inside the line", 1, Keys("abc") + std::vector<uint32_t>{kLeft, 8}, "ac", 0},
      {"delete at the start", 1, Keys("abc") + std::vector<uint32_t>{kHome, kDel}, "bc", 0},
      {"ctrl+f deletes", 1, Keys("abc") + std::vector<uint32_t>{kLeft, 6}, "ab", 0},
      {"delete at the end beeps", 1, Keys("abc") + std::vector<uint32_t>{kDel}, "abc", 1},
      {"ctrl+x drops the left part", 1, Keys("abcd") + std::vector<uint32_t>{kLeft, 24}, "d", 0},
      {"ctrl+a drops the right part", 1, Keys("abcd") + std::vector<uint32_t>{kLeft, kLeft, 1}, "ab", 0},
      {"esc erases the line", 1, Keys("abc") + std::vector<uint32_t>{27} + Keys("de"), "de", 0},
      {"ctrl+z erases the line", 1, Keys("abc") + std::vector<uint32_t>{kLeft, 26} + Keys("x"), "x", 0},
      {"ctrl+l erases the line", 1, Keys("abc") + std::vector<uint32_t>{12}, "", 0},
      {"home and end", 1, Keys("bc") + std::vector<uint32_t>{kHome, 'a', kEnd, 'd'}, "abcd", 0},
      {"left at the start beeps", 1, std::vector<uint32_t>{kLeft} + Keys("a"), "a", 1},
      {"right at the end beeps", 1, Keys("a") + std::vector<uint32_t>{kRight}, "a", 1},
      {"left then right", 1, Keys("ab") + std::vector<uint32_t>{kLeft, kRight, 'c'}, "abc", 0},
      {"tab is a blank", 1, Keys("a\tb"), "a b", 0},
      {"line feed does nothing", 1, Keys("a\nb"), "ab", 0},
      {"other control keys beep", 1, Keys("a") + std::vector<uint32_t>{2, 200} + Keys("b"), "ab", 2},
      {"insert key toggles overtype", 0, Keys("abc") + std::vector<uint32_t>{kHome, kIns, 'X'}, "Xabc", 0},
      {"ctrl+e on a non-empty line beeps", 1, Keys("a") + std::vector<uint32_t>{5}, "a", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GuiSession session;
    LineEditor::SetInsertSetting(c.insert);
    EXPECT_EQ(EditLine(c.keys + std::vector<uint32_t>{kEnter}), c.expected);
    EXPECT_EQ(session.Window().m_beeps, c.beeps);
    EXPECT_EQ(session.Window().Row(0), std::string(">") + c.expected) << "what the Command window shows";
    EXPECT_EQ(session.Window().m_row, 1u) << "Enter moved to the next line";
  }
}

TEST(LineEditorTest, FullConsoleLine) {
  GuiSession session;
  LineEditor::SetInsertSetting(1);
  // The prompt and 126 characters fill the 128-column editing line.
  const std::string full(126, 'a');
  EXPECT_EQ(EditLine(Keys(full + "bcd") + std::vector<uint32_t>{kLeft, 'x', kEnter}), full);
  EXPECT_EQ(session.Window().m_beeps, 4) << "three at the end, one inserting inside";

  GuiSession overtype;
  LineEditor::SetInsertSetting(0);
  EXPECT_EQ(EditLine(Keys(full) + std::vector<uint32_t>{kLeft, 'x', kEnter}), std::string(125, 'a') + "x");
  EXPECT_EQ(overtype.Window().m_beeps, 0) << "overtype inside a full line replaces";
}

// A current viewpoint, whose status line the General window would paint.
struct ServerViewpoint {
  ServerViewpoint() {
    ViewpointManager::AddViewpoint(ViewpointHandle(7), "SERVER");
    ViewpointManager::SelectViewpoint(0);
  }
  ~ServerViewpoint() {
    ResetStatusLine();
    ViewpointManager::RemoveAllViewpoints();
    SetBaseViewpoint(ViewpointHandle::None());
  }
};

// Past the end of the line a key is refused with a beep and message 87 on the status
// line, where it stands after the last refused key (the GUI puts the line's own text
// back at the user's next key); the line typed so far stays whole on the screen and in
// the command. A line shortened after it was full takes keys again, and the screen
// keeps its place (the cursor moves and the text agree).
TEST(LineEditorTest, KeysPastTheEndOfTheLine) {
  std::string typed;
  for (int i = 0; i < 200; ++i) typed += static_cast<char>('a' + i % 26);
  const std::string full = typed.substr(0, 126);
  const std::string message = "The command line is full: at most 126 characters can be typed.";
  struct Case {
    const char* name;
    uint16_t insert;
    bool testPrompt;  // ">" alone; otherwise "[SERVER]>"
    std::vector<uint32_t> keys;
    std::string expected;
    int beeps;
    std::string shown;  // the status line's message after the line was edited ("": none)
  };
  const std::vector<Case> cases = {
      {"200 characters typed in insert mode", 1, true, Keys(typed), full, 74, message},
      {"200 characters typed in overtype mode", 0, true, Keys(typed), full, 74, message},
      {"a longer prompt leaves less room", 1, false, Keys(typed), typed.substr(0, 118), 82,
       "The command line is full: at most 118 characters can be typed."},
      {"tab on a full line", 1, true, Keys(full + "\t"), full, 1, message},
      {"backspace makes room again in insert mode", 1, true, Keys(full) + std::vector<uint32_t>{8, 8, 8} + Keys("XYZ"),
       full.substr(0, 123) + "XYZ", 0, ""},
      {"backspace makes room again in overtype mode", 0, true,
       Keys(full) + std::vector<uint32_t>{8, 8, 8} + Keys("XYZ"), full.substr(0, 123) + "XYZ", 0, ""},
      {"delete at the start makes room for an insert", 1, true,
       Keys(full + "!") + std::vector<uint32_t>{kHome, kDel, 'X'}, "X" + full.substr(1), 1, message},
      {"ctrl+x then the line again", 1, true, Keys(full) + std::vector<uint32_t>{24} + Keys(full + "!"), full, 1,
       message},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GuiSession session;
    ServerViewpoint viewpoint;
    SetPromptTestOption(c.testPrompt);
    LineEditor::SetInsertSetting(c.insert);
    const std::vector<std::string> statusBefore = session.Window().m_statusMessages;
    EXPECT_EQ(EditLine(c.keys + std::vector<uint32_t>{kEnter}), c.expected);
    EXPECT_EQ(session.Window().m_beeps, c.beeps);
    const std::string row = session.Window().Row(0);
    EXPECT_EQ(row.substr(row.find('>') + 1), c.expected) << "what the Command window shows";
    EXPECT_EQ(session.Window().m_row, 1u) << "Enter moved to the next line";
    std::vector<std::string> status(session.Window().m_statusMessages.begin() + statusBefore.size(),
                                    session.Window().m_statusMessages.end());
    if (c.shown.empty()) {
      EXPECT_EQ(status, std::vector<std::string>{}) << "the status line was left alone";
    } else {
      EXPECT_EQ(status, std::vector<std::string>{c.shown});
      EXPECT_EQ(GetLastErrorNumber(), kMsgCommandLineFull);
    }
  }
}

TEST(LineEditorTest, CtrlCAbandonsTheLine) {
  GuiSession session;
  OutputWriter::AdvanceColumn('\n');
  TypeKeys(Keys("abc") + std::vector<uint32_t>{3});
  try {
    EditConsoleLine();
    ADD_FAILURE() << "Ctrl+C raised nothing";
  } catch (const DVError& error) {
    EXPECT_EQ(error.Number(), kMsgUserBreak);
    EXPECT_EQ(error.Severity(), kSeverityError);
    EXPECT_EQ(error.DisplayMode(), kDisplayNone);
  }
  EXPECT_EQ(LeftPartText(), "");
  EXPECT_EQ(session.Window().Row(0), ">abc^C");
  TypeKeys({kUp});
  EXPECT_EQ(EditLine({kEnter}), "") << "the abandoned line was not stored";
}

TEST(LineEditorTest, HistoryRecall) {
  struct Case {
    const char* name;
    std::vector<std::string> stored;
    std::vector<uint32_t> keys;
    const char* expected;
    int beeps;
  };
  const Case cases[] = {
      {"up before any line beeps", {}, {kUp}, "", 1},
      {"up on one line shows it with a beep", {"one"}, {kUp}, "one", 1},
      {"a second up shows it again", {"one"}, {kUp, kUp}, "one", 2},
      {"up shows the newest", {"one", "two"}, {kUp}, "two", 0},
      {"up twice shows the one before", {"one", "two", "three"}, {kUp, kUp}, "two", 0},
      {"up stops at the oldest", {"one", "two"}, {kUp, kUp, kUp}, "one", 1},
      {"down after up shows the next", {"one", "two", "three"}, {kUp, kUp, kUp, kDown}, "two", 0},
      {"down past the newest is empty", {"one", "two"}, {kUp, kDown}, "", 0},
      {"ctrl+e re-enters the newest line", {"one", "two"}, {5}, "two", 0},
      {"a recalled line can be edited", {"abc"}, {kUp, 8, 'X'}, "abX", 1},
      {"an empty line is not stored", {"one", ""}, {kUp}, "one", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GuiSession session;
    LineEditor::SetInsertSetting(1);
    for (const std::string& line : c.stored) EditLine(Keys(line) + std::vector<uint32_t>{kEnter});
    const int beepsBefore = session.Window().m_beeps;
    std::vector<uint32_t> keys = c.keys;
    if (keys.back() != 5) keys.push_back(kEnter);
    EXPECT_EQ(EditLine(keys), c.expected);
    EXPECT_EQ(session.Window().m_beeps - beepsBefore, c.beeps);
  }
}

// The ring keeps the newest lines whose bytes (characters and CR each) fit in 399 of
// its 400 bytes; recalling walks them from the newest to the oldest and stays there.
TEST(LineEditorTest, HistoryRingKeepsTheNewestLinesThatFit) {
  const uint32_t seed = 1995;
  std::mt19937 random(seed);
  for (int round = 0; round < 60; ++round) {
    GuiSession session;
    std::deque<std::string> model;
    const int lineCount = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < lineCount; ++i) {
      const std::size_t length = 1 + random() % (round % 3 == 0 ? 400 : 120);
      std::string line;
      for (std::size_t k = 0; k < length; ++k) line += static_cast<char>('a' + random() % 26);
      const std::string stored = line + "\r\n";
      StoreHistoryLine(reinterpret_cast<const uint8_t*>(stored.data()), static_cast<uint32_t>(stored.size()));
      if (line.size() + 1 > HistoryRing::kSize - 1) continue;  // too long to be kept
      model.push_front(line);
      std::size_t bytes = 0;
      for (std::size_t k = 0; k < model.size(); ++k) {
        bytes += model[k].size() + 1;
        if (bytes > HistoryRing::kSize - 1) {
          model.resize(k);
          break;
        }
      }
    }
    std::vector<std::string> expected(model.begin(), model.end());
    if (!expected.empty()) expected.push_back(expected.back());
    StartHistoryRecall();
    std::vector<std::string> recalled;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      RecallPrevious();
      ShowRecalled();
      recalled.push_back(LeftPartText());
    }
    ASSERT_EQ(recalled, expected) << "round " << round << " seed " << seed;
  }
}

TEST(LineEditorTest, CursorStaysInTheVisiblePartOfTheInputLine) {
  GuiSession session;
  LineEditor::SetInsertSetting(1);
  const uint32_t width = 10;
  HandleCommandWindowRequest(kCommandWindowKind, 0, 500, &width);
  EditLine(Keys("abcdefghijkl") + std::vector<uint32_t>{kHome, kEnter});
  struct Expected {
    uint32_t code;
    int32_t direction;
    int32_t distance;
    int32_t cursor;
  };
  const Expected expected[] = {{501, 304, 1, 10}, {501, 304, 1, 11}, {501, 304, 1, 12}, {501, 303, 3, 0}};
  const auto& notes = session.Window().m_notifications;
  ASSERT_EQ(notes.size(), std::size(expected));
  for (std::size_t i = 0; i < notes.size(); ++i) {
    SCOPED_TRACE("notification " + std::to_string(i));
    EXPECT_EQ(notes[i].windowKind, kCommandWindowKind);
    EXPECT_EQ(notes[i].code, expected[i].code);
    EXPECT_EQ(notes[i].words[0], expected[i].direction);
    EXPECT_EQ(notes[i].words[1], expected[i].distance);
    EXPECT_EQ(notes[i].words[2], expected[i].cursor);
  }
  EXPECT_EQ(HandleCommandWindowRequest(kCommandWindowKind, 0, 501, &width), -1);
  EXPECT_EQ(LineWindowWidth(), width) << "an unknown request changes nothing";
}

TEST(LineEditorTest, FinishedLinesGoToTheLog) {
  testing_support::ScratchDirectory directory("editor");
  GuiSession session;
  LineEditor::SetInsertSetting(1);
  LogFile::LogCommand(directory.File("editor.log"));
  EditLine(Keys("first") + std::vector<uint32_t>{kEnter});
  EditLine(Keys("abc") + std::vector<uint32_t>{kLeft, 'X', kEnter});
  LogFile::Close();
  EXPECT_EQ(directory.Read("editor.log"), ">first\r\n>abXc\r\n");
}

}  // namespace
}  // namespace zentor
