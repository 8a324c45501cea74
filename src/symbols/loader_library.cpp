#include "symbols/loader_library.h"

#include "symbols/symbol_index.h"
#include "symbols/symbol_lookup.h"
#include "symbols/type_translation.h"

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/hi_service.h"

#include <algorithm>
#include <utility>

namespace zentor {
namespace {

// Notifications of the GUI service entry around a load; they carry no action.
constexpr uint32_t kGuiSymbolLoadStart = 62;
constexpr uint32_t kGuiSymbolLoadEnd = 63;

// Line entries carry the line in 16 bits.
constexpr uint32_t kLargestEntryLine = 0xFFFF;
constexpr uint32_t kNoLineYet = 0xFFFFFFFFu;

std::unique_ptr<LoaderStateBase> MakeLoaderState() { return std::make_unique<LoaderState>(); }
std::unique_ptr<SharedContextPart> MakeTypeDescriptionState() { return std::make_unique<TypeDescriptionState>(); }

[[maybe_unused]] const bool kLoaderLibraryInstalled = (InstallLoaderLibrary(), true);

// a + b, all ones when the sum does not fit 64 bits.
OrdinalValue SaturatingAdd(const OrdinalValue& a, const OrdinalValue& b) {
  const OrdinalValue sum = a + b;
  return sum < a ? OrdinalValue::AllOnes : sum;
}

// The distance of an address from the start of its own address space (0 for a null
// address and a register, which have no such distance).
OrdinalValue OffsetInSpace(const AddressDescriptor& address) {
  if (address.IsNull() || address.IsRegister()) return OrdinalValue();
  return address - address.SpaceStart();
}

// Whether a source file's extension (the character after its last '.', upper-cased)
// is that of the module's language: F for Fortran, A or S for assembler, C for C.
bool ExtensionMatchesLanguage(const RWCString& file, uint8_t language) {
  const char* text = file.data();
  const char* dot = nullptr;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '.') dot = p;
  }
  if (dot == nullptr || dot[1] == '\0') return false;
  char extension = dot[1];
  if (extension >= 'a' && extension <= 'z') extension = static_cast<char>(extension - 'a' + 'A');
  switch (language) {
    case kLanguageFortran:
      return extension == 'F';
    case kLanguageAssembler:
      return extension == 'A' || extension == 'S';
    case kLanguageC:
      return extension == 'C';
    default:
      return false;
  }
}

}  // namespace

void InstallLoaderLibrary() {
  SetLoaderStateFactory(&MakeLoaderState);
  SetTypeDescriptionFactory(&MakeTypeDescriptionState);
}

// ---- LineAddressEntry

int LineAddressEntry::compareTo(const RWCollectable* other) const {
  const auto* entry = dynamic_cast<const LineAddressEntry*>(other);
  if (entry == nullptr) return RWCollectable::compareTo(other);
  if (m_offset == entry->m_offset) return 0;
  return m_offset > entry->m_offset ? 1 : -1;
}

uint64_t LineAddressEntry::LineKey() const {
  if (!m_source.HasFile()) return 0;
  return (static_cast<uint64_t>(m_source.FileIndex()) << 32) | m_source.Line();
}

void LineAddressEntry::DropLine() {
  m_source = SourceFileRef();
  m_offset = OrdinalValue::AllOnes;
}

// ---- LineTable

void LineTable::Add(LineAddressEntry* entry) {
  if (IsSorted()) {
    // Back to an unsorted collection holding the same entries: the next indexed
    // access sorts again and drops repeated lines of the new entries too.
    auto unsorted = std::make_unique<RWOrdered>();
    for (uint32_t i = 0; i < Items().entries(); ++i) unsorted->insert(Items().at(i));
    m_items->clear();
    m_items = std::move(unsorted);
  }
  if (!entry->HasLine()) ++m_sentinels;
  Insert(entry);
}

const LineAddressEntry& LineTable::EntryAt(uint32_t i) {
  const auto* entry = dynamic_cast<const LineAddressEntry*>(SortedItemAt(i));
  if (entry == nullptr) ZENTOR_INTERNAL_ERROR();
  return *entry;
}

// ---- ModuleDescriptor

ModuleDescriptor::ModuleDescriptor(uint32_t id, const SymbolKey& name, const RWCString& nameText)
    : m_id(id), m_nameKey(name), m_nameText(nameText) {}

ModuleDescriptor::~ModuleDescriptor() { DestroyOwnedItems(m_procedures); }

int ModuleDescriptor::compareTo(const RWCollectable* other) const {
  const auto* module = dynamic_cast<const ModuleDescriptor*>(other);
  if (module == nullptr) return RWCollectable::compareTo(other);
  return CompareModuleNames(m_nameText, module->m_nameText);
}

uint32_t ModuleDescriptor::hash() const { return m_nameText.hash(RWCString::exact); }

uint32_t ModuleDescriptor::Holds(const AddressDescriptor& address) const {
  if (m_start.IsNull() || address.IsNull()) return kOutsideRange;
  if (m_start.IsRegister()) return address.IsWithinRange(m_start, m_start);
  // start + extent must not wrap around the end of the address space.
  const AddressDescriptor spaceEnd = m_start.SpaceEnd();
  const OrdinalValue room = spaceEnd - m_start;
  const AddressDescriptor last = m_extent > room ? spaceEnd : m_start + m_extent;
  return address.IsWithinRange(m_start, last);
}

// The range becomes the smallest one that holds both the old range and the `length`
// bytes from `address` (a zero length counts as one byte). Addresses that cannot be
// compared with the start (another address kind) and registers leave it alone.
void ModuleDescriptor::GrowRange(const AddressDescriptor& address, const OrdinalValue& length) {
  if (address.IsNull()) return;
  const OrdinalValue last = length > 0u ? OrdinalValue(length - 1u) : OrdinalValue();
  if (m_start.IsNull()) {
    m_start = address;
    m_extent = last;
    return;
  }
  if (address.IsRegister() || m_start.IsRegister()) return;
  const uint32_t order = address.Compare(m_start);
  if (order == kAddressNotComparable) return;
  const AddressDescriptor newStart = order == kAddressLess ? address : m_start;
  const OrdinalValue oldEnd = SaturatingAdd(m_start - newStart, m_extent);
  const OrdinalValue newEnd = SaturatingAdd(address - newStart, last);
  m_start = newStart;
  m_extent = oldEnd > newEnd ? oldEnd : newEnd;
}

// ---- LoaderState

LoaderState::LoaderState() = default;

LoaderState::~LoaderState() {
  // The collection deletes the modules it holds, the unique pointer the one in
  // progress; the table of ids only names them.
  m_moduleById.clear();
  m_currentModule = nullptr;
  DestroyOwnedItems(m_typedefNames);
  DropLineAddressCaches();
}

// The kept collections own their addresses: they go first, then the collections with
// their keys.
void LoaderState::DropLineAddressCaches() {
  // Every deferred module's load comes here; emptying collections that are already
  // empty still costs the class library a pass over its buckets.
  if (m_symbolObjectDictionary.entries() == 0 && m_symbolObjectSet.entries() == 0) return;
  m_symbolObjectDictionary.applyToKeyAndValue(
      [](RWCollectable*, RWCollectable* value, void*) {
        if (auto* addresses = dynamic_cast<RWOrdered*>(value)) addresses->clearAndDestroy();
      },
      nullptr);
  m_symbolObjectDictionary.clearAndDestroy();
  m_symbolObjectSet.clearAndDestroy();
}

void LoaderState::NoteContentsChanged() {
  ++m_generation;
  DropLineAddressCaches();
}

void LoaderState::GrowModuleRange(ModuleDescriptor& module, const AddressDescriptor& address,
                                  const OrdinalValue& length) {
  module.GrowRange(address, length);
  ++m_moduleRangesGeneration;
}

ModuleDescriptor* LoaderState::ModuleById(uint32_t id) const {
  if (id == 0 || id > m_moduleById.size()) return nullptr;
  return m_moduleById[id - 1];
}

bool LoaderState::OwnsModule(const ModuleDescriptor* module) const {
  return module != nullptr && std::find(m_moduleById.begin(), m_moduleById.end(), module) != m_moduleById.end();
}

RecordChainWriter& LoaderState::Writer(LoaderChain chain) {
  if (chain == kTypeDirectoryChain) return m_types.Writer();
  if (chain >= kLoaderChainCount) ZENTOR_INTERNAL_ERROR();
  return m_writers[chain];
}

RWCollectable* LoaderState::IsTypedefName(const RWCString& name) const {
  const RWCollectableString key(name);
  return m_typedefNames.find(&key);
}

void LoaderState::AddTypedefNameText(const RWCString& name) {
  if (name.isNull()) return;
  auto item = std::make_unique<RWCollectableString>(name);
  if (m_typedefNames.insert(item.get()) == item.get()) item.release();
  // The set is asked by every name lookup of an expression; keep its chains short as a
  // large program's typedef names come in (the class library never resizes on its own).
  // The bucket count stays odd: the string hash leaves the characters at the end of a
  // name in its high bits, so a power of two would put "record_00001" and its
  // numbered neighbours into a handful of buckets.
  if (m_typedefNames.entries() > 2 * m_typedefNames.buckets()) {
    m_typedefNames.resize(4 * m_typedefNames.buckets() + 1);
  }
}

uint8_t LoaderState::CurrentLanguage() const {
  return m_currentModule != nullptr ? m_currentModule->m_language : m_programLanguage;
}

SymbolKey LoaderState::StoreSymbolName(PageCache& cache, const char* name) {
  const uint32_t caseWord = CurrentLanguage() == kLanguageFortran ? 1 : 0;
  // Stored straight from the loader's text: a load stores a name per symbol.
  return SymbolKey::Store(cache, NamePool(), std::string_view(name != nullptr ? name : ""), caseWord);
}

void LoaderState::NoteFirstRecord(LoaderChain chain, RecordHandle handle) {
  RecordChainWriter& writer = Writer(chain);
  if (writer.FirstRecordFlag() == 0) return;
  if (m_currentModule != nullptr) {
    if (chain == kModuleSymbolChain) m_currentModule->m_firstRecord = handle;
    // Recorded in every format: it is where the module's load finds its global records
    // to stop them naming the module.
    if (chain == kGlobalSymbolChain) m_currentModule->m_firstGlobal = handle;
  }
  writer.SetFirstRecordFlag(0);
}

void LoaderState::StartProgram(PageCache& cache, TypeDescriptionState& types, uint32_t format) {
  m_currentScope = RecordHandle();
  m_scopeStack.clear();
  HiService(kGuiSymbolLoadStart);
  m_deferredLoading = false;
  m_format = format;
  m_moduleTypeBase = m_types.TypeCount();
  types.DefineNullType(*this, cache);
}

void LoaderState::SetDeferredCallbacks(LoadModuleCallback load, TypeTranslationCallback translate) {
  if (m_deferredLoading) return;
  m_loadCallback = load;
  m_translateCallback = translate;
  m_deferredLoading = true;
}

// Beginning a module:
// 1. The name is stored (case-insensitive, as module names compare); a name that
//    cannot be stored leaves the module in progress as it was.
// 2. The module in progress ends and a new module becomes current, remembering the
//    module type base in force.
// 3. Language 4 is kept as 5; the program takes the language of its first module
//    that is not assembler (an assembler program language gives way to another).
// 4. The writers note the module's first records again; the module's scopes start at
//    module level.
void LoaderState::BeginModule(PageCache& cache, const char* name, uint8_t language, uint8_t attribute) {
  const RWCString text(name != nullptr ? name : "");
  const SymbolKey key = SymbolKey::Store(cache, NamePool(), NameKey(text, 1));
  EndModule(cache);
  auto module = std::make_unique<ModuleDescriptor>(static_cast<uint32_t>(m_moduleById.size() + 1), key, text);
  if (language == kLanguageUnknownAtEnd) language = kLanguageAssembler;
  if ((m_programLanguage == kLanguageNotSet || m_programLanguage == kLanguageAssembler) &&
      language != kLanguageAssembler) {
    m_programLanguage = language;
  }
  module->m_language = language;
  module->m_attribute = attribute;
  module->m_flags = 0;
  module->m_typeBase = m_moduleTypeBase;
  m_moduleById.push_back(module.get());
  m_currentModule = module.get();
  m_moduleInProgress = std::move(module);
  for (LoaderChain chain : {kGlobalSymbolChain, kModuleSymbolChain, kTypeDirectoryChain, kTypeRecordChain}) {
    Writer(chain).SetFirstRecordFlag(1);
  }
  m_pendingGlobals = 0;
  m_moduleWithoutToken = true;
  m_currentScope = RecordHandle();
  m_scopeStack.clear();
  ForgetSpaceOffsets();
}

// Ending the module in progress (nothing when none is):
// 1. A sentinel line entry closes the line range of its last line.
// 2. A deferred module keeps the count of its global records.
// 3. The view's display words are cleared.
// 4. Its records on the module chain end with an end record.
// 5. It goes into the module collection, exactly once, and stops being current.
void LoaderState::EndModule(PageCache& cache) {
  if (m_moduleInProgress == nullptr) return;
  ModuleDescriptor& module = *m_moduleInProgress;
  module.m_lines.Add(new LineAddressEntry(module.m_extent + 1u, SourceFileRef()));
  if (module.m_hasToken) module.m_pendingGlobals = m_pendingGlobals;
  module.SetDisplayWords(0, 0);
  if (!module.m_firstRecord.IsNone()) AppendBareRecord(cache, m_writers[kModuleSymbolChain], kEndRecordType);
  if (module.m_start.IsNull() && module.m_extent == 0u) module.m_extent = OrdinalValue::AllOnes;
  ModuleDescriptor* inserted = m_moduleInProgress.release();
  if (m_currentModule == inserted) m_currentModule = nullptr;
  m_modules.Add(cache, inserted, inserted->m_nameKey);
  ++m_moduleRangesGeneration;
}

void LoaderState::SetDeferredToken(DeferredModuleHandle token, const TargetAddressRecord& start,
                                   const OrdinalValue& length) {
  if (!m_deferredLoading || m_currentModule == nullptr) return;
  m_moduleWithoutToken = false;
  GrowModuleRange(*m_currentModule, AddressDescriptor(start), length);
  m_currentModule->m_token = token;
  m_currentModule->m_hasToken = true;
}

uint32_t LoaderState::SetTypeBase() {
  m_moduleTypeBase = m_types.TypeCount();
  return m_moduleTypeBase;
}

// A line of the current module. Line 0 is a loader fault; a nonzero skip flag marks a
// record that carries no line (file begin and end). The highest line counts in 32 bits;
// a line above what a line entry can carry (65535) is not entered, since it would
// stand for another line. While the module's main source is open, the first line's file
// becomes it, and a file whose extension is the module language's ends the search.
void LoaderState::AddLine(const char* fileName, uint8_t skip, uint32_t line, const OrdinalValue& offset) {
  if (line == 0) ZENTOR_INTERNAL_ERROR();
  if (skip != 0 || m_currentModule == nullptr) return;
  ModuleDescriptor& module = *m_currentModule;
  if (module.m_highestLine == kNoLineYet || line > module.m_highestLine) module.m_highestLine = line;
  if (line > kLargestEntryLine) return;
  const char* text = fileName != nullptr ? fileName : "";
  // A file's lines come one after another under the same name: its index in the
  // source-file table (which only grows) is looked up once per run of them.
  if (m_lineFileIndex == 0 || m_lineFileName != text) {
    m_lineFileName = text;
    m_lineFileIndex = SourceFileRef::FromName(SourceFiles(), RWCString(text), 1).FileIndex();
  }
  const SourceFileRef source =
      m_lineFileIndex != 0 ? SourceFileRef(static_cast<uint16_t>(line), m_lineFileIndex) : SourceFileRef();
  module.m_lines.Add(new LineAddressEntry(offset, source));
  if (module.m_mainSourcePending == 0 || !source.HasFile()) return;
  if (!module.m_mainSource.HasFile()) module.m_mainSource = source;
  if (ExtensionMatchesLanguage(SourcePathName::Normalise(RWCString(text)), module.m_language)) {
    module.m_mainSource = source;
    module.m_mainSourcePending = 0;
  }
}

// A local symbol. The storage flags say how its location is kept and which location
// bits it carries:
//   0                 the address
//   0x01 alone        offset in its address space, stack relative
//   0x08 (no 0x10)    the address, stack relative and register
//   0x10 (no 0x08)    offset in its address space, argument block
//   0x08 and 0x10     the address, argument block and register
// Any other combination is a loader fault, refused before anything is written.
void LoaderState::AddSymbol(PageCache& cache, const char* name, uint8_t storage, uint32_t type,
                            const TargetAddressRecord& address) {
  const bool registerFlag = (storage & kStorageRegister) != 0;
  const bool argumentFlag = (storage & kStorageArgumentBlock) != 0;
  const AddressDescriptor given(address);
  AddressExtent location;
  if (storage == 0) {
    location.m_address = given;
  } else if (registerFlag && !argumentFlag) {
    location.m_address = given;
    location.m_flags = kLocationStackRelative | kLocationRegister;
  } else if (argumentFlag && !registerFlag) {
    location.m_ordinal = SpaceOffsetOf(address);
    location.m_flags = kLocationArgumentBlock;
  } else if (argumentFlag && registerFlag) {
    location.m_address = given;
    location.m_flags = kLocationArgumentBlock | kLocationRegister;
  } else if ((storage & kStorageStackRelative) != 0) {
    location.m_ordinal = SpaceOffsetOf(address);
    location.m_flags = kLocationStackRelative;
  } else {
    ZENTOR_INTERNAL_ERROR();
  }
  // The name goes first: a name that cannot be stored leaves no half-written record.
  const SymbolKey key = StoreSymbolName(cache, name);
  SymbolRecordView record = SymbolRecordView::Append(cache, m_writers[kModuleSymbolChain]);
  NoteFirstRecord(kModuleSymbolChain, record.Handle());
  record.SetRawTypeIndex(m_moduleTypeBase + type);
  record.SetName(key);
  record.SetLocation(location);
  record.SetPendingModule(0);
}

OrdinalValue LoaderState::SpaceOffsetOf(const TargetAddressRecord& address) {
  const uint32_t viewpoint = GetCurrentViewpointValue();
  // Frame offsets are multiples of four: the slot comes from the high bits of a
  // multiplicative hash, which all the offset's bits reach.
  const uint32_t mixed = (address.m_offset ^ (static_cast<uint32_t>(address.m_addressKind) << 16)) * 0x9E3779B1u;
  SpaceOffset& slot = m_spaceOffsets[mixed >> 28];
  if (slot.m_known && slot.m_viewpoint == viewpoint && slot.m_address == address) return slot.m_offset;
  const OrdinalValue offset = OffsetInSpace(AddressDescriptor(address));
  slot.m_address = address;
  slot.m_viewpoint = viewpoint;
  slot.m_offset = offset;
  slot.m_known = true;
  return offset;
}

void LoaderState::ForgetSpaceOffsets() {
  for (SpaceOffset& slot : m_spaceOffsets) slot.m_known = false;
}

// A global symbol. Its type index is based on the module type base, except for a
// deferred module of a format other than 20: there the index stays the loader's, with
// bit 31 marking it untranslated until the module is loaded. A deferred module's global
// records name the module and are counted.
void LoaderState::AddGlobalSymbol(PageCache& cache, const char* name, uint32_t type,
                                  const TargetAddressRecord& address) {
  const bool deferredModule = m_deferredLoading && m_currentModule != nullptr && m_currentModule->m_hasToken;
  uint32_t word = type + (deferredModule && m_format != kLoaderFormat20 ? 0 : m_moduleTypeBase);
  uint32_t pendingModule = 0;
  if (deferredModule) {
    if (m_format != kLoaderFormat20) word |= SymbolRecordLayout::kUntranslatedBit;
    pendingModule = m_currentModule->m_id;
    ++m_pendingGlobals;
  }
  AddressExtent location;
  location.m_address = AddressDescriptor(address);
  const SymbolKey key = StoreSymbolName(cache, name);
  SymbolRecordView record = SymbolRecordView::Append(cache, m_writers[kGlobalSymbolChain]);
  NoteFirstRecord(kGlobalSymbolChain, record.Handle());
  record.SetRawTypeIndex(word);
  record.SetName(key);
  record.SetLocation(location);
  record.SetPendingModule(pendingModule);
}

void LoaderState::BeginBlock(PageCache& cache, const TargetAddressRecord& address, const OrdinalValue& length) {
  const AddressDescriptor start(address);
  RecordHandle handle;
  {
    BlockRecordView record = BlockRecordView::Append(cache, m_writers[kModuleSymbolChain]);
    handle = record.Handle();
    NoteFirstRecord(kModuleSymbolChain, handle);
    record.SetEnclosing(m_currentScope);
    record.SetStart(start);
    record.SetLength(length);
  }
  m_scopeStack.push_back(m_currentScope);
  m_currentScope = handle;
  if (m_currentModule != nullptr) GrowModuleRange(*m_currentModule, start, length);
}

// A procedure: its record opens a scope; in a module whose start is known, a line
// sentinel at the end of its code closes the range of its last line, and its range
// joins the module's procedures.
void LoaderState::BeginProcedure(PageCache& cache, const char* name, const TargetAddressRecord& address,
                                 const OrdinalValue& length, uint32_t type, uint8_t attribute,
                                 const OrdinalValue& second) {
  const AddressDescriptor entry(address);
  const SymbolKey key = StoreSymbolName(cache, name);
  RecordHandle handle;
  {
    ProcedureRecordView record = ProcedureRecordView::Append(cache, m_writers[kModuleSymbolChain]);
    handle = record.Handle();
    NoteFirstRecord(kModuleSymbolChain, handle);
    record.SetEnclosing(m_currentScope);
    record.SetEntry(entry);
    record.SetLength(length);
    record.SetTypeIndex(m_moduleTypeBase + type);
    record.SetSecondValue(second);
    record.SetName(key);
    record.SetAttribute(attribute);
  }
  ModuleDescriptor* module = m_currentModule;
  if (module != nullptr && !module->m_start.IsNull() && !entry.IsNull()) {
    const uint32_t order = entry.Compare(module->m_start);
    // A procedure before the module start has no offset from it.
    if (order == kAddressEqual || order == kAddressGreater) {
      module->m_lines.Add(new LineAddressEntry(SaturatingAdd(entry - module->m_start, length), SourceFileRef()));
    }
  }
  m_scopeStack.push_back(m_currentScope);
  m_currentScope = handle;
  if (module != nullptr) {
    GrowModuleRange(*module, entry, length);
    AddressDescriptor last = entry;
    if (!entry.IsNull() && !entry.IsRegister() && length > 1u) last = entry + OrdinalValue(length - 1u);
    module->m_procedures.insert(new ProcedureRange(key, entry, last));
  }
}

void LoaderState::EndScope(PageCache& cache) {
  // An unbalanced end is refused before its record is written.
  if (m_scopeStack.empty()) ZENTOR_INTERNAL_ERROR();
  const RecordHandle handle = AppendBareRecord(cache, m_writers[kModuleSymbolChain], kScopeEndRecordType);
  NoteFirstRecord(kModuleSymbolChain, handle);
  m_currentScope = m_scopeStack.back();
  m_scopeStack.pop_back();
}

void LoaderState::CloseChains(PageCache& cache) {
  if (m_writers[kGlobalSymbolChain].IsPinned()) {
    AppendBareRecord(cache, m_writers[kGlobalSymbolChain], kListEndRecordType);
  }
  m_writers[kGlobalSymbolChain].ReleasePin(cache);
  m_writers[kModuleSymbolChain].ReleasePin(cache);
  m_types.ReleasePin(cache);
  m_writers[kTypeRecordChain].ReleasePin(cache);
  m_writers[kNamePoolChain].ReleasePin(cache);
}

// Ending the program:
// 1. Symbols and program count as loaded.
// 2. The module in progress ends; the global chain gets its end record when this load
//    wrote to it, and every writer lets its page go.
// 3. With a module, the program language is settled (4 when no module set one) and
//    the GUI hears that the load ended.
// 4. No module stays current, so a later load into this context (the next server
//    module) neither writes its globals into this program's last module nor ends that
//    module a second time.
void LoaderState::FinishProgram(PageCache& cache) {
  m_symbolsLoaded = 1;
  m_programLoaded = 1;
  const bool hadModule = m_currentModule != nullptr;
  EndModule(cache);
  CloseChains(cache);
  if (hadModule) {
    if (m_programLanguage == kLanguageNotSet) m_programLanguage = kLanguageUnknownAtEnd;
    HiService(kGuiSymbolLoadEnd);
  }
  m_currentModule = nullptr;
  m_currentScope = RecordHandle();
  m_scopeStack.clear();
  ++m_globalsGeneration;
  NoteContentsChanged();
}

// Loading a deferred module:
// 1. The module becomes current at module level, with the type base it began with,
//    and its token is taken (so a lookup made while it loads does not load it again).
// 2. The loader's callback loads its symbols and lines and answers the base for its
//    global records.
// 3. A line sentinel closes its lines; its records end with an end record.
// 4. Its global records (those that name it, as many as it counted) get their type
//    indices translated and stop naming it.
// 5. The chains are closed as at the end of a program; unless the format is 19 no
//    module stays current.
void LoaderState::LoadDeferredModule(PageCache& cache, ModuleDescriptor* module) {
  if (module == nullptr || !m_deferredLoading || m_loadCallback == nullptr || !module->m_hasToken) return;
  if (!OwnsModule(module)) return;
  m_currentModule = module;
  m_currentScope = RecordHandle();
  m_scopeStack.clear();
  ForgetSpaceOffsets();
  for (LoaderChain chain : {kTypeRecordChain, kTypeDirectoryChain, kModuleSymbolChain}) {
    Writer(chain).SetFirstRecordFlag(1);
  }
  const DeferredModuleHandle token = module->m_token;
  module->m_hasToken = false;
  const uint32_t savedBase = m_moduleTypeBase;
  m_moduleTypeBase = module->m_typeBase;
  bool ended = false;
  try {
    const uint32_t base = m_loadCallback(token);
    m_moduleTypeBase = savedBase;
    module->m_lines.Add(new LineAddressEntry(module->m_extent + 1u, SourceFileRef()));
    module->SetDisplayWords(0, 0);
    if (!module->m_firstRecord.IsNone()) AppendBareRecord(cache, m_writers[kModuleSymbolChain], kEndRecordType);
    ended = true;
    TranslateModuleGlobals(cache, *module, base);
  } catch (...) {
    // A loader that fails or a damaged chain ends the load with its error; whatever
    // was written stays readable (the module's records end) and the writers let their
    // pages go. A second failure on the way is not allowed to hide the first.
    m_moduleTypeBase = savedBase;
    try {
      if (!ended && !module->m_firstRecord.IsNone()) {
        AppendBareRecord(cache, m_writers[kModuleSymbolChain], kEndRecordType);
      }
      CloseChains(cache);
    } catch (const DVError&) {
    }
    if (m_format != kLoaderFormat19) m_currentModule = nullptr;
    NoteContentsChanged();
    throw;
  }
  CloseChains(cache);
  if (m_format != kLoaderFormat19) m_currentModule = nullptr;
  NoteContentsChanged();
}

// The module's global records (those that name it, as many as it counted, from its
// first one on) get their type words translated: the loader's translation callback, or
// the base added; bit 31 is cleared except under format 20; they stop naming the
// module.
void LoaderState::TranslateModuleGlobals(PageCache& cache, const ModuleDescriptor& module, uint32_t base) {
  uint32_t remaining = module.m_pendingGlobals;
  if (module.m_firstGlobal.IsNone() || remaining == 0) return;
  RecordRef cursor;
  cursor.Init(module.m_firstGlobal);
  // Every step takes at least 4 bytes of the file: more steps can only be a loop.
  const uint32_t stepLimit = cache.FileLength() / kBareRecordSize + 1;
  for (uint32_t steps = 0; remaining > 0 && steps < stepLimit; ++steps) {
    RecordHandle at;
    {
      const RecordView view = cursor.NextSymbolRecord(cache);
      if (view.IsNull()) return;
      if (view.U32At(0) != kSymbolRecordType) continue;
      at = view.Handle();
    }
    SymbolRecordView record = SymbolRecordView::At(cache, at, RecordAccess::Write);
    if (record.PendingModule() != module.m_id) continue;
    const uint32_t index = record.TypeIndex();
    uint32_t word = m_translateCallback != nullptr ? m_translateCallback(index) : index + base;
    if (m_format != kLoaderFormat20) word &= ~SymbolRecordLayout::kUntranslatedBit;
    record.SetRawTypeIndex(word);
    record.SetPendingModule(0);
    --remaining;
  }
}

uint32_t LoaderState::AddTypedefName(PageCache& cache, const char* name, uint32_t loaderTypeIndex) {
  const RWCString text(name != nullptr ? name : "");
  const SymbolKey key = SymbolKey::Store(cache, NamePool(), NameKey(text, 0));
  const uint32_t index = m_types.NewSlot(cache);
  TypeEntryView entry = m_types.GetTypeEntryRaw(cache, index, RecordAccess::Write);
  entry.SetCategory(kTypeTypedefName);
  entry.SetReference(m_moduleTypeBase + loaderTypeIndex);
  entry.SetName(key);
  AddTypedefNameText(text);
  return index;
}

// ---- what the symbol context asks

// The module holding an address: the location's module first, then every module in
// name order. A deferred module found that way has its symbols loaded first, with the
// asking context made current for the load: the loader writes through the current
// context, which shares this state's tables with the asking one. The module index
// answers the search through the modules when it can (the same module the loop finds).
ModuleDescriptor* LoaderState::ModuleAtAddress(SymbolContext& context, const AddressDescriptor& address,
                                               DVErrorCode& status) {
  if (m_programLoaded == 0) {
    status.Set(kMsgNoProgramLoaded, kSeverityError);
    return nullptr;
  }
  if (m_modules.Count() == 0) {
    status.Set(kMsgProgramSymbolsNotLoaded, kSeverityError);
    return nullptr;
  }
  ModuleDescriptor* current = context.Location().Location().m_module;
  bool currentHolds = false;
  if (OwnsModule(current) && !SymbolIndexes::ModuleHoldsAddress(*this, *current, address, currentHolds)) {
    currentHolds = current->Holds(address) != kOutsideRange;
  }
  if (currentHolds) {
    status.SetOkay();
    return current;
  }
  ModuleDescriptor* found = nullptr;
  if (!SymbolIndexes::ModuleHolding(*this, address, found)) {
    for (uint32_t i = 0; i < m_modules.Count() && found == nullptr; ++i) {
      auto* module = dynamic_cast<ModuleDescriptor*>(m_modules.ModuleAt(i));
      if (module != nullptr && module->Holds(address) != kOutsideRange) found = module;
    }
  }
  if (found == nullptr) {
    status.Set(kMsgModuleUnknownForLocation, kSeverityError);
    return nullptr;
  }
  if (found->m_hasToken && &context.Loader() == this) {
    CurrentSymbolContextScope asking(&context);
    LoadDeferredModule(context.Cache(), found);
  }
  status.SetOkay();
  return found;
}

RWCString LoaderState::ModuleName(const ModuleDescriptor& module) const { return module.m_nameText; }

// The line of an address: walking the sorted entries, a lineless entry is passed over;
// the address before an entry's offset has no line; an entry whose successor lies
// beyond the address is the line. The last entry only closes the range before it.
void LoaderState::LineAt(ModuleDescriptor& module, const AddressDescriptor& address, OptionalLine& line,
                         OrdinalValue& offset) const {
  line = OptionalLine();
  offset = OrdinalValue();
  if (module.m_start.IsNull() || address.IsNull()) return;
  const uint32_t order = address.Compare(module.m_start);
  if (order != kAddressEqual && order != kAddressGreater) return;
  const OrdinalValue fromStart = address - module.m_start;
  offset = fromStart;
  LineTable& lines = module.m_lines;
  const uint32_t count = lines.Count();
  for (uint32_t i = 0; i < count; ++i) {
    const LineAddressEntry& entry = lines.EntryAt(i);
    if (!entry.HasLine()) continue;
    if (fromStart < entry.Offset()) return;
    if (i + 1 < count && fromStart < lines.EntryAt(i + 1).Offset()) {
      line = OptionalLine::FromRaw(entry.Source().Line(), entry.Source().FileIndex());
      offset = fromStart - entry.Offset();
      return;
    }
  }
}

void LoaderState::ForEachProcedure(const ModuleDescriptor& module,
                                   const std::function<bool(const ProcedureSpan&)>& visit) const {
  // Walking does not change the list; the library's iterator wants a modifiable one.
  RWSlistCollectablesIterator next(const_cast<RWSlistCollectables&>(module.m_procedures));
  while (RWCollectable* item = next()) {
    const auto* range = dynamic_cast<const ProcedureRange*>(item);
    if (range == nullptr) continue;
    if (!visit(ProcedureSpan{range->Name(), range->First(), range->Last()})) return;
  }
}

void LoaderState::ResetModuleDisplayState(ModuleDescriptor& module) {
  module.m_flags = static_cast<uint8_t>(module.m_flags & 0xF0);
  module.SetDisplayWords(0, 0);
  module.m_displayLine = -1;
}

ModuleViewState LoaderState::ViewStateOf(const ModuleDescriptor& module) const {
  ModuleViewState view;
  view.m_displayWords[0] = module.m_displayWords[0];
  view.m_displayWords[1] = module.m_displayWords[1];
  view.m_flags = module.m_flags;
  view.m_address = module.m_start;
  return view;
}

void LoaderState::SaveModuleViewPosition(ModuleDescriptor& module, uint32_t first, uint32_t second) {
  module.SetDisplayWords(first, second);
}

void LoaderState::ForgetModuleViewPositions() {
  for (ModuleDescriptor* module : m_moduleById) module->SetDisplayWords(0, 0);
}

// The addresses of one line over the whole program:
// 1. Lines known to have fewer than two addresses answer none; a line asked before
//    answers its kept collection.
// 2. Otherwise every module's sorted line table is searched (a module holds at most
//    one entry per line, so two addresses come from two modules).
// 3. Fewer than two: the line is remembered as such and none is answered; else the
//    collection is kept and answered.
const RWOrdered* LoaderState::CollectLineAddresses(const OptionalLine& line) {
  if (line.IsEmpty() || m_modules.Count() == 0) return nullptr;
  UniqueKey key(line);
  if (m_symbolObjectSet.find(&key) != nullptr) return nullptr;
  if (auto* kept = dynamic_cast<const RWOrdered*>(m_symbolObjectDictionary.findValue(&key))) return kept;
  auto addresses = std::make_unique<RWOrdered>();
  for (uint32_t i = 0; i < m_modules.Count(); ++i) {
    auto* module = dynamic_cast<ModuleDescriptor*>(m_modules.ModuleAt(i));
    if (module == nullptr || module->m_start.IsNull()) continue;
    LineTable& lines = module->m_lines;
    for (uint32_t e = 0; e < lines.Count(); ++e) {
      const LineAddressEntry& entry = lines.EntryAt(e);
      if (!entry.HasLine()) continue;
      if (OptionalLine::FromRaw(entry.Source().Line(), entry.Source().FileIndex()) != line) continue;
      addresses->insert(new AddressDescriptor(module->m_start + entry.Offset()));
    }
  }
  if (addresses->entries() < 2) {
    addresses->clearAndDestroy();
    m_symbolObjectSet.insert(new UniqueKey(line));
    return nullptr;
  }
  const RWOrdered* result = addresses.get();
  m_symbolObjectDictionary.insertKeyAndValue(new UniqueKey(line), addresses.release());
  return result;
}

// ---- the current context's parts

LoaderState* CurrentLoaderStateOrNull() { return GetCurrentSymbolContext()->Loader().AsLoaderState(); }

LoaderState& CurrentLoaderState() {
  LoaderState* state = CurrentLoaderStateOrNull();
  if (state == nullptr) ZENTOR_INTERNAL_ERROR();
  return *state;
}

TypeDescriptionState& CurrentTypeDescriptionState() {
  TypeDescriptionState* state = GetCurrentSymbolContext()->TypeDescription().AsTypeDescriptionState();
  if (state == nullptr) ZENTOR_INTERNAL_ERROR();
  return *state;
}

CurrentLoadParts CurrentLoad() {
  SymbolContext* context = GetCurrentSymbolContext();
  LoaderState* loader = context->Loader().AsLoaderState();
  if (loader == nullptr) ZENTOR_INTERNAL_ERROR();
  return CurrentLoadParts{*loader, context->Cache(), context->TypeDescription().AsTypeDescriptionState()};
}

namespace {

PageCache& CurrentCache() { return GetCurrentSymbolContext()->Cache(); }

}  // namespace

// ---- entry points

void LoaderLibraryNoOp() {}
void LoaderLibraryNoOp(uint32_t /*ignored*/) {}
void LoaderLibraryNoOp(const AddressDescriptor& /*ignored*/) {}

// Beginning a program:
// 1. A fresh context (new tables, the default search path) is made and given to the
//    current viewpoint; only then is the old one deleted (never the default context),
//    so a failure leaves the old program in place. The old one is the viewpoint's own
//    (no other viewpoint holds it, whatever tables they share), not a context a lookup
//    put in place for the while. When the old context's tables are
//    untouched (a viewpoint opened for the load), the fresh context takes them over
//    instead of new ones: they are what new ones would be, and were otherwise made
//    only to be thrown away.
// 2. The new state starts the load: format, type base, the null type as index 1.
void BeginProgram(uint32_t format) {
  InstallLoaderLibrary();
  SymbolContext* old = GetCurrentSymbolContextOrDefault();
  const bool takeOver = old != nullptr && old != GetDefaultSymbolContext() && old->HoldsUntouchedTables();
  std::unique_ptr<SymbolContext> fresh =
      takeOver ? SymbolContext::CreateForViewpointOf(*old) : SymbolContext::CreateForViewpoint();
  SetCurrentSymbolContext_Checked(fresh.get());
  SymbolContext* made = fresh.release();
  if (old != nullptr && old != made && old != GetDefaultSymbolContext()) delete old;
  CurrentLoaderState().StartProgram(made->Cache(), CurrentTypeDescriptionState(), format);
}

void SetDeferredCallbacks(LoadModuleCallback load, TypeTranslationCallback translate) {
  CurrentLoaderState().SetDeferredCallbacks(load, translate);
}

void BeginModule(const char* name, uint16_t /*ignored*/, uint8_t language, uint8_t attribute) {
  const CurrentLoadParts load = CurrentLoad();
  load.m_loader.BeginModule(load.m_cache, name, language, attribute);
}

void SetDeferredToken(DeferredModuleHandle token, const TargetAddressRecord& start, const OrdinalValue& length) {
  CurrentLoaderState().SetDeferredToken(token, start, length);
}

uint32_t SetTypeBase() { return CurrentLoaderState().SetTypeBase(); }

void AddLine(const char* fileName, uint8_t skip, uint32_t line, const OrdinalValue& offset) {
  CurrentLoaderState().AddLine(fileName, skip, line, offset);
}

void AddSymbol(const char* name, uint8_t storage, uint32_t type, const TargetAddressRecord& address) {
  const CurrentLoadParts load = CurrentLoad();
  load.m_loader.AddSymbol(load.m_cache, name, storage, type, address);
}

void AddGlobalSymbol(const char* name, uint32_t type, const TargetAddressRecord& address) {
  const CurrentLoadParts load = CurrentLoad();
  load.m_loader.AddGlobalSymbol(load.m_cache, name, type, address);
}

void BeginBlock(const TargetAddressRecord& address, const OrdinalValue& length) {
  const CurrentLoadParts load = CurrentLoad();
  load.m_loader.BeginBlock(load.m_cache, address, length);
}

void BeginProcedure(const char* name, const TargetAddressRecord& address, const OrdinalValue& length, uint32_t type,
                    uint8_t attribute, const OrdinalValue& second) {
  const CurrentLoadParts load = CurrentLoad();
  load.m_loader.BeginProcedure(load.m_cache, name, address, length, type, attribute, second);
}

void EndScope() {
  const CurrentLoadParts load = CurrentLoad();
  load.m_loader.EndScope(load.m_cache);
}

void EndProgram() { CurrentLoaderState().FinishProgram(CurrentCache()); }

void EndProgramAt(const AddressDescriptor& programStart) {
  EndProgram();
  GetCurrentSymbolContext()->SetCurrentAddress(programStart);
}

void LoadDeferredModule(ModuleDescriptor* module) {
  // Every loader call of the module's load asks for the current context: it is this
  // one throughout, so it is named once instead of found through the viewpoint each
  // time.
  CurrentSymbolContextScope loading(GetCurrentSymbolContext());
  CurrentLoaderState().LoadDeferredModule(CurrentCache(), module);
}

uint32_t SymbolTableLoaded() {
  const LoaderState* state = CurrentLoaderStateOrNull();
  return state != nullptr ? state->SymbolTableLoaded() : 0;
}

uint32_t ProgramLoaded() {
  const LoaderState* state = CurrentLoaderStateOrNull();
  return state != nullptr ? state->ProgramLoaded() : 0;
}

void SetSymbolTableLoaded(uint32_t word) { CurrentLoaderState().SetSymbolTableLoaded(word); }

uint8_t ProgramLanguage() {
  const LoaderState* state = CurrentLoaderStateOrNull();
  return state != nullptr ? state->ProgramLanguage() : kLanguageNotSet;
}

RecordHandle GlobalChainHead() {
  const LoaderState* state = CurrentLoaderStateOrNull();
  return state != nullptr ? state->GlobalChainHead() : RecordHandle();
}

uint32_t LoaderFormat() {
  const LoaderState* state = CurrentLoaderStateOrNull();
  return state != nullptr ? state->LoaderFormat() : 0;
}

uint32_t TypeCount() {
  const LoaderState* state = CurrentLoaderStateOrNull();
  return state != nullptr ? state->TypeCount() : 0;
}

RWCollectable* IsTypedefName(const RWCString& name) {
  const LoaderState* state = CurrentLoaderStateOrNull();
  return state != nullptr ? state->IsTypedefName(name) : nullptr;
}

TypeEntryView GetTypeEntry(uint32_t index) { return CurrentLoaderState().Types().GetTypeEntry(CurrentCache(), index); }

TypeEntryView GetTypeEntryRaw(uint32_t index) {
  return CurrentLoaderState().Types().GetTypeEntryRaw(CurrentCache(), index);
}

uint32_t AddTypedefName(const char* name, uint32_t loaderTypeIndex) {
  return CurrentLoaderState().AddTypedefName(CurrentCache(), name, loaderTypeIndex);
}

void ResetSourceLocation() { GetCurrentSymbolContext()->ResetSourceLocation(); }

void ResetSourceLocationAt(const AddressDescriptor& address) {
  ResetSourceLocation();
  GetCurrentSymbolContext()->SetCurrentAddress(address);
}

bool CurrentLocationIsNull() { return GetCurrentSymbolContext()->Location().Location().m_address.IsNull(); }

}  // namespace zentor
