#pragma once
// The Memory Display and Save Memory dialogs: what a Memory window shows (start
// address, optional length or end address, element type, number base) and a stretch of
// target memory saved to a file. Neither builds a command text: both fill the Memory
// windows' MemoryDisplayRequest and send memory requests of kind 5 (the field check
// 0x57 and the save 0x56). The bodies here are portable over the window layer and are
// driven by numbered events (0 initialise, 2 OK, 3 Cancel, or a control id); only the
// dialog procedures are Win32. The display settings keep named sets in the settings
// store (record id 5), through the management dialog and "restore NAME".

#include <cstdint>

#include "gui/dialog_file_format.h"
#include "gui/layer_types.h"
#include "gui/memory_display_settings.h"
#include "windows/memory_window.h"

namespace zentor {

// Controls of the two templates, MEMWIN and MEMSAV.
enum MemoryDialogControl : int32_t {
  kMemoryStartEdit = 1200,
  kMemoryEndEdit = 1201,
  kMemoryNoRangeRadio = 1202,
  kMemoryLengthRadio = 1203,
  kMemoryEndAddressRadio = 1204,
  kMemoryTypeList = 1205,
  kMemoryBaseList = 1206,
  kMemoryManageButton = 1207,
  kMemoryFileNameEdit = 1209,
  kMemoryAppendCheck = 1210,
};

// Dialog events besides the control ids.
inline constexpr int32_t kDialogInit = 0;
inline constexpr int32_t kDialogOk = 2;
inline constexpr int32_t kDialogCancel = 3;
// What the Memory Display body answers to OK when it refreshed the window that owns it:
// no new window is to be made.
inline constexpr int32_t kMemoryOwnerRefreshed = 1250;

inline constexpr uint32_t kMemoryDisplayHelpContext = 30120;
inline constexpr uint32_t kMemorySaveHelpContext = 30280;

// The text of each element type (the request's type index) and of each base.
const char* MemoryElementTypeText(uint32_t index);
const char* MemoryBaseText(uint32_t index);
// The radix of a base index (16, 10 or 2).
uint8_t MemoryBaseRadix(uint32_t index);

// Copies the settings into the request, each difference with its change flag.
void ApplyMemoryDisplaySettings(const MemoryDisplaySettings& settings, MemoryDisplayRequest& request);

// The bodies: `owner` is the init parameter (the owning window, 0 for none). Answer 0
// when done, otherwise a status number (the dialog stays open).
int32_t MemoryDisplayDialogEvent(NativeWindow dialog, int32_t event, NativeWindow owner);
int32_t MemorySaveDialogEvent(NativeWindow dialog, int32_t event, NativeWindow owner);

// Runs a dialog's template (MEMWIN, MEMSAV) modally through the dialog framework over
// the window of `ownerId` (a layer id; 0: the frame, no owner). Memory Display
// confirmed without an owner makes a Memory window for the current viewpoint.
void ShowMemoryDisplayDialog(int32_t ownerId);
void ShowMemorySaveDialog(int32_t ownerId);

// The dialogs' state outlives them: the output file name and the append switch of
// Save Memory ("memsave.dat", off at start), and the layer ids of the open dialogs.
const char* MemorySaveFileName();
// Back to the start of a run (tests).
void ResetMemoryDialogs();

// What the management dialog (the Manage button) asks of the memory form (record id
// 5): 15 list (a NamedSetList), 16 restore, 17 save and 18 remove (a NamedSetRequest),
// 19 opened and 20 closed (the management dialog's layer id). Restore and save read
// and write the open Memory Display dialog's controls.
int32_t MemorySettingsManageCallback(int32_t window, uint32_t event, void* pointer);

// "restore NAME" of a memory form (0x58): the settings of the record and the request
// with them; the next Memory window request carries them. The read status.
int32_t MemorySettingsLoadHandler(int32_t window, uint32_t code, const DialogEntryInfo& entry);

}  // namespace zentor
