#pragma once
// What a window shows, rebuilt from the recording layer's log as a screen of character
// cells (8 x 13 pixels, the recording system's fixed font): text drawn at its cells,
// filled rectangles blanked, scrolled pixels moved, each cell with the text and
// background colours it was last drawn in. Tests read rows and cells of it, and
// compare a screen drawn step by step with one painted whole.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "gui/gui_window_layer.h"

namespace zentor::testing_support {

struct ScreenCell {
  char ch = ' ';
  std::string text;
  std::string back;
  bool operator==(const ScreenCell&) const = default;
};

// A colour word as the recording layer logs it (red and blue swapped, six digits).
inline std::string LoggedColor(uint32_t word) {
  char text[16];
  std::snprintf(text, sizeof text, "%06X", GuiWindowLayer::SwapRedBlue(word & 0xFFFFFFu));
  return text;
}

class LayerScreen {
 public:
  static constexpr int32_t kCellWidth = 8;
  static constexpr int32_t kCellHeight = 13;

  LayerScreen(std::string label, int32_t rows, int32_t columns)
      : m_label(std::move(label)), m_rows(rows), m_columns(columns),
        m_cells(static_cast<std::size_t>(rows * columns)) {}

  // Applies the lines of the window's drawing; true when the window was invalidated
  // (a paint is due).
  bool Apply(const std::string& log) {
    bool invalidated = false;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
      const std::string text = "Text " + m_label + " ";
      const std::string fill = "FillRect " + m_label + " ";
      const std::string scroll = "ScrollWindow " + m_label + " ";
      if (line.rfind(text, 0) == 0) {
        int x = 0;
        int y = 0;
        std::sscanf(line.c_str() + text.size(), "fixed %d,%d", &x, &y);
        const std::size_t open = line.find('"');
        const std::size_t close = line.rfind("\" text ");
        const std::string drawn = line.substr(open + 1, close - open - 1);
        char textColor[16] = {};
        char backColor[16] = {};
        std::sscanf(line.c_str() + close, "\" text %15s back %15s", textColor, backColor);
        ++m_textCalls;
        for (std::size_t i = 0; i < drawn.size(); ++i) {
          Set(y / kCellHeight - 1, x / kCellWidth + static_cast<int32_t>(i), ScreenCell{drawn[i], textColor, backColor});
        }
      } else if (line.rfind(fill, 0) == 0) {
        LayerRect r;
        char color[16] = {};
        std::sscanf(line.c_str() + fill.size(), "(%d,%d,%d,%d) fill %*d %15s", &r.top, &r.left, &r.bottom, &r.right,
                    color);
        for (int32_t row = r.top / kCellHeight; row * kCellHeight < r.bottom; ++row) {
          for (int32_t column = r.left / kCellWidth; column * kCellWidth < r.right; ++column) {
            Set(row, column, ScreenCell{' ', "", color});
          }
        }
      } else if (line.rfind(scroll, 0) == 0) {
        int dx = 0;
        int dy = 0;
        LayerRect r;
        std::sscanf(line.c_str() + scroll.size(), "%d,%d (%d,%d,%d,%d)", &dx, &dy, &r.top, &r.left, &r.bottom,
                    &r.right);
        Shift(r.top / kCellHeight, (r.bottom + kCellHeight - 1) / kCellHeight, dy / kCellHeight, dx / kCellWidth);
        // Windows paints the strip a sideways scroll uncovered at once.
        invalidated = invalidated || dx != 0;
      } else if (line.rfind("Invalidate " + m_label, 0) == 0) {
        invalidated = true;
      }
    }
    return invalidated;
  }

  const ScreenCell& At(int32_t row, int32_t column) const {
    return m_cells[static_cast<std::size_t>(row * m_columns + column)];
  }
  // The characters of a row without trailing blanks.
  std::string Row(int32_t row) const {
    std::string text;
    for (int32_t column = 0; column < m_columns; ++column) text += At(row, column).ch;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }
  std::string Rows() const {
    std::string text;
    for (int32_t row = 0; row < m_rows; ++row) text += Row(row) + "|";
    return text;
  }
  // Text calls applied since the last call.
  int32_t TakeTextCalls() { return std::exchange(m_textCalls, 0); }
  bool operator==(const LayerScreen& other) const { return m_cells == other.m_cells; }

 private:
  void Set(int32_t row, int32_t column, const ScreenCell& cell) {
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns) return;
    m_cells[static_cast<std::size_t>(row * m_columns + column)] = cell;
  }
  // Rows first..last-1 move by `rows` (negative: up) and `columns` (negative: left)
  // within that band.
  void Shift(int32_t first, int32_t last, int32_t rows, int32_t columns) {
    std::vector<ScreenCell> shifted = m_cells;
    for (int32_t row = std::max(first, 0); row < std::min(last, m_rows); ++row) {
      const int32_t from = row - rows;
      if (from < first || from >= last) continue;
      for (int32_t column = 0; column < m_columns; ++column) {
        const int32_t fromColumn = column - columns;
        if (fromColumn < 0 || fromColumn >= m_columns) continue;
        shifted[static_cast<std::size_t>(row * m_columns + column)] = At(from, fromColumn);
      }
    }
    m_cells = shifted;
  }

  std::string m_label;
  int32_t m_rows;
  int32_t m_columns;
  std::vector<ScreenCell> m_cells;
  int32_t m_textCalls = 0;
};

}  // namespace zentor::testing_support
