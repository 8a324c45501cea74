#include "windows/source_dialogs.h"

#include <string>
#include <vector>

#include "core/dv_error.h"
#include "core/dv_error_code.h"
#include "core/view_kind.h"
#include "engine/inspector_view.h"
#include "gui/command_runner.h"
#include "gui/frame_dialog_launchers.h"
#include "gui/gui_window_layer.h"
#include "gui/view_dispatcher.h"
#include "gui/win_super.h"
#include "gui/window_table.h"
#include "symbols/search_path.h"
#include "symbols/symbol_context.h"
#include "windows/command_window.h"
#include "windows/source_pane_commands.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgUnsupportedAssignment = 37;  // "Unsupported variable assignment."
constexpr uint32_t kMsgSymbolNotKnown = 335;        // "Symbol <%s> not known in current context."
constexpr uint32_t kMsgNoSymbolSelected = 204;      // "No symbol currently selected."
constexpr uint32_t kMsgCannotModify = 235;          // "<%s> Cannot be modified."
constexpr uint32_t kMsgInvalidScope = 241;          // "Invalid entry for Scope."
constexpr uint32_t kMsgExpressionSyntaxError = 102;

constexpr uint32_t kCommandSourcePath = 1030;
constexpr uint32_t kCommandBrowseTo = 1220;

constexpr int32_t kFindTextLimit = 128;
constexpr int32_t kValueTextLimit = 256;
constexpr int32_t kSelectAllEnd = 0x7fff;
// The form in which "eval scope line" shows a scope without a source line: confirming
// it unchanged browses nowhere new.
constexpr char kUnchangedScopePrefix[] = "location 0x";
// What the path edits may take beyond the longest path shown.
constexpr size_t kPathSlack = 256;

std::string ItemText(int32_t dialog, int32_t item, size_t longest) {
  std::vector<char> buffer(longest + 1, '\0');
  InstalledGuiWindowLayer()->GetItemText(dialog, item, buffer.data(), static_cast<int32_t>(buffer.size()));
  return buffer.data();
}

// The owner's selected text, as the Source window's pane shows it; empty without one.
std::string OwnerSelection(intptr_t ownerId) {
  WinSuper* owner = ownerId > 0 ? WindowTable::Get(static_cast<int32_t>(ownerId)) : nullptr;
  return owner != nullptr ? owner->GetTextPane().SelectedFieldText() : std::string();
}

void FocusItem(int32_t dialog, int32_t item) {
  GuiWindowLayer& layer = *InstalledGuiWindowLayer();
  const NativeWindow control = layer.System().GetDialogItem(layer.Handle(dialog), item);
  if (control != 0) layer.System().SetFocus(control);
}

// A dialog's command text: false, with nothing run, when it would not fit the
// command buffer whole.
bool RunDialogCommand(const std::string& text, DVErrorCode* result) {
  if (text.size() > kLongestDialogCommandText) return false;
  char output[CommandRunner::kCaptureLimit + 1] = {};
  RunCommandTextFromDialog(result, 1, text.c_str(), output);
  return true;
}

void ReportInBox(uint32_t number) {
  DVError error(number, kSeverityWarning, kDisplayMessageBox);
  error.Report();
}

template <typename Body>
void RunSourceDialog(Body& body, int32_t ownerId) {
  try {
    RunModalDialog(body, ownerId, ownerId == kNoLayerId ? 0 : ownerId);
  } catch (DVError& error) {
    error.Report();
  }
}

}  // namespace

void SourceDialogBody::Finish(int32_t result) {
  GuiWindowLayer& layer = Layer();
  Close(result);
  layer.ReactivateAfterClose(kNoLayerId);
}

// ---- Source Find ----

SourceFindDialog::SourceFindDialog() : SourceDialogBody(DialogTemplate{"SFIND", kSourceFindHelpContext}) {}

void SourceFindDialog::OnInitialise() {
  GuiWindowLayer& layer = Layer();
  const SourceFindState& find = SourceFind();
  layer.LimitItemText(DialogId(), kFindTextEdit, kFindTextLimit);
  layer.SetItemText(DialogId(), kFindTextEdit, find.text.c_str());
  layer.SelectItemText(DialogId(), kFindTextEdit, 0, kSelectAllEnd);
  layer.CheckRadioItem(DialogId(), find.direction == 0 ? kFindUpRadio : kFindDownRadio, kFindUpRadio, kFindDownRadio);
}

void SourceFindDialog::OnControl(int32_t control, int32_t) {
  if (control != kFindUpRadio && control != kFindDownRadio) return;
  SourceFind().direction = control == kFindUpRadio ? 0 : 1;
  Layer().CheckRadioItem(DialogId(), control, kFindUpRadio, kFindDownRadio);
}

// The dialog stays open, so that Find Next can be pressed again.
void SourceFindDialog::OnOk() {
  SourceFind().text = ItemText(DialogId(), kFindTextEdit, kMaxSourceFindText);
  FindNextInSource(static_cast<int32_t>(Parameter()));
}

// ---- Modify Value ----

ModifyValueDialog::ModifyValueDialog() : SourceDialogBody(DialogTemplate{"SRCMOD", kModifyValueHelpContext}) {}

// 1. The inspector's window-less request turns "\name" into the variable's value text.
// 2. A variable that cannot be read closes the dialog at once, its reason on the
//    status line. With nothing selected there is nothing to ask about: 204, where
//    "\" alone would answer that it does not parse.
void ModifyValueDialog::OnInitialise() {
  m_variable = OwnerSelection(Parameter());
  char value[kValueTextBufferSize] = {};
  const std::string query = ("\\" + m_variable).substr(0, kValueTextBufferSize - 1);
  query.copy(value, query.size());
  DVError status(0, 0, kDisplayByFocus);
  if (!m_variable.empty()) {
    ViewDispatcher::RunGuiCommandForKind(status, kViewInspect, nullptr, kGuiInspectValueText,
                                         reinterpret_cast<intptr_t>(value));
  }
  if (m_variable.empty() || !status.IsOkay()) {
    if (m_variable.empty()) {
      status.Set(kMsgNoSymbolSelected, kSeverityWarning, kDisplayStatusLine, nullptr);
    } else if (status.Number() == kMsgExpressionSyntaxError) {
      status.Set(kMsgSymbolNotKnown, kSeverityWarning, kDisplayStatusLine, m_variable.c_str());
    } else {
      status.Set(kMsgCannotModify, kSeverityWarning, kDisplayStatusLine, m_variable.c_str());
    }
    status.Report();
    Finish(kDialogResultCancel);
    return;
  }
  GuiWindowLayer& layer = Layer();
  layer.SetItemText(DialogId(), kModifyVariableText, m_variable.c_str());
  layer.SetItemText(DialogId(), kModifyOldValueText, value);
  layer.LimitItemText(DialogId(), kModifyNewValueEdit, kValueTextLimit);
  layer.SetItemText(DialogId(), kModifyNewValueEdit, value);
  FocusItem(DialogId(), kModifyNewValueEdit);
  layer.SelectItemText(DialogId(), kModifyNewValueEdit, 1, 1);
}

// An empty value, an assignment too long to run whole and a command that fails all
// keep the dialog open with message 37 and the value selected for retyping.
void ModifyValueDialog::OnOk() {
  const std::string value = ItemText(DialogId(), kModifyNewValueEdit, kValueTextLimit - 1);
  DVErrorCode result(kMsgUnsupportedAssignment, kSeverityWarning);
  if (!value.empty()) RunDialogCommand("\\" + m_variable + " = " + value, &result);
  if (result.IsOkay()) {
    Finish(kDialogResultOk);
    return;
  }
  ReportInBox(kMsgUnsupportedAssignment);
  Layer().SelectItemText(DialogId(), kModifyNewValueEdit, 0, kSelectAllEnd);
}

// ---- Browse To ----

ScopeDialog::ScopeDialog() : SourceDialogBody(DialogTemplate{"SCOPE", kScopeHelpContext}) {}

void ScopeDialog::OnInitialise() {
  char scope[CommandRunner::kCaptureLimit + 1] = {};
  DVErrorCode result;
  RunCommandTextFromDialog(&result, 1, "eval scope line", scope);
  GuiWindowLayer& layer = Layer();
  layer.LimitItemText(DialogId(), kScopeEdit, kValueTextLimit);
  layer.SetItemText(DialogId(), kScopeEdit, scope);
  layer.SelectItemText(DialogId(), kScopeEdit, 1, 1);
}

void ScopeDialog::OnOk() {
  const std::string entered = ItemText(DialogId(), kScopeEdit, kValueTextLimit - 1);
  DVErrorCode result(kMsgInvalidScope, kSeverityWarning);
  if (entered.starts_with(kUnchangedScopePrefix)) {
    result.SetOkay();
  } else if (!entered.empty()) {
    RunDialogCommand("scope=" + entered, &result);
  }
  if (result.IsOkay()) {
    Finish(kDialogResultOk);
    return;
  }
  ReportInBox(kMsgInvalidScope);
  Layer().SelectItemText(DialogId(), kScopeEdit, 0, kSelectAllEnd);
}

// ---- Source Path ----

SourcePathDialog::SourcePathDialog() : SourceDialogBody(DialogTemplate{"SRCPATH", kSourcePathHelpContext}) {}

void SourcePathDialog::Fill(int32_t edit, const std::string& path) {
  if (m_capacity < path.size() + kPathSlack) m_capacity = path.size() + kPathSlack;
  GuiWindowLayer& layer = Layer();
  layer.LimitItemText(DialogId(), edit, static_cast<int32_t>(m_capacity - 1));
  layer.SetItemText(DialogId(), edit, path.c_str());
  layer.SelectItemText(DialogId(), edit, 1, 1);
}

void SourcePathDialog::OnInitialise() {
  SymbolContext* context = GetCurrentSymbolContext();
  Fill(kSourcePathEdit, context != nullptr ? context->SourcePathList().AsText().data() : "");
  Fill(kGlobalPathEdit, GetGlobalSearchPath()->AsText().data());
}

// A directory the search path refuses keeps the dialog open with its message, the
// user's text still there to be mended.
void SourcePathDialog::OnOk() {
  const std::string viewpointPath = ItemText(DialogId(), kSourcePathEdit, m_capacity - 1);
  const std::string globalPath = ItemText(DialogId(), kGlobalPathEdit, m_capacity - 1);
  int32_t failed = kSourcePathEdit;
  try {
    if (GetCurrentSymbolContext() != nullptr) SetSearchPath(viewpointPath.c_str(), kViewpointSearchPath);
    failed = kGlobalPathEdit;
    SetSearchPath(globalPath.c_str(), kGlobalSearchPath);
  } catch (DVError& error) {
    error.Set(error.Number(), error.Severity(), kDisplayMessageBox, error.ArgumentCount() > 0 ? error.Argument(0).data() : nullptr);
    error.Report();
    Layer().SelectItemText(DialogId(), failed, 0, kSelectAllEnd);
    return;
  }
  Finish(kDialogResultOk);
}

// ---- Launchers ----

void ShowSourceFindDialog(int32_t ownerId) {
  static SourceFindDialog dialog;
  RunSourceDialog(dialog, ownerId);
}

void ShowModifyValueDialog(int32_t ownerId) {
  static ModifyValueDialog dialog;
  RunSourceDialog(dialog, ownerId);
}

void ShowScopeDialog(int32_t ownerId) {
  static ScopeDialog dialog;
  RunSourceDialog(dialog, ownerId);
}

void ShowSourcePathDialog(int32_t ownerId) {
  static SourcePathDialog dialog;
  RunSourceDialog(dialog, ownerId);
}

void InstallSourceDialogs() {
  SetFrameDialogLauncher(kCommandSourcePath, [](int32_t) { ShowSourcePathDialog(kNoLayerId); });
  SetFrameDialogLauncher(kCommandBrowseTo, [](int32_t) { ShowScopeDialog(kNoLayerId); });
}

}  // namespace zentor
