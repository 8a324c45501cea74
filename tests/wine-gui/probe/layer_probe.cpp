// layer-probe: a small Windows program over the window layer, for the GUI harness.
// Run plainly it shows a frame "Layer Probe" with a menu, a child window painted
// through the layer (rectangles, a polyline and text in the fixed font) and controls
// made by the layer (an edit box, a list box, a button). Probe > Question asks a
// yes/no question and writes the answer into the edit box; Probe > Help asks the help
// engine for context 31080; File > Exit shuts the layer down (exit code 0).
// `--check NAME` instead runs one check over hidden windows and prints "ok NAME" or
// "FAIL NAME: why", exiting 0 or 1.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "gui/win32/win32_layer_system.h"

namespace zentor {
namespace {

constexpr UINT kCommandQuestion = 100;
constexpr UINT kCommandHelp = 101;
constexpr UINT kCommandExit = 102;
constexpr int kEditId = 201;
constexpr int kListId = 202;
constexpr int kButtonId = 203;

GuiWindowLayer* g_layer = nullptr;
int32_t g_frame = kNoLayerId;
int32_t g_child = kNoLayerId;
const char kCaption[] = "Layer Probe";

void PaintChild(int32_t id) {
  GuiWindowLayer& layer = *g_layer;
  LayerRect area;
  layer.BeginPaint(id, &area);
  layer.SetFillStyle(id, LayerFill{kFillSolid, 0xFFFFFF});
  layer.SetLineStyle(id, LayerLine{0, 0, 0});
  layer.ClearWindow(id);
  const uint32_t colors[] = {0xC00000, 0x00A000, 0x0000C0, 0xC0C000};
  for (int i = 0; i < 4; ++i) {
    layer.SetFillStyle(id, LayerFill{kFillSolid, colors[i] | 0x7F000000u});
    layer.DrawRectangle(id, LayerRect{10, 10 + 40 * i, 39, 39 + 40 * i});
  }
  layer.SetFillStyle(id, LayerFill{kFillVerticalHatch, 0x404040});
  layer.SetLineStyle(id, LayerLine{2, 1, 0x000080});
  layer.DrawRectangle(id, LayerRect{10, 180, 39, 260});
  const LayerPoint zigzag[] = {{60, 10}, {80, 40}, {60, 70}, {80, 100}, {60, 130}};
  layer.DrawPolyline(id, zigzag, 5);
  layer.SetTextColor(id, 0x000000);
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t leading = 0;
  layer.GetFontMetrics(id, &leading, &ascent, &descent);
  const int32_t line = ascent + descent + leading;
  const char* const texts[] = {"Layer probe: child window, fixed font", "WWWWWWWWWW", "iiiiiiiiii",
                               "0123456789 columns line up"};
  for (int i = 0; i < 4; ++i) layer.DrawTextAt(id, 10, 100 + line * (i + 1), texts[i], -1);
  layer.SetTextColor(id, 0xC00000);
  layer.DrawTextAt(id, 10, 100 + line * 5, "red text", -1);
  layer.EndPaint(id);
}

LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const int32_t id = g_layer->IdOf(NativeOf(window));
  switch (message) {
    case WM_PAINT:
      if (id != kNoLayerId) {
        PaintChild(id);
        return 0;
      }
      break;
    case WM_DESTROY:
      g_layer->Destroy(id);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  GuiWindowLayer& layer = *g_layer;
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kCommandQuestion: {
          const int32_t answer = layer.ShowMessageBox(kNoLayerId, kMessageBoxYesNo, "Probe question?");
          layer.SetItemText(g_frame, kEditId,
                            answer == kMessageBoxAnswerYes ? "yes" : answer == kMessageBoxAnswerNo ? "no" : "other");
          return 0;
        }
        case kCommandHelp:
          layer.ShowHelp(g_frame, "probe.hlp", HELP_CONTEXT, 31080);
          return 0;
        case kCommandExit:
          layer.ShutDown();
          return 0;
        default:
          break;
      }
      break;
    case WM_CLOSE:
      layer.ShutDown();
      return 0;
    case WM_DESTROY:
      layer.Destroy(layer.IdOf(NativeOf(window)));
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterClasses(HINSTANCE instance) {
  WNDCLASSA frameClass{};
  frameClass.lpfnWndProc = FrameProc;
  frameClass.hInstance = instance;
  frameClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frameClass.lpszClassName = "ProbeFrame";
  RegisterClassA(&frameClass);
  WNDCLASSA childClass{};
  childClass.lpfnWndProc = ChildProc;
  childClass.hInstance = instance;
  childClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  childClass.lpszClassName = "ProbeChild";
  RegisterClassA(&childClass);
}

HMENU BuildMenu() {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, kCommandExit, "E&xit");
  HMENU probe = CreatePopupMenu();
  AppendMenuA(probe, MF_STRING, kCommandQuestion, "&Question");
  AppendMenuA(probe, MF_STRING, kCommandHelp, "&Help");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(probe), "&Probe");
  return bar;
}

HWND MakeFrame(HINSTANCE instance, bool visible) {
  HWND frame = CreateWindowA("ProbeFrame", kCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | (visible ? WS_VISIBLE : 0),
                             40, 40, 640, 400, nullptr, visible ? BuildMenu() : nullptr, instance, nullptr);
  g_frame = g_layer->Register(NativeOf(frame), kLayerFrame, reinterpret_cast<uintptr_t>(kCaption));
  return frame;
}

int32_t MakeChild(HINSTANCE instance, HWND frame, bool visible) {
  HWND child = CreateWindowA("ProbeChild", "", WS_CHILD | WS_BORDER | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0), 10,
                             10, 400, 200, frame, nullptr, instance, nullptr);
  return g_layer->Register(NativeOf(child), kLayerChildWindow, 0);
}

int RunWindows(HINSTANCE instance) {
  HWND frame = MakeFrame(instance, true);
  g_child = MakeChild(instance, frame, true);
  g_layer->CreateControl(LayerRect{220, 10, 24, 180}, "edit me", kLayerEditBox, g_frame, 1, kEditId);
  const int32_t list = g_layer->CreateControl(LayerRect{10, 420, 120, 190}, "", kLayerListBox, g_frame, 1, kListId);
  g_layer->CreateControl(LayerRect{220, 200, 24, 80}, "Press", kLayerPushButton, g_frame, 1, kButtonId);
  if (list != kNoLayerId) {
    for (const char* entry : {"first entry", "second entry", "an entry wider than the list box is"}) {
      g_layer->ListInsertString(g_frame, kListId, -1, entry);
    }
  }
  ShowWindow(frame, SW_SHOWNORMAL);
  UpdateWindow(frame);
  MSG message;
  for (;;) {
    g_layer->RunTimers();
    if (GetMessageA(&message, nullptr, 0, 0) <= 0) break;
    g_layer->SuspendTimers();
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

// Checks over hidden windows: nothing shows on the screen, yet the layer's drawing,
// measuring and state answers are those of real windows.
// A window Wine draws into but nobody sees: shown, yet layered and fully transparent.
// (A window that is not shown at all has no pixels to read back.)
HWND MakeUnseenFrame(HINSTANCE instance) {
  HWND frame = CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW, "ProbeFrame", "unseen", WS_POPUP, 0, 0, 200, 100,
                               nullptr, nullptr, instance, nullptr);
  SetLayeredWindowAttributes(frame, 0, 0, LWA_ALPHA);
  ShowWindow(frame, SW_SHOWNOACTIVATE);
  g_frame = g_layer->Register(NativeOf(frame), kLayerFrame, reinterpret_cast<uintptr_t>(kCaption));
  return frame;
}

std::string CheckDrawRectangle(HINSTANCE instance) {
  HWND frame = MakeUnseenFrame(instance);
  const int32_t child = MakeChild(instance, frame, true);
  GuiWindowLayer& layer = *g_layer;
  layer.SetFillStyle(child, LayerFill{kFillSolid, 0xFF0000});
  layer.SetLineStyle(child, LayerLine{0, 0, 0});
  layer.DrawRectangle(child, LayerRect{5, 6, 20, 30});
  HWND window = HwndOf(layer.Handle(child));
  HDC dc = GetDC(window);
  const COLORREF red = RGB(255, 0, 0);
  struct Probe {
    int x, y;
    bool filled;
    const char* where;
  } const probes[] = {{6, 5, true, "top left"},        {30, 20, true, "bottom right corner"},
                      {18, 20, true, "bottom row"},     {30, 12, true, "right column"},
                      {31, 12, false, "right of it"},   {18, 21, false, "below it"}};
  std::string failures;
  for (const Probe& probe : probes) {
    const COLORREF pixel = GetPixel(dc, probe.x, probe.y);
    if (pixel == CLR_INVALID) {
      failures += std::string(" no pixel at ") + probe.where;
    } else if ((pixel == red) != probe.filled) {
      char text[96];
      std::snprintf(text, sizeof text, " %s (%d,%d) is %06lX", probe.where, probe.x, probe.y,
                    static_cast<unsigned long>(pixel));
      failures += text;
    }
  }
  ReleaseDC(window, dc);
  return failures;
}

std::string CheckMinimizedClientArea(HINSTANCE instance) {
  HWND frame = MakeFrame(instance, false);
  (void)frame;
  GuiWindowLayer& layer = *g_layer;
  LayerRect area{};
  layer.GetClientArea(g_frame, &area);
  if (area.right <= 0 || area.bottom <= 0) return " the normal window has no client area";
  layer.ShowWindowState(g_frame, kWindowStateMinimized);
  if (layer.GetWindowState(g_frame) != kWindowStateMinimized) return " the window is not minimised";
  layer.GetClientArea(g_frame, &area);
  if (area.top != 0 || area.left != 0 || area.bottom != 0 || area.right != 0) return " the minimised client area is not zero";
  layer.ShowWindowState(g_frame, kWindowStateNormal);
  layer.GetClientArea(g_frame, &area);
  if (area.right <= 0 || area.bottom <= 0) return " the restored window has no client area";
  return {};
}

std::string CheckFixedFont(HINSTANCE instance) {
  HWND frame = MakeFrame(instance, false);
  const int32_t child = MakeChild(instance, frame, false);
  const int32_t wide = g_layer->GetTextWidth(child, "W", 1);
  const int32_t narrow = g_layer->GetTextWidth(child, "i", 1);
  const int32_t ten = g_layer->GetTextWidth(child, "WiWiWiWiWi", -1);
  if (wide <= 0 || wide != narrow || ten != 10 * wide) {
    char text[96];
    std::snprintf(text, sizeof text, " W %d, i %d, ten letters %d", wide, narrow, ten);
    return text;
  }
  return {};
}

// Positions past 16 bits survive: the scroll messages carry only 16 of them.
std::string CheckScrollInfo(HINSTANCE instance) {
  HWND frame = MakeFrame(instance, false);
  const int32_t child = MakeChild(instance, frame, false);
  g_layer->SetScrollRange(child, kScrollBarVertical, 0, 200000);
  g_layer->SetScrollPos(child, kScrollBarVertical, 123456);
  LayerScrollInfo info;
  if (g_layer->GetScrollInfo(child, kScrollBarVertical, &info) != 1 || info.minimum != 0 || info.maximum != 200000 ||
      info.position != 123456) {
    char text[96];
    std::snprintf(text, sizeof text, " range %d..%d, position %d", static_cast<int>(info.minimum),
                  static_cast<int>(info.maximum), static_cast<int>(info.position));
    return text;
  }
  return {};
}

int RunCheck(HINSTANCE instance, const std::string& name) {
  std::string failures;
  if (name == "draw-rectangle") {
    failures = CheckDrawRectangle(instance);
  } else if (name == "minimized-client-area") {
    failures = CheckMinimizedClientArea(instance);
  } else if (name == "fixed-font") {
    failures = CheckFixedFont(instance);
  } else if (name == "scroll-info") {
    failures = CheckScrollInfo(instance);
  } else {
    failures = " no such check";
  }
  std::printf(failures.empty() ? "ok %s\n" : "FAIL %s:%s\n", name.c_str(), failures.c_str());
  std::fflush(stdout);
  return failures.empty() ? 0 : 1;
}

}  // namespace
}  // namespace zentor

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  using namespace zentor;
  g_layer = &InstallWin32WindowLayer(instance);
  RegisterClasses(instance);
  const std::string arguments = commandLine != nullptr ? commandLine : "";
  const std::string checkOption = "--check ";
  if (arguments.compare(0, checkOption.size(), checkOption) == 0) return RunCheck(instance, arguments.substr(checkOption.size()));
  return RunWindows(instance);
}
