#include "gui/win32/win32_layer_system.h"

#include <vector>

#include "core/window_layer.h"
#include "gui/layer_backend.h"

namespace zentor {
namespace {

// Every device context, pen and brush lives only inside one of these calls; the fonts
// are stock objects. The one paint structure serves BeginPaint and EndPaint, which
// never nest.
class Win32LayerSystem final : public LayerSystem {
 public:
  explicit Win32LayerSystem(HINSTANCE instance) : m_instance(instance) {}

  bool IsWindow(NativeWindow w) override { return ::IsWindow(HwndOf(w)) != FALSE; }
  NativeWindow GetParent(NativeWindow w) override { return NativeOf(::GetParent(HwndOf(w))); }
  void EnableWindow(NativeWindow w, bool enable) override { ::EnableWindow(HwndOf(w), enable ? TRUE : FALSE); }
  void BringWindowToTop(NativeWindow w) override { ::BringWindowToTop(HwndOf(w)); }
  void PostCaptionActive(NativeWindow w, bool active) override {
    ::PostMessageA(HwndOf(w), WM_NCACTIVATE, active ? TRUE : FALSE, 0);
  }
  void SetFocus(NativeWindow w) override { ::SetFocus(HwndOf(w)); }
  NativeWindow GetFocus() override { return NativeOf(::GetFocus()); }
  bool IsIconic(NativeWindow w) override { return ::IsIconic(HwndOf(w)) != FALSE; }
  bool IsZoomed(NativeWindow w) override { return ::IsZoomed(HwndOf(w)) != FALSE; }
  bool IsVisible(NativeWindow w) override { return ::IsWindowVisible(HwndOf(w)) != FALSE; }
  void EndDialog(NativeWindow w, int32_t result) override { ::EndDialog(HwndOf(w), result); }
  void DestroyWindow(NativeWindow w) override { ::DestroyWindow(HwndOf(w)); }
  void SendClose(NativeWindow w) override { ::SendMessageA(HwndOf(w), WM_CLOSE, 0, 0); }
  void PostQuit() override { ::PostQuitMessage(0); }

  LayerScreenMetrics MeasureScreen(NativeWindow frame) override {
    LayerScreenMetrics m;
    m.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    m.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    HDC dc = ::GetDC(HwndOf(frame));
    m.pixelsPerInchX = GetDeviceCaps(dc, LOGPIXELSX);
    m.pixelsPerInchY = GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(HwndOf(frame), dc);
    RECT client{};
    ::GetClientRect(HwndOf(frame), &client);
    m.clientWidth = client.right - client.left;
    m.clientHeight = client.bottom - client.top;
    m.verticalScrollWidth = GetSystemMetrics(SM_CXVSCROLL);
    m.horizontalScrollHeight = GetSystemMetrics(SM_CYHSCROLL);
    m.frameBorderWidth = GetSystemMetrics(SM_CXFRAME);
    m.frameBorderHeight = GetSystemMetrics(SM_CYFRAME);
    m.borderWidth = GetSystemMetrics(SM_CXBORDER);
    m.borderHeight = GetSystemMetrics(SM_CYBORDER);
    m.captionHeight = GetSystemMetrics(SM_CYCAPTION);
    return m;
  }

  // Handles what is waiting and returns: a round that only lets windows repaint must
  // never wait for input. A quit message is put back for the message loop.
  void RunRepaintRound() override {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
  }

  void SetScrollRange(NativeWindow w, uint32_t bar, int32_t minimum, int32_t maximum) override {
    ::SetScrollRange(HwndOf(w), bar == kScrollBarVertical ? SB_VERT : SB_HORZ, minimum, maximum, TRUE);
  }
  void SetScrollPos(NativeWindow w, uint32_t bar, int32_t position) override {
    ::SetScrollPos(HwndOf(w), bar == kScrollBarVertical ? SB_VERT : SB_HORZ, position, TRUE);
  }
  LayerScrollInfo GetScrollInfo(NativeWindow w, uint32_t bar) override {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_POS | SIF_TRACKPOS;
    ::GetScrollInfo(HwndOf(w), bar == kScrollBarVertical ? SB_VERT : SB_HORZ, &info);
    return LayerScrollInfo{info.nMin, info.nMax, info.nPos, info.nTrackPos};
  }
  LayerRect GetClientRect(NativeWindow w) override {
    RECT r{};
    ::GetClientRect(HwndOf(w), &r);
    return FromRect(r);
  }
  LayerRect GetWindowRect(NativeWindow w) override {
    RECT r{};
    ::GetWindowRect(HwndOf(w), &r);
    return FromRect(r);
  }
  void UpdateWindow(NativeWindow w) override { ::UpdateWindow(HwndOf(w)); }
  void ScrollWindow(NativeWindow w, int32_t dx, int32_t dy, const LayerRect& area) override {
    const RECT r = ToRect(area);
    ::ScrollWindow(HwndOf(w), dx, dy, &r, &r);
  }
  void Invalidate(NativeWindow w, const LayerRect* area, bool erase) override {
    RECT r{};
    if (area != nullptr) r = ToRect(*area);
    ::InvalidateRect(HwndOf(w), area != nullptr ? &r : nullptr, erase ? TRUE : FALSE);
  }
  void PlaceChild(NativeWindow w, int32_t x, int32_t y, int32_t width, int32_t height) override {
    ::SetWindowPos(HwndOf(w), nullptr, x, y, width, height, SWP_NOZORDER);
  }
  void MoveWindow(NativeWindow w, int32_t x, int32_t y, int32_t width, int32_t height) override {
    ::MoveWindow(HwndOf(w), x, y, width, height, TRUE);
  }
  void SendToBottom(NativeWindow w) override {
    ::SetWindowPos(HwndOf(w), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  void ShowWindow(NativeWindow w, LayerShowMode mode) override {
    const int command = mode == LayerShowMode::MinimizedNoActivate ? SW_SHOWMINNOACTIVE
                        : mode == LayerShowMode::Maximized        ? SW_SHOWMAXIMIZED
                                                                   : SW_SHOWNORMAL;
    ::ShowWindow(HwndOf(w), command);
  }
  void ArrangeIconicWindows(NativeWindow w) override { ::ArrangeIconicWindows(HwndOf(w)); }
  LayerPoint ClientToScreen(NativeWindow w, LayerPoint point) override {
    POINT p{point.x, point.y};
    ::ClientToScreen(HwndOf(w), &p);
    return LayerPoint{p.y, p.x};
  }
  LayerPoint ScreenToClient(NativeWindow w, LayerPoint point) override {
    POINT p{point.x, point.y};
    ::ScreenToClient(HwndOf(w), &p);
    return LayerPoint{p.y, p.x};
  }
  LayerPoint GetCursorPos() override {
    POINT p{};
    ::GetCursorPos(&p);
    return LayerPoint{p.y, p.x};
  }
  NativeWindow WindowFromPoint(LayerPoint point) override {
    return NativeOf(::WindowFromPoint(POINT{point.x, point.y}));
  }
  void SetCapture(NativeWindow w) override { ::SetCapture(HwndOf(w)); }
  void ReleaseCapture() override { ::ReleaseCapture(); }

  LayerRect BeginPaint(NativeWindow w) override {
    ::BeginPaint(HwndOf(w), &m_paint);
    return FromRect(m_paint.rcPaint);
  }
  void EndPaint(NativeWindow w) override { ::EndPaint(HwndOf(w), &m_paint); }
  void SetClipRect(NativeWindow w, const LayerRect& area) override {
    HDC dc = ::GetDC(HwndOf(w));
    HRGN region = ::CreateRectRgn(area.left, area.top, area.right, area.bottom);
    ::SelectClipRgn(dc, region);
    ::DeleteObject(region);
    ::ReleaseDC(HwndOf(w), dc);
  }

  void DrawTextLine(NativeWindow w, const LayerAttributes& attributes, LayerFont font, int32_t x, int32_t yBottom,
                    const char* text, size_t length) override {
    DeviceContext dc(HwndOf(w));
    dc.Prepare(attributes, font);
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc.dc, &metrics);
    ::TextOutA(dc.dc, x, yBottom - metrics.tmHeight, text, static_cast<int>(length));
  }
  void DrawFocusRect(NativeWindow w, const LayerRect& area) override {
    DeviceContext dc(HwndOf(w));
    const RECT r = ToRect(area);
    ::DrawFocusRect(dc.dc, &r);
  }
  void FillRect(NativeWindow w, const LayerAttributes& attributes, const LayerRect& area) override {
    DeviceContext dc(HwndOf(w));
    dc.Prepare(attributes, LayerFont::System);
    const RECT r = ToRect(area);
    ::FillRect(dc.dc, &r, static_cast<HBRUSH>(dc.Made(MakeBrush(attributes.fill))));
  }
  void OutlineRect(NativeWindow w, const LayerAttributes& attributes, const LayerRect& area) override {
    DeviceContext dc(HwndOf(w));
    dc.Prepare(attributes, LayerFont::System);
    dc.Select(dc.Made(MakeBrush(attributes.fill)));
    dc.Select(dc.Made(::CreatePen(PS_SOLID, attributes.pen.width, attributes.pen.color)));
    ::Rectangle(dc.dc, area.left, area.top, area.right, area.bottom);
  }
  void DrawPolyline(NativeWindow w, const LayerAttributes& attributes, const LayerPoint* points,
                    size_t count) override {
    std::vector<POINT> xy(count);
    for (size_t i = 0; i < count; ++i) xy[i] = POINT{points[i].x, points[i].y};
    DeviceContext dc(HwndOf(w));
    dc.Prepare(attributes, LayerFont::System);
    dc.Select(dc.Made(::CreatePen(PS_SOLID, attributes.pen.width, attributes.pen.color)));
    ::Polyline(dc.dc, xy.data(), static_cast<int>(count));
  }
  LayerFontMetrics GetFontMetrics(NativeWindow w, LayerFont font) override {
    DeviceContext dc(HwndOf(w));
    dc.Select(FontOf(font));
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc.dc, &metrics);
    return LayerFontMetrics{metrics.tmExternalLeading, metrics.tmAscent, metrics.tmDescent};
  }
  int32_t GetTextWidth(NativeWindow w, LayerFont font, const char* text, size_t length) override {
    DeviceContext dc(HwndOf(w));
    dc.Select(FontOf(font));
    return LOWORD(::GetTabbedTextExtentA(dc.dc, text, static_cast<int>(length), 0, nullptr));
  }

  void CreateCaret(NativeWindow w, int32_t width, int32_t height, int32_t x, int32_t y) override {
    ::CreateCaret(HwndOf(w), nullptr, width, height);
    ::SetCaretPos(x, y);
    ::ShowCaret(HwndOf(w));
  }
  void DestroyCaret() override { ::DestroyCaret(); }
  NativeCursor LoadCursor(uint32_t kind) override {
    HCURSOR cursor = nullptr;
    switch (kind) {
      case kCursorIBeam: cursor = ::LoadCursorA(nullptr, IDC_IBEAM); break;
      case kCursorWait: cursor = ::LoadCursorA(nullptr, IDC_WAIT); break;
      case kCursorCross: cursor = ::LoadCursorA(nullptr, IDC_CROSS); break;
      case kCursorHelp: cursor = ::LoadCursorA(m_instance, "HelpCursor"); break;
      default: break;
    }
    if (cursor == nullptr) cursor = ::LoadCursorA(nullptr, IDC_ARROW);
    return reinterpret_cast<NativeCursor>(cursor);
  }
  void SetCursor(NativeCursor cursor) override { ::SetCursor(reinterpret_cast<HCURSOR>(cursor)); }
  void PumpCursorMessages() override {
    MSG message;
    while (::PeekMessageA(&message, nullptr, WM_SETCURSOR, WM_SETCURSOR, PM_REMOVE)) ::DispatchMessageA(&message);
  }
  uint32_t GetDialogBaseUnits() override { return static_cast<uint32_t>(::GetDialogBaseUnits()); }
  int32_t SetTimer(NativeWindow frame, uint32_t id, uint32_t interval) override {
    return static_cast<int32_t>(::SetTimer(HwndOf(frame), id, interval, nullptr));
  }
  void KillTimer(NativeWindow frame, uint32_t id) override { ::KillTimer(HwndOf(frame), id); }

  NativeWindow GetDialogItem(NativeWindow dialog, int32_t item) override {
    return NativeOf(::GetDlgItem(HwndOf(dialog), item));
  }
  void SetWindowText(NativeWindow w, const char* text) override { ::SetWindowTextA(HwndOf(w), text); }
  void GetWindowText(NativeWindow w, char* buffer, size_t size) override {
    ::GetWindowTextA(HwndOf(w), buffer, static_cast<int>(size));
  }
  intptr_t SendControlMessage(NativeWindow w, ControlMessage message, uintptr_t wParam, intptr_t lParam) override {
    UINT code = 0;
    switch (message) {
      case ControlMessage::EditLimitText: code = EM_LIMITTEXT; break;
      case ControlMessage::EditSetSelection: code = EM_SETSEL; break;
      case ControlMessage::ButtonSetCheck:
        code = BM_SETCHECK;
        wParam = wParam != 0 ? BST_CHECKED : BST_UNCHECKED;
        break;
      case ControlMessage::ButtonSetStyle:
        code = BM_SETSTYLE;
        wParam = wParam != 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        lParam = TRUE;
        break;
      case ControlMessage::DialogSetDefaultId: code = DM_SETDEFID; break;
      case ControlMessage::SetRedraw: code = WM_SETREDRAW; break;
      case ControlMessage::ListInsertString: code = LB_INSERTSTRING; break;
      case ControlMessage::ListDeleteString: code = LB_DELETESTRING; break;
      case ControlMessage::ListResetContent: code = LB_RESETCONTENT; break;
      case ControlMessage::ListGetCount: code = LB_GETCOUNT; break;
      case ControlMessage::ListGetCurrentSelection: code = LB_GETCURSEL; break;
      case ControlMessage::ListGetTextLength: code = LB_GETTEXTLEN; break;
      case ControlMessage::ListGetText: code = LB_GETTEXT; break;
      case ControlMessage::ListSetItemData: code = LB_SETITEMDATA; break;
      case ControlMessage::ListGetItemData: code = LB_GETITEMDATA; break;
      case ControlMessage::ListSetCurrentSelection: code = LB_SETCURSEL; break;
      case ControlMessage::ListSetSelection: code = LB_SETSEL; break;
      case ControlMessage::ListGetSelectionCount: code = LB_GETSELCOUNT; break;
      case ControlMessage::ListGetSelectedItems: code = LB_GETSELITEMS; break;
      case ControlMessage::ListSetHorizontalExtent: code = LB_SETHORIZONTALEXTENT; break;
      case ControlMessage::ComboAddString: code = CB_ADDSTRING; break;
      case ControlMessage::ComboDeleteString: code = CB_DELETESTRING; break;
      case ControlMessage::ComboResetContent: code = CB_RESETCONTENT; break;
      case ControlMessage::ComboGetCount: code = CB_GETCOUNT; break;
      case ControlMessage::ComboGetCurrentSelection: code = CB_GETCURSEL; break;
      case ControlMessage::ComboGetTextLength: code = CB_GETLBTEXTLEN; break;
      case ControlMessage::ComboGetText: code = CB_GETLBTEXT; break;
      case ControlMessage::ComboSetCurrentSelection: code = CB_SETCURSEL; break;
      case ControlMessage::ComboSetEditSelection: code = CB_SETEDITSEL; break;
      case ControlMessage::ListSetTabStops: code = LB_SETTABSTOPS; break;
      case ControlMessage::ListAddString: code = LB_ADDSTRING; break;
    }
    return static_cast<intptr_t>(::SendMessageA(HwndOf(w), code, static_cast<WPARAM>(wParam), lParam));
  }
  intptr_t SendWindowMessage(NativeWindow w, uint32_t message, intptr_t lParam) override {
    return static_cast<intptr_t>(::SendMessageA(HwndOf(w), message, 0, lParam));
  }
  NativeWindow CreateControl(NativeWindow parent, uint32_t type, const LayerRect& bounds, const char* text,
                             bool visible, int32_t controlId) override {
    struct ControlClass {
      const char* name;
      DWORD style;
    };
    // By type, 6..15.
    static const ControlClass kClasses[] = {
        {"button", WS_TABSTOP | BS_PUSHBUTTON},
        {"edit", WS_BORDER | WS_TABSTOP},
        {"button", WS_TABSTOP | BS_CHECKBOX},
        {"button", WS_TABSTOP | BS_RADIOBUTTON},
        {"listbox", WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_NOTIFY},
        {"combobox", WS_TABSTOP | CBS_DROPDOWNLIST},
        {"scrollbar", SBS_VERT},
        {"scrollbar", SBS_HORZ},
        {"static", SS_LEFT},
        {"static", SS_WHITERECT},
    };
    const ControlClass& kind = kClasses[type - kLayerPushButton];
    const DWORD style = WS_CHILD | kind.style | (visible ? WS_VISIBLE : 0);
    return NativeOf(::CreateWindowExA(0, kind.name, text, style, bounds.left, bounds.top, bounds.right, bounds.bottom,
                                      HwndOf(parent), reinterpret_cast<HMENU>(static_cast<intptr_t>(controlId)),
                                      m_instance, nullptr));
  }
  int32_t LogicalToDeviceX(NativeWindow w, int32_t x) override {
    DeviceContext dc(HwndOf(w));
    POINT p{x, 0};
    ::LPtoDP(dc.dc, &p, 1);
    return p.x;
  }

  NativeMenu CreatePopupMenu() override { return Token(::CreatePopupMenu()); }
  void AppendMenuItem(NativeMenu menu, uint32_t command, const char* text) override {
    ::AppendMenuA(Menu(menu), MF_STRING, command, text);
  }
  void AppendMenuSeparator(NativeMenu menu) override { ::AppendMenuA(Menu(menu), MF_SEPARATOR, 0, nullptr); }
  void InsertMenuItemAt(NativeMenu menu, uint32_t position, uint32_t command, const char* text) override {
    ::InsertMenuA(Menu(menu), position, MF_BYPOSITION | MF_STRING, command, text);
  }
  void InsertMenuSeparatorBefore(NativeMenu menu, uint32_t command) override {
    ::InsertMenuA(Menu(menu), command, MF_BYCOMMAND | MF_SEPARATOR, 0, nullptr);
  }
  void DeleteMenuItem(NativeMenu menu, uint32_t command) override { ::DeleteMenu(Menu(menu), command, MF_BYCOMMAND); }
  void EnableMenuItem(NativeMenu menu, uint32_t command, bool enable) override {
    ::EnableMenuItem(Menu(menu), command, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
  }
  void CheckMenuItem(NativeMenu menu, uint32_t command, bool check) override {
    ::CheckMenuItem(Menu(menu), command, MF_BYCOMMAND | (check ? MF_CHECKED : MF_UNCHECKED));
  }
  void SetMenuItemText(NativeMenu menu, uint32_t command, const char* text) override {
    ::ModifyMenuA(Menu(menu), command, MF_BYCOMMAND | MF_STRING, command, text);
  }
  void DestroyMenu(NativeMenu menu) override { ::DestroyMenu(Menu(menu)); }
  NativeMenu GetMenuBar(NativeWindow w) override { return Token(::GetMenu(HwndOf(w))); }
  NativeMenu GetSubMenu(NativeMenu menu, uint32_t position) override {
    return Token(::GetSubMenu(Menu(menu), static_cast<int>(position)));
  }
  void InsertPopupAt(NativeMenu bar, uint32_t position, NativeMenu popup, const char* title) override {
    ::InsertMenuA(Menu(bar), position, MF_BYPOSITION | MF_POPUP | MF_STRING, static_cast<UINT_PTR>(popup), title);
  }
  NativeMenu RemovePopupAt(NativeMenu bar, uint32_t position) override {
    HMENU popup = ::GetSubMenu(Menu(bar), static_cast<int>(position));
    if (popup == nullptr) return 0;
    ::RemoveMenu(Menu(bar), position, MF_BYPOSITION);
    return Token(popup);
  }
  void DrawMenuBar(NativeWindow w) override { ::DrawMenuBar(HwndOf(w)); }
  void TrackPopupMenu(NativeMenu menu, NativeWindow w, int32_t x, int32_t y) override {
    ::TrackPopupMenu(Menu(menu), TPM_RIGHTBUTTON, x, y, 0, HwndOf(w), nullptr);
  }

  MessageBoxReply MessageBox(NativeWindow owner, const char* text, const char* caption, MessageBoxIcon icon,
                             MessageBoxButtons buttons) override {
    UINT style = icon == MessageBoxIcon::Asterisk   ? MB_ICONASTERISK
                 : icon == MessageBoxIcon::Question ? MB_ICONQUESTION
                 : icon == MessageBoxIcon::Hand     ? MB_ICONHAND
                                                    : MB_ICONEXCLAMATION;
    style |= buttons == MessageBoxButtons::YesNo ? MB_YESNO : buttons == MessageBoxButtons::OkCancel ? MB_OKCANCEL : MB_OK;
    switch (::MessageBoxA(HwndOf(owner), text, caption, style)) {
      case IDOK: return MessageBoxReply::Ok;
      case IDCANCEL: return MessageBoxReply::Cancel;
      case IDYES: return MessageBoxReply::Yes;
      case IDNO: return MessageBoxReply::No;
      default: return MessageBoxReply::Other;
    }
  }
  void MessageBeep() override { ::MessageBeep(0); }
  bool WinHelp(NativeWindow w, const char* file, uint32_t command, uintptr_t data) override {
    return ::WinHelpA(HwndOf(w), file, command, static_cast<ULONG_PTR>(data)) != FALSE;
  }
  void GetProgramFileName(char* buffer, size_t size) override {
    ::GetModuleFileNameA(m_instance, buffer, static_cast<DWORD>(size));
  }
  uint64_t AvailableVirtualMemory() override {
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    ::GlobalMemoryStatus(&status);
    return status.dwAvailVirtual;
  }
  uint32_t GetSystemColor(SystemColor element) override {
    static const int kIndexes[] = {
        COLOR_MENUTEXT,    COLOR_MENU,          COLOR_INACTIVECAPTION, COLOR_INACTIVEBORDER,
        COLOR_CAPTIONTEXT, COLOR_ACTIVECAPTION, COLOR_ACTIVEBORDER,    COLOR_WINDOWTEXT,
        COLOR_WINDOW,      COLOR_BTNTEXT,       COLOR_BTNFACE,         COLOR_SCROLLBAR,
    };
    return static_cast<uint32_t>(::GetSysColor(kIndexes[static_cast<size_t>(element)]));
  }
  int32_t GetSystemMetric(SystemMetric metric) override {
    static const int kIndexes[] = {SM_CYCAPTION, SM_CYHSCROLL, SM_CXVSCROLL, SM_CXICONSPACING, SM_CYICONSPACING};
    return GetSystemMetrics(kIndexes[static_cast<size_t>(metric)]);
  }

 private:
  // A window's DC for one drawing operation. Prepare selects the font and sets the
  // mode, the colours and the mix; the pens and brushes an operation makes are handed
  // over with Made, and selected with Select. ReleaseDrawingObjects selects back what
  // the DC held before and deletes what was made, before the DC itself goes back: an
  // object is never deleted while a DC holds it, and none is left behind.
  class DeviceContext {
   public:
    explicit DeviceContext(HWND w) : dc(::GetDC(w)), m_window(w) {}
    ~DeviceContext() {
      ReleaseDrawingObjects();
      ::ReleaseDC(m_window, dc);
    }
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // The child windows' fixed-pitch font makes their columns line up; every other
    // window draws in the system font.
    void Prepare(const LayerAttributes& attributes, LayerFont font) {
      static const int kRasterOperations[] = {R2_COPYPEN,   R2_MASKPEN,    R2_NOTXORPEN, R2_MERGENOTPEN,
                                              R2_NOTCOPYPEN, R2_MASKNOTPEN, R2_XORPEN,    R2_MERGEPEN};
      Select(FontOf(font));
      ::SetBkMode(dc, TRANSPARENT);
      ::SetBkColor(dc, attributes.backgroundColor);
      ::SetTextColor(dc, attributes.textColor);
      ::SetROP2(dc, kRasterOperations[attributes.drawMode & 7]);
    }
    void Select(HGDIOBJ object) {
      const HGDIOBJ before = ::SelectObject(dc, object);
      if (before != nullptr && m_savedCount < kMaxObjects) m_saved[m_savedCount++] = before;
    }
    HGDIOBJ Made(HGDIOBJ object) {
      if (object != nullptr && m_madeCount < kMaxObjects) m_made[m_madeCount++] = object;
      return object;
    }
    // Last selected first, so each kind of object ends as the DC first held it.
    void ReleaseDrawingObjects() {
      while (m_savedCount > 0) ::SelectObject(dc, m_saved[--m_savedCount]);
      while (m_madeCount > 0) ::DeleteObject(m_made[--m_madeCount]);
    }

    HDC dc;

   private:
    static constexpr int kMaxObjects = 4;
    HWND m_window;
    HGDIOBJ m_saved[kMaxObjects] = {};
    int m_savedCount = 0;
    HGDIOBJ m_made[kMaxObjects] = {};
    int m_madeCount = 0;
  };

  static LayerRect FromRect(const RECT& r) { return LayerRect{r.top, r.left, r.bottom, r.right}; }
  static RECT ToRect(const LayerRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
  static HMENU Menu(NativeMenu menu) { return reinterpret_cast<HMENU>(menu); }
  static NativeMenu Token(HMENU menu) { return reinterpret_cast<NativeMenu>(menu); }
  static HGDIOBJ FontOf(LayerFont font) {
    return ::GetStockObject(font == LayerFont::Fixed ? ANSI_FIXED_FONT : SYSTEM_FONT);
  }

  static HBRUSH MakeBrush(const LayerFill& fill) {
    switch (fill.style) {
      case kFillSolid: return ::CreateSolidBrush(fill.color);
      case kFillVerticalHatch: return ::CreateHatchBrush(HS_VERTICAL, fill.color);
      case kFillHorizontalHatch: return ::CreateHatchBrush(HS_HORIZONTAL, fill.color);
      default: {
        LOGBRUSH hollow{BS_HOLLOW, 0, 0};
        return ::CreateBrushIndirect(&hollow);
      }
    }
  }

  HINSTANCE m_instance;
  PAINTSTRUCT m_paint{};
};

}  // namespace

GuiWindowLayer& InstallWin32WindowLayer(HINSTANCE instance) {
  static Win32LayerSystem system(instance);
  static GuiWindowLayer layer(system);
  static LayerBackend backend(layer);
  InstallGuiWindowLayer(&layer);
  WindowLayer::SetBackend(&backend);
  return layer;
}

}  // namespace zentor
