#pragma once
// The one door through which symbol-file loaders put a program's symbols into the
// symbol table. A loader calls the entry points below in a fixed order (begin program;
// per module: begin module, lines, symbols, blocks and procedures properly nested,
// types; end program); the library keeps the writing state in the LoaderState of the
// current symbol context, writes the records of the symbol-table file through five
// record-chain writers, keeps the in-memory module descriptors with their line tables
// and procedure ranges, and answers the loaded/not-loaded questions of the rest of the
// debugger. Modules whose symbols a loader leaves in the file are loaded on demand
// through the callback the loader registers (LoadDeferredModule).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "symbols/block_recycler.h"
#include "symbols/list_holders.h"
#include "symbols/page_cache.h"
#include "symbols/source_files.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_records.h"
#include "symbols/vst_file.h"

#include "core/address_descriptor.h"
#include "core/target_status.h"
#include "core/unsigned_int64.h"
#include "support/rw_collectable.h"
#include "support/rw_cstring.h"
#include "support/rw_dictionary.h"
#include "support/rw_set.h"
#include "support/rw_slist_collectables.h"

namespace zentor {

class TypeDescriptionState;
struct SymbolIndexData;

// Names one module of one loaded symbol file: the registry slot of the file's loadable
// in bits 24-31 and the module's index inside the file in bits 0-23. A loader records
// it with its module (SetDeferredToken); the library hands it back to the loader's
// load-module callback when the module's symbols are first needed.
class DeferredModuleHandle {
 public:
  static constexpr uint32_t kModuleIndexMask = 0x00FFFFFFu;
  static constexpr uint32_t kSlotShift = 24;

  constexpr DeferredModuleHandle() = default;
  constexpr explicit DeferredModuleHandle(uint32_t value) : m_value(value) {}
  // A slot of -1 (no loadable) is kept as 255, as the 8 bits of the slot field hold it.
  static constexpr DeferredModuleHandle FromParts(int32_t slot, uint32_t moduleIndex) {
    return DeferredModuleHandle((static_cast<uint32_t>(slot) << kSlotShift) | (moduleIndex & kModuleIndexMask));
  }

  constexpr uint32_t Value() const { return m_value; }
  constexpr uint32_t Slot() const { return m_value >> kSlotShift; }
  constexpr uint32_t ModuleIndex() const { return m_value & kModuleIndexMask; }
  constexpr bool operator==(const DeferredModuleHandle& other) const { return m_value == other.m_value; }

 private:
  uint32_t m_value = 0;
};

// The loader's callbacks for deferred modules. The load-module callback loads the
// module's symbols through this library and answers the type base to add to the
// module's global records; the translation callback maps a loader type index (bit 31
// clear) to the symbol table's index.
using LoadModuleCallback = uint32_t (*)(DeferredModuleHandle token);
using TypeTranslationCallback = uint32_t (*)(uint32_t loaderTypeIndex);

// Source languages of modules (the program language too): case-insensitive names for
// Fortran; 4 is stored as assembler; 0xFF is "not yet set".
inline constexpr uint8_t kLanguageC = 0;
inline constexpr uint8_t kLanguageFortran = 3;
inline constexpr uint8_t kLanguageUnknownAtEnd = 4;
inline constexpr uint8_t kLanguageAssembler = 5;
inline constexpr uint8_t kLanguageNotSet = 0xFF;

// Storage flags of AddSymbol.
inline constexpr uint8_t kStorageStackRelative = 0x01;
inline constexpr uint8_t kStorageRegister = 0x08;
inline constexpr uint8_t kStorageArgumentBlock = 0x10;

// One line of a module's line table: the code offset of the line from the module start
// and the source file and line; sentinels (ends of modules and procedures) carry no
// line. Ordered by offset.
class LineAddressEntry : public LineKeyedItem {
 public:
  LineAddressEntry() = default;
  LineAddressEntry(const OrdinalValue& offset, const SourceFileRef& source) : m_offset(offset), m_source(source) {}
  RWCollectable* newSpecies() const override { return new LineAddressEntry(); }
  RWCollectable* copy() const override { return new LineAddressEntry(*this); }
  // A load makes one per line and per procedure end, and the next load deletes them.
  static void* operator new(size_t size) { return NewRecycled<LineAddressEntry>(size); }
  static void operator delete(void* block, size_t size) noexcept { DeleteRecycled<LineAddressEntry>(block, size); }

  const OrdinalValue& Offset() const { return m_offset; }
  const SourceFileRef& Source() const { return m_source; }
  bool HasLine() const { return m_source.HasFile(); }

  // -1, 0 or 1 by offset.
  int compareTo(const RWCollectable* other) const override;
  // The low word of the offset.
  uint32_t hash() const override { return m_offset.Low(); }
  bool isEqual(const RWCollectable* other) const override { return compareTo(other) == 0; }

  uint64_t LineKey() const override;
  void DropLine() override;

 private:
  OrdinalValue m_offset;
  SourceFileRef m_source;
};

// A module's line entries, sorted by offset on first indexed access (only the first of
// several entries of one line of one file keeps its line), and the count of sentinels.
class LineTable : public SortedOnDemandHolder {
 public:
  // Appends an entry (owned). An entry added after the table was sorted goes into the
  // unsorted collection again, so the next access sorts and thins once more.
  void Add(LineAddressEntry* entry);
  uint32_t SentinelCount() const { return m_sentinels; }
  // Entry i of the sorted table (the class library's index error past the end).
  const LineAddressEntry& EntryAt(uint32_t i);

 private:
  uint32_t m_sentinels = 0;
};

// One procedure of a module: its name and the first and last byte of its code.
class ProcedureRange : public RWCollectable {
 public:
  ProcedureRange() = default;
  ProcedureRange(const SymbolKey& name, const AddressDescriptor& first, const AddressDescriptor& last)
      : m_name(name), m_first(first), m_last(last) {}
  RWCollectable* newSpecies() const override { return new ProcedureRange(); }
  RWCollectable* copy() const override { return new ProcedureRange(*this); }
  static void* operator new(size_t size) { return NewRecycled<ProcedureRange>(size); }
  static void operator delete(void* block, size_t size) noexcept { DeleteRecycled<ProcedureRange>(block, size); }

  const SymbolKey& Name() const { return m_name; }
  const AddressDescriptor& First() const { return m_first; }
  const AddressDescriptor& Last() const { return m_last; }

 private:
  SymbolKey m_name;
  AddressDescriptor m_first;
  AddressDescriptor m_last;
};

// The in-memory record of one module of the loaded program: its code range, name,
// first record on the module chain, procedures, line table, main source file, source
// language, what the source view remembers of it, and its deferred-load state. Owned by
// the LoaderState's module collection, ordered there by name (case-sensitive). Symbol
// records refer to a module by its id (1-based, unique within the LoaderState).
class ModuleDescriptor : public RWCollectable {
 public:
  ModuleDescriptor(uint32_t id, const SymbolKey& name, const RWCString& nameText);
  ~ModuleDescriptor() override;
  ModuleDescriptor(const ModuleDescriptor&) = delete;
  ModuleDescriptor& operator=(const ModuleDescriptor&) = delete;

  // By module name, case-sensitive: 0 equal, 1 this is greater, -1 otherwise. A
  // collectable of another class orders by the base rule.
  int compareTo(const RWCollectable* other) const override;
  uint32_t hash() const override;
  bool isEqual(const RWCollectable* other) const override { return compareTo(other) == 0; }

  uint32_t Id() const { return m_id; }
  const SymbolKey& Name() const { return m_nameKey; }
  const RWCString& NameText() const { return m_nameText; }

  // The code range: start (null until a block, procedure or deferred token gives one)
  // and extent, the offset of the last byte from the start (all ones while unknown).
  const AddressDescriptor& Start() const { return m_start; }
  const OrdinalValue& Extent() const { return m_extent; }
  // 0 outside, 1 at the start, 2 after the start through start + extent.
  uint32_t Holds(const AddressDescriptor& address) const;

  RecordHandle FirstRecord() const { return m_firstRecord; }
  RecordHandle SecondRecord() const { return m_secondRecord; }
  RWSlistCollectables& Procedures() { return m_procedures; }
  const RWSlistCollectables& Procedures() const { return m_procedures; }
  LineTable& Lines() { return m_lines; }

  const SourceFileRef& MainSource() const { return m_mainSource; }
  bool MainSourcePending() const { return m_mainSourcePending != 0; }
  uint8_t Attribute() const { return m_attribute; }
  uint8_t Language() const { return m_language; }
  uint8_t Flags() const { return m_flags; }
  void SetFlags(uint8_t flags) { m_flags = flags; }
  // The highest line number met in the module (0xFFFFFFFF before the first).
  uint32_t HighestLine() const { return m_highestLine; }

  // What the source view remembers: two display words and a display line.
  uint32_t DisplayWord(uint32_t i) const { return i < 2 ? m_displayWords[i] : 0; }
  void SetDisplayWords(uint32_t first, uint32_t second) {
    m_displayWords[0] = first;
    m_displayWords[1] = second;
  }
  int32_t DisplayLine() const { return m_displayLine; }
  void SetDisplayLine(int32_t line) { m_displayLine = line; }

  // Deferred loading: whether the module still waits for its symbols, the token its
  // loader gave, the first of its global records and how many it has.
  bool HasDeferredToken() const { return m_hasToken; }
  DeferredModuleHandle DeferredToken() const { return m_token; }
  RecordHandle FirstGlobalRecord() const { return m_firstGlobal; }
  uint32_t PendingGlobalCount() const { return m_pendingGlobals; }
  // The module type base in force when the module began; its symbols loaded later are
  // based on it.
  uint32_t TypeBase() const { return m_typeBase; }

 private:
  friend class LoaderState;

  // Grows the code range to take in `length` bytes from `address`.
  void GrowRange(const AddressDescriptor& address, const OrdinalValue& length);

  uint32_t m_id;
  SymbolKey m_nameKey;
  RWCString m_nameText;
  AddressDescriptor m_start;
  OrdinalValue m_extent = OrdinalValue::AllOnes;
  RecordHandle m_firstRecord;
  RecordHandle m_secondRecord;
  RWSlistCollectables m_procedures;
  LineTable m_lines;
  SourceFileRef m_mainSource;
  uint32_t m_mainSourcePending = 1;
  uint8_t m_attribute = 0;
  uint8_t m_language = kLanguageC;
  uint8_t m_flags = 0;
  uint32_t m_highestLine = 0xFFFFFFFFu;
  uint32_t m_displayWords[2] = {0, 0};
  int32_t m_displayLine = -1;
  bool m_hasToken = false;
  DeferredModuleHandle m_token;
  RecordHandle m_firstGlobal;
  uint32_t m_pendingGlobals = 0;
  uint32_t m_typeBase = 0;
};

// The five record chains of a load, in writer order.
enum LoaderChain : uint32_t {
  kGlobalSymbolChain = 0,
  kModuleSymbolChain = 1,
  kTypeDirectoryChain = 2,
  kTypeRecordChain = 3,
  kNamePoolChain = 4,
  kLoaderChainCount = 5,
};

// The writing state of one program's symbol table: the shared loader part of a symbol
// context. The entry points below work on the current context's; tests and the other
// parts of the symbol tables read it through the queries.
class LoaderState : public LoaderStateBase {
 public:
  LoaderState();
  ~LoaderState() override;
  LoaderState* AsLoaderState() override { return this; }

  // ---- queries
  uint32_t SymbolTableLoaded() const { return m_symbolsLoaded; }
  uint32_t ProgramLoaded() const { return m_programLoaded; }
  void SetSymbolTableLoaded(uint32_t word) { m_symbolsLoaded = word; }
  uint8_t ProgramLanguage() const { return m_programLanguage; }
  uint32_t LoaderFormat() const { return m_format; }
  uint32_t TypeCount() const { return m_types.TypeCount(); }
  uint32_t ModuleTypeBase() const { return m_moduleTypeBase; }
  void SetModuleTypeBase(uint32_t base) { m_moduleTypeBase = base; }
  bool DeferredLoading() const { return m_deferredLoading; }
  RecordHandle GlobalChainHead() const { return m_writers[kGlobalSymbolChain].FirstPage(); }
  RecordHandle CurrentScope() const { return m_currentScope; }

  ModuleCollection& Modules() { return m_modules; }
  const ModuleCollection& Modules() const { return m_modules; }
  // The module of an id (1-based); null for 0 and for an id no module has.
  ModuleDescriptor* ModuleById(uint32_t id) const;
  // Every module made so far, in the order they began (also one not yet ended).
  uint32_t ModuleCount() const { return static_cast<uint32_t>(m_moduleById.size()); }
  ModuleDescriptor* CurrentModule() const { return m_currentModule; }

  TypeDirectory& Types() { return m_types; }
  RecordChainWriter& Writer(LoaderChain chain);
  RecordChainWriter& NamePool() { return m_writers[kNamePoolChain]; }

  // The typedef-name set: the names of named types (and of AddTypedefName). The found
  // member, or null.
  RWCollectable* IsTypedefName(const RWCString& name) const;
  void AddTypedefNameText(const RWCString& name);
  uint32_t TypedefNameCount() const { return m_typedefNames.entries(); }

  // Caches of the line addresses of the symbol objects: the lines with fewer than two
  // addresses, and the collections of the others. Both own their items, which go
  // with the state or when a load changes the line tables.
  RWSet& SymbolObjectSet() { return m_symbolObjectSet; }
  RWHashDictionary& SymbolObjectDictionary() { return m_symbolObjectDictionary; }

  // ---- the loader operations on this state and `cache` (the entry points below are
  // these on the current context)
  void StartProgram(PageCache& cache, TypeDescriptionState& types, uint32_t format);
  void SetDeferredCallbacks(LoadModuleCallback load, TypeTranslationCallback translate);
  void BeginModule(PageCache& cache, const char* name, uint8_t language, uint8_t attribute);
  void SetDeferredToken(DeferredModuleHandle token, const TargetAddressRecord& start, const OrdinalValue& length);
  uint32_t SetTypeBase();
  void AddLine(const char* fileName, uint8_t skip, uint32_t line, const OrdinalValue& offset);
  void AddSymbol(PageCache& cache, const char* name, uint8_t storage, uint32_t type, const TargetAddressRecord& address);
  void AddGlobalSymbol(PageCache& cache, const char* name, uint32_t type, const TargetAddressRecord& address);
  void BeginBlock(PageCache& cache, const TargetAddressRecord& address, const OrdinalValue& length);
  void BeginProcedure(PageCache& cache, const char* name, const TargetAddressRecord& address,
                      const OrdinalValue& length, uint32_t type, uint8_t attribute, const OrdinalValue& second);
  void EndScope(PageCache& cache);
  void FinishProgram(PageCache& cache);
  void LoadDeferredModule(PageCache& cache, ModuleDescriptor* module);
  uint32_t AddTypedefName(PageCache& cache, const char* name, uint32_t loaderTypeIndex);

  // ---- what the symbol context asks of the loaded modules
  ModuleDescriptor* ModuleAtAddress(SymbolContext& context, const AddressDescriptor& address,
                                    DVErrorCode& status) override;
  RWCString ModuleName(const ModuleDescriptor& module) const override;
  void LineAt(ModuleDescriptor& module, const AddressDescriptor& address, OptionalLine& line,
              OrdinalValue& offset) const override;
  void ForEachProcedure(const ModuleDescriptor& module,
                        const std::function<bool(const ProcedureSpan&)>& visit) const override;
  void ResetModuleDisplayState(ModuleDescriptor& module) override;
  ModuleViewState ViewStateOf(const ModuleDescriptor& module) const override;
  void SaveModuleViewPosition(ModuleDescriptor& module, uint32_t first, uint32_t second) override;
  void ForgetModuleViewPositions() override;
  const RWOrdered* CollectLineAddresses(const OptionalLine& line) override;
  // Counts every change of what the symbol chains and line tables hold (a finished
  // load, a module loaded on demand): caches built from them compare it.
  uint32_t Generation() const { return m_generation; }
  // Counts the changes of the global list alone (a finished load).
  uint32_t GlobalsGeneration() const { return m_globalsGeneration; }
  // Counts the changes of the module collection and of any module's code range (the
  // module index of symbol_index.h compares it).
  uint32_t ModuleRangesGeneration() const { return m_moduleRangesGeneration; }
  // The two pointer types that pointer requests of casts patch (type_lookup.h); 0
  // until made.
  uint32_t PointerScaffold(uint32_t level) const { return level < 2 ? m_pointerScaffold[level] : 0; }
  void SetPointerScaffold(uint32_t first, uint32_t second) {
    m_pointerScaffold[0] = first;
    m_pointerScaffold[1] = second;
  }
  // The search indexes built over this state's tables (symbol_index.h).
  std::shared_ptr<SymbolIndexData>& IndexData() { return m_indexData; }

 private:
  // Ends the module in progress: line sentinel, counts, end record, collection.
  void EndModule(PageCache& cache);
  // Writes the list end of the global chain when a load left it open and releases
  // the five writers' pins.
  void CloseChains(PageCache& cache);
  // The chains or line tables changed: caches built from them go.
  void NoteContentsChanged();
  void DropLineAddressCaches();
  // The name key of a symbol of the current module (case-insensitive for Fortran).
  SymbolKey StoreSymbolName(PageCache& cache, const char* name);
  void NoteFirstRecord(LoaderChain chain, RecordHandle handle);
  void TranslateModuleGlobals(PageCache& cache, const ModuleDescriptor& module, uint32_t base);
  // True when `module` is one of this state's modules.
  bool OwnsModule(const ModuleDescriptor* module) const;
  // Grows a module's code range and counts the change.
  void GrowModuleRange(ModuleDescriptor& module, const AddressDescriptor& address, const OrdinalValue& length);
  uint8_t CurrentLanguage() const;

  RWSet m_typedefNames;
  uint8_t m_programLanguage = kLanguageNotSet;
  ModuleCollection m_modules;
  TypeDirectory m_types;
  uint32_t m_symbolsLoaded = 0;
  uint32_t m_programLoaded = 0;
  ModuleDescriptor* m_currentModule = nullptr;
  // The module between its BeginModule and its end; owned here until the end puts
  // it into the collection.
  std::unique_ptr<ModuleDescriptor> m_moduleInProgress;
  std::vector<ModuleDescriptor*> m_moduleById;
  RWSet m_symbolObjectSet;
  RWHashDictionary m_symbolObjectDictionary;
  uint32_t m_generation = 0;
  uint32_t m_globalsGeneration = 0;
  uint32_t m_moduleRangesGeneration = 0;
  std::shared_ptr<SymbolIndexData> m_indexData;
  uint32_t m_pointerScaffold[2] = {0, 0};
  // Enclosing scopes of the current one, innermost last.
  std::vector<RecordHandle> m_scopeStack;
  uint32_t m_moduleTypeBase = 0;
  uint32_t m_pendingGlobals = 0;
  RecordHandle m_currentScope;
  uint32_t m_format = 0;
  LoadModuleCallback m_loadCallback = nullptr;
  TypeTranslationCallback m_translateCallback = nullptr;
  bool m_deferredLoading = false;
  bool m_moduleWithoutToken = false;
  // The writers of the global chain, the module chain, the type records and the name
  // pool; the type directory keeps its own.
  RecordChainWriter m_writers[kLoaderChainCount];
  // The source file of the last line added: its name as the loader gave it and its
  // index in the source-file table (0: none, or none looked up yet).
  std::string m_lineFileName;
  uint16_t m_lineFileIndex = 0;
  // The offsets in their address space of the stack-relative and argument-block
  // symbols' addresses last asked for, by address and viewpoint: a module's locals
  // come at a handful of frame offsets, and each answer costs the target four calls.
  // Kept for one module's load (the target answers the same within it).
  struct SpaceOffset {
    TargetAddressRecord m_address;
    uint32_t m_viewpoint = 0;
    OrdinalValue m_offset;
    bool m_known = false;
  };
  static constexpr uint32_t kSpaceOffsetSlots = 16;  // four bits of a hash pick the slot
  SpaceOffset m_spaceOffsets[kSpaceOffsetSlots];
  OrdinalValue SpaceOffsetOf(const TargetAddressRecord& address);
  void ForgetSpaceOffsets();
};

// The loader state and type-description state of the current symbol context. A context
// made before the library was linked in holds plain parts: that is an
// internal-consistency error here.
LoaderState& CurrentLoaderState();
TypeDescriptionState& CurrentTypeDescriptionState();
// What an entry point of a load works on, found once per call: the current context's
// loader state (the same error as above), its page cache and its type-description
// state (null when the context holds a plain part).
struct CurrentLoadParts {
  LoaderState& m_loader;
  PageCache& m_cache;
  TypeDescriptionState* m_types;
};
CurrentLoadParts CurrentLoad();
// The loader state of the current context, or null when it holds none.
LoaderState* CurrentLoaderStateOrNull();

// ---- entry points in the loaders' calling order (all on the current symbol context)
// Does nothing (the loaders call it before a load and when they abandon one).
void LoaderLibraryNoOp();
void LoaderLibraryNoOp(uint32_t ignored);
void LoaderLibraryNoOp(const AddressDescriptor& ignored);
// Makes a fresh symbol context current for the current viewpoint (the old one is
// deleted unless it is the default context), stores the loader format, sets the
// module type base to the type count and defines the null type (index 1).
void BeginProgram(uint32_t format);
// Turns deferred module loading on with the loader's callbacks; only the first
// registration counts.
void SetDeferredCallbacks(LoadModuleCallback load, TypeTranslationCallback translate);
// Ends the module in progress and begins a new one. The 16-bit word is not used.
void BeginModule(const char* name, uint16_t ignored, uint8_t language, uint8_t attribute);
void SetDeferredToken(DeferredModuleHandle token, const TargetAddressRecord& start, const OrdinalValue& length);
// Module type base = type count; returns it.
uint32_t SetTypeBase();
void AddLine(const char* fileName, uint8_t skip, uint32_t line, const OrdinalValue& offset);
void AddSymbol(const char* name, uint8_t storage, uint32_t type, const TargetAddressRecord& address);
void AddGlobalSymbol(const char* name, uint32_t type, const TargetAddressRecord& address);
void BeginBlock(const TargetAddressRecord& address, const OrdinalValue& length);
void BeginProcedure(const char* name, const TargetAddressRecord& address, const OrdinalValue& length, uint32_t type,
                    uint8_t attribute, const OrdinalValue& second);
void EndScope();
void EndProgram();
// EndProgram, then the address becomes the context's current execution address.
void EndProgramAt(const AddressDescriptor& programStart);
// Loads a deferred module's symbols through the loader's callback.
void LoadDeferredModule(ModuleDescriptor* module);

// ---- queries on the current symbol context
uint32_t SymbolTableLoaded();
uint32_t ProgramLoaded();
void SetSymbolTableLoaded(uint32_t word);
uint8_t ProgramLanguage();
RecordHandle GlobalChainHead();
uint32_t LoaderFormat();
uint32_t TypeCount();
RWCollectable* IsTypedefName(const RWCString& name);
TypeEntryView GetTypeEntry(uint32_t index);
TypeEntryView GetTypeEntryRaw(uint32_t index);

// ---- operations without a caller in the debugger, kept with the library
// Defines a type of category 55 standing for the loader's index and records its name.
uint32_t AddTypedefName(const char* name, uint32_t loaderTypeIndex);
// A fresh location for the current context (not for the default context).
void ResetSourceLocation();
void ResetSourceLocationAt(const AddressDescriptor& address);
bool CurrentLocationIsNull();

// Installs the library's makers of the shared context parts (done when the library is
// linked in; calling it again does no harm).
void InstallLoaderLibrary();

}  // namespace zentor
