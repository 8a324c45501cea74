#pragma once
// The screen as it is at a rectangle: what a person sees there, message boxes and
// menus included. The GUI harness's driver captures windows from it and reads the
// text they show.

#include <windows.h>

#include <cstdint>
#include <vector>

namespace zentor::wine_gui {

// A 24-bit DIB's pixels: the bottom row first, each row padded to 4 bytes.
struct ScreenGrab {
  BITMAPINFOHEADER header{};
  std::vector<uint8_t> bits;

  int Width() const { return header.biWidth; }
  int Height() const { return header.biHeight; }
  // The pixel at x, y (y from the top) as 0xRRGGBB.
  uint32_t Pixel(int x, int y) const;
};

// The header of an uncompressed DIB of the size and depth; a negative height puts the
// top row first.
BITMAPINFO DibInfo(int width, int height, WORD bitCount);

bool GrabScreen(const RECT& area, ScreenGrab* grab);

}  // namespace zentor::wine_gui
