#pragma once
// The table of watches: 30 slots (wa[0] .. wa[29]), each free or holding one watched
// expression with the viewpoint it belongs to and the scope address that was current
// when it was defined. Watches are defined by the command language, the source pane
// and the watch dialogs, listed in the command output, and saved to and restored from
// named sets in the settings store.

#include <cstdint>

#include "core/address_descriptor.h"
#include "core/dv_error_code.h"
#include "support/rw_cstring.h"

namespace zentor {

class DVError;
class GrammarObject;
struct NamedSetRequest;
struct WatchDialogRequest;
struct WatchEntry;

inline constexpr uint32_t kWatchSlotCount = 30;
// Modes of WatchTable::SetEnabled.
inline constexpr uint32_t kWatchEnable = 2;
inline constexpr uint32_t kWatchDisable = 3;
// Slot states.
inline constexpr uint8_t kWatchFree = 0;
inline constexpr uint8_t kWatchEnabled = 0xFF;
inline constexpr uint8_t kWatchDisabled = 0x7F;

// Messages of the watch table.
inline constexpr uint32_t kMsgSettingsFileError = 114;
inline constexpr uint32_t kMsgTooManyWatches = 203;
inline constexpr uint32_t kMsgUnknownModule = 334;

class WatchTable {
 public:
  static void Delete(int32_t slot);
  static void DeleteForCurrentViewpoint();
  static void SetEnabled(int32_t slot, uint32_t mode);
  // Defines a watch from texts: the scope (empty: the current scope address; its
  // symbolic text comes back in *scopeText), the expression, enabled or not. The
  // watch replaces slot `slot` only once the new one has parsed and run.
  static int32_t DefineFromText(int32_t slot, RWCString* scopeText, const RWCString& expressionText,
                                uint32_t enabled);
  // The source pane's selected expression; no free slot: 203 in the status.
  static void AddFromGrammarObject(DVErrorCode* status, const GrammarObject& expression);
  static void List(uint32_t all);
  // The longest stored text among the enabled watches of the current viewpoint.
  static uint32_t LongestEnabledText();
  // The Watch window's lines: every enabled watch of the current viewpoint, its shown
  // text padded to `width` so that the ": " line up, then its value evaluated in its
  // own scope ("*ERROR*" when the evaluation fails, "???" when it raises).
  static void WriteWindowLines(uint32_t width);
  static void SaveSet(const NamedSetRequest& request);
  static void RestoreSet(const NamedSetRequest& request);
  // The watch dialogs' requests; the reply is the status's message number.
  static uint32_t HandleDialogRequest(DVError* status, uint32_t code, void* record);
  static void FillEntry(WatchEntry* entry);
  static uint32_t CurrentViewpointSlots(int32_t* slots);
  static uint32_t FreeCount();

  // What a slot holds (tests and the views): its state, viewpoint, shown text and
  // scope address.
  static uint8_t StateOf(uint32_t slot);
  static uint32_t ViewpointOf(uint32_t slot);
  static RWCString ShownText(uint32_t slot);
  static AddressDescriptor ScopeOf(uint32_t slot);
};

// Marks every slot free and forgets its object.
void InitWatchTable();
bool IsWatchSlotFree(uint32_t slot);
uint32_t FreeWatchSlotCount();

// ActionTable slots.
void AddWatchCommand();         // 62
void ShowWatchValuesCommand();  // 63
void DeleteWatchesCommand();    // 78

void BindWatchActions();

}  // namespace zentor
