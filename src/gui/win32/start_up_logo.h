#pragma once
// The start-up logo: the picture of "ZENTORLG.BMP" beside the program in a dialog
// without a frame, sized to it and centred on the screen, shown while the program
// starts. Without a readable picture nothing is shown and nobody waits.

#include <windows.h>

#include <cstdint>

namespace zentor {

// 0 when the logo shows, -1 when the picture could not be read (nothing is kept).
int32_t ShowLogo(HINSTANCE instance);
// Removes the logo and frees its picture.
void HideLogo();
INT_PTR CALLBACK LogoDialogProc(HWND dialog, UINT message, WPARAM p1, LPARAM p2);
void PaintLogo(HWND dialog);
// A palette of the picture's colour table; the default palette without one.
HPALETTE CreateLogoPalette();
// Centres the window over the other one (pushed back inside the screen), or on the
// screen without one.
void CenterWindow(HWND window, HWND other);

}  // namespace zentor
