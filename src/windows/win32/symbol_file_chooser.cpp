#include "windows/win32/symbol_file_chooser.h"

#include <commdlg.h>

#include "core/dv_error.h"
#include "gui/context_help.h"
#include "gui/gui_window_layer.h"
#include "gui/win32/win32_dialog_runner.h"
#include "gui/win32/win32_layer_system.h"

namespace zentor {
namespace {

constexpr DWORD kLoadSymbolsFlags =
    OFN_HIDEREADONLY | OFN_SHOWHELP | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_NOVALIDATE | OFN_SHAREAWARE;
constexpr char kFilter[] = "Symbol Files (*.sym)\0*.sym\0All Files (*.*)\0*.*\0";
constexpr int32_t kHelpButton = 10;

// Kept for the whole run: the dialog opens with the name chosen last time.
char g_fileName[257];
char g_fileTitle[257];
UINT g_fileNameOkMessage = 0;
// The dialog's layer id while it is open.
int32_t g_dialogId = kNoLayerId;

void ForgetDialog() {
  if (g_dialogId == kNoLayerId) return;
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->Destroy(g_dialogId);
  g_dialogId = kNoLayerId;
}

class Win32SymbolFileChooser final : public SymbolFileChooser {
 public:
  explicit Win32SymbolFileChooser(HINSTANCE instance) : m_instance(instance) {}

  bool Choose(int32_t ownerId, std::string* name) override {
    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = DialogOwner(ownerId);
    request.hInstance = m_instance;
    request.lpstrFilter = kFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = g_fileName;
    request.nMaxFile = sizeof g_fileName;
    request.lpstrFileTitle = g_fileTitle;
    request.nMaxFileTitle = sizeof g_fileTitle;
    request.lpstrTitle = "Load Symbols";
    request.Flags = kLoadSymbolsFlags;
    request.lpstrDefExt = "";
    request.lpfnHook = &LoadSymbolsHookProc;
    request.lpTemplateName = "FILETEMP";
    g_fileNameOkMessage = RegisterWindowMessageA(FILEOKSTRINGA);
    const BOOL chosen = GetOpenFileNameA(&request);
    ForgetDialog();
    if (!chosen) return false;
    *name = g_fileName;
    return true;
  }

 private:
  HINSTANCE m_instance;
};

}  // namespace

// Nothing may unwind into the system's dialog: a failure here is reported where it
// happened.
UINT_PTR CALLBACK LoadSymbolsHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  try {
    GuiWindowLayer* layer = InstalledGuiWindowLayer();
    if (g_fileNameOkMessage != 0 && message == g_fileNameOkMessage) return 0;
    switch (message) {
      case WM_INITDIALOG:
        if (layer != nullptr) g_dialogId = layer->Register(NativeOf(dialog), kLayerModalDialog, 0);
        SetFocus(dialog);
        return 0;
      case WM_COMMAND:
        if (LOWORD(wParam) != kHelpButton) return 0;
        ShowHelpContext(g_dialogId, kLoadSymbolsHelpContext);
        return 1;
      default:
        HandleHelpHookMessage(g_dialogId, message, kLoadSymbolsHelpContext);
        return 0;
    }
  } catch (DVError& error) {
    error.Report();
  } catch (...) {
  }
  return 0;
}

void InstallWin32SymbolFileChooser(HINSTANCE instance) {
  static Win32SymbolFileChooser chooser(instance);
  InstallSymbolFileChooser(&chooser);
}

}  // namespace zentor
