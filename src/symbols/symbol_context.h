#pragma once
// The symbol state of a viewpoint: the symbol tables a load built (the loader state,
// the type-description state and the page cache of the symbol-table file), shared by
// reference counts between contexts, and the place in the program that this context
// looks at (its SourceLocation), which belongs to it alone. Every symbol operation
// works on the context of the current viewpoint, or on the default context while no
// viewpoint has one. Stops, steps and browsing move the location through the context,
// which updates the status line and marks the views that show locations changed.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "symbols/search_path.h"
#include "symbols/source_files.h"
#include "symbols/source_location.h"
#include "symbols/vst_file.h"

#include "core/address_descriptor.h"
#include "core/dv_error_code.h"
#include "core/unsigned_int64.h"
#include "support/rw_cstring.h"

namespace zentor {

class LoaderState;
class ModuleDescriptor;
class PageCache;
class RWOrdered;
class SymbolContext;
class TypeDescriptionState;
struct AddressPair;
struct LineAddress;

// The start of every shared part of a context: the count of contexts that use it. A
// part is made with count 0; the context that makes it adds the first reference and
// the one that drops the last deletes it.
class SharedContextPart {
 public:
  SharedContextPart() = default;
  virtual ~SharedContextPart() = default;
  SharedContextPart(const SharedContextPart&) = delete;
  SharedContextPart& operator=(const SharedContextPart&) = delete;

  uint32_t AddReference() { return ++m_referenceCount; }
  // The count left; a part already at 0 stays at 0.
  uint32_t DropReference() { return m_referenceCount == 0 ? 0 : --m_referenceCount; }
  uint32_t ReferenceCount() const { return m_referenceCount; }
  // The part as the loader library's type-description state, null when it is another
  // (a context made before the library was installed). Asked once per record a load
  // writes, so it is no cast.
  virtual TypeDescriptionState* AsTypeDescriptionState() { return nullptr; }

 private:
  uint32_t m_referenceCount = 0;
};

// One procedure of a module as the location sees it: its name and the first and last
// byte of its code.
struct ProcedureSpan {
  SymbolKey m_name;
  AddressDescriptor m_first;
  AddressDescriptor m_last;
};

// What a module record remembers of the source view that showed it.
struct ModuleViewState {
  uint32_t m_displayWords[2] = {0, 0};
  uint8_t m_flags = 0;
  AddressDescriptor m_address;
};

// The loader state as the context and the location see it: the program's source-file
// table and the questions the location asks of the loaded modules. The loader library
// derives its full state from this class and answers the questions from its module
// records; this base stands for a context with no program loaded (no modules).
class LoaderStateBase : public SharedContextPart {
 public:
  LoaderStateBase();
  ~LoaderStateBase() override;

  SourceFileTable& SourceFiles() { return m_sourceFiles; }
  // The state as the loader library's full state, null for this base (see
  // SharedContextPart::AsTypeDescriptionState).
  virtual LoaderState* AsLoaderState() { return nullptr; }

  // The module whose address ranges hold `address`, trying the context location's
  // current module first; null when none does. A failure of the lookup lands in
  // `status`. A module whose symbols wait in the symbol file is loaded for `context`.
  virtual ModuleDescriptor* ModuleAtAddress(SymbolContext& context, const AddressDescriptor& address,
                                            DVErrorCode& status);
  virtual RWCString ModuleName(const ModuleDescriptor& module) const;
  // The line of `address` in the module (absent when none holds it) and the
  // address's offset from that line's first address.
  virtual void LineAt(ModuleDescriptor& module, const AddressDescriptor& address, OptionalLine& line,
                      OrdinalValue& offset) const;
  // Visits the module's procedures in list order until `visit` answers false.
  virtual void ForEachProcedure(const ModuleDescriptor& module,
                                const std::function<bool(const ProcedureSpan&)>& visit) const;
  // Forgets where the module's source view stood: the low four flag bits and the two
  // display words cleared, the display line -1.
  virtual void ResetModuleDisplayState(ModuleDescriptor& module);
  virtual ModuleViewState ViewStateOf(const ModuleDescriptor& module) const;
  virtual void SaveModuleViewPosition(ModuleDescriptor& module, uint32_t first, uint32_t second);
  // Clears the two display words of every module (after a search path changed).
  virtual void ForgetModuleViewPositions();
  // The addresses of the line records of every module that carry `line`, when there
  // are two or more; null otherwise. The collection is kept for the life of the
  // state; the caller does not own it.
  virtual const RWOrdered* CollectLineAddresses(const OptionalLine& line);

 private:
  SourceFileTable m_sourceFiles;
};

// Makers of the shared parts of new contexts. The loader library installs the maker
// of its state; null restores the plain base.
using LoaderStateFactory = std::unique_ptr<LoaderStateBase> (*)();
using TypeDescriptionFactory = std::unique_ptr<SharedContextPart> (*)();
void SetLoaderStateFactory(LoaderStateFactory factory);
void SetTypeDescriptionFactory(TypeDescriptionFactory factory);
// The makers installed now (null: the plain base).
LoaderStateFactory InstalledLoaderStateFactory();
TypeDescriptionFactory InstalledTypeDescriptionFactory();

// What the source pane learns of a context's location.
struct SourcePosition {
  RWCString m_moduleName;
  // With a module: the address its record gives; without: the end of the location's
  // address space.
  AddressDescriptor m_address;
  // Absent without a module.
  OptionalLine m_line;
  uint32_t m_displayWords[2] = {0, 0};
  uint8_t m_flags = 0;
  const LocationRecord* m_location = nullptr;
};

class SymbolContext {
 public:
  // New shared parts, one reference each, and a new location with an empty search
  // path. This is the default context's constructor.
  SymbolContext();
  // A context for a viewpoint: as above, but the location's search path starts as a
  // copy of the default context's, so each viewpoint inherits the default
  // directories.
  static std::unique_ptr<SymbolContext> CreateForViewpoint();
  // A context for a viewpoint of a program already loaded: the same as
  // CreateForViewpoint followed by taking over `program`'s tables, without making
  // (and at once dropping) tables and a cache file of its own first.
  static std::unique_ptr<SymbolContext> CreateForViewpointOf(const SymbolContext& program);
  ~SymbolContext();
  SymbolContext(const SymbolContext&) = delete;
  // Takes over the other context's tables (a reference to each; its own are dropped)
  // and keeps its own location.
  SymbolContext& operator=(const SymbolContext& other);

  // A number no other context of this run has; the context of a number while it
  // exists (null after it was deleted), so that a holder of a number never reaches a
  // context that has gone.
  uint64_t Serial() const { return m_serial; }
  static SymbolContext* Live(uint64_t serial);

  // The tables, once handed out, are no longer untouched (see HoldsUntouchedTables).
  SharedContextPart& TypeDescription() const {
    m_tablesUntouched = false;
    return *m_typeDescription;
  }
  LoaderStateBase& Loader() const {
    m_tablesUntouched = false;
    return *m_loader;
  }
  PageCache& Cache() const {
    m_tablesUntouched = false;
    return *m_cache;
  }
  SourceLocation& Location() { return *m_location; }
  const SourceLocation& Location() const { return *m_location; }
  // The viewpoint's search path ("SPATH").
  SearchPath& SourcePathList() { return m_location->Path(); }
  SourceFileTable& SourceFiles() const { return Loader().SourceFiles(); }
  // Whether this context's tables were made for it, by the makers installed now, and
  // nothing has reached them since (no accessor handed them out, no other context took
  // them over): they are then what new tables of the same makers would be.
  bool HoldsUntouchedTables() const;
  // A new location (whose search path is the default context's), unless this is the
  // default context.
  void ResetSourceLocation();

  DVErrorCode Status() const { return m_location->Status(); }

  void SetScopeAddress(const AddressDescriptor& address);
  const AddressDescriptor& ScopeAddress() const { return m_location->ScopeAddress(); }
  // One level of save slot: push copies the scope into it and sets the new one.
  void PushScopeAddress(const AddressDescriptor& address);
  void PopScopeAddress();

  // Makes a non-null address the current execution address (after stops, steps,
  // register changes and loads):
  // 1. The browse history is emptied.
  // 2. The scope becomes the address, the location is derived from it, and the
  //    location address becomes it.
  // 3. The status line shows the stop caption; address mode.
  // 4. Location watchers (kind 9) of the current viewpoint are marked changed; the
  //    current execution address becomes it.
  // A null address changes nothing.
  void SetCurrentAddress(const AddressDescriptor& address);
  // Line mode at an address: the location is derived from it, the scope becomes it,
  // the status line shows the browse caption, kind 9 is marked changed.
  void GoToPosition(const AddressDescriptor& address);
  // Only the scope moves; line mode, browse caption, status-line watchers (kind 11)
  // marked changed.
  void BrowseToAddress(const AddressDescriptor& address);
  // Derives the location from the scope again and shows the caption of the mode.
  void RefreshBrowseCaption();

  ModuleDescriptor* ModuleAtAddress(const AddressDescriptor& address, DVErrorCode& status);
  SourcePosition GetPosition() const;
  // See LoaderStateBase::CollectLineAddresses; null for an absent line.
  const RWOrdered* CollectLineAddresses(const OptionalLine& line);
  // The code ranges of a span of lines of this context's current module (see
  // CollectLineRanges, line_ranges.h).
  void CollectLineRanges(const OptionalLine& from, const OptionalLine& to, LineAddress* ranges, uint32_t capacity);

  // The one-step browse history of this context: a count (0 or 1) and the address
  // saved by the last browse jump. Emptied whenever the execution address is set.
  uint32_t BrowseHistoryCount() const { return m_historyCount; }
  const AddressDescriptor& BrowseHistoryEntry() const { return m_historySaved; }
  void ClearBrowseHistory();
  void SaveBrowseHistory(const AddressDescriptor& address);
  // Takes the entry (count down); the saved address.
  AddressDescriptor TakeBrowseHistory();

  // "[Browse]  " or "[Calls (<frame>)] " and the location text.
  RWCString BrowseCaption() const;
  // The location text cut or padded to the status-line width less 24, then the text
  // of the last stop.
  RWCString StopCaption() const;

 private:
  // With `program`, sharing its tables; without, with tables of its own. The search
  // paths' views are not marked: the public constructor marks them, and the viewpoint
  // contexts once their search path is set.
  explicit SymbolContext(const SymbolContext* program);
  // Derives the location record from an address: module, line and procedure.
  void UpdateLocation(const AddressDescriptor& address);
  // The location's address, its module and the module's name; the module.
  ModuleDescriptor* SetLocationModule(const AddressDescriptor& address);
  void UpdateProcedure(const AddressDescriptor& address);
  void DropParts();

  SharedContextPart* m_typeDescription = nullptr;
  LoaderStateBase* m_loader = nullptr;
  PageCache* m_cache = nullptr;
  // The makers of tables made for this context, and whether they are untouched.
  LoaderStateFactory m_loaderMaker = nullptr;
  TypeDescriptionFactory m_typeDescriptionMaker = nullptr;
  mutable bool m_tablesUntouched = false;
  std::unique_ptr<SourceLocation> m_location;
  uint32_t m_historyCount = 0;
  AddressDescriptor m_historySaved;
  uint64_t m_serial = 0;
};

// The context of no viewpoint, created on first use; later calls return the same one.
SymbolContext* GetDefaultSymbolContext();
// The current viewpoint's symbol context, or the default context when no viewpoint
// is current or the current one has none.
SymbolContext* GetCurrentSymbolContextOrDefault();
// The current viewpoint's context, or the default one; never null. While a
// CurrentSymbolContextScope lives, its context.
SymbolContext* GetCurrentSymbolContext();
// Every viewpoint record goes (ViewpointManager::RemoveAllViewpoints) and the symbol
// context each one owned is deleted with it (the default context never); tables the
// contexts shared go with the last of them. The end of a debug session.
void RemoveViewpointsAndTheirContexts();

// Makes a context the one every symbol operation works on for its lifetime (the
// load of a module that waits in the symbol file, done for a context that need not be
// the current viewpoint's). Scopes nest.
class CurrentSymbolContextScope {
 public:
  explicit CurrentSymbolContextScope(SymbolContext* context);
  ~CurrentSymbolContextScope();
  CurrentSymbolContextScope(const CurrentSymbolContextScope&) = delete;
  CurrentSymbolContextScope& operator=(const CurrentSymbolContextScope&) = delete;

 private:
  SymbolContext* m_previous;
};
// The page cache of that context: the provider through which the symbol-table
// operations that take no cache find theirs (installed when the first context is made,
// unless another provider is set).
PageCache* CurrentSymbolContextCache();

// The one-step browse history of the current context: where the user was before a
// browse jump. Each viewpoint has its own, so going back after a viewpoint switch
// never lands on another viewpoint's address.
class BrowseHistory {
 public:
  // Empties the history, saves the current scope address, then goes to `position` in
  // line mode.
  static DVErrorCode Push(const AddressDescriptor& position);
  // Empty: shows the current location. Otherwise the entry is taken; when it equals
  // the location address the current location is shown, else the saved address is
  // gone to in line mode.
  static DVErrorCode Pop();
  static void Clear();
  static uint32_t Count();
};

// Call-stack frame selection on the current viewpoint's frame list: nothing happens
// without a selected frame, when the selected frame has no address, or when the list
// cannot select the new index. Otherwise the new frame is selected and, when it has an
// address, the location goes there in line mode and kind 1 is marked changed.
void SelectNextFrame();
void SelectPreviousFrame();
void ReselectCurrentFrame();
// Empties the current viewpoint's frame list and goes to the address in line mode.
void GoToSourceLocation(const AddressDescriptor& address);
// A frame that is not in the frame list, from the registers: the program counter and
// the frame pointer.
void FillFrameFromRegisters(AddressPair& frame);
// The selected frame of the current viewpoint, or the one the registers give when
// none is selected.
AddressPair SelectedOrCurrentFrame();
// Makes the location address the current execution address again; kinds 9 and 1
// marked changed.
void ShowCurrentLocation();
// Stores the source view's position (two words) in the current location's module.
void SaveModuleViewPosition(uint32_t first, uint32_t second);
SourcePosition GetCurrentSourcePosition();

}  // namespace zentor
