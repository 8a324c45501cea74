#include "screen_grab.h"

namespace zentor::wine_gui {

uint32_t ScreenGrab::Pixel(int x, int y) const {
  const size_t stride = (static_cast<size_t>(Width()) * 3 + 3) & ~size_t{3};
  const uint8_t* p = &bits[static_cast<size_t>(Height() - 1 - y) * stride + static_cast<size_t>(x) * 3];
  return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

BITMAPINFO DibInfo(int width, int height, WORD bitCount) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bitCount;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

bool GrabScreen(const RECT& area, ScreenGrab* grab) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = DibInfo(width, height, 24);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  info.bmiHeader.biSizeImage = stride * static_cast<DWORD>(height);
  grab->header = info.bmiHeader;
  grab->bits.assign(static_cast<const uint8_t*>(bits), static_cast<const uint8_t*>(bits) + info.bmiHeader.biSizeImage);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return true;
}

}  // namespace zentor::wine_gui
