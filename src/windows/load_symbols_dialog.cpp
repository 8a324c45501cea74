#include "windows/load_symbols_dialog.h"

#include "core/dv_error.h"
#include "core/dv_error_code.h"
#include "core/installed_service.h"
#include "gui/command_runner.h"
#include "gui/frame_dialog_launchers.h"
#include "gui/gui_window_layer.h"
#include "gui/message_loop.h"
#include "platform/file_system.h"
#include "windows/command_window.h"
#include "windows/source_dialogs.h"

namespace zentor {
namespace {

constexpr uint32_t kCommandLoadProgram = 1020;
constexpr size_t kLongestCurrentDirectory = 256;
constexpr char kLoadCommand[] = "loadsym ";

InstalledService<SymbolFileChooser> g_chooser;

bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

void ReportLoadFailure(const std::string* path) {
  DVError error(kMsgFileLoadError, kSeverityWarning, kDisplayMessageBox);
  if (path != nullptr) error.SetArg(0, path->c_str());
  error.Report();
}

}  // namespace

SymbolFileChooser::~SymbolFileChooser() = default;
bool SymbolFileChooser::Choose(int32_t, std::string*) { return false; }

SymbolFileChooser* InstallSymbolFileChooser(SymbolFileChooser* chooser) { return g_chooser.Install(chooser); }

// A separator with a blank before it belongs to a name ("MY \FILE"), not to a
// directory.
std::string LoadSymbolsPath(const std::string& chosen, const std::string& currentDirectory) {
  bool hasDirectory = false;
  for (size_t i = chosen.size(); i-- > 1 && !hasDirectory;) {
    hasDirectory = IsSeparator(chosen[i]) && chosen[i - 1] != ' ';
  }
  std::string path = chosen;
  if (!hasDirectory) {
    std::string directory = currentDirectory.substr(0, kLongestCurrentDirectory);
    if (directory.empty() || directory.back() != '\\') directory += '\\';
    path = directory + chosen;
  }
  for (char& ch : path) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return path;
}

// The runner would cut a longer text and load some other file: it is refused whole.
int32_t LoadSymbolsCommand(const std::string& path) {
  const std::string text = kLoadCommand + path;
  if (text.size() > kLongestDialogCommandText) {
    ReportLoadFailure(&path);
    return static_cast<int32_t>(kMsgFileLoadError);
  }
  char output[CommandRunner::kCaptureLimit + 1] = {};
  DVErrorCode result;
  RunCommandTextFromDialog(&result, 1, text.c_str(), output);
  if (!result.IsOkay()) ReportLoadFailure(result.Number() == kMsgFileLoadError ? &path : nullptr);
  return static_cast<int32_t>(result.Number());
}

// 1. The chooser runs the system's dialog; a cancel loads nothing.
// 2. The frame repaints where the dialog was before the load begins.
// 3. The chosen name, made a full lower-case path, is loaded.
int32_t ShowLoadSymbolsDialog(int32_t ownerId) {
  std::string chosen;
  if (!g_chooser.Get().Choose(ownerId, &chosen)) return 0;
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) PumpWhileBusy(layer->FrameHandle());
  return LoadSymbolsCommand(LoadSymbolsPath(chosen, platform::CurrentDirectory()));
}

void InstallLoadSymbolsDialog() {
  SetFrameDialogLauncher(kCommandLoadProgram, [](int32_t) { ShowLoadSymbolsDialog(kNoLayerId); });
}

}  // namespace zentor
