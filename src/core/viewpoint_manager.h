#pragma once
// The records of the viewpoints the debugger works in: per viewpoint its
// handle, its alias (at most 8 characters when a user or the numbering sets it), its
// symbol context, its call-stack frame list, its run state, the text of its last
// target event, its status-line text and its colour set. The manager decides which
// viewpoint is current (the base of the current-viewpoint stack), applies at the next
// command read the viewpoint of the window that last gained focus, names viewpoints
// for prompts, captions and error headers, and carries the commands that show and
// select viewpoints and set aliases. The target adds and removes viewpoints through
// the target-to-GUI wrappers; the windows it touches are reached through a port the
// GUI installs (ViewpointWindowPort).

#include "core/dv_error.h"
#include "core/viewpoint_handle.h"
#include "support/rw_cstring.h"

#include <cstdint>

namespace zentor {

class SymbolContext;
class FrameList;

// Change kinds the manager marks (besides the status line, kind 11).
inline constexpr uint32_t kRecordCurrentViewpoint = 13;
inline constexpr uint32_t kRecordViewpointList = 14;
inline constexpr uint32_t kRecordViewpointAlias = 15;

inline constexpr uint32_t kMsgAliasInUse = 250;          // "The alias name has been used already."

// Operations of ViewpointManager::ApplyToWindowGroup.
inline constexpr uint32_t kWindowGroupClose = 0;
inline constexpr uint32_t kWindowGroupMinimise = 1;
inline constexpr uint32_t kWindowGroupRestore = 2;

// What the manager asks of the windows: the Command window follows the current
// viewpoint, the Viewpoint dialog and the Window menu list the viewpoints, a
// viewpoint's windows close with it, each viewpoint gets a colour set, and a pending
// selection waits while the busy cursor shows. Without windows every operation does
// nothing (no colour set: 0). The GUI installs its own; the operations that need a
// window table or a dialog act once those exist.
class ViewpointWindowPort {
 public:
  virtual ~ViewpointWindowPort();
  // The Command window's viewpoint (WinSuper::SetViewpoint of its window object).
  virtual void SetCommandWindowViewpoint(ViewpointHandle handle);
  virtual void RepaintCommandWindow();
  // Refills the Viewpoint dialog's list while it is open.
  virtual void RefillViewpointDialog();
  virtual void RebuildWindowMenu();
  // Closes (0), minimises (1) or restores (2) every window of the viewpoint but the
  // Command window.
  virtual void ApplyToWindowGroup(uint32_t value, uint32_t operation);
  // A colour set 1..8 for a new viewpoint (0: none), and its release.
  virtual int32_t AllocateColorSlot();
  virtual void ReleaseColorSlot(int32_t slot);
  // True while the busy cursor is on top of the cursor stack.
  virtual bool BusyCursorOnTop();
  // A viewpoint has gone: each kind of window of it still open (the Command window)
  // hears of it as of an engine change.
  virtual void NotifyViewpointRemoved(uint32_t value);
};

// Installs the GUI's port (the caller keeps it alive); null puts the window-less one
// back. Returns the one installed before.
ViewpointWindowPort* InstallViewpointWindowPort(ViewpointWindowPort* port);

// What goes with a viewpoint when its record goes and the core cannot reach: its
// breakpoints and watches, which the engine keeps, and its symbol context, which the
// symbol tables make. The engine installs its own at start-up; the base keeps them.
class ViewpointStatePort {
 public:
  virtual ~ViewpointStatePort();
  // Called with the removed viewpoint current: its breakpoints cleared, its watches
  // deleted. Reports what fails; never raises.
  virtual void ForgetCurrentViewpointState();
  // A context that no viewpoint holds any more.
  virtual void FreeSymbolContext(SymbolContext* context);
};

// Installs the engine's port (the caller keeps it alive); null puts the base back.
// Returns the one installed before.
ViewpointStatePort* InstallViewpointStatePort(ViewpointStatePort* port);

// What the manager asks of the symbol tables about the contexts its records own: one
// context takes over the tables of another (a reference to each) and keeps its own
// place and search path. The symbol tables install theirs as they make their first
// context, so it is there before any record holds one; the base does nothing.
class SymbolContextPort {
 public:
  virtual ~SymbolContextPort();
  virtual void ShareTables(SymbolContext& target, const SymbolContext& source);
};

// Installs the symbol tables' port (the caller keeps it alive); null puts the base
// back. Returns the one installed before.
SymbolContextPort* InstallSymbolContextPort(SymbolContextPort* port);

class ViewpointManager {
 public:
  static constexpr uint32_t kMaxAliasLength = 8;
  // Characters of a display name between its brackets at most.
  static constexpr uint32_t kMaxDisplayNameLength = 63;
  // A viewpoint text this long or longer names no viewpoint.
  static constexpr uint32_t kMaxSpecLength = 66;
  static constexpr int32_t kRunStateRunning = 1;
  // Further numbers tried when a proposed alias is in use.
  static constexpr uint32_t kAliasNumberingTries = 10;

  // 1. A new record for the handle (alias empty, run state 0, a frame list of its
  //    own); the first record becomes current at once. A handle that has a record
  //    already keeps it (its index is returned).
  // 2. The proposed alias is set; while it is in use, up to 10 further tries append
  //    the next value of the alias counter, cutting the alias so that alias and
  //    number fit 8 characters. A last failure is reported.
  // 3. The viewpoint list changes (kind 14) and the viewpoint gets its colour set.
  static int32_t AddViewpoint(ViewpointHandle handle, const char* proposedAlias = nullptr);
  // Forgets the record of the handle and what hangs on it: its windows close, its
  // breakpoints and watches go, what is left of its windows is told, and its symbol
  // context is freed (tables it shares stay with the other contexts). The viewpoint
  // selected next is applied at the next command read: the record that takes the
  // removed one's place when that was current, the last one when the current index
  // falls off the end. Nothing for a handle without a record.
  static void RemoveViewpoint(ViewpointHandle handle);
  // Every record gone, nothing current, the numbering from the start (a new session).
  // The symbol contexts the records owned are left to the caller to delete
  // (RemoveViewpointsAndTheirContexts of the symbol tables does both).
  static void RemoveAllViewpoints();
  static uint32_t Count();
  static int32_t CurrentIndex();

  // Sets the alias of the record at `index` (empty removes it): a non-empty alias
  // another record has is refused with message 250 left in `status` (ERROR, shown by
  // focus). Otherwise the viewpoint's alias records change (kind 15), the Window menu
  // is rebuilt and the aliases are renumbered. Returns the message number, 0 when set.
  static uint32_t SetAlias(const RWCString& alias, int32_t index, DVError& status);
  // The same for callers with a plain text: false for a bad index, an alias longer
  // than 8 characters or one in use.
  static bool SetAlias(int32_t index, const char* alias);
  // Gives each aliased record the next alias number from 0 (-1 for the others).
  static void RenumberAliases();

  // The current viewpoint becomes the record at `index` (none for a negative one):
  // the base of the viewpoint stack, the Command window's viewpoint; kind 13 changes.
  static void SelectViewpoint(int32_t index);
  // SelectViewpoint when the index is not the current one, or when forced.
  static void SelectIfNeeded(int32_t index, bool force);
  // Selects the record of the handle when it has one and it is not current.
  static void SelectByHandle(ViewpointHandle handle);
  // The viewpoint to make current at the next command read (a window of it gained
  // focus).
  static void SetPendingSelection(ViewpointHandle handle);
  static ViewpointHandle PendingSelection();
  // Makes the pending viewpoint current unless the busy cursor shows or the lock is
  // set; the pending selection is then cleared.
  static void ApplyPendingSelection();
  // Set while the target adds a viewpoint that must not become current before its
  // views have browsed to where it stopped.
  static void SetSelectionLock(bool on);
  static bool SelectionLocked();

  // The Viewpoint dialog's selection, a record index (the dialog finds it from the
  // row's item data, whatever order its list shows); an index out of range changes
  // nothing. A change marks every status-line record (kind 11).
  static void SetDialogSelection(int32_t index);
  // The selected record's index; with `aliasedOnly` the selection first moves to the
  // first aliased record when the selected one has no alias (-1 when none has).
  static int32_t SelectedIndex(bool aliasedOnly);
  static uint32_t AliasedCount();

  // Windows of the viewpoint closed, minimised or restored (never the Command
  // window); nothing for the none handle; another operation is an internal error.
  static void ApplyToWindowGroup(uint32_t value, uint32_t operation);

  // -1 when unknown.
  static int32_t RunStateOf(ViewpointHandle handle);
  static void SetRunState(ViewpointHandle handle, int32_t state);
  // Whether the run state of any viewpoint says that its target runs.
  static bool AnyRunning();

  // The handle of the record at `index`, the none handle when out of range.
  static ViewpointHandle HandleAt(int32_t index);
  // Empty, and -1, for an index out of range.
  static RWCString AliasOf(int32_t index);
  static int32_t AliasNumberOf(int32_t index);
  // The first record whose handle equals this one (the target decides between two
  // different real values); -1.
  static int32_t FindIndexByHandle(ViewpointHandle handle);
  // The index of the viewpoint whose alias equals the text; otherwise the text is
  // read as a viewpoint's text form and that handle is looked up; -1 when unknown.
  static int32_t FindIndexByAlias(const char* text);
  // A viewpoint named as the user writes it: an alias or a text form, with or
  // without its opening '['; a text of 67 characters or more names none.
  static ViewpointHandle ParseViewpointSpec(const char* text);
  // 0 when unknown.
  static int32_t ColorSetOf(ViewpointHandle handle);

  // The text of the viewpoint's last target event ("RUNNING"), shown at the end of
  // its status line, and the status line itself; empty when unknown.
  static void SetEventText(ViewpointHandle handle, const RWCString& text);
  static RWCString EventTextOf(ViewpointHandle handle);
  static void SetStatusText(ViewpointHandle handle, const RWCString& text);
  static RWCString StatusTextOf(ViewpointHandle handle);

  // The alias when one is wanted and set, else the target's text of the handle; at
  // most 63 characters. A target that cannot name the handle raises its failure: the
  // error reports name the viewpoint through here, so a report would come back.
  static RWCString BuildDisplayName(uint32_t value, bool aliasWanted);
  // The same in brackets: "[alias]" or "[" + the target's text + "]".
  static RWCString DisplayNameOf(uint32_t value, bool aliasWanted);

  // Stores the context in the current viewpoint's record, which owns it from then on
  // (each record holds a context of its own; the one it held before is the caller's
  // to free); -1 when no viewpoint is current (or it has no record), else 0.
  static int32_t SetCurrentSymbolContext(SymbolContext* context);
  static SymbolContext* SymbolContextOf(ViewpointHandle handle);
  // Every other viewpoint that has a symbol context takes over the tables of this
  // one's, so that all threads of a server see the symbols of every module; each keeps
  // its own context object, place and search path. A viewpoint without a context stays
  // without; nothing happens when this one has none or no record.
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
