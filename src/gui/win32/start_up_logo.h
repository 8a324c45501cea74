#pragma once
// The start-up logo: the picture of "ZENTORLG.BMP" beside the program in a dialog
// without a frame, sized to it and centred on the screen, shown while the program
// starts. Without a readable picture nothing is shown and nobody waits.

#include <windows.h>

#include <cstdint>

namespace zentor {

// 0 when the logo shows, -1 when the picture could not be read (nothing is kept).
int32_t ShowLogo(HINSTANCE instance);
// The logo stands for the time given: its messages are served meanwhile, so that it
// is painted on the screen at once and again whenever it is uncovered; keys and mouse
// input are dropped. A quit message ends the wait early and stays in the queue.
void WaitWithLogo(uint32_t milliseconds);
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
