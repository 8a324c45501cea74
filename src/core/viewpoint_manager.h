#pragma once
// The records of the viewpoints the debugger works in: per viewpoint its
// handle, its alias (at most 8 characters), its symbol context, its call-stack frame
// list and its run state. The core asks it for a viewpoint's display name (error
// headers), looks viewpoints up by alias or text (viewpoint selection in commands)
// and keeps the current viewpoint's symbol context in it.

#include "core/viewpoint_handle.h"
#include "support/rw_cstring.h"

#include <cstdint>

namespace zentor {

class SymbolContext;
class FrameList;

class ViewpointManager {
 public:
  static constexpr uint32_t kMaxAliasLength = 8;
  // Characters of a display name between its brackets at most.
  static constexpr uint32_t kMaxDisplayNameLength = 63;
  static constexpr uint32_t kRunStateRunning = 1;

  // Adds a record for the handle (or finds the existing one); returns its index.
  static int32_t AddViewpoint(ViewpointHandle handle);
  // The same with the alias the target proposes for it (cut to 63 characters; the
  // 8-character limit is for aliases users set).
  static int32_t AddViewpoint(ViewpointHandle handle, const char* proposedAlias);
  // Forgets the record of the handle (by value); later indexes move down by one.
  static void RemoveViewpoint(ViewpointHandle handle);
  static void RemoveAllViewpoints();
  static uint32_t Count();

  // Sets the alias of the record at `index`; false for a bad index or an alias
  // longer than 8 characters (the record keeps its old alias).
  static bool SetAlias(int32_t index, const char* alias);

  // Makes the viewpoint recorded when a window gained focus current. Without windows
  // nothing is ever recorded, so this does nothing in console mode.
  static void ApplyPendingSelection();

  static uint32_t RunStateOf(ViewpointHandle handle);
  static void SetRunState(ViewpointHandle handle, uint32_t state);
  // Whether the run state of any viewpoint says that its target runs.
  static bool AnyRunning();

  // The handle of the record at `index`, the none handle when out of range.
  static ViewpointHandle HandleAt(int32_t index);
  // The index of the viewpoint whose alias equals the text; otherwise the text is
  // read as a viewpoint's text form and that handle is looked up; -1 when unknown.
  static int32_t FindIndexByAlias(const char* text);

  // "[alias]" when an alias is wanted and set, else "[" + the target's text of the
  // handle + "]", at most 63 characters inside the brackets.
  static RWCString DisplayNameOf(uint32_t value, bool aliasWanted);

  // Stores the context in the current viewpoint's record; -1 when no viewpoint is
  // current (or it has no record), else 0.
  static int32_t SetCurrentSymbolContext(SymbolContext* context);
  static SymbolContext* SymbolContextOf(ViewpointHandle handle);
  // Gives every other viewpoint the symbol context of this one (all threads of a
  // server see the symbols of every module); nothing for a handle without a record.
  static void CopySymbolContextToOthers(ViewpointHandle handle);

  // Every record has a frame list of its own; another can be set in its place (null
  // puts its own back).
  static void SetFrameList(ViewpointHandle handle, FrameList* frames);
  static FrameList* FrameListOf(ViewpointHandle handle);
};

// Writes the display text "[...]" of the viewpoint (alias when `aliasWanted` and one
// is set, else the target's text) into `buffer`, cut to fit `size` bytes with its
// NUL and to 63 characters inside the brackets.
void FormatViewpointName(uint32_t value, char* buffer, uint32_t size, bool aliasWanted);

}  // namespace zentor
