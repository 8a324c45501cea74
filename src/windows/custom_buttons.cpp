#include "windows/custom_buttons.h"

#include <algorithm>
#include <optional>

#include "command/grammar_object.h"
#include "console/command_reader.h"
#include "console/pager.h"
#include "core/busy_pump.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/message_table.h"
#include "core/value_stack.h"
#include "core/window_layer.h"
#include "engine/dialog_records.h"
#include "engine/settings_store.h"
#include "gui/custom_button_record.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/layout_state.h"
#include "gui/management_dialog.h"
#include "gui/manage_operations.h"
#include "windows/command_window.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgEmptyString = 210;      // "Empty or blank string entered."
constexpr uint32_t kMsgButtonNotFound = 211;   // "The specified custom button could not be found."
constexpr int32_t kStoreNoSuchRecord = -1007;
// Results of the remove before a save that let the save go on: done, no store file
// yet, no such record, nothing of the kind.
constexpr int32_t kRemoveResultsThatGoOn[] = {0, -1006, kStoreNoSuchRecord, -1010};
constexpr int32_t kMaxNameLength = 5;
constexpr int32_t kMaxCommandLength = 250;

struct ButtonState {
  std::vector<CustomButton> buttons;
  int32_t currentIndex = -1;
  std::vector<CustomButton> backup;
  int32_t backupIndex = -1;
  bool changed = false;
  CustomButtonsDialog* openList = nullptr;
  int32_t messageOwner = kNoLayerId;
};

ButtonState& State() {
  static ButtonState state;
  return state;
}

GuiWindowLayer* Layer() { return InstalledGuiWindowLayer(); }

void ReportInBox(uint32_t number) { DVError(number, kSeverityWarning, kDisplayMessageBox).Report(); }

// A button the dialogs count on is not there: unlike their other errors (warnings),
// a fatal error in a box.
void ReportButtonNotFound() { DVError(kMsgButtonNotFound, kSeverityFatal, kDisplayMessageBox).Report(); }

// A store failure of the management: the message has no place for the argument that
// says what was not done, so the box shows it after the message's text.
void ReportManageFailure(uint32_t number, const char* what) {
  const char* text = FindMessageText(number);
  const std::string shown = std::string(text != nullptr ? text : "") + " " + what;
  if (GuiWindowLayer* layer = Layer()) {
    const int32_t owner = State().messageOwner != kNoLayerId ? State().messageOwner : layer->GetFocusWindow();
    layer->ShowMessageBox(owner, kMessageBoxWarning, shown.c_str());
  }
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

void Renumber() {
  std::vector<CustomButton>& buttons = State().buttons;
  for (size_t i = 0; i < buttons.size(); ++i) buttons[i].index = static_cast<int32_t>(i);
}

// The bar's buttons are made again from the list, each keeping the command it got.
void RebuildBar() {
  if (Layer() == nullptr || FrameWindow::FrameId() == kNoLayerId) return;
  DestroyCustomButtonControls();
  std::vector<CustomButton>& buttons = State().buttons;
  if (buttons.empty()) {
    CreateCustomButtonControl(nullptr);
    return;
  }
  for (CustomButton& button : buttons) button.commandId = CreateCustomButtonControl(button.name.c_str());
}

void ShowOpenList() {
  if (State().openList != nullptr) State().openList->ShowList();
}

void RunButtonMenuCommand(int32_t, uint32_t command) { RunCustomButton(static_cast<int32_t>(command)); }
void ShowCustomButtonsMenuCommand(int32_t, uint32_t) { ShowCustomButtonsDialog(); }

// Marks a window's command as running for its length, also when it is left by a raise.
class WindowCommandScope {
 public:
  WindowCommandScope() { SetWindowCommandFlag(1); }
  ~WindowCommandScope() { SetWindowCommandFlag(0); }
  WindowCommandScope(const WindowCommandScope&) = delete;
  WindowCommandScope& operator=(const WindowCommandScope&) = delete;
};

}  // namespace

const std::vector<CustomButton>& CustomButtons() { return State().buttons; }
int32_t CurrentCustomButtonIndex() { return State().currentIndex; }

// 1. The button of the command, with a text.
// 2. The text ended as a typed line is; the window-command flag (its errors go to the
//    command output) and the busy cursor.
// 3. It runs as one command line. A failure is reported here, before the prompt, and
//    not raised through the window procedure: raising would leave the busy cursor
//    pushed and the Command window without its prompt.
// 4. The command input back to the console, the cursor popped; a fresh prompt when the
//    Command window's input line is empty; the flag cleared; the window that was
//    active comes back.
int32_t RunCustomButton(int32_t commandId) {
  ButtonState& state = State();
  auto found = std::find_if(state.buttons.begin(), state.buttons.end(),
                            [commandId](const CustomButton& button) { return button.commandId == commandId; });
  if (found == state.buttons.end() || found->command.empty()) return 0;
  const std::string text = found->command + "\r";
  std::optional<WindowCommandScope> windowCommand(std::in_place);
  BeginBusyCursor();
  uint16_t resultKind = 0;
  uint8_t value[ValueStack::kMaxItemSize];
  const DVErrorCode status = ExecuteText(text.c_str(), kProductionCommand, &resultKind, value);
  if (!status.IsOkay()) {
    DVError error(status);
    try {
      ThrowIfError(error);
    } catch (DVError& raised) {
      raised.Report();
    }
  }
  ResetCommandInput();
  EndBusyCursor();
  if (CommandWindow::InputColumn() == 0) {
    PrintPrompt();
    Pager::Flush();
  }
  windowCommand.reset();
  if (GuiWindowLayer* layer = Layer()) layer->ReactivateAfterClose(kNoLayerId);
  return 1;
}

int32_t SaveCustomButtons(const char* name, const char* description) {
  const ButtonState& state = State();
  CustomButtonRecord record;
  record.m_currentIndex = state.currentIndex;
  for (const CustomButton& button : state.buttons) record.m_buttons.push_back({button.name, button.command});
  const std::vector<uint8_t> data = record.Encode();
  SettingsStore& store = TheSettingsStore();
  const int32_t removed = store.RemoveRecord(kCustomButtonRecordId, RWCString(name));
  if (std::find(std::begin(kRemoveResultsThatGoOn), std::end(kRemoveResultsThatGoOn), removed) ==
      std::end(kRemoveResultsThatGoOn)) {
    return removed;
  }
  return store.AddRecord(kCustomButtonRecordId, RWCString(name), RWCString(description),
                         static_cast<uint32_t>(data.size()), data.data());
}

// The record is read before anything goes: a set that cannot be read keeps the
// buttons the user has.
int32_t RestoreCustomButtons(const char* name, const char*) {
  CustomButtonRecord record;
  const int32_t result = record.ReadRecord(RWCString(name));
  if (result != 0 && result != kStoreNoSuchRecord) return result;
  ButtonState& state = State();
  state.buttons.clear();
  state.currentIndex = -1;
  if (result == 0) {
    for (const SavedCustomButton& saved : record.m_buttons) {
      CustomButton button;
      button.name = saved.m_name.substr(0, kMaxNameLength);
      button.command = saved.m_command.substr(0, kMaxCommandLength);
      state.buttons.push_back(button);
    }
    Renumber();
    state.currentIndex = static_cast<int32_t>(state.buttons.size()) - 1;
  }
  RebuildBar();
  state.changed = true;
  ShowOpenList();
  return 0;
}

int32_t CustomButtonManageCallback(int32_t ownerId, uint32_t operation, void* argument) {
  switch (operation) {
    case kManageList: {
      NamedSetList* list = static_cast<NamedSetList*>(argument);
      return static_cast<int32_t>(TheSettingsStore().ListAllRecords(kCustomButtonRecordId, list));
    }
    case kManageRestore:
    case kManageSave: {
      const NamedSetRequest* entry = static_cast<const NamedSetRequest*>(argument);
      const bool restore = operation == kManageRestore;
      const int32_t result = restore ? RestoreCustomButtons(entry->m_name.data(), entry->m_description.data())
                                     : SaveCustomButtons(entry->m_name.data(), entry->m_description.data());
      if (result > 0) {
        ReportManageFailure(static_cast<uint32_t>(result),
                            restore ? "Custom Buttons not restored." : "Custom Buttons not saved.");
      }
      return result;
    }
    case kManageRemove:
      return TheSettingsStore().RemoveRecord(kCustomButtonRecordId, static_cast<const NamedSetRequest*>(argument)->m_name);
    case kManageOpened:
      State().messageOwner = ownerId;
      return 0;
    case kManageClosed:
      State().messageOwner = kNoLayerId;
      return 0;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------------

CustomButtonsDialog::CustomButtonsDialog() : DialogBody(DialogTemplate{"CUSBUTN", kCustomButtonsHelpContext}) {}

void CustomButtonsDialog::OnInitialise() {
  GuiWaitScope wait;
  ButtonState& state = State();
  state.changed = false;
  state.backup = state.buttons;
  state.backupIndex = state.currentIndex;
  state.messageOwner = kNoLayerId;
  state.openList = this;
  ShowList();
}

// Every row is a tab, the name, a tab and the command; the list's count is the
// buttons'. Add while fewer than eight; Modify and Delete with a selected button.
void CustomButtonsDialog::ShowList() {
  if (!IsOpen()) return;
  GuiWindowLayer& layer = Layer();
  ButtonState& state = State();
  const int32_t id = DialogId();
  layer.SuspendItemRedraw(id, kCustomButtonList);
  layer.ListClear(id, kCustomButtonList);
  for (CustomButton& button : state.buttons) {
    const std::string row = "\t" + button.name + "\t" + button.command;
    layer.ListInsertString(id, kCustomButtonList, -1, row.c_str());
    button.selected = 0;
  }
  layer.ResumeItemRedraw(id, kCustomButtonList);
  const int32_t count = static_cast<int32_t>(state.buttons.size());
  layer.EnableItem(id, kCustomAddButton, count < static_cast<int32_t>(kMaxCustomButtons) ? 1 : 0);
  if (count == 0) {
    layer.EnableItem(id, kCustomModifyButton, 0);
    layer.EnableItem(id, kCustomDeleteButton, 0);
    return;
  }
  if (state.currentIndex < 0 || state.currentIndex >= count) {
    ReportButtonNotFound();
  } else {
    layer.ListSelect(id, kCustomButtonList, state.currentIndex, 1);
    state.buttons[state.currentIndex].selected = 1;
  }
  layer.EnableItem(id, kCustomModifyButton, 1);
  layer.EnableItem(id, kCustomDeleteButton, 1);
}

void CustomButtonsDialog::SelectionChanged() {
  GuiWindowLayer& layer = Layer();
  ButtonState& state = State();
  const int32_t id = DialogId();
  int32_t rows[kMaxCustomButtons] = {};
  const int32_t selected = std::max(0, layer.ListGetSelItems(id, kCustomButtonList, rows, kMaxCustomButtons));
  for (CustomButton& button : state.buttons) button.selected = 0;
  int32_t last = -1;
  for (int32_t i = 0; i < selected; ++i) {
    if (rows[i] < 0 || rows[i] >= static_cast<int32_t>(state.buttons.size())) continue;
    state.buttons[rows[i]].selected = 1;
    last = rows[i];
  }
  if (state.buttons.empty()) {
    layer.EnableItem(id, kCustomAddButton, 1);
    layer.EnableItem(id, kCustomDeleteButton, 0);
    layer.EnableItem(id, kCustomModifyButton, 0);
    state.currentIndex = -1;
    return;
  }
  if (last < 0) {
    layer.EnableItem(id, kCustomDeleteButton, 0);
    layer.EnableItem(id, kCustomModifyButton, 0);
    return;
  }
  layer.EnableItem(id, kCustomDeleteButton, 1);
  layer.EnableItem(id, kCustomModifyButton, selected == 1 ? 1 : 0);
  state.currentIndex = last;
}

void CustomButtonsDialog::DeleteSelected() {
  ButtonState& state = State();
  std::erase_if(state.buttons, [](const CustomButton& button) { return button.selected != 0; });
  Renumber();
  state.currentIndex = static_cast<int32_t>(state.buttons.size()) - 1;
  state.changed = true;
  ShowList();
}

void CustomButtonsDialog::OnControl(int32_t control, int32_t) {
  switch (control) {
    case kCustomButtonList:
      SelectionChanged();
      return;
    case kCustomDeleteButton:
      DeleteSelected();
      return;
    case kCustomAddButton:
    case kCustomModifyButton: {
      CustomButtonEditDialog edit(control == kCustomModifyButton, *this);
      RunModalDialog(edit, DialogId());
      return;
    }
    case kCustomManageButton:
      RunManagementDialog(DialogId(), kCustomManageButton, &CustomButtonManageCallback);
      return;
    default:
      return;
  }
}

void CustomButtonsDialog::OnOk() { CloseAndRebuildBar(kDialogResultOk); }

void CustomButtonsDialog::OnCancel() {
  ButtonState& state = State();
  if (state.changed) {
    GuiWaitScope wait;
    state.buttons = state.backup;
    state.currentIndex = state.backupIndex;
  }
  CloseAndRebuildBar(kDialogResultCancel);
}

void CustomButtonsDialog::CloseAndRebuildBar(int32_t result) {
  State().openList = nullptr;
  Close(result);
  RebuildBar();
}

// ---------------------------------------------------------------------------------

CustomButtonEditDialog::CustomButtonEditDialog(bool modify, CustomButtonsDialog& list)
    : DialogBody(modify ? DialogTemplate{"MODCBUTN", kModifyCustomButtonHelpContext}
                        : DialogTemplate{"ADDCBUTN", kAddCustomButtonHelpContext}),
      m_modify(modify),
      m_list(list) {}

void CustomButtonEditDialog::OnInitialise() {
  GuiWindowLayer& layer = Layer();
  ButtonState& state = State();
  const int32_t id = DialogId();
  if (m_modify && (state.currentIndex < 0 || state.currentIndex >= static_cast<int32_t>(state.buttons.size()))) {
    ReportButtonNotFound();
    Close(kDialogResultCancel);
    return;
  }
  layer.LimitItemText(id, kCustomNameEdit, kMaxNameLength);
  layer.LimitItemText(id, kCustomCommandEdit, kMaxCommandLength);
  if (m_modify) {
    const CustomButton& button = state.buttons[state.currentIndex];
    layer.SetItemText(id, kCustomNameEdit, button.name.c_str());
    layer.SetItemText(id, kCustomCommandEdit, button.command.c_str());
    layer.SelectItemText(id, kCustomNameEdit, 0, -1);
    return;
  }
  layer.SelectItemText(id, kCustomNameEdit, 0, 0);
  layer.EnableItem(id, kDialogOkControl, 0);
  layer.EnableItem(id, kCustomApplyButton, 0);
}

bool CustomButtonEditDialog::ReadFields(std::string* name, std::string* command) {
  GuiWindowLayer& layer = Layer();
  const int32_t id = DialogId();
  char nameText[kMaxNameLength + 1] = {};
  layer.GetItemText(id, kCustomNameEdit, nameText, sizeof nameText);
  if (IsBlank(nameText)) {
    layer.SelectItemText(id, kCustomNameEdit, 0, -1);
    ReportInBox(kMsgEmptyString);
    return false;
  }
  char commandText[kMaxCommandLength + 1] = {};
  layer.GetItemText(id, kCustomCommandEdit, commandText, sizeof commandText);
  if (IsBlank(commandText)) {
    layer.SelectItemText(id, kCustomCommandEdit, 0, -1);
    ReportInBox(kMsgEmptyString);
    return false;
  }
  *name = nameText;
  *command = commandText;
  return true;
}

void CustomButtonEditDialog::Append(const std::string& name, const std::string& command) {
  ButtonState& state = State();
  CustomButton button;
  button.index = static_cast<int32_t>(state.buttons.size());
  button.name = name;
  button.command = command;
  state.buttons.push_back(button);
  state.currentIndex = button.index;
  state.changed = true;
}

void CustomButtonEditDialog::OnOk() {
  std::string name;
  std::string command;
  if (!ReadFields(&name, &command)) return;
  ButtonState& state = State();
  if (m_modify) {
    CustomButton& button = state.buttons[state.currentIndex];
    button.name = name;
    button.command = command;
    state.changed = true;
    m_list.ShowList();
    Close(kDialogResultOk);
    return;
  }
  // The Add button is off with eight; a ninth never gets into the list.
  if (state.buttons.size() < kMaxCustomButtons) Append(name, command);
  Close(kDialogResultOk);
  m_list.ShowList();
}

// The button is added and the dialog is ready for the next one; it closes with the
// eighth.
void CustomButtonEditDialog::Apply() {
  std::string name;
  std::string command;
  if (!ReadFields(&name, &command)) return;
  ButtonState& state = State();
  if (state.buttons.size() < kMaxCustomButtons) Append(name, command);
  GuiWindowLayer& layer = Layer();
  const int32_t id = DialogId();
  layer.SetItemText(id, kCustomNameEdit, "");
  layer.SetItemText(id, kCustomCommandEdit, "");
  layer.SelectItemText(id, kCustomNameEdit, 0, 0);
  layer.SetDefaultButton(id, kCustomApplyButton, kDialogOkControl);
  layer.EnableItem(id, kDialogOkControl, 0);
  layer.EnableItem(id, kCustomApplyButton, 0);
  ApplySucceeded();
  if (state.buttons.size() >= kMaxCustomButtons) Close(kDialogResultOk);
  m_list.ShowList();
}

void CustomButtonEditDialog::OnCancel() {
  Close(kDialogResultCancel);
  if (!m_modify) State().currentIndex = State().buttons.empty() ? -1 : 0;
}

void CustomButtonEditDialog::OnControl(int32_t control, int32_t notification) {
  if (m_modify) return;
  if ((control == kCustomNameEdit || control == kCustomCommandEdit) && notification == kNotifyEditChange) {
    Layer().EnableItem(DialogId(), kDialogOkControl, 1);
    Layer().EnableItem(DialogId(), kCustomApplyButton, 1);
  } else if (control == kCustomApplyButton) {
    Apply();
  }
}

// ---------------------------------------------------------------------------------

void ShowCustomButtonsDialog() {
  static CustomButtonsDialog dialog;
  RunModalDialog(dialog, kNoLayerId);
}

void InstallCustomButtons() {
  SetCustomButtonSetOperations(&SaveCustomButtons, &RestoreCustomButtons);
  GuiWindowLayer* layer = Layer();
  if (layer == nullptr) return;
  layer->RemoveMenuHandler(kCommandCustomButtons);
  layer->AddMenuHandler(kCommandCustomButtons, &ShowCustomButtonsMenuCommand);
  for (int32_t slot = 0; slot < kCustomButtonSlots; ++slot) {
    const uint32_t command = kFirstCustomButtonCommand + static_cast<uint32_t>(slot);
    layer->RemoveMenuHandler(command);
    layer->AddMenuHandler(command, &RunButtonMenuCommand);
  }
}

void ResetCustomButtons() { State() = ButtonState{}; }

}  // namespace zentor
