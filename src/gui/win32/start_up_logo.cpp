#include "gui/win32/start_up_logo.h"

#include <vector>

#include "gui/logo_bitmap.h"
#include "gui/window_table.h"

namespace zentor {
namespace {

struct LogoState {
  LogoBitmap picture;
  HWND dialog = nullptr;
};

LogoState& State() {
  static LogoState state;
  return state;
}

const BITMAPINFO* InfoOf(const LogoBitmap& picture) {
  return reinterpret_cast<const BITMAPINFO*>(picture.block.data());
}

std::string ProgramPath(HINSTANCE instance) {
  char path[MAX_PATH + 1] = {};
  ::GetModuleFileNameA(instance, path, MAX_PATH);
  return path;
}

// What the user does to the logo goes nowhere: the program is not up yet.
bool IsUserInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCMBUTTONDBLCLK);
}

}  // namespace

// The dialog is shown and painted at once, before the wait begins.
int32_t ShowLogo(HINSTANCE instance) {
  LogoState& state = State();
  if (!ReadLogoBitmap(BuildLogoPath(ProgramPath(instance)), &state.picture)) return -1;
  const LPARAM size = MAKELPARAM(state.picture.width, static_cast<WORD>(state.picture.height));
  state.dialog = ::CreateDialogParamA(instance, "LOGO", nullptr, LogoDialogProc, size);
  if (state.dialog == nullptr) {
    state.picture = LogoBitmap{};
    return -1;
  }
  ::UpdateWindow(state.dialog);
  return 0;
}

// A thread that only slept would leave the logo as the system first showed it: the
// paint it was sent may not reach the screen until the thread waits for messages,
// and nothing would repaint it once covered. So the wait is a message wait.
void WaitWithLogo(uint32_t milliseconds) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= milliseconds) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      if (!IsUserInput(message.message)) ::DispatchMessageA(&message);
    }
  }
}

void HideLogo() {
  LogoState& state = State();
  if (state.dialog != nullptr) ::DestroyWindow(state.dialog);
  state.dialog = nullptr;
  state.picture = LogoBitmap{};
}

INT_PTR CALLBACK LogoDialogProc(HWND dialog, UINT message, WPARAM, LPARAM p2) {
  try {
    switch (message) {
      case WM_INITDIALOG:
        ::SetWindowPos(dialog, nullptr, 0, 0, LOWORD(p2), HIWORD(p2), SWP_NOMOVE | SWP_NOZORDER);
        CenterWindow(dialog, nullptr);
        return TRUE;
      case WM_ERASEBKGND:
        return TRUE;
      case WM_PAINT:
        PaintLogo(dialog);
        return TRUE;
      default:
        return FALSE;
    }
  } catch (...) {
    HandleWindowProcedureException();
    return FALSE;
  }
}

void PaintLogo(HWND dialog) {
  const LogoBitmap& picture = State().picture;
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(dialog, &paint);
  if (!picture.block.empty()) {
    HDC memory = ::CreateCompatibleDC(dc);
    HPALETTE palette = nullptr;
    HPALETTE oldPalette = nullptr;
    bool painted = true;
    if (picture.colorCount != 0) {
      palette = CreateLogoPalette();
      if (palette == nullptr) {
        painted = false;
      } else {
        oldPalette = ::SelectPalette(dc, palette, FALSE);
        ::RealizePalette(dc);
      }
    }
    if (painted) {
      HBITMAP bitmap = ::CreateCompatibleBitmap(dc, picture.width, picture.height);
      ::SetDIBits(dc, bitmap, 0, static_cast<UINT>(picture.height), picture.block.data() + picture.bitsOffset,
                  InfoOf(picture), DIB_RGB_COLORS);
      HGDIOBJ oldBitmap = ::SelectObject(memory, bitmap);
      ::BitBlt(dc, 0, 0, picture.width, picture.height, memory, 0, 0, SRCCOPY);
      ::SelectObject(memory, oldBitmap);
      ::DeleteObject(bitmap);
    }
    if (oldPalette != nullptr) ::SelectPalette(dc, oldPalette, FALSE);
    if (palette != nullptr) ::DeleteObject(palette);
    ::DeleteDC(memory);
  }
  ::EndPaint(dialog, &paint);
}

HPALETTE CreateLogoPalette() {
  const LogoBitmap& picture = State().picture;
  if (picture.colorCount == 0) return static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE));
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * picture.colorCount);
  LOGPALETTE* palette = reinterpret_cast<LOGPALETTE*>(block.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = static_cast<WORD>(picture.colorCount);
  const uint8_t* table = picture.block.data() + kBitmapInfoHeaderSize;
  for (uint32_t i = 0; i < picture.colorCount; ++i) {
    // The table's entries are blue, green, red.
    palette->palPalEntry[i] = PALETTEENTRY{table[4 * i + 2], table[4 * i + 1], table[4 * i], 0};
  }
  return ::CreatePalette(palette);
}

void CenterWindow(HWND window, HWND other) {
  RECT own{};
  ::GetWindowRect(window, &own);
  const int32_t width = own.right - own.left;
  const int32_t height = own.bottom - own.top;
  const int32_t screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  const int32_t screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  LayerPoint at;
  if (other != nullptr) {
    RECT r{};
    ::GetWindowRect(other, &r);
    at = CenterOverWindow(width, height, LayerRect{r.top, r.left, r.bottom, r.right}, screenWidth, screenHeight);
  } else {
    at = CenterOnScreen(width, height, screenWidth, screenHeight);
  }
  ::MoveWindow(window, at.x, at.y, width, height, TRUE);
}

}  // namespace zentor
