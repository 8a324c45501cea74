#include "symbols/symbol_lookup.h"

#include <vector>

#include "symbols/list_holders.h"
#include "symbols/loader_library.h"
#include "symbols/page_cache.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_index.h"
#include "symbols/type_lookup.h"

#include "console/cleanup_stack.h"
#include "core/dv_error.h"
#include "core/frame_list.h"

namespace zentor {
namespace {

PageCache& Cache() { return GetCurrentSymbolContext()->Cache(); }

[[noreturn]] void RaiseWithName(uint32_t number, const RWCString& name) {
  DVError error(number, kSeverityError, kDisplayByFocus);
  error.SetArg(0, name);
  throw error;
}

[[noreturn]] void RaiseStatusWithName(DVErrorCode status, const RWCString& name) {
  DVError error(status.Number(), status.Severity() != 0 ? status.Severity() : kSeverityError, kDisplayByFocus);
  error.SetArg(0, name);
  throw error;
}

// 324 without a loaded program, 325 without modules; okay otherwise.
DVErrorCode LoadedProgramStatus() {
  const LoaderState* loader = CurrentLoaderStateOrNull();
  if (loader == nullptr || loader->ProgramLoaded() == 0) return DVErrorCode(kMsgNoProgramLoaded, kSeverityError);
  if (loader->Modules().Count() == 0) return DVErrorCode(kMsgProgramSymbolsNotLoaded, kSeverityError);
  return DVErrorCode();
}

void PopNestedSymbolLookupRoutine() { PopNestedSymbolLookup(); }

// Whether an address lies in [start, start + length).
bool Inside(const AddressDescriptor& address, const AddressDescriptor& start, const OrdinalValue& length) {
  if (address.IsNull() || start.IsNull() || length == 0u) return false;
  return address.IsWithinLength(start, length) != kOutsideRange;
}

[[noreturn]] void RaiseDamagedChain() { throw DVError(kMsgSymbolAnomaly, kSeverityInternal, kDisplayByFocus); }

// The answers of the name walks.
void AnswerProcedure(RecordHandle procedure) {
  SetCurrentScopeRecord(procedure);
  CurrentEntry().SetLookupMode(kLookupProcedure);
}

void AnswerSymbol(RecordHandle enclosing, RecordHandle symbol) {
  SetCurrentScopeRecord(enclosing);
  SymbolEntry& entry = CurrentEntry();
  // A symbol made current before is no longer what the entry describes.
  entry.m_symbolSet = 0;
  entry.m_currentRecord = symbol;
  entry.SetLookupMode(kLookupSymbol);
}

// One pass of the name search of FindSymbolInContext over a chain. Search states are
// saved at every block and procedure and restored at its end; inside says whether
// the scope address lies in the scope being walked. The answer is the first
// declaration in record order whose enclosing scopes hold the scope address (a scope
// that does not hold it counts as holding it once a nested scope that does has
// closed); in global mode any symbol of the name answers, after its module's symbols
// were loaded when they still wait in the file.
bool SearchChainForName(RecordHandle first, const NameKey& key, bool globalMode, const AddressDescriptor& scope) {
  PageCache& cache = Cache();
  std::vector<ScopeSearchState> saved;
  ScopeSearchState state;
  ChainWalk walk(cache, first);
  for (;;) {
    RecordView view = walk.Next();
    if (view.IsNull()) return false;
    switch (view.U32At(0)) {
      case kBlockRecordType: {
        const BlockRecordView block(std::move(view));
        saved.push_back(state);
        state.m_inside = Inside(scope, block.Start(), block.Length()) ? 1 : 0;
        state.m_candidate = RecordHandle();
        break;
      }
      case kProcedureRecordType: {
        const ProcedureRecordView procedure(std::move(view));
        const RecordHandle handle = procedure.Handle();
        if (procedure.Name().Matches(cache, key)) {
          state.m_candidate = handle;
          state.m_candidateIsProcedure = 1;
          if (state.m_inside != 0) {
            AnswerProcedure(handle);
            return true;
          }
        }
        saved.push_back(state);
        state.m_enclosingProcedure = handle;
        state.m_inside = Inside(scope, procedure.Entry(), procedure.Length()) ? 1 : 0;
        state.m_candidate = RecordHandle();
        break;
      }
      case kSymbolRecordType: {
        RecordHandle handle;
        uint32_t pendingModule = 0;
        {
          const SymbolRecordView symbol(std::move(view));
          if (!symbol.Name().Matches(cache, key)) break;
          handle = symbol.Handle();
          pendingModule = symbol.PendingModule();
        }
        state.m_candidate = handle;
        state.m_candidateIsProcedure = 0;
        if (state.m_inside == 0 && !globalMode) break;
        if (globalMode && pendingModule != 0) {
          if (LoaderState* loader = CurrentLoaderStateOrNull()) LoadDeferredModule(loader->ModuleById(pendingModule));
        }
        // A global symbol is no symbol of the module the search began in.
        if (globalMode) SetLookupTarget(nullptr);
        AnswerSymbol(state.m_enclosingProcedure, handle);
        return true;
      }
      case kScopeEndRecordType: {
        if (saved.empty()) RaiseDamagedChain();
        const uint32_t closedInside = state.m_inside;
        state = saved.back();
        saved.pop_back();
        if (closedInside != 0) state.m_inside = 1;
        if (state.m_inside != 0 && !state.m_candidate.IsNone()) {
          if (state.m_candidateIsProcedure != 0) {
            AnswerProcedure(state.m_candidate);
          } else {
            AnswerSymbol(state.m_enclosingProcedure, state.m_candidate);
          }
          return true;
        }
        break;
      }
      default:
        break;
    }
  }
}

// The record that follows a record on its chain.
RecordHandle RecordAfter(RecordHandle record) {
  RecordRef cursor;
  cursor.Init(record);
  if (cursor.NextSymbolRecord(Cache()).IsNull()) return RecordHandle();
  return RecordHandle(cursor.PageAddr() + kRecordPageHeaderSize + cursor.RecIdx());
}

}  // namespace

SourceLocation& LookupLocation() { return GetCurrentSymbolContext()->Location(); }

SymbolEntry& CurrentEntry() { return LookupLocation().Entry(); }

// ---- the lookup state

uint16_t BeginNestedSymbolLookup() {
  SourceLocation& location = LookupLocation();
  std::vector<SymbolEntry>& stack = location.LookupStack();
  const uint32_t depth = location.LookupDepth();
  if (depth < stack.size()) {
    stack[depth] = location.Entry();
  } else {
    // Lookups seldom nest more than a few deep: the stack starts small and doubles
    // (every context has one, and an entry is a few hundred bytes).
    if (stack.size() == stack.capacity()) stack.reserve(stack.capacity() < 4 ? 4 : 2 * stack.capacity());
    stack.push_back(location.Entry());
  }
  location.SetLookupDepth(static_cast<uint32_t>(stack.size() < depth + 1 ? stack.size() : depth + 1));
  CleanupStack::Push(&PopNestedSymbolLookupRoutine, "PopNestedSymbolLookup");
  return static_cast<uint16_t>(location.LookupDepth());
}

uint16_t PopNestedSymbolLookup() {
  SourceLocation& location = LookupLocation();
  uint32_t depth = location.LookupDepth();
  if (depth > 0 && depth <= location.LookupStack().size()) {
    --depth;
    location.SetLookupDepth(depth);
    location.Entry() = location.LookupStack()[depth];
  }
  return static_cast<uint16_t>(location.LookupDepth());
}

uint16_t EndNestedSymbolLookup() {
  CleanupStack::Drop();
  return PopNestedSymbolLookup();
}

void ResetSymbolStackDepth() { LookupLocation().SetLookupDepth(0); }

void BeginSymbolLookup() {
  if (ProgramLoaded() == 0) throw DVError(kMsgNoProgramLoaded, kSeverityError, kDisplayByFocus);
  BeginNestedSymbolLookup();
  SetLookupTarget(nullptr);
  SetCurrentScopeRecord(RecordHandle());
  SetCurrentSymbolRecord(RecordHandle());
  SymbolEntry& entry = CurrentEntry();
  entry.m_flags &= kLookupLocationMode;
  entry.m_subscriptCount = 0;
  entry.m_symbol.m_bitPosition = 0;
}

void EndSymbolLookup() { EndNestedSymbolLookup(); }

void SetLookupTarget(ModuleDescriptor* module) {
  SymbolEntry& entry = CurrentEntry();
  if (module != nullptr) {
    entry.m_targetSet = 1;
    entry.m_targetModuleId = module->Id();
    return;
  }
  entry.m_targetSet = 0;
  entry.m_targetModuleId = 0;
  entry.m_symbolSet = 0;
}

void SetCurrentScopeRecord(RecordHandle record) {
  SymbolEntry& entry = CurrentEntry();
  if (record.IsNone()) {
    entry.m_scopeSet = 0;
    entry.m_currentRecord = RecordHandle();
    entry.m_scope.m_start = AddressDescriptor();
    entry.m_scope.m_length = OrdinalValue();
    return;
  }
  const ProcedureRecordView procedure = ProcedureRecordView::At(Cache(), record);
  ScopeBlock& scope = entry.m_scope;
  scope.m_record = record;
  scope.m_recordType = kProcedureRecordType;
  scope.m_parent = procedure.Enclosing();
  scope.m_start = procedure.Entry();
  scope.m_length = procedure.Length();
  scope.m_typeIndex = procedure.TypeIndex();
  scope.m_secondValue = procedure.SecondValue();
  scope.m_name = procedure.Name();
  scope.m_attribute = procedure.Attribute();
  entry.m_scopeSet = 1;
  entry.m_currentRecord = record;
}

// The type is the record's, unless a cast is being applied: the scanner is looking a
// type name up and has found a tagged or pointer type (or made a pointer).
void SetCurrentSymbolRecord(RecordHandle record) {
  SymbolEntry& entry = CurrentEntry();
  if (record.IsNone()) {
    entry.m_symbolSet = 0;
    entry.m_currentRecord = RecordHandle();
    return;
  }
  SymbolBlock& symbol = entry.m_symbol;
  {
    const SymbolRecordView view = SymbolRecordView::At(Cache(), record);
    const TypeLookupState& cast = CurrentTypeLookupState();
    const bool castPending = cast.m_lookupFlag != 0 && (cast.m_typeKind != kTypeKindPrimitive ||
                                                        cast.m_pointerState != 0 || cast.m_typeCode == kPointerTypeCode);
    symbol.m_typeIndex = castPending ? cast.m_typeHandle : view.TypeIndex();
    symbol.m_name = view.Name();
    symbol.m_baseName = symbol.m_name;
    symbol.m_location = view.Location();
  }
  entry.m_symbolSet = 1;
  entry.m_currentRecord = record;
  symbol.m_record = record;
  symbol.m_bitPosition = 0;
  ResolveFrameRelativeLocation(symbol.m_location, symbol.m_active);
}

const SymbolEntry& CurrentSymbolEntry() {
  SymbolEntry& entry = CurrentEntry();
  entry.m_symbol.m_record = entry.m_currentRecord;
  return entry;
}

void SetCurrentSymbolDescriptor(const SymbolDescriptor& descriptor) { CurrentEntry().Descriptor() = descriptor; }

void SetStickyLookupFlag() { CurrentEntry().m_flags |= kLookupLocationMode; }

void ClearStickyLookupFlag() { CurrentEntry().m_flags &= ~kLookupLocationMode; }

RWCString SymbolNameText() {
  const SymbolEntry& entry = CurrentEntry();
  switch (entry.LookupMode()) {
    case kLookupProcedure:
      return entry.m_scope.m_name.NameText(Cache());
    case kLookupSymbol:
      if (entry.m_symbolSet != 0) return entry.m_symbol.m_name.NameText(Cache());
      // Found by name and not yet made current: the record names it.
      if (!entry.m_currentRecord.IsNone()) return SymbolRecordView::At(Cache(), entry.m_currentRecord).Name().NameText(Cache());
      return RWCString();
    default:
      return RWCString();
  }
}

// ---- frames

AddressDescriptor FrameArgumentBase() { return SelectedOrCurrentFrame().m_second; }

// Frame-relative locations:
// 1. The frame is the selected one, or the registers' when none is selected.
// 2. Active exactly when the frame's code address lies after the start of the current
//    scope and within its length (at the first byte the frame is not built yet).
// 3. A register-held variable only borrows the frame's activity: its location stays
//    the register. Any other is rebased on the frame (stack relative) or the argument
//    block (argument block) and marked resolved; with nothing to rebase on it cannot
//    be read and counts as not active.
void ResolveFrameRelativeLocation(AddressExtent& location, uint32_t& active) {
  if (!IsFrameRelative(location)) {
    active = 1;
    return;
  }
  ResolveFrameRelativeLocation(location, active, SelectedOrCurrentFrame());
}

void ResolveFrameRelativeLocation(AddressExtent& location, uint32_t& active, const AddressPair& frame) {
  if (!IsFrameRelative(location)) {
    active = 1;
    return;
  }
  const ScopeBlock& scope = CurrentEntry().m_scope;
  active = CurrentEntry().m_scopeSet != 0 && !frame.m_first.IsNull() && !scope.m_start.IsNull() &&
                   frame.m_first.IsWithinLength(scope.m_start, scope.m_length) == kInsideRange
               ? 1
               : 0;
  if ((location.m_flags & (kLocationRegister | kLocationResolved)) != 0) return;
  // The argument block's base is the frame's second address too (FrameArgumentBase).
  const AddressDescriptor& base = frame.m_second;
  if (base.IsNull() || base.IsRegister()) {
    active = 0;
    return;
  }
  location.m_address = base + location.m_ordinal;
  location.m_flags |= kLocationResolved;
}

// ---- modules

ModuleDescriptor* FindModuleByName(DVErrorCode& status, const RWCString& name) {
  status = LoadedProgramStatus();
  if (!status.IsOkay()) return nullptr;
  LoaderState& loader = CurrentLoaderState();
  const ModuleCollection& modules = loader.Modules();
  for (uint32_t i = 0; i < modules.Count(); ++i) {
    auto* module = dynamic_cast<ModuleDescriptor*>(modules.ModuleAt(i));
    // Module names compare without regard to case.
    if (module == nullptr || module->NameText().compareTo(name, RWCString::ignoreCase) != 0) continue;
    if (module->HasDeferredToken()) LoadDeferredModule(module);
    SetLookupTarget(module);
    status.SetOkay();
    return module;
  }
  status.Set(kMsgModuleUnknown, kSeverityError);
  return nullptr;
}

ModuleDescriptor* FindModuleAtAddress(const AddressDescriptor& address, DVErrorCode& status) {
  status.SetOkay();
  return GetCurrentSymbolContext()->ModuleAtAddress(address, status);
}

ModuleDescriptor* LookupModuleOfScope(DVErrorCode& status) {
  ModuleDescriptor* module = FindModuleAtAddress(GetCurrentSymbolContext()->ScopeAddress(), status);
  SetLookupTarget(module);
  return module;
}

ModuleDescriptor* RequireLookupModule() {
  if (ModuleDescriptor* target = CurrentEntry().Target()) return target;
  DVErrorCode status;
  ModuleDescriptor* module = LookupModuleOfScope(status);
  if (module != nullptr) return module;
  if (status.Number() == kMsgModuleUnknownForLocation) status.Set(kMsgDefaultModuleUnknown, kSeverityError);
  RaiseStatusWithName(status, RWCString());
}

// ---- names

// The name in the current context:
// 1. The module of the scope address is searched first; without one (other than for
//    want of a program) the global list is searched in global mode, and without a
//    global list the default module is unknown.
// 2. A name not found in the module is looked for in the global list.
// 3. Not found: 304 when the search began without a module, 335 otherwise.
DVErrorCode FindSymbolInContext(const RWCString& name) {
  DVErrorCode status;
  ModuleDescriptor* module = LookupModuleOfScope(status);
  if (status.Number() == kMsgNoProgramLoaded || status.Number() == kMsgProgramSymbolsNotLoaded) return status;
  const RecordHandle globals = GlobalChainHead();
  const bool withoutModule = module == nullptr;
  if (withoutModule && globals.IsNone()) return DVErrorCode(kMsgDefaultModuleUnknown, kSeverityError);
  const NameKey key(name, 0);
  const AddressDescriptor scope = GetCurrentSymbolContext()->ScopeAddress();
  if (!withoutModule && SearchChainForName(module->FirstRecord(), key, false, scope)) return DVErrorCode();
  if (!globals.IsNone() && SymbolIndexes::FindGlobalByName(key)) return DVErrorCode();
  return DVErrorCode(withoutModule ? kMsgDefaultModuleUnknown : kMsgSymbolNotKnown, kSeverityError);
}

bool SearchGlobalChainForName(const NameKey& key) {
  return SearchChainForName(GlobalChainHead(), key, true, GetCurrentSymbolContext()->ScopeAddress());
}

// A name inside one scope (qualified by a module or a procedure): the scope's own
// declarations and those of its nested blocks, never the locals of nested procedures.
// Markers say what each open scope is; the walk ends at the end of the searched scope.
bool FindSymbolInScope(const RWCString& name, RecordHandle firstRecord) {
  PageCache& cache = Cache();
  const NameKey key(name, 0);
  std::vector<bool> markers{true};  // true: a procedure marker
  uint32_t depth = 0;
  ChainWalk walk(cache, firstRecord);
  for (;;) {
    RecordView view = walk.Next();
    if (view.IsNull()) return false;
    switch (view.U32At(0)) {
      case kBlockRecordType:
        markers.push_back(false);
        break;
      case kProcedureRecordType: {
        const ProcedureRecordView procedure(std::move(view));
        if (depth == 0 && procedure.Name().Matches(cache, key)) {
          const RecordHandle handle = procedure.Handle();
          AnswerProcedure(handle);
          return true;
        }
        ++depth;
        markers.push_back(true);
        break;
      }
      case kSymbolRecordType: {
        const SymbolRecordView symbol(std::move(view));
        if (depth == 0 && symbol.Name().Matches(cache, key)) {
          SymbolEntry& entry = CurrentEntry();
          entry.m_symbolSet = 0;
          entry.m_currentRecord = symbol.Handle();
          entry.SetLookupMode(kLookupSymbol);
          return true;
        }
        break;
      }
      case kScopeEndRecordType: {
        if (markers.empty()) return false;
        const bool procedureMarker = markers.back();
        markers.pop_back();
        if (!procedureMarker) break;
        if (depth == 0) return false;
        --depth;
        break;
      }
      default:
        break;
    }
  }
}

// A name in the state the previous component left:
// 1. Nothing looked up yet: the current context.
// 2. A procedure: its own declarations.
// 3. A symbol: one of its members.
// 4. A module: its top-level declarations.
void FindSymbolByName(const RWCString& name) {
  SymbolEntry& entry = CurrentEntry();
  const uint32_t mode = entry.LookupMode();
  if (entry.m_targetSet == 0 && mode == kLookupNothing) {
    const DVErrorCode status = FindSymbolInContext(name);
    if (!status.IsOkay()) RaiseStatusWithName(status, name);
    return;
  }
  if (mode == kLookupProcedure) {
    if (!FindSymbolInScope(name, RecordAfter(entry.m_currentRecord))) RaiseWithName(kMsgSymbolNotKnown, name);
    return;
  }
  if (mode == kLookupSymbol) {
    SelectStructureField(name, kFieldOfAggregate);
    return;
  }
  ModuleDescriptor* module = entry.Target();
  if (module == nullptr || module->FirstRecord().IsNone()) {
    throw DVError(kMsgModuleSymbolsNotLoaded, kSeverityError, kDisplayByFocus);
  }
  if (!FindSymbolInScope(name, module->FirstRecord())) RaiseWithName(kMsgSymbolNotKnown, name);
}

}  // namespace zentor
