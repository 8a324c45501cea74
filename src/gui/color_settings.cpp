#include "gui/color_settings.h"

#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/viewpoint_manager.h"
#include "core/window_layer.h"
#include "engine/dialog_records.h"
#include "engine/settings_store.h"
#include "gui/gui_window_layer.h"
#include "gui/manage_operations.h"
#include "gui/message_loop.h"
#include "gui/settings_record.h"

namespace zentor {
namespace {

constexpr const char* kDefaultEntry = "DEFAULT";
constexpr const char* kDefaultDescription = "Default Color Settings";
constexpr const char* kCurrentEntry = "CURRENT";
constexpr const char* kCurrentDescription = "Current Color Settings";
constexpr uint32_t kColourChangeKind = 2;
constexpr int32_t kFirstColorSlot = 1;
constexpr int32_t kLastColorSlot = 8;

struct ColorState {
  ColorTable builtIn = BuiltInColorTable();
  ColorTable working = BuiltInColorTable();
  ColorSet dialog = BuiltInColorTable().m_sets[0];
  uint32_t scheme = kColorSchemeColour;
  ColorSettings::ColorSetLookup lookup = &ViewpointManager::ColorSetOf;
  int32_t manageDialog = -1;
  // Use counts of the slots 1..8 (index 0 unused) and the next slot to hand out (0:
  // none chosen yet).
  uint32_t slotUses[kLastColorSlot + 1] = {};
  int32_t pendingSlot = 0;
};

ColorState& State() {
  static ColorState state;
  return state;
}

void ReadSystemColors(ColorTable& table) {
  for (ColorSet& set : table.m_sets) {
    for (const SystemColorWord& word : kSystemColorWords) {
      set[word.m_element][ColorWordIndex(kColorSchemeColour, word.m_foreground)] =
          WindowLayer::GetSystemElementColor(word.m_layerElement, word.m_layerForeground);
    }
  }
}

// The system-colour words of a set as the built-in table has them (every built-in set
// has the same ones).
void CopySystemWords(const ColorSet& from, ColorSet& to) {
  for (const SystemColorWord& word : kSystemColorWords) {
    const uint32_t index = ColorWordIndex(kColorSchemeColour, word.m_foreground);
    to[word.m_element][index] = from[word.m_element][index];
  }
}

void RefreshWorkingSystemWords(ColorState& state) {
  for (uint32_t set = 0; set < kColorSetCount; ++set) CopySystemWords(state.builtIn.m_sets[set], state.working.m_sets[set]);
  CopySystemWords(state.builtIn.m_sets[0], state.dialog);
}

int32_t AddTable(const char* name, const char* description, const ColorTable& table) {
  const std::vector<uint8_t> data = table.Encode();
  return TheSettingsStore().AddRecord(kColorTableRecordId, RWCString(name), RWCString(description),
                                      static_cast<uint32_t>(data.size()), data.data());
}

int32_t ReadTable(const RWCString& name, ColorTable* table) {
  return ReadSettingsRecord(kColorTableRecordId, name, kColorTableSize,
                            [table](const uint8_t* data, uint32_t length) { return table->Decode(data, length); });
}

int32_t LeastUsedSlot(const ColorState& state) {
  int32_t least = kFirstColorSlot;
  for (int32_t slot = kFirstColorSlot + 1; slot <= kLastColorSlot; ++slot) {
    if (state.slotUses[slot] < state.slotUses[least]) least = slot;
  }
  return least;
}

}  // namespace

uint32_t ColorSettings::GetColor(ViewpointHandle viewpoint, uint32_t element, uint32_t selector) {
  if (element >= kColorElementCount) return kNoColorWord;
  const ColorState& state = State();
  return state.working.m_sets[ColorSetOf(viewpoint)][element][ColorWordIndex(state.scheme, selector == 1)];
}

uint32_t ColorSettings::ColorSetOf(ViewpointHandle viewpoint) {
  const uint32_t value = viewpoint.Value();
  if (value == ViewpointHandle::kNone || value == ViewpointHandle::kReserved || State().lookup == nullptr) return 0;
  const int32_t set = State().lookup(viewpoint);
  // A viewpoint that never got a slot draws like no viewpoint.
  return set >= kFirstColorSlot && set <= kLastColorSlot ? static_cast<uint32_t>(set) : 0;
}

void ColorSettings::SetColorSetLookup(ColorSetLookup lookup) { State().lookup = lookup; }

// 1. The system's colours into every built-in set.
// 2. "DEFAULT" from the built-in table; one already stored stays as it is.
// 3. "CURRENT" into the working table. A stored one keeps its words but for those the
//    system decides, which follow the system. One that cannot be read (missing,
//    damaged or no colour table) leaves the working table the defaults; the defaults
//    are stored as "CURRENT" when none is.
void ColorSettings::Initialize(uint32_t startup) {
  if (startup != 1) return;
  ColorState& state = State();
  ReadSystemColors(state.builtIn);
  AddTable(kDefaultEntry, kDefaultDescription, state.builtIn);
  ColorTable current;
  if (ReadTable(RWCString(kCurrentEntry), &current) == 0) {
    state.working = current;
    RefreshWorkingSystemWords(state);
    return;
  }
  AddTable(kCurrentEntry, kCurrentDescription, state.builtIn);
  for (uint32_t set = 0; set < kColorSetCount; ++set) {
    for (uint32_t element = 0; element < kColorElementCount; ++element) {
      state.working.m_sets[set][element] = state.builtIn.m_sets[set][element];
    }
  }
}

void ColorSettings::ResetDefault() {
  ColorState& state = State();
  ReadSystemColors(state.builtIn);
  RefreshWorkingSystemWords(state);
  TheSettingsStore().RemoveRecord(kColorTableRecordId, RWCString(kDefaultEntry));
  AddTable(kDefaultEntry, kDefaultDescription, state.builtIn);
}

void ColorSettings::OnBlackWhiteNotice(uint32_t word) {
  State().scheme = word == kColourNoticeColour ? kColorSchemeColour : kColorSchemeBlackAndWhite;
}

int32_t ColorSettings::ManageEntry(int32_t dialog, uint32_t operation, void* entry) {
  ColorState& state = State();
  switch (operation) {
    case kManageList:
      TheSettingsStore().ListAllRecords(kColorTableRecordId, static_cast<NamedSetList*>(entry));
      return 1;
    case kManageRestore: {
      ColorTable table;
      const int32_t result = ReadTable(static_cast<const NamedSetRequest*>(entry)->m_name, &table);
      if (result == 0) state.working = table;
      return result;
    }
    case kManageSave: {
      const NamedSetRequest* request = static_cast<const NamedSetRequest*>(entry);
      const std::vector<uint8_t> data = state.working.Encode();
      return TheSettingsStore().AddRecord(kColorTableRecordId, request->m_name, request->m_description,
                                          static_cast<uint32_t>(data.size()), data.data());
    }
    case kManageRemove:
      return TheSettingsStore().RemoveRecord(kColorTableRecordId, static_cast<const NamedSetRequest*>(entry)->m_name);
    case kManageOpened:
      state.manageDialog = dialog;
      return 1;
    case kManageClosed:
      state.manageDialog = -1;
      return 1;
    default:
      return 1;
  }
}

void ColorSettings::ApplyChange() {
  MarkRegisteredChanged(kColourChangeKind, ViewpointHandle(GetCurrentViewpointValue()));
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer(); layer != nullptr && layer->FrameHandle() != 0) {
    PumpWhileBusy(layer->FrameHandle());
  }
}

void ColorSettings::LoadDialogSet(uint32_t set) {
  if (set < kColorSetCount) State().dialog = State().working.m_sets[set];
}

void ColorSettings::SetDialogWord(uint32_t element, bool foreground, uint32_t word) {
  if (element < kColorElementCount) State().dialog[element][ColorWordIndex(State().scheme, foreground)] = word;
}

int32_t ColorSettings::CommitDialogSet(uint32_t set) {
  ColorState& state = State();
  if (set < kColorSetCount) state.working.m_sets[set] = state.dialog;
  TheSettingsStore().RemoveRecord(kColorTableRecordId, RWCString(kCurrentEntry));
  return AddTable(kCurrentEntry, kCurrentDescription, state.working);
}

uint32_t ColorSettings::Scheme() { return State().scheme; }

const ColorTable& ColorSettings::BuiltInTable() { return State().builtIn; }

const ColorTable& ColorSettings::WorkingTable() { return State().working; }

const ColorSet& ColorSettings::DialogSet() { return State().dialog; }

void ColorSettings::Reset() {
  const ColorSetLookup lookup = State().lookup;
  State() = ColorState{};
  State().lookup = lookup;
}

int32_t AllocateViewpointColorSlot() {
  ColorState& state = State();
  if (state.pendingSlot < kFirstColorSlot || state.pendingSlot > kLastColorSlot) state.pendingSlot = LeastUsedSlot(state);
  const int32_t slot = state.pendingSlot;
  ++state.slotUses[slot];
  state.pendingSlot = LeastUsedSlot(state);
  return slot;
}

void ReleaseViewpointColorSlot(int32_t slot) {
  if (slot < kFirstColorSlot || slot > kLastColorSlot) return;
  ColorState& state = State();
  if (state.slotUses[slot] > 0) --state.slotUses[slot];
  state.pendingSlot = slot;
}

}  // namespace zentor
