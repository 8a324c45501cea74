#include "gui/win32/win32_color_chooser.h"

#include <commdlg.h>

#include "core/dv_error.h"
#include "gui/color_dialog.h"
#include "gui/context_help.h"
#include "gui/gui_window_layer.h"
#include "gui/layer_types.h"
#include "gui/win32/win32_layer_system.h"

namespace zentor {
namespace {

constexpr DWORD kChooserFlags = CC_PREVENTFULLOPEN | CC_SHOWHELP | CC_ENABLEHOOK;
constexpr COLORREF kWhite = 0xFFFFFF;

struct ChooserRun {
  HWND owner = nullptr;
  COLORREF color = 0;
  int32_t layerId = kNoLayerId;
};

// The chooser's Help button (CC_SHOWHELP).
constexpr WORD kHelpButton = 0x040E;

// The chooser's own topic for its Help button and for F1, which the message-filter
// hook posts to it as the help message; the chooser itself never sees either.
UINT_PTR ChooserHelp(HWND chooser, UINT message, WPARAM wParam) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return 0;
  const int32_t id = layer->IdOf(NativeOf(chooser));
  if (message == WM_COMMAND && LOWORD(wParam) == kHelpButton) {
    ShowHelpContext(id, kColorChooserHelpContext);
    return 1;
  }
  return HandleHelpHookMessage(id, message, kColorChooserHelpContext) != 0 ? 1 : 0;
}

// 1. The chooser moves beside its owner, at the owner's height.
// 2. It takes the focus and the colour the element has (no CC_RGBINIT: the registered
//    message preselects it).
// 3. While it is up it is a modal dialog of the layer, so F1 finds its help context.
UINT_PTR CALLBACK ChooserHook(HWND chooser, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_INITDIALOG) {
    // Nothing may unwind into the system's dialog.
    try {
      return ChooserHelp(chooser, message, wParam);
    } catch (DVError& error) {
      error.Report();
    } catch (...) {
    }
    return 0;
  }
  const CHOOSECOLORA* request = reinterpret_cast<const CHOOSECOLORA*>(lParam);
  ChooserRun* run = reinterpret_cast<ChooserRun*>(request->lCustData);
  RECT owner{};
  RECT self{};
  if (run->owner != nullptr && GetWindowRect(run->owner, &owner) && GetWindowRect(chooser, &self)) {
    const int32_t width = self.right - self.left;
    const int32_t left = PlaceColorChooser(owner, width, GetSystemMetrics(SM_CXSCREEN));
    SetWindowPos(chooser, nullptr, left, owner.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) {
    run->layerId = layer->Register(NativeOf(chooser), kLayerModalDialog, 0);
  }
  SetFocus(chooser);
  static const UINT setColor = RegisterWindowMessageA("commdlg_SetRGBColor");
  SendMessageA(chooser, setColor, 0, static_cast<LPARAM>(run->color));
  return 1;
}

class Win32ColorChooser final : public ColorChooser {
 public:
  bool Choose(int32_t ownerId, uint32_t* color) override {
    GuiWindowLayer* layer = InstalledGuiWindowLayer();
    ChooserRun run;
    if (layer != nullptr && ownerId != kNoLayerId) {
      const NativeWindow handle = layer->Handle(ownerId);
      if (handle != kBadNativeWindow && handle != 0) run.owner = HwndOf(handle);
    }
    run.color = GuiWindowLayer::SwapRedBlue(*color & 0xFFFFFFu);
    COLORREF custom[16];
    for (COLORREF& entry : custom) entry = kWhite;
    CHOOSECOLORA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = run.owner;
    request.rgbResult = run.color;
    request.lpCustColors = custom;
    request.Flags = kChooserFlags;
    request.lCustData = reinterpret_cast<LPARAM>(&run);
    request.lpfnHook = &ChooserHook;
    const BOOL chosen = ChooseColorA(&request);
    if (layer != nullptr && run.layerId != kNoLayerId) layer->Destroy(run.layerId);
    if (!chosen) return false;
    *color = GuiWindowLayer::SwapRedBlue(request.rgbResult & 0xFFFFFFu);
    return true;
  }
};

}  // namespace

int32_t PlaceColorChooser(const RECT& owner, int32_t chooserWidth, int32_t screenWidth) {
  const int32_t spaceLeft = owner.left;
  const int32_t spaceRight = screenWidth - owner.right;
  if (owner.right + chooserWidth <= screenWidth) return owner.right;
  if (chooserWidth < spaceLeft) return owner.left - chooserWidth;
  if (spaceLeft > spaceRight) return 0;
  return screenWidth - chooserWidth;
}

void InstallWin32ColorChooser() {
  static Win32ColorChooser chooser;
  InstallColorChooser(&chooser);
}

}  // namespace zentor
