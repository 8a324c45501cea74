#pragma once
// The colour table: for each of nine colour sets (set 0 for windows without a
// viewpoint, sets 1..8 the viewpoints' colour slots) seventeen rows of four colour
// words, {scheme 0 foreground, scheme 0 background, scheme 1 foreground, scheme 1
// background} for each screen element 0..15 and a reserved row 16. Scheme 0 is black
// and white, scheme 1 colour. A colour word holds 0xRRGGBB and a class byte on top.
// The whole table, 2448 bytes, is the data of the settings store's records of id 8.

#include <array>
#include <cstdint>
#include <vector>

namespace zentor {

inline constexpr uint32_t kColorTableRecordId = 8;
inline constexpr uint32_t kColorElementCount = 16;
inline constexpr uint32_t kColorSetRowCount = 17;
inline constexpr uint32_t kColorSetCount = 9;
inline constexpr uint32_t kColorWordsPerRow = 4;
inline constexpr uint32_t kColorSetSize = kColorSetRowCount * kColorWordsPerRow * 4;
inline constexpr uint32_t kColorTableSize = kColorSetCount * kColorSetSize;
// The word of an element outside 0..15, and of every word of the reserved row.
inline constexpr uint32_t kNoColorWord = 0x07000000;
// Screen elements the defaults name.
inline constexpr uint32_t kColorElementClientArea = 4;
inline constexpr uint32_t kColorElementStatusLine = 8;
inline constexpr uint32_t kColorElementHilight = 9;

using ColorRow = std::array<uint32_t, kColorWordsPerRow>;
using ColorSet = std::array<ColorRow, kColorSetRowCount>;

// The word of a row for a scheme and a part.
inline uint32_t ColorWordIndex(uint32_t scheme, bool foreground) { return scheme * 2 + (foreground ? 0 : 1); }

struct ColorTable {
  std::array<ColorSet, kColorSetCount> m_sets{};

  std::vector<uint8_t> Encode() const;
  // Takes a table of exactly 2448 bytes; false (nothing changed) for any other length.
  bool Decode(const uint8_t* data, uint32_t length);
};

// The built-in table as it is before the system's colours replace some of its words.
ColorTable BuiltInColorTable();

// A word of scheme 1 that the windowing system's colours decide: the element and part
// of the table's row and the window layer's element and part it comes from.
struct SystemColorWord {
  uint32_t m_element;
  bool m_foreground;
  uint32_t m_layerElement;
  bool m_layerForeground;
};
inline constexpr uint32_t kSystemColorWordCount = 11;
extern const std::array<SystemColorWord, kSystemColorWordCount> kSystemColorWords;

}  // namespace zentor
