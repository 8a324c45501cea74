#pragma once
// "restore name": every settings record saved under the name is handed to the loader
// of its record id, which puts those settings back (a Memory window's display, say).
// The loaders are registered by the windows and dialogs that own the settings; the
// table knows which record ids may have one.

#include <cstdint>

#include "gui/dialog_file_format.h"

namespace zentor {

inline constexpr uint32_t kMsgNotAFormName = 220;  // "The name is not a form name."
// The request a loader is called with.
inline constexpr uint32_t kFormLoadRequest = 0x58;

// Loads the settings of one record (its list entry: id, name, description, time, data
// length); answers 0 or the number of the message to raise.
using DialogFormLoadHandler = int32_t (*)(int32_t window, uint32_t code, const DialogEntryInfo& entry);

class DialogFormLoadHandlerTable {
 public:
  // Registers the loader of a record id (null takes it away); false for an id that
  // has no row in the table.
  static bool SetHandler(uint32_t id, DialogFormLoadHandler handler);
  // The loader of the id, null when none.
  static DialogFormLoadHandler Find(uint32_t id);
  // Every loader taken away.
  static void Clear();
};

// The action of "restore": the current token is the name. No record under it raises
// message 220 (ERROR, shown by focus); otherwise each record's loader runs, and a
// failure the last loader answered is raised (ERROR, shown by focus).
void RestoreNamedForms();

}  // namespace zentor
