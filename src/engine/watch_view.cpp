#include "engine/watch_view.h"

#include "console/panel.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/view_kind.h"
#include "engine/dialog_records.h"
#include "engine/panel_view.h"
#include "engine/settings_store.h"
#include "engine/watch_table.h"

namespace zentor {
namespace {

// The kind of registered change that makes the views of a viewpoint refill.
constexpr uint32_t kWindowsChanged = 16;

template <typename Record>
const Record& RecordAt(intptr_t argument) {
  const auto* record = reinterpret_cast<const Record*>(argument);
  if (record == nullptr) ZENTOR_INTERNAL_ERROR();
  return *record;
}

}  // namespace

WatchViewManager::~WatchViewManager() = default;

int32_t WatchViewManager::HandleRequest(DVError& status, int32_t code, intptr_t argument) {
  status.Reset();
  DVErrorCode result;
  switch (code) {
    case 0x58:
    case 0xD1:
      WatchTable::RestoreSet(RecordAt<NamedSetRequest>(argument));
      return 0;
    case 0xD0:
      WatchTable::SaveSet(RecordAt<NamedSetRequest>(argument));
      return 0;
    case 0xD2:
      // The store's own code is the reply (0 removed, negative otherwise).
      return TheSettingsStore().RemoveRecord(kWatchSetRecord, RecordAt<RWCString>(argument));
    case 0xD3: {
      auto* list = reinterpret_cast<NamedSetList*>(argument);
      if (list == nullptr) ZENTOR_INTERNAL_ERROR();
      list->m_count = TheSettingsStore().ListAllRecords(kWatchSetRecord, list);
      return 0;
    }
    case 0xD4:
      WatchTable::DeleteForCurrentViewpoint();
      return 0;
    default:
      break;
  }
  if (HandlePanelLifeRequest(*m_pane, code, &result)) {
    // A new window fills itself at the next refresh of the viewpoint's views.
    if (code == kGuiOpened && result.IsOkay()) MarkRegisteredChanged(kWindowsChanged, CurrentViewpoint());
  } else {
    result = Panel::CaptureOutput(m_pane->panel, this, argument);
  }
  return AnswerPanelRequest(*m_pane, code, result, status);
}

uint32_t WatchViewManager::TextWidth() { return WatchTable::LongestEnabledText(); }

DVErrorCode WatchViewManager::WriteContent(intptr_t) {
  WatchTable::WriteWindowLines(TextWidth());
  return DVErrorCode();
}

}  // namespace zentor
