#pragma once
// A pane's owner and window for tests of the text pane's moves and field editing: the
// owner holds a document of lines, each with its own text buffer of exactly the
// line's length (a read or write past a line's end is a sanitizer report), an
// optional field layout, and hands the pane the whole document or a window of it as
// a view manager does; it accepts or refuses field commits. The port records what the
// pane asks to be drawn as lines of text.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/text_pane.h"
#include "core/view_kind.h"

namespace zentor::testing_support {

class RecordingPanePort : public PaneWindowPort {
 public:
  RecordingPanePort() { m_before = PaneWindow().Install(this); }
  ~RecordingPanePort() override { PaneWindow().Install(m_before); }
  RecordingPanePort(const RecordingPanePort&) = delete;
  RecordingPanePort& operator=(const RecordingPanePort&) = delete;

  void SetVScrollRange(int32_t, int32_t minimum, int32_t maximum) override {
    vMinimum = minimum;
    vMaximum = maximum;
  }
  void SetVScrollPos(int32_t, int32_t position) override { vPosition = position; }
  void SetHScrollPos(int32_t, int32_t position) override { hPosition = position; }
  void InvalidateWindow(int32_t) override { Log("invalidate"); }
  void RedrawLine(int32_t, int32_t index) override { Log("line " + std::to_string(index)); }
  void Beep() override { Log("beep"); }
  void ScrollTextRows(int32_t, int32_t rows) override { Log("scroll " + std::to_string(rows)); }
  void DrawSelectedField(int32_t) override { Log("field"); }
  bool HasFocus(int32_t) override { return true; }
  void ShowCaret(int32_t, int32_t column, int32_t row, bool wide) override {
    Log("caret " + std::to_string(column) + "," + std::to_string(row) + (wide ? " wide" : " narrow"));
  }

  // The calls since the last take, one per line.
  std::string Take() {
    std::string text;
    text.swap(m_log);
    return text;
  }
  int Count(const std::string& call) const {
    int n = 0;
    for (std::size_t at = m_log.find(call + "\n"); at != std::string::npos; at = m_log.find(call + "\n", at + 1)) {
      if (at == 0 || m_log[at - 1] == '\n') ++n;
    }
    return n;
  }

  int32_t vMinimum = -1;
  int32_t vMaximum = -1;
  int32_t vPosition = -1;
  int32_t hPosition = -1;

 private:
  void Log(const std::string& line) { m_log += line + "\n"; }
  std::string m_log;
  PaneWindowPort* m_before = nullptr;
};

struct DocumentLine {
  std::string text;
  std::vector<FieldPosition> fields;
};

class PaneDocument : public PaneOwner {
 public:
  // `window` 0: the pane holds the whole document.
  PaneDocument(TextPane& pane, std::vector<DocumentLine> document, int32_t window = 0)
      : m_pane(pane), m_window(window) {
    for (DocumentLine& line : document) {
      auto held = std::make_unique<Held>();
      held->text.assign(line.text.begin(), line.text.end());
      held->fields = std::move(line.fields);
      held->layout.fixed = 0;
      held->layout.count = static_cast<int32_t>(held->fields.size());
      held->layout.list = held->fields.empty() ? nullptr : held->fields.data();
      held->line.length = static_cast<int32_t>(held->text.size());
      held->line.capacity = held->line.length;
      held->line.text = held->text.empty() ? nullptr : held->text.data();
      held->line.fields = &held->layout;
      m_lines.push_back(std::move(held));
    }
    pane.owner = this;
    Fill(0);
  }

  int32_t SendViewRequest(int32_t code, intptr_t argument) override {
    codes.push_back(code);
    if (code == kGuiCommitField) return commitStatus;
    if (m_window == 0) return code == kGuiFillAround || code == kGuiDocumentEnd ? 0 : kAtEnd;
    const int32_t step = code == kGuiLineUp || code == kGuiLineDown ? 1 : std::max(m_pane.rows - 1, 1);
    int32_t from = m_pane.first;
    if (code == kGuiLineUp || code == kGuiPageUp) from -= step;
    if (code == kGuiLineDown || code == kGuiPageDown) from += step;
    if (code == kGuiFillAround) from = static_cast<int32_t>(argument) - m_window / 2;
    if (code == kGuiDocumentEnd) from = Size();
    from = std::clamp(from, 0, std::max(Size() - m_window, 0));
    if (from == m_pane.first && code != kGuiFillAround && code != kGuiDocumentEnd) return kAtEnd;
    const int32_t shownLine = m_pane.first + m_pane.top;
    Fill(from);
    m_pane.top = std::clamp(shownLine - from, 0, std::max(m_pane.count - 1, 0));
    if (code == kGuiFillAround) m_pane.top = std::clamp(static_cast<int32_t>(argument) - from, 0, std::max(m_pane.count - 1, 0));
    return 0;
  }

  void Fill(int32_t from) {
    m_held.clear();
    const int32_t window = m_window == 0 ? Size() : m_window;
    for (int32_t i = from; i < from + window && i < Size(); ++i) m_held.push_back(&m_lines[i]->line);
    m_pane.lines = m_held.empty() ? nullptr : m_held.data();
    m_pane.count = static_cast<int32_t>(m_held.size());
    m_pane.first = from;
    m_pane.last = m_window == 0 ? -1 : from + window - 1;
    m_pane.total = Size();
  }

  int32_t Size() const { return static_cast<int32_t>(m_lines.size()); }
  // The text of document line `index` as it stands now.
  std::string Text(int32_t index) const { return std::string(m_lines[index]->text.begin(), m_lines[index]->text.end()); }

  static constexpr int32_t kAtEnd = 262;
  int32_t commitStatus = 0;
  std::vector<int32_t> codes;

 private:
  struct Held {
    std::vector<char> text;
    std::vector<FieldPosition> fields;
    FieldLayout layout;
    PaneLine line;
  };
  TextPane& m_pane;
  int32_t m_window;
  std::vector<std::unique_ptr<Held>> m_lines;
  std::vector<PaneLine*> m_held;
};

}  // namespace zentor::testing_support
