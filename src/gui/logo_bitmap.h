#pragma once
// The start-up logo's picture: an uncompressed Windows device-independent bitmap in
// "ZENTORLG.BMP" beside the program, read into one block that holds what the painting
// hands to the system (the 40-byte info header, the colour table and the pixel bits),
// and where a window of the picture's size goes on the screen. The file is untrusted:
// every size is checked in 64 bits against the file before a byte is read, and a file
// that fails any check gives no picture (the program then starts without a logo and
// without waiting).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gui/layer_types.h"

namespace zentor {

inline constexpr char kLogoFileName[] = "ZENTORLG.BMP";
// The longest path the program builds for its own files; a longer one gets a "?"
// appended, so that opening it fails.
inline constexpr size_t kMaxProgramPath = 260;
// The info header the block starts with (BITMAPINFOHEADER).
inline constexpr uint32_t kBitmapInfoHeaderSize = 40;

struct LogoBitmap {
  // The info header as read, with its colour count, image size and header size
  // completed; the colour table (RGBQUADs: blue, green, red, 0); the bits.
  std::vector<uint8_t> block;
  uint32_t colorCount = 0;
  uint32_t bitsOffset = 0;  // kBitmapInfoHeaderSize + 4 x colorCount
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitCount = 0;
};

// Reads a picture from a file's bytes: "BM", an info header of at least 40 bytes
// (the older 12-byte core header is refused), no compression, 1, 4, 8 or 24 bits per
// pixel, at most 256 colours, a width of 1..65535 and a positive height, and a colour
// table and bits that lie whole inside the file. The colour table follows the whole
// info header (however long it is); the bits start at the file header's offset when
// it is not 0, else right after the colour table. False, with `picture` emptied, for
// anything else.
bool ParseLogoBitmap(const uint8_t* bytes, size_t size, LogoBitmap* picture);
// The same from a file; a missing or unreadable file gives false.
bool ReadLogoBitmap(const std::string& path, LogoBitmap* picture);

// The program's directory (up to and with its last '\' or '/') and "ZENTORLG.BMP"; a
// path without a separator gives the bare name. A result of 260 characters or more is
// the directory with "?" appended instead.
std::string BuildLogoPath(const std::string& programPath);

// Where a window of the size goes when centred on the screen: x rounded to a multiple
// of 8, neither coordinate below 0.
LayerPoint CenterOnScreen(int32_t width, int32_t height, int32_t screenWidth, int32_t screenHeight);
// Centred over another window's screen rectangle, then pushed back inside the screen's
// right and bottom edges; neither coordinate below 0.
LayerPoint CenterOverWindow(int32_t width, int32_t height, const LayerRect& other, int32_t screenWidth,
                            int32_t screenHeight);

}  // namespace zentor
