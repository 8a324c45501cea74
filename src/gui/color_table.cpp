#include "gui/color_table.h"

#include "support/little_endian.h"

namespace zentor {
namespace {

// Set 0's rows for elements 0..15: scheme 0 foreground and background, scheme 1
// foreground and background.
constexpr std::array<ColorRow, kColorElementCount> kDefaultRows = {{
    {0x07000000, 0x0BFFFFFF, 0x07000000, 0x0BFFFFFF},  // Menus
    {0x0BFFFFFF, 0x40000000, 0x0BFFFFFF, 0x40000000},  // Window title
    {0x07000000, 0x0BFFFFFF, 0x07000000, 0x0400FFFF},  // Active window
    {0x0BFFFFFF, 0x07000000, 0x06FFFF00, 0x030000FF},  // Window border
    {0x0BFFFFFF, 0x07000000, 0x0BFFFFFF, 0x00808080},  // Window client area
    {0x0BFFFFFF, 0x07000000, 0x0200FF00, 0x07000000},  // Dialog box
    {0x07000000, 0x0BFFFFFF, 0x0200FF00, 0x07000000},  // Buttons
    {0x07000000, 0x0BFFFFFF, 0x0BFFFFFF, 0x07000000},  // Scrollbar
    {0x07000000, 0x0BFFFFFF, 0x01FF0000, 0x0BFFFFFF},  // Status line
    {0x07000000, 0x0BFFFFFF, 0x01FF0000, 0x00808080},  // Hilight text
    {0x0BFFFFFF, 0x07000000, 0x0200FF00, 0x07000000},  // Select object
    {0x07000000, 0x0BFFFFFF, 0x030000FF, 0x0400FFFF},  // Token stretching
    {0x07000000, 0x0BFFFFFF, 0x07000000, 0x0BFFFFFF},  // Symbol highlight
    {0x07000000, 0x0BFFFFFF, 0x07000000, 0x0200FF00},  // Execution bar
    {0x07000000, 0x0BFFFFFF, 0x01FF0000, 0x06FFFF00},  // Break column
    {0x07000000, 0x0BFFFFFF, 0x07000000, 0x0AC0C0C0},  // nocolor
}};

// The scheme-1 background of the client area and of highlighted text in sets 1..8,
// which tells the viewpoints' windows apart.
constexpr std::array<uint32_t, kColorSetCount - 1> kViewpointBackgrounds = {
    0x004040, 0x004080, 0x800040, 0x808040, 0x400080, 0x804040, 0x000040, 0x400000,
};

}  // namespace

const std::array<SystemColorWord, kSystemColorWordCount> kSystemColorWords = {{
    {0, true, 0, true},
    {0, false, 0, false},
    {2, true, 2, true},
    {2, false, 2, false},
    {3, false, 3, false},
    {5, true, 5, true},
    {5, false, 5, false},
    {6, true, 6, true},
    {6, false, 6, false},
    {7, true, 7, true},
    {7, false, 7, false},
}};

ColorTable BuiltInColorTable() {
  ColorTable table;
  for (uint32_t set = 0; set < kColorSetCount; ++set) {
    ColorSet& rows = table.m_sets[set];
    for (uint32_t element = 0; element < kColorElementCount; ++element) rows[element] = kDefaultRows[element];
    rows[kColorElementCount].fill(kNoColorWord);
    if (set == 0) continue;
    const uint32_t background = ColorWordIndex(1, false);
    rows[kColorElementClientArea][background] = kViewpointBackgrounds[set - 1];
    rows[kColorElementHilight][background] = kViewpointBackgrounds[set - 1];
  }
  return table;
}

std::vector<uint8_t> ColorTable::Encode() const {
  std::vector<uint8_t> data(kColorTableSize);
  uint8_t* p = data.data();
  for (const ColorSet& set : m_sets) {
    for (const ColorRow& row : set) {
      for (uint32_t word : row) {
        value_bytes::StoreU32(p, word);
        p += 4;
      }
    }
  }
  return data;
}

bool ColorTable::Decode(const uint8_t* data, uint32_t length) {
  if (length != kColorTableSize) return false;
  const uint8_t* p = data;
  for (ColorSet& set : m_sets) {
    for (ColorRow& row : set) {
      for (uint32_t& word : row) {
        word = value_bytes::LoadU32(p);
        p += 4;
      }
    }
  }
  return true;
}

}  // namespace zentor
