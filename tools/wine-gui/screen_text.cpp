#include "screen_text.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

namespace zentor::wine_gui {
namespace {

// The font's glyphs as ink masks of one cell, by character. A cell's background is
// read at a pixel that no glyph inks; a cell is then a pattern of pixels that differ
// from it, whatever the colours the program chose (selections, the current line).
struct Glyphs {
  int width = 0;
  int height = 0;
  int blankX = -1;
  int blankY = -1;
  std::unordered_map<std::string, char> byMask;  // '\0' where two characters look alike
};

// An ink mask, a bit a pixel, rows from the top.
class Mask {
 public:
  Mask(int width, int height) : m_width(width), m_bytes((static_cast<size_t>(width) * height + 7) / 8, '\0') {}
  void Set(int x, int y) {
    const size_t bit = static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x);
    m_bytes[bit / 8] = static_cast<char>(m_bytes[bit / 8] | (1 << (bit % 8)));
  }
  bool Empty() const { return std::all_of(m_bytes.begin(), m_bytes.end(), [](char c) { return c == 0; }); }
  const std::string& Bytes() const { return m_bytes; }

 private:
  int m_width;
  std::string m_bytes;
};

// Draws the printable characters, black on white, in one row of cells.
bool DrawGlyphs(Glyphs* glyphs, std::string* why) {
  std::string characters;
  for (char c = '!'; c <= '~'; ++c) characters += c;
  const int count = static_cast<int>(characters.size());
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SIZE extent{};
  GetTextExtentPoint32A(dc, characters.data(), count, &extent);
  glyphs->width = metrics.tmAveCharWidth;
  glyphs->height = metrics.tmHeight;
  if (glyphs->width <= 0 || glyphs->height <= 0 || extent.cx != glyphs->width * count) {
    SelectObject(dc, oldFont);
    DeleteDC(dc);
    *why = "the fixed font is not of one width here";
    return false;
  }
  BITMAPINFO info = DibInfo(glyphs->width * count, -glyphs->height, 32);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  const RECT all{0, 0, glyphs->width * count, glyphs->height};
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, OPAQUE);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &all, characters.data(), static_cast<UINT>(count), nullptr);
  GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  const auto inked = [&](int x, int y) {
    return (pixels[static_cast<size_t>(y) * static_cast<size_t>(all.right) + static_cast<size_t>(x)] & 0xFFFFFF) !=
           0xFFFFFF;
  };
  std::vector<bool> anyInk(static_cast<size_t>(glyphs->width * glyphs->height), false);
  for (int i = 0; i < count; ++i) {
    Mask mask(glyphs->width, glyphs->height);
    for (int y = 0; y < glyphs->height; ++y) {
      for (int x = 0; x < glyphs->width; ++x) {
        if (!inked(i * glyphs->width + x, y)) continue;
        mask.Set(x, y);
        anyInk[static_cast<size_t>(y * glyphs->width + x)] = true;
      }
    }
    const auto [entry, added] = glyphs->byMask.emplace(mask.Bytes(), characters[static_cast<size_t>(i)]);
    if (!added) entry->second = '\0';
  }
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  SelectObject(dc, oldFont);
  DeleteDC(dc);
  const auto blank = std::find(anyInk.begin(), anyInk.end(), false);
  if (blank == anyInk.end()) {
    *why = "every pixel of a cell is inked by some glyph of the fixed font";
    return false;
  }
  const int at = static_cast<int>(blank - anyInk.begin());
  glyphs->blankX = at % glyphs->width;
  glyphs->blankY = at / glyphs->width;
  return true;
}

// One row of cells read from x0 across the grab at y: the characters, and how many of
// them are glyphs and how many letters or digits.
struct Row {
  int x0 = 0;
  int glyphCount = -1;
  int alphanumerics = 0;
  std::string text;
};

Row ReadRow(const ScreenGrab& grab, const Glyphs& glyphs, int x0, int y) {
  Row row;
  row.x0 = x0;
  row.glyphCount = 0;
  for (int x = x0; x + glyphs.width <= grab.Width(); x += glyphs.width) {
    const uint32_t background = grab.Pixel(x + glyphs.blankX, y + glyphs.blankY);
    Mask mask(glyphs.width, glyphs.height);
    for (int dy = 0; dy < glyphs.height; ++dy) {
      for (int dx = 0; dx < glyphs.width; ++dx) {
        if (grab.Pixel(x + dx, y + dy) != background) mask.Set(dx, dy);
      }
    }
    if (mask.Empty()) {
      row.text += ' ';
      continue;
    }
    const auto glyph = glyphs.byMask.find(mask.Bytes());
    if (glyph == glyphs.byMask.end() || glyph->second == '\0') {
      row.text += '?';
      continue;
    }
    row.text += glyph->second;
    ++row.glyphCount;
    if (std::isalnum(static_cast<unsigned char>(glyph->second))) ++row.alphanumerics;
  }
  return row;
}

}  // namespace

// 1. At every pixel row, the cells are read at each of the cell width's offsets; the
//    offset with the most glyphs is the row's reading (text is drawn in whole cells).
// 2. A line of text reads at its own pixel row and at no other near it: the rows are
//    taken best first, each unless a row taken already lies within a cell's height.
bool ReadScreenText(const ScreenGrab& grab, std::vector<ScreenLine>* lines, std::string* why) {
  static Glyphs glyphs;
  if (glyphs.width == 0 && !DrawGlyphs(&glyphs, why)) return false;
  std::vector<std::pair<int, Row>> rows;  // by pixel row
  for (int y = 0; y + glyphs.height <= grab.Height(); ++y) {
    Row best;
    for (int x0 = 0; x0 < glyphs.width; ++x0) {
      Row row = ReadRow(grab, glyphs, x0, y);
      if (row.glyphCount > best.glyphCount) best = std::move(row);
    }
    if (best.glyphCount >= 2 && best.alphanumerics >= 1) rows.emplace_back(y, std::move(best));
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& a, const auto& b) { return a.second.glyphCount > b.second.glyphCount; });
  std::vector<const std::pair<int, Row>*> taken;
  for (const auto& row : rows) {
    const bool crowded = std::any_of(taken.begin(), taken.end(),
                                  [&](const auto* other) { return std::abs(other->first - row.first) < glyphs.height; });
    if (!crowded) taken.push_back(&row);
  }
  std::sort(taken.begin(), taken.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
  lines->clear();
  for (const auto* row : taken) {
    const std::string& text = row->second.text;
    const size_t first = text.find_first_not_of(' ');
    const size_t last = text.find_last_not_of(' ');
    lines->push_back(ScreenLine{row->first, row->second.x0 + static_cast<int>(first) * glyphs.width,
                                text.substr(first, last - first + 1)});
  }
  return true;
}

}  // namespace zentor::wine_gui
