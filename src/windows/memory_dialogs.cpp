#include "windows/memory_dialogs.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/view_kind.h"
#include "core/window_layer.h"
#include "gui/dialog_body.h"
#include "gui/dialog_description_file.h"
#include "gui/frame_children.h"
#include "gui/gui_window_layer.h"
#include "gui/manage_operations.h"
#include "gui/management_dialog.h"
#include "gui/named_forms.h"
#include "gui/pane_services.h"
#include "gui/view_dispatcher.h"
#include "gui/window_table.h"

namespace zentor {

namespace {

constexpr const char* kElementTypes[kMemoryElementTypeCount] = {"CHAR", "ORD1",  "ORD2", "ORD4", "ORD8",  "INT1",
                                                                "INT2", "INT4",  "INT8", "REAL4", "REAL8", "REAL10"};
constexpr const char* kBases[kMemoryBaseCount] = {"Hex", "Decimal", "Binary"};
constexpr uint8_t kRadixes[kMemoryBaseCount] = {16, 10, 2};
constexpr uint32_t kFirstRealType = 9;
constexpr uint32_t kDecimalBase = 1;

constexpr uint32_t kMsgSymbolNotKnown = 335;
constexpr uint32_t kMsgRangeNeeded = 75;
constexpr uint32_t kMsgFileExists = 116;
constexpr const char* kOverwriteQuestion = "The file already exists.  Do you want to overwrite?";
constexpr int32_t kTextRoom = static_cast<int32_t>(MemoryDisplayRequest::kTextSize);

struct MemoryDialogState {
  MemoryDisplaySettings cancelCopy;
  int32_t displayId = kNoLayerId;
  int32_t displayOwner = 0;
  int32_t saveId = kNoLayerId;
  int32_t saveOwner = 0;
  std::string fileName = "memsave.dat";
  uint32_t append = 0;
  uint32_t appendToggled = 0;
  MemoryDisplaySettings saveCopy;
  int32_t managementId = kNoLayerId;
};

MemoryDialogState& State() {
  static MemoryDialogState state;
  return state;
}

GuiWindowLayer& Layer() { return *InstalledGuiWindowLayer(); }

int32_t FrameId() {
  for (int32_t id = 0; id < kLayerSlotCount; ++id) {
    if (Layer().GetWindowType(id) == static_cast<int32_t>(kLayerFrame)) return id;
  }
  return kNoLayerId;
}

// Writes `text` into a request field: at most its room less the terminator.
void CopyText(char (&field)[MemoryDisplayRequest::kTextSize], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

std::string ItemText(int32_t dialog, int32_t item) {
  char buffer[MemoryDisplayRequest::kTextSize] = {};
  Layer().GetItemText(dialog, item, buffer, kTextRoom);
  return buffer;
}

// A selection outside a list (none made) keeps what the settings held.
uint32_t ListSelection(int32_t dialog, int32_t item, uint32_t count, uint32_t current) {
  const int32_t selected = Layer().ComboGetSelection(dialog, item);
  return selected >= 0 && static_cast<uint32_t>(selected) < count ? static_cast<uint32_t>(selected) : current;
}

bool IsRealType(uint32_t typeIndex) { return typeIndex >= kFirstRealType; }

void FillLists(int32_t dialog, const MemoryDisplaySettings& settings) {
  Layer().ComboClear(dialog, kMemoryTypeList);
  Layer().ComboClear(dialog, kMemoryBaseList);
  for (const char* type : kElementTypes) Layer().ComboAddString(dialog, kMemoryTypeList, type);
  for (const char* base : kBases) Layer().ComboAddString(dialog, kMemoryBaseList, base);
  Layer().ComboSelect(dialog, kMemoryTypeList, static_cast<int32_t>(settings.m_typeIndex), 1);
  Layer().ComboSelect(dialog, kMemoryBaseList, static_cast<int32_t>(settings.m_baseIndex), 1);
}

// A real type is shown in decimal only.
void RestrictBaseToType(int32_t dialog, uint32_t typeIndex) {
  if (IsRealType(typeIndex)) {
    Layer().ComboSelect(dialog, kMemoryBaseList, static_cast<int32_t>(kDecimalBase), 1);
    Layer().EnableItem(dialog, kMemoryBaseList, 0);
  } else {
    Layer().EnableItem(dialog, kMemoryBaseList, 1);
  }
}

// The Memory Display dialog's controls show the settings.
void ShowDisplaySettings(int32_t dialog, MemoryDisplaySettings& settings) {
  Layer().ComboSelect(dialog, kMemoryTypeList, static_cast<int32_t>(settings.m_typeIndex), 1);
  Layer().ComboSelect(dialog, kMemoryBaseList, static_cast<int32_t>(settings.m_baseIndex), 1);
  Layer().SetItemText(dialog, kMemoryStartEdit, settings.m_startText.c_str());
  Layer().SetItemText(dialog, kMemoryEndEdit, settings.m_endText.c_str());
  Layer().CheckRadioItem(dialog, static_cast<int32_t>(settings.m_rangeChoice), kMemoryNoRangeRadio,
                         kMemoryEndAddressRadio);
  Layer().EnableItem(dialog, kMemoryEndEdit, settings.m_rangeChoice == kMemoryRangeNone ? 0 : 1);
}

// The four values the OK of Memory Display and the management's save take.
void ReadDisplayControls(int32_t dialog, MemoryDisplaySettings& settings) {
  settings.m_startText = ItemText(dialog, kMemoryStartEdit);
  settings.m_endText = ItemText(dialog, kMemoryEndEdit);
  settings.m_typeIndex = ListSelection(dialog, kMemoryTypeList, kMemoryElementTypeCount, settings.m_typeIndex);
  settings.m_baseIndex = ListSelection(dialog, kMemoryBaseList, kMemoryBaseCount, settings.m_baseIndex);
}

void SetRangeChoice(MemoryDisplayRequest& request, uint32_t choice) {
  const bool lengthChosen = choice == kMemoryRangeLength;
  if ((lengthChosen && request.lengthMode != 1) || (choice == kMemoryRangeEndAddress && request.lengthMode == 1)) {
    request.changeFlags |= 0x20;
  }
  request.lengthMode = lengthChosen ? 1 : 0;
}

TextPane* OwnerPane(int32_t ownerId) {
  WinSuper* owner = WindowTable::Get(ownerId);
  return owner != nullptr ? &owner->GetTextPane() : nullptr;
}

// The memory manager's check of one field of the request (0x57). A refusal is
// reported (an unknown start naming its text) and the field's text selected for
// correction; its number is the answer.
int32_t CheckField(int32_t dialog, TextPane* pane, uint32_t field) {
  MemoryDisplayRequest& request = TheMemoryDisplayRequest();
  request.fieldId = field;
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommandForKind(status, kViewMemory, pane, kGuiCheckMemoryField,
                                       reinterpret_cast<intptr_t>(&request));
  if (status.IsOkay()) return 0;
  if (field == kMemoryStartEdit && status.Number() == kMsgSymbolNotKnown) status.SetArg(0, request.startText);
  status.Report();
  Layer().SelectItemText(dialog, static_cast<int32_t>(field), 0, -1);
  return static_cast<int32_t>(status.Number());
}

// The two dialogs as the dialog framework runs them from their templates. The body
// functions close their dialog themselves; one the framework opened is closed through
// its DialogBody, so the framework never keeps the slot of a dialog that has gone.
class MemoryDialog final : public DialogBody {
 public:
  using Event = int32_t (*)(NativeWindow, int32_t, NativeWindow);
  MemoryDialog(const DialogTemplate& dialogTemplate, Event event, bool display)
      : DialogBody(dialogTemplate), m_event(event), m_display(display) {}

  void Finish(int32_t result) { Close(result); }
  // What the body answered to the last OK.
  int32_t OkAnswer() const { return m_okAnswer; }

 protected:
  void OnInitialise() override {
    m_okAnswer = -1;
    Run(kDialogInit);
  }
  void OnOk() override { m_okAnswer = Run(kDialogOk); }
  void OnCancel() override { Run(kDialogCancel); }
  // The edits and (in Save Memory) the lists change nothing until OK; the type list of
  // Memory Display restricts the base as soon as its selection changes.
  void OnControl(int32_t control, int32_t notification) override {
    switch (control) {
      case kMemoryNoRangeRadio:
        if (m_display) Run(control);
        break;
      case kMemoryLengthRadio:
      case kMemoryEndAddressRadio:
        Run(control);
        break;
      case kMemoryTypeList:
        if (m_display && notification == kNotifyListSelectionChange) Run(control);
        break;
      case kMemoryAppendCheck:
        if (!m_display) Run(control);
        break;
      case kMemoryManageButton:
        if (m_display) RunManagementDialog(DialogId(), kMemoryManageButton, &MemorySettingsManageCallback);
        break;
      default:
        break;
    }
  }

 private:
  int32_t Run(int32_t event) {
    return m_event(Layer().Handle(DialogId()), event, static_cast<NativeWindow>(Parameter()));
  }

  Event m_event;
  bool m_display;
  int32_t m_okAnswer = -1;
};

MemoryDialog& MemoryDisplayBody();
MemoryDialog& MemorySaveBody();

void CloseDialog(int32_t& id, int32_t result) {
  for (MemoryDialog* body : {&MemoryDisplayBody(), &MemorySaveBody()}) {
    if (body->IsOpen() && body->DialogId() == id) {
      body->Finish(result);
      id = kNoLayerId;
      return;
    }
  }
  Layer().CloseWindow(id);
  Layer().Destroy(id);
  id = kNoLayerId;
}

int32_t RegisterDialog(NativeWindow dialog) {
  const int32_t id = Layer().Register(dialog, kLayerModalDialog, 0);
  if (id == kNoLayerId) ShowWarningMessage(FrameId());
  return id;
}

int32_t OwnerId(NativeWindow owner) {
  if (owner == 0) return 0;
  const int32_t id = Layer().IdOf(owner);
  return id >= 0 ? id : 0;
}

// ---------------------------------------------------------------------------------

int32_t DisplayInit(NativeWindow dialog, NativeWindow owner) {
  MemoryDialogState& state = State();
  MemoryDisplaySettings& settings = TheMemoryDisplaySettings();
  state.displayId = RegisterDialog(dialog);
  state.displayOwner = OwnerId(owner);
  const int32_t id = state.displayId;
  FillLists(id, settings);
  Layer().SetItemText(id, kMemoryStartEdit, settings.m_startText.c_str());
  Layer().SetItemText(id, kMemoryEndEdit, settings.m_endText.c_str());
  Layer().CheckRadioItem(id, static_cast<int32_t>(settings.m_rangeChoice), kMemoryNoRangeRadio,
                         kMemoryEndAddressRadio);
  if (settings.m_rangeChoice == kMemoryRangeNone) {
    settings.m_endText.clear();
    Layer().SetItemText(id, kMemoryEndEdit, "");
    Layer().EnableItem(id, kMemoryEndEdit, 0);
  }
  if (IsRealType(settings.m_typeIndex)) RestrictBaseToType(id, settings.m_typeIndex);
  Layer().SelectItemText(id, kMemoryStartEdit, 0, 1);
  TheMemoryDisplayRequest().changeFlags = kMemoryAllChanges;
  state.cancelCopy = settings;
  state.saveCopy = settings;
  return 0;
}

// 1. The controls go into the settings and the settings into the request.
// 2. The manager checks the start and then the range against the owner's pane; a
//    refused field is selected for correction and the dialog stays open.
// 3. Checked, the dialog closes; the owning Memory window shows the request (1250), or,
//    without an owner, the caller makes a Memory window (0).
int32_t DisplayOk() {
  MemoryDialogState& state = State();
  MemoryDisplaySettings& settings = TheMemoryDisplaySettings();
  const int32_t id = state.displayId;
  ReadDisplayControls(id, settings);
  ApplyMemoryDisplaySettings(settings, TheMemoryDisplayRequest());
  TextPane* pane = OwnerPane(state.displayOwner);
  if (const int32_t refused = CheckField(id, pane, kMemoryStartEdit)) return refused;
  if (const int32_t refused = CheckField(id, pane, kMemoryEndEdit)) return refused;
  CloseDialog(state.displayId, kDialogResultOk);
  if (WinSuper* owner = WindowTable::Get(state.displayOwner)) {
    owner->OnRefresh(1);
    return kMemoryOwnerRefreshed;
  }
  return 0;
}

int32_t DisplayCancel() {
  MemoryDialogState& state = State();
  TheMemoryDisplaySettings() = state.cancelCopy;
  CloseDialog(state.displayId, kDialogResultCancel);
  Layer().ReactivateAfterClose(kNoLayerId);
  return 0;
}

// ---------------------------------------------------------------------------------

int32_t SaveInit(NativeWindow dialog, NativeWindow owner) {
  MemoryDialogState& state = State();
  state.saveId = RegisterDialog(dialog);
  state.saveOwner = OwnerId(owner);
  state.saveCopy = TheMemoryDisplaySettings();
  const MemoryDisplaySettings& copy = state.saveCopy;
  const int32_t id = state.saveId;
  FillLists(id, copy);
  Layer().SetItemText(id, kMemoryFileNameEdit, state.fileName.c_str());
  Layer().SetItemText(id, kMemoryStartEdit, copy.m_startText.c_str());
  Layer().SetItemText(id, kMemoryEndEdit, copy.m_endText.c_str());
  Layer().CheckItem(id, kMemoryAppendCheck, state.append != 0 ? 1 : 0);
  state.appendToggled = state.append;
  // "No Range" is no choice here: both buttons stay clear until one is chosen.
  Layer().CheckRadioItem(id, static_cast<int32_t>(copy.m_rangeChoice), kMemoryLengthRadio, kMemoryEndAddressRadio);
  Layer().SelectItemText(id, kMemoryFileNameEdit, 0, 1);
  TheMemoryDisplayRequest().overwrite = 0;
  return 0;
}

// 1. The file name, append switch, format and range go into the request, each change
//    with its flag.
// 2. Without a length or end choice nothing is saved (75).
// 3. The manager checks the file name, the start and the range; a refused file name or
//    start stops the save (a name the check refused is never written to).
// 4. An existing file is asked about once: OK saves over it, Cancel keeps the dialog.
int32_t SaveOk(bool overwriteAnswered) {
  MemoryDialogState& state = State();
  MemoryDisplayRequest& request = TheMemoryDisplayRequest();
  MemoryDisplaySettings& copy = state.saveCopy;
  const int32_t id = state.saveId;
  state.fileName = ItemText(id, kMemoryFileNameEdit);
  if (state.fileName != request.fileName) CopyText(request.fileName, state.fileName);
  state.append = state.appendToggled;
  request.append = state.append;
  copy.m_typeIndex = ListSelection(id, kMemoryTypeList, kMemoryElementTypeCount, copy.m_typeIndex);
  copy.m_baseIndex = ListSelection(id, kMemoryBaseList, kMemoryBaseCount, copy.m_baseIndex);
  if (copy.m_typeIndex != request.typeIndex) {
    request.typeIndex = copy.m_typeIndex;
    request.changeFlags |= 0x01;
  }
  if (MemoryBaseRadix(copy.m_baseIndex) != request.radix) {
    request.radix = MemoryBaseRadix(copy.m_baseIndex);
    request.changeFlags |= 0x02;
  }
  copy.m_startText = ItemText(id, kMemoryStartEdit);
  copy.m_endText = ItemText(id, kMemoryEndEdit);
  if (copy.m_startText != request.startText) {
    CopyText(request.startText, copy.m_startText);
    request.changeFlags |= 0x08;
  }
  if (copy.m_endText != request.endText) {
    CopyText(request.endText, copy.m_endText);
    request.changeFlags |= 0x10;
  }
  if (copy.m_rangeChoice != kMemoryRangeLength && copy.m_rangeChoice != kMemoryRangeEndAddress) {
    DVError missing(kMsgRangeNeeded, kSeverityError, kDisplayByFocus);
    missing.Report();
    return kMsgRangeNeeded;
  }
  SetRangeChoice(request, copy.m_rangeChoice);
  request.noRange = 0;

  TextPane* pane = OwnerPane(state.saveOwner);
  if (const int32_t refused = CheckField(id, pane, kMemoryFileNameEdit)) return refused;
  if (const int32_t refused = CheckField(id, pane, kMemoryStartEdit)) return refused;
  CheckField(id, pane, kMemoryEndEdit);
  DVError status(0, 0, kDisplayByFocus);
  {
    WaitCursor wait(kPumpCursorMessages);
    ViewDispatcher::RunGuiCommandForKind(status, kViewMemory, pane, kGuiSaveMemory,
                                         reinterpret_cast<intptr_t>(&request));
  }
  if (status.IsOkay()) {
    CloseDialog(state.saveId, kDialogResultOk);
    Layer().ReactivateAfterClose(kNoLayerId);
    return 0;
  }
  if (status.Number() == kMsgFileExists && !overwriteAnswered) {
    if (Layer().ShowMessageBox(id, kMessageBoxOkCancel, kOverwriteQuestion) == kMessageBoxAnswerOk) {
      request.overwrite = 1;
      return SaveOk(true);
    }
    request.overwrite = 0;
    return kMsgFileExists;
  }
  status.Report();
  return static_cast<int32_t>(status.Number());
}

int32_t SaveCancel() {
  CloseDialog(State().saveId, kDialogResultCancel);
  Layer().ReactivateAfterClose(kNoLayerId);
  return 0;
}

}  // namespace

const char* MemoryElementTypeText(uint32_t index) { return index < kMemoryElementTypeCount ? kElementTypes[index] : ""; }
const char* MemoryBaseText(uint32_t index) { return index < kMemoryBaseCount ? kBases[index] : ""; }
uint8_t MemoryBaseRadix(uint32_t index) { return index < kMemoryBaseCount ? kRadixes[index] : 16; }

void ApplyMemoryDisplaySettings(const MemoryDisplaySettings& settings, MemoryDisplayRequest& request) {
  if (settings.m_typeIndex != request.typeIndex) {
    request.typeIndex = settings.m_typeIndex;
    request.changeFlags |= 0x01;
  }
  if (MemoryBaseRadix(settings.m_baseIndex) != request.radix) {
    request.radix = MemoryBaseRadix(settings.m_baseIndex);
    request.changeFlags |= 0x02;
  }
  if (settings.m_startText != request.startText) {
    CopyText(request.startText, settings.m_startText);
    request.changeFlags |= 0x08;
  }
  if (settings.m_endText != request.endText) {
    CopyText(request.endText, settings.m_endText);
    request.changeFlags |= 0x10;
  }
  SetRangeChoice(request, settings.m_rangeChoice);
  const bool noRange = settings.m_rangeChoice == kMemoryRangeNone;
  if (noRange != (request.noRange == 1)) request.changeFlags |= 0x40;
  request.noRange = noRange ? 1 : 0;
}

int32_t MemoryDisplayDialogEvent(NativeWindow dialog, int32_t event, NativeWindow owner) {
  MemoryDialogState& state = State();
  MemoryDisplaySettings& settings = TheMemoryDisplaySettings();
  const int32_t id = state.displayId;
  switch (event) {
    case kDialogInit:
      return DisplayInit(dialog, owner);
    case kDialogOk:
      return DisplayOk();
    case kDialogCancel:
      return DisplayCancel();
    case kMemoryNoRangeRadio:
      settings.m_rangeChoice = kMemoryRangeNone;
      settings.m_endText.clear();
      Layer().SetItemText(id, kMemoryEndEdit, "");
      Layer().EnableItem(id, kMemoryEndEdit, 0);
      return 0;
    case kMemoryLengthRadio:
    case kMemoryEndAddressRadio:
      settings.m_rangeChoice = static_cast<uint32_t>(event);
      Layer().EnableItem(id, kMemoryEndEdit, 1);
      Layer().SelectItemText(id, kMemoryEndEdit, 0, -1);
      return 0;
    case kMemoryTypeList:
      RestrictBaseToType(id, ListSelection(id, kMemoryTypeList, kMemoryElementTypeCount, settings.m_typeIndex));
      return 0;
    case kMemoryManageButton:
      RunManagementDialog(id, kMemoryManageButton, &MemorySettingsManageCallback);
      return 0;
    default:
      return 0;
  }
}

int32_t MemorySaveDialogEvent(NativeWindow dialog, int32_t event, NativeWindow owner) {
  MemoryDialogState& state = State();
  switch (event) {
    case kDialogInit:
      return SaveInit(dialog, owner);
    case kDialogOk:
      return SaveOk(false);
    case kDialogCancel:
      return SaveCancel();
    case kMemoryLengthRadio:
    case kMemoryEndAddressRadio:
      state.saveCopy.m_rangeChoice = static_cast<uint32_t>(event);
      return 0;
    case kMemoryAppendCheck:
      state.appendToggled = state.appendToggled != 0 ? 0 : 1;
      return 0;
    default:
      return 0;
  }
}

namespace {

MemoryDialog& MemoryDisplayBody() {
  static MemoryDialog dialog(DialogTemplate{"MEMWIN", kMemoryDisplayHelpContext}, &MemoryDisplayDialogEvent, true);
  return dialog;
}

MemoryDialog& MemorySaveBody() {
  static MemoryDialog dialog(DialogTemplate{"MEMSAV", kMemorySaveHelpContext}, &MemorySaveDialogEvent, false);
  return dialog;
}

// The owner's window handle is the dialogs' init parameter (0: none).
NativeWindow OwnerHandle(int32_t ownerId) {
  if (ownerId <= 0) return 0;
  const NativeWindow handle = Layer().Handle(ownerId);
  return handle == kBadNativeWindow ? 0 : handle;
}

}  // namespace

// Confirmed without an owner, the dialog asks for a Memory window, which is made once
// the dialog has gone, so that the new window takes the activation from it.
void ShowMemoryDisplayDialog(int32_t ownerId) {
  if (InstalledGuiWindowLayer() == nullptr) return;
  const NativeWindow owner = OwnerHandle(ownerId);
  MemoryDialog& dialog = MemoryDisplayBody();
  const int32_t result = RunModalDialog(dialog, owner != 0 ? ownerId : kNoLayerId, static_cast<intptr_t>(owner));
  if (result == kDialogResultOk && dialog.OkAnswer() == 0) CreateChildWindow(FrameId(), kViewMemory);
}

void ShowMemorySaveDialog(int32_t ownerId) {
  if (InstalledGuiWindowLayer() == nullptr) return;
  const NativeWindow owner = OwnerHandle(ownerId);
  RunModalDialog(MemorySaveBody(), owner != 0 ? ownerId : kNoLayerId, static_cast<intptr_t>(owner));
}

const char* MemorySaveFileName() { return State().fileName.c_str(); }

void ResetMemoryDialogs() {
  State() = MemoryDialogState{};
  TheMemoryDisplaySettings() = MemoryDisplaySettings{};
  TheMemoryDisplayRequest() = MemoryDisplayRequest{};
}

int32_t MemorySettingsManageCallback(int32_t window, uint32_t event, void* pointer) {
  MemoryDialogState& state = State();
  MemoryDisplaySettings& settings = TheMemoryDisplaySettings();
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  const auto* entry = static_cast<const NamedSetRequest*>(pointer);
  switch (event) {
    case kManageList: {
      auto* list = static_cast<NamedSetList*>(pointer);
      list->m_count = store.ListAllRecords(kMemoryDisplayRecordId, list);
      return 0;
    }
    case kManageRestore: {
      const int32_t result = settings.ReadRecord(entry->m_name);
      if (state.displayId != kNoLayerId) ShowDisplaySettings(state.displayId, settings);
      return result;
    }
    case kManageSave: {
      if (state.displayId != kNoLayerId) ReadDisplayControls(state.displayId, settings);
      std::vector<uint8_t> image(MemoryDisplaySettings::kRecordSize);
      settings.CopyTo(image.data());
      return store.AddRecord(kMemoryDisplayRecordId, entry->m_name.data(), entry->m_description.data(),
                             MemoryDisplaySettings::kRecordSize, image.data());
    }
    case kManageRemove:
      return store.RemoveRecord(kMemoryDisplayRecordId, entry->m_name);
    case kManageOpened:
      state.managementId = window;
      return 0;
    case kManageClosed:
      state.managementId = kNoLayerId;
      return 0;
    default:
      return 0;
  }
}

int32_t MemorySettingsLoadHandler(int32_t, uint32_t code, const DialogEntryInfo& entry) {
  if (code != kFormLoadRequest) return 0;
  MarkRegisteredChanged(kRecordTargetMemory, CurrentViewpoint());
  MemoryDisplaySettings& settings = TheMemoryDisplaySettings();
  const int32_t result = settings.ReadRecord(RWCString(entry.m_name));
  ApplyMemoryDisplaySettings(settings, TheMemoryDisplayRequest());
  return result;
}

}  // namespace zentor
