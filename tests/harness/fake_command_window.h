#pragma once
// A stand-in for the windowed GUI in GUI-mode tests of the console: it draws the
// Command window's output on a text screen (one cursor, writes overwrite), records
// beeps, the status lines painted, HiService requests and notifications, and ends the session
// (as a quit message does) when keys are waited for and none comes: many wait rounds
// in a row with an empty key queue and no output in between.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "console/console_bridge.h"
#include "core/current_viewpoint.h"
#include "core/hi_service.h"
#include "core/viewpoint_manager.h"

namespace zentor::testing_support {

struct RecordedNotification {
  uint32_t windowKind;
  uint32_t code;
  int32_t words[3];
};

class FakeCommandWindow : public GuiShell {
 public:
  FakeCommandWindow() { InstallGuiShell(this); }
  ~FakeCommandWindow() override { InstallGuiShell(nullptr); }
  FakeCommandWindow(const FakeCommandWindow&) = delete;
  FakeCommandWindow& operator=(const FakeCommandWindow&) = delete;

  int32_t Request(uint32_t code) override {
    m_requests.push_back(code);
    return 0;
  }
  int32_t Notify(uint32_t windowKind, uint32_t, uint32_t code, const void* value) override {
    RecordedNotification note{windowKind, code, {0, 0, 0}};
    if (value != nullptr && code == kNotifyCommandLineScroll) std::memcpy(note.words, value, sizeof note.words);
    m_notifications.push_back(note);
    return 0;
  }
  // Records the status line the General window would paint now (the current
  // viewpoint's status text), once while it stays the same.
  void RefreshStatusPane(uint32_t) override {
    const std::string text = ViewpointManager::StatusTextOf(CurrentViewpoint()).data();
    const std::size_t lines = LinesWithText();
    if (!m_statusMessages.empty() && m_statusMessages.back() == text && m_linesAtStatusMessage.back() == lines) return;
    m_statusMessages.push_back(text);
    m_linesAtStatusMessage.push_back(lines);
  }
  bool WaitForInputRound() override {
    m_emptyRounds = KeyQueue::IsEmpty() ? m_emptyRounds + 1 : 0;
    return m_emptyRounds < kRoundsBeforeQuit;
  }
  // The keyboard drain: what the user typed meanwhile reaches the Command window.
  int32_t CheckUserBreak() override {
    ++m_breakChecks;
    TypeAhead();
    return 0;
  }
  void ShowCommandCaret() override { ++m_caretShows; }
  void Beep() override { ++m_beeps; }

  void WriteText(const char* text, std::size_t count) override {
    m_emptyRounds = 0;
    for (std::size_t i = 0; i < count; ++i) Put(text[i]);
  }
  void LineFeed() override {
    m_emptyRounds = 0;
    ++m_row;
    m_column = 0;
  }
  void ColumnToStart() override { m_column = 0; }
  void InputColumnToStart() override {}
  void RowUp() override {
    if (m_row > 0) --m_row;
  }
  void RowDown() override { ++m_row; }
  void CursorRight() override { ++m_column; }
  void CursorLeft() override {
    if (m_column > 0) --m_column;
  }
  void MoveCursor(uint8_t column, uint8_t row) override {
    m_column = column;
    m_row = row;
  }

  // The screen row without trailing blanks.
  std::string Row(std::size_t row) const {
    if (row >= m_screen.size()) return {};
    std::string text = m_screen[row];
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }
  // Rows that hold any text.
  std::size_t LinesWithText() const {
    std::size_t count = 0;
    for (std::size_t row = 0; row < m_screen.size(); ++row) count += Row(row).empty() ? 0 : 1;
    return count;
  }

  std::vector<std::string> m_screen;
  std::size_t m_row = 0;
  std::size_t m_column = 0;
  int m_beeps = 0;
  int m_caretShows = 0;
  std::vector<uint32_t> m_requests;
  std::vector<RecordedNotification> m_notifications;
  // The status lines painted, and the Command window's lines of text at each.
  std::vector<std::string> m_statusMessages;
  std::vector<std::size_t> m_linesAtStatusMessage;
  int m_emptyRounds = 0;
  int m_breakChecks = 0;
  // Keys the user types while a command runs; the next break check delivers them.
  std::vector<uint32_t> m_typedWhileBusy;

 private:
  static constexpr int kRoundsBeforeQuit = 50;

  void TypeAhead() {
    for (uint32_t key : m_typedWhileBusy) KeyQueue::Push(key);
    m_typedWhileBusy.clear();
  }

  void Put(char ch) {
    if (m_screen.size() <= m_row) m_screen.resize(m_row + 1);
    std::string& line = m_screen[m_row];
    if (line.size() <= m_column) line.resize(m_column + 1, ' ');
    line[m_column++] = ch;
  }
};

// Queues keys as the Command window would.
inline void TypeKeys(const std::vector<uint32_t>& keys) {
  for (uint32_t key : keys) KeyQueue::Push(key);
}

inline void TypeText(const std::string& text) {
  for (char ch : text) KeyQueue::Push(static_cast<uint8_t>(ch));
}

}  // namespace zentor::testing_support
