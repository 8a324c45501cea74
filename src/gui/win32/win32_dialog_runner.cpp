#include "gui/win32/win32_dialog_runner.h"

#include "core/dv_error.h"
#include "gui/gui_window_layer.h"
#include "gui/win32/win32_layer_system.h"

namespace zentor {
namespace {

// The timer of a box that closes itself.
constexpr UINT_PTR kCloseTimerId = 100;

DialogBody* BodyOf(HWND window) { return reinterpret_cast<DialogBody*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

// What a modeless dialog's handler raised has no DialogBoxParam to return through:
// it is reported where it happened.
void HandOnModelessFailure(DialogBody& body) {
  try {
    body.RaiseFailure();
  } catch (DVError& error) {
    error.Report();
  } catch (...) {
    try {
      ZENTOR_INTERNAL_ERROR();
    } catch (DVError& error) {
      error.Report();
    }
  }
}

// 1. Messages before WM_INITDIALOG (WM_SETFONT) find no body and go to the system.
// 2. WM_INITDIALOG brings the body in the parameter; it is kept in the window's user
//    data. The focus is the system's to set unless the body has put it on a control.
// 3. WM_CLOSE posts the Cancel control, as a press of it would send it.
// 4. WM_DESTROY lets a body that did not close itself give up its layer slot.
INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogBody* body = nullptr;
  if (message == WM_INITDIALOG) {
    body = reinterpret_cast<DialogBody*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
  } else {
    body = BodyOf(window);
  }
  if (body == nullptr) return FALSE;
  INT_PTR handled = TRUE;
  try {
    switch (message) {
      case WM_INITDIALOG: {
        body->Open(NativeOf(window));
        if (const UINT wait = body->Template().closeAfterMilliseconds; wait != 0 && body->IsOpen()) {
          if (SetTimer(window, kCloseTimerId, wait, nullptr) == 0) {
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(body->Template().okControl, 0), 0);
          }
        }
        HWND focus = GetFocus();
        handled = focus != nullptr && IsChild(window, focus) ? FALSE : TRUE;
        break;
      }
      case WM_COMMAND:
        body->Command(LOWORD(wParam), HIWORD(wParam));
        break;
      case WM_TIMER:
        if (wParam != kCloseTimerId) return FALSE;
        KillTimer(window, kCloseTimerId);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(body->Template().cancelControl, 0), 0);
        break;
      case WM_CLOSE:
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(body->Template().cancelControl, 0), 0);
        break;
      case WM_DESTROY:
        body->Destroyed();
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        handled = FALSE;
        break;
      default:
        handled = body->OtherMessage(message) ? TRUE : FALSE;
        break;
    }
  } catch (...) {
    // The body's calls keep their failures; nothing may unwind into the system.
    handled = TRUE;
  }
  if (body->Template().modeless && body->HasFailure()) HandOnModelessFailure(*body);
  return handled;
}

class Win32DialogRunner final : public DialogRunner {
 public:
  explicit Win32DialogRunner(HINSTANCE instance) : m_instance(instance) {}

  void RunModal(DialogBody& body, int32_t ownerId) override {
    const INT_PTR result = DialogBoxParamA(m_instance, body.Template().name, DialogOwner(ownerId), DialogProcedure,
                                           reinterpret_cast<LPARAM>(&body));
    // A template the program lacks is the program's fault.
    if (result == -1 && !body.HasFailure()) ZENTOR_INTERNAL_ERROR();
  }

  bool OpenModeless(DialogBody& body, int32_t ownerId) override {
    HWND dialog = CreateDialogParamA(m_instance, body.Template().name, DialogOwner(ownerId), DialogProcedure,
                                     reinterpret_cast<LPARAM>(&body));
    if (dialog == nullptr) return false;
    if (body.IsOpen()) ShowWindow(dialog, SW_SHOW);
    return body.IsOpen();
  }

 private:
  HINSTANCE m_instance;
};

}  // namespace

HWND DialogOwner(int32_t ownerId) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return nullptr;
  const NativeWindow owner = ownerId == kNoLayerId ? layer->FrameHandle() : layer->Handle(ownerId);
  return owner == kBadNativeWindow ? nullptr : HwndOf(owner);
}

DialogRunner& InstallWin32DialogRunner(HINSTANCE instance) {
  static Win32DialogRunner runner(instance);
  InstallDialogRunner(&runner);
  return runner;
}

}  // namespace zentor
