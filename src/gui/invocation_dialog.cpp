#include "gui/invocation_dialog.h"

#include <string>
#include <vector>

#include "core/dv_error.h"
#include "core/window_layer.h"
#include "engine/dialog_records.h"
#include "engine/settings_store.h"
#include "gui/gui_window_layer.h"
#include "gui/invocation_settings.h"
#include "gui/management_dialog.h"
#include "platform/path_adapter.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgMultipleFileNames = 110;  // "Multiple file names were specified."
constexpr const char* kCurrentName = "CURRENT";
constexpr const char* kCurrentDescription = "Current Invocation Settings";
constexpr const char* kNoBatchFile = "Batch file does not exist.";
constexpr const char* kNoMacroFile = "Macro file does not exist.";
constexpr const char* kStoreFailure = "The invocation settings could not be stored.";

struct InvocationDialogState {
  int32_t dialogId = kNoLayerId;
  int32_t managementId = kNoLayerId;
};

InvocationDialogState& State() {
  static InvocationDialogState state;
  return state;
}

std::string EditText(int32_t dialogId, int32_t edit) {
  char text[InvocationSettings::kNameFieldSize] = {};
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->GetItemText(dialogId, edit, text, sizeof text);
  return text;
}

// The words of a text, split at blanks and tabs.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t at = 0;
  while ((at = text.find_first_not_of(" \t", at)) != std::string::npos) {
    const size_t end = text.find_first_of(" \t", at);
    words.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end;
  }
  return words;
}

std::string FirstWord(const std::string& text) {
  const std::vector<std::string> words = Words(text);
  return words.empty() ? std::string() : words.front();
}

int32_t StoreRecord(const char* name, const char* description) {
  uint8_t image[InvocationSettings::kRecordSize];
  TheInvocationSettings().CopyTo(image);
  return TheSettingsStore().AddRecord(kInvocationRecordId, RWCString(name), RWCString(description), sizeof image,
                                      image);
}

void ShowInvocationCommand(int32_t, uint32_t) { ShowInvocationDialog(); }

}  // namespace

void InvocationDialog::ReadTexts() {
  const int32_t id = State().dialogId;
  if (id == kNoLayerId) return;
  InvocationSettings& settings = TheInvocationSettings();
  settings.m_macroName = EditText(id, kInvocationMacroEdit);
  settings.m_batchName = EditText(id, kInvocationBatchEdit);
}

void InvocationDialog::FillControls(int32_t dialogId) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr || dialogId == kNoLayerId) return;
  const InvocationSettings& settings = TheInvocationSettings();
  layer->CheckItem(dialogId, kInvocationBatchCheck, settings.m_batchOn != 0 ? 1 : 0);
  layer->CheckItem(dialogId, kInvocationOptionBCheck, settings.m_optionB != 0 ? 1 : 0);
  layer->CheckItem(dialogId, kInvocationMacroCheck, settings.m_macroOn != 0 ? 1 : 0);
  layer->CheckItem(dialogId, kInvocationOptionACheck, settings.m_optionA != 0 ? 1 : 0);
  const bool macroOn = settings.m_macroOn == 1;
  layer->SetItemText(dialogId, kInvocationMacroEdit, macroOn ? settings.m_macroName.c_str() : "");
  layer->EnableItem(dialogId, kInvocationMacroEdit, macroOn ? 1 : 0);
  const bool batchOn = settings.m_batchOn == 1;
  layer->SetItemText(dialogId, kInvocationBatchEdit, batchOn ? settings.m_batchName.c_str() : "");
  layer->EnableItem(dialogId, kInvocationBatchEdit, batchOn ? 1 : 0);
}

int32_t InvocationDialog::ManageCallback(int32_t dialogId, uint32_t operation, void* argument) {
  switch (operation) {
    case kManageList:
      return static_cast<int32_t>(
          TheSettingsStore().ListAllRecords(kInvocationRecordId, static_cast<NamedSetList*>(argument)));
    case kManageRestore: {
      const int32_t result = TheInvocationSettings().ReadRecord(static_cast<const NamedSetRequest*>(argument)->m_name);
      SendChanged();
      FillControls(State().dialogId);
      return result;
    }
    case kManageSave: {
      const NamedSetRequest* entry = static_cast<const NamedSetRequest*>(argument);
      return StoreRecord(entry->m_name.data(), entry->m_description.data());
    }
    case kManageRemove:
      return TheSettingsStore().RemoveRecord(kInvocationRecordId, static_cast<const NamedSetRequest*>(argument)->m_name);
    case kManageOpened:
      State().managementId = dialogId;
      return 0;
    case kManageClosed:
      State().managementId = kNoLayerId;
      return 0;
    default:
      return 0;
  }
}

InvocationSettingsDialog::InvocationSettingsDialog()
    : DialogBody(DialogTemplate{"INVOC", 0, false, kInvocationApplyControl, kDialogCancelControl}) {}

// A name field keeps its NUL: the edits take at most 255 characters.
void InvocationSettingsDialog::OnInitialise() {
  GuiWindowLayer& layer = Layer();
  State().dialogId = DialogId();
  const int32_t limit = static_cast<int32_t>(InvocationSettings::kMaxNameLength);
  layer.LimitItemText(DialogId(), kInvocationBatchEdit, limit);
  layer.LimitItemText(DialogId(), kInvocationMacroEdit, limit);
  InvocationDialog::FillControls(DialogId());
}

void InvocationSettingsDialog::ToggleFile(uint32_t& on, int32_t edit) {
  GuiWindowLayer& layer = Layer();
  on = on != 0 ? 0 : 1;
  if (on == 0) layer.SetItemText(DialogId(), edit, "");
  layer.EnableItem(DialogId(), edit, on == 1 ? 1 : 0);
  layer.CheckItem(DialogId(), edit == kInvocationBatchEdit ? kInvocationBatchCheck : kInvocationMacroCheck,
                  static_cast<int32_t>(on));
}

void InvocationSettingsDialog::OnControl(int32_t control, int32_t) {
  InvocationSettings& settings = TheInvocationSettings();
  GuiWindowLayer& layer = Layer();
  switch (control) {
    case kInvocationBatchCheck:
      ToggleFile(settings.m_batchOn, kInvocationBatchEdit);
      return;
    case kInvocationMacroCheck:
      ToggleFile(settings.m_macroOn, kInvocationMacroEdit);
      return;
    case kInvocationOptionBCheck:
      settings.m_optionB = settings.m_optionB != 0 ? 0 : 1;
      layer.CheckItem(DialogId(), control, static_cast<int32_t>(settings.m_optionB));
      return;
    case kInvocationOptionACheck:
      settings.m_optionA = settings.m_optionA != 0 ? 0 : 1;
      layer.CheckItem(DialogId(), control, static_cast<int32_t>(settings.m_optionA));
      return;
    case kInvocationManageButton:
      InvocationDialog::ReadTexts();
      RunManagementDialog(DialogId(), kInvocationManageButton, &InvocationDialog::ManageCallback);
      return;
    default:
      return;
  }
}

// 1. The batch field's first word is the batch name; a second word refuses (110).
// 2. An enabled batch file must be readable.
// 3. The macro field's first word is the macro name; 4. an enabled macro file must be
//    readable.
// 5. "CURRENT" replaced by the record; the dialog closes and the change is sent. A
//    refusal leaves the dialog open with the texts as typed.
void InvocationSettingsDialog::OnOk() {
  GuiWindowLayer& layer = Layer();
  InvocationSettings& settings = TheInvocationSettings();
  const std::vector<std::string> batchWords = Words(EditText(DialogId(), kInvocationBatchEdit));
  settings.m_batchName = batchWords.empty() ? std::string() : batchWords.front();
  if (batchWords.size() > 1) {
    DVError(kMsgMultipleFileNames, kSeverityWarning, kDisplayMessageBox).Report();
    return;
  }
  if (settings.m_batchOn == 1 && !platform::CanOpenForReading(settings.m_batchName)) {
    layer.ShowMessageBox(DialogId(), kMessageBoxInformation, kNoBatchFile);
    return;
  }
  settings.m_macroName = FirstWord(EditText(DialogId(), kInvocationMacroEdit));
  if (settings.m_macroOn == 1 && !platform::CanOpenForReading(settings.m_macroName)) {
    layer.ShowMessageBox(DialogId(), kMessageBoxInformation, kNoMacroFile);
    return;
  }
  TheSettingsStore().RemoveRecord(kInvocationRecordId, RWCString(kCurrentName));
  if (StoreRecord(kCurrentName, kCurrentDescription) != 0) {
    layer.ShowMessageBox(DialogId(), kMessageBoxWarning, kStoreFailure);
  }
  CloseAndNotify(kDialogResultOk);
}

// The settings last applied come back (a missing "CURRENT" keeps the record).
void InvocationSettingsDialog::OnCancel() {
  TheInvocationSettings().ReadRecord(RWCString(kCurrentName));
  InvocationDialog::FillControls(DialogId());
  CloseAndNotify(kDialogResultCancel);
}

void InvocationSettingsDialog::CloseAndNotify(int32_t result) {
  GuiWindowLayer& layer = Layer();
  State().dialogId = kNoLayerId;
  Close(result);
  layer.ReactivateAfterClose(kNoLayerId);
  InvocationDialog::SendChanged();
}

void ShowInvocationDialog() {
  static InvocationSettingsDialog dialog;
  RunModalDialog(dialog, kNoLayerId);
}

void InstallInvocationDialog() {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return;
  layer->RemoveMenuHandler(kCommandInvocation);
  layer->AddMenuHandler(kCommandInvocation, &ShowInvocationCommand);
}

}  // namespace zentor
